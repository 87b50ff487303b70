#include "platform/folder_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/drives.h"
#include "platform/fault_injection.h"
#include "platform/file_handle.h"
#include "platform/file_internal.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace wux::platform {

struct FolderListing::State
{
    DIR* dir = nullptr;
    std::string mask;
    int dotsLeft = 0; // "." and ".." still to give
    std::string posixFolder;
    bool single = false;
    FileId folderId;
    std::string lastName; // the Linux name of the entry last given
    ~State()
    {
        if (dir != nullptr)
            ::closedir(dir);
    }
};

namespace {

bool hasWildcard(std::string_view mask)
{
    return mask.find_first_of("*?") != std::string_view::npos;
}

bool isAscii(std::string_view text)
{
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

template <typename Char>
bool globMatch(const Char* name, std::size_t nameSize, const Char* mask, std::size_t maskSize)
{
    std::size_t n = 0, m = 0, starMask = std::string::npos, starName = 0;
    while (n < nameSize) {
        if (m < maskSize && (mask[m] == Char('?') || mask[m] == name[n])) {
            ++n;
            ++m;
        } else if (m < maskSize && mask[m] == Char('*')) {
            starMask = m++;
            starName = n;
        } else if (starMask != std::string::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < maskSize && mask[m] == Char('*'))
        ++m;
    return m == maskSize;
}

// Fills data from the entry `name` of the folder (dirFd); false when it vanished.
bool fillEntry(int dirFd, const char* name, std::string shownName, bool hidden, FindData& data)
{
    internal::EntryStat entry, target;
    bool hasTarget = false;
    if (!internal::statWithTarget(dirFd, name, entry, target, hasTarget))
        return false;
    // A file that the program is writing under a temporary name (or a leftover of a killed run) is
    // nobody's file yet; a user's file of that form is shown.
    if (hidden && internal::isOwnTemporary(name, entry))
        return false;
    const internal::EntryStat& info = hasTarget ? target : entry;
    data.attributes = internal::attributesOf(entry, hasTarget ? &target : nullptr, hidden ? name : "");
    const FileTimes times = internal::timesOf(info);
    data.creationTime = times.creation;
    data.lastAccessTime = times.lastAccess;
    data.lastWriteTime = times.lastWrite;
    data.size = S_ISREG(info.mode) ? info.size : 0;
    data.name = std::move(shownName);
    data.id = FileId{entry.device, entry.inode};
    data.statusPending = false;
    return true;
}

// The code points of a text after case folding.
std::u32string foldedCodePoints(std::string_view text)
{
    const std::string folded = foldCase(text);
    std::u32string out;
    out.reserve(folded.size());
    for (std::size_t pos = 0; pos < folded.size();) {
        const Utf8Char c = decodeUtf8(folded, pos);
        out += c.codePoint;
        pos += c.length;
    }
    return out;
}

// Opens a folder that a walk listed (never through a symbolic link at its own name) and, with expected,
// only while it is that folder (1006 otherwise). fd and st receive it.
WinError openWalkFolder(const std::string& posixFolder, int access, const FileId* expected, int& fd,
                        struct stat& st)
{
    fd = internal::openPath(posixFolder, access | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        struct stat entry = {};
        // A symbolic link (or a file) where the folder was.
        if ((error == ELOOP || error == ENOTDIR) && internal::lstatPath(posixFolder, entry) == 0)
            return kErrorFileInvalid;
        return error == EACCES ? kErrorAccessDenied : kErrorPathNotFound;
    }
    if (::fstat(fd, &st) != 0 ||
        (expected != nullptr && !(FileId{static_cast<std::uint64_t>(st.st_dev),
                                         static_cast<std::uint64_t>(st.st_ino)} == *expected))) {
        ::close(fd);
        fd = -1;
        return kErrorFileInvalid;
    }
    return kErrorSuccess;
}

} // namespace

HeldFolder::~HeldFolder()
{
    close();
}

void HeldFolder::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    path_.clear();
}

WinError HeldFolder::open(std::string_view windowsPath, const FileId* expected)
{
    close();
    if (const WinError fault = injectedFault(windowsPath, kFaultList))
        return fault;
    std::string posix;
    if (const WinError error = toPosixPath(windowsPath, posix))
        return error == kErrorFileNotFound ? kErrorPathNotFound : error;
    struct stat st = {};
    if (expected == nullptr) {
        // Where the path leads, as a listing of it; readable where it may be read, so that it can be
        // flushed without another open.
        fd_ = internal::openPath(posix, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ < 0 && errno == EACCES)
            fd_ = internal::openPath(posix, O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd_ < 0)
            return errno == EACCES ? kErrorAccessDenied : kErrorPathNotFound;
    } else if (const WinError error = openWalkFolder(posix, O_PATH, expected, fd_, st)) {
        return error;
    }
    path_ = std::string(windowsPath);
    return kErrorSuccess;
}

WinError HeldFolder::flush() const
{
    if (fd_ < 0)
        return kErrorInvalidHandle;
    if (::fsync(fd_) == 0)
        return kErrorSuccess;
    if (errno != EBADF)
        return lastErrnoAsWinError();
    // Held without read access: the folder is opened once more for the flush.
    const int fd = ::openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return lastErrnoAsWinError();
    const bool ok = ::fsync(fd) == 0;
    const WinError error = ok ? kErrorSuccess : lastErrnoAsWinError();
    ::close(fd);
    return error;
}

WinError getAttributesIn(const HeldFolder& folder, std::string_view name, std::uint32_t& attributes)
{
    attributes = kInvalidAttributes;
    if (const WinError fault = injectedFault(joinWindowsPath(folder.path(), name), kFaultAttributes))
        return fault;
    std::string linuxName;
    if (const WinError error = internal::nameInHeldFolder(folder, name, linuxName))
        return error;
    internal::EntryStat entry, target;
    bool hasTarget = false;
    if (!internal::statWithTarget(folder.descriptor(), linuxName.c_str(), entry, target, hasTarget))
        return errno == ENOTDIR ? kErrorPathNotFound : lastErrnoAsWinError();
    attributes = internal::attributesOf(entry, hasTarget ? &target : nullptr, linuxName);
    return kErrorSuccess;
}

bool matchesFindMask(std::string_view name, std::string_view mask)
{
    if (mask == "*" || mask == "*.*")
        return true;
    if (isAscii(name) && isAscii(mask)) {
        std::string a(name), b(mask);
        for (char& c : a)
            c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        for (char& c : b)
            c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        return globMatch(a.data(), a.size(), b.data(), b.size());
    }
    const std::u32string a = foldedCodePoints(name);
    const std::u32string b = foldedCodePoints(mask);
    return globMatch(a.data(), a.size(), b.data(), b.size());
}

WinError fillStatusFromHandle(const FileHandle& file, FindData& data)
{
    FileInfo info;
    if (const WinError error = file.getInfoAtOpen(info))
        return error;
    std::string linuxName;
    decodeName(data.name, linuxName);
    internal::EntryStat entry;
    entry.mode = info.mode;
    entry.linkCount = info.linkCount;
    entry.inode = info.id.inode;
    if (internal::isOwnTemporary(linuxName, entry))
        return kErrorFileNotFound;
    data.attributes = info.attributes;
    data.creationTime = info.times.creation;
    data.lastAccessTime = info.times.lastAccess;
    data.lastWriteTime = info.times.lastWrite;
    data.size = S_ISREG(info.mode) ? info.size : 0;
    data.id = info.id;
    data.statusPending = false;
    return kErrorSuccess;
}

FolderListing::FolderListing() = default;
FolderListing::~FolderListing() = default;
FolderListing::FolderListing(FolderListing&&) noexcept = default;
FolderListing& FolderListing::operator=(FolderListing&&) noexcept = default;

void FolderListing::close()
{
    state_.reset();
}

WinError FolderListing::findFirst(std::string_view pattern, FindData& data)
{
    return start(pattern, data, false, nullptr);
}

WinError FolderListing::findFirstInWalk(std::string_view pattern, const FileId* expected, FindData& data)
{
    return start(pattern, data, true, expected);
}

FileId FolderListing::folderId() const
{
    return state_ ? state_->folderId : FileId{};
}

bool isSameFolder(std::string_view windowsPath, const FileId& id)
{
    // What the lookup found at the path's last name is the answer: no second look.
    std::string posix;
    PathEntry entry;
    if (toPosixPath(windowsPath, posix, entry) != kErrorSuccess || !entry.exists)
        return false;
    const struct stat& st = entry.st;
    return S_ISDIR(st.st_mode) &&
           FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)} == id;
}

