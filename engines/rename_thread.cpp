#include "engines/rename_thread.h"

#include "core/file_tests.h"
#include "engines/rename_mask.h"
#include "filelist/list_operations.h"
#include "platform/files.h"
#include "platform/movable_memory.h"

namespace wux::engines {

namespace {

using filelist::StateAccess;
using filelist::TBrowserFolder;
using filelist::TBrowserItem;

// The folder path of an item as stored (the real folders, also while the list shows a flat view).
std::string storedFolderPath(const StateAccess& access, std::int32_t folder)
{
    const filelist::TstateOfBrowser& state = access.state;
    const bool flat = static_cast<bool>(state.savedFolders);
    const std::int32_t count = flat ? state.savedFolderCount : state.folderCount;
    if (folder < 1 || folder > count)
        return std::string();
    platform::MovableLock lock(flat ? state.savedFolders : state.folders);
    const auto* folders = lock.as<TBrowserFolder>();
    if (folders == nullptr)
        return std::string();
    return std::string(access.Path(folders[folder - 1]));
}

} // namespace

void CreateDirectoryChain(std::string_view Folder, std::string_view NewName)
{
    for (std::size_t i = 0; i < NewName.size(); ++i)
        if (NewName[i] == '\\')
            platform::createFolder(std::string(Folder) + std::string(NewName.substr(0, i)));
}

TRenamer::TRenamer() = default;

TRenamer::~TRenamer()
{
    Terminate();
    WaitFor();
}

void TRenamer::SyncRenameFile(const std::string& shown)
{
    if (OnRenameFile)
        OnRenameFile(*this, shown);
}

void TRenamer::SyncRenameItem(std::int32_t outcome)
{
    if (OnRenameItem)
        OnRenameItem(*this, outcome);
}

void TRenamer::applyToSourceItem(std::int32_t number, const std::string& newName, bool oldFileGone,
                                 std::int32_t outcome)
{
    if (sourceList == nullptr || number < 1 || number > sourceList->itemCount)
        return;
    StateAccess access(*sourceList);
    if (access.items == nullptr)
        return;
    TBrowserItem& item = access.items[number - 1];
    item.status = 0;
    switch (outcome) {
    case kRenameFailed:
        if (oldFileGone)
            item.flags |= filelist::kRemovalPending;
        item.status = filelist::kStatusFailed;
        break;
    case kRenameDone:
        item.status = filelist::kStatusSuccessful;
        if (!newName.empty() && sourceList->text != nullptr) {
            const std::uint32_t offset = sourceList->text->Add(newName);
            item.nameOffset = offset;
            item.nameLength = static_cast<std::uint32_t>(newName.size());
            item.extensionOffset = filelist::ExtensionOffsetOf(
                newName, offset, (item.attributes & filelist::kDirectoryAttribute) != 0);
        }
        break;
    case kRenameUnchanged:
        item.status = filelist::kStatusUnchanged;
        break;
    default:
        break;
    }
    item.flags &= ~filelist::kMarkBothViews;
}

void TRenamer::Execute()
{
    endState = 0;
    TRenamerFileStructure& request = renamerFileStructure();
    request.runningNumber = 0;
    if (RenameList != nullptr) {
        filelist::TstateOfBrowser& list = *RenameList;
        StateAccess access(list);
        std::int32_t k = 0;
        std::int32_t cachedFolder = -1;
        std::string shownFolder, realFolder;
        for (std::int32_t folder = 1; folder <= list.folderCount && !Terminated(); ++folder) {
            const std::int32_t count = access.Folder(folder).count;
            for (std::int32_t position = 1; position <= count && !Terminated(); ++position) {
                const TBrowserItem* item = access.ItemAt(folder, position);
                if (item == nullptr)
                    continue;
                ++k;
                // The counter follows the display position, as in the preview.
                request.runningNumber = k;
                if (item->itemIds != nullptr)
                    continue;
                const std::string name(access.Name(*item));
                // The folder texts depend on the item's folder only: made once per folder.
                if (item->folder != cachedFolder) {
                    cachedFolder = item->folder;
                    filelist::GetCellText(filelist::kColumnLocation, folder, position, shownFolder, list);
                    shownFolder += '\\';
                    realFolder = storedFolderPath(access, item->folder) + '\\';
                }
                const std::string newName = BuildNewName(shownFolder, name, item->lastWrite);
                CreateDirectoryChain(realFolder, newName);
                text = realFolder + name;
                result = kRenameFailed;
                if (newName == name)
                    result = kRenameUnchanged;
                else if (platform::moveFile(text, realFolder + newName) == 0)
                    result = kRenameDone;
                const bool oldFileGone = result == kRenameFailed && !core::FileExists(text);
                text = shownFolder + name + " - " + newName;
                // The outcome goes into the source list and both reports to the run window, in
                // one call that the run does not wait for.
                Queue([this, number = item->number, newName, oldFileGone, outcome = result, shown = text] {
                    applyToSourceItem(number, newName, oldFileGone, outcome);
                    SyncRenameFile(shown);
                    SyncRenameItem(outcome);
                });
            }
        }
    }
    endState = Terminated() ? 1 : 2;
    setReturnValue(endState);
}

} // namespace wux::engines
