// The main window's controls as a user meets them on an X desktop: the favourites popup of each drive
// bar, the mode, function-key and drive buttons, the drive box of Alt+F1 and Alt+F2, quick search with
// Ctrl+Alt and a letter, Tab between the panels, proposals replaced by typing, and files opened with
// the viewer and the editor.
#include "filelist/general_options.h"
#include "journey.h"

#include <sys/stat.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QStackedWidget>
#include <QToolButton>
#include <QTreeWidget>

#include "controls/speed_button_new.h"
#include "filelist/drive_list.h"
#include "filelist/item_actions.h"
#include "mainwindow/drive_bar.h"
#include "mainwindow/options_dialog.h"
#include "mainwindow/settings.h"
#include "platform/ini_file.h"
#include "platform/shell/program_starter.h"
#include "tools/query_dialog.h"
#include "tools/tool_list.h"
#include "ui_TMainForm.h"

namespace wux::e2e {
namespace {

using platform::shell::RecordingProgramStarter;

// The settings line that shows every bar: function keys, the panels' drive bars, the shared bar.
const std::string kAllBars = "Layout=" +
                             std::to_string(mainwindow::kDefaultLayout | mainwindow::kLayoutFunctionKeys |
                                            mainwindow::kLayoutPanelDriveBars) +
                             "\r\n";

class Controls : public Journey
{
public:
    void favourites(const std::vector<std::pair<std::string, std::string>>& list)
    {
        platform::StringList names;
        platform::StringList folders;
        for (const auto& [name, where] : list) {
            names.add(name);
            folders.add(where);
        }
        platform::IniFile ini(iniPath);
        ini.writeBinaryStream(mainwindow::kFavoritesSection, "F_NAMES", names.text());
        ini.writeBinaryStream(mainwindow::kFavoritesSection, "F_DIRECTORIES", folders.text());
    }
    // The favourites button of a drive bar clicked, and an item of the popup chosen with the mouse.
    void pickFavourite(QWidget* bar, const std::string& caption)
    {
        ASSERT_NE(bar, nullptr);
        auto* button = bar->findChild<QToolButton*>("btnFavorites");
        ASSERT_NE(button, nullptr);
        QMenu* popup = window->FavoritesMenu();
        auto* timer = new QTimer(&pending);
        timer->setInterval(5);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, popup, caption] {
            if (!popup->isVisible())
                return;
            timer->stop();
            timer->deleteLater();
            for (QAction* item : popup->actions())
                if (item->text().toStdString() == caption) {
                    QTest::mouseClick(popup, Qt::LeftButton, Qt::NoModifier,
                                      popup->actionGeometry(item).center());
                    return;
                }
            ADD_FAILURE() << caption;
            popup->close();
        });
        timer->start();
        click(button);
        QApplication::processEvents();
    }
    // What the message boxes said since the last look.
    std::vector<std::string> boxes()
    {
        std::vector<std::string> said = dialogs.texts();
        said.erase(said.begin(), said.begin() + static_cast<std::ptrdiff_t>(std::min(seen, said.size())));
        seen += said.size();
        return said;
    }
    QComboBox* driveBox(TBrowserForm& panel) { return panel.cmbDrives(); }
    Ui::TMainForm& ui() { return window->ui(); }

    std::size_t seen = 0;
    EnvVar home{"HOME", drive.posix("home")};
};

TEST_F(Controls, TheFavouritesPopupActsOnThePanelWhoseBarOpenedItAlsoAfterTheBarsAreRebuilt)
{
    makeFolder(drive.path("work\\one"));
    makeFolder(drive.path("work\\two"));
    createFile(programFolder + "\\deutsch.lng", "424=&Dateien\r\n");
    settings(drive.path("work\\two"), drive.path("work\\two"), kAllBars);
    favourites({{"One", drive.path("work\\one")}, {"Two", drive.path("work\\two\\")}});
    EXPECT_EQ(run([&] {
                  focus(left());
                  // The right panel's bar opened it while the left panel is active: the right one goes.
                  pickFavourite(right().pnlDisks(), "One");
                  EXPECT_EQ(folder(right()), drive.path("work\\one"));
                  EXPECT_EQ(folder(left()), drive.path("work\\two"));
                  // The shared bar belongs to no panel: the active one goes.
                  pickFavourite(child<QWidget>("pnlWithImgDrives"), "One");
                  EXPECT_EQ(folder(left()), drive.path("work\\one"));
                  pickFavourite(left().pnlDisks(), "Two");
                  EXPECT_EQ(folder(left()), drive.path("work\\two"));

                  // Another language builds the drive bars again: the buttons that opened the popup are
                  // gone, the new ones serve as well.
                  when<mainwindow::TOptions>([&](mainwindow::TOptions& options) {
                      openOptionsPage(options, "tsLanguage");
                      auto* list = options.findChild<QListWidget*>("lstLanguage");
                      click(list->viewport(), Qt::NoModifier, list->visualItemRect(list->item(1)).center());
                      click(options.findChild<QWidget*>("btnOk"));
                  });
                  key(Qt::Key_O, Qt::ControlModifier);
                  EXPECT_EQ(child<QMenu>("mnuMFile")->title().toStdString(), "&Dateien");
                  pickFavourite(right().pnlDisks(), "Two");
                  EXPECT_EQ(folder(right()), drive.path("work\\two"));
                  EXPECT_EQ(folder(left()), drive.path("work\\two"));
                  pickFavourite(left().pnlDisks(), "One");
                  EXPECT_EQ(folder(left()), drive.path("work\\one"));
                  EXPECT_EQ(folder(right()), drive.path("work\\two"));
                  EXPECT_TRUE(boxes().empty());
                  key(Qt::Key_F4, Qt::AltModifier);
              }),
              0);
}

