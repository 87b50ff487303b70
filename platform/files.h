// The file API of the system: attributes, times, identity, folders, delete, move, copy, the atomic
// rewrite and the Trash. Paths are Windows paths through the drive map (see paths.h); every function
// returns 0 or a Windows error number and never throws for bad input.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/errors.h"
#include "platform/file_handle.h"
#include "platform/file_types.h"
#include "platform/folder_listing.h"

namespace wux::platform {

// ---- Information ----

// Attributes of a file or folder. Errors: 2, 3, 123, 206, injected faults.
WinError getAttributes(std::string_view windowsPath, std::uint32_t& attributes);
// Sets attributes: read-only clears the owner's write permission, its absence sets it; hidden, system,
// archive and normal are accepted as success and not stored. Errors: 2, 3, injected faults.
WinError setAttributes(std::string_view windowsPath, std::uint32_t attributes);
// Attributes, times, size, identity and mode of a file. Errors: 2, 3, 123, 206, injected faults.
WinError getFileInfo(std::string_view windowsPath, FileInfo& info);
// The three times. Errors as getFileInfo.
WinError getFileTimes(std::string_view windowsPath, FileTimes& times);
// Sets times (null leaves one as it is; a creation time is accepted and ignored). Errors: 2, 3,
// injected faults.
WinError setFileTimes(std::string_view windowsPath, const FileTime* creation, const FileTime* lastAccess,
                      const FileTime* lastWrite);
// Device and inode of a file (of a link's target). Errors as getFileInfo.
WinError getFileId(std::string_view windowsPath, FileId& id);
// True when both paths exist and name the same file (device and inode).
bool sameFile(std::string_view windowsPathA, std::string_view windowsPathB);
// True when windowsPath is the folder folderWindowsPath itself or lies below it on disk (compared by
// device and inode, so another drive letter, a link or ".." in either path cannot hide it; the last
// parts of windowsPath need not exist). False when the folder does not exist.
bool isSameOrInside(std::string_view folderWindowsPath, std::string_view windowsPath);
// True when a file or folder exists at the path.
bool pathExists(std::string_view windowsPath);
// getFileInfo of the entry `name` (as its listing gave it) of a folder held open: no path looked up.
// Errors: 2, 6 (the folder is not open), 123, 206, injected faults (kFaultAttributes on the entry's
// path).
WinError getFileInfoIn(const HeldFolder& folder, std::string_view name, FileInfo& info);
// What a symbolic link is to the user the program runs as: whether the entry `name` of a folder held
// open (or the last name of a path) is a link, not followed, and whether that user owns the link
// itself. A link made by someone else in a shared folder is never to be followed into a file.
struct LinkOwnership
{
    bool isLink = false;
    bool ownedByUser = false;
};
// Errors: 2, 3, 6 (the folder is not open), 123, 206, the system's.
WinError linkOwnershipIn(const HeldFolder& folder, std::string_view name, LinkOwnership& link);
WinError linkOwnership(std::string_view windowsPath, LinkOwnership& link);

// ---- Folders ----

// Creates one folder. Errors: 183 (the name exists, also as a file), 3 (parent missing), 5, 123, 206,
// injected faults.
WinError createFolder(std::string_view windowsPath);
// Removes an empty folder; a symbolic link to a folder is removed as a link. Errors: 145 (not empty),
// 267 (not a folder), 2, 3, 5, injected faults.
WinError removeFolder(std::string_view windowsPath);

// ---- Delete, move, copy ----

// Deletes a file; a symbolic link is removed as a link, never followed. Errors: 5 (read-only, a
// folder), 32 (open without delete sharing, here or in another process), 2, 3, injected faults.
WinError deleteFile(std::string_view windowsPath);
// Moves or renames a file or folder, never over an existing target (183; also when another entry has
// the target's name ignoring case, and for another hard link of the same file). A case-only rename
// works. A file moved to another file system is copied beside the target (data, times, mode bits, owner
// when root), put in place, and only then is the source removed; a failed copy leaves no target. A
// folder across file systems fails with 17, a folder into itself (or below) with 87, a drive root with
// 5. A source on another file system that cannot be removed after its copy is in place stays beside
// it, and the move fails with the system's error. Errors also: 2, 3, 32 (a file open without delete
// sharing), 123, injected faults (kFaultRename on either path, kFaultWrite on the target while copying,
// kFaultDelete on the source when it is removed after its copy).
WinError moveFile(std::string_view fromWindowsPath, std::string_view toWindowsPath);
// Moves a file as moveFile does, but an existing entry of exactly the target's name is replaced in the
// same step (a rename over it; a symbolic link there is replaced as a link, never followed), after the
// checks of checkReplaceable: only for an overwrite that the user allowed, and for putting a finished
// copy in place of the file it overwrites. A folder moves as with moveFile, never over anything.
// Errors: as moveFile, and 5 (a folder at the target), 32 (the target open without delete sharing).
WinError moveFileReplacing(std::string_view fromWindowsPath, std::string_view toWindowsPath);
// Puts a complete temporary file of createTemporaryBeside in place under toWindowsPath, as moveFile
// does (with replace, as moveFileReplacing), without looking at the temporary file again: temp is its
// handle, closed after its writer checked its sharing through it (FileHandle::othersAllow).
WinError putTemporaryInPlace(const FileHandle& temp, std::string_view toWindowsPath, bool replace);
// What stands in the way of replacing the entry of exactly this name by another file in one step: 5 (a
// folder; a folder that does not let its entries be replaced), 32 (open without delete sharing, here or
// in another process), injected faults (kFaultDelete). Nothing is changed; a read-only file, a symbolic
// link or a missing entry is no obstacle.
WinError checkReplaceable(std::string_view windowsPath);
// Renames a file over an existing file in one step (the one replace-existing move, for putting a
// rewritten file in place). A symbolic link at the target is kept and the file it points to is
// replaced; another name of the source file (a hard link) as the target just loses the source's name.
// Errors: 17 (other file system), 5 (target is a folder), 2, 3, 32.
WinError replaceFile(std::string_view fromWindowsPath, std::string_view toWindowsPath);
// Puts a rewritten file in place of the entry `name` of a folder held open, with no path looked up:
// temp is the new content, made there under tempName by FileHandle::createIn and flushed; source is the
// file it was made from, opened there by name; both are still open. When the name no longer holds the
// source file (replaced, removed or made a link meanwhile) nothing is done and the result is 1006: what
// holds the name now is never replaced. Otherwise the checks of replaceFile (32 when temp or the source
// is held without delete sharing, here or in another process; both stay open then), both handles are
// closed (a failed close of temp fails the step), one rename puts temp in place and the folder is
// flushed. A source that has been written to or changed since it was opened (another size or change
// time: another program appended to it, say) is not replaced either: 32, and the new content is kept
// out. Errors also: the rename's, injected faults (kFaultRename on either path).
WinError putRewriteInPlace(const HeldFolder& folder, FileHandle& temp, std::string_view tempName,
                           FileHandle& source, std::string_view name);
// Copies a file's data, times and mode bits (owner when root). failIfExists: 80 when the target
// exists; otherwise an existing target is overwritten (5 when it is read-only). A failed copy leaves no
// target behind (the copy is written to a hidden temporary file beside the target and renamed into
// place). Errors: 2, 3, 5, 32 (also: source and target are one file), 112, injected faults (kFaultOpen
// on either path, kFaultWrite on the target).
WinError copyFile(std::string_view fromWindowsPath, std::string_view toWindowsPath, bool failIfExists);
// Gives a file the POSIX mode bits (and owner and group, when the program runs as root) of another.
WinError copyModeBits(std::string_view fromWindowsPath, std::string_view toWindowsPath);
// Makes a symbolic link at toWindowsPath (as spelled) with the text of the link at fromWindowsPath; the
// link is never followed. replace: an entry of exactly that name is replaced in one step (after the
// checks of checkReplaceable), else a taken name fails with 183. Errors: 183, 2, 3, 5, 32, the system's
// others, injected faults (kFaultOpen on the target).
WinError copySymbolicLink(std::string_view fromWindowsPath, std::string_view toWindowsPath, bool replace = false);

// Creates the program's own hidden temporary file beside a file that is to appear under windowsPath:
// "." + the name (its first 200 bytes) + ".wux" + 8 hex digits that a fixed function of the file's
// inode gives, in the same folder, so that one rename can put it in place. It has no permission bits
// until its writer gives it its own, and its writer's locks (of a handle that reads and writes, sharing
// as share says) are taken before its name can be seen. handle receives it open, tempWindowsPath its
// path. Errors: 3 (the folder is missing), 5, 123, 206, the system's others, injected faults
// (kFaultOpen on the temporary file's path).
WinError createTemporaryBeside(std::string_view windowsPath, FileHandle& handle, std::string& tempWindowsPath,
                               unsigned share = kShareWrite);
// The same for a file that is to appear as `name` in a folder held open (no path looked up); the
// temporary path is the folder's path and the temporary name. Errors also: 6 (the folder is not open).
WinError createTemporaryIn(const HeldFolder& folder, std::string_view name, FileHandle& handle,
                           std::string& tempWindowsPath, unsigned share = kShareWrite);
// putTemporaryInPlace for a temporary file of createTemporaryIn: it takes the name `name` in the same
// held folder. Errors: as putTemporaryInPlace, 87 (not a temporary file of that folder), 6.
WinError putTemporaryInPlace(const FileHandle& temp, const HeldFolder& folder, std::string_view name, bool replace);
// Removes such a temporary file that will not be used, whatever its permission bits (87 for a path
// that does not name one).
WinError removeTemporary(std::string_view tempWindowsPath);
// The same for a temporary file of createTemporaryIn in the held folder.
WinError removeTemporary(const HeldFolder& folder, std::string_view tempWindowsPath);
// The path of the temporary file numbered `number` for a file that is to appear under windowsPath: its
// folder joined with "." + the name (its first 200 bytes) + ".wux" + the number in 8 lower-case hex
// digits (createTemporaryBeside and createTemporaryIn choose the number; temporaryNumberOf reads it).
std::string temporaryPathOf(std::string_view windowsPath, std::uint32_t number);
std::uint32_t temporaryNumberOf(std::string_view tempWindowsPath);
// True for a name of the form of those temporary files (a Linux name).
bool isTemporaryName(std::string_view linuxName);
// Removes from a folder the temporary files that a killed run left: only the program's own (regular
// files of a temporary name whose digits are the mark of their inode, with no other name), of this
// user, unchanged for a few seconds, on which nobody holds a lock (a writer holds its
// locks from before its file has a name until the file is complete), and only when the lock table
// shows the locks of living, an open temporary file of the caller in that folder (else the file system
// cannot tell a living writer from a dead one). A complete file that a run killed before its last
// rename left goes too. Listings never show the program's own temporary files; a user's file of the
// same form is a file like any other. Returns how many were removed.
std::size_t removeLeftoverTemporaries(std::string_view folderWindowsPath, const FileHandle& living);
// The same in a folder held open.
std::size_t removeLeftoverTemporaries(const HeldFolder& folder, const FileHandle& living);

// ---- Whole files ----

// Reads a whole file. Errors: as FileHandle::open and read.
WinError readWholeFile(std::string_view windowsPath, std::string& bytes);
// Replaces a file's content safely: a temporary file in the same folder (created new), written,
// flushed, given the original's mode bits (and owner when root), renamed over the original, the folder
// flushed. The original is never truncated or half-written; on failure the temporary file is removed.
// A missing file is created. The user's own symbolic link is kept and its target rewritten; a link
// that another user owns is not followed (5). Errors: 5 (read-only file, a folder), 32 (open without write sharing), 3, 112, 123, 206, injected faults (kFaultOpen
// before anything is written, kFaultWrite after the temporary file exists, kFaultRename before the
// rename). The temporary file is named "." + name + ".wux" + 8 hex digits.
WinError atomicRewrite(std::string_view windowsPath, std::string_view bytes);

// ---- Trash ----

// Moves a file or folder to the freedesktop.org Trash (never a permanent delete). trashedPath
// (optional) receives the POSIX path inside the Trash. The user's data folder is created first; an
// item the Trash put anywhere but into a Trash "files" folder is moved back and the call fails. Errors:
// 2, 3, 5 (cannot be trashed, a drive root), 32 (a file open without delete sharing), injected faults
// (kFaultDelete).
WinError moveToTrash(std::string_view windowsPath, std::string* trashedPath = nullptr);

} // namespace wux::platform
