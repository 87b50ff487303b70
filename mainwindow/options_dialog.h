// TOptions: the modal options dialog. A tree of eight pages on the left (layout, display, language,
// list font, viewer and editor, colours, confirmations, operation), the pages on the right, OK, Cancel,
// "&Save settings" and Apply below. It edits the options word, the layout word, the viewer and editor,
// the list font and colours and the language, applies them to the running program (Apply, or OK with
// pending changes) and can save all settings. The list font and the viewer and editor chosen through
// their dialogs take effect at once and stay when the dialog is cancelled.
#pragma once

#include <QDialog>

#include <cstdint>
#include <memory>
#include <string>

class QFont;
class QTreeWidgetItem;

namespace Ui {
class TOptions;
}

namespace wux::mainwindow {

class MainWindowHost;

// Registers the dialog's built-in English texts (900-981).
void RegisterOptionsTexts();

// Change flags of one showing of the dialog.
inline constexpr std::uint32_t kOptionsFontChanged = 0x1;
inline constexpr std::uint32_t kOptionsHiddenFilesChanged = 0x2;

class TOptions : public QDialog
{
    Q_OBJECT

public:
    explicit TOptions(MainWindowHost& host, QWidget* parent = nullptr);
    ~TOptions() override;

    // Texts baseId (the caption) on, each control taking the number of its own text; the colour names
    // into the five colour boxes; one tree node per page with the page's caption; the first selected.
    void ApplyTexts(int baseId);
    // "English language" first, then every "*.lng" file of the program folder; the current language
    // (compared ignoring case) selected.
    void FillLanguageList();
    // Every control from the current settings.
    void SetCurSettingInComponents();
    // Takes the controls into the settings and applies them to the program.
    void PressedApply();

    // Bits kOptionsFontChanged, kOptionsHiddenFilesChanged; 0 when the dialog is shown.
    std::uint32_t OptionsChangeFlags = 0;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void SettingChanged();
    void chkShowDriveButtonsClick();
    void chkShowInfoBasketLineClick();
    void chkSaveSettClick();
    void btnSelectViewerClick();
    void btnSelectEditorClick();
    void btnLCompareFontClick();
    void cmbFontColorChange(int slot);
    void tvOptionsChange(QTreeWidgetItem* node);
    void btnApplyClick();
    void btnOkClick();
    void btnSaveSettingsClick();
    // The open dialog of a program; "" when cancelled.
    std::string chooseProgram(const std::string& current);
    void showExampleColor(int slot, int index);
    void showFont(const QFont& font);

    std::unique_ptr<Ui::TOptions> ui_;
    MainWindowHost& host_;
    // The language row selected when the list was filled (or last applied); -1 when none matched.
    int shownLanguageRow_ = -1;
};

// The options command: the dialog created, shown modally and freed; then both panels re-lay their grids.
void ShowOptionsDialog(MainWindowHost& host, QWidget* parent);

} // namespace wux::mainwindow