TEST_F(Controls, AFavouriteThatIsNoReachableFolderLeavesThePanelWhereItIsAndSaysWhy)
{
    makeFolder(drive.path("work"));
    createFile(drive.path("work\\notes.txt"), "n");
    ASSERT_EQ(::mkfifo(drive.posix("work/pipe").c_str(), 0600), 0);
    makeFolder(drive.path("home"));
    settings(drive.path("work"), drive.path("work"), kAllBars);
    favourites({{"Gone", drive.path("work\\gone")},
                {"File", drive.path("work\\notes.txt")},
                {"Pipe", drive.path("work\\pipe")},
                {"Share", "\\\\server\\share"}});
    EXPECT_EQ(
        run([&] {
            focus(left());
            struct Row
            {
                const char* caption;
                std::string said;
            };
            const Row cases[] = {
                {"Gone", drive.path("work\\gone") + "\r\nThe system cannot find the file specified."},
                {"File", drive.path("work\\notes.txt") + "\r\nThe directory name is invalid."},
                {"Pipe", drive.path("work\\pipe") + "\r\nThe directory name is invalid."},
                {"Share", "\\\\server\\share\r\nThe system cannot find the path specified."},
                {"Desktop", drive.path("home\\Desktop") + "\r\nThe system cannot find the file specified."},
            };
            for (const Row& row : cases) {
                SCOPED_TRACE(row.caption);
                pickFavourite(left().pnlDisks(), row.caption);
                EXPECT_EQ(folder(left()), drive.path("work"));
                EXPECT_EQ(rows(left()), "[..]|notes.txt|pipe");
                EXPECT_EQ(boxes(), std::vector<std::string>{row.said});
            }
            // Once the desktop folder is there, "Desktop" goes to it.
            makeFolder(drive.path("home\\Desktop"));
            pickFavourite(left().pnlDisks(), "Desktop");
            EXPECT_EQ(folder(left()), drive.path("home\\Desktop"));
            EXPECT_TRUE(boxes().empty());
            key(Qt::Key_F4, Qt::AltModifier);
        }),
        0);
}

