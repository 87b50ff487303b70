// TReplacerForm: the tool window of mode 4 (the Replacer). The user types a find text, picks a replace
// mode and options and starts a run over the selected files of the active panel (or of the Basket). The
// window turns its inputs into the search block of the run, the mode and its parameter set, runs a
// TReplacer worker under the modal run window and then hands the file list back and refreshes both
// panels.
//
// Memo texts reach the engines as UTF-8 with CR LF line ends.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <QWidget>

#include "core/user_parameters.h"
#include "engines/base_replacer.h"
#include "platform/errors.h"
#include "tools/tool_list.h"

class QAbstractButton;
class QPlainTextEdit;

namespace Ui {
class TReplacerForm;
}

namespace wux::engines {
class TReplacer;
}
namespace wux::filelist {
struct TstateOfBrowser;
}
namespace wux::platform {
class IniFile;
}

namespace wux::tools {

// The title text of the Replacer (its hint is the next number).
inline constexpr int kReplacerTitleId = 500;
// The section of its settings (also the name of its parameter set).
inline constexpr const char* kReplacerSection = "Replacer";
// The help topic.
inline constexpr const char* kReplacerHelpTopic = "REPLACER";

// The six word-processor parameters every replace window's set holds, added with their defaults when
// the settings did not give them (an existing value is never changed).
void addWordProcessorDefaults(core::TUserParameters& parameters);

// The text of a memo as the engines see it: UTF-8 with CR LF line ends (the characters kept as typed).
std::string memoText(const QPlainTextEdit& memo);

class TReplacerForm : public QWidget, public IToolForm
{
    Q_OBJECT
public:
    explicit TReplacerForm(QWidget* parent = nullptr);
    ~TReplacerForm() override;

    // ---- The tool-form interface ----
    void InitTool() override;
    void RegisterDefaultTexts(int BaseId) override;
    void Translate(int BaseId) override;
    // Read / write the section of the settings file.
    void LoadSettings() override;
    void SaveSettings() override;
    bool CanStart(filelist::TstateOfBrowser* PanelState) override;
    void StartOperation() override;
    void ShowHelp() override;
    void ShowTitle(bool Visible) override;
    core::TUserParameters* GetParameters() override { return parameters_.get(); }

    // The same settings steps on a given file (the interface's versions use the program's settings file).
    void LoadSettingsFrom(const platform::IniFile& ini);
    platform::WinError SaveSettingsTo(platform::IniFile& ini) const;

    // ---- Steps of a run ----

    // The replace mode of the selected radio button: 4, then overwritten by the first selected one of
    // rbInsToFoot 64, rbReplace 1, rbDelete 2, rbInsBefore 16, rbInsAfter 8, rbJustFind 128,
    // rbInsBeetween 32.
    std::int32_t SelectedMode() const;
    // The case and whole-word boxes are enabled for a Tag other than 0 (Tag 0 also clears them); the
    // backup box is hidden for Tag 2 (just find).
    void SetEnabledDisabled(int Tag);
    // The search block of the window's texts and boxes (the caller frees it): the case-sensitive and
    // whole-word bytes from the boxes, the find text in lower and upper case when the case box is off
    // and enabled, both texts in the DOS code page when the DOS box is ticked.
    engines::ReplacerStructure InitReplacerStructure(std::string_view Find, std::string_view Replace) const;
    // Fills a run's thread from the window: mode, search block, first-part length, backup flag, the DOS
    // charset flag and the parameters (with the run's values). False, with the message "No Text in
    // window", when the find text is empty (the thread is left as it was). justFind tells whether the
    // run only searches (the run window's caption then says so).
    bool SetUpRun(engines::TReplacer& thread, bool& justFind);

    // The start button's handler: hands the selection over, runs, and gives the lists back.
    void btnStartOperationClick();

    Ui::TReplacerForm* ui() const { return ui_.get(); }

private:
    void StartSimpleReplace();
    void modeClicked(QAbstractButton* button);
    void memFindChange();
    void focusChanged(QWidget* old, QWidget* now);
    void setCaptionActive(bool active);

    std::unique_ptr<Ui::TReplacerForm> ui_;
    std::unique_ptr<core::TUserParameters> parameters_;
};

} // namespace wux::tools