WinError FolderListing::start(std::string_view pattern, FindData& data, bool walk, const FileId* expected)
{
    close();
    data = {};
    std::string folder, mask;
    splitWindowsPath(pattern, folder, mask);
    if (driveLetterOf(folder) == 0)
        return kErrorPathNotFound;
    if (mask.empty() || pattern.back() == '\\' || pattern.back() == '/')
        return kErrorFileNotFound; // no name to look for
    // The mask may hold "*" and "?"; any other reserved character is an invalid name.
    std::string probe = mask, ignored;
    for (char& c : probe) {
        if (c == '*' || c == '?')
            c = 'x';
    }
    if (!decodeName(probe, ignored))
        return kErrorInvalidName;
    if (const WinError fault = injectedFault(folder, kFaultList))
        return fault;
    std::string posixFolder;
    if (const WinError error = toPosixPath(folder, posixFolder))
        return error == kErrorFileNotFound ? kErrorPathNotFound : error;
    // A walk holds the folder open from its check to the end of its listing: what it lists is the
    // folder it checked, whatever happens to the name meanwhile.
    int walkFd = -1;
    struct stat st = {};
    if (walk) {
        if (const WinError error = openWalkFolder(posixFolder, O_RDONLY, expected, walkFd, st))
            return error;
    } else {
        if (internal::statPath(posixFolder, st) != 0)
            return errno == EACCES ? kErrorAccessDenied : kErrorPathNotFound;
        if (!S_ISDIR(st.st_mode))
            return kErrorPathNotFound;
    }

    auto state = std::make_unique<State>();
    state->posixFolder = posixFolder;
    state->mask = mask;
    state->folderId = FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    if (!hasWildcard(mask) && mask != "." && mask != "..") {
        // One name: its own entry, as spelled.
        std::string posix;
        if (const WinError error = toPosixPath(joinWindowsPath(folder, mask), posix)) {
            if (walkFd >= 0)
                ::close(walkFd);
            return error;
        }
        const int dirFd =
            walkFd >= 0 ? walkFd : internal::openPath(posixFolder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd < 0)
            return errno == EACCES ? kErrorAccessDenied : kErrorPathNotFound;
        const std::string name(internal::baseNameOf(posix));
        const bool found = fillEntry(dirFd, name.c_str(), encodeName(name), true, data);
        ::close(dirFd);
        if (!found)
            return kErrorFileNotFound;
        state->single = true;
        state_ = std::move(state);
        return kErrorSuccess;
    }
    state->dir = walkFd >= 0 ? ::fdopendir(walkFd) : internal::opendirPath(posixFolder);
    if (state->dir == nullptr) {
        const int error = errno;
        if (walkFd >= 0)
            ::close(walkFd);
        return error == EACCES || error == EPERM ? kErrorAccessDenied : kErrorPathNotFound;
    }
    const auto drive = findDrive(driveLetterOf(folder));
    const bool atRoot = drive && drive->root == posixFolder;
    state->dotsLeft = atRoot ? 0 : 2;
    state_ = std::move(state);
    const WinError error = findNext(data);
    if (error == kErrorNoMoreFiles) {
        close();
        return kErrorFileNotFound;
    }
    return error;
}

