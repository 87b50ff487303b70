// A file handle with the system's access, sharing and disposition semantics.
//
// Sharing is enforced among the program's own handles (an in-process table keyed by device and inode)
// and against other processes through open-file-description locks on bytes far beyond any data; a
// conflicting open fails with 32. Only regular files open: a folder, FIFO, socket or device fails with
// 5, as does opening a read-only file (no owner write permission) for writing, even as root.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/errors.h"
#include "platform/file_types.h"
#include "platform/paths.h"

namespace wux::platform {

class HeldFolder;
namespace internal {
struct EntryStat;
}

// Access of a handle (bit mask).
enum FileAccess : unsigned
{
    kAccessRead = 0x1,
    kAccessWrite = 0x2,
    kAccessReadWrite = 0x3,
};
// What other handles may do while this one is open (bit mask, the system's numbers).
enum FileShare : unsigned
{
    kShareNone = 0x0,
    kShareRead = 0x1,
    kShareWrite = 0x2,
    kShareDelete = 0x4, // delete or rename
    kShareAll = 0x7,
};
// What to do when the file exists or not (the system's numbers).
enum class Disposition
{
    kCreateNew = 1,        // create; 80 when it exists
    kCreateAlways = 2,     // create, or truncate an existing file (alreadyExisted() tells)
    kOpenExisting = 3,     // open; 2 when it does not exist
    kOpenAlways = 4,       // open, or create when missing (alreadyExisted() tells)
    kTruncateExisting = 5, // open and truncate; needs write access; 2 when it does not exist
};
// Origin of seek.
enum class SeekOrigin
{
    kBegin = 0,
    kCurrent = 1,
    kEnd = 2
};

class FileHandle
{
public:
    FileHandle() = default;
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept;
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    // Opens a file (an open handle is closed first). attributes apply to a created file: 0x1 read-only
    // creates it without write permission, 0x100 temporary without any permission bits (this handle
    // may still write). Errors: 2, 3, 5 (not a regular file, read-only file opened for writing,
    // permissions), 32 (sharing), 80 (kCreateNew, exists), 87 (no access bit, kTruncateExisting
    // without write), 123, 206, injected faults.
    WinError open(std::string_view windowsPath, unsigned access, unsigned share, Disposition disposition,
                  std::uint32_t attributes = 0);
    // Opens an existing file of a folder that a walk holds open, by the name its listing gave (no
    // lookup of the path; a symbolic link is followed as by open, or with followLink false refused
    // with 1006). The same rules and errors as open with kOpenExisting; 6 when the folder is not open.
    WinError openIn(const HeldFolder& folder, std::string_view name, unsigned access, unsigned share,
                    bool followLink = true);
    // Creates a new file under name in a folder held open (kCreateNew: 80 when any entry holds the
    // name) with the permission bits mode & 0777 (less the process's mask), for reading and writing.
    // Nobody else can hold a file just made, so only its own locks are taken. Errors: 80, 5, 123,
    // 206, the system's others, 6 when the folder is not open, injected faults (kFaultOpen).
    WinError createIn(const HeldFolder& folder, std::string_view name, unsigned share, std::uint32_t mode);
    // Creates the program's own hidden temporary file for a file that is to appear as name in the open
    // folder folderDescriptor (of the Windows path folderWindowsPath; the form of createTemporaryIn in
    // files.h), for reading and writing, without permission bits, with this handle's locks taken
    // before its name is seen in the folder. tempName receives its name there; folderPosixPath, when
    // given, is the folder's POSIX path (then posixPath() is the file's). Errors: 5, 123, 206, the
    // system's others, injected faults (kFaultOpen on the temporary file's path).
    WinError createOwnTemporaryIn(int folderDescriptor, std::string_view folderWindowsPath, std::string_view name,
                                  unsigned share, std::string& tempName, std::string_view folderPosixPath = {});
    // True while open.
    bool isOpen() const noexcept { return fd_ >= 0; }
    // True when the last open found the file already there (kCreateAlways, kOpenAlways).
    bool alreadyExisted() const noexcept { return existed_; }
    // Device and inode of the open file (of the last one opened).
    FileId fileId() const noexcept { return {device_, inode_}; }
    // Closes the handle (nothing when closed). Returns 0 or the close error.
    WinError close();

