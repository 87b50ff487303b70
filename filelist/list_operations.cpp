#include "filelist/list_operations.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "core/display_helpers.h"
#include "core/folder_size.h"
#include "core/mask_list.h"
#include "core/text_table.h"
#include "filelist/general_options.h"
#include "platform/text.h"

namespace wux::filelist {

namespace {

TNewNameBuilder& newNameBuilder()
{
    static TNewNameBuilder builder;
    return builder;
}

bool isDirectory(const TBrowserItem& item)
{
    return (item.attributes & kDirectoryAttribute) != 0;
}

// The folder records an item's folder number refers to: the saved block while the list shows a flat
// view, else the list's own.
class RealFolders
{
public:
    RealFolders(const StateAccess& access)
        : lock_(access.state.savedFolders ? access.state.savedFolders : access.state.folders),
          folders_(lock_.as<TBrowserFolder>()),
          count_(access.state.savedFolders ? access.state.savedFolderCount : access.state.folderCount)
    {
    }
    const TBrowserFolder* Folder(std::int32_t folder) const
    {
        return folders_ != nullptr && folder >= 1 && folder <= count_ ? &folders_[folder - 1] : nullptr;
    }

private:
    platform::MovableLock lock_;
    const TBrowserFolder* folders_;
    std::int32_t count_;
};

std::string realFolderPath(const StateAccess& access, const RealFolders& real, std::int32_t folder)
{
    const TBrowserFolder* record = real.Folder(folder);
    return record ? std::string(access.Path(*record)) : std::string();
}

// The base name of an item: the name without its last "." and extension.
std::string_view baseName(const StateAccess& access, const TBrowserItem& item)
{
    const std::string_view name = access.Name(item);
    const std::uint32_t end = item.nameOffset + item.nameLength;
    const std::uint32_t dot = item.extensionOffset - item.nameOffset - 1;
    if (item.extensionOffset > item.nameOffset + 1 && item.extensionOffset <= end && dot < name.size() &&
        name[dot] == '.')
        return name.substr(0, dot);
    return name;
}

std::string_view extension(const StateAccess& access, const TBrowserItem& item)
{
    const std::string_view name = access.Name(item);
    const std::uint32_t skip = item.extensionOffset - item.nameOffset;
    return skip <= name.size() ? name.substr(skip) : std::string_view();
}

// The order of one sort word over the items of one folder slice: a total order on the 1-based item
// numbers, equal to what inserting the items one by one in reading order gives.
class SortOrder
{
public:
    SortOrder(const StateAccess& access, std::uint32_t first, std::uint32_t sortWord)
        : access_(access), items_(access.items + first), word_(sortWord)
    {
    }

    // X (item number x) goes before Y (item number y).
    bool operator()(std::uint32_t x, std::uint32_t y) const
    {
        const TBrowserItem& a = items_[x - 1];
        const TBrowserItem& b = items_[y - 1];
        const bool aDir = isDirectory(a);
        const bool bDir = isDirectory(b);
        const bool byName = (word_ & kSortByFullName) != 0;
        if (!byName && aDir != bDir)
            return aDir;
        if (byName || aDir) {
            const int cmp = platform::compareNoCase(access_.Name(a), access_.Name(b));
            if (cmp != 0)
                return cmp < 0;
            return x < y; // equal names keep their reading order
        }
        const bool descending = (word_ & kSortDescending) != 0;
        for (int i = 0; i < 4; ++i) {
            const int cmp = compareKey((word_ >> (3 * i)) & 7, a, b);
            if (cmp != 0)
                return descending ? cmp > 0 : cmp < 0;
        }
        // All keys equal: the later one first, or in reading order when descending.
        return descending ? x < y : x > y;
    }

private:
    int compareKey(std::uint32_t key, const TBrowserItem& a, const TBrowserItem& b) const
    {
        switch (key) {
        case 0:
            return platform::compareNoCase(baseName(access_, a), baseName(access_, b));
        case 1:
            return platform::compareNoCase(extension(access_, a), extension(access_, b));
        case 2:
            return a.size < b.size ? -1 : (a.size > b.size ? 1 : 0);
        case 3:
            return a.lastWrite < b.lastWrite ? -1 : (a.lastWrite > b.lastWrite ? 1 : 0);
        default:
            return 0;
        }
    }

