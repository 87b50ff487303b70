// The last step of a rewrite inside a folder held open: the new content takes the file's name.
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "platform/fault_injection.h"
#include "platform/file_internal.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace wux::platform {

WinError putRewriteInPlace(const HeldFolder& folder, FileHandle& temp, std::string_view tempName,
                           FileHandle& source, std::string_view name)
{
    const std::string path = joinWindowsPath(folder.path(), name);
    if (const WinError fault = injectedFault(path, kFaultRename))
        return fault;
    if (const WinError fault = injectedFault(joinWindowsPath(folder.path(), tempName), kFaultRename))
        return fault;
    if (!temp.isOpen() || !source.isOpen())
        return kErrorInvalidHandle;
    std::string from, to;
    if (const WinError error = internal::nameInHeldFolder(folder, tempName, from))
        return error;
    if (const WinError error = internal::nameInHeldFolder(folder, name, to))
        return error;
    // The name must still hold the file that was read: anything else there is the caller's to look
    // at by its path.
    struct stat st = {};
    const FileId read = source.fileId();
    if (::fstatat(folder.descriptor(), to.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::uint64_t>(st.st_dev) != read.device || static_cast<std::uint64_t>(st.st_ino) != read.inode)
        return kErrorFileInvalid;
    // What was read must still be all there is: lines another program added meanwhile would be lost.
    if (const WinError error = source.unchangedSinceOpen())
        return error;
    // Neither file may be held by anyone else without delete sharing (the program's own handles
    // excepted, which are closed before the rename).
    if (temp.othersAllow(kShareDelete) != kErrorSuccess || source.othersAllow(kShareDelete) != kErrorSuccess)
        return kErrorSharingViolation;
    source.close();
    if (const WinError error = temp.close())
        return error;
    if (::renameat(folder.descriptor(), from.c_str(), folder.descriptor(), to.c_str()) != 0)
        return errno == ENOENT ? kErrorPathNotFound : lastErrnoAsWinError();
    folder.flush();
    return kErrorSuccess;
}

} // namespace wux::platform