WinError FolderListing::findNext(FindData& data)
{
    if (!state_)
        return kErrorInvalidHandle;
    if (state_->single)
        return kErrorNoMoreFiles;
    const int dirFd = ::dirfd(state_->dir);
    while (state_->dotsLeft > 0) {
        const char* dots = state_->dotsLeft == 2 ? "." : "..";
        --state_->dotsLeft;
        if (!matchesFindMask(dots, state_->mask))
            continue;
        if (namesFirst_) {
            data = {};
            data.attributes = kAttrDirectory;
            data.name = dots;
            data.statusPending = true;
            state_->lastName = dots;
            return kErrorSuccess;
        }
        if (fillEntry(dirFd, dots, dots, false, data))
            return kErrorSuccess;
    }
    for (;;) {
        errno = 0;
        dirent* entry = ::readdir(state_->dir);
        if (entry == nullptr)
            return errno == 0 ? kErrorNoMoreFiles : lastErrnoAsWinError();
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        std::string shown = encodeName(name);
        if (!matchesFindMask(shown, state_->mask))
            continue;
        if (namesFirst_ && entry->d_type != DT_DIR && entry->d_type != DT_LNK &&
            entry->d_type != DT_UNKNOWN) {
            data = {};
            data.attributes = entry->d_type == DT_REG ? kAttrArchive : 0;
            if (name.front() == '.')
                data.attributes |= kAttrHidden;
            if (data.attributes == 0)
                data.attributes = kAttrNormal;
            data.name = std::move(shown);
            data.statusPending = true;
            state_->lastName.assign(name);
            return kErrorSuccess;
        }
        if (fillEntry(dirFd, entry->d_name, std::move(shown), true, data))
            return kErrorSuccess;
    }
}

WinError FolderListing::fillStatus(FindData& data)
{
    if (!state_ || state_->dir == nullptr)
        return kErrorInvalidHandle;
    if (!data.statusPending)
        return kErrorSuccess;
    std::string shown = std::move(data.name);
    const bool dots = shown == "." || shown == "..";
    if (!fillEntry(::dirfd(state_->dir), state_->lastName.c_str(), std::move(shown), !dots, data))
        return kErrorFileNotFound;
    data.statusPending = false;
    return kErrorSuccess;
}

} // namespace wux::platform
