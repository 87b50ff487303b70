#include "platform/file_handle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <mutex>
#include <vector>

#include "platform/fault_injection.h"
#include "platform/file_internal.h"
#include "platform/files.h"
#include "platform/folder_listing.h"

namespace wux::platform {
namespace internal {
namespace {

// Lock bytes far beyond any data: one per access kind and one per kind of sharing refused. Their
// order puts the bytes of the usual handles next to each other, so that one lock call covers them:
// reading, sharing all but delete: deny-delete, access-read; reading and writing, sharing read and
// write: access-write, deny-delete, access-read; writing, sharing read: deny-write, access-write,
// deny-delete; and the test for a handle that reads and writes: deny-read, deny-write.
constexpr off_t kLockBase = 0x7FFF'FFFF'FFFF'FF00LL;
constexpr off_t kLockDenyRead = kLockBase + 0;
constexpr off_t kLockDenyWrite = kLockBase + 1;
constexpr off_t kLockAccessWrite = kLockBase + 2;
constexpr off_t kLockDenyDelete = kLockBase + 3;
constexpr off_t kLockAccessRead = kLockBase + 4;
constexpr int kLockBytes = 5;

// The lock bytes of a set (bit n: byte kLockBase + n) as runs of neighbours: (first byte, length).
template <typename F> bool forEachRun(unsigned bytes, F&& f)
{
    for (int first = 0; first < kLockBytes;) {
        if (!(bytes & (1u << first))) {
            ++first;
            continue;
        }
        int end = first;
        while (end < kLockBytes && (bytes & (1u << end)))
            ++end;
        if (!f(kLockBase + first, static_cast<off_t>(end - first)))
            return false;
        first = end;
    }
    return true;
}

unsigned bitOf(off_t byte)
{
    return 1u << static_cast<unsigned>(byte - kLockBase);
}

struct OpenRecord
{
    std::uint64_t id;
    std::uint64_t device;
    std::uint64_t inode;
    unsigned access;
    unsigned share;
};

std::mutex gShareMutex;
std::vector<OpenRecord> gOpen;
std::uint64_t gNextId = 1;

bool conflicts(unsigned accessA, unsigned shareA, unsigned accessB, unsigned shareB)
{
    if ((accessB & kAccessRead) && !(shareA & kShareRead))
        return true;
    if ((accessB & kAccessWrite) && !(shareA & kShareWrite))
        return true;
    if ((accessA & kAccessRead) && !(shareB & kShareRead))
        return true;
    if ((accessA & kAccessWrite) && !(shareB & kShareWrite))
        return true;
    return false;
}

// True when another open file description holds a lock on any of the bytes.
bool bytesLockedByOthers(int fd, unsigned bytes)
{
    return !forEachRun(bytes, [fd](off_t start, off_t length) {
        struct flock lock = {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = start;
        lock.l_len = length;
        if (::fcntl(fd, F_OFD_GETLK, &lock) != 0)
            return true;
        return lock.l_type == F_UNLCK;
    });
}

bool lockBytes(int fd, unsigned bytes)
{
    return forEachRun(bytes, [fd](off_t start, off_t length) {
        struct flock lock = {};
        lock.l_type = F_RDLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = start;
        lock.l_len = length;
        if (::fcntl(fd, F_OFD_SETLK, &lock) == 0)
            return true;
        // A descriptor that cannot hold read locks (write-only) or a file system without locks:
        // no protection against other processes, but no failure either.
        return errno != EAGAIN && errno != EACCES;
    });
}

} // namespace

std::uint64_t registerOpen(std::uint64_t device, std::uint64_t inode, unsigned access, unsigned share)
{
    std::lock_guard lock(gShareMutex);
    for (const OpenRecord& record : gOpen) {
        if (record.device == device && record.inode == inode &&
            conflicts(record.access, record.share, access, share))
            return 0;
    }
    const std::uint64_t id = gNextId++;
    gOpen.push_back({id, device, inode, access, share});
    return id;
}

void unregisterOpen(std::uint64_t id)
{
    std::lock_guard lock(gShareMutex);
    for (auto it = gOpen.begin(); it != gOpen.end(); ++it) {
        if (it->id == id) {
            gOpen.erase(it);
            return;
        }
    }
}

bool lockConflict(int fd, unsigned access, unsigned share)
{
    unsigned bytes = 0;
    if (access & kAccessRead)
        bytes |= bitOf(kLockDenyRead);
    if (access & kAccessWrite)
        bytes |= bitOf(kLockDenyWrite);
    if (!(share & kShareRead))
        bytes |= bitOf(kLockAccessRead);
    if (!(share & kShareWrite))
        bytes |= bitOf(kLockAccessWrite);
    return bytes != 0 && bytesLockedByOthers(fd, bytes);
}

bool takeLocks(int fd, unsigned access, unsigned share)
{
    unsigned bytes = 0;
    if (access & kAccessRead)
        bytes |= bitOf(kLockAccessRead);
    if (access & kAccessWrite)
        bytes |= bitOf(kLockAccessWrite);
    if (!(share & kShareRead))
        bytes |= bitOf(kLockDenyRead);
    if (!(share & kShareWrite))
        bytes |= bitOf(kLockDenyWrite);
    if (!(share & kShareDelete))
        bytes |= bitOf(kLockDenyDelete);
    return lockBytes(fd, bytes);
}

WinError nameInHeldFolder(const HeldFolder& folder, std::string_view name, std::string& linuxName)
{
    if (!folder.isOpen())
        return kErrorInvalidHandle;
    if (!decodeName(name, linuxName) || linuxName.empty())
        return kErrorInvalidName;
    return kErrorSuccess;
}

bool runsAsRoot()
{
    static const bool root = ::geteuid() == 0;
    return root;
}

namespace {

// The deny bytes that refuse a wanted sharing.
unsigned denyBytesOf(unsigned wantedShare)
{
    unsigned bytes = 0;
    if (wantedShare & kShareDelete)
        bytes |= bitOf(kLockDenyDelete);
    if (wantedShare & kShareWrite)
        bytes |= bitOf(kLockDenyWrite);
    if (wantedShare & kShareRead)
        bytes |= bitOf(kLockDenyRead);
    return bytes;
}

bool shareTableAllows(std::uint64_t device, std::uint64_t inode, std::uint64_t exceptId, unsigned wantedShare)
{
    std::lock_guard lock(gShareMutex);
    for (const OpenRecord& record : gOpen) {
        if (record.device == device && record.inode == inode && record.id != exceptId &&
            (record.share & wantedShare) != wantedShare)
            return false;
    }
    return true;
}

} // namespace

bool othersAllow(int fd, std::uint64_t device, std::uint64_t inode, std::uint64_t exceptId, unsigned wantedShare)
{
    if (!shareTableAllows(device, inode, exceptId, wantedShare))
        return false;
    const unsigned bytes = denyBytesOf(wantedShare);
    return bytes == 0 || !bytesLockedByOthers(fd, bytes);
}

bool sharingAllows(const std::string& posixPath, const struct stat& st, unsigned wantedShare)
{
    return sharingAllows(PathAt(posixPath), st, wantedShare);
}

bool sharingAllows(const PathAt& at, const struct stat& st, unsigned wantedShare)
{
    if (!shareTableAllows(static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), 0,
                          wantedShare))
        return false;
    if (!S_ISREG(st.st_mode) || !at)
        return true;
    const int fd = ::openat(at.folder(), at.name(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY);
    if (fd < 0)
        return true;
    const unsigned bytes = denyBytesOf(wantedShare);
    const bool allowed = bytes == 0 || !bytesLockedByOthers(fd, bytes);
    ::close(fd);
    return allowed;
}

} // namespace internal

namespace {

// The POSIX path of a new name as spelled: only its folder is looked up (the exclusive create refuses a
// name that is taken, and tells a missing folder).
WinError newNamePath(std::string_view windowsPath, std::string& posix)
{
    std::string folder, name, linuxName;
    splitWindowsPath(windowsPath, folder, name);
    if (name.empty() || name == "." || name == "..")
        return toPosixPath(windowsPath, posix);
    if (!decodeName(name, linuxName))
        return kErrorInvalidName;
    if (linuxName.size() > NAME_MAX)
        return kErrorFilenameExcedRange;
    if (const WinError error = toPosixPath(folder, posix))
        return error;
    if (posix.empty() || posix.back() != '/')
        posix += '/';
    posix += linuxName;
    return kErrorSuccess;
}

} // namespace

FileHandle::~FileHandle()
{
    close();
}

FileHandle::FileHandle(FileHandle&& other) noexcept
{
    *this = std::move(other);
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept
{
    if (this != &other) {
        close();
        fd_ = other.fd_;
        access_ = other.access_;
        share_ = other.share_;
        existed_ = other.existed_;
        device_ = other.device_;
        inode_ = other.inode_;
        shareId_ = other.shareId_;
        readPosition_ = other.readPosition_;
        readEnd_ = other.readEnd_;
        throughLink_ = other.throughLink_;
        atOpen_ = other.atOpen_;
        changeSecondsAtOpen_ = other.changeSecondsAtOpen_;
        changeNanosecondsAtOpen_ = other.changeNanosecondsAtOpen_;
        path_ = std::move(other.path_);
        posix_ = std::move(other.posix_);
        other.fd_ = -1;
        other.shareId_ = 0;
    }
    return *this;
}

void FileHandle::release() noexcept
{
    if (shareId_ != 0)
        internal::unregisterOpen(shareId_);
    shareId_ = 0;
    fd_ = -1;
}

WinError FileHandle::close()
{
    if (fd_ < 0)
        return kErrorSuccess;
    const int fd = fd_;
    // Closing a handle written through commits its data: a write fault fails it (the handle is closed).
    const WinError fault = (access_ & kAccessWrite) ? injectedFault(path_, kFaultWrite) : kErrorSuccess;
    release();
    const WinError error = ::close(fd) == 0 ? kErrorSuccess : lastErrnoAsWinError();
    return fault != kErrorSuccess ? fault : error;
}

WinError FileHandle::open(std::string_view windowsPath, unsigned access, unsigned share,
                          Disposition disposition, std::uint32_t attributes)
{
    close();
    existed_ = false;
    path_ = std::string(windowsPath);
    if (access == 0 || (access & ~unsigned(kAccessReadWrite)) != 0)
        return kErrorInvalidParameter;
    if (disposition == Disposition::kTruncateExisting && !(access & kAccessWrite))
        return kErrorInvalidParameter;
    const int dispositionValue = static_cast<int>(disposition);
    if (dispositionValue < 1 || dispositionValue > 5)
        return kErrorInvalidParameter;
    if (const WinError fault = injectedFault(windowsPath, kFaultOpen))
        return fault;
    std::string posix;
    PathEntry entry;
    if (const WinError error = disposition == Disposition::kCreateNew ? newNamePath(windowsPath, posix)
                                                                      : toPosixPath(windowsPath, posix, entry))
        return error;

    // A new file is created at once (O_EXCL refuses any entry that holds the name, a dangling link
    // too); only when the name is taken is the entry looked at, to tell the same errors as below.
    // An existing entry that is no link was looked at by the lookup already.
    const bool createNew = disposition == Disposition::kCreateNew;
    struct stat st = {};
    bool exists = false;
    if (!createNew && entry.exists && !S_ISLNK(entry.st.st_mode)) {
        st = entry.st;
        exists = true;
    } else if (!createNew) {
        exists = internal::statPath(posix, st) == 0;
    }
    if (exists) {
        if (!S_ISREG(st.st_mode))
            return kErrorAccessDenied;
        if ((access & kAccessWrite) && !(st.st_mode & S_IWUSR))
            return kErrorAccessDenied;
    } else if (createNew || errno == ENOENT) {
        if (disposition == Disposition::kOpenExisting || disposition == Disposition::kTruncateExisting)
            return kErrorFileNotFound;
    } else {
        return errno == ENOTDIR ? kErrorPathNotFound : lastErrnoAsWinError();
    }

    int flags = O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    flags |= (access & kAccessWrite) ? O_RDWR : O_RDONLY;
    if (disposition == Disposition::kCreateNew)
        flags |= O_CREAT | O_EXCL;
    else if (disposition == Disposition::kCreateAlways || disposition == Disposition::kOpenAlways)
        flags |= O_CREAT;
    const mode_t createMode = (attributes & kAttrTemporary) ? 0 : (attributes & kAttrReadOnly) ? 0444 : 0666;
    int fd = internal::openPath(posix, flags, createMode);
    if (fd < 0 && errno == EACCES && (access & kAccessWrite) && !(access & kAccessRead)) {
        flags = (flags & ~O_RDWR) | O_WRONLY;
        fd = internal::openPath(posix, flags, createMode);
    }
    if (fd < 0) {
        const int error = errno;
        if (error == EEXIST) {
            if (createNew) {
                // A folder or device holding the name is access denied; a file or a dangling link
                // makes the name taken.
                if (internal::statPath(posix, st) == 0)
                    return S_ISREG(st.st_mode) ? kErrorFileExists : kErrorAccessDenied;
                if (errno != ENOENT)
                    return errno == ENOTDIR ? kErrorPathNotFound : lastErrnoAsWinError();
            }
            return kErrorFileExists;
        }
        if (error == ENOTDIR && createNew)
            return kErrorPathNotFound;
        if (error == ENXIO || error == EISDIR)
            return kErrorAccessDenied;
        if (error == ENOENT)
            return disposition == Disposition::kOpenExisting ? kErrorFileNotFound : kErrorPathNotFound;
        return winErrorFromErrno(error);
    }
    const bool created = !exists; // (a lost race with another creator only makes this approximate)
    // Nobody else can hold a file that this open has just made (O_EXCL): only its own locks are
    // taken.
    internal::EntryStat fst;
    if (const WinError error = adopt(fd, access, share, disposition != Disposition::kCreateNew, false, fst)) {
        if (error == kErrorSharingViolation && created)
            internal::unlinkPath(posix);
        return error;
    }
    if (exists &&
        (disposition == Disposition::kCreateAlways || disposition == Disposition::kTruncateExisting)) {
        if (::ftruncate(fd, 0) != 0) {
            const WinError error = lastErrnoAsWinError();
            release();
            ::close(fd);
            return error;
        }
        if (disposition == Disposition::kCreateAlways && (attributes & kAttrReadOnly))
            ::fchmod(fd, fst.mode & 07777 & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH));
    }
    posix_ = std::move(posix);
    throughLink_ = entry.exists && S_ISLNK(entry.st.st_mode);
    existed_ = exists;
    return kErrorSuccess;
}

WinError FileHandle::openIn(const HeldFolder& folder, std::string_view name, unsigned access, unsigned share,
                            bool followLink)
{
    close();
    existed_ = false;
    posix_.clear();
    throughLink_ = false;
    path_ = joinWindowsPath(folder.path(), name);
    if (access == 0 || (access & ~unsigned(kAccessReadWrite)) != 0)
        return kErrorInvalidParameter;
    if (const WinError fault = injectedFault(path_, kFaultOpen))
        return fault;
    std::string linuxName;
    if (const WinError error = internal::nameInHeldFolder(folder, name, linuxName))
        return error;
    const int fd = ::openat(folder.descriptor(), linuxName.c_str(),
                            O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (followLink ? 0 : O_NOFOLLOW) |
                                ((access & kAccessWrite) ? O_RDWR : O_RDONLY));
    if (fd < 0) {
        const int error = errno;
        if (error == ENXIO || error == EISDIR)
            return kErrorAccessDenied;
        if (error == ELOOP && !followLink)
            return kErrorFileInvalid;
        return error == ENOENT ? kErrorFileNotFound : winErrorFromErrno(error);
    }
    internal::EntryStat fst;
    if (const WinError error = adopt(fd, access, share, true, true, fst))
        return error;
    existed_ = true;
    return kErrorSuccess;
}

WinError FileHandle::createIn(const HeldFolder& folder, std::string_view name, unsigned share, std::uint32_t mode)
{
    close();
    existed_ = false;
    posix_.clear();
    throughLink_ = false;
    path_ = joinWindowsPath(folder.path(), name);
    if (const WinError fault = injectedFault(path_, kFaultOpen))
        return fault;
    std::string linuxName;
    if (const WinError error = internal::nameInHeldFolder(folder, name, linuxName))
        return error;
    if (linuxName == "." || linuxName == "..")
        return kErrorInvalidName;
    if (linuxName.size() > NAME_MAX)
        return kErrorFilenameExcedRange;
    const int fd = ::openat(folder.descriptor(), linuxName.c_str(),
                            O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_RDWR | O_CREAT | O_EXCL, mode & 0777);
    if (fd < 0) {
        const int error = errno;
        if (error == EEXIST)
            return kErrorFileExists; // whatever holds the name: it is taken
        if (error == ENOENT || error == ENOTDIR)
            return kErrorPathNotFound;
        return winErrorFromErrno(error);
    }
    internal::EntryStat fst;
    if (const WinError error = adopt(fd, kAccessReadWrite, share, false, false, fst)) {
        ::unlinkat(folder.descriptor(), linuxName.c_str(), 0);
        return error;
    }
    return kErrorSuccess;
}

WinError FileHandle::createOwnTemporaryIn(int folderDescriptor, std::string_view folderWindowsPath,
                                          std::string_view name, unsigned share, std::string& tempName,
                                          std::string_view folderPosixPath)
{
    close();
    existed_ = false;
    posix_.clear();
    throughLink_ = false;
    tempName.clear();
    path_ = joinWindowsPath(folderWindowsPath, name);
    if (folderDescriptor < 0)
        return kErrorInvalidHandle;
    std::string linuxName;
    if (!decodeName(name, linuxName) || linuxName.empty() || linuxName == "." || linuxName == "..")
        return kErrorInvalidName;
    int fd = -1;
    std::string linuxTemp;
    if (const WinError error = internal::createOwnTemporary(
            folderDescriptor, folderWindowsPath, linuxName, 0,
            [share](int file) { return internal::takeLocks(file, kAccessReadWrite, share); }, fd, linuxTemp))
        return error;
    internal::EntryStat fst;
    if (const WinError error = adopt(fd, kAccessReadWrite, share, false, false, fst)) {
        ::unlinkat(folderDescriptor, linuxTemp.c_str(), 0);
        return error;
    }
    tempName = encodeName(linuxTemp);
    path_ = joinWindowsPath(folderWindowsPath, tempName);
    if (!folderPosixPath.empty()) {
        posix_ = std::string(folderPosixPath);
        if (posix_.back() != '/')
            posix_ += '/';
        posix_ += linuxTemp;
    }
    return kErrorSuccess;
}

WinError FileHandle::adopt(int fd, unsigned access, unsigned share, bool testOthers, bool refuseReadOnly,
                           internal::EntryStat& fst)
{
    if (!internal::statAt(fd, "", true, fst) || !S_ISREG(fst.mode) ||
        (refuseReadOnly && (access & kAccessWrite) && !(fst.mode & S_IWUSR))) {
        ::close(fd);
        return kErrorAccessDenied;
    }
    const std::uint64_t device = fst.device;
    const std::uint64_t inode = fst.inode;
    const std::uint64_t id = internal::registerOpen(device, inode, access, share);
    if (id == 0 || (testOthers && internal::lockConflict(fd, access, share)) ||
        !internal::takeLocks(fd, access, share)) {
        if (id != 0)
            internal::unregisterOpen(id);
        ::close(fd);
        return kErrorSharingViolation;
    }
    fd_ = fd;
    access_ = access;
    share_ = share;
    // A handle that cannot write follows its position, so that a read reaching the size the file
    // had at the open ends there without another call to find the end.
    readPosition_ = (access & kAccessWrite) ? -1 : 0;
    readEnd_ = static_cast<std::int64_t>(fst.size);
    atOpen_.times = internal::timesOf(fst);
    atOpen_.size = fst.size;
    atOpen_.id = {device, inode};
    atOpen_.mode = fst.mode;
    atOpen_.owner = fst.owner;
    atOpen_.group = fst.group;
    atOpen_.linkCount = fst.linkCount;
    changeSecondsAtOpen_ = fst.changeSeconds;
    changeNanosecondsAtOpen_ = fst.changeNanoseconds;
    device_ = device;
    inode_ = inode;
    shareId_ = id;
    return kErrorSuccess;
}

WinError FileHandle::read(void* buffer, std::size_t size, std::size_t& done)
{
    done = 0;
    if (fd_ < 0)
        return kErrorInvalidHandle;
    if (!(access_ & kAccessRead))
        return kErrorAccessDenied;
    if (const WinError fault = injectedFault(path_, kFaultRead))
        return fault;
    auto* out = static_cast<char*>(buffer);
    while (done < size) {
        const ssize_t n = ::read(fd_, out + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return lastErrnoAsWinError();
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
        if (readPosition_ >= 0) {
            readPosition_ += n;
            if (readPosition_ >= readEnd_)
                break; // the end the file had when it was opened: asking again would only say so
        }
    }
    return kErrorSuccess;
}

WinError FileHandle::write(const void* buffer, std::size_t size, std::size_t& done)
{
    done = 0;
    if (fd_ < 0)
        return kErrorInvalidHandle;
    if (!(access_ & kAccessWrite))
        return kErrorAccessDenied;
    if (const WinError fault = injectedFault(path_, kFaultWrite))
        return fault;
    const auto* in = static_cast<const char*>(buffer);
    while (done < size) {
        const ssize_t n = ::write(fd_, in + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return lastErrnoAsWinError();
        }
        done += static_cast<std::size_t>(n);
    }
    return kErrorSuccess;
}

WinError FileHandle::copyFrom(FileHandle& source, std::size_t size, std::size_t& done, bool& readSide)
{
    done = 0;
    readSide = true;
    if (source.fd_ < 0)
        return kErrorInvalidHandle;
    if (!(source.access_ & kAccessRead))
        return kErrorAccessDenied;
    if (const WinError fault = injectedFault(source.path_, kFaultRead))
        return fault;
    readSide = false;
    if (fd_ < 0)
        return kErrorInvalidHandle;
    if (!(access_ & kAccessWrite))
        return kErrorAccessDenied;
    while (done < size) {
        const ssize_t n = ::copy_file_range(source.fd_, nullptr, fd_, nullptr, size - done, 0);
        if (n < 0) {
            const int error = errno;
            if (error == EINTR)
                continue;
            if (done == 0 && (error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP ||
                              error == EBADF || error == ETXTBSY))
                return kErrorNotSupported;
            readSide =
                !(error == ENOSPC || error == EDQUOT || error == EFBIG || error == EROFS || error == EPERM);
            return winErrorFromErrno(error);
        }
        if (n == 0) {
            // Some file systems (kernel files among them) tell no data through this call: the reads
            // from here on tell the truth.
            if (done == 0 && source.readPosition_ >= 0 && source.readPosition_ < source.readEnd_)
                return kErrorNotSupported;
            break;
        }
        done += static_cast<std::size_t>(n);
        if (const WinError fault = injectedFault(path_, kFaultWrite))
            return fault;
        if (source.readPosition_ >= 0) {
            source.readPosition_ += n;
            if (source.readPosition_ >= source.readEnd_)
                break; // the end the file had when it was opened
        }
    }
    return kErrorSuccess;
}

WinError FileHandle::seek(std::int64_t offset, SeekOrigin origin, std::uint64_t* newPosition)
{
    if (fd_ < 0)
        return kErrorInvalidHandle;
    const int whence = origin == SeekOrigin::kBegin     ? SEEK_SET
                       : origin == SeekOrigin::kCurrent ? SEEK_CUR
                                                        : SEEK_END;
    const off_t result = ::lseek(fd_, static_cast<off_t>(offset), whence);
    if (result < 0)
        return errno == EINVAL ? kErrorNegativeSeek : lastErrnoAsWinError();
    if (readPosition_ >= 0)
        readPosition_ = result;
    if (newPosition != nullptr)
        *newPosition = static_cast<std::uint64_t>(result);
    return kErrorSuccess;
}

WinError FileHandle::size(std::uint64_t& bytes) const
{
    bytes = 0;
    if (fd_ < 0)
        return kErrorInvalidHandle;
    struct stat st = {};
    if (::fstat(fd_, &st) != 0)
        return lastErrnoAsWinError();
    bytes = static_cast<std::uint64_t>(st.st_size);
    return kErrorSuccess;
}

WinError FileHandle::getInfo(FileInfo& info) const
{
    info = {};
    if (fd_ < 0)
        return kErrorInvalidHandle;
    if (const WinError fault = injectedFault(path_, kFaultAttributes))
        return fault;
    internal::EntryStat st;
    if (!internal::statAt(fd_, "", true, st))
        return lastErrnoAsWinError();
    std::string folder, name, linuxName;
    splitWindowsPath(path_, folder, name);
    decodeName(name, linuxName);
    info.attributes = internal::attributesOf(st, nullptr, linuxName);
    info.times = internal::timesOf(st);
    info.size = st.size;
    info.id = {st.device, st.inode};
    info.mode = st.mode;
    info.owner = st.owner;
    info.group = st.group;
    info.linkCount = st.linkCount;
    return kErrorSuccess;
}

WinError FileHandle::getInfoAtOpen(FileInfo& info) const
{
    info = {};
    if (fd_ < 0)
        return kErrorInvalidHandle;
    if (const WinError fault = injectedFault(path_, kFaultAttributes))
        return fault;
    info = atOpen_;
    internal::EntryStat st;
    st.mode = atOpen_.mode;
    std::string folder, name, linuxName;
    splitWindowsPath(path_, folder, name);
    decodeName(name, linuxName);
    info.attributes = internal::attributesOf(st, nullptr, linuxName);
    return kErrorSuccess;
}

WinError FileHandle::unchangedSinceOpen() const
{
    if (fd_ < 0)
        return kErrorInvalidHandle;
    internal::EntryStat now;
    if (!internal::statAt(fd_, "", true, now))
        return lastErrnoAsWinError();
    if (now.device != device_ || now.inode != inode_ || now.size != atOpen_.size || now.mode != atOpen_.mode ||
        now.changeSeconds != changeSecondsAtOpen_ || now.changeNanoseconds != changeNanosecondsAtOpen_)
        return kErrorSharingViolation;
    return kErrorSuccess;
}

WinError FileHandle::othersAllow(unsigned wantedShare) const
{
    if (fd_ < 0)
        return kErrorInvalidHandle;
    return internal::othersAllow(fd_, device_, inode_, shareId_, wantedShare) ? kErrorSuccess
                                                                              : kErrorSharingViolation;
}

WinError FileHandle::flush()
{
    if (fd_ < 0)
        return kErrorInvalidHandle;
    if (const WinError fault = injectedFault(path_, kFaultWrite))
        return fault;
    return ::fsync(fd_) == 0 ? kErrorSuccess : lastErrnoAsWinError();
}

WinError FileHandle::setEndOfFile()
{
    if (fd_ < 0)
        return kErrorInvalidHandle;
    if (!(access_ & kAccessWrite))
        return kErrorAccessDenied;
    if (const WinError fault = injectedFault(path_, kFaultWrite))
        return fault;
    const off_t position = ::lseek(fd_, 0, SEEK_CUR);
    if (position < 0 || ::ftruncate(fd_, position) != 0)
        return lastErrnoAsWinError();
    return kErrorSuccess;
}

WinError FileHandle::setTimes(const FileTime* /*creation*/, const FileTime* lastAccess,
                              const FileTime* lastWrite)
{
    if (fd_ < 0)
        return kErrorInvalidHandle;
    if (const WinError fault = injectedFault(path_, kFaultAttributes))
        return fault;
    if (lastAccess == nullptr && lastWrite == nullptr)
        return kErrorSuccess; // nothing that this system keeps would change
    struct timespec times[2];
    internal::toTimespecs(lastAccess, lastWrite, times);
    return ::futimens(fd_, times) == 0 ? kErrorSuccess : lastErrnoAsWinError();
}

WinError FileHandle::setOwnerAndMode(std::uint32_t owner, std::uint32_t group, std::uint32_t mode)
{
    if (fd_ < 0)
        return kErrorInvalidHandle;
    if (const WinError fault = injectedFault(path_, kFaultAttributes))
        return fault;
    if (internal::runsAsRoot() && ::fchown(fd_, owner, group) != 0)
        return lastErrnoAsWinError();
    if (::fchmod(fd_, mode & 07777) != 0)
        return lastErrnoAsWinError();
    return kErrorSuccess;
}

} // namespace wux::platform