    const StateAccess& access_;
    const TBrowserItem* items_;
    std::uint32_t word_;
};

// Tails of at most this many items are inserted one by one; longer ones are sorted and merged.
constexpr std::int32_t kInsertionLimit = 32;

void applyAction(TBrowserItem& item, std::uint32_t bit, std::int32_t action)
{
    if (item.itemIds != nullptr)
        return;
    switch (action) {
    case kActionInvert:
        item.flags ^= bit;
        break;
    case kActionMark:
        item.flags |= bit;
        break;
    case kActionUnmark:
        item.flags &= ~bit;
        break;
    default:
        break;
    }
}

void measureFolder(const StateAccess& access, const RealFolders& real, TBrowserItem& item,
                   std::int64_t& fileCount)
{
    const std::string path =
        realFolderPath(access, real, item.folder) + "\\" + std::string(access.Name(item));
    fileCount = 0;
    const std::int64_t bytes = core::FolderSize(path, fileCount);
    item.size = bytes > 0 ? static_cast<std::uint64_t>(bytes) : 0;
    item.flags |= kSizeCounted;
}

// Folder and position of a tree row, or false when the row is beyond the tree.
bool walkTree(const StateAccess& access, std::int32_t row, std::int32_t& folder, std::int32_t& position)
{
    const TstateOfBrowser& state = access.state;
    if (row < 1 || state.folderCount < 1)
        return false;
    struct Level
    {
        std::int32_t folder;
        std::int32_t position;
    };
    std::vector<Level> stack;
    Level current{1, 0};
    std::int32_t counted = 0;
    while (true) {
        const TBrowserFolder& record = access.Folder(current.folder);
        if (current.position >= record.count) {
            if (stack.empty())
                return false;
            current = stack.back();
            stack.pop_back();
            continue;
        }
        ++current.position;
        ++counted;
        if (counted == row) {
            folder = current.folder;
            position = current.position;
            return true;
        }
        const TBrowserItem* item = access.ItemAt(current.folder, current.position);
        if (item == nullptr || !isDirectory(*item) || !(item->flags & kItemExpanded))
            continue;
        const auto child = static_cast<std::int32_t>(item->flags & kItemChildFolderMask);
        // A child link that points nowhere, or a loop, ends this branch.
        if (!access.HasFolder(child) || static_cast<std::int32_t>(stack.size()) >= state.folderCount)
            continue;
        stack.push_back(current);
        current = Level{child, 0};
    }
}

// "[" + name + "]": how the lists show a folder's name.
std::string bracketed(std::string_view name)
{
    std::string text;
    text.reserve(name.size() + 2);
    text.push_back('[');
    text.append(name);
    text.push_back(']');
    return text;
}

// True when name begins with text, ignoring case (character by character).
bool beginsWithNoCase(std::string_view name, std::string_view text)
{
    std::size_t pos = 0;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++characters)
        i += std::max<std::size_t>(platform::decodeUtf8(text, i).length, 1);
    for (std::size_t n = 0; n < characters; ++n) {
        if (pos >= name.size())
            return false;
        pos += std::max<std::size_t>(platform::decodeUtf8(name, pos).length, 1);
    }
    return platform::equalNoCase(name.substr(0, pos), text);
}

} // namespace

void SetNewNameBuilder(TNewNameBuilder builder)
{
    newNameBuilder() = std::move(builder);
}

// ---- Sorting ----

