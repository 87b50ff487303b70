// Reading folders into a file list: pointing a list at a path or a drive, reading a folder's entries
// through the list's filter and name masks, the tree's expansion, going up one level and re-reading a
// listing while keeping what the user had marked, measured or run on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "filelist/browser_state.h"
#include "platform/folder_listing.h"

namespace wux::platform {
class StringList;
}

namespace wux::filelist {

// Flags of the readers.
inline constexpr std::uint32_t kReadMasksFilesOnly = 1; // folders always pass the name masks
inline constexpr std::uint32_t kReadNoFolders = 2;      // folders are rejected

// Kinds of AddChildFolder.
inline constexpr std::int32_t kChildEnter = 1;  // going into the folder (the parent's lists are let go)
inline constexpr std::int32_t kChildExpand = 2; // tree expansion (the entry is linked to the new folder)

// The time of every shell entry: 2001-08-31 13:00:00, a calendar time taken as it is.
platform::FileTime ShellEntryTime();

// Makes an existing folder the list's only folder (no items). False, with nothing changed, for an
// empty path, a path that cannot be read or a path to a file. A path beginning with "\" sets the
// network neighbourhood instead.
bool SetStateToPath(std::string_view path, TstateOfBrowser& state);
// Makes a ready drive's root (or a pseudo-drive's shell folder) the list's only folder.
bool SetStateToDrive(std::int32_t driveIndex, TstateOfBrowser& state);
// Reads one folder record's entries, appending them to the item block.
bool ReadFolder(std::int32_t folder, std::uint32_t flags, TstateOfBrowser& state);
// The file-system reader: the entries of the folder's path that pass ItemMatchesFilter; sub-folder
// names go to subfolderList when given (hidden and system ones only while hidden files are shown;
// never a symbolic link to a folder), their identities to subfolderIds in the same order. For a walk
// over a tree, expected is the identity the parent's listing showed for the folder: a folder swapped
// for a link or another folder since then is not read. False when the folder cannot be listed.
bool ReadFolderItems(std::int32_t folder, std::uint32_t flags, TstateOfBrowser& state,
                     platform::StringList* subfolderList, const platform::FileId* expected = nullptr,
                     std::vector<platform::FileId>* subfolderIds = nullptr);
// One folder's entries as the file-system reader finds them, before they enter a list: what
// ReadFolderItems appends, for a caller that reads folders on other threads than the one that owns
// the list.
struct FolderEntries
{
    bool readable = false;                       // false: the folder could not be listed (no entries)
    std::vector<platform::FindData> entries;     // that pass ItemMatchesFilter, in listing order
    std::vector<std::string> subfolders;         // names of the sub-folders to descend into
    std::vector<platform::FileId> subfolderIds;  // their identities, in the same order
};
// The reading half of ReadFolderItems, which touches no list: lists the folder path through the filter
// and masks given (those of a list, which must not change meanwhile) into out. Safe on any thread.
// statusLater: a plain file that the name and type let through while the filter asks nothing of the
// status is given with statusPending, for a caller that opens it anyway and takes its status from the
// handle (platform::fillStatusFromHandle).
void ListFolderEntries(std::string_view path, std::uint32_t flags, const TBrowserFilter& filter,
                       const core::TMaskList& maskList, const platform::FileId* expected, FolderEntries& out,
                       bool statusLater = false);
// The other half: appends entries to folder record folder of state, in their order.
void AppendFolderEntries(std::int32_t folder, const std::vector<platform::FindData>& entries,
                         TstateOfBrowser& state);
// The test of one found entry: filter, hidden files, name masks.
bool ItemMatchesFilter(std::uint32_t flags, const TBrowserFilter& filter, const core::TMaskList& maskList,
                       const platform::FindData& findData);
// Re-reads folder 1 and every expanded tree folder in place, carrying marks, measured sizes, status
// tags and expansions over; false (the old listing intact) when folder 1 cannot be read.
bool RereadState(TstateOfBrowser& state);
// Copies icons, flags and status tags (and measured sizes) by name from a source folder to a target
// folder; both display orders must be sorted by full name (sort word 16384).
void CarryOverSelection(TstateOfBrowser& source, TstateOfBrowser& target, std::int32_t targetFolder,
                        std::int32_t sourceFolder);
// Copies folder record sourceFolder of source into record folder of target, with its path text; the
// item-id list goes with it (the target takes over its ownership).
void CopyFolderRecord(std::int32_t folder, TstateOfBrowser& target, std::int32_t sourceFolder,
                      TstateOfBrowser& source);
// Fills folder record newFolder of target from the entry at display position of folder in state.
void AddChildFolder(std::int32_t folder, std::int32_t position, TstateOfBrowser& state, std::int32_t kind,
                    TstateOfBrowser& target, std::int32_t newFolder);
// Tree expansion of the entry at a display position: a new child folder's number (to be read), 0 when
// an existing child was expanded or collapsed, -1 for a file.
std::int32_t ToggleTreeFolder(std::int32_t folder, std::int32_t position, TstateOfBrowser& state);
// Collapses a folder and every expanded folder below it.
void CollapseTree(std::int32_t folder, TstateOfBrowser& state);
// One level up: folder 1 takes its parent's path; leftName receives the name of the folder left. The
// caller then sets the item count to 0 and reads folder 1.
void GoToParentFolder(TstateOfBrowser& state, std::string& leftName);

} // namespace wux::filelist
