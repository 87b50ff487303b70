// What the Replacer and Batch Replacer windows share: the program's settings file and help, the main
// window's launch action and panels, the caption strip of a tool form, the fixed width of a tool form,
// the glyphs of the start and help buttons, and a replace run under the modal run window.
#pragma once

#include <functional>
#include <string>
#include <string_view>

class QAbstractButton;
class QLabel;
class QWidget;

namespace wux::engines {
class TReplaceRunThread;
}

namespace wux::tools {

// The settings file of the program (a drive path).
std::string settingsFilePath();
// Opens a help topic ("REPLACER" opens "REPLACER.htm") of the program's help file.
void openHelpTopic(std::string_view topic);

// The main window asks the current tool whether it can start (after a change of its inputs).
void updateLaunchAction();
// The window that last took the focus.
void setActiveForm(QWidget* form);

// Colours a tool form's caption strip as active or inactive.
void paintToolCaption(QLabel& caption, bool active);
// Calls onClick when the label is clicked with the left button.
void onLabelClick(QLabel& label, std::function<void()> onClick);

// The fixed width of a tool form: its widest row of controls with the margins around it (at least 10
// pixels right of the rightmost control).
int fixedToolWidth(const QWidget& form);

// The start button's glyph (3 images) and the help button's glyph.
void setStartGlyph(QAbstractButton& button);
void setHelpGlyph(QAbstractButton& button);

// Asks for a table file: an open dialog (tables and spreadsheets) or a save dialog (".rtbl", asking
// before it overwrites), starting in folder with fileName proposed. "" when the user cancels.
std::string chooseTableFile(bool save, const std::string& folder, const std::string& fileName);

// "No files selected!" (no active panel at the start of a run).
void showNoFilesSelected();

// Runs a prepared replace thread under the modal run window (captionSuffix appended to its caption)
// and returns when the user has closed the window.
void runReplaceThread(engines::TReplaceRunThread& thread, const std::string& captionSuffix);
// The end of every start after the selection was handed over: the busy flag off, the hand-over ended,
// both panels refreshed.
void endRun();

} // namespace wux::tools