    // Reads up to size bytes at the file position; done = bytes read (0 at the end). Errors: 5 (no read
    // access), 6 (closed), injected faults.
    WinError read(void* buffer, std::size_t size, std::size_t& done);
    // Writes size bytes at the file position; done = bytes written. Errors: 5 (no write access),
    // 6, 112 (disk full), injected faults.
    WinError write(const void* buffer, std::size_t size, std::size_t& done);
    // Copies up to size bytes from source's file position to this handle's inside the system, without
    // passing them through the program; done = bytes copied (0 at the end). readSide tells whether an
    // error is the source's (read) or this handle's (write). kErrorNotSupported: the two file systems
    // cannot copy this way; nothing was copied and the caller reads and writes instead. Errors also as
    // read and write, injected faults of both.
    WinError copyFrom(FileHandle& source, std::size_t size, std::size_t& done, bool& readSide);
    // Moves the file position; newPosition (optional) receives it. Errors: 6, 131 (before the start).
    WinError seek(std::int64_t offset, SeekOrigin origin, std::uint64_t* newPosition = nullptr);
    // The file's size in bytes. Error: 6.
    WinError size(std::uint64_t& bytes) const;
    // Writes buffered data to the disk (fsync). Errors: 6, injected faults.
    WinError flush();
    // Cuts or extends the file at the file position. Errors: 5 (no write access), 6, 112.
    WinError setEndOfFile();
    // Attributes, times, size, identity and mode of the open file. Errors: 6, injected faults.
    WinError getInfo(FileInfo& info) const;
    // The same as the open found them (no second look; the size before a truncating open). Errors:
    // 6, injected faults.
    WinError getInfoAtOpen(FileInfo& info) const;
    // 0 while the open file is as the open found it: the same file with the same size, mode and change time
    // (nothing written to it and its status untouched since); 32 when another program has written to
    // it or changed it meanwhile. Errors: 6, the system's.
    WinError unchangedSinceOpen() const;
    // True when the path of the last open named a symbolic link (the handle is on the file it points
    // to).
    bool openedThroughLink() const noexcept { return throughLink_; }
    // 0 when every other handle on the open file (of this process, and per the lock bytes of other
    // processes) allows the wanted sharing to a newcomer (kShareDelete: a delete or rename), else 32.
    // Errors: 6.
    WinError othersAllow(unsigned wantedShare) const;
    // Sets the times (a null pointer leaves one as it is; creation is accepted and ignored). Errors: 6,
    // injected faults (kFaultAttributes).
    WinError setTimes(const FileTime* creation, const FileTime* lastAccess, const FileTime* lastWrite);
    // Gives the open file the mode bits 07777 of mode and, when the process runs as root, the owner and
    // group (owner first, since a change of owner may clear set-id bits). Errors: 6, the system's error,
    // injected faults (kFaultAttributes).
    WinError setOwnerAndMode(std::uint32_t owner, std::uint32_t group, std::uint32_t mode);

    // The POSIX descriptor (-1 when closed), for the layer's own helpers.
    int descriptor() const noexcept { return fd_; }
    // The Windows path the handle was opened with.
    const std::string& path() const noexcept { return path_; }
    // The POSIX path that the last successful open reached (kept after the handle is closed; empty after
    // openIn).
    const std::string& posixPath() const noexcept { return posix_; }

private:
    void release() noexcept;
    // Takes a file just opened (fd) as this handle's: a regular file (else 5; also, with refuseReadOnly,
    // a read-only file opened for writing), registered and locked as access and share say (32 on a
    // conflict; testOthers: also with other handles' locks); fst receives its status. fd is closed on
    // failure.
    WinError adopt(int fd, unsigned access, unsigned share, bool testOthers, bool refuseReadOnly,
                   internal::EntryStat& fst);

    int fd_ = -1;
    unsigned access_ = 0;
    unsigned share_ = 0;
    bool existed_ = false;
    std::uint64_t device_ = 0;
    std::uint64_t inode_ = 0;
    std::uint64_t shareId_ = 0;
    std::int64_t readPosition_ = -1; // the file position of a read-only handle, else -1
    std::int64_t readEnd_ = 0;       // the file's size when it was opened
    bool throughLink_ = false;
    FileInfo atOpen_;                // without attributes (they depend on the name)
    std::int64_t changeSecondsAtOpen_ = 0;
    std::int64_t changeNanosecondsAtOpen_ = 0;
    std::string path_;
    std::string posix_;
};

} // namespace wux::platform
