#include "platform/shell/image_list.h"

#include <atomic>
#include <mutex>
#include <unordered_map>
#include <vector>

#include <QFileIconProvider>
#include <QMimeDatabase>
#include <QMimeType>
#include <QStandardPaths>
#include <QStringList>

#include "platform/drives.h"
#include "platform/file_types.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/thread.h"

namespace wux::platform::shell {
namespace {

// The style's icon used where the theme has none.
enum class Fallback
{
    kFile,
    kFolder,
    kDrive,
    kNetwork,
};

constexpr const char* kUnknownKey = "application/octet-stream";
constexpr const char* kFolderKey = "folder";
constexpr const char* kOpenFolderKey = "folder-open";
constexpr const char* kNetworkKey = "network";

constexpr std::int32_t kUnknownIndex = 0;
constexpr std::int32_t kFolderIndex = 1;
constexpr std::int32_t kOpenFolderIndex = 2;

QAbstractFileIconProvider::IconType providerType(Fallback fallback)
{
    switch (fallback) {
    case Fallback::kFile:
        return QAbstractFileIconProvider::File;
    case Fallback::kFolder:
        return QAbstractFileIconProvider::Folder;
    case Fallback::kDrive:
        return QAbstractFileIconProvider::Drive;
    case Fallback::kNetwork:
        return QAbstractFileIconProvider::Network;
    }
    return QAbstractFileIconProvider::File;
}

// The extension of a name: the text after its last "." ("" when there is none or the dot is first).
std::string_view extensionOf(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return {};
    return name.substr(dot + 1);
}

// The icon theme the set-up installs; the program takes its icons from it where the desktop names no
// theme, or one that has no icons for file types.
constexpr const char* kSetUpIconTheme = "Adwaita";
// An icon every theme with file-type icons has.
constexpr const char* kProbeIcon = "text-x-generic";

void ensureIconTheme()
{
    static bool checked = false;
    if (checked)
        return;
    checked = true;
    if (!QIcon::themeName().isEmpty() && QIcon::hasThemeIcon(QString::fromLatin1(kProbeIcon)))
        return;
    // Without a desktop Qt may look for themes nowhere but in its resources: the "icons" folder of
    // every data folder of the system is searched too.
    QStringList paths = QIcon::themeSearchPaths();
    for (const QString& folder : QStandardPaths::locateAll(QStandardPaths::GenericDataLocation,
                                                           QStringLiteral("icons"),
                                                           QStandardPaths::LocateDirectory)) {
        if (!paths.contains(folder))
            paths.append(folder);
    }
    QIcon::setThemeSearchPaths(paths);
    // Missing icons are looked for in the set-up's theme after the desktop's own...
    QIcon::setFallbackThemeName(QString::fromLatin1(kSetUpIconTheme));
    if (QIcon::hasThemeIcon(QString::fromLatin1(kProbeIcon)))
        return;
    // ...and where even that finds none, the set-up's theme is the theme.
    const QString previous = QIcon::themeName();
    QIcon::setThemeName(QString::fromLatin1(kSetUpIconTheme));
    if (!QIcon::hasThemeIcon(QString::fromLatin1(kProbeIcon)))
        QIcon::setThemeName(previous);
}

} // namespace

struct SystemImageList::Impl
{
    struct Entry
    {
        std::string key;
        QString themeName;
        QString genericName;
        Fallback fallback = Fallback::kFile;
        QIcon icon;
        bool made = false;
    };

    std::mutex mutex;
    std::vector<Entry> entries;
    std::unordered_map<std::string, std::int32_t> byKey;
    QMimeDatabase mimeDatabase; // thread-safe

    std::int32_t registerIcon(const std::string& key, const QString& themeName, const QString& genericName,
                              Fallback fallback)
    {
        std::lock_guard lock(mutex);
        const auto found = byKey.find(key);
        if (found != byKey.end())
            return found->second;
        const auto index = static_cast<std::int32_t>(entries.size());
        entries.push_back(Entry{key, themeName, genericName, fallback, QIcon(), false});
        byKey.emplace(key, index);
        return index;
    }

    std::int32_t findKey(const std::string& key)
    {
        std::lock_guard lock(mutex);
        const auto found = byKey.find(key);
        return found == byKey.end() ? -1 : found->second;
    }

    std::int32_t mimeIndex(const QMimeType& mime)
    {
        if (!mime.isValid() || mime.isDefault())
            return kUnknownIndex;
        const std::string key = toUtf8(mime.name());
        if (key == "inode/directory")
            return kFolderIndex;
        const std::int32_t known = findKey(key);
        if (known >= 0)
            return known;
        return registerIcon(key, mime.iconName(), mime.genericIconName(), Fallback::kFile);
    }

    std::string typeNameOf(const QMimeType& mime, std::string_view name)
    {
        const std::string_view extension = extensionOf(name);
        if ((!mime.isValid() || mime.isDefault()) && !extension.empty())
            return bytesToUpper(displayPath(extension)) + " file";
        return toUtf8(mime.comment());
    }

    std::string folderTypeName() { return toUtf8(mimeDatabase.mimeTypeForName("inode/directory").comment()); }

