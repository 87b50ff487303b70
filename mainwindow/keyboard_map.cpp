#include "mainwindow/keyboard_map.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>

#include "controls/speed_button_new.h"
#include "controls/wux_string_grid.h"
#include "filelist/file_operations.h"
#include "filelist/general_options.h"
#include "mainwindow/browser_form.h"
#include "mainwindow/main_form.h"
#include "mainwindow/mark_commands.h"
#include "mainwindow/quick_search.h"
#include "mainwindow/settings.h"
#include "ui_TMainForm.h"

namespace wux::mainwindow {

namespace {

bool isFunctionKey(int key)
{
    return key >= Qt::Key_F1 && key <= Qt::Key_F12;
}

bool isModifierKey(int key)
{
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta ||
           key == Qt::Key_AltGr;
}

bool isEnter(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

KeyOutcome swallow(KeyAction action, int argument = 0)
{
    return {true, false, action, argument};
}

// With the quick-search line open every key but Caps Lock is the line's.
KeyOutcome quickSearchKey(int key)
{
    switch (key) {
    case Qt::Key_CapsLock:
        return {};
    case Qt::Key_Down:
        return swallow(KeyAction::QuickSearchNext);
    case Qt::Key_Up:
        return swallow(KeyAction::QuickSearchPrevious);
    case Qt::Key_Escape:
    case Qt::Key_Left:
    case Qt::Key_Right:
        return swallow(KeyAction::QuickSearchClose);
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return swallow(KeyAction::QuickSearchClose, 1);
    case Qt::Key_Tab:
        return {false, false, KeyAction::QuickSearchClose, 0};
    case Qt::Key_F8:
    case Qt::Key_Delete:
        return {false, false, KeyAction::QuickSearchToGrid, 0};
    case Qt::Key_F3:
    case Qt::Key_F4:
        return swallow(KeyAction::QuickSearchGridKey, key);
    default:
        break;
    }
    if (isModifierKey(key))
        return swallow(KeyAction::None);
    return swallow(KeyAction::QuickSearchType);
}

// Restores the general option word when a command that changed it for its own length ends.
class OptionWordGuard
{
public:
    explicit OptionWordGuard(std::uint32_t setBits) : saved_(filelist::GeneralCheckContainer.load())
    {
        filelist::GeneralCheckContainer = saved_ | setBits;
    }
    ~OptionWordGuard() { filelist::GeneralCheckContainer = saved_; }
    OptionWordGuard(const OptionWordGuard&) = delete;
    OptionWordGuard& operator=(const OptionWordGuard&) = delete;

private:
    std::uint32_t saved_;
};

int modifierSum(Qt::KeyboardModifiers modifiers)
{
    return ((modifiers & Qt::AltModifier) ? kKeyAlt : 0) +
           ((modifiers & Qt::ControlModifier) ? kKeyCtrl : 0) +
           ((modifiers & Qt::ShiftModifier) ? kKeyShift : 0);
}

void focusGrid(TBrowserForm* panel)
{
    if (panel != nullptr && panel->sgBrowser() != nullptr)
        panel->sgBrowser()->setFocus();
}

} // namespace

KeyOutcome mapShortcut(const KeyStroke& stroke, const KeyboardState& state)
{
    const int key = stroke.key;
    const int mods = stroke.modifiers;
    // 1. While a run is up every key is swallowed.
    if (state.operationBusy)
        return swallow(KeyAction::None);
    // 2. and 3.
    if (mods == kKeyAlt && key == Qt::Key_F4)
        return swallow(KeyAction::ExitApplication);
    if (mods == kKeyCtrl && key == Qt::Key_A && state.panelActive)
        return swallow(KeyAction::SelectAll);
    if (mods == kKeyCtrl && key == Qt::Key_O)
        return swallow(KeyAction::Options);
    // 4. A tool has the keyboard: only Alt+L, to the panel beside the tools.
    if (!state.panelActive) {
        if (mods == kKeyAlt && key == Qt::Key_L && state.panelVisible)
            return swallow(KeyAction::FocusVisiblePanel);
        return {};
    }
    // 5.
    if (!state.panelVisible)
        return {};
    // 6. The plug-ins' keys.
    if (mods == kKeyCtrl + kKeyShift && stroke.digit >= 0 && stroke.digit < state.plugInCount)
        return swallow(KeyAction::PlugIn, stroke.digit);

    KeyOutcome outcome;
    if (mods == 0 || mods == kKeyShift) {
        // 7.
        const int shift = mods == kKeyShift ? 1 : 0;
        switch (key) {
        case Qt::Key_F5:
            return swallow(KeyAction::Copy, shift);
        case Qt::Key_F6:
            return swallow(KeyAction::Move, shift);
        case Qt::Key_F7:
            return swallow(KeyAction::MakeFolder);
        case Qt::Key_F8:
        case Qt::Key_Delete:
            return swallow(KeyAction::Delete, shift);
        case Qt::Key_F4:
            if (shift != 0)
                return swallow(KeyAction::NewFileForEdit);
            break;
        default:
            break;
        }
    } else if (mods == kKeyCtrl) {
        // 8.
        switch (key) {
        case Qt::Key_F1:
            return swallow(KeyAction::ModeBrief);
        case Qt::Key_F2:
            return swallow(KeyAction::ModeFull);
        case Qt::Key_F3:
            return swallow(KeyAction::SortBy, 0);
        case Qt::Key_F4:
            return swallow(KeyAction::SortBy, 1);
        case Qt::Key_F5:
            return swallow(KeyAction::SortBy, 3);
        case Qt::Key_F6:
            return swallow(KeyAction::SortBy, 2);
        default:
            break;
        }
    } else if ((mods & kKeyAlt) != 0) {
        // 9.
        if (isEnter(key))
            return swallow(KeyAction::ItemProperties);
        if (isFunctionKey(key) || isModifierKey(key))
            return {};
        const bool ctrl = (mods & kKeyCtrl) != 0;
        if (!state.quickSearchOpen && (((state.options & kOptionQuickSearchCtrlAlt) != 0 && ctrl) ||
                                       ((state.options & kOptionQuickSearchAlt) != 0 && !ctrl))) {
            outcome = quickSearchKey(key);
            outcome.handled = true;
            outcome.openQuickSearch = true;
            return outcome;
        }
    }
    // 10.
    if (state.quickSearchOpen)
        return quickSearchKey(key);
    return {};
}

int digitOfKey(int key, std::uint32_t nativeVirtualKey, std::uint32_t nativeScanCode)
{
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return key - Qt::Key_0;
    // The digit row's scan codes (X keycodes 10 to 19 are 1 to 9 and 0).
    if (nativeScanCode >= 10 && nativeScanCode <= 19)
        return nativeScanCode == 19 ? 0 : static_cast<int>(nativeScanCode) - 9;
    if (nativeVirtualKey >= '0' && nativeVirtualKey <= '9')
        return static_cast<int>(nativeVirtualKey - '0');
    // The shifted digits of the common layout.
    static constexpr int kShifted[] = {
        Qt::Key_ParenRight, Qt::Key_Exclam,      Qt::Key_At,        Qt::Key_NumberSign, Qt::Key_Dollar,
        Qt::Key_Percent,    Qt::Key_AsciiCircum, Qt::Key_Ampersand, Qt::Key_Asterisk,   Qt::Key_ParenLeft};
    for (int digit = 0; digit < 10; ++digit) {
        if (kShifted[digit] == key)
            return digit;
    }
    return -1;
}

// ---- The dispatcher ----

KeyboardDispatcher::KeyboardDispatcher(TMainForm& window) : QObject(&window), window_(window)
{
    setObjectName(QStringLiteral("KeyboardDispatcher"));
    quickSearch_ = new QuickSearchLine(window);
    // The menus only show their keys: the dispatcher fires them, so no key runs a command twice.
    for (QAction* action : window.findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly))
        action->setShortcutContext(Qt::WidgetShortcut);
    wireMarkCommands(window);
    qApp->installEventFilter(this);
}

KeyboardDispatcher::~KeyboardDispatcher()
{
    qApp->removeEventFilter(this);
}

KeyboardState KeyboardDispatcher::currentState() const
{
    KeyboardState state;
    state.operationBusy = filelist::OperationBusy;
    QWidget* active = window_.ActiveForm();
    state.panelActive = active != nullptr && (active == static_cast<QWidget*>(window_.LeftBrowser()) ||
                                              active == static_cast<QWidget*>(window_.RightBrowser()));
    TBrowserForm* browser = nullptr;
    state.panelVisible = window_.GetActiveBrowser(browser);
    state.quickSearchOpen = quickSearch_->isOpen();
    state.plugInCount = PlugInCount ? PlugInCount() : 0;
    state.options = filelist::GeneralCheckContainer.load();
    return state;
}

bool KeyboardDispatcher::FormShortCut(QKeyEvent& event, Qt::KeyboardModifiers keyboard)
{
    KeyStroke stroke;
    stroke.key = event.key();
    stroke.modifiers = modifierSum(keyboard);
    stroke.digit = digitOfKey(event.key(), event.nativeVirtualKey(), event.nativeScanCode());
    const KeyOutcome outcome = mapShortcut(stroke, currentState());
    apply(outcome, event);
    if (outcome.handled)
        return true;
    return fireMenuShortcut(event);
}

void KeyboardDispatcher::apply(const KeyOutcome& outcome, QKeyEvent& event)
{
    TBrowserForm* panel = nullptr;
    window_.GetActiveBrowser(panel);
    if (outcome.openQuickSearch)
        quickSearch_->open();
    // An open quick search speaks for the panel it was opened on.
    if (quickSearch_->isOpen() && quickSearch_->panel() != nullptr)
        panel = quickSearch_->panel();
    Ui::TMainForm& ui = window_.ui();
    switch (outcome.action) {
    case KeyAction::None:
        break;
    case KeyAction::ExitApplication:
        window_.ExitApplication();
        break;
    case KeyAction::SelectAll:
        ui.mnuSelAll->trigger();
        break;
    case KeyAction::Options:
        window_.actOptionsExecute();
        break;
    case KeyAction::FocusVisiblePanel:
        focusGrid(panel);
        break;
    case KeyAction::PlugIn:
        if (RunPlugIn)
            RunPlugIn(outcome.argument);
        break;
    case KeyAction::Copy:
    case KeyAction::Move:
        focusGrid(panel);
        window_.CopyMoveSelected(outcome.action == KeyAction::Copy ? 1 : 4, outcome.argument != 0);
        break;
    case KeyAction::MakeFolder:
        focusGrid(panel);
        window_.btnMkDirClick();
        break;
    case KeyAction::Delete: {
        const OptionWordGuard guard(outcome.argument != 0 ? kOptionRecycleBin : 0);
        window_.DeleteSelected();
        break;
    }
    case KeyAction::NewFileForEdit:
        window_.NewFileForEdit();
        break;
    case KeyAction::ModeBrief:
        window_.btnSetModeBriefClick(ui.btnSetModeBrief->Tag());
        break;
    case KeyAction::ModeFull:
        window_.btnSetModeBriefClick(ui.btnSetModeFull->Tag());
        break;
    case KeyAction::SortBy:
        if (panel != nullptr)
            panel->SetKindOfSort(outcome.argument);
        break;
    case KeyAction::ItemProperties:
        if (panel != nullptr) {
            int key = Qt::Key_Return;
            panel->sgBrowserKeyDown(key, Qt::AltModifier);
        }
        break;
    case KeyAction::QuickSearchNext:
    case KeyAction::QuickSearchPrevious:
        quickSearch_->searchNext(outcome.action == KeyAction::QuickSearchPrevious);
        break;
    case KeyAction::QuickSearchClose:
        quickSearch_->close(outcome.argument != 0);
        break;
    case KeyAction::QuickSearchToGrid:
        focusGrid(panel);
        break;
    case KeyAction::QuickSearchGridKey:
        focusGrid(panel);
        if (panel != nullptr) {
            int key = outcome.argument;
            panel->sgBrowserKeyDown(key, Qt::NoModifier);
        }
        break;
    case KeyAction::QuickSearchType:
        quickSearch_->typeText(quickSearchText(event.key(), event.modifiers(), event.text()));
        break;
    }
}

bool KeyboardDispatcher::fireMenuShortcut(QKeyEvent& event)
{
    if (isModifierKey(event.key()))
        return false;
    const QKeySequence pressed(QKeyCombination(event.modifiers(), Qt::Key(event.key())));
    // The Mark menu marks in a panel: while a tool has the keyboard its keys stay with the focused box
    // (Ctrl+A selects the text, the keypad's signs are typed).
    const QList<QAction*> markItems =
        currentState().panelActive ? QList<QAction*>() : window_.ui().mnuMMark->actions();
    for (QAction* action : window_.findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!action->isEnabled() || markItems.contains(action))
            continue;
        for (const QKeySequence& shortcut : action->shortcuts()) {
            if (shortcut.matches(pressed) == QKeySequence::ExactMatch) {
                action->trigger();
                return true;
            }
        }
    }
    return false;
}

