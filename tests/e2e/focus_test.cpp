// Where the keyboard goes as a user works: the quick search stays with the panel it was opened on, a
// question or dialog closed by key gives the keyboard back, a file that no program opens says so, and a
// place the program selects in an edit box stays selected.
#include "journey.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>

#include <sys/stat.h>

#include <cstdlib>

#include "controls/vyk_combo_box.h"
#include "filelist/copy_confirmation_form.h"
#include "filelist/general_options.h"
#include "filelist/view_process.h"
#include "mainwindow/options_dialog.h"
#include "mainwindow/settings.h"
#include "mainwindow/settings_fixture.h"
#include "tools/search_results.h"

namespace wux::e2e {
namespace {

using filelist::TCopyConfirmationForm;
using mainwindow::TOptions;

// The window manager's part when a modal window goes away: it makes another window active (the one it
// still takes for the top, which here stands for the destroyed dialog), not the window the dialog
// belonged to, unless that window asks for the activation itself.
class WindowManager : public QObject
{
public:
    WindowManager()
    {
        stranger.setWindowTitle(QStringLiteral("another window"));
        stranger.setGeometry(900, 700, 60, 40);
        qApp->installEventFilter(this);
    }
    ~WindowManager() override { qApp->removeEventFilter(this); }

    QWidget stranger;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Hide && !event->spontaneous() && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            if (widget->isWindow() && widget->isModal() && stranger.isVisible())
                stranger.activateWindow();
        }
        return false;
    }
};

// The keyboard is with the window and the control: checked as the next key would find it, without
// the window being activated first.
void expectKeyboardAt(QWidget* window, QWidget* control, const char* after)
{
    QTest::qWait(30);
    EXPECT_EQ(QApplication::activeWindow(), window) << after;
    EXPECT_EQ(QApplication::focusWidget(), control)
        << after << ": "
        << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName().toStdString()
                                        : std::string("nothing"));
}

std::string settingsWithOptions(std::uint32_t options)
{
    return "GeneralCheckContainer=" + std::to_string(options) + "\r\n";
}

// An executable script that leaves a file when it runs.
void makeScript(const std::string& posixPath, const std::string& body)
{
    createFile(posixPath, "#!/bin/sh\n" + body + "\n");
    ASSERT_EQ(::chmod(posixPath.c_str(), 0755), 0);
}

// Enter in the right panel's quick search opens the right panel's item, though the left panel's cursor
// is on a script; Escape and Enter leave the keyboard with the right panel. In both key modes.
TEST_F(Journey, QuickSearchOpensTheItemOfThePanelItWasOpenedOnAndGivesItTheKeyboardBack)
{
    makeScript(drive.posix("l/run.sh"), "echo ran > \"" + drive.posix("ran.txt") + "\"");
    makeFolder(drive.path("r\\ocean"));
    makeFolder(drive.path("r\\zeta"));
    const std::uint32_t ctrlAlt = filelist::kDefaultGeneralCheckContainer;
    const std::uint32_t altOnly =
        (ctrlAlt & ~mainwindow::kOptionQuickSearchCtrlAlt) | mainwindow::kOptionQuickSearchAlt;
    for (const auto& [options, modifiers] : {std::pair{ctrlAlt, Qt::ControlModifier | Qt::AltModifier},
                                             std::pair{altOnly, Qt::KeyboardModifiers(Qt::AltModifier)}}) {
        SCOPED_TRACE(options == ctrlAlt ? "Ctrl+Alt+letter" : "Alt+letter");
        mainwindow::test::resetSettings();
        settings(drive.path("l"), drive.path("r"), settingsWithOptions(options));
        EXPECT_EQ(run([&, modifiers = modifiers] {
                      cursorTo(left(), "run.sh");
                      cursorTo(right(), "zeta");
                      QWidget* line = child<QWidget>("edSearch");
                      // Escape: the right panel keeps the keyboard and its cursor.
                      key(Qt::Key_O, modifiers);
                      ASSERT_TRUE(line->isVisible());
                      EXPECT_EQ(QApplication::focusWidget(), line);
                      key(Qt::Key_Escape);
                      EXPECT_FALSE(line->isVisible());
                      EXPECT_EQ(QApplication::focusWidget(), right().sgBrowser());
                      EXPECT_EQ(window->ActiveForm(), &right());
                      EXPECT_EQ(cursorName(right()), "ocean");
                      // Enter opens the right panel's folder; the left panel's script does not run.
                      cursorTo(right(), "zeta");
                      key(Qt::Key_O, modifiers);
                      type("c");
                      key(Qt::Key_Return);
                      EXPECT_EQ(folder(right()), drive.path("r\\ocean"));
                      EXPECT_EQ(folder(left()), drive.path("l"));
                      EXPECT_EQ(QApplication::focusWidget(), right().sgBrowser());
                      EXPECT_EQ(window->ActiveForm(), &right());
                      QTest::qWait(300);
                      EXPECT_FALSE(exists(drive.path("ran.txt"))) << "the left panel's script ran";
                      key(Qt::Key_F4, Qt::AltModifier);
                  }),
                  0);
    }
}

