// The Basket and the maintenance of lists that collect items from other lists.
//
// The Basket (`BasketState`) holds files from any folder, grouped by folder path; each folder's display
// order is sorted by full name (sort word 16384), which the duplicate test relies on. Each browser
// panel shows it in its Basket view (`LeftBasketState`, `RightBasketState`): a view shares the
// Basket's folder block, item block and text storage (copies of the handles and counts) but keeps its
// own display order, sort word, flat view and mark bit. Whenever the Basket's blocks may have moved or
// its counts changed, both views are attached again.
//
// Removal is two-phase: results and commands set the removal-pending bit, and RecalcAllPanels (or
// RecalcSelection, which clears leftover pending bits) settles it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "filelist/browser_state.h"

namespace wux::filelist {

// View flags of AttachStateToPanel (a view's mode word is its flag + 1 once attached).
inline constexpr std::int32_t kLeftBasketView = 4;
inline constexpr std::int32_t kRightBasketView = 8;

// Sizes of a new Basket.
inline constexpr std::int32_t kBasketFolders = 10;
inline constexpr std::int32_t kBasketItems = 300;
inline constexpr std::int64_t kBasketTextBytes = 10000;
inline constexpr std::uint32_t kBasketSortWord = 16384;

// Creates an empty Basket list in state (10 folders, 300 items, mask "*.*", 10,000 text bytes, sort
// word 16384).
void CreateBasketState(TstateOfBrowser& state);

// Makes the left (viewFlag 4) or right (8) Basket view show state. firstTime: the view has no display
// order of its own yet. A view that shows a flat view shows it again afterwards; every folder is
// sorted with the view's own sort word.
void AttachStateToPanel(std::int32_t viewFlag, bool firstTime, TstateOfBrowser& state);

// Moves the marks (bit 0x10000000) of a list's expanded folders into the Basket: each marked item is
// unmarked and inserted into the Basket folder of its path.
void AddSelectedToBasket(TstateOfBrowser& state);

// Puts the item at sourcePosition of sourceFolder of source into targetFolder of target, keeping that
// folder's display order sorted by full name. A name already present is not inserted again; with
// option 0x4000 the present entry is marked in both views. Returns true when an item was inserted.
bool InsertItemFromState(std::int32_t sourceFolder, std::int32_t sourcePosition, std::int32_t targetFolder,
                         TstateOfBrowser& target, TstateOfBrowser& source);

// Puts the file folderPath + "\" + fileName, with its attributes, size and time read from the disk,
// into a name-sorted folder of state (duplicates as InsertItemFromState). A file that cannot be read
// is skipped. Returns true when an item was inserted.
bool InsertFileIntoFolder(std::string_view folderPath, std::string_view fileName, std::int32_t folder,
                          TstateOfBrowser& state);

// Appends a copy of an item after targetFolder's last item (no duplicate test, marks cleared). With
// sortNow the copy is inserted into the folder's display order with the target's sort word at once;
// else the display order gets it last and the caller sorts later.
void AppendItemFromState(std::int32_t sourceFolder, std::int32_t sourcePosition, std::int32_t targetFolder,
                         bool sortNow, TstateOfBrowser& target, TstateOfBrowser& source);

// Removes every item of a folder (the folder record stays, with count 0).
void ClearFolderItems(std::int32_t folder, TstateOfBrowser& state);

// Removes the items of one folder that carry the removal-pending bit (the folder may be the record
// just written and not yet committed). The folder's display order is left as storage order: the
// caller sorts it again.
void RemovePendingFolderItems(std::int32_t folder, TstateOfBrowser& state);

// Removes every removal-pending item of a list and every folder left without items; sorts all folders
// again when items were removed.
void DropPendingItems(TstateOfBrowser& state);

// Removes one folder record; later folder numbers (in the folder order and in the items) go down by 1.
void DropFolder(std::int32_t folder, TstateOfBrowser& state);

// Rebuilds the list's text storage with only the live texts (folder paths and item names).
void CompactStateText(TstateOfBrowser& state);

// After items were removed from the Basket: drops them, compacts its text, attaches both views again
// and recounts them.
void RecalcAllPanels();

// The name of the first marked item (the list's view bit) of an expanded folder, in storage order;
// "" when none.
void FirstSelectedName(TstateOfBrowser& state, std::string& name);

} // namespace wux::filelist