TEST_F(Controls, EveryModeFunctionKeyAndDriveButtonDoesWhatItsKeyDoes)
{
    createFile(drive.path("work\\a.txt"), "a");
    createFile(drive.path("work\\b.txt"), "b");
    makeFolder(drive.path("dest"));
    createFile(drive.path("other\\x.txt", 'd'), "x");
    settings(drive.path("work"), drive.path("dest"),
             kAllBars + "GeneralCheckContainer=" +
                 std::to_string(filelist::kDefaultGeneralCheckContainer & ~0x4u) + "\r\n");
    RecordingProgramStarter starter;
    platform::shell::ScopedProgramStarter starterScope(starter);
    const int code = run([&] {
        // The mode buttons switch the mode as Ctrl+1 to Ctrl+5 do.
        const std::pair<controls::TSpeedButtonNew*, int> modes[] = {{ui().btnTool1, 2},
                                                                    {ui().btnTool2, 3},
                                                                    {ui().btnTool3, 4},
                                                                    {ui().btnTool4, 5},
                                                                    {ui().btnMdBrowser, 1}};
        for (const auto& [button, mode] : modes) {
            SCOPED_TRACE(button->objectName().toStdString());
            click(button);
            QApplication::processEvents();
            EXPECT_EQ(mainwindow::CurrentMode, mode);
            EXPECT_TRUE(button->Down());
            if (mode != 1) {
                EXPECT_TRUE(tools::ToolForm(mode)->isVisible());
            }
            EXPECT_EQ(left().isVisible() && right().isVisible(), mode == 1);
        }

        // The function keys' buttons.
        cursorTo(left(), "a.txt");
        click(ui().btnViewF3);
        click(ui().btnEdit);
        ASSERT_EQ(starter.calls().size(), 2u);
        for (const auto& call : starter.calls())
            EXPECT_EQ(call.url.toLocalFile().toStdString(), drive.posix("work/a.txt"));
        answerQuery();
        click(ui().btnCopy);
        EXPECT_EQ(onDisk("dest"), "a.txt");
        cursorTo(left(), "b.txt");
        answerQuery();
        click(ui().btnRenMove);
        EXPECT_EQ(onDisk("dest"), "a.txt|b.txt");
        EXPECT_EQ(onDisk("work"), "a.txt");
        answerQuery("made");
        click(ui().btnMkDir);
        EXPECT_EQ(onDisk("work"), "a.txt|made");
        cursorTo(left(), "a.txt");
        answerQuery();
        click(ui().btnDelete);
        EXPECT_EQ(onDisk("work"), "made");

        // The shared bar's drive button sends the active panel, a panel's own button that panel.
        EXPECT_EQ(window->ActiveForm(), &left());
        auto* shared = child<mainwindow::TDriveBar>("pnlWithImgDrives");
        click(shared->DriveButton(filelist::FindDriveIndex('d', filelist::DriveList)));
        EXPECT_EQ(folder(left()), "d:");
        EXPECT_EQ(folder(right()), drive.path("dest"));
        click(right().pnlDisks()->DriveButton(filelist::FindDriveIndex('d', filelist::DriveList)));
        EXPECT_EQ(folder(right()), "d:");
        EXPECT_EQ(window->ActiveForm(), &right());
        EXPECT_TRUE(dialogs.texts().empty());
        click(ui().btnExit);
    });
    EXPECT_EQ(code, 0) << "the Exit button ends the program";
}

TEST_F(Controls, AltF1AndAltF2DropTheDriveBoxDownOverThePanelAndPutItBack)
{
    createFile(drive.path("work\\a.txt"), "a");
    createFile(drive.path("other\\x.txt", 'd'), "x");
    settings(drive.path("work"), drive.path("work"));
    EXPECT_EQ(run([&] {
                  focus(left());
                  QComboBox* box = driveBox(left());
                  QWidget* bar = left().pnlBrowserToolbar();
                  EXPECT_FALSE(bar->isVisible()) << "the default layout has no drive boxes";
                  key(Qt::Key_F1, Qt::AltModifier);
                  QTest::qWait(50);
                  EXPECT_EQ(box->parentWidget(), &left());
                  EXPECT_TRUE(box->isVisible());
                  EXPECT_TRUE(box->view()->isVisible()) << "the list stays down";
                  // Escape closes the list; the box goes back and the list has the keyboard again.
                  key(Qt::Key_Escape);
                  QTest::qWait(20);
                  EXPECT_FALSE(box->view()->isVisible());
                  EXPECT_EQ(box->parentWidget(), bar);
                  EXPECT_FALSE(box->isVisible());
                  EXPECT_EQ(QApplication::focusWidget(), left().sgBrowser());
                  EXPECT_EQ(folder(left()), drive.path("work"));

                  // Alt+F2: a drive chosen in the list with the keys.
                  key(Qt::Key_F2, Qt::AltModifier);
                  QTest::qWait(50);
                  QComboBox* rightBox = driveBox(right());
                  EXPECT_EQ(rightBox->parentWidget(), &right());
                  ASSERT_TRUE(rightBox->view()->isVisible());
                  const int from = filelist::FindDriveIndex('c', filelist::DriveList);
                  const int to = filelist::FindDriveIndex('d', filelist::DriveList);
                  for (int step = from; step != to; step += to > from ? 1 : -1)
                      key(to > from ? Qt::Key_Down : Qt::Key_Up);
                  key(Qt::Key_Return);
                  QTest::qWait(20);
                  EXPECT_EQ(folder(right()), "d:");
                  EXPECT_EQ(rightBox->parentWidget(), right().pnlBrowserToolbar());
                  EXPECT_FALSE(rightBox->isVisible());
                  EXPECT_EQ(QApplication::focusWidget(), right().sgBrowser());
                  EXPECT_EQ(folder(left()), drive.path("work"));
                  key(Qt::Key_F4, Qt::AltModifier);
              }),
              0);
}