// The options opened with the mouse while the right panel's quick search is open: the line closes into
// its panel, and the keyboard is with that panel once the dialog is closed by Escape.
TEST_F(Journey, OptionsOpenedOverTheQuickSearchGiveTheKeyboardBackToItsPanel)
{
    createFile(drive.path("l\\alpha.txt"), "a");
    createFile(drive.path("r\\ocean.txt"), "o");
    settings(drive.path("l"), drive.path("r"));
    EXPECT_EQ(run([&] {
                  focus(right());
                  key(Qt::Key_O, Qt::ControlModifier | Qt::AltModifier);
                  ASSERT_TRUE(child<QWidget>("edSearch")->isVisible());
                  when<TOptions>([&](TOptions&) { key(Qt::Key_Escape); });
                  click(child<QWidget>("btnOptions"));
                  EXPECT_FALSE(child<QWidget>("edSearch")->isVisible());
                  expectKeyboardAt(window, right().sgBrowser(), "the options dialog");
                  EXPECT_EQ(window->ActiveForm(), &right());
                  key(Qt::Key_F4, Qt::AltModifier);
              }),
              0);
}

// With a tool shown beside the left panel, Escape in the left panel's quick search gives the keyboard to
// the left panel, not to the tool: the next Down moves the panel's cursor.
TEST_F(Journey, QuickSearchClosedBesideAToolLeavesTheKeyboardWithItsPanel)
{
    createFile(drive.path("l\\alpha.txt"), "a");
    createFile(drive.path("l\\beta.txt"), "b");
    createFile(drive.path("l\\gamma.txt"), "c");
    settings(drive.path("l"), drive.path("l"));
    EXPECT_EQ(run([&] {
                  focus(left());
                  key(Qt::Key_5, Qt::ControlModifier);
                  ASSERT_TRUE(child<QWidget>("TBatchReplacerForm")->isVisible());
                  focus(left());
                  key(Qt::Key_B, Qt::ControlModifier | Qt::AltModifier);
                  ASSERT_TRUE(child<QWidget>("edSearch")->isVisible());
                  key(Qt::Key_Escape);
                  EXPECT_EQ(QApplication::focusWidget(), left().sgBrowser());
                  EXPECT_EQ(window->ActiveForm(), &left());
                  EXPECT_EQ(cursorName(left()), "beta.txt");
                  key(Qt::Key_Down);
                  EXPECT_EQ(cursorName(left()), "gamma.txt");
                  key(Qt::Key_F4, Qt::AltModifier);
              }),
              0);
}

// A file that cannot be read stops a copy with a question; whichever key answers it (Escape, Alt+A for
// Abort, Alt+S for Skip), the main window and the panel's list have the keyboard afterwards.
TEST_F(Journey, AQuestionAnsweredByKeyGivesTheKeyboardBackToThePanel)
{
    createFile(drive.path("src\\a.txt"), "locked");
    settings(drive.path("src"), drive.path("dst", 'd'));
    makeFolder(drive.path("dst", 'd'));
    platform::injectFault(drive.path("src\\a.txt"), platform::kErrorAccessDenied, platform::kFaultOpen);
    WindowManager manager;
    EXPECT_EQ(
        run([&] {
            manager.stranger.show();
            window->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(window));
            const std::pair<Qt::Key, Qt::KeyboardModifiers> answers[] = {
                {Qt::Key_Escape, Qt::NoModifier}, {Qt::Key_A, Qt::AltModifier}, {Qt::Key_S, Qt::AltModifier}};
            for (const auto& [answer, modifiers] : answers) {
                SCOPED_TRACE(QKeySequence(QKeyCombination(modifiers, answer)).toString().toStdString());
                cursorTo(left(), "a.txt");
                std::string caption;
                answerQuery();
                when<TCopyConfirmationForm>(
                    [&, answer = answer, modifiers = modifiers](TCopyConfirmationForm& form) {
                        caption = form.windowTitle().toStdString();
                        // The window manager has made the question active before the user answers it.
                        EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
                        QTest::qWait(50);
                        key(answer, modifiers);
                    });
                key(Qt::Key_F5);
                EXPECT_EQ(caption, "Error file copy 1");
                EXPECT_EQ(onDisk("dst", 'd'), "");
                expectKeyboardAt(window, left().sgBrowser(), "the question");
            }
            manager.stranger.hide();
            key(Qt::Key_F4, Qt::AltModifier);
        }),
        0);
}

