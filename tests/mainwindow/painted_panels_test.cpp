// What the panels paint and what the keys act on, seen through the real main window: the text painted
// in each visible cell of a panel is the entry under it, in both views, in a drive root and in a
// folder; after a mode switch the window paints changes again; the Basket view opens the row under its
// cursor; the address line and the root button; where the keyboard focus goes.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDate>
#include <QHelpEvent>
#include <QToolTip>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QTextItem>

#include <filesystem>
#include <map>

#include "controls/vyk_header.h"
#include "filelist/drive_list.h"
#include "filelist/item_actions.h"
#include "main_form_fixture.h"
#include "mainwindow/drive_bar.h"
#include "mainwindow/settings.h"
#include "platform/shell/program_starter.h"
#include "tools/search_results.h"
#include "tools/tool_list.h"
#include "support/text_recorder.h"
#include "ui_TMainForm.h"

namespace wux::mainwindow::test {
namespace {

using wux::test::createFile;
using wux::test::makeFolder;

class PaintedPanels : public MainFormTest
{
protected:
    // The texts painted in each visible cell of a panel's grid, joined by "|", by (column, row).
    std::map<std::pair<int, int>, std::string> paintedCells(TBrowserForm& panel)
    {
        controls::TWUXStringGrid* grid = panel.sgBrowser();
        QWidget* viewport = grid->viewport();
        wux::test::TextRecorder recorder(viewport->size());
        viewport->render(&recorder);
        std::map<std::pair<int, int>, std::string> cells;
        for (const wux::test::PaintedText& painted : recorder.texts()) {
            const QPoint at = QPointF(painted.left, painted.baseline).toPoint();
            for (int col = 0; col < grid->ColCount(); ++col)
                for (int row = 0; row < grid->RowCount(); ++row) {
                    const QRect cell = grid->CellRect(col, row);
                    if (!cell.isEmpty() && cell.contains(at)) {
                        std::string& text = cells[{col, row}];
                        text += (text.empty() ? "" : "|") + painted.text.toStdString();
                    }
                }
        }
        return cells;
    }
};

// The entries of a folder as the panel lists them (sorted by name, folders first), each as its cells
// show it: name, then extension.
struct Entry
{
    std::string name;
    std::string extension;
};

TEST_F(PaintedPanels, EachVisibleCellPaintsTheEntryUnderIt)
{
    std::vector<Entry> entries = {{"[dir]", ""}};
    makeFolder(path("work\\dir"));
    for (int i = 10; i < 70; ++i) {
        createFile(path("work\\f" + std::to_string(i) + ".t" + std::to_string(i % 7)), "x");
        entries.push_back({"f" + std::to_string(i), "t" + std::to_string(i % 7)});
    }
    createFile(path("zz1.a"), "x");
    createFile(path("zz2.b"), "x");
    startIn(path("work"), path(""));
    std::vector<Entry> inFolder = entries;
    inFolder.insert(inFolder.begin(), Entry{"[..]", ""});
    const std::vector<Entry> atRoot = {{"[prog]", ""}, {"[work]", ""}, {"zz1", "a"}, {"zz2", "b"}};

    struct Case
    {
        const char* what;
        TBrowserForm* panel;
        std::int32_t view;
        const std::vector<Entry>* shown;
    };
    const Case cases[] = {{"folder, full view", &left(), filelist::kViewFull, &inFolder},
                          {"folder, brief view", &left(), filelist::kViewBrief, &inFolder},
                          {"drive root, full view", &right(), filelist::kViewFull, &atRoot},
                          {"drive root, brief view", &right(), filelist::kViewBrief, &atRoot}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        window->SetActiveForm(c.panel);
        c.panel->sgBrowser()->setFocus();
        press(*c.panel, c.view == filelist::kViewFull ? Qt::Key_F2 : Qt::Key_F1, Qt::ControlModifier);
        ASSERT_EQ(c.panel->BrowserMode(), c.view);
        const std::map<std::pair<int, int>, std::string> cells = paintedCells(*c.panel);
        controls::TWUXStringGrid* grid = c.panel->sgBrowser();
        int checked = 0;
        for (int col = 0; col < grid->ColCount(); ++col)
            for (int row = 0; row < grid->RowCount(); ++row) {
                const QRect cell = grid->CellRect(col, row);
                if (cell.isEmpty() || !grid->viewport()->rect().contains(cell))
                    continue;
                const std::size_t index =
                    std::size_t(c.view == filelist::kViewBrief ? col * grid->RowCount() + row : row);
                const auto found = cells.find({col, row});
                const std::string painted = found == cells.end() ? "" : found->second;
                std::string expected;
                if (index < c.shown->size()) {
                    const Entry& entry = (*c.shown)[index];
                    if (c.view == filelist::kViewBrief)
                        expected = entry.name + (entry.extension.empty() ? "" : "|" + entry.extension);
                    else if (col == 0)
                        expected = entry.name;
                    else if (col == 1)
                        expected = entry.extension;
                    else
                        continue; // size, date and attributes
                }
                EXPECT_EQ(painted, expected) << "column " << col << " row " << row;
                ++checked;
            }
        EXPECT_GT(checked, c.view == filelist::kViewBrief ? 10 : 2);
    }
}

// Counts the paint events of a widget and of everything inside it.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget& root) : root_(root) { qApp->installEventFilter(this); }
    ~PaintCounter() override { qApp->removeEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            (watched == &root_ || root_.isAncestorOf(static_cast<QWidget*>(watched))))
            ++paints;
        return false;
    }

private:
    QWidget& root_;
};

