// TStandardQuery: the small modal dialog through which the main window and the Finder windows ask for
// one line of input (a target folder, a new name, a selection mask from a history) or only for a
// confirmation. Callers adapt it before showing it: the prompt, which input control is visible, the
// Send check box or the Browse button, sometimes the caption and the layout (the controls sit at
// fixed positions; a caller that moves them sets the dialog's size with setFixedSize).
//
// Keys: the dialog sees every key before its controls. Escape cancels. Enter on a focused push button
// activates that button (Enter on Cancel cancels, on Browse browses); anywhere else Enter answers OK,
// also with an empty input line (the caller decides what an empty answer means).
//
// exec() answers QDialog::Accepted for OK and QDialog::Rejected for Cancel.
#pragma once

#include <QDialog>

#include <memory>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace Ui {
class TStandardQuery;
}

namespace wux::core {
class TVYK_RingList;
}

namespace wux::tools {

// Text numbers of the dialog.
inline constexpr int kTextQueryPrompt = 1200; // "Copy files to"
inline constexpr int kTextQueryOk = 1201;
inline constexpr int kTextQueryCancel = 1202;
inline constexpr int kTextQueryBrowse = 1203;
inline constexpr int kTextQuerySend = 1204;

// Registers the English defaults of the dialog's texts 1200-1204 (at start-up).
void registerQueryDialogTexts();

class TStandardQuery : public QDialog
{
    Q_OBJECT
public:
    // Applies the texts 1200-1204 and makes itself the process's StandardQuery.
    explicit TStandardQuery(QWidget* parent = nullptr);
    ~TStandardQuery() override;

    QLineEdit* edInfo() const;
    QLabel* lblInfo() const;
    QComboBox* cbForSelectFiles() const;
    QPushButton* btnBrowse() const;
    QCheckBox* chkSend() const;
    QPushButton* btnOK() const;
    QPushButton* btnCancel() const;

    // Exchanges the left positions of btnBrowse and btnOK and shows btnBrowse.
    void ShowBrowseButton();
    // Puts the drop-down box in place of the input line, filled from History newest first; the
    // newest entry comes back ("" for an empty history).
    std::string ShowHistoryBox(core::TVYK_RingList& history);

    // The folder browser, owned by the dialog and titled with its caption, opening at the folder part
    // of the input line; a chosen folder becomes the input line and btnOK takes the focus.
    void btnBrowseClick();
    // The input line is enabled exactly when chkSend is not ticked.
    void chkSendClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Handles Enter and Escape for the dialog; true when the key was one of them.
    bool previewKey(QKeyEvent& event);
    void centreOverMainWindow();

    std::unique_ptr<Ui::TStandardQuery> ui_;
};

// The dialog while it exists (set by its constructor, cleared by its destructor); nullptr otherwise.
inline TStandardQuery* StandardQuery = nullptr;

// The folder part of a path: everything up to and including its last "\" ("" when it has none).
std::string folderPartOf(const std::string& path);

} // namespace wux::tools