// OK in the options dialog with another language chosen: the panel that had the keyboard has it again.
TEST_F(Journey, TheOptionsDialogClosedWithAnotherLanguageGivesTheKeyboardBackToThePanel)
{
    createFile(programFolder + "\\deutsch.lng", "424=&Dateien\r\n431=&Ansicht\r\n416=F5 Kopieren\r\n");
    createFile(drive.path("work\\one.txt"), "1");
    settings(drive.path("work"), drive.path("work"));
    WindowManager manager;
    EXPECT_EQ(
        run([&] {
            focus(right());
            for (int row : {1, 0}) {
                SCOPED_TRACE(row);
                when<TOptions>([&, row](TOptions& options) {
                    openOptionsPage(options, "tsLanguage");
                    auto* list = options.findChild<QListWidget*>("lstLanguage");
                    click(list->viewport(), Qt::NoModifier, list->visualItemRect(list->item(row)).center());
                    click(options.findChild<QWidget*>("btnOk"));
                });
                key(Qt::Key_O, Qt::ControlModifier);
                expectKeyboardAt(window, right().sgBrowser(), "the options dialog without a window manager");
            }
            EXPECT_EQ(child<QWidget>("btnCopy")->property("text").toString().toStdString(), "F5 Copy");
            // The same with a window manager that activates another window.
            manager.stranger.show();
            window->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(window));
            when<TOptions>([&](TOptions& options) {
                openOptionsPage(options, "tsLanguage");
                auto* list = options.findChild<QListWidget*>("lstLanguage");
                click(list->viewport(), Qt::NoModifier, list->visualItemRect(list->item(1)).center());
                click(options.findChild<QWidget*>("btnOk"));
            });
            key(Qt::Key_O, Qt::ControlModifier);
            expectKeyboardAt(window, right().sgBrowser(), "the options dialog");
            EXPECT_EQ(child<QWidget>("btnCopy")->property("text").toString().toStdString(), "F5 Kopieren");
            manager.stranger.hide();
            key(Qt::Key_F4, Qt::AltModifier);
        }),
        0);
}

// Enter on a hit in the search results goes to its file: the results window closes and the keyboard is
// with the panel that shows the file, not with the Finder's box that had it before the search.
TEST_F(Journey, GoingToAFoundFileLeavesTheKeyboardWithThePanel)
{
    createFile(drive.path("proj\\deep\\delta.txt"), "d");
    makeFolder(drive.path("out"));
    settings(drive.path("out"), drive.path("proj"));
    EXPECT_EQ(run([&] {
                  key(Qt::Key_2, Qt::ControlModifier);
                  QWidget* finder = child<QWidget>("TFinderForm");
                  ASSERT_TRUE(finder->isVisible());
                  answerQuery(drive.path("proj"));
                  click(child<QWidget>("btnAdd", finder));
                  auto* searchFor = child<QComboBox>("cmbSearchFor", finder);
                  click(searchFor);
                  key(Qt::Key_A, Qt::ControlModifier);
                  type("*.txt");
                  when<tools::TSrchRes>(
                      [&](tools::TSrchRes&) {
                          keys({Qt::Key_Down});
                          key(Qt::Key_Return);
                      },
                      [](tools::TSrchRes& results) {
                          return results.searchFinished() && results.isActiveWindow();
                      });
                  key(Qt::Key_S, Qt::ControlModifier);
                  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
                  EXPECT_EQ(folder(left()), drive.path("proj\\deep"));
                  EXPECT_EQ(cursorName(left()), "delta.txt");
                  expectKeyboardAt(window, left().sgBrowser(), "going to the file");
                  key(Qt::Key_F4, Qt::AltModifier);
              }),
              0);
}

