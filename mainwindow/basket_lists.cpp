#include "mainwindow/basket_lists.h"

#include <QApplication>
#include <QGuiApplication>

#include "core/system_error.h"
#include "core/text_table.h"
#include "filelist/basket.h"
#include "filelist/browser_state.h"
#include "filelist/list_operations.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/name_index.h"
#include "platform/paths.h"

namespace wux::mainwindow {

namespace {

using filelist::BasketState;
using filelist::LeftBasketState;
using filelist::RightBasketState;
using filelist::StateAccess;
using filelist::TstateOfBrowser;

constexpr int kTextSaveBasketList = 703;
constexpr int kTextLoadBasketList = 704;
constexpr const char* kBasketListFilter = "All files (*)";

// The hourglass for the length of a scope.
class WaitCursor
{
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// The folder part (without the last "\") and the name of a Basket list line; false when the line
// names no file.
bool splitLine(std::string_view line, std::string& folder, std::string& name)
{
    const std::size_t slash = line.rfind('\\');
    if (slash == std::string_view::npos || slash == 0 || slash + 1 >= line.size()) {
        return false;
    }
    folder.assign(line.substr(0, slash));
    name.assign(line.substr(slash + 1));
    return true;
}

void showFailure(platform::WinError error, std::string_view caption, std::string_view path)
{
    std::string text;
    core::ShowSystemError(true, error, caption, path, text);
}

} // namespace

void ClearBasket()
{
    filelist::ReleaseStateItemIds(BasketState);
    filelist::FreeBrowserState(BasketState);
    filelist::CreateBasketState(BasketState);
    filelist::AttachStateToPanel(filelist::kRightBasketView, false, BasketState);
    filelist::AttachStateToPanel(filelist::kLeftBasketView, false, BasketState);
    filelist::RecalcSelection(LeftBasketState);
    filelist::RecalcSelection(RightBasketState);
}

void SaveBasketToStrings(platform::StringList& list)
{
    BasketState.busy = 1;
    {
        StateAccess access(BasketState);
        for (std::int32_t folder = 1; folder <= BasketState.folderCount; ++folder) {
            const filelist::TBrowserFolder& record = access.Folder(folder);
            if ((record.flags & filelist::kFolderExpanded) == 0) {
                continue;
            }
            const std::string path(access.Path(record));
            for (std::int32_t position = 1; position <= record.count; ++position) {
                const filelist::TBrowserItem* item = access.ItemAt(folder, position);
                if (item != nullptr) {
                    list.add(path + "\\" + std::string(access.Name(*item)));
                }
            }
        }
    }
    BasketState.busy = 0;
}

int LoadBasketFromStrings(const platform::StringList& list)
{
    ClearBasket();
    TstateOfBrowser copy;
    filelist::CloneBrowserState(copy, BasketState);
    int skipped = 0;
    std::string folderPath;
    std::string name;
    // The paths of a list file may be spelled in another letter case (one index per folder).
    platform::CaseIndexScope caseIndex;
    for (const std::string& stored : list) {
        const std::string line = platform::spelledOnDisk(stored);
        std::uint32_t attributes = 0;
        if (!splitLine(line, folderPath, name) || platform::getAttributes(line, attributes) != 0) {
            ++skipped;
            continue;
        }
        const std::int32_t folder = filelist::FindOrAddFolder(folderPath, copy);
        if (folder < 1) {
            ++skipped;
            continue;
        }
        // A name already in the folder is not inserted again (only marked, as the option says).
        filelist::InsertFileIntoFolder(folderPath, name, folder, copy);
    }
    filelist::ReleaseStateItemIds(BasketState);
    filelist::FreeBrowserState(BasketState);
    BasketState = copy;
    filelist::RecalcAllPanels();
    return skipped;
}

platform::WinError SaveBasketListFile(std::string_view path)
{
    platform::StringList list;
    SaveBasketToStrings(list);
    return platform::atomicRewrite(path, list.text());
}

platform::WinError LoadBasketListFile(std::string_view path)
{
    std::string bytes;
    if (const platform::WinError error = platform::readWholeFile(path, bytes); error != 0) {
        return error;
    }
    platform::StringList list;
    list.setText(bytes);
    LoadBasketFromStrings(list);
    return 0;
}

bool SaveBasketListWithDialog(QWidget* parent, std::string_view caption)
{
    platform::FileDialogRequest request;
    request.kind = platform::FileDialogKind::Save;
    request.title = core::uiText(kTextSaveBasketList);
    request.filter = kBasketListFilter;
    request.parent = parent;
    const std::string path = platform::dialogService().fileDialog(request);
    if (path.empty()) {
        return false;
    }
    if (const platform::WinError error = SaveBasketListFile(path); error != 0) {
        showFailure(error, caption, path);
        return false;
    }
    return true;
}

bool LoadBasketListWithDialog(QWidget* parent, std::string_view caption)
{
    platform::FileDialogRequest request;
    request.kind = platform::FileDialogKind::Open;
    request.title = core::uiText(kTextLoadBasketList);
    request.filter = kBasketListFilter;
    request.parent = parent;
    const std::string path = platform::dialogService().fileDialog(request);
    if (path.empty()) {
        return false;
    }
    platform::WinError error = 0;
    {
        WaitCursor wait;
        error = LoadBasketListFile(path);
    }
    if (error != 0) {
        showFailure(error, caption, path);
        return false;
    }
    return true;
}

} // namespace wux::mainwindow
