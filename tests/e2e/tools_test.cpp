// The four tools as a user runs them from the main window: Finder, Replacer, Batch Replacer, Renamer.
#include "journey.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

#include "controls/vyk_combo_box.h"
#include "mainwindow/settings.h"
#include "tools/search_results.h"

namespace wux::e2e {
namespace {

// The results window's rows as it shows them: the cells of each row joined by ",", rows by "|".
std::string resultRows(tools::TSrchRes& results, int columns)
{
    std::string shown;
    for (int row = 0; row < results.rowCount(); ++row) {
        for (int col = 0; col < columns; ++col)
            shown += (col ? "," : (row ? "|" : "")) + results.cellText(col, row);
    }
    return shown;
}

// The results window once its search has finished and its rows are on screen.
bool searchShown(tools::TSrchRes& results)
{
    auto* grid = results.findChild<controls::TWUXStringGrid*>("sgFinder");
    return results.searchFinished() && results.isActiveWindow() && grid->hasFocus() &&
           !grid->CellRect(0, std::min(results.rowCount(), grid->RowCount()) - 1).isEmpty();
}

TEST_F(Journey, FinderByMaskAndByContentGoToFileAndHitsToTheBasket)
{
    createFile(drive.path("proj\\alpha.txt"), "a needle here");
    createFile(drive.path("proj\\beta.txt"), "nothing");
    createFile(drive.path("proj\\gamma.log"), "needle too");
    createFile(drive.path("proj\\deep\\delta.txt"), "the NEEDLE");
    makeFolder(drive.path("out"));
    settings(drive.path("out"), drive.path("proj"));
    EXPECT_EQ(run([&] {
                  key(Qt::Key_2, Qt::ControlModifier);
                  EXPECT_EQ(mainwindow::CurrentMode, 2);
                  QWidget* finder = child<QWidget>("TFinderForm");
                  ASSERT_TRUE(finder->isVisible());
                  // Where to search: the Add button's query.
                  answerQuery(drive.path("proj"));
                  click(child<QPushButton>("btnAdd", finder));
                  EXPECT_EQ(child<QListWidget>("lbSearchPaths", finder)->item(0)->text().toStdString(),
                            drive.path("proj"));
                  // What: a mask typed into the box, then Ctrl+S; hits marked in the results and sent to the
                  // Basket.
                  click(child<QWidget>("cmbSearchFor", finder));
                  key(Qt::Key_A, Qt::ControlModifier);
                  type("*.txt");
                  std::string shown;
                  when<tools::TSrchRes>(
                      [&](tools::TSrchRes& results) {
                          shown = resultRows(results, 3);
                          // Every hit comes marked: beta.txt is unmarked before the hits go to the Basket.
                          keys({Qt::Key_Down, Qt::Key_Down, Qt::Key_Insert});
                          click(child<QWidget>("btnSendToBasket", &results));
                          key(Qt::Key_Escape);
                      },
                      searchShown);
                  key(Qt::Key_S, Qt::ControlModifier);
                  EXPECT_EQ(shown, "c:\\Proj\\,,|alpha,txt,13|beta,txt,7|c:\\Proj\\Deep\\,,|delta,txt,10");
                  EXPECT_EQ(left().BrowserMode(), filelist::kViewBasket)
                      << "the panel beside the tools shows the Basket";
                  EXPECT_EQ(basketRows(left()), "<" + drive.path("proj") + ">|alpha.txt|<" +
                                                    drive.path("proj\\deep") + ">|delta.txt");

                  // By content: every name, the text page's box ticked and the text typed; Enter on a hit
                  // goes to it.
                  click(child<QWidget>("cmbSearchFor", finder));
                  key(Qt::Key_A, Qt::ControlModifier);
                  type("*");
                  auto* pages = child<QTabWidget>("pcFinder", finder);
                  click(pages->tabBar(), Qt::NoModifier, pages->tabBar()->tabRect(2).center());
                  click(child<QWidget>("chkFindText", finder));
                  click(child<QWidget>("cmbTextToFind", finder));
                  type("needle");
                  when<tools::TSrchRes>(
                      [&](tools::TSrchRes& results) {
                          shown = resultRows(results, 3);
                          keys({Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down});
                          key(Qt::Key_Return);
                      },
                      searchShown);
                  key(Qt::Key_S, Qt::ControlModifier);
                  EXPECT_EQ(shown, "c:\\Proj\\,,|alpha,txt,13|gamma,log,10|c:\\Proj\\Deep\\,,|delta,txt,10");
                  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
                  EXPECT_EQ(folder(left()), drive.path("proj\\deep"));
                  EXPECT_EQ(cursorName(left()), "delta.txt");
                  key(Qt::Key_F4, Qt::AltModifier);
              }),
              0);
}

} // namespace
} // namespace wux::e2e