TEST_F(Controls, QuickSearchWithCtrlAltTakesTheLetterOfTheKey)
{
    for (const char* name : {"alpha.txt", "beta.txt", "bravo.txt", "Brown.log"})
        createFile(drive.path(std::string("work\\") + name), "x");
    settings(drive.path("work"), drive.path("work"));
    EXPECT_EQ(run([&] {
                  focus(left());
                  auto* line = child<QLineEdit>("edSearch");
                  // Ctrl+Alt+B arrives with the text "\x02": the line opens with "b".
                  key(Qt::Key_B, Qt::ControlModifier | Qt::AltModifier);
                  EXPECT_TRUE(line->isVisible());
                  EXPECT_EQ(line->text().toStdString(), "b");
                  EXPECT_EQ(cursorName(left()), "beta.txt");
                  // Letters typed with Ctrl+Alt still held, and without.
                  key(Qt::Key_R, Qt::ControlModifier | Qt::AltModifier);
                  EXPECT_EQ(line->text().toStdString(), "br");
                  EXPECT_EQ(cursorName(left()), "bravo.txt");
                  key(Qt::Key_O);
                  EXPECT_EQ(line->text().toStdString(), "bro");
                  EXPECT_EQ(cursorName(left()), "Brown.log");
                  key(Qt::Key_Backspace);
                  EXPECT_EQ(line->text().toStdString(), "br");
                  key(Qt::Key_Escape);
                  EXPECT_FALSE(line->isVisible());
                  key(Qt::Key_F4, Qt::AltModifier);
              }),
              0);
}