void SortItems(std::uint32_t first, std::int32_t from, std::int32_t to, TstateOfBrowser& state,
               std::uint32_t sortWord)
{
    if (to == from || to <= 0 || from < 0 || from > to)
        return;
    StateAccess access(state);
    if (static_cast<std::int64_t>(first) + to > state.itemCapacity)
        return;
    std::uint32_t* slice = access.order + first;
    const SortOrder goesBefore(access, first, sortWord);
    if (from == 0 || to - from > kInsertionLimit) {
        for (std::int32_t n = from; n < to; ++n)
            slice[n] = static_cast<std::uint32_t>(n + 1);
        std::sort(slice + from, slice + to, goesBefore);
        if (from > 0)
            std::inplace_merge(slice, slice + from, slice + to, goesBefore);
        return;
    }
    for (std::int32_t n = from; n < to; ++n) {
        const auto x = static_cast<std::uint32_t>(n + 1);
        // Binary search over the sorted positions 1 .. n.
        std::int32_t lo = 0;
        std::int32_t hi = n + 1;
        while (lo + 1 != hi) {
            const std::int32_t mid = (lo + hi) / 2;
            if (goesBefore(x, slice[mid - 1]))
                hi = mid;
            else
                lo = mid;
        }
        std::move_backward(slice + hi - 1, slice + n, slice + n + 1);
        slice[hi - 1] = x;
    }
}

void SortFolder(std::int32_t folder, std::uint32_t sortWord, TstateOfBrowser& state)
{
    std::uint32_t first = 0;
    std::int32_t count = 0;
    {
        StateAccess access(state);
        if (!access.HasRecord(folder))
            return;
        first = access.Folder(folder).firstItem;
        count = access.Folder(folder).count;
    }
    SortItems(first, 0, count, state, sortWord);
}

void SortAllFolders(TstateOfBrowser& state)
{
    for (std::int32_t folder = 1; folder <= state.folderCount; ++folder)
        SortFolder(folder, state.sortWord, state);
}

// ---- Marking ----

void SelectItem(std::int32_t folder, std::int32_t row, TstateOfBrowser& state, std::int32_t action,
                bool countFolder)
{
    StateAccess access(state);
    if (!access.HasFolder(folder))
        return;
    const std::int32_t position = access.Folder(folder).depth != 0 ? row - 1 : row;
    if (position <= 0)
        return;
    TBrowserItem* item = access.ItemAt(folder, position);
    if (item == nullptr || item->itemIds != nullptr)
        return;
    const std::uint32_t bit = ViewBit(state);
    applyAction(*item, bit, action);
    if (countFolder && (item->flags & bit) && isDirectory(*item)) {
        RealFolders real(access);
        std::int64_t files = 0;
        measureFolder(access, real, *item, files);
    }
}

void SelectFolderItems(std::int32_t folder, TstateOfBrowser& state, bool withFolders, std::int32_t action)
{
    StateAccess access(state);
    if (!access.HasFolder(folder))
        return;
    const std::uint32_t bit = ViewBit(state);
    const TBrowserFolder& record = access.Folder(folder);
    for (std::int32_t position = 1; position <= record.count; ++position) {
        TBrowserItem* item = access.ItemAt(folder, position);
        if (item != nullptr && (withFolders || !isDirectory(*item)))
            applyAction(*item, bit, action);
    }
}

void SelectByMask(std::int32_t folder, std::string_view maskText, bool select, TstateOfBrowser& state)
{
    core::TMaskList masks;
    core::ParseMaskList(maskText, masks);
    StateAccess access(state);
    if (!access.HasFolder(folder))
        return;
    const bool filesOnly = HasGeneralOption(kOptionMaskSelectsFilesOnly);
    const std::uint32_t bit = ViewBit(state);
    const TBrowserFolder& record = access.Folder(folder);
    for (std::int32_t position = 1; position <= record.count; ++position) {
        TBrowserItem* item = access.ItemAt(folder, position);
        if (item == nullptr || item->itemIds != nullptr || (filesOnly && isDirectory(*item)))
            continue;
        if (!core::MatchMaskList(access.Name(*item), masks, true))
            continue;
        if (select)
            item->flags |= bit;
        else
            item->flags &= ~bit;
    }
}

