// TFinderForm: the tool window of the Finder (mode 2). It collects a search (name masks, the folders to
// search or the selection of the active panel, date, size and attribute conditions, a duplicate
// search, a text to find inside the files) and runs it: FinderStore gets the masks and the filter, the
// results window TSrchRes shows the hits while the search thread engines::TFinder finds them.
// Settings: ini section "Finder".
#pragma once

#include <QDate>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "filelist/browser_state.h"
#include "tools/tool_list.h"

namespace Ui {
class TFinderForm;
}

namespace wux::tools {

class TSrchRes;

// The attribute boxes in the order the filter reads them (archive, read-only, system, hidden,
// directory) and their attribute bits.
inline constexpr std::array<std::uint32_t, 5> kFinderAttributeBits = {32, 1, 4, 2, 16};

// The conditions of the Advanced page as the filter sees them.
struct FinderConditions
{
    bool duplicates = false;
    bool sameName = false;
    bool sameSize = false;
    // Archive, read-only, system, hidden, directory: checked must be present, unchecked must be
    // absent, partially checked (grayed) imposes nothing.
    std::array<Qt::CheckState, 5> attributes{Qt::PartiallyChecked, Qt::PartiallyChecked, Qt::PartiallyChecked,
                                             Qt::PartiallyChecked, Qt::PartiallyChecked};
    bool sizeOn = false;
    std::int64_t size = 0;
    int signIndex = 0; // 0 equal, 1 more than, 2 less than
    int unitIndex = 0; // 0 bytes, 1 Kbytes, 2 Mbytes
    bool dateBetween = false;
    QDate firstDay;
    QDate lastDay;
    bool notOlder = false;
    int notOlderCount = 0;
    int rangeIndex = 0; // 0 hours, 1 days, 2 weeks, 3 months, 4 years
};

// The filter of a run from the conditions. "Date between" covers both days whole, local time: from
// 00:00 of the first day to the end of the last day, both as UTC file times.
filelist::TBrowserFilter BuildFinderFilter(const FinderConditions& conditions);

class TFinderForm : public QWidget, public IToolForm
{
    Q_OBJECT
public:
    explicit TFinderForm(QWidget* parent = nullptr);
    ~TFinderForm() override;

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

    // The conditions of the Advanced page as they stand.
    FinderConditions conditions() const;
    // The search folders of the path list.
    std::vector<std::string> searchPaths() const;

    // Handlers (also driven by tests).
    void btnStartOperationClick();
    void btnAddClick();
    void btnEditClick();
    void btnDeleteClick();
    void pnlAddressLineClick();

    // Called with the results window before it is shown modally (tests look at it, or close it).
    std::function<void(TSrchRes& results)> onResultsShown;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void refreshEnabledStates();
    void chkFindTextClick();
    void chkDateBetweenClick();
    void chkNotOlderThenClick();
    void chkFindFilesSizeClick();
    void chkDuplicatesClick();
    void criterionClick(bool sameName);
    void focusChanged(QWidget* old, QWidget* now);
    bool askPath(int promptId, std::string& path);
    void updateLaunchAction();

    std::unique_ptr<Ui::TFinderForm> ui_;
    int baseId_ = 800;
    bool selectionPresent_ = false;
};

} // namespace wux::tools
