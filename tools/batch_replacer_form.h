// TBatchReplacerForm: the tool window of mode 5 (the Batch Replacer). The user builds a table of
// find/replace pairs in a grid (typed in, or loaded from a table file or a spreadsheet), saves it as a
// ".rtbl" file and runs it over the selected files of the active panel (or of the Basket). A run
// compiles the grid into a table block and runs a TBatchReplacer worker under the modal run window.
//
// The grid's first row holds the column titles; rows 1 .. row count hold the table (flag text, find
// cell, replace cell). With no table row the grid keeps one empty row.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <QWidget>

#include "core/user_parameters.h"
#include "engines/batch_table.h"
#include "platform/errors.h"
#include "tools/tool_list.h"

class QComboBox;

namespace Ui {
class TBatchReplacerForm;
}

namespace wux::engines {
class TBatchReplacer;
}
namespace wux::filelist {
struct TstateOfBrowser;
}
namespace wux::platform {
class IniFile;
}

namespace wux::tools {

// The title text of the Batch Replacer (its hint is the next number).
inline constexpr int kBatchReplacerTitleId = 300;
// The section of its settings (also the name of its parameter set).
inline constexpr const char* kBatchReplacerSection = "Batch Replacer";
inline constexpr const char* kBatchReplacerHelpTopic = "BATCHREPLACER";

// The character position (in UTF-16 units) at which a UTF-8 text's byte offset lies: the code points
// that end at or before the offset are counted, so an offset inside a character gives that character.
int characterPositionOfByte(std::string_view utf8, std::size_t byteOffset);

class TBatchReplacerForm : public QWidget, public IToolForm
{
    Q_OBJECT
public:
    explicit TBatchReplacerForm(QWidget* parent = nullptr);
    ~TBatchReplacerForm() override;

    // ---- The tool-form interface ----
    void InitTool() override;
    void RegisterDefaultTexts(int BaseId) override;
    void Translate(int BaseId) override;
    void LoadSettings() override;
    void SaveSettings() override;
    bool CanStart(filelist::TstateOfBrowser* PanelState) override;
    void StartOperation() override;
    void ShowHelp() override;
    void ShowTitle(bool Visible) override;
    core::TUserParameters* GetParameters() override { return parameters_.get(); }

    // The same settings steps on a given file.
    void LoadSettingsFrom(const platform::IniFile& ini);
    platform::WinError SaveSettingsTo(platform::IniFile& ini);

    // ---- The table ----

    // Rows of the table (0 while the grid shows only its empty row).
    std::int32_t rowCount() const { return rowCount_; }
    // The last loaded or saved table file (at start the folder read from the settings).
    const std::string& lastFile() const { return lastFile_; }
    // The grid's three columns without the title row.
    void gridCells(engines::TableCells& Flags, engines::TableCells& Finds,
                   engines::TableCells& Replaces) const;
    // Loads a table file into the grid; false (the grid as it was) when it cannot be loaded or holds no
    // row.
    bool LoadTableIntoGrid(const std::string& FileName);

    // Checks a combo box's text as a find cell (Kind 1) or a replace cell (Kind 2); on an error shows
    // Message and selects the text from the character before the error on.
    bool ValidateCellText(QComboBox& Combo, int Message, int Kind);
    bool ValidateInputs();

    // Handlers of the buttons (also clicked by the keys).
    void btnAddClick();
    void btnModifyClick();
    void btnDeleteClick();
    void btnLoadClick();
    void btnSaveClick();
    void sgBatchSelectCell(int ARow);

    // The run over the selected files.
    void StartBatchReplace();

    Ui::TBatchReplacerForm* ui() const { return ui_.get(); }

private:
    void WriteCurrentRow();
    void setTitleRow(int BaseId);
    void updateTableControls();
    void resizeColumns();
    void setDialogFolder(const std::string& fileName);
    // Runs with OnSelectCell of the grid switched off.
    template <typename F> void withoutSelectCell(F&& step);
    // Shows the first bad row of a table and the error of its faulty cell.
    void showBadRow(std::int32_t row, const engines::TableCells& Finds);
    void focusChanged(QWidget* old, QWidget* now);
    bool eventFilter(QObject* watched, QEvent* event) override;

    std::unique_ptr<Ui::TBatchReplacerForm> ui_;
    std::string lastFile_;
    std::int32_t rowCount_ = 0;
    engines::TBatchReplacer* thread_ = nullptr;
    std::unique_ptr<core::TUserParameters> parameters_;
    std::string dialogFolder_; // the start folder of both file dialogs
};

} // namespace wux::tools