void SelectByTag(std::int32_t folder, std::uint32_t tag, bool select, TstateOfBrowser& state)
{
    StateAccess access(state);
    if (!access.HasFolder(folder))
        return;
    const std::uint32_t bit = ViewBit(state);
    const TBrowserFolder& record = access.Folder(folder);
    for (std::int32_t n = 0; n < record.count; ++n) {
        TBrowserItem& item = access.items[record.firstItem + static_cast<std::uint32_t>(n)];
        if (tag == 0) {
            item.status = 0;
            continue;
        }
        if (item.status != tag || item.itemIds != nullptr)
            continue;
        if (select)
            item.flags |= bit;
        else
            item.flags &= ~bit;
    }
}

void UnselectFolderItems(std::int32_t folder, std::int32_t mode, TstateOfBrowser& state)
{
    StateAccess access(state);
    if (!access.HasFolder(folder))
        return;
    const TBrowserFolder& record = access.Folder(folder);
    for (std::int32_t n = 0; n < record.count; ++n) {
        TBrowserItem& item = access.items[record.firstItem + static_cast<std::uint32_t>(n)];
        item.flags &= ~kMarkOwn;
        if (mode == 4 && (item.flags & kItemOwnsItemIds)) {
            releaseItemIdList(item.itemIds);
            item.itemIds = nullptr;
            item.flags &= ~kItemOwnsItemIds;
        }
    }
}

// ---- Totals ----

void RecalcSelection(TstateOfBrowser& state)
{
    const std::uint8_t busy = state.busy;
    state.busy = 1;
    std::int32_t selectedCount = 0;
    std::int32_t selectedFiles = 0;
    std::uint64_t selectedBytes = 0;
    std::uint64_t totalBytes = 0;
    std::int32_t fileCount = 0;
    {
        StateAccess access(state);
        const std::uint32_t bit = ViewBit(state);
        for (std::int32_t folder = 1; folder <= state.folderCount; ++folder) {
            const TBrowserFolder& record = access.Folder(folder);
            if (!(record.flags & kFolderExpanded))
                continue;
            for (std::int32_t position = 1; position <= record.count; ++position) {
                TBrowserItem* item = access.ItemAt(folder, position);
                if (item == nullptr)
                    continue;
                item->flags &= ~kRemovalPending;
                const bool marked = (item->flags & bit) != 0;
                if (marked)
                    ++selectedCount;
                if (!isDirectory(*item)) {
                    ++fileCount;
                    totalBytes += item->size;
                    if (marked) {
                        ++selectedFiles;
                        selectedBytes += item->size;
                    }
                } else if ((item->flags & kSizeCounted) && !(item->flags & kItemExpanded)) {
                    totalBytes += item->size;
                    if (marked)
                        selectedBytes += item->size;
                }
            }
        }
    }
    state.selectedCount = selectedCount;
    state.selectedFiles = selectedFiles;
    state.selectedBytes = selectedBytes;
    state.totalBytes = totalBytes;
    state.fileCount = fileCount;
    state.busy = busy;
}

std::uint64_t SumSelectedSizes(std::int32_t& count, TstateOfBrowser& state, bool measureFolders)
{
    count = 0;
    std::uint64_t bytes = 0;
    StateAccess access(state);
    RealFolders real(access);
    const std::uint32_t bit = ViewBit(state);
    for (std::int32_t folder = 1; folder <= state.folderCount; ++folder) {
        const TBrowserFolder& record = access.Folder(folder);
        if (!(record.flags & kFolderExpanded))
            continue;
        for (std::int32_t n = 0; n < record.count; ++n) {
            TBrowserItem& item = access.items[record.firstItem + static_cast<std::uint32_t>(n)];
            if (!(item.flags & bit) || item.itemIds != nullptr)
                continue;
            std::int64_t standsFor = 1;
            if (!isDirectory(item)) {
                bytes += item.size;
            } else if (measureFolders) {
                measureFolder(access, real, item, standsFor);
                bytes += item.size;
            }
            item.number = static_cast<std::int32_t>(std::min<std::int64_t>(standsFor, INT32_MAX));
            count += item.number;
        }
    }
    return bytes;
}

// ---- Row mapping and texts ----

