#include "controls/speed_button_new.h"
#include "tools/search_results.h"

#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "controls/wux_string_grid.h"
#include "core/text_table.h"
#include "engines/search_thread.h"
#include "filelist/basket.h"
#include "filelist/file_operations.h"
#include "filelist/general_options.h"
#include "filelist/list_builder.h"
#include "filelist/list_operations.h"
#include "platform/dialogs.h"
#include "platform/help.h"
#include "platform/thread.h"
#include "support/file_builders.h"
#include "support/text_recorder.h"
#include "support/temp_drive.h"
#include "tools/finder_form.h"
#include "tools/query_dialog.h"
#include "tools/row_colors.h"
#include "tools/tool_list.h"
#include "tools/tool_test_host.h"

namespace wux::tools {
namespace {

using filelist::test::addFolder;
using filelist::test::file;
using platform::MsgResult;

TEST(SearchResultsColumns, TitleClicksToggleOrStartASortKey)
{
    struct Click
    {
        std::uint32_t before;
        int key;
        std::uint32_t after;
    };
    for (const Click& c :
         {Click{8, 2, 66}, Click{66, 2, 66 | 0x2000}, Click{66 | 0x2000, 2, 66}, Click{66, 3, 67},
          Click{67, 0, 8}, Click{8, 0, 8 | 0x2000}, Click{8, 1, 1}, Click{1, 4, 1}})
        EXPECT_EQ(sortWordAfterTitleClick(c.before, c.key), c.after) << c.before << " key " << c.key;
}

// A search that runs until it is stopped.
class EndlessSearch : public platform::WuxThread
{
public:
    ~EndlessSearch() override
    {
        Terminate();
        WaitFor();
    }

protected:
    void Execute() override
    {
        while (!Terminated())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        setReturnValue(1);
    }
};

class SearchResultsTest : public wux::test::TempDriveTest
{
protected:
    void SetUp() override
    {
        core::registerCoreTexts();
        registerSearchResultsTexts();
        registerQueryDialogTexts();
        savedOptions_ = filelist::GeneralCheckContainer.load();
        filelist::GeneralCheckContainer = savedOptions_ & ~0x2000u; // hits stay unmarked at the end
        filelist::CreateBasketState(filelist::BasketState);
        filelist::AttachStateToPanel(filelist::kRightBasketView, true, filelist::BasketState);
        filelist::AttachStateToPanel(filelist::kLeftBasketView, true, filelist::BasketState);
    }
    void TearDown() override
    {
        filelist::GeneralCheckContainer = savedOptions_;
        if (engines::FinderStore.text != nullptr)
            filelist::FreeBrowserState(engines::FinderStore);
        engines::ResultListState = nullptr;
        filelist::FreeBrowserState(filelist::BasketState);
    }

    // A store of hits as a search leaves it: two folders, three files.
    void fillStore()
    {
        filelist::CreateBrowserState(engines::FinderStore, 10, 300, "*.*", 10000);
        engines::FinderStore.mode = 2;
        engines::ResultListState = &engines::FinderStore;
        addFolder(engines::FinderStore, "c:\\tree", {file("b.txt", 20), file("a.txt", 300)});
        addFolder(engines::FinderStore, "c:\\tree\\sub", {file("c.log", 1)});
        filelist::SortAllFolders(engines::FinderStore);
    }

    // Runs the Finder over the tree and hands the finished results window to check (then closes it).
    void runFinder(const std::string& mask, const std::function<void(TSrchRes&)>& check,
                   const std::string& folder = "tree")
    {
        TFinderForm form;
        form.RegisterDefaultTexts(800);
        form.Translate(800);
        form.findChild<QListWidget*>("lbSearchPaths")->addItem(QString::fromStdString(path(folder)));
        form.findChild<QComboBox*>("cmbSearchFor")->setEditText(QString::fromStdString(mask));
        bool checked = false;
        form.onResultsShown = [&](TSrchRes& results) {
            test::onNextModal([&](QDialog&) {
                QTRY_VERIFY(results.searchFinished());
                check(results);
                checked = true;
                if (results.isVisible())
                    results.close();
            });
        };
        form.CanStart(nullptr);
        form.StartOperation();
        EXPECT_TRUE(checked);
    }

