#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/drives.h"
#include "platform/fault_injection.h"
#include "platform/file_internal.h"
#include "platform/files.h"

namespace wux::platform {

bool internal::isTrashLocation(std::string_view path)
{
    if (path.empty() || path.front() != '/')
        return false;
    const std::size_t slash = path.rfind('/');
    const std::string_view folder = path.substr(0, slash);
    if (slash + 1 >= path.size() || folder.find("/../") != std::string_view::npos)
        return false;
    const auto endsWith = [&](const std::string& tail) {
        return folder.size() > tail.size() && folder.substr(folder.size() - tail.size()) == tail;
    };
    const std::string uid = std::to_string(::getuid());
    return endsWith("/Trash/files") || endsWith("/.Trash-" + uid + "/files") ||
           endsWith("/.Trash/" + uid + "/files");
}

namespace {

// The user's data folder ($XDG_DATA_HOME, else ~/.local/share), created when missing.
bool ensureDataFolder()
{
    std::string folder;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && dataHome[0] == '/') {
        folder = dataHome;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] != '/')
            return false;
        folder = std::string(home) + "/.local/share";
    }
    return QDir().mkpath(QFile::decodeName(QByteArray::fromStdString(folder)));
}

} // namespace

WinError moveToTrash(std::string_view windowsPath, std::string* trashedPath)
{
    if (trashedPath != nullptr)
        trashedPath->clear();
    std::string posix;
    if (const WinError error = internal::resolve(windowsPath, kFaultDelete, posix))
        return error;
    struct stat st = {};
    if (internal::lstatPath(posix, st) != 0)
        return errno == ENOTDIR ? kErrorPathNotFound : lastErrnoAsWinError();
    const auto drive = findDrive(driveLetterOf(windowsPath));
    if (isDriveRoot(windowsPath) || (drive && posix == drive->root))
        return kErrorAccessDenied;
    if (S_ISREG(st.st_mode) && !internal::sharingAllows(posix, st, kShareDelete))
        return kErrorSharingViolation;
    if (!ensureDataFolder())
        return kErrorAccessDenied;
    QString inTrash;
    const QString source = QFile::decodeName(QByteArray::fromStdString(posix));
    if (!QFile::moveToTrash(source, &inTrash))
        return kErrorAccessDenied;
    if (!internal::isTrashLocation(QFile::encodeName(inTrash).toStdString())) {
        // Put the item back where it was; never leave it in an unexpected place.
        const QString moved = QFileInfo(inTrash).absoluteFilePath();
        const std::string movedPath = QFile::encodeName(moved).toStdString();
        internal::renameNoReplace(movedPath, posix);
        return kErrorAccessDenied;
    }
    if (trashedPath != nullptr)
        *trashedPath = QFile::encodeName(inTrash).toStdString();
    return kErrorSuccess;
}

} // namespace wux::platform
