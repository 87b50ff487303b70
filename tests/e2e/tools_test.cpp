// The four tools as a user runs them from the main window: Finder, Replacer, Batch Replacer, Renamer.
#include "journey.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

#include <map>
#include <set>

#include "controls/vyk_combo_box.h"
#include "mainwindow/settings.h"
#include "support/packages.h"
#include "tools/run_window.h"
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

// The run window's table: every cell of a row joined by ",", rows by "|" (the title row first).
std::string runRows(tools::TViewRenReplacer& run)
{
    std::string shown;
    controls::TWUXStringGrid& grid = *run.sgInfo();
    for (int row = 0; row < grid.RowCount(); ++row)
        for (int col = 0; col < grid.ColCount(); ++col)
            shown += (col ? "," : (row ? "|" : "")) + grid.Cells(col, row).toStdString();
    // The status cells carry their colour as a control character after the text.
    std::erase_if(shown, [](char c) { return c > 0 && c < ' '; });
    return shown;
}

bool runDone(tools::TViewRenReplacer& run)
{
    return run.finished() && run.isActiveWindow() && run.pnlFilesComment()->text().startsWith("Operation");
}

// The zip entries of a package stored alike (method, CRC, bytes), but the named ones.
// The entries of a package that differ from its backup copy (method, CRC or bytes), joined by "|".
std::string changedEntries(const std::string& posixPath)
{
    const std::map<std::string, std::string> now = wux::test::storedEntries(posixPath);
    const std::map<std::string, std::string> old = wux::test::storedEntries(posixPath + ".bak");
    EXPECT_EQ(wux::test::zipNames(posixPath), wux::test::zipNames(posixPath + ".bak")) << posixPath;
    std::string names;
    for (const auto& [name, stored] : now)
        if (!old.count(name) || old.at(name) != stored)
            names += (names.empty() ? "" : "|") + name;
    return names;
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
                  EXPECT_EQ(shown, "c:\\proj\\,,|alpha,txt,13|beta,txt,7|c:\\proj\\deep\\,,|delta,txt,10");
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
                  EXPECT_EQ(shown, "c:\\proj\\,,|alpha,txt,13|gamma,log,10|c:\\proj\\deep\\,,|delta,txt,10");
                  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
                  EXPECT_EQ(folder(left()), drive.path("proj\\deep"));
                  EXPECT_EQ(cursorName(left()), "delta.txt");
                  key(Qt::Key_F4, Qt::AltModifier);
              }),
              0);
}