    void makeTree()
    {
        wux::test::createFile(path("tree\\a.txt"), "hello");
        wux::test::createFile(path("tree\\b.log"), "x");
        wux::test::createFile(path("tree\\sub\\c.txt"), "123456789");
        wux::test::createFile(path("tree\\sub\\d.txt"), "");
    }

    test::TestHost host;
    std::uint32_t savedOptions_ = 0;
};

std::vector<std::string> column(TSrchRes& results, int col)
{
    std::vector<std::string> texts;
    for (int row = 0; row < results.rowCount(); ++row)
        texts.push_back(results.cellText(col, row));
    return texts;
}

TEST_F(SearchResultsTest, RealSearchShowsFolderRowsSortsAndSwitchesViews)
{
    makeTree();
    runFinder("*.txt", [&](TSrchRes& results) {
        EXPECT_EQ(results.rowCount(), 5);
        EXPECT_EQ(column(results, 0),
                  (std::vector<std::string>{"c:\\tree\\", "a", "c:\\tree\\sub\\", "c", "d"}));
        EXPECT_EQ(column(results, 1), (std::vector<std::string>{"", "txt", "", "txt", "txt"}));
        EXPECT_EQ(column(results, 2), (std::vector<std::string>{"", "5", "", "9", "0"}));
        // Size title twice (a click on the title line): by size, then by size descending.
        EXPECT_TRUE(results.findChild<QToolButton*>("btnSetModeBrief")->isEnabled());
        // The view buttons paint a glyph (a speed button draws no icon).
        for (const char* name : {"btnSetModeBrief", "btnSetModeFull"})
            EXPECT_EQ(results.findChild<controls::TSpeedButtonNew*>(name)->glyphKind(), "bitmap") << name;
        auto* titles = results.findChild<controls::DrawGrid*>("sgTitle");
        QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, titles->CellRect(2, 0).center());
        EXPECT_EQ(engines::FinderStore.sortWord, 66u);
        EXPECT_EQ(column(results, 0),
                  (std::vector<std::string>{"c:\\tree\\", "a", "c:\\tree\\sub\\", "d", "c"}));
        results.titleClick(2);
        EXPECT_EQ(engines::FinderStore.sortWord, 66u | 0x2000);
        EXPECT_EQ(column(results, 0),
                  (std::vector<std::string>{"c:\\tree\\", "a", "c:\\tree\\sub\\", "c", "d"}));
        // Attr and Location have no sort key.
        results.titleClick(4);
        EXPECT_EQ(engines::FinderStore.sortWord, 66u | 0x2000);

        results.findChild<QToolButton*>("btnSetModeBrief")->click();
        EXPECT_EQ(results.viewMode(), 1);
        EXPECT_FALSE(results.FullView());
        EXPECT_EQ(results.rowCount(), 3);
        EXPECT_EQ(column(results, 0), (std::vector<std::string>{"c:\\tree\\sub\\c.txt", "c:\\tree\\a.txt",
                                                                "c:\\tree\\sub\\d.txt"}));
        results.findChild<QToolButton*>("btnSetModeFull")->click();
        EXPECT_EQ(results.rowCount(), 5);
        EXPECT_EQ(results.cellText(0, 2), "c:\\tree\\sub\\");
    });
    EXPECT_EQ(engines::ResultListState, nullptr);
}

// Two folders whose names differ only in case are two folders: both are searched, and each hit is
// shown under its own folder, as spelled.
TEST_F(SearchResultsTest, FoldersWhoseNamesDifferOnlyInCaseAreSearchedAndShownApart)
{
    wux::test::createFile(path("CaseTest\\Mix\\a.txt"), "a");
    wux::test::createFile(path("CaseTest\\mix\\renamed_a.txt"), "ra");
    wux::test::createFile(path("CaseTest\\mix\\renamed_b.txt"), "rb");
    const std::string upper = path("CaseTest\\Mix\\");
    const std::string lower = path("CaseTest\\mix\\");
    runFinder(
        "*a*.txt",
        [&](TSrchRes& results) {
            EXPECT_EQ(column(results, 0),
                      (std::vector<std::string>{upper, "a", lower, "renamed_a", "renamed_b"}));
        },
        "CaseTest");
    runFinder(
        "renamed*",
        [&](TSrchRes& results) {
            EXPECT_EQ(column(results, 0), (std::vector<std::string>{lower, "renamed_a", "renamed_b"}));
        },
        "CaseTest");
}

TEST_F(SearchResultsTest, ContentSearchFindsFilesHoldingEveryTerm)
{
    wux::test::createFile(path("tree\\both.txt"), "say hello to the world");
    wux::test::createFile(path("tree\\one.txt"), "hello only");
    wux::test::createFile(path("tree\\none.txt"), "HELLO WORLD");
    TFinderForm form;
    form.findChild<QListWidget*>("lbSearchPaths")->addItem(QString::fromStdString(path("tree")));
    form.findChild<QCheckBox*>("chkFindText")->click();
    form.findChild<QComboBox*>("cmbTextToFind")->setEditText("world hello");
    form.findChild<QRadioButton*>("rbAnd")->setChecked(true);
    form.findChild<QCheckBox*>("chkCaseSensitive")->setChecked(true);
    std::vector<std::string> names;
    form.onResultsShown = [&](TSrchRes& results) {
        test::onNextModal([&](QDialog&) {
            QTRY_VERIFY(results.searchFinished());
            names = column(results, 0);
            results.close();
        });
    };
    form.CanStart(nullptr);
    form.StartOperation();
    EXPECT_EQ(names, (std::vector<std::string>{"c:\\tree\\", "both"}));
}

TEST_F(SearchResultsTest, CaptionsComeFromTheTextTableAndF1OpensTheTopic)
{
    const std::vector<std::pair<const char*, int>> captions = {
        {"gbxSends", 1101},    {"btnSendToBasket", 1102}, {"gbxOperations", 1105},  {"btnStopSearch", 1106},
        {"btnGoToFile", 1107}, {"btnHelpF", 1108},        {"btnStartRename", 1110}, {"btnHlpRenamer", 1111},
        {"btnExit", 1112},     {"gbViewMode", 1113}};
    for (const auto& [control, id] : captions)
        core::classTranslator().SetTranslation(id, "#" + std::to_string(id));
    core::classTranslator().SetTranslation(1100, "Treffer");
    fillStore();
    TSrchRes results;
    core::classTranslator().ResetTranslations();
    EXPECT_EQ(results.windowTitle().toStdString(), "Treffer");
    for (const auto& [control, id] : captions)
        EXPECT_EQ(test::shownText(results, control), "#" + std::to_string(id)) << control;
    results.InitSearch();
    QTest::keyClick(&results, Qt::Key_F1);
    EXPECT_EQ(platform::lastHelpRequest(), HelpFileName() + "::/SEARCH_RESULTS.htm");
}

TEST_F(SearchResultsTest, NothingFoundIsShownOnlyAfterTheEnd)
{
    fillStore();
    filelist::FreeBrowserState(engines::FinderStore);
    filelist::CreateBrowserState(engines::FinderStore, 10, 300, "*.*", 10000);
    engines::FinderStore.mode = 2;
    TSrchRes results;
    results.InitSearch();
    EndlessSearch search;
    search.OnTerminate = [&results](platform::WuxThread&) { results.SearchDone(); };
    results.setSearchThread(&search);
    results.resize(600, 400);
    results.show();
    search.Start();
    results.SetResultRowCount(0);
    auto* grid = results.findChild<controls::TWUXStringGrid*>("sgFinder");
    auto darkPixels = [grid] {
        const QImage image = grid->viewport()->grab().toImage();
        int dark = 0;
        for (int y = 0; y < std::min(image.height(), 60); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) < 100)
                    ++dark;
        return dark;
    };
    EXPECT_EQ(darkPixels(), 0);
    results.btnStopSearchClick();
    EXPECT_TRUE(results.searchFinished());
    EXPECT_GT(darkPixels(), 20);
    EXPECT_EQ(results.findChild<QPushButton*>("btnStopSearch")->text().toStdString(), "&Cancel");
    EXPECT_FALSE(results.findChild<QPushButton*>("btnGoToFile")->isEnabled());
    results.btnStopSearchClick(); // now it closes
    EXPECT_FALSE(results.isVisible());
}