bool KeyboardDispatcher::FormKeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    const bool keypad = (modifiers & Qt::KeypadModifier) != 0;
    const Qt::KeyboardModifiers plain = modifiers & ~Qt::KeypadModifier;
    const bool ctrl = (plain & Qt::ControlModifier) != 0;
    // 1. Selection by group.
    if (keypad && (key == Qt::Key_Plus || key == Qt::Key_Minus))
        return SelectGroup(window_, key == Qt::Key_Plus, ctrl);
    // 2. The drive box of the left or right panel.
    if (plain == Qt::AltModifier && (key == Qt::Key_F1 || key == Qt::Key_F2)) {
        TBrowserForm* panel = key == Qt::Key_F1 ? window_.LeftBrowser() : window_.RightBrowser();
        if (panel == nullptr || panel->isHidden())
            return false;
        QComboBox* box = panel->cmbDrives();
        if (panel->pnlBrowserToolbar()->isHidden()) {
            box->setParent(panel);
            box->move(0, 0);
            box->show();
            box->raise();
        }
        box->setFocus();
        box->showPopup();
        return true;
    }
    TBrowserForm* browser = nullptr;
    // 3. and 4. The panel's file mask.
    if (plain == Qt::ControlModifier && key == Qt::Key_F10 && window_.GetActiveBrowser(browser)) {
        mnuAllFilesClick(window_);
        return true;
    }
    if (plain == Qt::ControlModifier && key == Qt::Key_F12)
        return AskPanelFilter(window_);
    return false;
}

bool KeyboardDispatcher::belongsToWindow(QObject* watched) const
{
    return watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == &window_;
}

bool KeyboardDispatcher::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type != QEvent::ShortcutOverride && type != QEvent::KeyPress) || !belongsToWindow(watched))
        return false;
    auto& key = static_cast<QKeyEvent&>(*event);
    // An ignored key travels on to the parents: only its first receiver counts.
    const SeenKey seen{event, type, key.timestamp(), key.key()};
    if (seen == lastSeen_)
        return false;
    lastSeen_ = seen;
    if (type == QEvent::ShortcutOverride) {
        swallowNextPress_ = false;
        const Qt::KeyboardModifiers keyboard =
            KeyboardStateSource ? KeyboardStateSource() : QGuiApplication::queryKeyboardModifiers();
        if (FormShortCut(key, keyboard)) {
            // The press that follows is the one just handled.
            event->accept();
            swallowNextPress_ = true;
            return true;
        }
        return false;
    }
    if (swallowNextPress_) {
        swallowNextPress_ = false;
        return true;
    }
    return FormKeyDown(key.key(), key.modifiers());
}

} // namespace wux::mainwindow