TEST_F(Journey, ReplacerOverPlainAndOfficeFilesThenAJustFindRun)
{
    using namespace wux::test;
    createFile(drive.path("docs\\plain.txt"), "the cat sat on the mat. Cat!");
    createFile(drive.path("docs\\other.txt"), "no felines");
    DocxContent docx;
    docx.body = para({"The cat and ", "the dog"}) +
                "<w:sectPr><w:headerReference w:type=\"default\" r:id=\"header1\"/></w:sectPr>";
    docx.headers = {{"header1", para({"cat header"})}};
    createFile(drive.path("docs\\report.docx"), buildDocx(docx));
    createFile(drive.path("docs\\sheet.xlsx"), xlsxWithText("cat food"));
    createFile(drive.path("docs\\slides.pptx"), pptxWithText("a cat slide"));
    createFile(drive.path("docs\\notes.odt"), odtWithText("my cat"));
    std::map<std::string, std::string> before;
    for (const char* name :
         {"plain.txt", "other.txt", "report.docx", "sheet.xlsx", "slides.pptx", "notes.odt"})
        before[name] = readFileBytes(drive.path(std::string("docs\\") + name));
    makeFolder(drive.path("out"));
    settings(drive.path("docs"), drive.path("out"));
    EXPECT_EQ(
        run([&] {
            key(Qt::Key_4, Qt::ControlModifier);
            QWidget* replacer = child<QWidget>("TReplacerForm");
            ASSERT_TRUE(replacer->isVisible());
            // Every file of the panel beside the tools marked, the texts typed, no backup copies.
            focus(left());
            key(Qt::Key_A, Qt::ControlModifier);
            click(child<QWidget>("memFind", replacer));
            type("cat");
            click(child<QWidget>("mmReplace", replacer));
            type("dog");
            std::string shown;
            when<tools::TViewRenReplacer>(
                [&](tools::TViewRenReplacer& run) {
                    shown = runRows(run) + " / " + run.pnlFilesComment()->text().toStdString();
                    click(run.btnCancel());
                },
                runDone);
            key(Qt::Key_S, Qt::ControlModifier);
            EXPECT_EQ(shown, "Name,Size before,Size after,Changed size,Amount,Status|"
                             "c:\\docs\\notes.odt,1 207,1 204,-3,1,successful|"
                             "c:\\docs\\other.txt,10,10,0,0,unchanged|"
                             "c:\\docs\\plain.txt,28,28,0,2,successful|"
                             "c:\\docs\\report.docx,2 082,2 071,-11,2,successful|"
                             "c:\\docs\\sheet.xlsx,2 966,2 960,-6,1,successful|"
                             "c:\\docs\\slides.pptx,1 817,1 812,-5,1,successful / Operation completed!");
            // On disk: the texts replaced, every other part of the packages stored as it was, the
            // originals kept as backup copies.
            EXPECT_EQ(onDisk("docs"),
                      "notes.odt|notes.odt.bak|other.txt|plain.txt|plain.txt.bak|report.docx|"
                      "report.docx.bak|sheet.xlsx|sheet.xlsx.bak|slides.pptx|slides.pptx.bak");
            for (const auto& [name, bytes] : before) {
                if (name != "other.txt") {
                    EXPECT_EQ(readFileBytes(drive.path("docs\\" + name + ".bak")), bytes) << name;
                }
            }
            EXPECT_EQ(readFileBytes(drive.path("docs\\plain.txt")), "the dog sat on the mat. dog!");
            EXPECT_EQ(readFileBytes(drive.path("docs\\other.txt")), "no felines");
            const std::string withBackups =
                "notes.odt|notes.odt.bak|other.txt|plain.txt|plain.txt.bak|report.docx|"
                "report.docx.bak|sheet.xlsx|sheet.xlsx.bak|slides.pptx|slides.pptx.bak";
            EXPECT_EQ(changedEntries(drive.posix("docs/report.docx")), "word/document.xml|word/header1.xml");
            EXPECT_EQ(changedEntries(drive.posix("docs/sheet.xlsx")),
                      "xl/sharedStrings.xml|xl/worksheets/sheet1.xml");
            EXPECT_EQ(changedEntries(drive.posix("docs/slides.pptx")), "ppt/slides/slide1.xml");
            EXPECT_EQ(changedEntries(drive.posix("docs/notes.odt")), "content.xml");
            const auto holds = [&](const char* file, const char* part, const std::string& text) {
                const std::string xml = readZip(drive.posix(std::string("docs/") + file))[part];
                EXPECT_NE(xml.find(text), std::string::npos) << file << " " << part << ": " << xml;
                EXPECT_EQ(xml.find("cat"), std::string::npos) << file << " " << part;
            };
            holds("report.docx", "word/document.xml",
                  ">The dog and </w:t></w:r><w:r><w:t xml:space=\"preserve\">the dog<");
            holds("report.docx", "word/header1.xml", ">dog header<");
            holds("sheet.xlsx", "xl/sharedStrings.xml", "<si><t>dog food</t></si>");
            holds("slides.pptx", "ppt/slides/slide1.xml", "<a:t>a dog slide</a:t>");
            holds("notes.odt", "content.xml", "<text:p>my dog</text:p>");
            EXPECT_EQ(zipNames(drive.posix("docs/notes.odt")).front(), "mimetype");

            // Just find: the same texts found and counted, nothing written.
            std::map<std::string, std::string> now;
            for (const std::string& name : {"plain.txt", "report.docx", "sheet.xlsx", "notes.odt"})
                now[name] = readFileBytes(drive.path("docs\\" + name));
            click(child<QWidget>("rbJustFind", replacer));
            click(child<QWidget>("memFind", replacer));
            key(Qt::Key_A, Qt::ControlModifier);
            type("dog");
            focus(left());
            key(Qt::Key_A, Qt::ControlModifier);
            when<tools::TViewRenReplacer>(
                [&](tools::TViewRenReplacer& run) {
                    shown = runRows(run) + " / " + run.pnlFilesComment()->text().toStdString();
                    click(run.btnCancel());
                },
                runDone);
            key(Qt::Key_S, Qt::ControlModifier);
            EXPECT_EQ(shown, "Name,Size before,Size after,Changed size,Amount,Status|"
                             "c:\\docs\\notes.odt,1 204,1 204,0,1,successful|"
                             "c:\\docs\\notes.odt.bak,1 207,1 207,0,0,unchanged|"
                             "c:\\docs\\other.txt,10,10,0,0,unchanged|"
                             "c:\\docs\\plain.txt,28,28,0,2,successful|"
                             "c:\\docs\\plain.txt.bak,28,28,0,0,unchanged|"
                             "c:\\docs\\report.docx,2 071,2 071,0,3,successful|"
                             "c:\\docs\\report.docx.bak,2 082,2 082,0,0,unchanged|"
                             "c:\\docs\\sheet.xlsx,2 960,2 960,0,1,successful|"
                             "c:\\docs\\sheet.xlsx.bak,2 966,2 966,0,0,unchanged|"
                             "c:\\docs\\slides.pptx,1 812,1 812,0,1,successful|"
                             "c:\\docs\\slides.pptx.bak,1 817,1 817,0,0,unchanged / Operation completed!");
            for (const auto& [name, bytes] : now)
                EXPECT_EQ(readFileBytes(drive.path("docs\\" + name)), bytes) << name;
            EXPECT_EQ(onDisk("docs"), withBackups) << "no backup copies of a run that writes nothing";
            key(Qt::Key_F4, Qt::AltModifier);
        }),
        0);
}