void RowToItem(std::int32_t row, bool withHeader, std::int32_t& folder, TstateOfBrowser& state,
               std::int32_t& position)
{
    folder = 0;
    position = 0;
    if (row < 1)
        return;
    StateAccess access(state);
    std::int64_t sum = 0;
    for (std::int32_t n = 0; n < state.folderCount; ++n) {
        const auto number = static_cast<std::int32_t>(access.folderOrder[n]);
        if (!access.HasFolder(number))
            continue;
        const std::int32_t count = access.Folder(number).count;
        sum += count + (withHeader ? 1 : 0);
        if (row <= sum) {
            folder = number;
            position = static_cast<std::int32_t>(row + count - sum);
            return;
        }
    }
}

void TreeRowToItem(std::int32_t row, std::int32_t& folder, std::int32_t& position, TstateOfBrowser& state)
{
    folder = 0;
    position = 0;
    StateAccess access(state);
    if (!walkTree(access, row, folder, position)) {
        folder = 0;
        position = 0;
    }
}

void GetTreeRowText(std::int32_t folder, std::int32_t position, std::string& text, TstateOfBrowser& state,
                    std::int32_t& depth)
{
    text.clear();
    depth = 0;
    StateAccess access(state);
    if (!access.HasFolder(folder))
        return;
    const TBrowserFolder& record = access.Folder(folder);
    depth = record.depth;
    if (position == 0) {
        text = std::string(access.Path(record)) + "\\";
        return;
    }
    if (const TBrowserItem* item = access.ItemAt(folder, position))
        text.assign(access.Name(*item));
}

void GetCellText(std::int32_t columnKind, std::int32_t folder, std::int32_t position, std::string& text,
                 TstateOfBrowser& state)
{
    text.clear();
    StateAccess access(state);
    if (!access.HasFolder(folder) || position < 0 || position > access.Folder(folder).count)
        return;
    if (position == 0) {
        if (columnKind == kColumnName || columnKind == kColumnFullName)
            text = core::uiText(34);
        return;
    }
    const TBrowserItem* item = access.ItemAt(folder, position);
    if (item == nullptr)
        return;
    const bool directory = isDirectory(*item);
    const bool shellItem = item->itemIds != nullptr;
    switch (columnKind) {
    case kColumnName:
    case kColumnOldName:
        text = directory ? bracketed(access.Name(*item)) : std::string(baseName(access, *item));
        break;
    case kColumnExtension:
        if (!directory)
            text.assign(extension(access, *item));
        break;
    case kColumnSize:
        if (directory && !(item->flags & kSizeCounted))
            text = core::uiText(35);
        else if (!shellItem)
            text = core::FormatSize(item->size);
        break;
    case kColumnDate:
        if (!shellItem)
            text = core::FileTimeToText(item->lastWrite);
        break;
    case kColumnDay:
        if (!shellItem)
            text = core::FileTimeToDateText(item->lastWrite);
        break;
    case kColumnCompactDay:
        if (!shellItem)
            text = core::FileTimeToCompactDateText(item->lastWrite);
        break;
    case kColumnAttributes:
        if (!shellItem) {
            text = "----";
            if (item->attributes & 0x20)
                text[0] = 'a';
            if (item->attributes & 0x2)
                text[1] = 'h';
            if (item->attributes & 0x1)
                text[2] = 'r';
            if (item->attributes & 0x4)
                text[3] = 's';
        }
        break;
    case kColumnFullName: {
        text = directory ? bracketed(access.Name(*item)) : std::string(access.Name(*item));
        break;
    }
    case kColumnStoredName:
        text.assign(access.Name(*item));
        break;
    case kColumnNewName:
    case kColumnNewExtension: {
        const TNewNameBuilder& builder = newNameBuilder();
        if (!builder)
            break;
        RealFolders real(access);
        const std::string path = realFolderPath(access, real, item->folder);
        const std::string newName = builder(path, access.Name(*item), item->lastWrite);
        text =
            columnKind == kColumnNewName ? core::NameWithoutExtension(newName) : core::ExtensionOf(newName);
        break;
    }
    case kColumnLocation:
    case kColumnStoredLocation: {
        RealFolders real(access);
        text = realFolderPath(access, real, item->folder);
        break;
    }
    default:
        break;
    }
}

