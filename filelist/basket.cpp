#include "filelist/basket.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/hourglass.h"
#include "filelist/general_options.h"
#include "filelist/list_operations.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/thread.h"

namespace wux::filelist {

namespace {

void releaseOwnedItemIds(TBrowserItem& item)
{
    if (item.itemIds != nullptr && (item.flags & kItemOwnsItemIds))
        releaseItemIdList(item.itemIds);
    if (item.flags & kItemOwnsItemIds)
        item.itemIds = nullptr;
    item.flags &= ~kItemOwnsItemIds;
}

// The folder records whose runs move with the item block: the committed ones and the record written
// by AddFolderRecord and not yet committed (the search fills that one before it commits it).
std::int32_t recordLimit(const TstateOfBrowser& state)
{
    return std::min(state.folderCount + 1, state.folderCapacity);
}

// The items of a folder's run, or false when the run lies outside the item block.
bool folderRun(const StateAccess& access, std::int32_t folder, std::uint32_t& first, std::int32_t& count)
{
    const TBrowserFolder& record = access.Folder(folder);
    first = record.firstItem;
    count = record.count;
    if (count <= 0) {
        count = 0;
        return true;
    }
    return static_cast<std::int64_t>(first) + count <= access.state.itemCount;
}

// Binary search of name in a folder's display order (the order of compareNoCase): the 0-based slot of
// the entry of exactly that name (found) or where it belongs. Names that differ only in case are
// other files.
std::int32_t searchName(const StateAccess& access, std::int32_t folder, std::string_view name, bool& found)
{
    found = false;
    std::int32_t lo = 0;
    std::int32_t hi = access.Folder(folder).count;
    const std::uint32_t first = access.Folder(folder).firstItem;
    while (lo < hi) {
        const std::int32_t mid = (lo + hi) / 2;
        const std::uint32_t entry = access.order[first + static_cast<std::uint32_t>(mid)];
        // An entry that names no item of the folder compares as lower (never read).
        const bool valid = entry >= 1 && entry <= static_cast<std::uint32_t>(access.Folder(folder).count);
        const int cmp =
            valid ? platform::compareNoCase(access.Name(access.items[first + entry - 1]), name) : -1;
        if (cmp == 0) {
            found = true;
            return mid;
        }
        if (cmp < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

// Makes room for one record right after a folder's last item (an empty folder starts at the end of
// the item block) and gives the folder's display order an entry at `slot` (0-based) holding the new
// item's number. Later records and their display-order entries move up by one; so do the first item
// indexes of the folders that start after this one. Returns the new record's 0-based index.
std::uint32_t openRecord(StateAccess& access, std::int32_t folder, std::int32_t slot)
{
    TstateOfBrowser& state = access.state;
    if (state.itemCount >= state.itemCapacity)
        GrowItemBlock(access, kItemGrowthOnInsert);
    TBrowserFolder& record = access.Folder(folder);
    if (record.count <= 0 || static_cast<std::int64_t>(record.firstItem) + record.count >
                                 static_cast<std::int64_t>(state.itemCount)) {
        // An empty folder (or a run that lies outside the block) starts at the end of the block.
        record.count = 0;
        record.firstItem = static_cast<std::uint32_t>(state.itemCount);
    }
    const std::uint32_t index = record.firstItem + static_cast<std::uint32_t>(record.count);
    const auto tail = static_cast<std::size_t>(state.itemCount) - index;
    std::memmove(access.items + index + 1, access.items + index, tail * sizeof(TBrowserItem));
    std::memmove(access.order + index + 1, access.order + index, tail * sizeof(std::uint32_t));
    for (std::int32_t f = 1; f <= recordLimit(state); ++f) {
        TBrowserFolder& other = access.Folder(f);
        if (f != folder && other.firstItem >= index && tail > 0 &&
            (f <= state.folderCount || other.count > 0))
            other.firstItem += 1;
    }
    std::uint32_t* slice = access.order + record.firstItem;
    slot = std::clamp(slot, 0, record.count);
    std::memmove(slice + slot + 1, slice + slot,
                 static_cast<std::size_t>(record.count - slot) * sizeof(std::uint32_t));
    record.count += 1;
    slice[slot] = static_cast<std::uint32_t>(record.count);
    state.itemCount += 1;
    return index;
}

// Cuts `count` records at index out of the item block and the display order (later ones move down,
// later folders start earlier). Folder `folder` itself is adjusted by the caller.
void cutRecords(StateAccess& access, std::int32_t folder, std::uint32_t index, std::int32_t count)
{
    TstateOfBrowser& state = access.state;
    const std::uint32_t end = index + static_cast<std::uint32_t>(count);
    const auto tail = static_cast<std::size_t>(state.itemCount) - end;
    std::memmove(access.items + index, access.items + end, tail * sizeof(TBrowserItem));
    std::memmove(access.order + index, access.order + end, tail * sizeof(std::uint32_t));
    state.itemCount -= count;
    for (std::int32_t f = 1; f <= recordLimit(state); ++f) {
        TBrowserFolder& other = access.Folder(f);
        if (f != folder && other.firstItem >= end && (f <= state.folderCount || other.count > 0))
            other.firstItem -= static_cast<std::uint32_t>(count);
    }
}

// The extension offset of a copied name: at the same distance from the name as in the source.
std::uint32_t copiedExtensionOffset(const TBrowserItem& source, std::string_view name,
                                    std::uint32_t nameOffset)
{
    if (source.extensionOffset >= source.nameOffset &&
        source.extensionOffset - source.nameOffset <= static_cast<std::uint32_t>(name.size()))
        return nameOffset + (source.extensionOffset - source.nameOffset);
    return ExtensionOffsetOf(name, nameOffset, (source.attributes & kDirectoryAttribute) != 0);
}

// A copy of an item for another list: its own item-id list (never shared), only the measured bit of
// its flags.
void fillCopy(TBrowserItem& record, const TBrowserItem& source, std::string_view name,
              std::uint32_t nameOffset, std::int32_t folder, std::uint32_t marks)
{
    record = TBrowserItem();
    record.itemIds = cloneItemIdList(source.itemIds);
    record.size = source.size;
    record.lastWrite = source.lastWrite;
    record.attributes = source.attributes;
    record.folder = folder;
    record.flags = (source.flags & kSizeCounted) | marks;
    if (record.itemIds != nullptr)
        record.flags |= kItemOwnsItemIds;
    record.iconIndex = -1;
    record.openIconIndex = -1;
    record.nameLength = static_cast<std::uint32_t>(name.size());
    record.nameOffset = nameOffset;
    record.extensionOffset = copiedExtensionOffset(source, name, nameOffset);
    record.number = source.number;
    record.status = 0;
}

bool readSourceItem(TstateOfBrowser& source, std::int32_t folder, std::int32_t position, TBrowserItem& item,
                    std::string& name)
{
    StateAccess from(source);
    const TBrowserItem* found = from.ItemAt(folder, position);
    if (found == nullptr)
        return false;
    item = *found;
    name.assign(from.Name(*found));
    return true;
}

std::uint32_t insertMarks()
{
    return HasGeneralOption(kOptionSelectOnBasketSend) ? kMarkBothViews : 0;
}

} // namespace

void CreateBasketState(TstateOfBrowser& state)
{
    CreateBrowserState(state, kBasketFolders, kBasketItems, "*.*", kBasketTextBytes);
    state.sortWord = kBasketSortWord;
}

void AttachStateToPanel(std::int32_t viewFlag, bool firstTime, TstateOfBrowser& state)
{
    TstateOfBrowser& view = viewFlag == kRightBasketView ? RightBasketState : LeftBasketState;
    bool wasFlat = false;
    if (!firstTime && view.savedFolders) {
        EndFlatView(view);
        wasFlat = true;
    }
    view.folders = state.folders;
    view.items = state.items;
    view.text = state.text;
    view.folderOrder = state.folderOrder;
    view.savedFolders = state.savedFolders;
    view.savedFolderOrder = state.savedFolderOrder;
    view.savedFolderCount = state.savedFolderCount;
    view.itemCount = state.itemCount;
    view.folderCount = state.folderCount;
    view.itemCapacity = state.itemCapacity;
    view.folderCapacity = state.folderCapacity;
    view.mode = static_cast<std::uint32_t>(viewFlag + 1);
    if (!firstTime && platform::movableIsValid(view.order))
        platform::movableFree(view.order);
    view.order = platform::movableAlloc(sizeof(std::uint32_t) *
                                            static_cast<std::size_t>(std::max(state.itemCapacity, 1)),
                                        platform::MovableFlags::ZeroInit);
    if (wasFlat)
        BeginFlatView(view, view.itemCount);
    SortAllFolders(view);
}

void AddSelectedToBasket(TstateOfBrowser& state)
{
    const std::uint8_t busy = state.busy;
    state.busy = 1;
    std::int32_t lastFolder = 0;
    std::int32_t basketFolder = -1;
    for (std::int32_t folder = 1; folder <= state.folderCount; ++folder) {
        std::int32_t count = 0;
        {
            StateAccess access(state);
            if (!(access.Folder(folder).flags & kFolderExpanded))
                continue;
            count = access.Folder(folder).count;
        }
        for (std::int32_t position = 1; position <= count; ++position) {
            std::int32_t realFolder = 0;
            std::string path;
            {
                StateAccess access(state);
                TBrowserItem* item = access.ItemAt(folder, position);
                if (item == nullptr || !(item->flags & kMarkOwn))
                    continue;
                item->flags &= ~kMarkOwn;
                realFolder = state.savedFolders ? item->folder : folder;
                if (realFolder != lastFolder) {
                    if (state.savedFolders) {
                        platform::MovableLock saved(state.savedFolders);
                        if (realFolder >= 1 && realFolder <= state.savedFolderCount)
                            path.assign(access.Path(saved.as<TBrowserFolder>()[realFolder - 1]));
                    } else {
                        path.assign(access.Path(access.Folder(folder)));
                    }
                }
            }
            if (realFolder != lastFolder) {
                basketFolder = FindOrAddFolder(path, BasketState);
                lastFolder = realFolder;
            }
            if (basketFolder > 0)
                InsertItemFromState(folder, position, basketFolder, BasketState, state);
        }
    }
    state.busy = busy;
}

bool InsertItemFromState(std::int32_t sourceFolder, std::int32_t sourcePosition, std::int32_t targetFolder,
                         TstateOfBrowser& target, TstateOfBrowser& source)
{
    TBrowserItem item;
    std::string name;
    if (!readSourceItem(source, sourceFolder, sourcePosition, item, name))
        return false;
    StateAccess to(target);
    if (!to.HasRecord(targetFolder))
        return false;
    bool found = false;
    const std::int32_t slot = searchName(to, targetFolder, name, found);
    const std::uint32_t marks = insertMarks();
    if (found) {
        if (marks != 0) {
            if (TBrowserItem* present = to.ItemAt(targetFolder, slot + 1))
                present->flags |= marks;
        }
        return false;
    }
    const std::uint32_t nameOffset = target.text->Add(name);
    const std::uint32_t index = openRecord(to, targetFolder, slot);
    fillCopy(to.items[index], item, name, nameOffset, targetFolder, marks);
    return true;
}

bool InsertFileIntoFolder(std::string_view folderPath, std::string_view fileName, std::int32_t folder,
                          TstateOfBrowser& state)
{
    std::string path(folderPath);
    if (!path.empty() && path.back() == '\\')
        path.pop_back();
    path.push_back('\\');
    path.append(fileName);
    platform::FileInfo info;
    if (platform::getFileInfo(path, info) != 0)
        return false;
    StateAccess access(state);
    if (!access.HasRecord(folder))
        return false;
    bool found = false;
    const std::int32_t slot = searchName(access, folder, fileName, found);
    const std::uint32_t marks = insertMarks();
    if (found) {
        if (marks != 0) {
            if (TBrowserItem* present = access.ItemAt(folder, slot + 1))
                present->flags |= marks;
        }
        return false;
    }
    const std::uint32_t nameOffset = state.text->Add(fileName);
    const std::uint32_t index = openRecord(access, folder, slot);
    TBrowserItem& record = access.items[index];
    record = TBrowserItem();
    record.attributes = info.attributes;
    record.size = info.size;
    record.lastWrite = info.times.lastWrite;
    record.folder = folder;
    record.flags = marks;
    record.nameLength = static_cast<std::uint32_t>(fileName.size());
    record.nameOffset = nameOffset;
    record.extensionOffset =
        ExtensionOffsetOf(fileName, nameOffset, (info.attributes & kDirectoryAttribute) != 0);
    record.number = 0;
    record.status = 0;
    record.iconIndex = -1;
    record.openIconIndex = -1;
    return true;
}

void AppendItemFromState(std::int32_t sourceFolder, std::int32_t sourcePosition, std::int32_t targetFolder,
                         bool sortNow, TstateOfBrowser& target, TstateOfBrowser& source)
{
    TBrowserItem item;
    std::string name;
    if (!readSourceItem(source, sourceFolder, sourcePosition, item, name))
        return;
    std::uint32_t first = 0;
    std::int32_t count = 0;
    {
        StateAccess to(target);
        if (!to.HasRecord(targetFolder))
            return;
        const std::uint32_t nameOffset = target.text->Add(name);
        const std::uint32_t index = openRecord(to, targetFolder, to.Folder(targetFolder).count);
        fillCopy(to.items[index], item, name, nameOffset, targetFolder, 0);
        first = to.Folder(targetFolder).firstItem;
        count = to.Folder(targetFolder).count;
    }
    if (sortNow)
        SortItems(first, count - 1, count, target, target.sortWord);
}

void ClearFolderItems(std::int32_t folder, TstateOfBrowser& state)
{
    StateAccess access(state);
    if (!access.HasRecord(folder))
        return;
    std::uint32_t first = 0;
    std::int32_t count = 0;
    if (folderRun(access, folder, first, count) && count > 0) {
        for (std::int32_t n = 0; n < count; ++n)
            releaseOwnedItemIds(access.items[first + static_cast<std::uint32_t>(n)]);
        cutRecords(access, folder, first, count);
    }
    access.Folder(folder).count = 0;
}

void RemovePendingFolderItems(std::int32_t folder, TstateOfBrowser& state)
{
    StateAccess access(state);
    if (!access.HasRecord(folder))
        return;
    std::uint32_t first = 0;
    std::int32_t count = 0;
    if (!folderRun(access, folder, first, count) || count == 0)
        return;
    std::uint32_t write = first;
    const std::uint32_t end = first + static_cast<std::uint32_t>(count);
    for (std::uint32_t i = first; i < end; ++i) {
        TBrowserItem& item = access.items[i];
        if (item.flags & kRemovalPending) {
            releaseOwnedItemIds(item);
            continue;
        }
        if (write != i)
            access.items[write] = item;
        ++write;
    }
    const auto removed = static_cast<std::int32_t>(end - write);
    if (removed == 0)
        return;
    cutRecords(access, folder, write, removed);
    TBrowserFolder& record = access.Folder(folder);
    record.count -= removed;
    for (std::int32_t n = 0; n < record.count; ++n)
        access.order[first + static_cast<std::uint32_t>(n)] = static_cast<std::uint32_t>(n + 1);
}

void DropPendingItems(TstateOfBrowser& state)
{
    const std::int32_t before = state.itemCount;
    {
        StateAccess access(state);
        for (std::int32_t f = 1; f <= state.folderCount; ++f)
            access.Folder(f).count = 0;
        std::int32_t write = 0;
        for (std::int32_t i = 0; i < state.itemCount; ++i) {
            TBrowserItem& item = access.items[i];
            if ((item.flags & kRemovalPending) || !access.HasFolder(item.folder)) {
                releaseOwnedItemIds(item);
                continue;
            }
            TBrowserFolder& record = access.Folder(item.folder);
            if (record.count == 0)
                record.firstItem = static_cast<std::uint32_t>(write);
            record.count += 1;
            if (write != i)
                access.items[write] = item;
            ++write;
        }
        state.itemCount = write;
        for (std::int32_t f = 1; f <= state.folderCount; ++f) {
            if (access.Folder(f).count == 0)
                access.Folder(f).firstItem = static_cast<std::uint32_t>(write);
        }
    }
    for (;;) {
        std::int32_t empty = 0;
        {
            StateAccess access(state);
            for (std::int32_t f = state.folderCount; f >= 1 && empty == 0; --f) {
                if (access.Folder(f).count == 0)
                    empty = f;
            }
        }
        if (empty == 0)
            break;
        DropFolder(empty, state);
    }
    if (state.itemCount != before)
        SortAllFolders(state);
}

void DropFolder(std::int32_t folder, TstateOfBrowser& state)
{
    StateAccess access(state);
    if (!access.HasFolder(folder))
        return;
    TBrowserFolder& record = access.Folder(folder);
    if (record.itemIds != nullptr && (record.flags & kFolderOwnsItemIds))
        releaseItemIdList(record.itemIds);
    const auto later = static_cast<std::size_t>(state.folderCount - folder);
    std::memmove(access.folders + (folder - 1), access.folders + folder, later * sizeof(TBrowserFolder));
    std::int32_t write = 0;
    for (std::int32_t i = 0; i < state.folderCount; ++i) {
        const std::uint32_t entry = access.folderOrder[i];
        if (entry == static_cast<std::uint32_t>(folder))
            continue;
        access.folderOrder[write++] = entry > static_cast<std::uint32_t>(folder) ? entry - 1 : entry;
    }
    state.folderCount -= 1;
    for (std::int32_t i = 0; i < state.itemCount; ++i) {
        if (access.items[i].folder > folder)
            access.items[i].folder -= 1;
    }
}

void CompactStateText(TstateOfBrowser& state)
{
    TTextStorage* old = state.text;
    if (old == nullptr)
        return;
    auto* fresh = new TTextStorage(std::max<std::int64_t>(old->Used(), 1));
    {
        StateAccess access(state);
        fresh->Lock();
        std::vector<bool> done(static_cast<std::size_t>(std::max(state.itemCount, 0)), false);
        auto moveItem = [&](std::uint32_t index) {
            if (index >= done.size() || done[index])
                return;
            done[index] = true;
            TBrowserItem& item = access.items[index];
            const std::uint32_t distance = item.extensionOffset >= item.nameOffset
                                               ? item.extensionOffset - item.nameOffset
                                               : item.nameLength;
            const std::uint32_t offset = fresh->Add(access.Name(item));
            item.nameOffset = offset;
            item.extensionOffset = offset + std::min(distance, item.nameLength);
        };
        for (std::int32_t f = 1; f <= state.folderCount; ++f) {
            TBrowserFolder& record = access.Folder(f);
            record.pathOffset = fresh->Add(access.Path(record));
            std::uint32_t first = 0;
            std::int32_t count = 0;
            if (folderRun(access, f, first, count)) {
                for (std::int32_t n = 0; n < count; ++n)
                    moveItem(first + static_cast<std::uint32_t>(n));
            }
        }
        if (state.savedFolders) {
            platform::MovableLock saved(state.savedFolders);
            auto* folders = saved.as<TBrowserFolder>();
            for (std::int32_t f = 0; folders != nullptr && f < state.savedFolderCount; ++f)
                folders[f].pathOffset = fresh->Add(access.Path(folders[f]));
        }
        for (std::uint32_t i = 0; i < done.size(); ++i)
            moveItem(i);
        fresh->Unlock();
    }
    state.text = fresh;
    delete old;
}

void RecalcAllPanels()
{
    core::HourglassCursor hourglass;
    DropPendingItems(BasketState);
    CompactStateText(BasketState);
    AttachStateToPanel(kRightBasketView, false, BasketState);
    AttachStateToPanel(kLeftBasketView, false, BasketState);
    RecalcSelection(LeftBasketState);
    RecalcSelection(RightBasketState);
}

void FirstSelectedName(TstateOfBrowser& state, std::string& name)
{
    name.clear();
    StateAccess access(state);
    const bool flat = static_cast<bool>(state.savedFolders);
    platform::MovableLock saved(state.savedFolders);
    const auto* savedFolders = saved.as<TBrowserFolder>();
    const std::uint32_t bit = ViewBit(state);
    for (std::int32_t i = 0; i < state.itemCount; ++i) {
        const TBrowserItem& item = access.items[i];
        if (!(item.flags & bit))
            continue;
        const TBrowserFolder* record = nullptr;
        if (flat) {
            if (savedFolders != nullptr && item.folder >= 1 && item.folder <= state.savedFolderCount)
                record = &savedFolders[item.folder - 1];
        } else if (access.HasFolder(item.folder)) {
            record = &access.Folder(item.folder);
        }
        if (record == nullptr || !(record->flags & kFolderExpanded))
            continue;
        name.assign(access.Name(item));
        return;
    }
}

} // namespace wux::filelist
