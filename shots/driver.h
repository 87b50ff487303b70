// The screenshot driver's hands on the program (the main window and its panels, reached through the
// program's own commands) and its table of pictures: scenes that bring windows up and take them.
#pragma once

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QPlainTextEdit>
#include <QTest>

#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "filelist/drive_list.h"
#include "mainwindow/browser_form.h"
#include "mainwindow/keyboard_map.h"
#include "mainwindow/main_form.h"
#include "mainwindow/settings.h"
#include "platform/dialogs.h"
#include "platform/fault_injection.h"
#include "shots/shooter.h"
#include "tools/query_dialog.h"

namespace wux::shots {

using mainwindow::TBrowserForm;
using mainwindow::TMainForm;

// ---- The program's state, reached as the user reaches it ----

// File dialogs answered from a queue (a system dialog would block the run); every other box is real.
class ShotDialogService : public platform::QtDialogService
{
public:
    std::string fileDialog(const platform::FileDialogRequest&) override
    {
        if (files.empty())
            return "";
        std::string answer = files.front();
        files.pop_front();
        return answer;
    }
    std::deque<std::string> files;
};

struct Program
{
    TMainForm* window = nullptr;
    ShotDialogService* dialogs = nullptr;

    template <typename T = QWidget> T* child(const char* name) const
    {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    void trigger(const char* action) const
    {
        if (auto* item = child<QAction>(action))
            item->trigger();
        else
            std::fprintf(stderr, "no action %s\n", action);
        Shooter::settle();
    }
    TBrowserForm& left() const { return *window->LeftBrowser(); }
    void activate(TBrowserForm& panel) const
    {
        window->activateWindow();
        panel.sgBrowser()->setFocus();
        window->SetActiveForm(&panel);
        Shooter::settle();
    }
    void key(TBrowserForm& panel, Qt::Key key) const
    {
        activate(panel);
        QTest::keyClick(panel.sgBrowser(), key);
    }
    // A key with modifier keys held down: the program reads the keyboard's state for them, which the
    // driver stands in for while the key is sent. text: what the keyboard sends (control characters
    // for Ctrl+letter).
    void keyHeld(QWidget* to, Qt::Key key, Qt::KeyboardModifiers held, const QString& text = {}) const
    {
        mainwindow::KeyboardStateSource = [held] { return held; };
        QTest::sendKeyEvent(QTest::Press, to, key, text, held);
        QTest::sendKeyEvent(QTest::Release, to, key, text, held);
        mainwindow::KeyboardStateSource = nullptr;
        Shooter::settle();
    }
    void go(TBrowserForm& panel, const std::string& folder, const std::string& cursor = "") const
    {
        activate(panel);
        panel.ChangeDirectory(folder, cursor);
        if (!cursor.empty()) {
            panel.PlaceCursorOnName(cursor);
            panel.PositionCursor(panel.Cursor(), -1, -1);
        }
        Shooter::settle();
    }
    void drive(TBrowserForm& panel, char letter) const
    {
        activate(panel);
        panel.btnSetDrive(filelist::FindDriveIndex(letter, filelist::DriveList));
        Shooter::settle();
    }
    // Views of the active panel: 1 brief, 2 full, 3 tree (the view buttons' tags).
    void view(int tag) const
    {
        window->btnSetModeBriefClick(tag);
        Shooter::settle();
    }
    void layout(std::uint32_t bits) const
    {
        mainwindow::Layout = bits;
        mainwindow::ApplyScreenLayout(*window);
        Shooter::settle(150);
    }
    // A control of one tool form (the forms share control names).
    template <typename T> T* control(const char* form, const char* name) const
    {
        auto* owner = child<QWidget>(form);
        return owner != nullptr ? owner->findChild<T*>(QString::fromLatin1(name)) : nullptr;
    }
    void setText(const char* form, const char* name, const QString& text) const
    {
        if (auto* edit = control<QPlainTextEdit>(form, name))
            edit->setPlainText(text);
        else if (auto* box = control<QComboBox>(form, name))
            box->setEditText(text);
        else
            std::fprintf(stderr, "no text box %s in %s\n", name, form);
    }
    void click(const char* form, const char* name) const
    {
        if (auto* button = control<QAbstractButton>(form, name))
            button->click();
        else
            std::fprintf(stderr, "no button %s in %s\n", name, form);
        Shooter::settle();
    }
};

// Every bar the options can show: main toolbar, function keys, each panel's drive bar, drive box,
// header, current folder, status line and Basket line (the shared drive bar is the default's).
constexpr std::uint32_t kEveryBar = mainwindow::kLayoutMainToolbar | mainwindow::kLayoutFunctionKeys |
                                    mainwindow::kLayoutPanelDriveBars | mainwindow::kLayoutDriveCombo |
                                    mainwindow::kLayoutHeader | mainwindow::kLayoutCurrentDirectory |
                                    mainwindow::kLayoutStatusLine;

// ---- The table of pictures ----

struct Picture
{
    const char* file;
    const char* description;
};

struct Scene
{
    std::vector<Picture> pictures;
    // Brings the windows up and takes each picture with take(index, window).
    std::function<void(const Program&, Shooter&, const std::function<void(std::size_t, QWidget*)>&)> play;
};

using Take = std::function<void(std::size_t, QWidget*)>;

// A modal window of type T: its picture, then Escape's answer.
template <typename T> ModalStep shootAndClose(const Take& take, std::size_t index)
{
    return {[](QWidget* top) { return modalAs<T>(top) != nullptr; },
            [take, index](QWidget* top) {
                take(index, top);
                if (auto* dialog = qobject_cast<QDialog*>(top))
                    dialog->reject();
            }};
}

// A run held at a known point: injectHold stops its thread at an operation on a file, and this step is
// ready once the thread waits there with the window of type T up. act takes the pictures (the window
// has taken in everything the run did before); then the run goes on, unless keepHolding.
template <typename T> ModalStep whileHeld(std::function<void(QWidget*)> act, bool keepHolding = false)
{
    return {[](QWidget* top) { return modalAs<T>(top) != nullptr && platform::heldThreads() > 0; },
            [act, keepHolding](QWidget* top) {
                Shooter::settle(150);
                act(top);
                if (!keepHolding)
                    platform::releaseHolds();
            }};
}

// The query dialog of a command: its picture, then Cancel.
inline Scene queryScene(Picture picture, std::function<void(const Program&)> command)
{
    return {{picture}, [command, picture](const Program& program, Shooter& shooter, const Take& take) {
                shooter.whileModal(picture.file, [&] { command(program); },
                                   {shootAndClose<tools::TStandardQuery>(take, 0)});
            }};
}

// The scenes of the states a window passes through (menus, questions, filters, errors); extra files
// they need are made by makeStateFiles under the drives' base folder.
std::vector<Scene> windowStateScenes();
void makeStateFiles(const std::string& base);

} // namespace wux::shots
