#include "filelist/browser_state.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/display_helpers.h"
#include "filelist/list_operations.h"
#include "platform/text.h"

namespace wux::filelist {

namespace {

using platform::MovableFlags;
using platform::MovableHandle;

MovableHandle allocBlock(std::size_t bytes)
{
    MovableHandle handle = platform::movableAlloc(bytes, MovableFlags::ZeroInit);
    if (!handle)
        throw std::bad_alloc();
    return handle;
}

void reallocBlock(MovableHandle handle, std::size_t bytes)
{
    if (!platform::movableReAlloc(handle, bytes, MovableFlags::ZeroInit))
        throw std::bad_alloc();
}

void freeBlock(MovableHandle& handle)
{
    if (handle)
        platform::movableFree(handle);
    handle = MovableHandle();
}

std::string_view withoutTrailingBackslash(std::string_view path)
{
    if (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    return path;
}

// The order of folder paths: drive letters in either case, then the names in the order of
// compareNoCase, which is 0 only for the same bytes. Names that differ only in case name other
// folders here ("Mix" and "mix" are two).
int comparePaths(std::string_view a, std::string_view b)
{
    const std::size_t drive = std::min<std::size_t>({2, a.size(), b.size()});
    if (const int cmp = platform::compareFolded(a.substr(0, drive), b.substr(0, drive)))
        return cmp;
    return platform::compareNoCase(a.substr(drive), b.substr(drive));
}

// Binary search of path in the folder order: the 1-based position of the folder whose path equals
// path (found), or the position where it belongs.
std::int32_t searchFolderOrder(const StateAccess& access, std::string_view path, bool& found)
{
    std::int32_t lo = 0;
    std::int32_t hi = access.state.folderCount;
    found = false;
    while (lo < hi) {
        const std::int32_t mid = (lo + hi) / 2;
        const std::uint32_t folder = access.folderOrder[mid];
        const int cmp = comparePaths(access.Path(access.Folder(static_cast<std::int32_t>(folder))), path);
        if (cmp == 0) {
            found = true;
            return mid + 1;
        }
        if (cmp < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo + 1;
}

} // namespace

std::uint32_t ExtensionOffsetOf(std::string_view name, std::uint32_t nameOffset, bool isDirectory)
{
    const auto end = nameOffset + static_cast<std::uint32_t>(name.size());
    if (isDirectory)
        return end;
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return end;
    return nameOffset + static_cast<std::uint32_t>(dot) + 1;
}

// ---- StateAccess ----

StateAccess::StateAccess(TstateOfBrowser& s) : state(s)
{
    lockAll();
    if (state.text)
        state.text->Lock();
}

StateAccess::~StateAccess()
{
    if (state.text)
        state.text->Unlock();
    unlockAll();
}

void StateAccess::lockAll()
{
    folders = platform::movableLockAs<TBrowserFolder>(state.folders);
    items = platform::movableLockAs<TBrowserItem>(state.items);
    order = platform::movableLockAs<std::uint32_t>(state.order);
    folderOrder = platform::movableLockAs<std::uint32_t>(state.folderOrder);
}

void StateAccess::unlockAll()
{
    if (folders)
        platform::movableUnlock(state.folders);
    if (items)
        platform::movableUnlock(state.items);
    if (order)
        platform::movableUnlock(state.order);
    if (folderOrder)
        platform::movableUnlock(state.folderOrder);
    folders = nullptr;
    items = nullptr;
    order = nullptr;
    folderOrder = nullptr;
}

void StateAccess::Relock()
{
    unlockAll();
    lockAll();
}

std::int32_t StateAccess::IndexAt(std::int32_t folder, std::int32_t position) const
{
    if (!HasFolder(folder))
        return -1;
    const TBrowserFolder& record = Folder(folder);
    if (position < 1 || position > record.count)
        return -1;
    const std::uint32_t entry = order[record.firstItem + static_cast<std::uint32_t>(position) - 1];
    // A flat view may show fewer rows than it has items (the duplicates of a search): its entries
    // reach every item of the list.
    const std::int32_t reach = state.savedFolders ? state.itemCount - static_cast<std::int32_t>(record.firstItem)
                                                  : record.count;
    if (entry < 1 || entry > static_cast<std::uint32_t>(std::max(reach, 0)))
        return -1;
    return static_cast<std::int32_t>(record.firstItem + entry - 1);
}

TBrowserItem* StateAccess::ItemAt(std::int32_t folder, std::int32_t position) const
{
    const std::int32_t index = IndexAt(folder, position);
    return index < 0 ? nullptr : &items[index];
}

std::string_view StateAccess::Name(const TBrowserItem& item) const
{
    return state.text ? state.text->TextView(item.nameOffset, item.nameLength) : std::string_view();
}

std::string_view StateAccess::Path(const TBrowserFolder& folder) const
{
    return state.text ? state.text->TextView(folder.pathOffset) : std::string_view();
}

void GrowItemBlock(StateAccess& access, std::int32_t extra)
{
    TstateOfBrowser& state = access.state;
    const std::int32_t capacity = state.itemCapacity + extra;
    // Unlocked while they move, so that the old storage is given back at once.
    if (access.items)
        platform::movableUnlock(state.items);
    if (access.order)
        platform::movableUnlock(state.order);
    access.items = nullptr;
    access.order = nullptr;
    reallocBlock(state.items, sizeof(TBrowserItem) * static_cast<std::size_t>(capacity));
    reallocBlock(state.order, sizeof(std::uint32_t) * static_cast<std::size_t>(capacity));
    state.itemCapacity = capacity;
    access.items = platform::movableLockAs<TBrowserItem>(state.items);
    access.order = platform::movableLockAs<std::uint32_t>(state.order);
}

void GrowFolderBlock(StateAccess& access, std::int32_t extra)
{
    TstateOfBrowser& state = access.state;
    const std::int32_t capacity = state.folderCapacity + extra;
    if (access.folders)
        platform::movableUnlock(state.folders);
    if (access.folderOrder)
        platform::movableUnlock(state.folderOrder);
    access.folders = nullptr;
    access.folderOrder = nullptr;
    reallocBlock(state.folders, sizeof(TBrowserFolder) * static_cast<std::size_t>(capacity));
    reallocBlock(state.folderOrder, sizeof(std::uint32_t) * static_cast<std::size_t>(capacity));
    state.folderCapacity = capacity;
    access.folders = platform::movableLockAs<TBrowserFolder>(state.folders);
    access.folderOrder = platform::movableLockAs<std::uint32_t>(state.folderOrder);
}

// ---- Lifecycle ----

void CreateBrowserState(TstateOfBrowser& state, std::int32_t folderCapacity, std::int32_t itemCapacity,
                        std::string_view maskText, std::int64_t textCapacity)
{
    state = TstateOfBrowser();
    state.folderCapacity = std::max(folderCapacity, 1);
    state.itemCapacity = std::max(itemCapacity, 1);
    state.folders = allocBlock(sizeof(TBrowserFolder) * static_cast<std::size_t>(state.folderCapacity));
    state.folderOrder = allocBlock(sizeof(std::uint32_t) * static_cast<std::size_t>(state.folderCapacity));
    state.items = allocBlock(sizeof(TBrowserItem) * static_cast<std::size_t>(state.itemCapacity));
    state.order = allocBlock(sizeof(std::uint32_t) * static_cast<std::size_t>(state.itemCapacity));
    state.text = new TTextStorage(textCapacity);
    state.sortWord = 8;
    state.maskText = std::string(maskText);
    core::ParseMaskList(state.maskText, state.maskList);
}

void FreeBrowserState(TstateOfBrowser& state)
{
    freeBlock(state.items);
    freeBlock(state.folders);
    freeBlock(state.order);
    freeBlock(state.folderOrder);
    freeBlock(state.savedFolders);
    freeBlock(state.savedFolderOrder);
    delete state.text;
    state.text = nullptr;
    core::FreeMaskList(state.maskList);
    state.itemCount = 0;
    state.folderCount = 0;
    state.savedFolderCount = 0;
    state.itemCapacity = 0;
    state.folderCapacity = 0;
}

void CloneBrowserState(TstateOfBrowser& target, TstateOfBrowser& source)
{
    const std::uint32_t textBytes = source.text ? source.text->Used() : 0;
    CreateBrowserState(target, source.folderCount + 10, source.itemCount + 10, source.maskText, textBytes);
    {
        StateAccess from(source);
        StateAccess to(target);
        const auto folders = static_cast<std::size_t>(source.folderCount);
        const auto items = static_cast<std::size_t>(source.itemCount);
        if (folders > 0) {
            std::memcpy(to.folders, from.folders, folders * sizeof(TBrowserFolder));
            std::memcpy(to.folderOrder, from.folderOrder, folders * sizeof(std::uint32_t));
        }
        if (items > 0) {
            std::memcpy(to.items, from.items, items * sizeof(TBrowserItem));
            std::memcpy(to.order, from.order, items * sizeof(std::uint32_t));
        }
    }
    {
        // The item-id lists stay the source's: the copy never releases them.
        StateAccess to(target);
        for (std::int32_t f = 0; f < source.folderCount; ++f)
            to.folders[f].flags &= ~kFolderOwnsItemIds;
        for (std::int32_t i = 0; i < source.itemCount; ++i)
            to.items[i].flags &= ~kItemOwnsItemIds;
    }
    if (source.text)
        target.text->Assign(*source.text);
    target.folderCount = source.folderCount;
    target.itemCount = source.itemCount;
    target.driveIndex = source.driveIndex;
    target.sortWord = source.sortWord;
    target.mode = source.mode;
}

bool CopySelectedToState(TstateOfBrowser& target, TstateOfBrowser& source)
{
    RecalcSelection(source);
    if (source.selectedCount == 0)
        return false;
    // A list that shows a flat view keeps its real folders aside.
    const bool flat = static_cast<bool>(source.savedFolders);
    const MovableHandle sourceFolders = flat ? source.savedFolders : source.folders;
    const MovableHandle sourceFolderOrder = flat ? source.savedFolderOrder : source.folderOrder;
    const std::int32_t folderCount = flat ? source.savedFolderCount : source.folderCount;
    const std::uint32_t textBytes = source.text ? source.text->Used() : 0;
    CreateBrowserState(target, folderCount + 1, source.itemCount + 1, source.maskText, textBytes);
    const std::uint32_t viewBit = ViewBit(source);
    std::int32_t copied = 0;
    {
        platform::MovableLock fromFolders(sourceFolders);
        platform::MovableLock fromFolderOrder(sourceFolderOrder);
        platform::MovableLock fromItems(source.items);
        StateAccess to(target);
        const auto* folders = fromFolders.as<TBrowserFolder>();
        const auto* items = fromItems.as<TBrowserItem>();
        if (folderCount > 0) {
            std::memcpy(to.folders, folders, static_cast<std::size_t>(folderCount) * sizeof(TBrowserFolder));
            std::memcpy(to.folderOrder, fromFolderOrder.as<std::uint32_t>(),
                        static_cast<std::size_t>(folderCount) * sizeof(std::uint32_t));
        }
        for (std::int32_t f = 0; f < folderCount; ++f) {
            to.folders[f].count = 0;
            to.folders[f].firstItem = 0;
        }
        for (std::int32_t index = 0; index < source.itemCount; ++index) {
            const TBrowserItem& item = items[index];
            if (!(item.flags & viewBit) || item.itemIds != nullptr)
                continue;
            if (item.folder < 1 || item.folder > folderCount)
                continue;
            // A collapsed folder's items are hidden: their marks are not the user's current choice.
            if (!(folders[item.folder - 1].flags & kFolderExpanded))
                continue;
            TBrowserFolder& folder = to.folders[item.folder - 1];
            if (folder.count == 0)
                folder.firstItem = static_cast<std::uint32_t>(copied);
            folder.count += 1;
            TBrowserItem& copy = to.items[copied];
            copy = item;
            copy.number = index + 1;
            to.order[copied] = static_cast<std::uint32_t>(folder.count);
            ++copied;
        }
    }
    if (copied == 0) {
        FreeBrowserState(target);
        return false;
    }
    if (source.text)
        target.text->Assign(*source.text);
    target.folderCount = folderCount;
    target.itemCount = copied;
    target.mode = source.mode;
    target.driveIndex = source.driveIndex;
    target.sortWord = source.sortWord;
    return true;
}

void BeginFlatView(TstateOfBrowser& state, std::int32_t itemCount)
{
    if (state.savedFolders)
        EndFlatView(state);
    state.savedFolders = state.folders;
    state.savedFolderOrder = state.folderOrder;
    state.savedFolderCount = state.folderCount;
    const auto capacity = static_cast<std::size_t>(std::max(state.folderCapacity, 1));
    state.folders = allocBlock(sizeof(TBrowserFolder) * capacity);
    state.folderOrder = allocBlock(sizeof(std::uint32_t) * capacity);
    {
        platform::MovableLock folders(state.folders);
        platform::MovableLock order(state.folderOrder);
        TBrowserFolder& flat = folders.as<TBrowserFolder>()[0];
        flat = TBrowserFolder();
        flat.count = std::max(itemCount, 0);
        flat.firstItem = 0;
        flat.pathOffset = 0;
        flat.flags = kFolderExpanded;
        flat.depth = 0;
        flat.itemIdDepth = -1;
        order.as<std::uint32_t>()[0] = 1;
    }
    if (state.folderCount > 0)
        state.folderCount = 1;
}

void EndFlatView(TstateOfBrowser& state)
{
    if (!state.savedFolders)
        return;
    freeBlock(state.folders);
    freeBlock(state.folderOrder);
    state.folders = state.savedFolders;
    state.folderOrder = state.savedFolderOrder;
    state.folderCount = state.savedFolderCount;
    state.savedFolders = MovableHandle();
    state.savedFolderOrder = MovableHandle();
    state.savedFolderCount = 0;
}

// ---- Folder records ----

void AddFolderRecord(std::string_view path, TstateOfBrowser& state)
{
    StateAccess access(state);
    if (state.folderCount >= state.folderCapacity)
        GrowFolderBlock(access, kFolderGrowth);
    TBrowserFolder& record = access.Folder(state.folderCount + 1);
    record = TBrowserFolder();
    record.pathOffset = state.text->Add(path);
    record.itemIds = nullptr;
    record.flags = kFolderExpanded;
    record.itemIdDepth = -1;
    record.count = 0;
    record.depth = 1;
    record.firstItem = static_cast<std::uint32_t>(state.itemCount);
}

bool CommitFolderRecord(std::int32_t position, TstateOfBrowser& state)
{
    StateAccess access(state);
    if (state.folderCount >= state.folderCapacity)
        return false;
    TBrowserFolder& record = access.folders[state.folderCount];
    if (record.count <= 0) {
        state.text->SetUsed(record.pathOffset);
        return false;
    }
    InsertIntoFolderOrder(position, access);
    return true;
}

void InsertIntoFolderOrder(std::int32_t position, StateAccess& access)
{
    TstateOfBrowser& state = access.state;
    if (state.folderCount >= state.folderCapacity)
        return;
    position = std::clamp(position, 1, state.folderCount + 1);
    std::uint32_t* slot = access.folderOrder + (position - 1);
    std::memmove(slot + 1, slot,
                 static_cast<std::size_t>(state.folderCount - (position - 1)) * sizeof(std::uint32_t));
    state.folderCount += 1;
    *slot = static_cast<std::uint32_t>(state.folderCount);
}

std::int32_t FolderOrderPosition(std::string_view path, StateAccess& access)
{
    bool found = false;
    return searchFolderOrder(access, withoutTrailingBackslash(path), found);
}

std::int32_t FolderInsertPosition(std::string_view path, TstateOfBrowser& state)
{
    path = withoutTrailingBackslash(path);
    if (path.empty())
        return -1;
    StateAccess access(state);
    bool found = false;
    const std::int32_t position = searchFolderOrder(access, path, found);
    return found ? -1 : position;
}

std::int32_t FindOrAddFolder(std::string_view path, TstateOfBrowser& state)
{
    path = withoutTrailingBackslash(path);
    if (path.empty())
        return -1;
    std::int32_t position = 0;
    {
        StateAccess access(state);
        bool found = false;
        position = searchFolderOrder(access, path, found);
        if (found)
            return static_cast<std::int32_t>(access.folderOrder[position - 1]);
    }
    AddFolderRecord(path, state);
    StateAccess access(state);
    InsertIntoFolderOrder(position, access);
    return state.folderCount;
}

void FolderPathOf(std::int32_t folder, TstateOfBrowser& state, std::string& path)
{
    path = FolderPathAsStored(folder, state);
}

std::string FolderPathAsStored(std::int32_t folder, TstateOfBrowser& state)
{
    StateAccess access(state);
    if (!access.HasFolder(folder))
        return std::string();
    return std::string(access.Path(access.Folder(folder)));
}

std::int32_t GetFolderDepth(std::int32_t folder, TstateOfBrowser& state)
{
    StateAccess access(state);
    return access.HasFolder(folder) ? access.Folder(folder).depth : 0;
}

void ReleaseStateItemIds(TstateOfBrowser& state)
{
    StateAccess access(state);
    for (std::int32_t i = 0; i < state.itemCount; ++i) {
        TBrowserItem& item = access.items[i];
        if (item.itemIds && (item.flags & kItemOwnsItemIds))
            releaseItemIdList(item.itemIds);
        if (item.flags & kItemOwnsItemIds)
            item.itemIds = nullptr;
        item.flags &= ~kItemOwnsItemIds;
    }
    for (std::int32_t f = 1; f <= state.folderCount; ++f) {
        TBrowserFolder& record = access.Folder(f);
        if (record.itemIds && (record.flags & kFolderOwnsItemIds)) {
            releaseItemIdList(record.itemIds);
            record.itemIds = nullptr;
        }
        record.flags &= ~kFolderOwnsItemIds;
    }
}

// ---- Items ----

void GetItemName(std::int32_t folder, std::int32_t n, TstateOfBrowser& state, std::string& name)
{
    name.clear();
    StateAccess access(state);
    if (!access.HasRecord(folder))
        return;
    const TBrowserFolder& record = access.Folder(folder);
    if (n < 1 || n > record.count)
        return;
    name.assign(access.Name(access.items[record.firstItem + static_cast<std::uint32_t>(n) - 1]));
}

void MarkItemForRemoval(std::int32_t folder, std::int32_t n, TstateOfBrowser& state)
{
    StateAccess access(state);
    if (!access.HasRecord(folder))
        return;
    const TBrowserFolder& record = access.Folder(folder);
    if (n < 1 || n > record.count)
        return;
    access.items[record.firstItem + static_cast<std::uint32_t>(n) - 1].flags |= kRemovalPending;
}

bool IsItemSelected(std::int32_t folder, std::int32_t position, TstateOfBrowser& state)
{
    StateAccess access(state);
    const TBrowserItem* item = access.ItemAt(folder, position);
    return item != nullptr && (item->flags & ViewBit(state)) != 0;
}

std::int32_t CountExpandedItems(TstateOfBrowser& state)
{
    StateAccess access(state);
    std::int32_t rows = 0;
    for (std::int32_t f = 1; f <= state.folderCount; ++f) {
        if (access.Folder(f).flags & kFolderExpanded)
            rows += access.Folder(f).count;
    }
    return rows;
}

} // namespace wux::filelist
