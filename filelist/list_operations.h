// What a file list does between reading and running: the display order of each folder, marking items,
// the selection totals, the mapping of grid rows to items, the texts of the list's columns, quick
// search and the duplicate finder.
//
// Grid rows (`row`) are the third numbering system beside 1-based folders and positions and 0-based
// record indexes: in a folder's own view row 0 is its ".." row when the folder's depth is above 0; in
// the grouped views (RowToItem) rows count from 1 over all folders, with a header row per folder when
// asked; in the tree view (TreeRowToItem) rows count from 1 over the expanded folders.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "filelist/browser_state.h"

namespace wux::filelist {

// ---- Sort word ----
// Bits 0-11: four 3-bit keys, key i = (word >> 3i) & 7, first key lowest: 0 base name, 1 extension,
// 2 size, 3 last-write time (4-7 compare as equal).
inline constexpr std::uint32_t kSortDescending = 0x2000;
inline constexpr std::uint32_t kSortByFullName = 0x4000; // folders not first, full names only, ascending
inline constexpr std::uint32_t kSortDefault = 8;         // base name, then extension
inline constexpr std::uint32_t kSortMerge = 16384;       // the order of merges and of the Basket
// The bits a sort word can have (a word read from settings is masked with it).
inline constexpr std::uint32_t kSortWordBits = 0x7FFF;

// A sort word as read from the settings: only the bits that exist.
inline std::uint32_t MaskSortWord(std::uint32_t word)
{
    return word & kSortWordBits;
}

// Marking actions.
inline constexpr std::int32_t kActionInvert = 1;
inline constexpr std::int32_t kActionMark = 2;
inline constexpr std::int32_t kActionUnmark = 4;

// Column kinds of GetCellText.
enum ColumnKind : std::int32_t
{
    kColumnName = 0,
    kColumnExtension = 1,
    kColumnSize = 2,
    kColumnDate = 3,
    kColumnAttributes = 4,
    kColumnFullName = 5,
    kColumnNewName = 6,
    kColumnLocation = 7,
    kColumnOldName = 8,
    kColumnNewExtension = 9,
    kColumnStoredName = 10,
    kColumnStoredLocation = 11, // the item's folder as stored, for going there
    kColumnDay = 12,            // the date without its time, for a date column too narrow for the time
    kColumnCompactDay = 13,     // the compact date, for a date column too narrow for the date
};

// The rename preview's name builder (the rename-mask engine's BuildNewName): the new full name of a
// file from its folder path, its name and its last-write time. Set once at start-up by the layer that
// owns the engine; without one the new-name columns are empty.
using TNewNameBuilder = std::function<std::string(std::string_view folderPath, std::string_view fileName,
                                                  platform::FileTime lastWrite)>;
void SetNewNameBuilder(TNewNameBuilder builder);

// ---- Sorting ----

// Sorts the display-order slice of the folder whose first item index is `first`: items from + 1 .. to
// (1-based within the folder) are inserted into the sorted positions 1 .. from; from 0 sorts all.
void SortItems(std::uint32_t first, std::int32_t from, std::int32_t to, TstateOfBrowser& state,
               std::uint32_t sortWord);
// SortItems(first, 0, count) for one folder.
void SortFolder(std::int32_t folder, std::uint32_t sortWord, TstateOfBrowser& state);
// Every folder with the list's sort word.
void SortAllFolders(TstateOfBrowser& state);

// ---- Marking (only items without an item-id list are ever marked) ----

// One row of a folder's view (row 0 is the ".." row when the folder's depth is above 0). With
// countFolder a folder that is now marked is measured.
void SelectItem(std::int32_t folder, std::int32_t row, TstateOfBrowser& state, std::int32_t action,
                bool countFolder);
// Every file of a folder, and its folders too when withFolders.
void SelectFolderItems(std::int32_t folder, TstateOfBrowser& state, bool withFolders, std::int32_t action);
// Marks (select) or unmarks the items whose names match a ";"-separated mask text.
void SelectByMask(std::int32_t folder, std::string_view maskText, bool select, TstateOfBrowser& state);
// Marks or unmarks every item whose status tag equals tag; tag 0 sets every item's tag to 0 instead.
void SelectByTag(std::int32_t folder, std::uint32_t tag, bool select, TstateOfBrowser& state);
// Clears bit 0x10000000 of every item of a folder; mode 4 also releases the items' own item-id lists.
void UnselectFolderItems(std::int32_t folder, std::int32_t mode, TstateOfBrowser& state);

// ---- Totals ----

// Recounts selected count, selected files, selected bytes, total bytes and file count.
void RecalcSelection(TstateOfBrowser& state);
// Bytes of the marked entries of expanded folders; count := the files they stand for. Marked folders
// are measured when measureFolders.
std::uint64_t SumSelectedSizes(std::int32_t& count, TstateOfBrowser& state, bool measureFolders);

// ---- Row mapping and texts ----

// Grouped views: folders in folder order, each folder's items in display order; withHeader adds a
// header row (position 0) per folder. Rows count from 1. Folder and position are 0 ("no item") for
// rows out of range.
void RowToItem(std::int32_t row, bool withHeader, std::int32_t& folder, TstateOfBrowser& state,
               std::int32_t& position);
// Tree view: rows count from 1 over folder 1's items, each expanded directory followed by its child
// folder's rows. Folder and position are 0 for rows out of range.
void TreeRowToItem(std::int32_t row, std::int32_t& folder, std::int32_t& position, TstateOfBrowser& state);
// Text and indentation of a tree row (position 0: the folder's path + "\").
void GetTreeRowText(std::int32_t folder, std::int32_t position, std::string& text, TstateOfBrowser& state,
                    std::int32_t& depth);
// The text of one cell (see ColumnKind; position 0 is the ".." row).
void GetCellText(std::int32_t columnKind, std::int32_t folder, std::int32_t position, std::string& text,
                 TstateOfBrowser& state);

// ---- Searching ----

// Quick search: from start one position on (back with backward), wrapping, for a name that begins
// with text ignoring case; at most one round, start compared last. A start below 1 (the ".." row)
// compares every item from the first (from the last backwards). 0 when none.
std::int32_t FindItemByName(std::int32_t folder, std::int32_t start, std::string_view text,
                            TstateOfBrowser& state, bool backward);
// The display position of the name spelled as text, else the first whose name begins with text
// (exact: equals text) ignoring case; 0 when none or text is empty.
std::int32_t FindItemPosition(std::int32_t folder, std::string_view text, TstateOfBrowser& state, bool exact);
// The position of the last directory of folder 1 whose name is not greater than name (at least 1).
std::int32_t FindSubfolderPosition(std::string_view name, TstateOfBrowser& state);
// Writes the item numbers of every run of duplicates to the start of the display order; returns how
// many were written. Mode bit 0 compares names (bit 1 then also sizes); without bit 0 sizes.
std::int32_t CollectDuplicates(std::uint32_t mode, TstateOfBrowser& state);

} // namespace wux::filelist
