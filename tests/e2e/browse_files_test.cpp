// Browsing, the file commands and the Basket, as a user does them with the keys and the mouse.
#include "journey.h"

#include <QComboBox>
#include <QImage>
#include <QLabel>

#include <algorithm>
#include <map>

#include "controls/speed_button_new.h"
#include "filelist/copy_confirmation_form.h"
#include "filelist/drive_list.h"
#include "filelist/general_options.h"
#include "filelist/view_process.h"
#include "mainwindow/drive_bar.h"

namespace wux::e2e {
namespace {

TEST_F(Journey, BrowseDrivesFoldersViewsSortingAndMarks)
{
    createFile(drive.path("work\\b.txt"), std::string(3000, 'b'));
    createFile(drive.path("work\\a.log"), std::string(1024, 'a'));
    createFile(drive.path("work\\c.doc"), std::string(2048, 'c'));
    createFile(drive.path("work\\sub\\inner.txt"), "inner");
    createFile(drive.path("other\\x.txt", 'd'), "x");
    settings(drive.path("work"), drive.path("", 'd'));
    EXPECT_EQ(run([&] {
                  // The panels as the settings left them; the left one is active.
                  EXPECT_EQ(rows(left()), "[..]|sub|a.log|b.txt|c.doc");
                  EXPECT_EQ(left().AddressText().toStdString(), "c:\\work\\*.*");
                  EXPECT_EQ(status(left()), "0 of 5 k in 0 of 3 files selected");
                  EXPECT_EQ(rows(right()), "other");
                  EXPECT_EQ(window->ActiveForm(), &left());

                  // Into a folder with Enter, out of it with Enter on "[..]": the cursor lands on the folder
                  // left.
                  cursorTo(left(), "sub");
                  key(Qt::Key_Return);
                  EXPECT_EQ(folder(left()), drive.path("work\\sub"));
                  EXPECT_EQ(rows(left()), "[..]|inner.txt");
                  keys({Qt::Key_Home, Qt::Key_Return});
                  EXPECT_EQ(folder(left()), drive.path("work"));
                  EXPECT_EQ(cursorName(left()), "sub");
                  // Backspace goes up as well.
                  cursorTo(left(), "sub");
                  key(Qt::Key_Return);
                  key(Qt::Key_Backspace);
                  EXPECT_EQ(folder(left()), drive.path("work"));

                  // Sorting: by extension, by size, by date, back by name.
                  key(Qt::Key_F4, Qt::ControlModifier);
                  EXPECT_EQ(rows(left()), "[..]|sub|c.doc|a.log|b.txt");
                  key(Qt::Key_F6, Qt::ControlModifier);
                  EXPECT_EQ(rows(left()), "[..]|sub|a.log|c.doc|b.txt");
                  key(Qt::Key_F3, Qt::ControlModifier);
                  EXPECT_EQ(rows(left()), "[..]|sub|a.log|b.txt|c.doc");

                  // Quick search: Ctrl+Alt with a letter opens the line on the first name so begun; Escape
                  // closes it.
                  key(Qt::Key_B, Qt::ControlModifier | Qt::AltModifier);
                  EXPECT_TRUE(child<QWidget>("pnlSearch")->isVisible());
                  EXPECT_EQ(cursorName(left()), "b.txt");
                  key(Qt::Key_Escape);
                  EXPECT_FALSE(child<QWidget>("pnlSearch")->isVisible());
                  EXPECT_EQ(cursorName(left()), "b.txt");

                  // Views: full with its header, then brief again.
                  key(Qt::Key_F2, Qt::ControlModifier);
                  EXPECT_EQ(left().BrowserMode(), filelist::kViewFull);
                  EXPECT_TRUE(left().sgTitle()->isVisible());
                  EXPECT_EQ(rows(left()), "[..]|sub|a.log|b.txt|c.doc");
                  key(Qt::Key_F1, Qt::ControlModifier);
                  EXPECT_EQ(left().BrowserMode(), filelist::kViewBrief);

                  // Marks: Insert marks and moves on, Space marks in place, * inverts, Ctrl+A all, Ctrl+-
                  // none.
                  cursorTo(left(), "a.log");
                  key(Qt::Key_Insert);
                  EXPECT_EQ(cursorName(left()), "b.txt");
                  keys({Qt::Key_Down, Qt::Key_Space});
                  EXPECT_EQ(marked(left()), "a.log|c.doc");
                  EXPECT_EQ(status(left()), "3 of 5 k in 2 of 3 files selected");
                  key(Qt::Key_Asterisk, Qt::KeypadModifier);
                  EXPECT_EQ(marked(left()), "b.txt"); // files only, as the options say
                  key(Qt::Key_A, Qt::ControlModifier);
                  EXPECT_EQ(marked(left()), "a.log|b.txt|c.doc");
                  key(Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier);
                  EXPECT_EQ(marked(left()), "");
                  // A right click marks too.
                  {
                      controls::TWUXStringGrid* grid = left().sgBrowser();
                      cursorTo(left(), "b.txt");
                      const QRect cell = grid->CellRect(grid->Col(), grid->Row());
                      QTest::mouseClick(grid->viewport(), Qt::RightButton, Qt::NoModifier, cell.center());
                      EXPECT_EQ(marked(left()), "b.txt");
                  }

                  // Another drive from the drive bar: the active panel goes to d:.
                  auto* bar = child<mainwindow::TDriveBar>("pnlWithImgDrives");
                  click(bar->DriveButton(filelist::FindDriveIndex('d', filelist::DriveList)));
                  EXPECT_EQ(folder(left()), "d:");
                  EXPECT_EQ(rows(left()), "other");
                  key(Qt::Key_F4, Qt::AltModifier);
              }),
              0);
}

TEST_F(Journey, CopyMoveDeleteMakeFolderAndRenameInPlace)
{
    createFile(drive.path("src\\report.txt"), "quarterly report");
    createFile(drive.path("src\\notes.txt"), "notes");
    createFile(drive.path("src\\old.log"), "old");
    createFile(drive.path("src\\gone.log"), "gone");
    createFile(drive.path("src\\pics\\a.png"), "png");
    makeFolder(drive.path("dst", 'd'));
    // Deleted files go for good unless Shift sends them to the Trash.
    settings(drive.path("src"), drive.path("dst", 'd'),
             "GeneralCheckContainer=" + std::to_string(filelist::kDefaultGeneralCheckContainer & ~0x4u) +
                 "\r\n");
    EXPECT_EQ(run([&] {
                  // F5 copies the file under the cursor to the other panel after the query; the copy is
                  // shown.
                  cursorTo(left(), "report.txt");
                  answerQuery();
                  key(Qt::Key_F5);
                  EXPECT_EQ(readFileBytes(drive.path("dst\\report.txt", 'd')), "quarterly report");
                  EXPECT_EQ(rows(right()), "[..]|report.txt");
                  // Marked files and a folder with F6: moved, gone from the source.
                  cursorTo(left(), "pics");
                  key(Qt::Key_Insert);
                  cursorTo(left(), "notes.txt");
                  key(Qt::Key_Insert);
                  answerQuery();
                  key(Qt::Key_F6);
                  EXPECT_EQ(onDisk("dst", 'd'), "notes.txt|pics|report.txt");
                  EXPECT_EQ(readFileBytes(drive.path("dst\\pics\\a.png", 'd')), "png");
                  EXPECT_EQ(rows(left()), "[..]|gone.log|old.log|report.txt");
                  EXPECT_EQ(rows(right()), "[..]|pics|notes.txt|report.txt");

                  // Shift+F8 to the Trash, F8 for good; Cancel first keeps the file.
                  cursorTo(left(), "old.log");
                  answerQuery("", false);
                  key(Qt::Key_F8, Qt::ShiftModifier);
                  EXPECT_TRUE(exists(drive.path("src\\old.log")));
                  answerQuery();
                  key(Qt::Key_F8, Qt::ShiftModifier);
                  EXPECT_FALSE(exists(drive.path("src\\old.log")));
                  EXPECT_EQ(readFileBytes(drive.posix("data-home") + "/Trash/files/old.log"), "old");
                  cursorTo(left(), "gone.log");
                  answerQuery();
                  key(Qt::Key_F8);
                  EXPECT_EQ(onDisk("src"), "report.txt");
                  EXPECT_EQ(onDisk("data-home/Trash/files"), "old.log");

                  // F7 makes a folder; the cursor lands on it.
                  answerQuery("made by F7");
                  key(Qt::Key_F7);
                  EXPECT_TRUE(exists(drive.path("src\\made by F7")));
                  EXPECT_EQ(cursorName(left()), "made by F7");

                  // Shift+F6 renames in place.
                  cursorTo(left(), "report.txt");
                  answerQuery("final.txt");
                  key(Qt::Key_F6, Qt::ShiftModifier);
                  EXPECT_EQ(onDisk("src"), "final.txt|made by F7");
                  EXPECT_EQ(readFileBytes(drive.path("src\\final.txt")), "quarterly report");
                  EXPECT_EQ(rows(left()), "[..]|made by F7|final.txt");
                  EXPECT_EQ(prompts, (std::vector<std::string>{
                                         "Copy file \"report.txt\" to", "Rename or move 2 files to",
                                         "Do you wish to delete file \"old.log\"?",
                                         "Do you wish to delete file \"old.log\"?",
                                         "Do you wish to delete file \"gone.log\"?", "New directory",
                                         "Rename or move file \"report.txt\" to"}));
                  EXPECT_EQ(dialogs.records().size(), 0u);
                  key(Qt::Key_F4, Qt::AltModifier);
              }),
              0);
}

TEST_F(Journey, TheBasketFilledViewedSavedClearedAndLoaded)
{
    createFile(drive.path("docs\\a.txt"), "a");
    createFile(drive.path("docs\\b.txt"), "b");
    createFile(drive.path("docs\\c.txt"), "c");
    createFile(drive.path("docs\\sub\\d.txt"), "d");
    makeFolder(drive.path("lists"));
    settings(drive.path("docs"), drive.path("lists"));
    EXPECT_EQ(run([&] {
                  // Marked files go with the panel's Basket button, the file under the cursor with the menu.
                  cursorTo(left(), "a.txt");
                  keys({Qt::Key_Insert, Qt::Key_Insert});
                  click(left().btnSendTobasket());
                  EXPECT_EQ(left().lblBasketInfo()->text().toStdString(), "2 Files in Basket");
                  EXPECT_EQ(marked(left()), "") << "the marks went with them";
                  cursorTo(left(), "sub");
                  key(Qt::Key_Return);
                  cursorTo(left(), "d.txt");
                  menu("mnuMFile", "mnuSendToBasket");
                  EXPECT_EQ(right().lblBasketInfo()->text().toStdString(), "3 Files in Basket");

                  // The Basket drive shows it.
                  auto* bar = child<mainwindow::TDriveBar>("pnlWithImgDrives");
                  click(bar->DriveButton(filelist::FindDriveIndex('*', filelist::DriveList)));
                  EXPECT_EQ(left().BrowserMode(), filelist::kViewBasket);
                  const std::string filled =
                      "<" + drive.path("docs") + ">|a.txt|b.txt|<" + drive.path("docs\\sub") + ">|d.txt";
                  EXPECT_EQ(basketRows(left()), filled);
                  EXPECT_EQ(status(left()), "0 of 0 k in 3 of 3 files selected");

                  // Saved as a list (the system's save dialog answered), cleared, loaded again.
                  dialogs.answerFile(drive.path("lists\\basket.txt"));
                  menu("mnuMFile", "mnuSaveBasketList");
                  EXPECT_EQ(readFileBytes(drive.path("lists\\basket.txt")),
                            drive.path("docs\\a.txt\r\n") + drive.path("docs\\b.txt\r\n") +
                                drive.path("docs\\sub\\d.txt\r\n"));
                  ASSERT_EQ(dialogs.fileRequests().size(), 1u);
                  EXPECT_EQ(dialogs.fileRequests()[0].kind, platform::FileDialogKind::Save);
                  click(child<QWidget>("btnClearBasket"));
                  EXPECT_EQ(basketRows(left()), "");
                  EXPECT_EQ(left().lblBasketInfo()->text().toStdString(), "0 Files in Basket");
                  dialogs.answerFile(drive.path("lists\\basket.txt"));
                  menu("mnuMFile", "mnuLoadBasketList");
                  EXPECT_EQ(basketRows(left()), filled);
                  EXPECT_EQ(left().lblBasketInfo()->text().toStdString(), "3 Files in Basket");
                  EXPECT_EQ(onDisk("docs"), "a.txt|b.txt|c.txt|sub")
                      << "the Basket holds names, never the files";
                  // Back to the drive: the folder as it was left.
                  click(bar->DriveButton(filelist::FindDriveIndex('c', filelist::DriveList)));
                  EXPECT_EQ(left().BrowserMode(), filelist::kViewFull) << "the view it had before";
                  EXPECT_EQ(folder(left()), drive.path("docs\\sub"));
                  key(Qt::Key_F4, Qt::AltModifier);
              }),
              0);
}


// How much of an item's check column (the box, or the icon with its mark) is painted in the text's dark
// colour, as the open menu shows it.
int darkPixelsBeside(QMenu& menu, QAction* item)
{
    const QImage shown = menu.grab().toImage();
    const QRect row = menu.actionGeometry(item);
    int dark = 0;
    for (int y = row.top(); y <= row.bottom(); ++y)
        for (int x = row.left(); x < row.left() + row.height() + 8; ++x) {
            const QColor colour = shown.pixelColor(x, y);
            if (std::max({colour.red(), colour.green(), colour.blue()}) < 90)
                ++dark;
        }
    return dark;
}

TEST_F(Journey, TheViewMenuMarksTheViewAndTheSortChosenByButtonsAndKeys)
{
    createFile(drive.path("work\\a.txt"), "a");
    createFile(drive.path("work\\b.doc"), "b");
    settings(drive.path("work"), drive.path("work"));
    EXPECT_EQ(run([&] {
                  struct Step
                  {
                      const char* how;
                      std::function<void()> choose;
                      const char* marked;
                  };
                  const Step steps[] = {
                      {"the Brief button", [&] { click(child<QWidget>("btnSetModeBrief")); }, "mnuBrief"},
                      {"the Full button", [&] { click(child<QWidget>("btnSetModeFull")); }, "mnuFull"},
                      {"Ctrl+F1", [&] { key(Qt::Key_F1, Qt::ControlModifier); }, "mnuBrief"},
                      {"Ctrl+F1 again", [&] { key(Qt::Key_F1, Qt::ControlModifier); }, "mnuBrief"},
                      {"Ctrl+F2", [&] { key(Qt::Key_F2, Qt::ControlModifier); }, "mnuFull"},
                      {"the menu's Brief", [&] { menu("mnuMView", "mnuBrief"); }, "mnuBrief"},
                      {"the menu's Full", [&] { menu("mnuMView", "mnuFull"); }, "mnuFull"},
                  };
                  auto* bar = child<QMenuBar>("tbMenu");
                  auto* view = child<QMenu>("mnuMView");
                  ASSERT_TRUE(bar && view);
                  // The dark pixels of each item's check column, unmarked and marked.
                  std::map<std::string, int> unmarked;
                  std::map<std::string, int> marked;
                  for (const Step& step : steps) {
                      focus(left());
                      step.choose();
                      click(bar, Qt::NoModifier, bar->actionGeometry(view->menuAction()).center());
                      ASSERT_TRUE(QTest::qWaitFor([view] { return view->isVisible(); }, 1000)) << step.how;
                      for (const char* name : {"mnuBrief", "mnuFull"}) {
                          const bool expected = std::string(name) == step.marked;
                          EXPECT_EQ(action(name)->isChecked(), expected) << step.how << ": " << name;
                          (expected ? marked : unmarked)[name] = darkPixelsBeside(*view, action(name));
                      }
                      QTest::keyClick(view, Qt::Key_Escape);
                      ASSERT_TRUE(QTest::qWaitFor([view] { return !view->isVisible(); }, 1000)) << step.how;
                  }
                  // A marked item shows a mark a user can see: a tick in the text's colour, not only a faint
                  // frame round its icon.
                  for (const char* name : {"mnuBrief", "mnuFull"})
                      EXPECT_GE(marked[name], unmarked[name] + 12)
                          << name << ": " << marked[name] << " dark pixels marked, " << unmarked[name] << " unmarked";
                  EXPECT_EQ(left().BrowserMode(), 2);

                  // The sort items follow Ctrl+F4 and Ctrl+F3, each with its tick.
                  for (const auto& [sortKey, item] : {std::pair{Qt::Key_F4, "mnuSortExt"}, {Qt::Key_F3, "mnuSortName"}}) {
                      focus(left());
                      key(sortKey, Qt::ControlModifier);
                      click(bar, Qt::NoModifier, bar->actionGeometry(view->menuAction()).center());
                      ASSERT_TRUE(QTest::qWaitFor([view] { return view->isVisible(); }, 1000)) << item;
                      for (const char* name : {"mnuSortName", "mnuSortExt", "mnuSortDate", "mnuSortSize"}) {
                          EXPECT_EQ(action(name)->isChecked(), std::string(name) == item) << item << ": " << name;
                          if (std::string(name) == item) {
                              EXPECT_GE(darkPixelsBeside(*view, action(name)), 12) << name;
                          }
                      }
                      QTest::keyClick(view, Qt::Key_Escape);
                      ASSERT_TRUE(QTest::qWaitFor([view] { return !view->isVisible(); }, 1000)) << item;
                  }
                  key(Qt::Key_F4, Qt::AltModifier);
              }),
              0);
}

// While a question about a folder is shown, the progress window's lines name that folder: the
// non-empty folder that F8 would delete, and the folder that F5 cannot make at the target.
TEST_F(Journey, TheProgressLinesNameTheFolderAQuestionIsAbout)
{
    createFile(drive.path("src\\full\\inner.txt"), "inner");
    createFile(drive.path("src\\full\\deeper\\deep.txt"), "deep");
    createFile(drive.path("src\\kept\\kept.txt"), "kept");
    createFile(drive.path("dst\\kept", 'd'), "a file where the folder would go");
    settings(drive.path("src"), drive.path("dst", 'd'),
             "GeneralCheckContainer=" + std::to_string(filelist::kDefaultGeneralCheckContainer & ~0x4u) +
                 "\r\n");
    struct Shown
    {
        std::string question;
        std::string file;
        std::string to;
    };
    std::vector<Shown> shown;
    const auto answer = [&](const char* button) {
        when<filelist::TCopyConfirmationForm>([&shown, button](filelist::TCopyConfirmationForm& form) {
            auto* progress = qobject_cast<filelist::TViewProcess*>(form.parentWidget());
            ASSERT_NE(progress, nullptr);
            auto* file = progress->findChild<QLabel*>("lblCurrentFile");
            auto* to = progress->findChild<QLabel*>("lblCopyTo");
            ASSERT_TRUE(file && to);
            shown.push_back({form.findChild<QLabel*>("lblInformation")->text().toStdString(),
                             file->text().toStdString(), to->isVisible() ? to->text().toStdString() : ""});
            QTest::mouseClick(form.findChild<QWidget*>(button), Qt::LeftButton);
        });
    };
    EXPECT_EQ(run([&] {
                  cursorTo(left(), "full");
                  answerQuery();
                  answer("btnYes");
                  key(Qt::Key_F8);
                  EXPECT_EQ(onDisk("src"), "kept");

                  cursorTo(left(), "kept");
                  answerQuery();
                  answer("btnNo");
                  key(Qt::Key_F5);
                  EXPECT_EQ(readFileBytes(drive.path("dst\\kept", 'd')), "a file where the folder would go");
                  EXPECT_EQ(onDisk("src\\kept"), "kept.txt");

                  ASSERT_EQ(shown.size(), 2u);
                  EXPECT_EQ(shown[0].file, "Delete:  " + drive.path("src\\full"));
                  EXPECT_EQ(shown[0].to, "");
                  EXPECT_NE(shown[0].question.find(drive.path("src\\full") + " is not empty"), std::string::npos)
                      << shown[0].question;
                  EXPECT_EQ(shown[1].file, "From:  " + drive.path("src\\kept"));
                  EXPECT_EQ(shown[1].to, "To:  " + drive.path("dst\\kept", 'd'));
                  EXPECT_NE(shown[1].question.find(drive.path("dst\\kept", 'd')), std::string::npos)
                      << shown[1].question;
                  key(Qt::Key_F4, Qt::AltModifier);
              }),
              0);
}

} // namespace
} // namespace wux::e2e
