#include "filelist/folder_reader.h"

#include <algorithm>
#include <vector>

#include "core/display_helpers.h"
#include "filelist/drive_list.h"
#include "filelist/general_options.h"
#include "filelist/list_operations.h"
#include "platform/files.h"
#include "platform/filetime.h"
#include "platform/string_list.h"
#include "platform/text.h"

namespace wux::filelist {

namespace {

constexpr std::uint32_t kHiddenOrSystem = 0x2 | 0x4;

std::string withoutTrailingBackslash(std::string_view path)
{
    std::string text(path);
    if (!text.empty() && text.back() == '\\')
        text.pop_back();
    return text;
}

std::int32_t backslashCount(std::string_view path)
{
    return static_cast<std::int32_t>(std::count(path.begin(), path.end(), '\\'));
}

// Releases the item-id lists that the list's items own.
void releaseItemLists(StateAccess& access, std::int32_t fromIndex = 0)
{
    for (std::int32_t i = fromIndex; i < access.state.itemCount; ++i) {
        TBrowserItem& item = access.items[i];
        if (item.flags & kItemOwnsItemIds) {
            releaseItemIdList(item.itemIds);
            item.itemIds = nullptr;
            item.flags &= ~kItemOwnsItemIds;
        }
    }
}

// The list becomes one expanded folder without items.
void resetToSingleFolder(TstateOfBrowser& state, std::string_view path, ItemIdList* itemIds,
                         std::uint32_t flags)
{
    ReleaseStateItemIds(state);
    StateAccess access(state);
    state.itemCount = 0;
    state.folderCount = 1;
    state.text->Clear();
    TBrowserFolder& record = access.Folder(1);
    record = TBrowserFolder();
    record.itemIds = itemIds;
    record.count = 0;
    record.firstItem = 0;
    record.pathOffset = state.text->Add(path);
    record.flags = flags;
    record.depth = backslashCount(path);
    record.itemIdDepth = -1;
    access.folderOrder[0] = 1;
}

// Removes the last folder record (a tree folder that could not be read) and its folder-order entry.
void dropLastFolder(TstateOfBrowser& state)
{
    StateAccess access(state);
    const std::int32_t last = state.folderCount;
    if (last < 1)
        return;
    TBrowserFolder& record = access.Folder(last);
    if (record.flags & kFolderOwnsItemIds)
        releaseItemIdList(record.itemIds);
    record = TBrowserFolder();
    std::uint32_t* end = access.folderOrder + last;
    std::uint32_t* entry = std::find(access.folderOrder, end, static_cast<std::uint32_t>(last));
    if (entry != end)
        std::move(entry + 1, end, entry);
    state.folderCount = last - 1;
}

void appendItem(StateAccess& access, std::int32_t folder, TBrowserItem item, std::string_view name,
                bool isDirectory)
{
    TstateOfBrowser& state = access.state;
    if (state.itemCount >= state.itemCapacity)
        GrowItemBlock(access, kItemGrowthWhileReading);
    TBrowserFolder& record = access.Folder(folder);
    item.folder = folder;
    item.nameLength = static_cast<std::uint32_t>(name.size());
    item.nameOffset = state.text->Add(name);
    item.extensionOffset = ExtensionOffsetOf(name, item.nameOffset, isDirectory);
    access.items[state.itemCount] = item;
    record.count += 1;
    // Reading order until the folder is sorted.
    access.order[state.itemCount] = static_cast<std::uint32_t>(record.count);
    state.itemCount += 1;
}

bool readShellFolder(std::int32_t folder, TstateOfBrowser& state, ItemIdList* folderIds)
{
    if (folderIds == nullptr)
        return false;
    ShellNamespace& shell = shellNamespace();
    std::vector<ItemIdList> entries;
    if (!shell.enumerate(*folderIds, entries))
        return false;
    StateAccess access(state);
    for (ItemIdList& relative : entries) {
        ItemIdList* absolute = joinItemIdLists(folderIds, &relative);
        ShellItemInfo info;
        const bool known = shell.itemInfo(*absolute, info);
        releaseItemIdList(absolute);
        if (!known)
            continue;
        TBrowserItem item;
        item.itemIds = new ItemIdList(std::move(relative));
        item.flags = kItemOwnsItemIds;
        item.attributes = info.isFolder ? kDirectoryAttribute : 0;
        item.size = 0;
        item.lastWrite = ShellEntryTime();
        item.iconIndex = info.iconIndex;
        item.openIconIndex = -1;
        item.status = 0;
        item.number = 1;
        // Shell entries have no extension.
        appendItem(access, folder, item, info.displayName, true);
    }
    return true;
}

// The tests of ItemMatchesFilter that the name and the type alone decide: hidden entries, the masks,
// folders.
bool nameAndTypeMatch(std::uint32_t flags, const core::TMaskList& maskList,
                      const platform::FindData& findData)
{
    if (!HasGeneralOption(kOptionShowHidden) && (findData.attributes & kHiddenOrSystem))
        return false;
    const bool directory = (findData.attributes & kDirectoryAttribute) != 0;
    if ((flags & kReadMasksFilesOnly) && directory)
        return !(flags & kReadNoFolders);
    return core::MatchMaskList(findData.name, maskList, true) && !((flags & kReadNoFolders) && directory);
}

} // namespace

platform::FileTime ShellEntryTime()
{
    platform::CalendarTime time;
    time.year = 2001;
    time.month = 8;
    time.day = 31;
    time.hour = 13;
    return platform::calendarToFileTime(time).value_or(0);
}

bool SetStateToPath(std::string_view path, TstateOfBrowser& state)
{
    if (path.empty() || state.text == nullptr)
        return false;
    std::uint32_t attributes = 0;
    if (platform::getAttributes(path, attributes) != 0 || !(attributes & kDirectoryAttribute))
        return false;
    if (path.front() == '\\') {
        const std::int32_t index = FindDriveIndex('\\', DriveList);
        if (index < 0 || DriveList[static_cast<std::size_t>(index)]->letter != '\\')
            return false;
        return SetStateToDrive(index, state);
    }
    resetToSingleFolder(state, withoutTrailingBackslash(path), nullptr, kFolderExpanded);
    return true;
}

bool SetStateToDrive(std::int32_t driveIndex, TstateOfBrowser& state)
{
    if (driveIndex < 0 || static_cast<std::size_t>(driveIndex) >= DriveList.size() || state.text == nullptr)
        return false;
    const TDriveRecord& drive = *DriveList[static_cast<std::size_t>(driveIndex)];
    if (!IsDriveReady(drive.letter))
        return false;
    if (drive.itemIds != nullptr)
        resetToSingleFolder(state, drive.Name(), drive.itemIds, kFolderExpanded | kFolderOutsideFileSystem);
    else
        resetToSingleFolder(state, std::string(1, drive.letter) + ":", nullptr, kFolderExpanded);
    {
        StateAccess access(state);
        access.Folder(1).depth = 0;
    }
    state.driveIndex = driveIndex;
    return true;
}

bool ReadFolder(std::int32_t folder, std::uint32_t flags, TstateOfBrowser& state)
{
    bool outside = false;
    ItemIdList* folderIds = nullptr;
    {
        StateAccess access(state);
        if (!access.HasRecord(folder))
            return false;
        TBrowserFolder& record = access.Folder(folder);
        record.firstItem = static_cast<std::uint32_t>(state.itemCount);
        record.count = 0;
        outside = (record.flags & kFolderOutsideFileSystem) != 0;
        folderIds = record.itemIds;
    }
    if (outside)
        return readShellFolder(folder, state, folderIds);
    return ReadFolderItems(folder, flags, state, nullptr);
}

namespace {

// Lists path through the filter and masks: every entry that passes goes to take (its status read, or
// with statusPending for statusLater), every sub-folder to descend into to subfolder. False when the
// folder cannot be listed or its listing broke off (the caller drops what it took).
template <class Take, class Subfolder>
bool listFolder(std::string_view path, std::uint32_t flags, const TBrowserFilter& filter,
                const core::TMaskList& maskList, const platform::FileId* expected, bool statusLater,
                Take&& take, Subfolder&& subfolder)
{
    const std::string folderPath(path);
    // A folder of a walk was shown as one by its parent's listing, and the listing checks that it
    // still is; any other path is asked first.
    std::uint32_t attributes = 0;
    if (folderPath.empty() || (expected == nullptr && platform::getAttributes(folderPath, attributes) != 0))
        return false;
    platform::FolderListing listing;
    // The name decides first: the status of a plain file is read only when its name passes.
    listing.setNamesFirst(true);
    platform::FindData data;
    platform::WinError error = expected != nullptr
                                   ? listing.findFirstInWalk(folderPath + "\\*.*", expected, data)
                                   : listing.findFirst(folderPath + "\\*.*", data);
    if (error == platform::kErrorFileNotFound || error == platform::kErrorNoMoreFiles)
        return true;
    if (error != 0)
        return false;
    const bool showHidden = HasGeneralOption(kOptionShowHidden);
    statusLater = statusLater && !filter.enabled;
    do {
        if (data.name == "." || data.name == "..")
            continue;
        if (data.statusPending) {
            if (!nameAndTypeMatch(flags, maskList, data))
                continue;
            if (statusLater) {
                take(data); // a plain file: no sub-folder
                continue;
            }
            if (listing.fillStatus(data) != platform::kErrorSuccess)
                continue; // gone meanwhile
        }
        if (platform::isWalkableFolder(data) && (showHidden || !(data.attributes & kHiddenOrSystem)))
            subfolder(data);
        if (ItemMatchesFilter(flags, filter, maskList, data))
            take(data);
    } while ((error = listing.findNext(data)) == 0);
    listing.close();
    // A listing that broke off leaves the folder empty rather than half read.
    return error == platform::kErrorNoMoreFiles;
}

TBrowserItem newItem(const platform::FindData& data, std::uint32_t flags)
{
    TBrowserItem item;
    item.itemIds = nullptr;
    item.size = data.size;
    item.lastWrite = data.lastWriteTime;
    item.attributes = data.attributes;
    item.iconIndex = -1;
    item.openIconIndex = -1;
    item.flags = flags;
    item.status = 0;
    item.number = 1;
    return item;
}

std::uint32_t newItemFlags(const TstateOfBrowser& state)
{
    return (state.mode & 1) && HasGeneralOption(kOptionSelectOnBasketSend) ? kMarkBothViews : 0;
}

} // namespace

void ListFolderEntries(std::string_view path, std::uint32_t flags, const TBrowserFilter& filter,
                       const core::TMaskList& maskList, const platform::FileId* expected, FolderEntries& out,
                       bool statusLater)
{
    out.entries.clear();
    out.subfolders.clear();
    out.subfolderIds.clear();
    out.readable = listFolder(
        path, flags, filter, maskList, expected, statusLater,
        [&](platform::FindData& data) { out.entries.push_back(std::move(data)); },
        [&](const platform::FindData& data) {
            out.subfolders.push_back(data.name);
            out.subfolderIds.push_back(data.id);
        });
    if (!out.readable)
        out.entries.clear();
}

void AppendFolderEntries(std::int32_t folder, const std::vector<platform::FindData>& entries,
                         TstateOfBrowser& state)
{
    const std::uint32_t flags = newItemFlags(state);
    StateAccess access(state);
    if (!access.HasRecord(folder))
        return;
    for (const platform::FindData& data : entries)
        appendItem(access, folder, newItem(data, flags), data.name, (data.attributes & kDirectoryAttribute) != 0);
}

bool ReadFolderItems(std::int32_t folder, std::uint32_t flags, TstateOfBrowser& state,
                     platform::StringList* subfolderList, const platform::FileId* expected,
                     std::vector<platform::FileId>* subfolderIds)
{
    std::string path;
    std::int32_t firstIndex = 0;
    {
        StateAccess access(state);
        if (!access.HasRecord(folder))
            return false;
        TBrowserFolder& record = access.Folder(folder);
        firstIndex = state.itemCount;
        record.firstItem = static_cast<std::uint32_t>(firstIndex);
        record.count = 0;
        path.assign(access.Path(record));
    }
    // Each entry goes into the list as it is read: a folder of 100,000 entries is never held twice.
    const std::uint32_t itemFlags = newItemFlags(state);
    StateAccess access(state);
    const bool readable = listFolder(
        path, flags, state.filter, state.maskList, expected, false,
        [&](const platform::FindData& data) {
            appendItem(access, folder, newItem(data, itemFlags), data.name,
                       (data.attributes & kDirectoryAttribute) != 0);
        },
        [&](const platform::FindData& data) {
            if (subfolderList == nullptr)
                return;
            subfolderList->add(data.name);
            if (subfolderIds != nullptr)
                subfolderIds->push_back(data.id);
        });
    if (!readable) {
        state.itemCount = firstIndex;
        access.Folder(folder).count = 0;
    }
    return readable;
}

bool ItemMatchesFilter(std::uint32_t flags, const TBrowserFilter& filter, const core::TMaskList& maskList,
                       const platform::FindData& findData)
{
    bool result = true;
    if (filter.enabled) {
        if (filter.dateMode == 1)
            result = filter.from <= findData.lastWriteTime && findData.lastWriteTime <= filter.to;
        else if (filter.dateMode == 2)
            result = result && core::IsFileTimeWithin(findData.lastWriteTime, filter.unit, filter.count);
        if ((findData.attributes & filter.attributesPresent) != filter.attributesPresent ||
            (findData.attributes & filter.attributesAbsent) != 0)
            result = false;
        if (filter.sizeTest != 0) {
            std::uint64_t size = findData.size;
            const std::uint32_t unit = (filter.sizeTest >> 2) & 3;
            if (unit == 2)
                size >>= 10;
            else if (unit == 3)
                size >>= 20;
            switch (filter.sizeTest & 3) {
            case 1:
                result = result && size == filter.size;
                break;
            case 2:
                result = result && size < filter.size;
                break;
            case 3:
                result = result && size > filter.size;
                break;
            default:
                break;
            }
        }
    }
    return result && nameAndTypeMatch(flags, maskList, findData);
}

void CarryOverSelection(TstateOfBrowser& source, TstateOfBrowser& target, std::int32_t targetFolder,
                        std::int32_t sourceFolder)
{
    StateAccess from(source);
    StateAccess to(target);
    if (!from.HasFolder(sourceFolder) || !to.HasFolder(targetFolder))
        return;
    const std::int32_t sourceCount = from.Folder(sourceFolder).count;
    const std::int32_t targetCount = to.Folder(targetFolder).count;
    std::int32_t s = 1;
    std::int32_t t = 1;
    while (s <= sourceCount && t <= targetCount) {
        const TBrowserItem* old = from.ItemAt(sourceFolder, s);
        TBrowserItem* item = to.ItemAt(targetFolder, t);
        if (old == nullptr) {
            ++s;
            continue;
        }
        if (item == nullptr) {
            ++t;
            continue;
        }
        const int cmp = platform::compareNoCase(to.Name(*item), from.Name(*old));
        if (cmp < 0) {
            ++t;
        } else if (cmp > 0) {
            ++s;
        } else {
            item->iconIndex = old->iconIndex;
            item->openIconIndex = old->openIconIndex;
            // The item keeps its own item-id list and ownership.
            item->flags = (old->flags & ~kItemOwnsItemIds) | (item->flags & kItemOwnsItemIds);
            item->status = old->status;
            if (old->flags & kSizeCounted)
                item->size = old->size;
            ++s;
            ++t;
        }
    }
}

void CopyFolderRecord(std::int32_t folder, TstateOfBrowser& target, std::int32_t sourceFolder,
                      TstateOfBrowser& source)
{
    if (folder < 1)
        return;
    TBrowserFolder record;
    std::string path;
    {
        StateAccess from(source);
        if (!from.HasFolder(sourceFolder))
            return;
        TBrowserFolder& original = from.Folder(sourceFolder);
        record = original;
        path.assign(from.Path(original));
        // One owner for the item-id list: the copy takes it over.
        original.flags &= ~kFolderOwnsItemIds;
    }
    StateAccess to(target);
    if (folder > target.folderCapacity)
        GrowFolderBlock(to, folder - target.folderCapacity + kFolderGrowth);
    record.pathOffset = target.text->Add(path);
    to.folders[folder - 1] = record;
}

void AddChildFolder(std::int32_t folder, std::int32_t position, TstateOfBrowser& state, std::int32_t kind,
                    TstateOfBrowser& target, std::int32_t newFolder)
{
    if (newFolder < 1)
        return;
    TBrowserFolder parent;
    std::string parentPath;
    ItemIdList* entryIds = nullptr;
    std::string entryName;
    std::int32_t entryIndex = -1;
    {
        StateAccess access(state);
        entryIndex = access.IndexAt(folder, position);
        if (entryIndex < 0)
            return;
        parent = access.Folder(folder);
        parentPath.assign(access.Path(parent));
        entryIds = access.items[entryIndex].itemIds;
        entryName.assign(access.Name(access.items[entryIndex]));
    }
    const auto entryNumber =
        static_cast<std::uint32_t>(entryIndex - static_cast<std::int32_t>(parent.firstItem) + 1);

    TBrowserFolder child;
    child.flags = kFolderExpanded;
    child.itemIdDepth = parent.itemIdDepth;
    child.itemIds = parent.itemIds;
    child.depth = parent.depth + 1;
    child.count = 0;
    child.firstItem = static_cast<std::uint32_t>(target.itemCount);
    std::string childPath;
    if (parent.flags & kFolderOutsideFileSystem) {
        ShellNamespace& shell = shellNamespace();
        // Joined before any list is let go.
        ItemIdList* joined = joinItemIdLists(parent.itemIds, entryIds);
        if (kind & kChildEnter) {
            StateAccess access(state);
            TBrowserFolder& record = access.Folder(folder);
            for (std::int32_t n = 0; n < record.count; ++n) {
                TBrowserItem& item = access.items[record.firstItem + static_cast<std::uint32_t>(n)];
                if (item.flags & kItemOwnsItemIds) {
                    releaseItemIdList(item.itemIds);
                    item.itemIds = nullptr;
                    item.flags &= ~kItemOwnsItemIds;
                }
            }
            if (record.flags & kFolderOwnsItemIds) {
                releaseItemIdList(record.itemIds);
                record.itemIds = nullptr;
                record.flags &= ~kFolderOwnsItemIds;
            }
        }
        child.itemIds = joined;
        child.flags |= kFolderOwnsItemIds;
        std::string fileSystemPath;
        if (shell.fileSystemPath(*joined, fileSystemPath) && platform::pathExists(fileSystemPath)) {
            childPath = withoutTrailingBackslash(fileSystemPath);
            child.itemIdDepth = 0;
        } else {
            std::string name;
            if (!shell.displayName(*joined, name))
                name.clear();
            childPath = withoutTrailingBackslash(name);
            child.flags |= kFolderOutsideFileSystem;
        }
    } else {
        childPath = parentPath + "\\" + entryName;
        if (child.itemIdDepth != -1)
            child.itemIdDepth += 1;
        if ((kind & kChildEnter) && (parent.flags & kFolderOwnsItemIds) && parent.itemIds != nullptr) {
            // The parent is left behind: the list goes with the folder entered.
            child.flags |= kFolderOwnsItemIds;
            StateAccess access(state);
            access.Folder(folder).flags &= ~kFolderOwnsItemIds;
        }
    }
    if (kind & kChildExpand) {
        child.flags |= entryNumber & kFolderParentItemMask;
        StateAccess access(state);
        TBrowserItem& entry = access.items[entryIndex];
        entry.flags = (entry.flags & ~kItemChildFolderMask) |
                      (static_cast<std::uint32_t>(newFolder) & kItemChildFolderMask) | kItemExpanded;
    }
    StateAccess to(target);
    if (newFolder > target.folderCapacity)
        GrowFolderBlock(to, newFolder - target.folderCapacity + kFolderGrowth);
    child.pathOffset = target.text->Add(childPath);
    to.folders[newFolder - 1] = child;
}

std::int32_t ToggleTreeFolder(std::int32_t folder, std::int32_t position, TstateOfBrowser& state)
{
    std::int32_t child = 0;
    bool expanded = false;
    {
        StateAccess access(state);
        const TBrowserItem* item = access.ItemAt(folder, position);
        if (item == nullptr || !(item->attributes & kDirectoryAttribute))
            return -1;
        child = static_cast<std::int32_t>(item->flags & kItemChildFolderMask);
        expanded = (item->flags & kItemExpanded) != 0;
        if (!access.HasFolder(child))
            child = 0;
    }
    if (child == 0) {
        const std::int32_t newFolder = state.folderCount + 1;
        {
            StateAccess access(state);
            if (state.folderCount >= state.folderCapacity)
                GrowFolderBlock(access, kFolderGrowth);
        }
        AddChildFolder(folder, position, state, kChildExpand, state, newFolder);
        StateAccess access(state);
        const std::int32_t orderPosition = FolderOrderPosition(access.Path(access.Folder(newFolder)), access);
        InsertIntoFolderOrder(orderPosition, access);
        return newFolder;
    }
    if (expanded) {
        {
            StateAccess access(state);
            access.ItemAt(folder, position)->flags &= ~kItemExpanded;
        }
        CollapseTree(child, state);
        UnselectFolderItems(child, 1, state);
    } else {
        StateAccess access(state);
        access.ItemAt(folder, position)->flags |= kItemExpanded;
        access.Folder(child).flags |= kFolderExpanded;
    }
    return 0;
}

void CollapseTree(std::int32_t folder, TstateOfBrowser& state)
{
    StateAccess access(state);
    if (!access.HasFolder(folder))
        return;
    access.Folder(folder).flags ^= kFolderExpanded;
    std::vector<std::int32_t> pending{folder};
    std::int32_t visited = 0;
    while (!pending.empty() && visited <= state.folderCount) {
        const std::int32_t current = pending.back();
        pending.pop_back();
        ++visited;
        const std::int32_t count = access.Folder(current).count;
        // Files and folders may be mixed (a sort word without "folders first"): every entry is looked at.
        for (std::int32_t position = 1; position <= count; ++position) {
            TBrowserItem* item = access.ItemAt(current, position);
            if (item == nullptr || !(item->attributes & kDirectoryAttribute) ||
                !(item->flags & kItemExpanded))
                continue;
            item->flags &= ~kItemExpanded;
            const auto child = static_cast<std::int32_t>(item->flags & kItemChildFolderMask);
            if (access.HasFolder(child) && child != current) {
                access.Folder(child).flags &= ~kFolderExpanded;
                pending.push_back(child);
            }
        }
    }
}

void GoToParentFolder(TstateOfBrowser& state, std::string& leftName)
{
    leftName.clear();
    StateAccess access(state);
    if (!access.HasFolder(1))
        return;
    TBrowserFolder& record = access.Folder(1);
    if (record.depth == 0)
        return;
    if (record.itemIds != nullptr && record.itemIdDepth < 1) {
        ShellNamespace& shell = shellNamespace();
        if (record.itemIdDepth == 0) {
            record.itemIdDepth = -1;
            record.flags |= kFolderOutsideFileSystem;
        }
        if (!shell.displayName(*record.itemIds, leftName))
            leftName.clear();
        ItemIdList parentList = *record.itemIds;
        parentList.removeLast();
        std::string parentName;
        if (!shell.displayName(parentList, parentName))
            return;
        if (record.flags & kFolderOwnsItemIds) {
            record.itemIds->removeLast();
        } else {
            record.itemIds = new ItemIdList(std::move(parentList));
            record.flags |= kFolderOwnsItemIds;
        }
        releaseItemLists(access);
        state.text->Clear();
        record.pathOffset = state.text->Add(parentName);
    } else {
        const std::string path(access.Path(record));
        const std::size_t cut = path.rfind('\\');
        leftName = cut == std::string::npos ? path : path.substr(cut + 1);
        const std::string parentPath = cut == std::string::npos ? std::string() : path.substr(0, cut);
        releaseItemLists(access);
        state.text->Clear();
        record.pathOffset = state.text->Add(parentPath);
        if (record.itemIdDepth > 0)
            record.itemIdDepth -= 1;
    }
    record.depth -= 1;
}

bool RereadState(TstateOfBrowser& state)
{
    TstateOfBrowser old = state;
    std::uint32_t oldFolderFlags = 0;
    {
        StateAccess access(old);
        if (!access.HasFolder(1))
            return false;
        oldFolderFlags = access.Folder(1).flags;
    }
    CreateBrowserState(state, old.folderCount + 1, old.itemCount + 1, old.maskText,
                       old.text ? old.text->Used() : 0);
    state.sortWord = old.sortWord;
    state.driveIndex = old.driveIndex;
    state.rowCount = old.rowCount;
    state.cursorName = old.cursorName;
    state.busy = old.busy;
    CopyFolderRecord(1, state, 1, old);
    {
        StateAccess access(state);
        state.folderCount = 1;
        access.folderOrder[0] = 1;
    }
    if (!ReadFolder(1, kReadMasksFilesOnly, state)) {
        {
            StateAccess access(state);
            releaseItemLists(access);
        }
        FreeBrowserState(state);
        state = old;
        StateAccess access(state);
        access.Folder(1).flags = oldFolderFlags;
        return false;
    }
    SortFolder(1, kSortMerge, state);
    SortFolder(1, kSortMerge, old);
    CarryOverSelection(old, state, 1, 1);
    SortFolder(1, state.sortWord, state);

    for (std::int32_t folder = 1; folder <= state.folderCount; ++folder) {
        std::int32_t count = 0;
        {
            StateAccess access(state);
            count = access.Folder(folder).count;
        }
        for (std::int32_t position = 1; position <= count; ++position) {
            std::int32_t oldChild = 0;
            bool wasExpanded = false;
            {
                StateAccess access(state);
                TBrowserItem* item = access.ItemAt(folder, position);
                if (item == nullptr || !(item->attributes & kDirectoryAttribute))
                    continue;
                oldChild = static_cast<std::int32_t>(item->flags & kItemChildFolderMask);
                wasExpanded = (item->flags & kItemExpanded) != 0;
                item->flags &= ~(kItemChildFolderMask | kItemExpanded);
            }
            if (oldChild == 0 || !wasExpanded || oldChild > old.folderCount)
                continue;
            const std::int32_t child = ToggleTreeFolder(folder, position, state);
            if (child <= 0)
                continue;
            if (ReadFolder(child, kReadMasksFilesOnly, state)) {
                SortFolder(child, kSortMerge, state);
                SortFolder(oldChild, kSortMerge, old);
                CarryOverSelection(old, state, child, oldChild);
                SortFolder(child, state.sortWord, state);
            } else {
                dropLastFolder(state);
                StateAccess access(state);
                if (TBrowserItem* item = access.ItemAt(folder, position))
                    item->flags &= ~(kItemChildFolderMask | kItemExpanded);
            }
        }
    }

    {
        // The old listing lets go of its lists; folder 1's went over to the new one.
        StateAccess access(old);
        releaseItemLists(access);
        for (std::int32_t folder = 2; folder <= old.folderCount; ++folder) {
            TBrowserFolder& record = access.Folder(folder);
            if (record.flags & kFolderOwnsItemIds) {
                releaseItemIdList(record.itemIds);
                record.itemIds = nullptr;
                record.flags &= ~kFolderOwnsItemIds;
            }
        }
    }
    FreeBrowserState(old);
    return true;
}

} // namespace wux::filelist
