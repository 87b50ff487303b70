// What a browser panel does with one item of its list through the desktop: open it with the viewer or
// the editor, run it (or open it with its program), show its properties, create a file for editing or
// a sub-folder, and show its context menu. Items are addressed by folder number and display position;
// while the list shows a flat view, the item's folder record is taken from the saved folder block.
// GUI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "filelist/browser_state.h"
#include "platform/errors.h"

class QPoint;
class QWidget;

namespace wux::platform::shell {
class ShellContextMenu;
}

namespace wux::filelist {

// The viewer (F3) and the editor (F4, EditFile), set by the options.
inline std::string ViewerProgram = "notepad.exe";
inline std::string EditorProgram = "notepad.exe";

// Opens the item with the editor (useEditor) or the viewer; a folder is opened in the desktop's file
// window. Position 0 (the ".." row) does nothing; a missing item gives the "File not found" box.
void OpenItem(std::int32_t folder, std::int32_t position, TstateOfBrowser& state, bool useEditor);

// Runs a file (a program) or opens it with its default program. False for a folder and the ".." row
// (the caller enters it); true for files, also when the file is missing (the "File not found" box).
bool RunItem(std::int32_t folder, std::int32_t position, TstateOfBrowser& state);

// Shows the properties of the item (the dialog is owned by parent).
void ShowPropertiesDialog(std::int32_t folder, std::int32_t position, TstateOfBrowser& state,
                          QWidget* parent = nullptr);

// Creates folder 1's path + "\" + name when it does not exist (an existing file is never touched) and
// opens it with the editor. False, doing nothing, for a folder outside the file system, and when the
// file can be neither found nor created.
bool EditFile(std::string_view name, TstateOfBrowser& state);

// Creates folder 1's path + "\" + name, with the folders on its way that are missing ("a\b" and
// "a/b" make a and b in it). The name is typed: it may also be a path elsewhere, written either way.
// False outside the file system or when it was not created (an existing one is 183), with the
// system's reason in reason; itemName: the entry of folder 1 that holds the new folder ("a" for
// "a\b"; "" when it is made elsewhere).
bool CreateSubfolder(std::string_view name, TstateOfBrowser& state, platform::WinError* reason = nullptr,
                     std::string* itemName = nullptr);

// Adds the program's own entries to a context menu before it is shown.
using ContextMenuEntries = std::function<void(platform::shell::ShellContextMenu& menu)>;

// Shows the context menu of the item at the mouse position (globalPosition) over control and runs the
// chosen verb. A missing file gives the "File not found" box instead. Returns the chosen verb ("" when
// none was chosen or no menu was shown).
std::string ShowShellContextMenu(QWidget* control, std::int32_t folder, std::int32_t position,
                                 TstateOfBrowser& state, const QPoint& globalPosition,
                                 const ContextMenuEntries& addEntries = {});
// The same at the mouse cursor's position.
std::string ShowShellContextMenu(QWidget* control, std::int32_t folder, std::int32_t position,
                                 TstateOfBrowser& state);

} // namespace wux::filelist
