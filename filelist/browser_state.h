// File lists: the folder, item and display-order records of every list of the program (a panel's
// listing, the Basket and its two views, the Finder's results, the Renamer's list) and the operations
// on folder records and items.
//
// Numbering, everywhere in the file lists:
// - folder numbers and display positions count from 1 ("folder 1", "position 1" is a folder's first
//   row); position 0 is a folder's ".." or header row in the views;
// - record indexes inside the blocks count from 0 (a folder's first item index, the item block);
// - a display-order entry holds an item's 1-based number within its folder.
// Variables are named for the system they count in: `folder`, `position` (1-based), `index`
// (0-based), `row` (grid rows, see list_operations.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/mask_list.h"
#include "filelist/item_id_list.h"
#include "filelist/text_storage.h"
#include "platform/file_time_type.h"
#include "platform/movable_memory.h"

namespace wux::filelist {

// ---- Flags of a folder record ----
inline constexpr std::uint32_t kFolderParentItemMask = 0x00FFFFFF;   // 1-based item index of the tree entry
inline constexpr std::uint32_t kFolderExpanded = 0x2000000;          // its items are shown and counted
inline constexpr std::uint32_t kFolderOwnsItemIds = 0x4000000;       // the folder owns its item-id list
inline constexpr std::uint32_t kFolderOutsideFileSystem = 0x8000000; // no usable path

// ---- Flags of an item record ----
inline constexpr std::uint32_t kItemChildFolderMask = 0x00FFFFFF; // folder number of the tree child
inline constexpr std::uint32_t kItemExpanded = 0x2000000;
inline constexpr std::uint32_t kItemOwnsItemIds = 0x4000000;
inline constexpr std::uint32_t kMarkOwn = 0x10000000;     // mark of own lists and the right Basket view
inline constexpr std::uint32_t kSizeCounted = 0x20000000; // a folder whose size was measured
inline constexpr std::uint32_t kRemovalPending = 0x40000000;
inline constexpr std::uint32_t kMarkLeftBasket = 0x80000000; // mark of the left Basket view
inline constexpr std::uint32_t kMarkBothViews = kMarkOwn | kMarkLeftBasket;

// Attribute bit of a directory.
inline constexpr std::uint32_t kDirectoryAttribute = 0x10;

// `FileResultStatus`: the status tag of an item after a run.
inline constexpr std::uint32_t kStatusSuccessful = 64;
inline constexpr std::uint32_t kStatusFailed = 128;
inline constexpr std::uint32_t kStatusUnchanged = 192;

// One folder of a list.
struct TBrowserFolder
{
    ItemIdList* itemIds = nullptr; // the folder's shell item-id list, nullptr for a folder known by path
    std::int32_t count = 0;        // item count
    std::uint32_t firstItem = 0;   // 0-based index of its first item in the item block
    std::uint32_t pathOffset = 0;  // its path (no trailing "\"; "c:" for a root) in the text storage
    std::uint32_t flags = 0;       // kFolder... bits and the tree entry's item index
    std::int32_t depth = 0;        // number of "\" in the path; 0 has no ".." row
    std::int32_t itemIdDepth = -1; // -1 known by path; levels below the nearest item-id folder
};

// One file or folder entry of a list.
struct TBrowserItem
{
    ItemIdList* itemIds = nullptr;    // relative shell item-id list, nullptr for a file-system entry
    std::uint64_t size = 0;           // file size; a folder's measured total
    platform::FileTime lastWrite = 0; // UTC
    std::uint32_t attributes = 0;
    std::int32_t folder = 0; // 1-based folder number of the entry
    std::uint32_t flags = 0; // kItem..., kMark..., child folder number
    std::int32_t iconIndex = -1;
    std::int32_t openIconIndex = -1;
    std::uint32_t nameLength = 0; // bytes
    std::uint32_t nameOffset = 0;
    std::uint32_t extensionOffset = 0; // first byte after the last "." (not a leading one); the name's end
                                       // for folders and names without an extension
    std::int32_t number = 1;           // files the entry stands for; in a copied list the source's item index
    std::uint32_t status = 0;          // FileResultStatus: 64, 128, 192 or 0
};

// The date, size and attribute filter of a list.
struct TBrowserFilter
{
    std::uint8_t enabled = 0;        // 0: no date, size or attribute test
    std::uint8_t findDuplicates = 0; // read by the search thread only
    std::uint32_t duplicateMode = 0; // the CollectDuplicates mode of that search
    std::int32_t dateMode = 0;       // 0 none, 1 between from and to, 2 not older than N units
    std::uint64_t size = 0;          // in the unit of sizeTest
    std::uint32_t attributesAbsent = 0;
    std::uint32_t attributesPresent = 0;
    platform::FileTime from = 0; // UTC
    platform::FileTime to = 0;   // UTC
    std::int32_t count = 0;      // N of date mode 2
    std::int32_t unit = 0;       // 0 hours, 1 days, 2 weeks, 3 months, 4 years
    std::uint32_t sizeTest = 0;  // bits 0-1 kind (1 equal, 2 smaller, 3 larger); bits 2-3 unit (2 KB, 3 MB)
};

// One file list. A plain record: copying it copies the block handles (both copies then see the same
// blocks), as the panels do when they keep an old listing aside while reading a new one.
struct TstateOfBrowser
{
    platform::MovableHandle folders; // TBrowserFolder[folderCapacity]
    platform::MovableHandle items;   // TBrowserItem[itemCapacity]
    platform::MovableHandle order;   // std::uint32_t[itemCapacity], display order
    TTextStorage* text = nullptr;
    platform::MovableHandle folderOrder;  // std::uint32_t[folderCapacity], folder numbers by path
    platform::MovableHandle savedFolders; // kept aside during a flat view
    platform::MovableHandle savedFolderOrder;
    std::int32_t savedFolderCount = 0;
    std::int32_t itemCapacity = 0;
    std::int32_t folderCapacity = 0;
    std::int32_t itemCount = 0;
    std::int32_t folderCount = 0;
    std::int32_t driveIndex = 0; // index of the list's drive in DriveList
    std::uint32_t sortWord = 8;
    std::int32_t rowCount = 0; // kept by the panel that shows the list
    std::int32_t selectedCount = 0;
    std::int32_t selectedFiles = 0;
    std::uint64_t selectedBytes = 0;
    std::uint64_t totalBytes = 0;
    std::int32_t fileCount = 0;
    std::uint8_t busy = 0;
    TBrowserFilter filter;
    std::uint32_t mode = 0; // 0 own list; 4/8 left/right Basket view (+1 attached); 2 Finder
    std::string maskText;
    core::TMaskList maskList;
    std::string cursorName;
};

// The process-wide lists, created by the main window: the Basket (10 folders, 300 items, mask "*.*",
// 10,000 text bytes, sort word 16384) and its left and right views (attached to it).
inline TstateOfBrowser BasketState;
inline TstateOfBrowser LeftBasketState;
inline TstateOfBrowser RightBasketState;

// Growth steps of the blocks.
inline constexpr std::int32_t kItemGrowthWhileReading = 2600;
inline constexpr std::int32_t kItemGrowthOnInsert = 20;
inline constexpr std::int32_t kFolderGrowth = 10;

// The list's own mark bit: 0x80000000 for the left Basket view (mode bits 0 and 2), else 0x10000000.
inline std::uint32_t ViewBit(const TstateOfBrowser& state)
{
    return (state.mode & 5) == 5 ? kMarkLeftBasket : kMarkOwn;
}

// The extension offset of a name stored at nameOffset: after its last "." unless that dot is the
// first character; the name's end for folders and names without one.
std::uint32_t ExtensionOffsetOf(std::string_view name, std::uint32_t nameOffset, bool isDirectory);

// ---- Locked access to a list's blocks ----

// Locks a list's folder block, item block, display order, folder order and text storage for the
// length of a scope. After a block was re-allocated (GrowItemBlock, GrowFolderBlock) call Relock.
class StateAccess
{
public:
    explicit StateAccess(TstateOfBrowser& state);
    ~StateAccess();
    StateAccess(const StateAccess&) = delete;
    StateAccess& operator=(const StateAccess&) = delete;