TEST_F(SearchResultsTest, ClosingWhileSearchingAsksAndStopsOnlyOnYes)
{
    fillStore();
    platform::ScriptedDialogService dialogs;
    platform::ScopedDialogService scope(dialogs);
    dialogs.answer({MsgResult::No, MsgResult::Cancel, MsgResult::Yes});
    TSrchRes results;
    results.InitSearch();
    EndlessSearch search;
    search.OnTerminate = [&results](platform::WuxThread&) { results.SearchDone(); };
    results.setSearchThread(&search);
    results.show();
    search.Start();
    for (int i = 0; i < 2; ++i) {
        results.close();
        EXPECT_TRUE(results.isVisible());
        EXPECT_FALSE(search.Finished());
    }
    QTest::keyClick(&results, Qt::Key_Escape); // Yes: stopped, the window stays with its results
    EXPECT_TRUE(search.Finished());
    EXPECT_TRUE(results.isVisible());
    EXPECT_TRUE(results.searchFinished());
    ASSERT_EQ(dialogs.texts(),
              (std::vector<std::string>{"Abort operation?", "Abort operation?", "Abort operation?"}));
    EXPECT_EQ(dialogs.records()[0].request.caption, "Wuxtool - c:\\data");
    EXPECT_EQ(dialogs.records()[0].request.buttons, platform::MsgButtons::YesNoCancel);
    results.close(); // finished: no question
    EXPECT_FALSE(results.isVisible());
    EXPECT_EQ(dialogs.records().size(), 3u);
}

