// The real main window over a temporary drive c: and a settings file of its own, and the helpers
// that answer its modal dialogs.
#pragma once

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

#include "controls/wux_string_grid.h"
#include "filelist/drive_list.h"
#include "filelist/list_operations.h"
#include "filelist/operation_cursor.h"
#include "mainwindow/browser_form.h"
#include "mainwindow/main_form.h"
#include "settings_fixture.h"
#include "tools/query_dialog.h"

namespace wux::mainwindow::test {

// What a query dialog showed before the test answered it.
struct QueryRecord
{
    std::string caption;
    std::string prompt;
    std::string input;
    bool inputVisible = false;
    bool sendVisible = false;
    bool sendEnabled = false;
    QSize size;
};

class MainFormTest : public SettingsTest
{
protected:
    MainFormTest()
    {
        static const bool registered = [] {
            filelist::RegisterDriveListTexts();
            RegisterBrowserTexts();
            tools::registerQueryDialogTexts();
            registerMainFormTexts();
            return true;
        }();
        (void)registered;
        DriveDirectories.clear();
        // No Trash and no question about non-empty folders unless a test asks for them; no tip window.
        filelist::GeneralCheckContainer = filelist::kDefaultGeneralCheckContainer;
    }
    ~MainFormTest() override { closeWindow(); }

    // The settings file's text before the window is made.
    void writeIni(const std::string& text) { wux::test::createFile(iniPath, text); }
    // The usual start: no tip, no Trash, the left panel on folder left, the right on folder right.
    void startIn(const std::string& left, const std::string& right, const std::string& extraMainForm = "")
    {
        writeIni("[MainForm]\r\nShowTips=0\r\nGeneralCheckContainer=" + std::to_string(0x7A7D & ~0x4) +
                 "\r\n" + extraMainForm + "[BROWSER_LEFT]\r\nDirectory=" + left +
                 "\r\n[BROWSER_RIGHT]\r\nDirectory=" + right + "\r\n");
        open();
    }
    void open()
    {
        window = std::make_unique<TMainForm>();
        window->resize(800, 600);
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        QApplication::processEvents();
        QApplication::processEvents();
    }
    void closeWindow()
    {
        if (window) {
            window->close();
            window.reset();
        }
    }

    TBrowserForm& left() { return *window->LeftBrowser(); }
    TBrowserForm& right() { return *window->RightBrowser(); }
    // A component of the main window by its name.
    template <typename T = QWidget> T* child(const char* name)
    {
        T* found = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QAction* action(const char* name) { return child<QAction>(name); }

    // Puts the panel's cursor on a name and gives the panel the focus.
    void cursorOn(TBrowserForm& panel, const std::string& name)
    {
        window->SetActiveForm(&panel);
        panel.PlaceCursorOnName(name);
        panel.PositionCursor(panel.Cursor(), -1, -1);
    }
    std::string cursorName(TBrowserForm& panel)
    {
        std::string name;
        panel.GetItemNameAt(panel.Cursor(), name);
        return name;
    }
    std::string folderOf(TBrowserForm& panel) { return filelist::FolderPathAsStored(1, panel.Listing()); }

    // Answers the next query dialog: records what it shows, then runs answer on it (which clicks OK or
    // Cancel, or leaves it to Enter).
    void onQuery(std::function<void(tools::TStandardQuery&)> answer)
    {
        auto* timer = new QTimer;
        timer->setInterval(5);
        QObject::connect(timer, &QTimer::timeout, timer, [this, timer, answer] {
            tools::TStandardQuery* dialog = tools::StandardQuery;
            if (dialog == nullptr || !dialog->isVisible())
                return;
            timer->stop();
            timer->deleteLater();
            QueryRecord record;
            record.caption = dialog->windowTitle().toStdString();
            record.prompt = dialog->lblInfo()->text().toStdString();
            record.input = dialog->edInfo()->text().toStdString();
            record.inputVisible = dialog->edInfo()->isVisible();
            record.sendVisible = dialog->chkSend()->isVisible();
            record.sendEnabled = dialog->chkSend()->isEnabled();
            record.size = dialog->size();
            queries.push_back(record);
            answer(*dialog);
        });
        timer->start();
    }
    static void ok(tools::TStandardQuery& dialog) { QTest::mouseClick(dialog.btnOK(), Qt::LeftButton); }
    static void cancel(tools::TStandardQuery& dialog)
    {
        QTest::mouseClick(dialog.btnCancel(), Qt::LeftButton);
    }
    static std::function<void(tools::TStandardQuery&)> typeAndOk(const std::string& text)
    {
        return [text](tools::TStandardQuery& dialog) {
            dialog.edInfo()->setText(QString::fromStdString(text));
            QTest::keyClick(dialog.edInfo(), Qt::Key_Return);
        };
    }

    // A key as the user presses it in the active panel's grid.
    void press(TBrowserForm& panel, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        panel.sgBrowser()->setFocus();
        QTest::keyClick(panel.sgBrowser(), key, modifiers);
        QApplication::processEvents();
    }

    ScopedEnv data{"XDG_DATA_HOME", posix("data-home")};
    std::unique_ptr<TMainForm> window;
    std::vector<QueryRecord> queries;
};

} // namespace wux::mainwindow::test
