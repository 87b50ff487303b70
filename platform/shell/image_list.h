// The system image list: one process-wide list of small icons with stable indexes, and the look-ups
// that give a file's icon index (and its type name).
//
// Icons are chosen by MIME type (the shared MIME database) and come from the icon theme, with the
// style's standard file, folder, drive and network icons where the theme has none. An index, once
// given, always stands for the same icon; the list only grows. The folder icon never has index 0
// (index 0 is the icon of a file of unknown type), so the negative of the folder index is never 0.
//
// Threads: the look-ups (fileIconIndex, pathIconIndex, folderIconIndex, ...) may be called on any
// thread; they only resolve and register the index (under a lock). The QIcon of an index is made on
// the GUI thread when icon() is first asked for it, since icons and pixmaps belong to the GUI thread.
//
// Tests install their own IconService (ScopedIconService) to count or script the look-ups.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <QIcon>

namespace wux::platform::shell {

// What one look-up asks for.
enum class IconState
{
    kNormal,
    kOpen, // the open icon (a folder's open icon; other items have none of their own)
};

class IconService
{
public:
    virtual ~IconService() = default;

    // The icon of a name by its attributes only, without touching the disk: a folder (attribute 0x10)
    // gets the folder icon, a file the icon of its MIME type by name (".txt" alone stands for the
    // extension). typeName (optional) receives the type's description ("plain text document",
    // "folder"; an unknown extension "XYZ file"). Never fails.
    virtual std::int32_t fileIconIndex(std::string_view name, std::uint32_t attributes, IconState state,
                                       std::string* typeName) = 0;
    // The icon of an existing file, folder or drive root (a drive path), found by a real query of the
    // disk: folders the folder icon, a drive root its drive kind's icon, a regular file the MIME type
    // by name and content, other files (FIFOs, devices, sockets) by name only. -1 when the path cannot
    // be read (typeName is then left as it is).
    virtual std::int32_t pathIconIndex(std::string_view windowsPath, IconState state,
                                       std::string* typeName) = 0;
    // The folder icon (kNormal) or the open folder icon (kOpen).
    virtual std::int32_t folderIconIndex(IconState state) = 0;
    // The icon of the network neighbourhood.
    virtual std::int32_t networkIconIndex() = 0;
    // The icon of an index; a null icon for an index that the list does not hold. GUI thread only.
    virtual QIcon icon(std::int32_t index) = 0;
    // The number of indexes given so far.
    virtual std::int32_t iconCount() = 0;
};

// The system's own list (the default service).
class SystemImageList : public IconService
{
public:
    SystemImageList();
    ~SystemImageList() override;
    SystemImageList(const SystemImageList&) = delete;
    SystemImageList& operator=(const SystemImageList&) = delete;

    std::int32_t fileIconIndex(std::string_view name, std::uint32_t attributes, IconState state,
                               std::string* typeName) override;
    std::int32_t pathIconIndex(std::string_view windowsPath, IconState state, std::string* typeName) override;
    std::int32_t folderIconIndex(IconState state) override;
    std::int32_t networkIconIndex() override;
    QIcon icon(std::int32_t index) override;
    std::int32_t iconCount() override;

    // The key that an index was registered under: a MIME type name ("text/plain") or the name of a
    // built-in icon ("folder", "folder-open", "drive-fixed", ...); "" for an index out of range.
    std::string iconKey(std::int32_t index);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The installed service: the system image list unless a test installed another.
IconService& iconService();
// Installs a service (nullptr: the system image list again) and returns the one it replaces. The
// caller keeps ownership and keeps it alive while installed; install while no worker looks up icons.
IconService* installIconService(IconService* service);

class ScopedIconService
{
public:
    explicit ScopedIconService(IconService& service) : previous_(installIconService(&service)) {}
    ~ScopedIconService() { installIconService(previous_); }
    ScopedIconService(const ScopedIconService&) = delete;
    ScopedIconService& operator=(const ScopedIconService&) = delete;

private:
    IconService* previous_;
};

// The look-ups through the installed service.
inline std::int32_t fileIconIndex(std::string_view name, std::uint32_t attributes,
                                  IconState state = IconState::kNormal, std::string* typeName = nullptr)
{
    return iconService().fileIconIndex(name, attributes, state, typeName);
}
inline std::int32_t pathIconIndex(std::string_view windowsPath, IconState state = IconState::kNormal,
                                  std::string* typeName = nullptr)
{
    return iconService().pathIconIndex(windowsPath, state, typeName);
}
inline std::int32_t folderIconIndex(IconState state = IconState::kNormal)
{
    return iconService().folderIconIndex(state);
}
inline std::int32_t networkIconIndex()
{
    return iconService().networkIconIndex();
}
inline QIcon systemIcon(std::int32_t index)
{
    return iconService().icon(index);
}

} // namespace wux::platform::shell
