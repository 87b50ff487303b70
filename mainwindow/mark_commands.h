// The Mark menu's commands and the panel filters of the main window: selection by mask (with its
// history), select or unselect all, selection by the result of the last run, and the panel's file mask
// (all files, or a typed filter with its history).
#pragma once

#include <cstdint>

namespace wux::mainwindow {

class TMainForm;

// Result statuses a run leaves on the items.
inline constexpr std::uint32_t kResultSuccessful = 64;
inline constexpr std::uint32_t kResultFailed = 128;
inline constexpr std::uint32_t kResultUnchanged = 192;

// Keypad "+" (select) or "-" (unselect) in the active panel: with all, every item of every folder
// (folders too unless the files-only option is set); without, the items matching a mask asked for
// with the history of masks. False when the active form is not a visible panel outside the tree view.
bool SelectGroup(TMainForm& window, bool select, bool all);
// Selects the items of the visible panel whose result status equals status.
void SelectByResult(TMainForm& window, std::uint32_t status);
// The panel shows every file again (unless "All files" is already ticked).
void mnuAllFilesClick(TMainForm& window);
// Asks for the panel's file types (with the filter history) and lists by them. False without a panel.
bool AskPanelFilter(TMainForm& window);
// The Mark and Filter menu items and the invert button, wired to the commands above.
void wireMarkCommands(TMainForm& window);

} // namespace wux::mainwindow
