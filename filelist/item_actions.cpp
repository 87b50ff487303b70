#include "filelist/item_actions.h"

#include <memory>
#include <vector>

#include <QCursor>
#include <QPoint>
#include <QPointer>
#include <QWidget>

#include "controls/wux_string_grid.h"
#include "core/system_error.h"
#include "core/text_table.h"
#include "platform/dialogs.h"
#include "platform/file_handle.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/shell/context_menu.h"
#include "platform/shell/program_starter.h"
#include "platform/shell/properties_dialog.h"

namespace wux::filelist {

namespace {

constexpr int kTextErrorTitle = 36;   // "error!"
constexpr int kTextFileNotFound = 37; // "File not found"

using IdListPtr = std::unique_ptr<ItemIdList, void (*)(ItemIdList*)>;

// One item with what the actions need of it and of its folder.
struct ItemPlace
{
    TBrowserItem item;
    std::string name;
    std::string folderPath;
    IdListPtr folderIds{nullptr, releaseItemIdList};
    IdListPtr itemIds{nullptr, releaseItemIdList};

    bool isDirectory() const { return (item.attributes & kDirectoryAttribute) != 0; }
    bool isShellItem() const { return itemIds != nullptr; }
    std::string path() const { return folderPath + "\\" + name; }
    // The absolute item-id list of a shell item.
    IdListPtr absoluteIds() const
    {
        return IdListPtr(joinItemIdLists(folderIds.get(), itemIds.get()), releaseItemIdList);
    }
};

// The item at a display position and its folder record (the saved one during a flat view).
bool locateItem(std::int32_t folder, std::int32_t position, TstateOfBrowser& state, ItemPlace& place)
{
    StateAccess access(state);
    const TBrowserItem* item = access.ItemAt(folder, position);
    if (item == nullptr)
        return false;
    platform::MovableLock saved(state.savedFolders);
    const TBrowserFolder* record = nullptr;
    if (state.savedFolders) {
        const auto* folders = saved.as<TBrowserFolder>();
        if (folders != nullptr && item->folder >= 1 && item->folder <= state.savedFolderCount)
            record = &folders[item->folder - 1];
    } else if (access.HasFolder(folder)) {
        record = &access.Folder(folder);
    }
    if (record == nullptr)
        return false;
    place.item = *item;
    place.name.assign(access.Name(*item));
    place.folderPath.assign(access.Path(*record));
    place.folderIds.reset(cloneItemIdList(record->itemIds));
    place.itemIds.reset(cloneItemIdList(item->itemIds));
    return true;
}

// The path of folder 1 when it lies in the file system.
bool fileSystemFolder(TstateOfBrowser& state, std::string& path)
{
    StateAccess access(state);
    if (!access.HasFolder(1) || (access.Folder(1).flags & kFolderOutsideFileSystem))
        return false;
    path.assign(access.Path(access.Folder(1)));
    return !path.empty();
}

// The path of a name typed for the panel's folder: a typed path may also name a place elsewhere, and
// may be written the Linux way.
platform::WinError typedPathIn(const std::string& folderPath, std::string_view name, std::string& path)
{
    std::string typed;
    if (const platform::WinError error = platform::pathFromOutside(name, typed))
        return error;
    while (typed.size() > 1 && typed.back() == '\\' && !platform::isDriveRoot(typed))
        typed.pop_back();
    if (typed.empty() || typed == "\\")
        return platform::kErrorInvalidName;
    if (platform::driveLetterOf(typed) != 0)
        path = std::move(typed);
    else if (typed.front() == '\\')
        path = folderPath.substr(0, 2) + typed; // the root of the panel's drive
    else
        path = folderPath + "\\" + typed;
    return platform::kErrorSuccess;
}

// Makes the folder a typed name gives, with the folders on its way that are missing; those it made
// go again when a later one cannot be made. itemName: the entry of the panel's folder that now holds
// it (its first name when the name is relative).
bool createSubfolder(std::string_view name, TstateOfBrowser& state, platform::WinError& error,
                     std::string* itemName)
{
    std::string folderPath;
    if (!fileSystemFolder(state, folderPath))
        return false;
    std::string path;
    if ((error = typedPathIn(folderPath, name, path)) != platform::kErrorSuccess)
        return false;
    if (itemName != nullptr) {
        std::string typed;
        platform::pathFromOutside(name, typed);
        *itemName = platform::driveLetterOf(typed) != 0 || typed.empty() || typed.front() == '\\'
                        ? std::string()
                        : typed.substr(0, typed.find('\\'));
    }
    // The folders on the way, from the deepest that is missing.
    std::vector<std::string> missing;
    for (std::string level = path; !platform::isDriveRoot(level);) {
        std::uint32_t attributes = 0;
        if (platform::getAttributes(level, attributes) == platform::kErrorSuccess) {
            if (missing.empty() || !(attributes & platform::kAttrDirectory)) {
                error = missing.empty() ? platform::kErrorAlreadyExists : platform::kErrorDirectory;
                return false;
            }
            break;
        }
        missing.push_back(level);
        std::string folder;
        std::string last;
        platform::splitWindowsPath(level, folder, last);
        if (folder == level || folder.empty())
            break;
        level = folder;
    }
    // (missing runs from the deepest up)
    for (std::size_t level = missing.size(); level-- > 0;) {
        error = platform::createFolder(missing[level]);
        if (error != platform::kErrorSuccess) {
            for (std::size_t made = level + 1; made < missing.size(); ++made)
                platform::removeFolder(missing[made]);
            return false;
        }
    }
    return true;
}

std::string quoted(std::string_view text)
{
    std::string result;
    result.reserve(text.size() + 2);
    result.push_back('"');
    result.append(text);
    result.push_back('"');
    return result;
}

// The working folder of a start: the folder path with a trailing "\", quoted.
std::string quotedFolder(std::string_view folderPath)
{
    std::string folder(folderPath);
    folder.push_back('\\');
    return quoted(folder);
}

void fileNotFound(platform::MsgIcon icon)
{
    platform::showMessageBox(core::uiText(kTextFileNotFound), core::uiText(kTextErrorTitle),
                             platform::MsgButtons::Ok, icon);
}

// The file-system path of a shell item ("" when it has none).
std::string shellItemPath(const ItemPlace& place)
{
    const IdListPtr absolute = place.absoluteIds();
    std::string path;
    if (absolute == nullptr || !shellNamespace().fileSystemPath(*absolute, path))
        return std::string();
    return path;
}

} // namespace

void OpenItem(std::int32_t folder, std::int32_t position, TstateOfBrowser& state, bool useEditor)
{
    if (position == 0)
        return;
    ItemPlace place;
    if (!locateItem(folder, position, state, place))
        return;
    std::string path = place.path();
    if (place.isShellItem()) {
        // An entry of a shell folder (a network share) is reached through its file-system path.
        const std::string shellPath = shellItemPath(place);
        if (!shellPath.empty())
            path = shellPath;
    }
    const std::string& program = useEditor ? EditorProgram : ViewerProgram;
    std::uint32_t attributes = 0;
    if (platform::getAttributes(path, attributes) != 0) {
        fileNotFound(platform::MsgIcon::None);
        return;
    }
    if (attributes & kDirectoryAttribute)
        core::ShowStartFailure(platform::shell::openWithDesktop(quoted(path)), path);
    else
        core::ShowStartFailure(platform::shell::startProgram(program, quoted(path),
                                                             quotedFolder(path.substr(0, path.rfind('\\')))),
                               path);
}

bool RunItem(std::int32_t folder, std::int32_t position, TstateOfBrowser& state)
{
    if (position == 0)
        return false;
    ItemPlace place;
    if (!locateItem(folder, position, state, place))
        return false;
    if (place.isDirectory())
        return false;
    if (place.isShellItem()) {
        const std::string path = shellItemPath(place);
        if (!path.empty())
            core::ShowStartFailure(platform::shell::executeFile(path, std::string_view()), path);
        return true;
    }
    const std::string path = place.path();
    if (!platform::pathExists(path)) {
        fileNotFound(platform::MsgIcon::None);
        return true;
    }
    core::ShowStartFailure(platform::shell::executeFile(path, place.folderPath + "\\"), path);
    return true;
}

void ShowPropertiesDialog(std::int32_t folder, std::int32_t position, TstateOfBrowser& state, QWidget* parent)
{
    ItemPlace place;
    if (position == 0 || !locateItem(folder, position, state, place))
        return;
    const std::string path = place.isShellItem() ? shellItemPath(place) : place.path();
    if (!path.empty())
        platform::shell::showPropertiesDialog(path, parent);
}

bool EditFile(std::string_view name, TstateOfBrowser& state)
{
    std::string folderPath;
    if (!fileSystemFolder(state, folderPath))
        return false;
    std::string path;
    if (typedPathIn(folderPath, name, path) != platform::kErrorSuccess)
        return false;
    if (!platform::pathExists(path)) {
        platform::FileHandle handle;
        const platform::WinError error = handle.open(path, platform::kAccessWrite, platform::kShareNone,
                                                     platform::Disposition::kCreateNew, 0x80);
        handle.close();
        // Another program may have created it meanwhile; it is then opened as it is.
        if (error != 0 && !platform::pathExists(path))
            return false;
    }
    core::ShowStartFailure(
        platform::shell::startProgram(EditorProgram, quoted(path), quotedFolder(folderPath)), path);
    return true;
}

bool CreateSubfolder(std::string_view name, TstateOfBrowser& state, platform::WinError* reason,
                     std::string* itemName)
{
    platform::WinError error = platform::kErrorSuccess;
    const bool made = createSubfolder(name, state, error, itemName);
    if (reason != nullptr)
        *reason = error;
    return made;
}

std::string ShowShellContextMenu(QWidget* control, std::int32_t folder, std::int32_t position,
                                 TstateOfBrowser& state, const QPoint& globalPosition,
                                 const ContextMenuEntries& addEntries)
{
    ItemPlace place;
    if (position == 0 || !locateItem(folder, position, state, place))
        return std::string();
    std::string path;
    if (place.isShellItem()) {
        path = shellItemPath(place);
        if (path.empty())
            return std::string();
    } else {
        path = place.path();
        if (!platform::pathExists(path)) {
            fileNotFound(platform::MsgIcon::Information);
            return std::string();
        }
    }
    platform::shell::ShellContextMenu menu(std::vector<std::string>{path}, control);
    if (addEntries)
        addEntries(menu);
    QPointer<controls::TWUXStringGrid> grid = qobject_cast<controls::TWUXStringGrid*>(control);
    if (grid != nullptr)
        grid->setICM(menu.menu());
    const std::string verb = menu.exec(globalPosition);
    if (grid != nullptr)
        grid->setICM(nullptr);
    return verb;
}

std::string ShowShellContextMenu(QWidget* control, std::int32_t folder, std::int32_t position,
                                 TstateOfBrowser& state)
{
    return ShowShellContextMenu(control, folder, position, state, QCursor::pos());
}

} // namespace wux::filelist