    void Relock();

    TstateOfBrowser& state;
    TBrowserFolder* folders = nullptr;
    TBrowserItem* items = nullptr;
    std::uint32_t* order = nullptr;
    std::uint32_t* folderOrder = nullptr;

    bool HasFolder(std::int32_t folder) const { return folder >= 1 && folder <= state.folderCount; }
    // A committed folder, or the record just written by AddFolderRecord and not yet committed (the
    // search fills, sorts and thins that one out before it commits it).
    bool HasRecord(std::int32_t folder) const
    {
        return folder >= 1 && folder <= state.folderCount + 1 && folder <= state.folderCapacity;
    }
    // Folder record by 1-based number (HasFolder must hold).
    TBrowserFolder& Folder(std::int32_t folder) const { return folders[folder - 1]; }
    // 0-based item index of the entry at a folder's display position (1..count); -1 when out of range.
    std::int32_t IndexAt(std::int32_t folder, std::int32_t position) const;
    // The entry at a display position; nullptr when out of range.
    TBrowserItem* ItemAt(std::int32_t folder, std::int32_t position) const;
    std::string_view Name(const TBrowserItem& item) const;
    std::string_view Path(const TBrowserFolder& folder) const;

private:
    void lockAll();
    void unlockAll();
};

// Grows the item block and the display order by `extra` entries (StateAccess is re-locked).
void GrowItemBlock(StateAccess& access, std::int32_t extra);
// Grows the folder block and the folder order by `extra` entries (StateAccess is re-locked).
void GrowFolderBlock(StateAccess& access, std::int32_t extra);

// ---- Lifecycle ----

// Allocates the blocks (folderCapacity folders, itemCapacity items) and a text storage of
// textCapacity bytes; sort word 8; counts, totals, filter, flat view and mode 0; the mask text is
// stored and parsed into the mask list. The record's previous blocks are not freed.
void CreateBrowserState(TstateOfBrowser& state, std::int32_t folderCapacity, std::int32_t itemCapacity,
                        std::string_view maskText, std::int64_t textCapacity);
// Frees the blocks, the saved flat-view blocks, the text storage and the mask list. Item-id lists are
// released separately (UnselectFolderItems with mode 4, ReleaseFolderItemIds).
void FreeBrowserState(TstateOfBrowser& state);
// Target := a copy of Source with its own blocks (capacities Source's counts + 10, text capacity
// Source's used bytes): folders, items, orders, text, counts, drive index, sort word and mode; no flat
// view. Item-id lists are shared with Source, never owned by the copy.
void CloneBrowserState(TstateOfBrowser& target, TstateOfBrowser& source);
// Target := the marked items (Source's view bit, no item-id list) of Source's expanded folders, each
// with the source item's 1-based index in its number field; false (and no Target) when none.
bool CopySelectedToState(TstateOfBrowser& target, TstateOfBrowser& source);
// Shows items 0 .. itemCount - 1 as one expanded folder; the folder block, order and count are kept.
void BeginFlatView(TstateOfBrowser& state, std::int32_t itemCount);
// Restores the folders saved by BeginFlatView.
void EndFlatView(TstateOfBrowser& state);

// ---- Folder records ----

// Writes a folder record after the last one (path stored, expanded, depth 1, item-id depth -1) without
// raising the folder count; the folder block grows by 10 when full.
void AddFolderRecord(std::string_view path, TstateOfBrowser& state);
// Commits the record of AddFolderRecord at 1-based position of the folder order when it received
// items; else drops its path text and returns false.
bool CommitFolderRecord(std::int32_t position, TstateOfBrowser& state);
// Raises the folder count and puts the new last folder's number at 1-based position of the folder order.
void InsertIntoFolderOrder(std::int32_t position, StateAccess& access);
// The 1-based folder-order position of path (a trailing "\" ignored): where it is or where it belongs.
std::int32_t FolderOrderPosition(std::string_view path, StateAccess& access);
// The 1-based folder-order position where path (a trailing "\" ignored) belongs; -1 when the path is
// present or empty.
std::int32_t FolderInsertPosition(std::string_view path, TstateOfBrowser& state);
// The folder number of path (a trailing "\" ignored), added at its sorted place when missing; -1 for
// an empty path.
std::int32_t FindOrAddFolder(std::string_view path, TstateOfBrowser& state);
// The folder's path for display: as spelled on the disk, like every name and path the program
// shows ("" for a folder out of range).
void FolderPathOf(std::int32_t folder, TstateOfBrowser& state, std::string& path);
// The folder's path as stored ("" for a folder out of range).
std::string FolderPathAsStored(std::int32_t folder, TstateOfBrowser& state);
// The folder's depth field (0 for a folder out of range).
std::int32_t GetFolderDepth(std::int32_t folder, TstateOfBrowser& state);
// Releases the item-id lists that the folder records own (kFolderOwnsItemIds) and the items own.
void ReleaseStateItemIds(TstateOfBrowser& state);

// ---- Items ----

// The name of the n-th item (1-based, storage order) of a folder; "" when out of range.
void GetItemName(std::int32_t folder, std::int32_t n, TstateOfBrowser& state, std::string& name);
// Sets the removal-pending bit of the n-th item (storage order) of a folder.
void MarkItemForRemoval(std::int32_t folder, std::int32_t n, TstateOfBrowser& state);
// The list's view bit of the item at a display position (false when out of range).
bool IsItemSelected(std::int32_t folder, std::int32_t position, TstateOfBrowser& state);
// The sum of the item counts of the expanded folders (rows of the tree view).
std::int32_t CountExpandedItems(TstateOfBrowser& state);

} // namespace wux::filelist
