// The main window's keyboard: the map from a key, its modifiers and the window's state to what the
// key does (a pure function), and the dispatcher that applies it to every key of the main window.
//
// Order of a key's evaluation: the shortcut map below, then the main window's menu shortcuts (the
// menu items only show their keys, the dispatcher fires them), then the key-down commands (selection
// by mask, filters, drive boxes), then the focused widget. A step that swallows the key ends the
// evaluation, so no key runs a command twice.
#pragma once

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>

#include "mainwindow/settings.h"

class QAction;
class QKeyEvent;
class QWidget;

namespace wux::mainwindow {

class TMainForm;
class TBrowserForm;
class QuickSearchLine;

// The modifiers as the shortcut map counts them; the sum decides.
inline constexpr int kKeyAlt = 1;
inline constexpr int kKeyCtrl = 2;
inline constexpr int kKeyShift = 4;

enum class KeyAction
{
    None,
    ExitApplication,     // Alt+F4
    SelectAll,           // Ctrl+A: the Mark menu's Select all
    Options,             // Ctrl+O
    FocusVisiblePanel,   // Alt+L from a tool
    PlugIn,              // Ctrl+Shift+digit: argument = the digit
    Copy,                // F5: argument 1 = in place (Shift)
    Move,                // F6: argument 1 = in place
    MakeFolder,          // F7
    Delete,              // F8, Delete: argument 1 = to the Trash (Shift)
    NewFileForEdit,      // Shift+F4
    ModeBrief,           // Ctrl+F1
    ModeFull,            // Ctrl+F2
    SortBy,              // Ctrl+F3..F6: argument = the column
    ItemProperties,      // Alt+Enter: the panel's Alt+Enter
    QuickSearchNext,     // Down in the quick-search line
    QuickSearchPrevious, // Up
    QuickSearchClose,    // Escape, Enter, Tab, Left, Right: argument 1 = open the item (Enter)
    QuickSearchToGrid,   // F8, Delete with the line open: the grid takes the key
    QuickSearchGridKey,  // F3, F4 with the line open: argument = the key
    QuickSearchType,     // any other key with the line open: its characters
};

// A key as the map sees it.
struct KeyStroke
{
    int key = 0;       // Qt::Key
    int modifiers = 0; // sum of kKeyAlt, kKeyCtrl, kKeyShift (from the keyboard's state)
    int digit = -1;    // the digit key's value whatever the layout made of it, else -1
};

// What the map needs to know of the window.
struct KeyboardState
{
    bool operationBusy = false;   // a run is up
    bool panelActive = false;     // the active form is a panel (not a tool)
    bool panelVisible = false;    // that panel (or, from a tool, the panel beside the tools) is visible
    bool quickSearchOpen = false; // the quick-search line is shown
    int plugInCount = 0;
    std::uint32_t options = 0; // the general option word
};

// What a key does: handled swallows the key; openQuickSearch shows the line before the action.
struct KeyOutcome
{
    bool handled = false;
    bool openQuickSearch = false;
    KeyAction action = KeyAction::None;
    int argument = 0;

    friend bool operator==(const KeyOutcome&, const KeyOutcome&) = default;
};

KeyOutcome mapShortcut(const KeyStroke& stroke, const KeyboardState& state);

// The digit a key stands for: Qt's digit keys, else the layout-independent native key or scan code
// of the digit row (Ctrl+Shift+1 arrives as "!" on many layouts); -1 for any other key.
int digitOfKey(int key, std::uint32_t nativeVirtualKey, std::uint32_t nativeScanCode);

// Where the map's modifiers come from; empty: the keyboard's state at this moment. Tests set it.
inline std::function<Qt::KeyboardModifiers()> KeyboardStateSource;

// The application-wide key filter of one main window (a child of the window).
class KeyboardDispatcher : public QObject
{
    Q_OBJECT
public:
    explicit KeyboardDispatcher(TMainForm& window);
    ~KeyboardDispatcher() override;

    // The shortcut map and the menu table for one key (true: swallowed).
    bool FormShortCut(QKeyEvent& event, Qt::KeyboardModifiers keyboard);
    // The key-down commands (true: swallowed); modifiers are the event's.
    bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers);
    // The window's state as the map sees it.
    KeyboardState currentState() const;

    QuickSearchLine& quickSearch() { return *quickSearch_; }
    // The plug-ins' menu items (none before the plug-in host is loaded).
    std::function<int()> PlugInCount;
    std::function<void(int)> RunPlugIn;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void apply(const KeyOutcome& outcome, QKeyEvent& event);
    bool fireMenuShortcut(QKeyEvent& event);
    bool belongsToWindow(QObject* watched) const;

    TMainForm& window_;
    QuickSearchLine* quickSearch_ = nullptr;
    bool swallowNextPress_ = false;
    struct SeenKey
    {
        const QEvent* event = nullptr;
        int type = 0;
        quint64 timestamp = 0;
        int key = 0;
        bool operator==(const SeenKey&) const = default;
    };
    SeenKey lastSeen_;
};

} // namespace wux::mainwindow
