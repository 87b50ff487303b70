// The main window's file commands (copy, move, delete, make a folder, create a file to edit, send to
// the Basket) as pure rules: the prompts the query dialog shows and the inputs it proposes. The
// commands themselves are TMainForm's (main_form.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "filelist/file_operations.h"

class QFont;

namespace wux::mainwindow {

// Tags of the function-key buttons and of the Operations menu items.
inline constexpr int kTagView = 1;
inline constexpr int kTagEdit = 2;
inline constexpr int kTagCopy = 3;
inline constexpr int kTagRenMove = 4;
inline constexpr int kTagMkDir = 5;
inline constexpr int kTagDelete = 6;
inline constexpr int kTagExit = 7;

// What the selection of a file command holds.
struct SelectionSummary
{
    std::int32_t count = 0; // selected items
    bool singleIsFolder = false;
    std::string singleName; // the one item's name when count is 1
};

// A prompt and the width of the dialog that shows it.
struct Prompt
{
    std::string text;
    int dialogWidth = 0;
};

// The least room a single name gets: with a large font the dialog grows rather than showing only "…".
inline constexpr int kMinimumNameRoom = 120;
// The width up to which a prompt dialog grows to show a single name whole.
inline constexpr int kWidestPromptDialog = 640;

// The prompt of the copy (kind 1) and move (kind 4) dialogs: "Copy " / "Rename or move ", then
// "%d files", 'directory [%s]' or 'file "%s"', then " to". A single name has the room of dialogWidth -
// the prompt's width without it - 25 pixels in the dialog's font; when that is too little the dialog
// grows (up to kWidestPromptDialog, and always to kMinimumNameRoom) and what still does not fit is
// elided in the middle of the name, keeping its extension.
Prompt copyMovePrompt(std::int32_t kind, const SelectionSummary& selection, int dialogWidth,
                      const QFont& font);
// The prompt of the delete dialog: "Do you wish to remove " ... " from basket?" for the Basket, else
// "Do you wish to delete " ... "?"; a single name as above, with the room of dialogWidth - the prompt's
// width without it - 65 pixels.
Prompt deletePrompt(bool basket, const SelectionSummary& selection, int dialogWidth, const QFont& font);

// The input line proposed by the copy and move dialog: in place the name part (the single item's
// name, else "*.*"); from the Basket nothing; otherwise the target folder + "\" + the name of a single
// selected file, or + "\*.*".
std::string copyMoveInput(bool inPlace, bool sourceIsBasket, const SelectionSummary& selection,
                          std::string_view targetFolder);

// A menu or button command that uses the operation cursor or changes a panel's list does nothing
// while a run is up: a plug-in waits in a message loop of its own, which lets the main window's menus
// and buttons through (the keyboard is held off by the shortcut handler).
template <typename... Args, typename Command> auto unlessBusy(Command command)
{
    return [command](Args... args) {
        if (!filelist::OperationBusy)
            command(args...);
    };
}

} // namespace wux::mainwindow
