// The file calls on POSIX paths of any length: a path of PATH_MAX bytes or more is reached through its
// folder, opened in pieces that fit the limit.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/file_internal.h"

namespace wux::platform::internal {
namespace {

// Closes fd keeping errno.
void closeKeepingErrno(int fd)
{
    const int error = errno;
    ::close(fd);
    errno = error;
}

// Opens a folder of any length for lookups below it (O_PATH): each piece of at most PATH_MAX - 1 bytes
// that ends at a separator is opened relative to the previous one. -1 with errno on failure.
int openFolderInPieces(std::string_view folder)
{
    int fd = AT_FDCWD;
    std::size_t pos = 0;
    while (pos < folder.size()) {
        std::size_t end = folder.size();
        if (end - pos >= PATH_MAX) {
            end = folder.rfind('/', pos + PATH_MAX - 1);
            if (end == std::string_view::npos || end <= pos) {
                if (fd != AT_FDCWD)
                    ::close(fd);
                errno = ENAMETOOLONG;
                return -1;
            }
        }
        const std::string piece(pos == 0 && end == 0 ? std::string_view("/") : folder.substr(pos, end - pos));
        const int next = ::openat(fd, piece.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd != AT_FDCWD)
            closeKeepingErrno(fd);
        if (next < 0)
            return -1;
        fd = next;
        pos = end + 1;
    }
    return fd;
}

} // namespace

PathAt::PathAt(const std::string& posixPath)
{
    if (posixPath.size() < PATH_MAX) {
        name_ = posixPath.c_str();
        return;
    }
    const std::size_t slash = posixPath.rfind('/');
    if (slash == std::string::npos) {
        name_ = posixPath.c_str(); // (a relative name that long fails in the call itself)
        return;
    }
    name_ = posixPath.c_str() + slash + 1;
    folder_ = openFolderInPieces(std::string_view(posixPath).substr(0, slash == 0 ? 1 : slash));
    owned_ = folder_ >= 0;
}

PathAt::~PathAt()
{
    if (owned_)
        closeKeepingErrno(folder_);
}

int lstatPath(const std::string& path, struct stat& st)
{
    const PathAt at(path);
    return at ? ::fstatat(at.folder(), at.name(), &st, AT_SYMLINK_NOFOLLOW) : -1;
}

int statPath(const std::string& path, struct stat& st)
{
    const PathAt at(path);
    return at ? ::fstatat(at.folder(), at.name(), &st, 0) : -1;
}

int openPath(const std::string& path, int flags, mode_t mode)
{
    const PathAt at(path);
    return at ? ::openat(at.folder(), at.name(), flags, mode) : -1;
}

int unlinkPath(const std::string& path)
{
    const PathAt at(path);
    return at ? ::unlinkat(at.folder(), at.name(), 0) : -1;
}

int rmdirPath(const std::string& path)
{
    const PathAt at(path);
    return at ? ::unlinkat(at.folder(), at.name(), AT_REMOVEDIR) : -1;
}

int mkdirPath(const std::string& path, mode_t mode)
{
    const PathAt at(path);
    return at ? ::mkdirat(at.folder(), at.name(), mode) : -1;
}

int chmodPath(const std::string& path, mode_t mode)
{
    const PathAt at(path);
    return at ? ::fchmodat(at.folder(), at.name(), mode, 0) : -1;
}

int chownPath(const std::string& path, uid_t owner, gid_t group)
{
    const PathAt at(path);
    return at ? ::fchownat(at.folder(), at.name(), owner, group, 0) : -1;
}

int utimensPath(const std::string& path, const struct timespec (&times)[2])
{
    const PathAt at(path);
    return at ? ::utimensat(at.folder(), at.name(), times, 0) : -1;
}

ssize_t readlinkPath(const std::string& path, char* buffer, std::size_t size)
{
    const PathAt at(path);
    return at ? ::readlinkat(at.folder(), at.name(), buffer, size) : -1;
}

int symlinkPath(const std::string& text, const std::string& path)
{
    const PathAt at(path);
    return at ? ::symlinkat(text.c_str(), at.folder(), at.name()) : -1;
}

namespace {

// A call on two paths of any length.
template <typename Call> int onTwoPaths(const std::string& from, const std::string& to, Call call)
{
    const PathAt source(from);
    if (!source)
        return -1;
    const PathAt target(to);
    if (!target)
        return -1;
    return call(source, target);
}

} // namespace

int renamePath(const std::string& from, const std::string& to, unsigned flags)
{
    return onTwoPaths(from, to, [flags](const PathAt& source, const PathAt& target) {
        return ::renameat2(source.folder(), source.name(), target.folder(), target.name(), flags);
    });
}

int renameNoReplace(const std::string& from, const std::string& to)
{
    return onTwoPaths(from, to, [](const PathAt& source, const PathAt& target) {
        return renameNoReplace(source, target);
    });
}

int linkPath(const std::string& from, const std::string& to)
{
    return onTwoPaths(from, to, [](const PathAt& source, const PathAt& target) {
        return ::linkat(source.folder(), source.name(), target.folder(), target.name(), 0);
    });
}

DIR* opendirPath(const std::string& path)
{
    if (path.size() < PATH_MAX)
        return ::opendir(path.c_str());
    const int fd = openPath(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr)
        closeKeepingErrno(fd);
    return dir;
}

} // namespace wux::platform::internal
