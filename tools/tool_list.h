// The tool windows hosted by the main window (Finder, Renamer, Replacer, Batch Replacer): the interface
// every tool form implements, the record through which the main window reaches a tool, the process-wide
// list of tools and the operations over it, and the two paths the start-up fixes for everyone (the
// settings file and the help file).
//
// The main window never calls a tool form's own methods: it asks the form for IToolForm (dynamic_cast);
// a form without the interface is skipped by every operation that calls through it, but it is still
// shown, hidden and returned by ShowTool and ToolForm. Tools are found by their mode number (2 to 5);
// mode 1, the two-panel browser, has no tool. GUI thread only.
#pragma once

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ini_file.h"

class QAction;

namespace wux::core {
class TUserParameters;
}

namespace wux::filelist {
class TstateOfBrowser;
}

namespace wux::tools {

// What every tool form implements (the form inherits QWidget and IToolForm).
class IToolForm
{
public:
    virtual ~IToolForm() = default;

    // One-time set-up after creation (glyphs, initial values).
    virtual void InitTool() = 0;
    // Registers the form's built-in English texts at baseId (window title), baseId + 1 (hint) and on.
    virtual void RegisterDefaultTexts(int baseId) = 0;
    // Sets every caption and hint from the text table, from baseId on.
    virtual void Translate(int baseId) = 0;
    // Reads / writes the form's own section of the settings file.
    virtual void LoadSettings() = 0;
    virtual void SaveSettings() = 0;
    // Brings the form's enabled state up to date for the list that would supply the selection and
    // answers whether its start button is enabled.
    virtual bool CanStart(filelist::TstateOfBrowser* panelState) = 0;
    // Starts the form's operation, as if its start button were pressed.
    virtual void StartOperation() = 0;
    // Opens the form's help topic.
    virtual void ShowHelp() = 0;
    // Shows or hides the form's title strip.
    virtual void ShowTitle(bool visible) = 0;
    // The form's parameter set (Replacer, Batch Replacer), nullptr for the others.
    virtual core::TUserParameters* GetParameters() = 0;
};

// Makes a tool form with the given owner and parent (the main window's tool panel).
using ToolFormFactory = std::function<QWidget*(QWidget* parent)>;

// One hosted tool window.
class TTool
{
public:
    // Creates the form with factory (owned by parent, which is also its parent), without border, at
    // 0,0, filling parent's client area (a layout of parent is given one when it has none); Id := the
    // number of tools so far + 2; calls RegisterDefaultTexts(titleId) and InitTool through the
    // interface; appends the tool to ToolList and returns it.
    static TTool* Create(QWidget* parent, const ToolFormFactory& factory, int titleId, QAction* action);

    // The form's interface, nullptr when the form does not provide it (or is gone).
    IToolForm* toolForm() const;

    int TitleId = 0;           // text of the tool's title; the hint is TitleId + 1
    QPointer<QWidget> Form;    // owned by the tool panel
    int Id = 0;                // the mode number
    std::string Caption;       // translated title
    std::string Hint;          // translated hint
    QAction* Action = nullptr; // the main window's mode action of this tool (Tag = Id)
};

// The process-wide list of tools, in creation order. The records live until the process ends.
std::vector<std::unique_ptr<TTool>>& ToolList();
// Empties the list (the main window's destruction, tests).
void ClearToolList();

// Size limits of the tool panel; 0 = no limit.
struct TSizeConstraints
{
    int MinWidth = 0;
    int MaxWidth = 0;
    int MinHeight = 0;
    int MaxHeight = 0;

    bool operator==(const TSizeConstraints&) const = default;
};

// Computed by SetToolConstraints, applied to the tool panel by the main window.
TSizeConstraints& ToolConstraints();

// The largest minimum width W and height H of the tool forms (a form's minimum is its minimum size, or
// its layout's minimum when that is larger); ToolConstraints := W .. W wide, at least H high; then every
// tool form's own limits are removed.
void SetToolConstraints();
// Through the interface Translate(TitleId); Caption := text TitleId, Hint := text TitleId + 1; the
// tool's action takes both (text, tool tip and status tip).
void RetranslateTools();
void LoadAllToolSettings();
void SaveAllToolSettings();
// The tool of mode's answer to CanStart(panelState); false when mode has no tool.
bool CanLaunchTool(int mode, filelist::TstateOfBrowser* panelState);
// Every tool form visible exactly when its Id is mode.
void ShowTool(int mode);
void LaunchToolOperation(int mode);
// The form of the last tool of mode; nullptr when there is none.
QWidget* ToolForm(int mode);
// Opens the help of mode's tool; false when no tool of mode provides the interface (the caller then
// opens the general help).
bool ToolHelp(int mode);
// ShowTitle((layout & 0x20) != 0) on every tool (the layout bit of the current-directory line).
void ShowToolTitles(std::uint32_t layout);

// The settings file "wux.ini" (a drive path), fixed by the start-up.
const std::string& SettingsFileName();
void SetSettingsFileName(std::string path);
// The settings file as an ini object.
platform::IniFile SettingsIni();

// The compiled help file (a drive path) that every help command opens, fixed by the start-up.
const std::string& HelpFileName();
void SetHelpFileName(std::string path);

} // namespace wux::tools