TEST_F(SearchResultsTest, EndWithSelectOptionSelectsEveryHitKeepingMarks)
{
    fillStore();
    filelist::GeneralCheckContainer = filelist::GeneralCheckContainer.load() | 0x2000;
    TSrchRes results;
    results.InitSearch();
    filelist::FreeBrowserState(engines::FinderStore);
    fillStore(); // the thread's hits (InitSearch emptied the store)
    results.SetResultRowCount(5);
    EndlessSearch search;
    search.OnTerminate = [&results](platform::WuxThread&) { results.SearchDone(); };
    results.setSearchThread(&search);
    search.Start();
    auto* grid = results.findChild<controls::TWUXStringGrid*>("sgFinder");
    grid->FocusCell(0, 1);
    QTest::keyClick(grid, Qt::Key_Space); // marked during the search
    EXPECT_TRUE(results.rowMarked(1));
    results.btnStopSearchClick();
    for (int row : {1, 2, 4})
        EXPECT_TRUE(results.rowMarked(row)) << row;
    EXPECT_TRUE(results.findChild<QPushButton*>("btnSendToBasket")->isEnabled());
}

TEST_F(SearchResultsTest, MarkingKeysMaskSelectionGoToFileAndBasket)
{
    makeTree();
    host.masks.Add("*.log");
    runFinder("*.*", [&](TSrchRes& results) {
        // c:\Tree\ [Sub] a.txt b.log ; c:\Tree\Sub\ c.txt d.txt
        EXPECT_EQ(results.rowCount(), 7);
        EXPECT_EQ(results.cellText(0, 1), "[sub]");
        auto* grid = results.findChild<controls::TWUXStringGrid*>("sgFinder");
        QApplication::setActiveWindow(&results);
        grid->setFocus();
        auto marked = [&] {
            std::vector<int> rows;
            for (int row = 0; row < results.rowCount(); ++row)
                if (results.rowMarked(row))
                    rows.push_back(row);
            return rows;
        };
        QTest::keyClick(grid, Qt::Key_Asterisk, Qt::KeypadModifier);
        EXPECT_EQ(marked(), (std::vector<int>{1, 2, 3, 5, 6}));
        QTest::keyClick(grid, Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier);
        EXPECT_EQ(marked(), std::vector<int>{});
        QTest::keyClick(grid, Qt::Key_A, Qt::ControlModifier);
        EXPECT_EQ(marked().size(), 5u);
        QTest::keyClick(grid, Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier);
        grid->FocusCell(0, 1);
        QTest::keyClick(grid, Qt::Key_Insert);
        EXPECT_EQ(grid->Row(), 2);
        QTest::keyClick(grid, Qt::Key_Space);
        EXPECT_EQ(marked(), (std::vector<int>{1, 2}));
        QTest::keyClick(grid, Qt::Key_Space);
        EXPECT_EQ(marked(), (std::vector<int>{1}));

        // Keypad plus: the query shows the newest mask; "*.txt" marks by mask and joins the history.
        test::onNextModal([](QDialog& dialog) {
            auto& query = static_cast<TStandardQuery&>(dialog);
            EXPECT_EQ(query.lblInfo()->text().toStdString(), "Select files");
            EXPECT_EQ(query.cbForSelectFiles()->currentText().toStdString(), "*.log");
            query.cbForSelectFiles()->setEditText("*.txt");
            query.btnOK()->click();
        });
        QTest::keyClick(grid, Qt::Key_Plus, Qt::KeypadModifier);
        EXPECT_EQ(marked(), (std::vector<int>{1, 2, 5, 6}));
        platform::StringList newest;
        host.masks.FillStrings(newest);
        ASSERT_GE(newest.count(), 2);
        EXPECT_EQ(newest.at(0), "*.txt");
        test::onNextModal([](QDialog& dialog) {
            EXPECT_EQ(static_cast<TStandardQuery&>(dialog).lblInfo()->text().toStdString(), "Unselect files");
            static_cast<TStandardQuery&>(dialog).btnCancel()->click();
        });
        QTest::keyClick(grid, Qt::Key_Minus, Qt::KeypadModifier);
        EXPECT_EQ(marked(), (std::vector<int>{1, 2, 5, 6}));

        // Send to Basket: the marked hits (the folder too) go to the Basket, unmarked here.
        auto* send = results.findChild<QPushButton*>("btnSendToBasket");
        ASSERT_TRUE(send->isEnabled());
        send->click();
        EXPECT_EQ(filelist::BasketState.itemCount, 4);
        EXPECT_EQ(filelist::LeftBasketState.itemCount, 4);
        EXPECT_EQ(filelist::RightBasketState.itemCount, 4);
        EXPECT_EQ(host.basketShown, 1);
        EXPECT_EQ(marked(), std::vector<int>{});
        EXPECT_FALSE(send->isEnabled());

        // A right-button drag from a row marks the rows passed over.
        results.activateWindow();
        QApplication::setActiveWindow(&results);
        QTRY_VERIFY(results.isActiveWindow());
        QTest::mousePress(grid->viewport(), Qt::RightButton, {}, grid->CellRect(0, 5).center());
        QMouseEvent move(QEvent::MouseMove, QPointF(grid->CellRect(0, 6).center()),
                         QPointF(grid->viewport()->mapToGlobal(grid->CellRect(0, 6).center())), Qt::NoButton,
                         Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(grid->viewport(), &move);
        QTest::mouseRelease(grid->viewport(), Qt::RightButton, {}, grid->CellRect(0, 6).center());
        EXPECT_EQ(marked(), (std::vector<int>{5, 6}));

        // Go to file: the folder and the stored name of the current row; the window closes.
        grid->FocusCell(0, 5);
        QTest::keyClick(grid, Qt::Key_Return);
        ASSERT_EQ(host.goTo.size(), 1u);
        EXPECT_EQ(host.goTo[0].first, "c:\\tree\\sub") << "the folder as it is on disk, not as shown";
        EXPECT_EQ(host.goTo[0].second, "c.txt");
        EXPECT_FALSE(results.isVisible());
    });
}

TEST_F(SearchResultsTest, GoToFolderRowAndNoPanel)
{
    makeTree();
    runFinder("*.txt", [&](TSrchRes& results) {
        auto* grid = results.findChild<controls::TWUXStringGrid*>("sgFinder");
        host.panelVisible = false;
        grid->FocusCell(0, 2);
        results.btnGoToFileClick();
        EXPECT_TRUE(host.goTo.empty());
        EXPECT_TRUE(results.isVisible());
        host.panelVisible = true;
        results.btnGoToFileClick();
        ASSERT_EQ(host.goTo.size(), 1u);
        EXPECT_EQ(host.goTo[0], (std::pair<std::string, std::string>{"c:\\tree\\sub", ""}));
    });
}

TEST_F(SearchResultsTest, DuplicatesRunNeitherSortsNorSwitchesViews)
{
    wux::test::createFile(path("tree\\same.txt"), "12");
    wux::test::createFile(path("tree\\sub\\same.txt"), "34");
    wux::test::createFile(path("tree\\sub\\other.txt"), "5");
    TFinderForm form;
    form.RegisterDefaultTexts(800);
    form.Translate(800);
    form.findChild<QListWidget*>("lbSearchPaths")->addItem(QString::fromStdString(path("tree")));
    form.findChild<QCheckBox*>("chkDuplicates")->click();
    form.findChild<QCheckBox*>("chkSameSize")->click(); // same name only
    bool checked = false;
    form.onResultsShown = [&](TSrchRes& results) {
        test::onNextModal([&](QDialog&) {
            QTRY_VERIFY(results.searchFinished());
            EXPECT_EQ(results.rowCount(), 2);
            EXPECT_FALSE(results.findChild<QWidget*>("gbViewMode")->isVisible());
            const std::uint32_t before = engines::FinderStore.sortWord;
            results.titleClick(2);
            EXPECT_EQ(engines::FinderStore.sortWord, before);
            // Both copies of the name, each with its folder.
            EXPECT_EQ(results.cellText(0, 0), "same");
            EXPECT_EQ(results.cellText(0, 1), "same");
            std::vector<std::string> folders = {results.cellText(5, 0), results.cellText(5, 1)};
            std::sort(folders.begin(), folders.end());
            EXPECT_EQ(folders, (std::vector<std::string>{"c:\\tree", "c:\\tree\\sub"}));
            checked = true;
            results.close();
        });
    };
    form.CanStart(nullptr);
    form.StartOperation();
    EXPECT_TRUE(checked);
}

TEST_F(SearchResultsTest, AMarkedHitUnderTheCursorStaysReadable)
{
    makeTree();
    runFinder("*.txt", [&](TSrchRes& results) {
        auto* grid = results.findChild<controls::TWUXStringGrid*>("sgFinder");
        QApplication::setActiveWindow(&results);
        grid->setFocus();
        grid->FocusCell(0, 1);
        QTest::keyClick(grid, Qt::Key_Space);
        ASSERT_TRUE(results.rowMarked(1));
        const auto row = [&](int index) {
            return grid->viewport()->grab(grid->CellRect(0, index)).toImage();
        };
        EXPECT_TRUE(test::rowHasRedText(row(1))) << "the mark stays red";
        EXPECT_GE(test::rowTextContrast(row(1)), 3.0) << "with the focus";
        results.findChild<QPushButton*>("btnGoToFile")->setFocus();
        ASSERT_FALSE(grid->hasFocus());
        EXPECT_GE(test::rowTextContrast(row(1)), 3.0) << "without the focus";
        EXPECT_GE(test::rowTextContrast(row(0)), 3.0) << "a folder row";
        EXPECT_TRUE(test::rowHasRedText(row(1)));
    });
}

// The mouse over the hits: hovering leaves the current row where it is, a left-button drag takes it
// along; Space then marks the row the user sees as current.
TEST_F(SearchResultsTest, HoverLeavesTheCurrentHitAndALeftDragTakesItAlong)
{
    makeTree();
    runFinder("*.txt", [&](TSrchRes& results) {
        // c:\Tree\ a ; c:\Tree\Sub\ c d
        auto* grid = results.findChild<controls::TWUXStringGrid*>("sgFinder");
        QApplication::setActiveWindow(&results);
        QWidget* area = grid->viewport();
        const auto at = [&](int row) { return grid->CellRect(0, row).center(); };
        QTest::mouseClick(area, Qt::LeftButton, {}, at(1));
        ASSERT_EQ(grid->Row(), 1);
        for (int row : {2, 3, 4})
            QTest::mouseMove(area, at(row));
        EXPECT_EQ(grid->Row(), 1) << "a hover moves nothing";
        QTest::keyClick(grid, Qt::Key_Space);
        EXPECT_TRUE(results.rowMarked(1));
        EXPECT_FALSE(results.rowMarked(4));

        QTest::mousePress(area, Qt::LeftButton, {}, at(3));
        QMouseEvent drag(QEvent::MouseMove, QPointF(at(4)), QPointF(area->mapToGlobal(at(4))), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(area, &drag);
        QTest::mouseRelease(area, Qt::LeftButton, {}, at(4));
        EXPECT_EQ(grid->Row(), 4) << "the drag took the current row along";
        QTest::keyClick(grid, Qt::Key_Space);
        EXPECT_TRUE(results.rowMarked(4));
        EXPECT_FALSE(results.rowMarked(3));
    });
}

// The full view's columns: the dates are shown whole, widths the user dragged survive a resize of the
// window, and F1 opens the help while the list has the keyboard.
TEST_F(SearchResultsTest, FullViewColumnsKeepTheirWidthsAndF1WorksFromTheList)
{
    makeTree();
    runFinder("*.txt", [&](TSrchRes& results) {
        auto* grid = results.findChild<controls::TWUXStringGrid*>("sgFinder");
        auto* titles = results.findChild<controls::DrawGrid*>("sgTitle");
        ASSERT_TRUE(results.FullView());
        const QFontMetrics metrics(grid->font());
        const int date = metrics.horizontalAdvance(QString::fromStdString(results.cellText(3, 1)));
        EXPECT_GT(date, 0);
        EXPECT_GE(grid->ColWidths(3), date + 3) << "the date column shows its dates whole";
        EXPECT_EQ(titles->ColWidths(3), grid->ColWidths(3));

        // The border between Name and Ext dragged 40 pixels to the left.
        QWidget* area = titles->viewport();
        const int border = titles->ColWidths(0) + titles->GridLineWidth() / 2;
        const int y = titles->CellRect(0, 0).center().y();
        QTest::mousePress(area, Qt::LeftButton, {}, QPoint(border, y));
        QMouseEvent drag(QEvent::MouseMove, QPointF(border - 40, y),
                         QPointF(area->mapToGlobal(QPoint(border - 40, y))), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(area, &drag);
        QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(border - 40, y));
        std::vector<int> dragged;
        for (int c = 0; c < grid->ColCount(); ++c)
            dragged.push_back(grid->ColWidths(c));
        ASSERT_EQ(dragged[0], titles->ColWidths(0));
        EXPECT_NEAR(dragged[0], border - 40 - titles->GridLineWidth() / 2, 2);

        results.resize(results.width() + 120, results.height() + 60);
        QApplication::processEvents();
        std::vector<int> after;
        for (int c = 0; c < grid->ColCount(); ++c)
            after.push_back(grid->ColWidths(c));
        EXPECT_EQ(after, dragged) << "the dragged widths survive the resize";

        grid->setFocus();
        ASSERT_TRUE(grid->hasFocus());
        const int requests = platform::helpRequestCount();
        QTest::keyClick(grid, Qt::Key_F1);
        EXPECT_EQ(platform::helpRequestCount(), requests + 1);
        EXPECT_EQ(platform::lastHelpRequest(), HelpFileName() + "::/SEARCH_RESULTS.htm");
    });
}

// Every text of the hits lies within its column: a size or a name too wide for its column is elided
// ("…") as the panels elide it, never cut at the column's edge where "30 000 000" would read
// "000 000"; the whole text is the cell's tooltip.
TEST_F(SearchResultsTest, TextsTooWideForTheirColumnAreElidedNeverCut)
{
    const std::vector<std::pair<std::string, std::uintmax_t>> files = {
        {"thirty.bin", 30'000'000},
        {"twelve.bin", 12'000'000},
        {"six hundred.bin", 600'000'000},
        {"The minutes of the annual meeting of the board of directors.txt", 5}};
    for (const auto& [name, size] : files) {
        wux::test::createFile(path("big\\" + name), "");
        std::filesystem::resize_file(posix("big/" + name), size);
    }
    runFinder("*", [&](TSrchRes& results) {
        auto* grid = results.findChild<controls::TWUXStringGrid*>("sgFinder");
        ASSERT_TRUE(results.FullView());
        ASSERT_EQ(results.rowCount(), 5);
        const QFontMetrics metrics(grid->font());
        // Name and Size narrower than their texts.
        grid->setColWidths(0, metrics.horizontalAdvance(QStringLiteral("The minutes")));
        grid->setColWidths(2, metrics.horizontalAdvance(QStringLiteral("000 000")) + 10);
        wux::test::TextRecorder recorder(grid->viewport()->size());
        grid->viewport()->render(&recorder);
        int elided = 0;
        for (int row = 1; row < results.rowCount(); ++row) {
            for (const int col : {0, 2}) {
                const QRect cell = grid->CellRect(col, row);
                const QString whole = QString::fromStdString(results.cellText(col, row));
                int painted = 0;
                for (const wux::test::PaintedText& text : recorder.texts()) {
                    if (text.baseline < cell.top() || text.baseline > cell.bottom() ||
                        text.right <= cell.left() || text.left > cell.right())
                        continue;
                    ++painted;
                    EXPECT_GE(text.left, cell.left()) << text.text.toStdString();
                    EXPECT_LE(text.right, cell.right() + 1.5) << text.text.toStdString();
                    if (text.text != whole) {
                        EXPECT_TRUE(text.text.endsWith(QChar(0x2026))) << text.text.toStdString();
                        EXPECT_TRUE(whole.startsWith(text.text.chopped(1))) << text.text.toStdString();
                        EXPECT_EQ(grid->ElidedCellText(col, row), whole);
                        ++elided;
                    }
                }
                EXPECT_EQ(painted, 1) << whole.toStdString();
            }
        }
        EXPECT_GE(elided, 4);
    }, "big");
}

// Presses the right button on the hit in row `from` of the brief view, moves over the points that
// `over` gives for the grid and releases at the last; gives the rows marked then.
std::vector<int> rowsMarkedByRightDrag(TSrchRes& results, int from,
                                       const std::function<std::vector<QPoint>(controls::TWUXStringGrid&)>& over)
{
    results.findChild<QToolButton*>("btnSetModeBrief")->click();
    EXPECT_EQ(results.rowCount(), 3);
    auto* grid = results.findChild<controls::TWUXStringGrid*>("sgFinder");
    QApplication::setActiveWindow(&results);
    EXPECT_TRUE(QTest::qWaitFor([&] { return results.isActiveWindow(); }));
    QWidget* area = grid->viewport();
    const std::vector<QPoint> points = over(*grid);
    QTest::mousePress(area, Qt::RightButton, {}, grid->CellRect(0, from).center());
    for (const QPoint& to : points) {
        QMouseEvent move(QEvent::MouseMove, QPointF(to), QPointF(area->mapToGlobal(to)), Qt::NoButton,
                         Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(area, &move);
    }
    QTest::mouseRelease(area, Qt::RightButton, {}, points.back());
    std::vector<int> marked;
    for (int row = 0; row < results.rowCount(); ++row)
        if (results.rowMarked(row))
            marked.push_back(row);
    return marked;
}

// A right-button drag marks the rows it passes over and no other: dragged on past the top of the list,
// the first hit stays as it was.
TEST_F(SearchResultsTest, ARightDragPastTheTopLeavesTheFirstHit)
{
    makeTree();
    runFinder("*.txt", [&](TSrchRes& results) {
        EXPECT_EQ(rowsMarkedByRightDrag(results, 2,
                                        [](controls::TWUXStringGrid& grid) {
                                            return std::vector<QPoint>{grid.CellRect(0, 1).center(),
                                                                       {grid.CellRect(0, 0).center().x(), -5}};
                                        }),
                  (std::vector<int>{1, 2}));
    });
}

// A right-button drag from the second hit onto the first marks both.
TEST_F(SearchResultsTest, ARightDragOntoTheFirstHitMarksIt)
{
    makeTree();
    runFinder("*.txt", [&](TSrchRes& results) {
        EXPECT_EQ(rowsMarkedByRightDrag(results, 1,
                                        [](controls::TWUXStringGrid& grid) {
                                            return std::vector<QPoint>{grid.CellRect(0, 0).center()};
                                        }),
                  (std::vector<int>{0, 1}));
        EXPECT_EQ(results.findChild<controls::TWUXStringGrid*>("sgFinder")->Row(), 0);
    });
}

// A double-click on a hit goes to its file, with the events a real double-click sends: press and
// release, then press, double-click and release. The first click alone goes nowhere.
TEST_F(SearchResultsTest, ADoubleClickOnAHitGoesToItsFile)
{
    makeTree();
    runFinder("*.txt", [&](TSrchRes& results) {
        // c:\Tree\ a ; c:\Tree\Sub\ c d
        auto* grid = results.findChild<controls::TWUXStringGrid*>("sgFinder");
        QApplication::setActiveWindow(&results);
        QWidget* area = grid->viewport();
        const QPoint hit = grid->CellRect(0, 3).center();
        const auto send = [&](QEvent::Type type, Qt::MouseButtons buttons) {
            QMouseEvent event(type, QPointF(hit), QPointF(area->mapToGlobal(hit)), Qt::LeftButton, buttons,
                              Qt::NoModifier);
            QApplication::sendEvent(area, &event);
        };
        send(QEvent::MouseButtonPress, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, Qt::NoButton);
        EXPECT_TRUE(host.goTo.empty());
        EXPECT_TRUE(results.isVisible());
        send(QEvent::MouseButtonPress, Qt::LeftButton);
        send(QEvent::MouseButtonDblClick, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, Qt::NoButton);
        ASSERT_EQ(host.goTo.size(), 1u);
        EXPECT_EQ(host.goTo[0], (std::pair<std::string, std::string>{"c:\\tree\\sub", "c.txt"}));
        EXPECT_FALSE(results.isVisible());
    });
}

} // namespace
} // namespace wux::tools