// F3 and Enter on a file that the desktop's opener cannot open show why, with the file's name; a file
// it opens shows nothing.
TEST_F(Journey, AFileThatNoProgramOpensIsReportedWithItsName)
{
    // The desktop's opener of this machine: it records what it was given and ends with the status the
    // file's name asks for.
    const std::string bin = drive.posix("bin");
    makeFolder(drive.path("bin"));
    makeScript(bin + "/xdg-open", "echo \"$1\" >> \"" + drive.posix("opened.txt") +
                                      "\"\ncase \"$1\" in *.part) exit 3;; *.odd) exit 4;; esac\nexit 0");
    const char* path = std::getenv("PATH");
    EnvVar searchPath{"PATH", bin + ":" + (path ? path : "/usr/bin:/bin")};
    createFile(drive.path("w\\report.docx.part"), "partial");
    createFile(drive.path("w\\strange.odd"), "odd");
    createFile(drive.path("w\\notes.txt"), "notes");
    settings(drive.path("w"), drive.path("w"));
    EXPECT_EQ(
        run([&] {
            std::size_t shown = 0;
            for (const auto& [file, opens] :
                 {std::pair{"report.docx.part", Qt::Key_F3}, std::pair{"report.docx.part", Qt::Key_Return},
                  std::pair{"strange.odd", Qt::Key_Return}, std::pair{"notes.txt", Qt::Key_F3}}) {
                SCOPED_TRACE(std::string(file) + (opens == Qt::Key_F3 ? " F3" : " Enter"));
                cursorTo(left(), file);
                key(opens);
                if (std::string(file) == "notes.txt") {
                    QTest::qWait(500);
                    EXPECT_EQ(dialogs.records().size(), shown) << "a file that opened is reported";
                    continue;
                }
                ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs.records().size() > shown; }, 5000));
                const platform::MessageBoxRequest& box = dialogs.records()[shown++].request;
                EXPECT_EQ(box.caption, "error!");
                EXPECT_EQ(
                    box.text,
                    drive.path(std::string("w\\") + file) + "\r\n" +
                        (std::string(file) == "strange.odd"
                             ? "xdg-open could not open the file (exit status 4)."
                             : "No application is associated with the specified file for this operation."));
            }
            EXPECT_EQ(readFileBytes(drive.path("opened.txt")),
                      drive.posix("w/report.docx.part") + "\n" + drive.posix("w/report.docx.part") + "\n" +
                          drive.posix("w/strange.odd") + "\n" + drive.posix("w/notes.txt") + "\n");
            key(Qt::Key_F4, Qt::AltModifier);
        }),
        0);
}

// The Batch Replacer refuses a find text with an error: after the message, the find box has the keyboard
// and the text from the character before the error on is selected, ready to be typed over.
TEST_F(Journey, TheBatchReplacerSelectsTheFindTextFromItsError)
{
    createFile(drive.path("b\\one.txt"), "1");
    settings(drive.path("b"), drive.path("b"));
    EXPECT_EQ(run([&] {
                  key(Qt::Key_5, Qt::ControlModifier);
                  QWidget* batch = child<QWidget>("TBatchReplacerForm");
                  ASSERT_TRUE(batch->isVisible());
                  auto* find = child<QComboBox>("cmbFindString", batch);
                  click(find->lineEdit());
                  type("#6a#");
                  click(child<QWidget>("btnAdd", batch));
                  QTest::qWait(30);
                  ASSERT_EQ(dialogs.records().size(), 1u);
                  EXPECT_EQ(find->currentText().toStdString(), "#6a#");
                  EXPECT_EQ(QApplication::focusWidget(), find);
                  EXPECT_EQ(find->lineEdit()->selectedText().toStdString(), "6a#");
                  // Typing replaces the selection.
                  type("x");
                  EXPECT_EQ(find->currentText().toStdString(), "#x");
                  key(Qt::Key_F4, Qt::AltModifier);
              }),
              0);
}

} // namespace
} // namespace wux::e2e