// At the first start's window size (700 x 550) the full view shows file names of ordinary length
// whole: the name column keeps at least 192/480 of the width, the size column has room for a size of
// gigabytes, the date keeps its year, also in the panel beside a tool; a cell whose text is elided
// shows the whole text as its tooltip.
TEST_F(PaintedPanels, AtTheFirstStartSizeTheFullViewShowsOrdinaryNamesWhole)
{
    const std::vector<std::string> names = {"Quarterly report.docx", "Minutes 2026.odt", "Sales kick-off.pptx",
                                            "Order 4101.txt",        "Read me first.txt", "Budget 2026.xlsx"};
    for (const std::string& name : names)
        createFile(path("docs\\" + name), "x");
    createFile(path("docs\\Holiday film.mp4"), "");
    std::filesystem::resize_file(posix("docs/Holiday film.mp4"), 3'000'000'000);
    const std::string longName = "The minutes of the annual meeting of the board of directors in spring";
    createFile(path("docs\\" + longName + ".txt"), "x");
    startIn(path("docs"), path("docs"));
    window->resize(700, 550);
    QApplication::processEvents();
    QApplication::processEvents();
    const QString year = QString::number(QDate::currentDate().year() % 100);

    const auto check = [&](TBrowserForm& panel, bool besideTool) {
        controls::TWUXStringGrid* grid = panel.sgBrowser();
        ASSERT_EQ(panel.BrowserMode(), filelist::kViewFull);
        ASSERT_EQ(grid->ColCount(), 5);
        if (!besideTool) {
            EXPECT_GE(grid->ColWidths(0), grid->viewport()->width() * 192 / 480);
        }
        std::map<std::string, int> rows; // painted name: row
        const std::map<std::pair<int, int>, std::string> cells = paintedCells(panel);
        for (const auto& [cell, text] : cells) {
            if (cell.first == 0)
                rows[text] = cell.second;
        }
        if (!besideTool) {
            for (const std::string& name : names) {
                const std::string base = name.substr(0, name.rfind('.'));
                EXPECT_TRUE(rows.count(base)) << base << " is not shown whole";
            }
            // A size of gigabytes: whole, or where the others have left too little room elided with
            // its whole figure as the cell's tooltip.
            ASSERT_TRUE(rows.count("Holiday film"));
            const auto size = cells.find({2, rows["Holiday film"]});
            ASSERT_NE(size, cells.end());
            if (size->second != "3 000 000 000") {
                EXPECT_EQ(grid->ElidedCellText(2, rows["Holiday film"]).toStdString(), "3 000 000 000");
            }
        }
        // Every date keeps its year (in two digits at least).
        int dates = 0;
        for (const auto& [cell, text] : cells) {
            if (cell.first == 3 && cell.second > 0 && !text.empty()) {
                ++dates;
                EXPECT_TRUE(QString::fromStdString(text).contains(year)) << text;
            }
        }
        EXPECT_GE(dates, int(names.size()));
        // The long name is elided; its cell's tooltip is the whole name.
        int elidedRow = -1;
        for (const auto& [text, row] : rows) {
            if (text.rfind("The m", 0) == 0)
                elidedRow = row;
        }
        ASSERT_GE(elidedRow, 0);
        EXPECT_EQ(grid->ElidedCellText(0, elidedRow).toStdString(), longName);
        const QPoint at = grid->CellRect(0, elidedRow).center();
        QHelpEvent help(QEvent::ToolTip, at, grid->viewport()->mapToGlobal(at));
        QApplication::sendEvent(grid->viewport(), &help);
        EXPECT_EQ(QToolTip::text().toStdString(), longName);
        QToolTip::hideText();
    };
    {
        SCOPED_TRACE("both panels");
        check(left(), false);
    }
    window->SetMode(2);
    QApplication::processEvents();
    QApplication::processEvents();
    auto* beside = dynamic_cast<TBrowserForm*>(tools::toolPanelsHost()->PanelBesideTools());
    ASSERT_NE(beside, nullptr);
    {
        SCOPED_TRACE("beside the Finder");
        check(*beside, true);
    }
    window->SetMode(1);
}

TEST_F(PaintedPanels, AfterAModeSwitchThereAndBackEveryPanelAndTheToolPanelRepaintAChange)
{
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        createFile(path(std::string("work\\") + name), "x");
    startIn(path("work"), path("work"));
    window->SetActiveForm(&left());
    press(left(), Qt::Key_2, Qt::ControlModifier);
    QApplication::processEvents();
    ASSERT_EQ(CurrentMode, 2);
    // In the tool mode: the Finder's mask box takes what is typed and shows it.
    QWidget* tool = tools::ToolForm(2);
    auto* masks = tool->findChild<QComboBox*>("cmbSearchFor");
    ASSERT_NE(masks, nullptr);
    {
        PaintCounter counter(*tool);
        masks->setFocus();
        QTest::keyClicks(masks, "x");
        QTest::qWait(30);
        EXPECT_GT(counter.paints, 0) << "the tool panel";
    }
    press(left(), Qt::Key_1, Qt::ControlModifier);
    QApplication::processEvents();
    ASSERT_EQ(CurrentMode, 1);
    for (TBrowserForm* panel : {&left(), &right()}) {
        SCOPED_TRACE(panel->objectName().toStdString());
        PaintCounter counter(*panel->sgBrowser());
        press(*panel, Qt::Key_Down);
        QTest::qWait(30);
        EXPECT_GT(counter.paints, 0);
    }
}

TEST_F(PaintedPanels, TheBasketViewOpensTheRowUnderItsCursor)
{
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        createFile(path(std::string("work\\") + name), "x");
    startIn(path("work"), path("work"));
    platform::shell::RecordingProgramStarter starter;
    platform::shell::ScopedProgramStarter starterScope(starter);
    // All three files to the Basket, the Basket shown in the left panel.
    window->SetActiveForm(&left());
    press(left(), Qt::Key_A, Qt::ControlModifier);
    QTest::mouseClick(left().btnSendTobasket(), Qt::LeftButton);
    auto* shared = child<TDriveBar>("pnlWithImgDrives");
    QTest::mouseClick(shared->DriveButton(filelist::FindDriveIndex('*', filelist::DriveList)),
                      Qt::LeftButton);
    QApplication::processEvents();
    ASSERT_EQ(left().BrowserMode(), filelist::kViewBasket);
    ASSERT_EQ(left().BasketRows(), left().BasketMode() == 2 ? 4 : 3);
    // The cursor on "b.txt": Home, then down to the second file.
    press(left(), Qt::Key_Home);
    press(left(), Qt::Key_Down);
    if (left().BasketMode() == 2)
        press(left(), Qt::Key_Down);
    for (Qt::Key key : {Qt::Key_F3, Qt::Key_F4, Qt::Key_Return})
        press(left(), key);
    ASSERT_EQ(starter.calls().size(), 3u);
    for (const auto& call : starter.calls())
        EXPECT_EQ(call.url.toLocalFile().toStdString(), posix("work/b.txt"));
}

TEST_F(PaintedPanels, TheAddressLineShowsTheFolderFromTheStartAndTheRootButtonGoesToTheRoot)
{
    makeFolder(path("work\\sub"));
    startIn(path("work\\sub"), path("work"));
    EXPECT_EQ(left().pnlAddressLine()->text().toStdString(), path("work\\sub\\*.*"));
    EXPECT_EQ(right().pnlAddressLine()->text().toStdString(), path("work\\*.*"));
    window->SetActiveForm(&left());
    QTest::mouseClick(window->ui().btnRJumpToRoot, Qt::LeftButton);
    EXPECT_EQ(folderOf(left()), "c:");
    EXPECT_EQ(left().pnlAddressLine()->text().toStdString(), "c:\\*.*");
    EXPECT_EQ(folderOf(right()), path("work"));
}

TEST_F(PaintedPanels, TheFocusStaysWithTheListsOfThePanels)
{
    createFile(path("work\\a.txt"), "x");
    startIn(path("work"), path("work"));
    window->SetActiveForm(&left());
    left().sgBrowser()->setFocus();
    QApplication::processEvents();
    // A click on the right panel's address line makes it the active panel, its list focused.
    QTest::mouseClick(right().pnlAddressLine(), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(window->ActiveForm(), &right());
    EXPECT_EQ(QApplication::focusWidget(), right().sgBrowser());
    // The column titles take no keyboard focus: a click on one leaves it with the list.
    controls::TVYKHeader* titles = left().sgTitle();
    ASSERT_TRUE(titles->isVisible());
    EXPECT_EQ(titles->focusPolicy(), Qt::NoFocus);
    QTest::mouseClick(titles->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(20, titles->height() / 2));
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), left().sgBrowser());
    EXPECT_EQ(window->ActiveForm(), &left());
    // F7 makes a folder and leaves the focus on the list, its cursor on the new folder.
    onQuery(typeAndOk("made"));
    press(left(), Qt::Key_F7);
    // The window manager gives the main window the keyboard again once the dialog is gone.
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_EQ(cursorName(left()), "made");
    EXPECT_EQ(QApplication::focusWidget(), left().sgBrowser());
    EXPECT_EQ(window->ActiveForm(), &left());
    // Also from the quick-search line: the list has the focus once the folder is made.
    press(left(), Qt::Key_A, Qt::ControlModifier | Qt::AltModifier);
    ASSERT_EQ(QApplication::focusWidget(), child<QWidget>("edSearch"));
    onQuery(typeAndOk("next"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F7);
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_EQ(cursorName(left()), "next");
    EXPECT_EQ(QApplication::focusWidget(), left().sgBrowser());
}

} // namespace
} // namespace wux::mainwindow::test
