// The whole program as a user meets it: the start-up's own entry builds the main window over a program
// folder and settings of its own on temporary drives, and a journey drives it with keys and mouse clicks
// inside the program's message loop. Only the system's dialogs (message boxes, file dialogs) are
// answered by the scripted dialog service; the program's own windows are answered with clicks and keys.
#pragma once

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "controls/vyk_header.h"
#include "controls/wux_string_grid.h"
#include "filelist/active_panel.h"
#include "mainwindow/browser_form.h"
#include "mainwindow/main_form.h"
#include "platform/dialogs.h"
#include "platform/fault_injection.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::e2e {

using mainwindow::TBrowserForm;
using mainwindow::TMainForm;
using wux::test::createFile;
using wux::test::exists;
using wux::test::makeFolder;
using wux::test::readFileBytes;

// Sets an environment variable for the length of a scope.
class EnvVar
{
public:
    EnvVar(const char* name, const std::string& value);
    ~EnvVar();
    EnvVar(const EnvVar&) = delete;
    EnvVar& operator=(const EnvVar&) = delete;

private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

class Journey : public ::testing::Test
{
public:
    Journey();
    ~Journey() override;

    // The settings file before the program starts: no tip of the day unless asked for, the left panel
    // on folder left and the right on folder right (drive paths).
    void settings(const std::string& left, const std::string& right, const std::string& more = "");
    // Runs the program as its entry does and the journey inside its message loop; the journey ends by
    // quitting (Alt+F4), or the loop is ended for it. Returns the program's exit code.
    int run(const std::function<void()>& journey);

    // ---- The user's hands ----
    // A key (with its modifier keys held down first) to the widget with the focus.
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void keys(std::initializer_list<Qt::Key> keys);
    // Text typed into the widget with the focus.
    void type(const QString& text);
    void click(QWidget* widget, Qt::KeyboardModifiers modifiers = Qt::NoModifier, QPoint at = QPoint());
    // A menu item chosen with the mouse: the menu bar's title, then the item.
    void menu(const char* menuName, const char* itemName);
    // A panel made active by a click into its grid, its cursor moved to name with the arrow keys.
    // A page of the options dialog opened by a click on its entry in the page tree.
    void openOptionsPage(QWidget& options, const char* pageName);
    void focus(TBrowserForm& panel);
    void cursorTo(TBrowserForm& panel, const std::string& name);
    // Runs act on the next modal window of type T once it is shown (act clicks or types its answer).
    template <typename T> void when(std::function<void(T&)> act, std::function<bool(T&)> ready = {});
    // The query dialog answered: text typed over its proposal (unless empty) and OK clicked; the
    // prompt it showed is added to prompts.
    void answerQuery(const std::string& text = "", bool ok = true);

    // ---- What the user sees ----
    TBrowserForm& left() { return *window->LeftBrowser(); }
    TBrowserForm& right() { return *window->RightBrowser(); }
    // The rows of a panel as its grid shows them: names, "[..]" for the parent row, joined by "|".
    std::string rows(TBrowserForm& panel);
    // The rows of a panel's Basket view: folder headers as "<folder>", items by name.
    std::string basketRows(TBrowserForm& panel);
    // The marked rows.
    std::string marked(TBrowserForm& panel);
    std::string cursorName(TBrowserForm& panel);
    // The panel's status line: its simple text, or its panels joined by "|".
    std::string status(TBrowserForm& panel);
    std::string folder(TBrowserForm& panel);
    template <typename T = QWidget> T* child(const char* name, QObject* root = nullptr)
    {
        T* found = (root ? root : window)->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QAction* action(const char* name) { return child<QAction>(name); }
    // The folder's names on disk, sorted, joined by "|".
    std::string onDisk(const std::string& relative, char letter = 'c');

    wux::test::TempDrive drive{"cd"};
    platform::ScopedFaultClear faults;
    EnvVar config{"XDG_CONFIG_HOME", drive.posix("config")};
    EnvVar data{"XDG_DATA_HOME", drive.posix("data-home")};
    platform::ScriptedDialogService dialogs;
    platform::ScopedDialogService dialogScope{dialogs};
    std::string programFolder = drive.path("prog");
    std::string iniPath = drive.path("prog\\wux.ini");
    TMainForm* window = nullptr;
    std::vector<std::string> prompts;
    QObject pending; // the answers still waiting for their window
};

template <typename T> void Journey::when(std::function<void(T&)> act, std::function<bool(T&)> ready)
{
    auto* timer = new QTimer(&pending);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act, ready] {
        T* shown = qobject_cast<T*>(QApplication::activeModalWidget());
        if (shown == nullptr || !shown->isVisible() || (ready && !ready(*shown)))
            return;
        timer->stop();
        timer->deleteLater();
        act(*shown);
    });
    timer->start();
}

} // namespace wux::e2e