TEST_F(Journey, BatchReplacerTablesFromATableFileAndFromCsvThenARun)
{
    createFile(drive.path("b\\one.txt"), "red and blue");
    createFile(drive.path("b\\two.txt"), "Blue sky, red sun");
    createFile(drive.path("tables\\colors.rtbl"), "red=green\r\nblue=yellow");
    createFile(drive.path("tables\\more.csv"), wux::test::buildCsv({{"green", "GREEN"}, {"sun", "moon"}}));
    settings(drive.path("b"), drive.path("tables"));
    EXPECT_EQ(
        run([&] {
            key(Qt::Key_5, Qt::ControlModifier);
            QWidget* batch = child<QWidget>("TBatchReplacerForm");
            ASSERT_TRUE(batch->isVisible());
            auto* grid = child<controls::TWUXStringGrid>("sgBatch", batch);
            const auto table = [grid] {
                std::string shown;
                for (int row = 0; row < grid->RowCount(); ++row)
                    for (int col = 0; col < grid->ColCount(); ++col)
                        shown += (col ? "," : (row ? "|" : "")) + grid->Cells(col, row).toStdString();
                return shown;
            };
            const auto runAll = [&] {
                focus(left());
                key(Qt::Key_A, Qt::ControlModifier);
                when<tools::TViewRenReplacer>([&](tools::TViewRenReplacer& run) { click(run.btnCancel()); },
                                              runDone);
                key(Qt::Key_S, Qt::ControlModifier);
            };
            // A table file through the system's open dialog; no backup copies.
            dialogs.answerFile(drive.path("tables\\colors.rtbl"));
            click(child<QWidget>("btnLoad", batch));
            EXPECT_EQ(table(),
                      "Case sensitive,Find this,Replace with|Insensitive,red,green|Insensitive,blue,yellow");
            click(child<QWidget>("chkbcopy", batch));
            runAll();
            EXPECT_EQ(readFileBytes(drive.path("b\\one.txt")), "green and yellow");
            EXPECT_EQ(readFileBytes(drive.path("b\\two.txt")), "yellow sky, green sun");
            // A CSV table, saved again as a table file.
            dialogs.answerFile(drive.path("tables\\more.csv"));
            click(child<QWidget>("btnLoad", batch));
            EXPECT_EQ(table(),
                      "Case sensitive,Find this,Replace with|Insensitive,green,GREEN|Insensitive,sun,moon");
            runAll();
            EXPECT_EQ(readFileBytes(drive.path("b\\one.txt")), "GREEN and yellow");
            EXPECT_EQ(readFileBytes(drive.path("b\\two.txt")), "yellow sky, GREEN moon");
            EXPECT_EQ(onDisk("b"), "one.txt|two.txt");
            dialogs.answerFile(drive.path("tables\\saved.rtbl"));
            click(child<QWidget>("btnSave", batch));
            EXPECT_EQ(readFileBytes(drive.path("tables\\saved.rtbl")), "green=GREEN\r\nsun=moon");
            ASSERT_EQ(dialogs.fileRequests().size(), 3u);
            EXPECT_EQ(dialogs.fileRequests()[0].filter, "Table file (*.rtbl *.xls *.xlsx *.csv)");
            EXPECT_EQ(dialogs.fileRequests()[2].filter, "Table file (*.rtbl)");
            EXPECT_EQ(dialogs.fileRequests()[2].fileName, "more.rtbl") << "the last table's name proposed";
            key(Qt::Key_F4, Qt::AltModifier);
        }),
        0);
}