    std::int32_t driveIndex(DriveType type)
    {
        switch (type) {
        case kDriveRemovable:
            return registerIcon("drive-removable", "drive-removable-media", "drive-harddisk",
                                Fallback::kDrive);
        case kDriveCdrom:
            return registerIcon("drive-cdrom", "drive-optical", "media-optical", Fallback::kDrive);
        case kDriveRemote:
            return registerIcon("drive-remote", "folder-remote", "network-server", Fallback::kNetwork);
        default:
            return registerIcon("drive-fixed", "drive-harddisk", QString(), Fallback::kDrive);
        }
    }
};

SystemImageList::SystemImageList() : impl_(std::make_unique<Impl>())
{
    impl_->registerIcon(kUnknownKey, QStringLiteral("application-octet-stream"),
                        QStringLiteral("application-x-generic"), Fallback::kFile);
    impl_->registerIcon(kFolderKey, QStringLiteral("folder"), QString(), Fallback::kFolder);
    impl_->registerIcon(kOpenFolderKey, QStringLiteral("folder-open"), QStringLiteral("folder"),
                        Fallback::kFolder);
}

SystemImageList::~SystemImageList() = default;

std::int32_t SystemImageList::fileIconIndex(std::string_view name, std::uint32_t attributes, IconState state,
                                            std::string* typeName)
{
    if (attributes != kInvalidAttributes && (attributes & kAttrDirectory) != 0) {
        if (typeName)
            *typeName = impl_->folderTypeName();
        return folderIconIndex(state);
    }
    QMimeType mime = impl_->mimeDatabase.mimeTypeForFile(toQString(name), QMimeDatabase::MatchExtension);
    if (mime.isDefault() && !name.empty() && name.front() == '.') {
        // ".txt" alone: the extension's type.
        mime = impl_->mimeDatabase.mimeTypeForFile(QStringLiteral("x") + toQString(name),
                                                   QMimeDatabase::MatchExtension);
    }
    if (typeName)
        *typeName = impl_->typeNameOf(mime, name);
    return impl_->mimeIndex(mime);
}

std::int32_t SystemImageList::pathIconIndex(std::string_view windowsPath, IconState state,
                                            std::string* typeName)
{
    if (isDriveRoot(windowsPath)) {
        const char letter = driveLetterOf(windowsPath);
        if (!isDriveReady(letter))
            return -1;
        if (typeName)
            *typeName =
                toUtf8(impl_->mimeDatabase.mimeTypeForName(QStringLiteral("inode/mount-point")).comment());
        return impl_->driveIndex(driveType(letter));
    }
    FileInfo info;
    if (getFileInfo(windowsPath, info) != kErrorSuccess)
        return -1;
    if ((info.attributes & kAttrDirectory) != 0) {
        if (typeName)
            *typeName = impl_->folderTypeName();
        return folderIconIndex(state);
    }
    std::string posix;
    if (toPosixPath(windowsPath, posix) != kErrorSuccess)
        return -1;
    std::string folder;
    std::string name;
    splitWindowsPath(windowsPath, folder, name);
    // Regular files by name and content; FIFOs, devices and sockets are typed by the database from
    // their mode alone (it never opens them).
    const QMimeType mime = impl_->mimeDatabase.mimeTypeForFile(toQString(posix), QMimeDatabase::MatchDefault);
    if (typeName)
        *typeName = impl_->typeNameOf(mime, name);
    return impl_->mimeIndex(mime);
}

std::int32_t SystemImageList::folderIconIndex(IconState state)
{
    return state == IconState::kOpen ? kOpenFolderIndex : kFolderIndex;
}

std::int32_t SystemImageList::networkIconIndex()
{
    return impl_->registerIcon(kNetworkKey, QStringLiteral("network-workgroup"),
                               QStringLiteral("network-server"), Fallback::kNetwork);
}

QIcon SystemImageList::icon(std::int32_t index)
{
    if (!isGuiThread() || index < 0)
        return QIcon();
    QString themeName;
    QString genericName;
    Fallback fallback = Fallback::kFile;
    {
        std::lock_guard lock(impl_->mutex);
        if (static_cast<std::size_t>(index) >= impl_->entries.size())
            return QIcon();
        const Impl::Entry& entry = impl_->entries[static_cast<std::size_t>(index)];
        if (entry.made)
            return entry.icon;
        themeName = entry.themeName;
        genericName = entry.genericName;
        fallback = entry.fallback;
    }
    // Made outside the lock: a worker looking up an index never waits for the icon theme.
    ensureIconTheme();
    QIcon made = QIcon::fromTheme(themeName);
    if (made.isNull() && !genericName.isEmpty())
        made = QIcon::fromTheme(genericName);
    if (made.isNull()) {
        static QFileIconProvider provider;
        made = provider.icon(providerType(fallback));
    }
    std::lock_guard lock(impl_->mutex);
    Impl::Entry& entry = impl_->entries[static_cast<std::size_t>(index)];
    entry.icon = made;
    entry.made = true;
    return entry.icon;
}

std::int32_t SystemImageList::iconCount()
{
    std::lock_guard lock(impl_->mutex);
    return static_cast<std::int32_t>(impl_->entries.size());
}

std::string SystemImageList::iconKey(std::int32_t index)
{
    std::lock_guard lock(impl_->mutex);
    if (index < 0 || static_cast<std::size_t>(index) >= impl_->entries.size())
        return std::string();
    return impl_->entries[static_cast<std::size_t>(index)].key;
}

namespace {

std::atomic<IconService*> gInstalledIcons{nullptr};

SystemImageList& systemList()
{
    static SystemImageList list;
    return list;
}

} // namespace

IconService& iconService()
{
    if (IconService* service = gInstalledIcons.load())
        return *service;
    return systemList();
}

IconService* installIconService(IconService* service)
{
    IconService* previous = gInstalledIcons.exchange(service);
    return previous ? previous : &systemList();
}

} // namespace wux::platform::shell