// ---- Searching ----

std::int32_t FindItemByName(std::int32_t folder, std::int32_t start, std::string_view text,
                            TstateOfBrowser& state, bool backward)
{
    StateAccess access(state);
    if (!access.HasFolder(folder))
        return 0;
    const std::int32_t count = access.Folder(folder).count;
    if (count <= 0 || start > count)
        return 0;
    // From the ".." row (or any start before the first item) the first step lands on the first item
    // (on the last one backwards), so that every item is compared once.
    std::int32_t position = start;
    if (start < 1)
        position = backward ? 1 : count;
    for (std::int32_t step = 0; step < count; ++step) {
        position = backward ? (position == 1 ? count : position - 1) : (position == count ? 1 : position + 1);
        if (text.empty())
            return position;
        const TBrowserItem* item = access.ItemAt(folder, position);
        if (item != nullptr && beginsWithNoCase(access.Name(*item), text))
            return position;
    }
    return 0;
}

std::int32_t FindItemPosition(std::int32_t folder, std::string_view text, TstateOfBrowser& state, bool exact)
{
    if (text.empty())
        return 0;
    StateAccess access(state);
    if (!access.HasFolder(folder))
        return 0;
    const std::int32_t count = access.Folder(folder).count;
    std::int32_t first = 0;
    for (std::int32_t position = 1; position <= count; ++position) {
        const TBrowserItem* item = access.ItemAt(folder, position);
        if (item == nullptr)
            continue;
        const std::string_view name = access.Name(*item);
        // A name of exactly that spelling goes first: "Readme" is not "README".
        if (name == text)
            return position;
        if (first == 0 && (exact ? platform::equalNoCase(name, text) : beginsWithNoCase(name, text)))
            first = position;
    }
    return first;
}

std::int32_t FindSubfolderPosition(std::string_view name, TstateOfBrowser& state)
{
    StateAccess access(state);
    if (!access.HasFolder(1))
        return 1;
    const std::int32_t count = access.Folder(1).count;
    std::int32_t lo = 0;
    std::int32_t hi = count + 1;
    while (lo + 1 != hi) {
        const std::int32_t mid = (lo + hi) / 2;
        const TBrowserItem* item = access.ItemAt(1, mid);
        const bool greater =
            item == nullptr || !isDirectory(*item) || platform::compareNoCase(access.Name(*item), name) > 0;
        if (greater)
            hi = mid;
        else
            lo = mid;
    }
    return std::max(lo, 1);
}

std::int32_t CollectDuplicates(std::uint32_t mode, TstateOfBrowser& state)
{
    StateAccess access(state);
    const std::int32_t total = std::min(state.itemCount, state.itemCapacity);
    if (total < 2)
        return 0;
    const std::vector<std::uint32_t> entries(access.order, access.order + total);
    const bool byName = (mode & 1) != 0;
    const bool bySize = !byName || (mode & 2) != 0;
    auto same = [&](std::uint32_t a, std::uint32_t b) {
        if (a < 1 || b < 1 || a > static_cast<std::uint32_t>(total) || b > static_cast<std::uint32_t>(total))
            return false;
        const TBrowserItem& x = access.items[a - 1];
        const TBrowserItem& y = access.items[b - 1];
        if (bySize && x.size != y.size)
            return false;
        return !byName || platform::equalNoCase(access.Name(x), access.Name(y));
    };
    std::int32_t written = 0;
    bool inRun = false;
    for (std::int32_t k = 0; k + 1 < total; ++k) {
        if (same(entries[k], entries[k + 1])) {
            if (!inRun)
                access.order[written++] = entries[k];
            access.order[written++] = entries[k + 1];
            inRun = true;
        } else {
            inRun = false;
        }
    }
    return written;
}

} // namespace wux::filelist