TEST_F(Journey, RenamerPreviewCancelPreviewAgainAndRun)
{
    createFile(drive.path("ren\\a.txt"), "a");
    createFile(drive.path("ren\\b.txt"), "b");
    createFile(drive.path("ren\\c.log"), "c");
    settings(drive.path("ren"), drive.path("ren"));
    EXPECT_EQ(
        run([&] {
            key(Qt::Key_3, Qt::ControlModifier);
            QWidget* renamer = child<QWidget>("TRenamerForm");
            ASSERT_TRUE(renamer->isVisible());
            focus(left());
            key(Qt::Key_A, Qt::ControlModifier);
            click(child<QWidget>("cmbFileName", renamer));
            key(Qt::Key_A, Qt::ControlModifier);
            type("photo_[C]");
            std::string shown;
            const auto preview = [&](const char* button) {
                when<tools::TSrchRes>(
                    [&, button](tools::TSrchRes& results) {
                        shown = resultRows(results, 4);
                        click(child<QWidget>(button, &results));
                    },
                    [](tools::TSrchRes& results) { return results.isActiveWindow(); });
            };
            // The counter steps by 0 until told otherwise: every name the same, so Cancel.
            preview("btnExit");
            key(Qt::Key_S, Qt::ControlModifier);
            EXPECT_EQ(shown, "c:\\ren,a,txt,photo_0|c:\\ren,b,txt,photo_0|c:\\ren,c,log,photo_0");
            EXPECT_EQ(onDisk("ren"), "a.txt|b.txt|c.log");
            for (const char* box : {"spStart", "spStep"}) {
                click(child<QWidget>(box, renamer));
                key(Qt::Key_A, Qt::ControlModifier);
                type("1");
            }
            preview("btnStartRename");
            std::string ran;
            when<tools::TViewRenReplacer>(
                [&](tools::TViewRenReplacer& run) {
                    ran = runRows(run);
                    click(run.btnCancel());
                },
                runDone);
            key(Qt::Key_S, Qt::ControlModifier);
            EXPECT_EQ(shown, "c:\\ren,a,txt,photo_1|c:\\ren,b,txt,photo_2|c:\\ren,c,log,photo_3");
            EXPECT_EQ(
                ran,
                "Name,Status|c:\\ren\\a.txt - photo_1.txt,successful|c:\\ren\\b.txt - photo_2.txt,successful|"
                "c:\\ren\\c.log - photo_3.log,successful");
            EXPECT_EQ(onDisk("ren"), "photo_1.txt|photo_2.txt|photo_3.log");
            EXPECT_EQ(readFileBytes(drive.path("ren\\photo_2.txt")), "b");
            EXPECT_EQ(rows(left()), "[..]|photo_1.txt|photo_2.txt|photo_3.log");
            key(Qt::Key_F4, Qt::AltModifier);
        }),
        0);
}

} // namespace
} // namespace wux::e2e
