// Folder listing with find first / find next semantics.
//
// findFirst("c:\dir\*.*") lists "." and ".." first (not at a drive root), then every entry in the
// file system's order. Masks: "*" any run of characters, "?" one character, compared ignoring case;
// "*.*" and "*" match every name. The folder part is never expanded: its wildcard characters are an
// invalid name (123) and a Linux folder named with them is reached through its U+F000 spelling.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/errors.h"
#include "platform/file_types.h"

namespace wux::platform {

// One entry of a listing.
struct FindData
{
    std::uint32_t attributes = 0;
    FileTime creationTime = 0;
    FileTime lastAccessTime = 0;
    FileTime lastWriteTime = 0;
    std::uint64_t size = 0;
    std::string name; // as the system sees it (reserved bytes as U+F000 + byte)
    FileId id;        // device and inode of the entry itself (of a link, not of its target)
    // A listing with names first gave only the name and what it and the entry's type tell (the
    // attributes archive and hidden); FolderListing::fillStatus reads the rest.
    bool statusPending = false;
};

// True for an entry that a walk over a folder tree descends into: a folder, never a symbolic link to
// one (a link is an entry like a file).
inline bool isWalkableFolder(const FindData& data)
{
    return (data.attributes & kAttrDirectory) && !(data.attributes & kAttrReparsePoint);
}

class FolderListing
{
public:
    FolderListing();
    ~FolderListing();
    FolderListing(FolderListing&&) noexcept;
    FolderListing& operator=(FolderListing&&) noexcept;
    FolderListing(const FolderListing&) = delete;
    FolderListing& operator=(const FolderListing&) = delete;

    // Starts a listing of "folder\mask" and gives its first entry. Errors: 2 (nothing matches),
    // 3 (folder missing or not a folder, bad path), 5 (folder cannot be read), 123, injected faults.
    WinError findFirst(std::string_view pattern, FindData& data);
    // The same for a walk over a folder tree, which acts only on what it listed: the folder is opened
    // without following a symbolic link at its own name, and, when expected is given (the identity that
    // the parent's listing showed for it), only while it is still that folder. A folder swapped for a
    // link or for another folder fails with 1006 and lists nothing. A walk lists its sub-folders this
    // way with their FindData::id, and checks its folder with isSameFolder before it acts on an entry by
    // its path.
    WinError findFirstInWalk(std::string_view pattern, const FileId* expected, FindData& data);
    // Device and inode of the folder being listed.
    FileId folderId() const;
    // Names first (set before findFirst): an entry that the listing shows to be a plain file (not a
    // folder, not a link, not of an unknown type), and "." and "..", are given with their name and
    // statusPending, without a status call, so that a caller that decides by the name reads the status
    // of the entries it keeps only.
    void setNamesFirst(bool namesFirst) { namesFirst_ = namesFirst; }
    // Reads the status of the entry last given (relative to the folder held open) into data. Error: 2
    // when it is gone.
    WinError fillStatus(FindData& data);
    // The next entry. Error: 18 at the end.
    WinError findNext(FindData& data);
    // Ends the listing (also done by the destructor).
    void close();

private:
    WinError start(std::string_view pattern, FindData& data, bool walk, const FileId* expected);

    struct State;
    std::unique_ptr<State> state_;
    bool namesFirst_ = false;
};

class FileHandle;

// The status of an entry that a names-first listing gave with statusPending, from a handle opened on it
// by its listed name in the listed folder (FileHandle::openIn): what FolderListing::fillStatus gives,
// without another status call. Errors: 2 when the entry is a file that the program is still writing
// under a temporary name (a listing never shows one), the errors of FileHandle::getInfoAtOpen.
WinError fillStatusFromHandle(const FileHandle& file, FindData& data);

// A folder that a walk holds open, so that it reaches the entries it listed there relative to it (no
// path looked up from the root), in the folder it listed whatever happens to the folder's path meanwhile.
class HeldFolder
{
public:
    HeldFolder() = default;
    ~HeldFolder();
    HeldFolder(const HeldFolder&) = delete;
    HeldFolder& operator=(const HeldFolder&) = delete;

    // Opens the folder; with expected (the identity its parent's listing showed), never through a
    // symbolic link at its own name and only while it is that folder, else where the path leads.
    // Errors: 3, 5, 1006 (a link or another folder in its place), 123, 206, injected faults
    // (kFaultList).
    WinError open(std::string_view windowsPath, const FileId* expected = nullptr);
    void close();
    bool isOpen() const noexcept { return fd_ >= 0; }
    int descriptor() const noexcept { return fd_; }
    // Writes the folder's entries to the disk (after a rename in it), so that the names survive a
    // crash. Errors: 6 when not open, the system's.
    WinError flush() const;
    // The folder's path as opened.
    const std::string& path() const noexcept { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};

// The attributes of the entry `name` of a folder held open (no lookup of the path), as getAttributes
// gives them for its path. Errors: 2, 3, 6 (the folder is not open), 123, injected faults
// (kFaultAttributes).
WinError getAttributesIn(const HeldFolder& folder, std::string_view name, std::uint32_t& attributes);

// True while windowsPath names the folder with this identity itself: a real folder (not a symbolic link
// at its last name, whatever the path passes through) with the same device and inode.
bool isSameFolder(std::string_view windowsPath, const FileId& id);

// True when a name matches a mask of "*" and "?" ignoring case ("*.*" and "*" match every name).
bool matchesFindMask(std::string_view name, std::string_view mask);

} // namespace wux::platform
