// The host of the tool windows: what the Finder, Replacer, Batch Replacer and Renamer windows, their
// run and results windows and the query dialog need of the main window. The main window implements it
// and installs itself with setToolHost when it is created (and removes itself with setToolHost(nullptr)
// when it is destroyed); tests install a double.
//
// Without a host the windows still work: they keep their own place and size, centre nowhere, give
// their message boxes no caption and enable or disable nothing.
#pragma once

#include <QRect>

#include <string>

class QWidget;

namespace wux::tools {

class IToolHost
{
public:
    virtual ~IToolHost() = default;

    // The main window's frame on the screen: Left, Top, Width and Height with the window's border and
    // caption included (the geometry the run window covers and the dialogs are centred over).
    virtual QRect MainBounds() const = 0;
    // The main window's caption (the title of the tool windows' message boxes).
    virtual std::string MainCaption() const = 0;
    // The height of the main window's toolbar band ControlBarMain (0 while it is hidden).
    virtual int ControlBarMainHeight() const = 0;
    // Enables or disables the main window's menus, toolbars and panels while a run's window is up.
    virtual void EnableMainControls(bool Enable) = 0;
    // The main window as a widget: the owner of the tool windows' modal dialogs (nullptr: none).
    virtual QWidget* MainWidget() const = 0;
};

// Installs the host (nullptr: none) and returns the one it replaces. The caller keeps ownership and
// keeps it alive while installed. GUI thread only.
IToolHost* setToolHost(IToolHost* host);
// The installed host, or nullptr.
IToolHost* toolHost();

// Installs a host for the length of a scope (tests).
class ScopedToolHost
{
public:
    explicit ScopedToolHost(IToolHost& host) : previous_(setToolHost(&host)) {}
    ~ScopedToolHost() { setToolHost(previous_); }
    ScopedToolHost(const ScopedToolHost&) = delete;
    ScopedToolHost& operator=(const ScopedToolHost&) = delete;

private:
    IToolHost* previous_;
};

// The host's caption, or "" without a host.
std::string hostCaption();
// Opens a help page ("SEARCH_REPLACE_RESULTS.htm") of the program's help file (HelpFileName).
void showToolHelp(const std::string& topicPage);

} // namespace wux::tools
