#include "platform/file_handle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <vector>

#include "platform/fault_injection.h"
#include "platform/file_internal.h"
#include "platform/files.h"

namespace wux::platform {
namespace internal {
namespace {

// Lock bytes far beyond any data: one per access kind and one per kind of sharing refused.
constexpr off_t kLockBase = 0x7FFF'FFFF'FFFF'FF00LL;
constexpr off_t kLockAccessRead = kLockBase + 0;
constexpr off_t kLockAccessWrite = kLockBase + 1;
constexpr off_t kLockDenyRead = kLockBase + 2;
constexpr off_t kLockDenyWrite = kLockBase + 3;
constexpr off_t kLockDenyDelete = kLockBase + 4;

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

// True when another open file description holds a lock on the byte.
bool byteLockedByOthers(int fd, off_t byte)
{
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = byte;
    lock.l_len = 1;
    if (::fcntl(fd, F_OFD_GETLK, &lock) != 0)
        return false;
    return lock.l_type != F_UNLCK;
}

bool lockByte(int fd, off_t byte)
{
    struct flock lock = {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = byte;
    lock.l_len = 1;
    if (::fcntl(fd, F_OFD_SETLK, &lock) == 0)
        return true;
    // A descriptor that cannot hold read locks (write-only) or a file system without locks: no
    // protection against other processes, but no failure either.
    return errno != EAGAIN && errno != EACCES;
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
    if ((access & kAccessRead) && byteLockedByOthers(fd, kLockDenyRead))
        return true;
    if ((access & kAccessWrite) && byteLockedByOthers(fd, kLockDenyWrite))
        return true;
    if (!(share & kShareRead) && byteLockedByOthers(fd, kLockAccessRead))
        return true;
    if (!(share & kShareWrite) && byteLockedByOthers(fd, kLockAccessWrite))
        return true;
    return false;
}

bool takeLocks(int fd, unsigned access, unsigned share)
{
    bool ok = true;
    if (access & kAccessRead)
        ok = ok && lockByte(fd, kLockAccessRead);
    if (access & kAccessWrite)
        ok = ok && lockByte(fd, kLockAccessWrite);
    if (!(share & kShareRead))
        ok = ok && lockByte(fd, kLockDenyRead);
    if (!(share & kShareWrite))
        ok = ok && lockByte(fd, kLockDenyWrite);
    if (!(share & kShareDelete))
        ok = ok && lockByte(fd, kLockDenyDelete);
    return ok;
}

bool sharingAllows(const std::string& posixPath, const struct stat& st, unsigned wantedShare)
{
    {
        std::lock_guard lock(gShareMutex);
        for (const OpenRecord& record : gOpen) {
            if (record.device == static_cast<std::uint64_t>(st.st_dev) &&
                record.inode == static_cast<std::uint64_t>(st.st_ino) &&
                (record.share & wantedShare) != wantedShare)
                return false;
        }
    }
    if (!S_ISREG(st.st_mode))
        return true;
    const int fd = ::open(posixPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY);
    if (fd < 0)
        return true;
    bool allowed = true;
    if ((wantedShare & kShareDelete) && byteLockedByOthers(fd, kLockDenyDelete))
        allowed = false;
    if ((wantedShare & kShareWrite) && byteLockedByOthers(fd, kLockDenyWrite))
        allowed = false;
    if ((wantedShare & kShareRead) && byteLockedByOthers(fd, kLockDenyRead))
        allowed = false;
    ::close(fd);
    return allowed;
}

} // namespace internal

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
        path_ = std::move(other.path_);
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
    release();
    return ::close(fd) == 0 ? kErrorSuccess : lastErrnoAsWinError();
}

WinError FileHandle::open(std::string_view windowsPath, unsigned access, unsigned share,
                          Disposition disposition, std::uint32_t attributes, LastComponent last)
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
    if (const WinError error = toPosixPath(windowsPath, posix, last, entry))
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
        exists = ::stat(posix.c_str(), &st) == 0;
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
    const mode_t createMode = (attributes & kAttrReadOnly) ? 0444 : 0666;
    int fd = ::open(posix.c_str(), flags, createMode);
    if (fd < 0 && errno == EACCES && (access & kAccessWrite) && !(access & kAccessRead)) {
        flags = (flags & ~O_RDWR) | O_WRONLY;
        fd = ::open(posix.c_str(), flags, createMode);
    }
    if (fd < 0) {
        const int error = errno;
        if (error == EEXIST) {
            if (createNew) {
                // A folder or device holding the name is access denied; a file or a dangling link
                // makes the name taken.
                if (::stat(posix.c_str(), &st) == 0)
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
    struct stat fst = {};
    if (::fstat(fd, &fst) != 0 || !S_ISREG(fst.st_mode)) {
        ::close(fd);
        return kErrorAccessDenied;
    }
    const bool created = !exists; // (a lost race with another creator only makes this approximate)
    const auto device = static_cast<std::uint64_t>(fst.st_dev);
    const auto inode = static_cast<std::uint64_t>(fst.st_ino);
    const std::uint64_t id = internal::registerOpen(device, inode, access, share);
    if (id == 0 || internal::lockConflict(fd, access, share) || !internal::takeLocks(fd, access, share)) {
        if (id != 0)
            internal::unregisterOpen(id);
        ::close(fd);
        if (created)
            ::unlink(posix.c_str());
        return kErrorSharingViolation;
    }
    if (exists &&
        (disposition == Disposition::kCreateAlways || disposition == Disposition::kTruncateExisting)) {
        if (::ftruncate(fd, 0) != 0) {
            const WinError error = lastErrnoAsWinError();
            internal::unregisterOpen(id);
            ::close(fd);
            return error;
        }
        if (disposition == Disposition::kCreateAlways && (attributes & kAttrReadOnly))
            ::fchmod(fd, fst.st_mode & 07777 & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH));
    }
    fd_ = fd;
    access_ = access;
    share_ = share;
    existed_ = exists;
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
    if (::geteuid() == 0 && ::fchown(fd_, owner, group) != 0)
        return lastErrnoAsWinError();
    if (::fchmod(fd_, mode & 07777) != 0)
        return lastErrnoAsWinError();
    return kErrorSuccess;
}

} // namespace wux::platform
