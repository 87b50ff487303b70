// TRenamerForm: the tool window of the Renamer (mode 3). The user composes a rename mask for the name
// and the extension (token buttons insert mask directives), a search-and-replace pair, a case mode and
// a counter, and presses the start button: the selected items of the panel beside the tool are copied
// into engines::RenameStore, the rename preview (TSrchRes) lists old and new names, and when the user
// confirms it the rename thread engines::TRenamer renames the files under the run window.
// Settings: ini section "Renamer".
#pragma once

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engines/rename_mask.h"
#include "tools/tool_list.h"

namespace Ui {
class TRenamerForm;
}

namespace wux::tools {

class TSrchRes;
class TViewRenReplacer;

// A token button: its Tag, the token it appends and whether it goes to the extension box.
struct RenamerToken
{
    int tag;
    std::string_view token;
    bool extensionBox;
};

inline constexpr std::array<RenamerToken, 9> kRenamerTokens = {{
    {1, "[N]", false},
    {2, "[N1-12]", false},
    {3, "[C]", false},
    {4, "[YMD]", false},
    {5, "[hms]", false},
    {6, "[E]", true},
    {7, "[E1-3]", true},
    {8, "[C]", true},
    {9, "[F]", false},
}};

// The token of a button's Tag; nullptr for a Tag without one.
const RenamerToken* renamerToken(int tag);

// "RnStatus": the digits box's index + 16 x the case box's index.
std::int32_t packRnStatus(int digitsIndex, int caseIndex);
// The two indexes of a stored "RnStatus": digits = value and 15, case = (value shr 4) and 7; an index
// outside its list (10 digit entries, 5 case modes) gives 0.
void unpackRnStatus(std::int32_t value, int& digitsIndex, int& caseIndex);

// What the window's controls hold for a rename.
struct RenamerInputs
{
    std::string nameMask;
    std::string extensionMask;
    std::int32_t start = 0;
    std::int32_t step = 0;
    int digitsIndex = 0; // 0 .. 9: 1 .. 10 digits
    int caseIndex = 0;   // 0 .. 4: unchanged, lower, upper, first letter, each word
    std::string find;
    std::string replace;
};

// The rename request of the inputs (running number 0).
engines::TRenamerFileStructure buildRenameRequest(const RenamerInputs& inputs);

class TRenamerForm : public QWidget, public IToolForm
{
    Q_OBJECT
public:
    explicit TRenamerForm(QWidget* parent = nullptr);
    ~TRenamerForm() override;

    // IToolForm
    void InitTool() override;
    void RegisterDefaultTexts(int baseId) override;
    void Translate(int baseId) override;
    void LoadSettings() override;
    void SaveSettings() override;
    bool CanStart(filelist::TstateOfBrowser* panelState) override;
    void StartOperation() override;
    void ShowHelp() override;
    void ShowTitle(bool visible) override;
    core::TUserParameters* GetParameters() override { return nullptr; }

    RenamerInputs inputs() const;

    // Handlers (also driven by tests).
    void btnStartOperationClick();
    void btnNameClick(int tag);
    void pnlAddressLineClick();

    // Called with the preview before it is shown modally, and with the run window before it is shown
    // (tests answer them).
    std::function<void(TSrchRes& preview)> onPreviewShown;
    std::function<void(TViewRenReplacer& runWindow)> onRunShown;

private:
    void focusChanged(QWidget* old, QWidget* now);
    void runRename(filelist::TstateOfBrowser& source);

    std::unique_ptr<Ui::TRenamerForm> ui_;
    int previewTitleId_ = 1802;
    int runTitleId_ = 1803;
};

} // namespace wux::tools