TEST_F(Controls, TabGoesRoundThePanelsAndTheToolsControlsOnly)
{
    createFile(drive.path("work\\a.txt"), "a");
    makeFolder(drive.path("dest"));
    settings(drive.path("work"), drive.path("dest"), kAllBars);
    EXPECT_EQ(run([&] {
                  cursorTo(left(), "a.txt");
                  key(Qt::Key_Insert);
                  // Shift+Tab arrives as Backtab.
                  const std::pair<Qt::Key, TBrowserForm*> steps[] = {
                      {Qt::Key_Tab, &right()},    {Qt::Key_Tab, &left()},      {Qt::Key_Tab, &right()},
                      {Qt::Key_Backtab, &left()}, {Qt::Key_Backtab, &right()}, {Qt::Key_Tab, &left()}};
                  for (const auto& [tab, panel] : steps) {
                      key(tab, tab == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
                      EXPECT_EQ(QApplication::focusWidget(), panel->sgBrowser());
                      EXPECT_EQ(window->ActiveForm(), panel);
                  }
                  // Back on the left panel its marked file is what F5 copies.
                  answerQuery();
                  key(Qt::Key_F5);
                  ASSERT_EQ(prompts.size(), 1u);
                  EXPECT_EQ(prompts[0], "Copy file \"a.txt\" to");
                  EXPECT_EQ(onDisk("dest"), "a.txt");

                  // With a tool shown, Tab goes round the panel's list and the tool's own controls.
                  key(Qt::Key_2, Qt::ControlModifier);
                  QApplication::processEvents();
                  QWidget* tool = tools::ToolForm(2);
                  ASSERT_TRUE(tool->isVisible());
                  focus(left());
                  int inTool = 0;
                  bool back = false;
                  for (int step = 0; step < 60 && !back; ++step) {
                      key(Qt::Key_Tab);
                      QWidget* now = QApplication::focusWidget();
                      ASSERT_NE(now, nullptr);
                      back = now == left().sgBrowser();
                      if (!back) {
                          EXPECT_TRUE(tool->isAncestorOf(now)) << now->metaObject()->className();
                          ++inTool;
                      }
                  }
                  EXPECT_TRUE(back);
                  EXPECT_GT(inTool, 2);
                  key(Qt::Key_F4, Qt::AltModifier);
              }),
              0);
}

TEST_F(Controls, AProposedTextIsReplacedByWhatTheUserTypes)
{
    for (const char* name : {"a.txt", "b.txt", "c.log"})
        createFile(drive.path(std::string("work\\") + name), "x");
    settings(drive.path("work"), drive.path("work"));
    EXPECT_EQ(run([&] {
                  focus(left());
                  // Select by mask proposes "*.*"; typing replaces it.
                  std::string proposed;
                  when<tools::TStandardQuery>([&](tools::TStandardQuery& dialog) {
                      proposed = dialog.cbForSelectFiles()->currentText().toStdString();
                      type("*.txt");
                      key(Qt::Key_Return);
                  });
                  key(Qt::Key_Plus, Qt::KeypadModifier);
                  EXPECT_EQ(proposed, "*.*");
                  EXPECT_EQ(marked(left()), "a.txt|b.txt");
                  // The panel's file types (Ctrl+F12) propose the current mask.
                  when<tools::TStandardQuery>([&](tools::TStandardQuery& dialog) {
                      proposed = dialog.cbForSelectFiles()->currentText().toStdString();
                      type("*.log");
                      key(Qt::Key_Return);
                  });
                  key(Qt::Key_F12, Qt::ControlModifier);
                  EXPECT_EQ(proposed, "*.*");
                  EXPECT_EQ(rows(left()), "[..]|c.log");
                  // Copy proposes the target; typed over, the copy goes to the name typed.
                  cursorTo(left(), "c.log");
                  when<tools::TStandardQuery>([&](tools::TStandardQuery& dialog) {
                      proposed = dialog.edInfo()->text().toStdString();
                      type(QString::fromStdString(drive.path("work\\d.log")));
                      key(Qt::Key_Return);
                  });
                  key(Qt::Key_F5);
                  EXPECT_EQ(proposed, drive.path("work\\c.log"));
                  EXPECT_EQ(onDisk("work"), "a.txt|b.txt|c.log|d.log");

                  // A tool's one-line box: the Finder's mask, reached with Tab.
                  key(Qt::Key_2, Qt::ControlModifier);
                  QApplication::processEvents();
                  auto* masks = tools::ToolForm(2)->findChild<QComboBox*>("cmbSearchFor");
                  ASSERT_NE(masks, nullptr);
                  masks->setEditText("*.old");
                  focus(left());
                  for (int step = 0; step < 30 && QApplication::focusWidget() != masks; ++step)
                      key(Qt::Key_Tab);
                  ASSERT_EQ(QApplication::focusWidget(), masks);
                  type("*.new");
                  EXPECT_EQ(masks->currentText().toStdString(), "*.new");
                  key(Qt::Key_F4, Qt::AltModifier);
              }),
              0);
}

TEST_F(Controls, ViewEditAndNewFileOpenWithTheDesktopAndAFailureIsShown)
{
    createFile(drive.path("work\\a.txt"), "a");
    // Help pages in a folder in the help file's place.
    createFile(programFolder + "\\wux.chm\\BROWSER.htm", "<html></html>");
    settings(drive.path("work"), drive.path("work"), "Editor=no-such-editor\r\n");
    RecordingProgramStarter starter;
    platform::shell::ScopedProgramStarter starterScope(starter);
    EXPECT_EQ(run([&] {
                  // The stored defaults stay; programs that are not there give way to the desktop.
                  EXPECT_EQ(filelist::ViewerProgram, "notepad.exe");
                  EXPECT_EQ(filelist::EditorProgram, "no-such-editor");
                  cursorTo(left(), "a.txt");
                  key(Qt::Key_F3);
                  key(Qt::Key_F4);
                  answerQuery("new.txt");
                  key(Qt::Key_F4, Qt::ShiftModifier);
                  EXPECT_EQ(onDisk("work"), "a.txt|new.txt");
                  std::vector<std::string> opened;
                  for (const auto& call : starter.calls())
                      opened.push_back(call.kind == RecordingProgramStarter::Kind::kOpenUrl
                                           ? call.url.toLocalFile().toStdString()
                                           : "started " + call.program.toStdString());
                  EXPECT_EQ(opened,
                            (std::vector<std::string>{drive.posix("work/a.txt"), drive.posix("work/a.txt"),
                                                      drive.posix("work/new.txt")}));
                  EXPECT_TRUE(dialogs.texts().empty());

                  // Nothing can open it: the user is told, for each way of opening.
                  starter.succeed = false;
                  cursorTo(left(), "a.txt");
                  key(Qt::Key_F3);
                  key(Qt::Key_F4);
                  key(Qt::Key_Return);
                  key(Qt::Key_F1);
                  const std::string reason =
                      "\r\nNo application is associated with the specified file for this operation.";
                  const std::string said = drive.path("work\\a.txt") + reason;
                  EXPECT_EQ(dialogs.texts(),
                            (std::vector<std::string>{said, said, said,
                                                      programFolder + "\\wux.chm\\BROWSER.htm" + reason}));
                  EXPECT_EQ(dialogs.captions(), (std::vector<std::string>(4, "error!")));
                  key(Qt::Key_F4, Qt::AltModifier);
              }),
              0);
}

} // namespace
} // namespace wux::e2e
