// The grid base and the string grid: key navigation (pure and through key events), the cell-change
// veto, the order against OnKeyDown, mouse-to-cell, clicks and the wheel, focus reports.
#include "controls/draw_grid.h"
#include "controls/wux_string_grid.h"

#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace wux::controls {
namespace {

// ---- pure navigation --------------------------------------------------------------------------

GridNavState tenOfTwenty()
{
    // 20 rows of which 10 fit, one column, nothing fixed, cursor at row 3.
    GridNavState s;
    s.colCount = 1;
    s.rowCount = 20;
    s.fixedCols = 0;
    s.fixedRows = 0;
    s.col = 0;
    s.row = 3;
    s.leftCol = 0;
    s.topRow = 0;
    s.lastFullVisibleRow = 9;
    s.maxLeftCol = 0;
    s.maxTopRow = 10;
    return s;
}

TEST(GridPageStep, IsPageHeightPlusOneWithPageHeightAtLeastOne)
{
    struct Case
    {
        int last, top, step;
    };
    for (const Case& c :
         std::vector<Case>{{9, 0, 10}, {14, 5, 10}, {0, 0, 2}, {5, 5, 2}, {6, 5, 2}, {7, 5, 3}})
        EXPECT_EQ(gridPageStep(c.last, c.top), c.step) << c.last << " " << c.top;
}

TEST(GridKeyMove, MovesAndClampsByKey)
{
    struct Case
    {
        const char* name;
        int key;
        Qt::KeyboardModifiers mods;
        int row, topRow; // from row 3, top 0
    };
    const std::vector<Case> cases = {
        {"down", Qt::Key_Down, Qt::NoModifier, 4, 0},
        {"up", Qt::Key_Up, Qt::NoModifier, 2, 0},
        {"page down", Qt::Key_PageDown, Qt::NoModifier, 13, 10},
        {"page up clamps to the first row", Qt::Key_PageUp, Qt::NoModifier, 0, 0},
        {"ctrl+down is not navigated", Qt::Key_Down, Qt::ControlModifier, 3, 0},
        {"tab is not navigated", Qt::Key_Tab, Qt::NoModifier, 3, 0},
        {"shift+down moves", Qt::Key_Down, Qt::ShiftModifier, 4, 0},
        {"letter", Qt::Key_A, Qt::NoModifier, 3, 0},
    };
    for (const Case& c : cases) {
        const GridNavMove m = gridKeyMove(tenOfTwenty(), c.key, c.mods);
        EXPECT_EQ(m.row, c.row) << c.name;
        EXPECT_EQ(m.topRow, c.topRow) << c.name;
        EXPECT_EQ(m.col, 0) << c.name;
    }
}

TEST(GridKeyMove, NearTheEndClampsTopRowAndCurrent)
{
    struct Case
    {
        int key, row, topRow, last, newRow, newTop;
    };
    // Page down from row 15: the largest top row that still fills the page; down on the last row stays.
    for (const Case& c :
         std::vector<Case>{{Qt::Key_PageDown, 15, 8, 17, 19, 10}, {Qt::Key_Down, 19, 10, 19, 19, 10}}) {
        GridNavState s = tenOfTwenty();
        s.row = c.row;
        s.topRow = c.topRow;
        s.lastFullVisibleRow = c.last;
        const GridNavMove m = gridKeyMove(s, c.key, Qt::NoModifier);
        EXPECT_EQ(m.row, c.newRow) << c.key;
        EXPECT_EQ(m.topRow, c.newTop) << c.key;
    }
}

TEST(GridKeyMove, LeftRightHomeEndByColumnOrByRow)
{
    GridNavState s;
    s.colCount = 5;
    s.rowCount = 8;
    s.fixedCols = 1;
    s.fixedRows = 1;
    s.col = 2;
    s.row = 4;
    s.leftCol = 1;
    s.topRow = 1;
    s.lastFullVisibleRow = 7;
    s.maxLeftCol = 1;
    s.maxTopRow = 1;
    struct Case
    {
        int key;
        bool rowSelect, rtl;
        int col, row;
    };
    const std::vector<Case> cases = {
        {Qt::Key_Right, false, false, 3, 4}, {Qt::Key_Left, false, false, 1, 4},
        {Qt::Key_Right, false, true, 1, 4},  {Qt::Key_Left, false, true, 3, 4},
        {Qt::Key_Right, true, false, 2, 5},  {Qt::Key_Left, true, false, 2, 3},
        {Qt::Key_Right, true, true, 2, 3},   {Qt::Key_Home, false, false, 1, 4},
        {Qt::Key_End, false, false, 4, 4},   {Qt::Key_Home, true, false, 2, 1},
        {Qt::Key_End, true, false, 2, 7},
    };
    for (const Case& c : cases) {
        s.rowSelect = c.rowSelect;
        s.rightToLeft = c.rtl;
        const GridNavMove m = gridKeyMove(s, c.key, Qt::NoModifier);
        EXPECT_EQ(m.col, c.col) << c.key << " rowSelect " << c.rowSelect << " rtl " << c.rtl;
        EXPECT_EQ(m.row, c.row) << c.key << " rowSelect " << c.rowSelect << " rtl " << c.rtl;
    }
    EXPECT_TRUE(gridKeyMove(s, Qt::Key_F2, Qt::NoModifier).editor);
    // Left of the first non-fixed column stays.
    s.rowSelect = false;
    s.rightToLeft = false;
    s.col = 1;
    EXPECT_EQ(gridKeyMove(s, Qt::Key_Left, Qt::NoModifier).col, 1);
}

// ---- widget -----------------------------------------------------------------------------------

// A list grid as the panels use it: one column, 20 rows of 10 pixels of which 10 fit, no lines.
struct ListGrid
{
    QWidget window;
    TWUXStringGrid* grid = nullptr;
    std::vector<std::string> log;
    int requestedCol = -1;
    int requestedRow = -1;
    bool armed = true;

    ListGrid()
    {
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        grid = new TWUXStringGrid;
        layout->addWidget(grid);
        grid->setFrameShape(QFrame::NoFrame);
        grid->setScrollBars(ScrollStyle::ssNone);
        grid->setOptions(0);
        grid->setDefaultDrawing(false);
        grid->setColCount(1);
        grid->setFixedCols(0);
        grid->setFixedRows(0);
        grid->setRowCount(20);
        grid->setDefaultRowHeight(10);
        grid->setDefaultColWidth(100);
        window.resize(100, 100);
        grid->OnSelectCell = [this](int c, int r, bool& can) {
            requestedCol = c;
            requestedRow = r;
            can = armed;
            log.push_back("select " + std::to_string(r));
        };
        grid->OnKeyDown = [this](int& key, Qt::KeyboardModifiers) {
            log.push_back("keydown row " + std::to_string(grid->Row()) + " key " + std::to_string(key));
        };
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
};

// Keys on the list grid: where the cursor and the top row go, what the select and key handlers see.
struct KeyCase
{
    const char* name;
    int from;
    bool beforeKeyDown;
    bool armed;
    std::vector<int> keys;
    int row, topRow, requested;
    std::vector<std::string> log;
};

void PrintTo(const KeyCase& c, std::ostream* out)
{
    *out << c.name;
}

class StringGridKeys : public ::testing::TestWithParam<KeyCase>
{
};

std::string keyDown(int row, int key = Qt::Key_Down)
{
    return "keydown row " + std::to_string(row) + " key " + std::to_string(key);
}

TEST_P(StringGridKeys, MoveTheCursor)
{
    const KeyCase& c = GetParam();
    ListGrid g;
    ASSERT_EQ(g.grid->viewport()->height(), 100);
    EXPECT_EQ(g.grid->lastFullVisibleRow(), 9);
    EXPECT_EQ(g.grid->VisibleRowCount(), 10);
    EXPECT_EQ(g.grid->maxTopRow(), 10);
    g.grid->setBeforeKeyDown(c.beforeKeyDown);
    g.grid->FocusCell(0, c.from);
    g.log.clear();
    g.armed = c.armed;
    for (int key : c.keys)
        QTest::keyClick(g.grid, Qt::Key(key));
    EXPECT_EQ(g.grid->Row(), c.row);
    EXPECT_EQ(g.grid->TopRow(), c.topRow);
    EXPECT_EQ(g.requestedRow, c.requested);
    EXPECT_EQ(g.log, c.log);
}

const int kDown = Qt::Key_Down;
const int kPgDn = Qt::Key_PageDown;

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, StringGridKeys,
    ::testing::Values(
        KeyCase{"DownNavigatesBeforeOnKeyDown", 0, false, true, {kDown}, 1, 0, 1, {"select 1", keyDown(1)}},
        KeyCase{"DownOnTheLastRowStillCallsOnKeyDown", 19, false, true, {kDown}, 19, 10, 19, {keyDown(19)}},
        KeyCase{"BeforeKeyDownCallsOnKeyDownFirstAndStays", 4, true, true, {kDown}, 4, 0, 4, {keyDown(4)}},
        KeyCase{"VetoedMoveKeepsTheCell", 2, false, false, {kDown}, 2, 0, 3, {"select 3", keyDown(2)}},
        KeyCase{"PageDownByAPage", 3, false, true, {kPgDn}, 13, 10, 13, {"select 13", keyDown(13, kPgDn)}},
        KeyCase{"PageDownClampsThenPageUp", 3, false, true, {kPgDn, kPgDn, Qt::Key_PageUp}, 9, 0, 9,
                {"select 13", keyDown(13, kPgDn), "select 19", keyDown(19, kPgDn), "select 9",
                 keyDown(9, Qt::Key_PageUp)}},
        KeyCase{"VetoedPageDownStillScrolls", 0, false, false, {kPgDn}, 0, 10, 10, {"select 10", keyDown(0, kPgDn)}}),
    [](const ::testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });
// clang-format on

TEST(StringGrid, OwnerPlacesTheCursorOnTheVetoedCell)
{
    ListGrid g;
    g.grid->FocusCell(0, 2);
    g.armed = false;
    // The owner arms the grid in its key handler and places the cursor on the recorded cell.
    g.grid->OnKeyDown = [&g](int&, Qt::KeyboardModifiers) {
        g.armed = true;
        g.grid->FocusCell(g.requestedCol, g.requestedRow);
        g.armed = false;
    };
    QTest::keyClick(g.grid, Qt::Key_Down);
    EXPECT_EQ(g.grid->Row(), 3);
}

TEST(StringGrid, HandledKeyIsConsumedOtherKeysGoToTheWindow)
{
    ListGrid g;
    int windowKeys = 0;
    struct Filter : QObject
    {
        int* count;
        explicit Filter(int* c) : count(c) {}
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::KeyPress)
                ++*count;
            return false;
        }
    } filter(&windowKeys);
    g.window.installEventFilter(&filter);
    QTest::keyClick(g.grid, Qt::Key_Down);
    EXPECT_EQ(windowKeys, 0);
    QTest::keyClick(g.grid, Qt::Key_Escape);
    EXPECT_EQ(windowKeys, 1);
    g.grid->OnKeyDown = [](int& key, Qt::KeyboardModifiers) {
        if (key == Qt::Key_Escape)
            key = 0;
    };
    QTest::keyClick(g.grid, Qt::Key_Escape);
    EXPECT_EQ(windowKeys, 1);
}

TEST(StringGrid, FocusCellScrollsIntoViewOrThrowsAndMouseToCell)
{
    ListGrid g;
    g.grid->FocusCell(0, 15);
    EXPECT_EQ(g.grid->Row(), 15);
    EXPECT_EQ(g.grid->TopRow(), 6);
    g.grid->FocusCell(0, 2);
    EXPECT_EQ(g.grid->TopRow(), 2);
    EXPECT_THROW(g.grid->FocusCell(0, 20), std::out_of_range);
    EXPECT_THROW(g.grid->FocusCell(1, 0), std::out_of_range);
    EXPECT_THROW(g.grid->setRow(-1), std::out_of_range);

    g.grid->setTopRow(5);
    int c = 0;
    int r = 0;
    g.grid->MouseToCell(50, 25, c, r);
    EXPECT_EQ(std::make_pair(c, r), std::make_pair(0, 7));
    g.grid->MouseToCell(150, 25, c, r);
    EXPECT_EQ(std::make_pair(c, r), std::make_pair(-1, -1));
    EXPECT_EQ(g.grid->CellRect(0, 7), QRect(0, 20, 100, 10));
    EXPECT_TRUE(g.grid->CellRect(0, 4).isEmpty());
}

TEST(StringGrid, LeftClickMovesTheCellBeforeOnMouseDown)
{
    ListGrid g;
    g.grid->FocusCell(0, 0);
    g.grid->OnMouseDown = [&g](Qt::MouseButton b, Qt::KeyboardModifiers, bool dbl, int, int y) {
        g.log.push_back("mousedown " + std::to_string(int(b)) + (dbl ? " double" : "") + " y " +
                        std::to_string(y) + " row " + std::to_string(g.grid->Row()));
    };
    g.log.clear();
    QTest::mouseClick(g.grid->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 45));
    QTest::mouseClick(g.grid->viewport(), Qt::RightButton, Qt::NoModifier, QPoint(10, 75));
    const std::vector<std::string> expected = {"select 4", "mousedown 1 y 45 row 4",
                                               "mousedown 2 y 75 row 4"};
    EXPECT_EQ(g.log, expected);
}

TEST(StringGrid, DoubleClickReportsDoubleWithoutMovingTheCell)
{
    ListGrid g;
    g.grid->FocusCell(0, 1);
    bool doubleSeen = false;
    int dblClicks = 0;
    g.grid->OnDblClick = [&] { ++dblClicks; };
    g.grid->OnMouseDown = [&](Qt::MouseButton, Qt::KeyboardModifiers, bool dbl, int, int) {
        doubleSeen |= dbl;
    };
    QTest::mouseDClick(g.grid->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 55));
    EXPECT_TRUE(doubleSeen);
    EXPECT_EQ(dblClicks, 1);
}

TEST(StringGrid, WheelMovesTheRowUnlessTheOwnerHandlesIt)
{
    ListGrid g;
    g.grid->FocusCell(0, 5);
    const auto wheel = [&g](int delta) {
        QWheelEvent e(QPointF(10, 10), g.grid->viewport()->mapToGlobal(QPointF(10, 10)), QPoint(),
                      QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(g.grid->viewport(), &e);
    };
    wheel(-120);
    EXPECT_EQ(g.grid->Row(), 6);
    wheel(120);
    wheel(120);
    EXPECT_EQ(g.grid->Row(), 4);
    std::vector<int> deltas;
    g.grid->OnMouseWheel = [&](int delta, Qt::KeyboardModifiers, const QPoint&) {
        deltas.push_back(delta);
        return true;
    };
    wheel(-120);
    EXPECT_EQ(g.grid->Row(), 4);
    EXPECT_EQ(deltas, std::vector<int>{-120});
}

TEST(StringGrid, ShrinkingTheRowCountKeepsCursorAndTopInside)
{
    ListGrid g;
    g.grid->FocusCell(0, 18);
    g.grid->setRowCount(5);
    EXPECT_EQ(g.grid->Row(), 4);
    EXPECT_EQ(g.grid->TopRow(), 0);
    g.grid->setRowCount(0);
    EXPECT_EQ(g.grid->RowCount(), 1);
    EXPECT_EQ(g.grid->Row(), 0);
}

TEST(StringGrid, FocusReportsTheOtherWidget)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* edit = new QLineEdit;
    auto* grid = new TWUXStringGrid;
    layout->addWidget(edit);
    layout->addWidget(grid);
    std::vector<std::pair<std::string, QWidget*>> events;
    grid->OnSetFocus = [&](TWUXStringGrid* sender, QWidget* other) {
        EXPECT_EQ(sender, grid);
        events.emplace_back("set", other);
    };
    grid->OnKillFocus = [&](TWUXStringGrid*, QWidget* other) { events.emplace_back("kill", other); };
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    edit->setFocus();
    grid->setFocus();
    edit->setFocus();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], std::make_pair(std::string("set"), static_cast<QWidget*>(edit)));
    EXPECT_EQ(events[1], std::make_pair(std::string("kill"), static_cast<QWidget*>(edit)));
}

TEST(StringGrid, DestroyedWithTheFocusCallsNoHandler)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* edit = new QLineEdit;
    auto* grid = new TWUXStringGrid;
    layout->addWidget(edit);
    layout->addWidget(grid);
    int calls = 0;
    grid->OnSetFocus = [&](TWUXStringGrid*, QWidget*) { ++calls; };
    grid->OnKillFocus = [&](TWUXStringGrid*, QWidget*) { ++calls; };
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    grid->setFocus();
    ASSERT_TRUE(grid->hasFocus());
    calls = 0;
    delete grid;
    EXPECT_EQ(calls, 0);
    edit->setFocus(); // the application's focus reports go on without the grid
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_EQ(calls, 0);
}

TEST(StringGrid, ContextMenuPointerIsClearedWithTheMenu)
{
    TWUXStringGrid grid;
    EXPECT_EQ(grid.ICM(), nullptr);
    auto* menu = new QMenu;
    grid.setICM(menu);
    EXPECT_EQ(grid.ICM(), menu);
    delete menu;
    EXPECT_EQ(grid.ICM(), nullptr);
}

// Fixed rows must leave a scrollable row; fewer rows take fixed rows with them.
TEST(DrawGrid, FixedRowsFollowTheRowCount)
{
    DrawGrid grid;
    EXPECT_THROW(grid.setFixedRows(5), std::out_of_range);
    EXPECT_THROW(grid.ColWidths(-1), std::out_of_range);
    EXPECT_THROW(grid.ColWidths(grid.ColCount()), std::out_of_range);
    // A column that starts past the right edge has no cell rectangle.
    DrawGrid narrow;
    narrow.setFrameShape(QFrame::NoFrame);
    narrow.setScrollBars(ScrollStyle::ssNone);
    narrow.resize(150, 100);
    narrow.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&narrow));
    EXPECT_FALSE(narrow.CellRect(2, 1).isEmpty());
    EXPECT_TRUE(narrow.CellRect(3, 1).isEmpty());
    grid.setRowCount(1);
    EXPECT_EQ(grid.FixedRows(), 0);
}

TEST(DrawGrid, HorizontalLinesOfOrdinaryCellsFollowTheirOption)
{
    DrawGrid grid;
    grid.setFrameShape(QFrame::NoFrame);
    grid.resize(300, 150);
    for (const bool lines : {false, true}) {
        grid.setOptions(lines ? goHorzLine : GridOptions());
        const QRect cell = grid.CellRect(2, 2);
        const QImage shown = grid.viewport()->grab().toImage();
        // The pixel under the cell is the line's colour, or the cell's own without lines.
        EXPECT_EQ(shown.pixelColor(cell.center().x(), cell.bottom() + 1) !=
                      shown.pixelColor(cell.center().x(), cell.bottom()),
                  lines);
    }
}

TEST(DrawGrid, VerticalLinesOfOrdinaryCellsFollowTheirOption)
{
    DrawGrid grid;
    grid.setFrameShape(QFrame::NoFrame);
    grid.resize(300, 150);
    for (const bool lines : {false, true}) {
        grid.setOptions(lines ? goVertLine : GridOptions());
        const QRect cell = grid.CellRect(2, 2);
        const QImage shown = grid.viewport()->grab().toImage();
        // The pixel right of the cell is the line's colour, or the next cell's own without lines.
        EXPECT_EQ(shown.pixelColor(cell.right() + 1, cell.center().y()) !=
                      shown.pixelColor(cell.right(), cell.center().y()),
                  lines);
        EXPECT_EQ(grid.CellRect(3, 2).left(), cell.right() + 1 + (lines ? 1 : 0));
    }
}

TEST(DrawGrid, RangeSelectionExtendsWithShiftAndRowSelectCoversTheRow)
{
    DrawGrid grid;
    grid.resize(400, 200);
    grid.FocusCell(1, 1);
    QTest::keyClick(&grid, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(&grid, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(grid.Selection(), (GridRect{1, 1, 2, 2}));
    QTest::keyClick(&grid, Qt::Key_Down);
    EXPECT_EQ(grid.Selection(), (GridRect{2, 3, 2, 3}));
    grid.setOptions(grid.Options() | goRowSelect);
    EXPECT_EQ(grid.Selection(), (GridRect{1, 3, 4, 3}));
}

TEST(DrawGrid, ColumnSizingByDraggingTheFixedRowBorder)
{
    DrawGrid grid;
    grid.setFrameShape(QFrame::NoFrame);
    grid.setOptions(grid.Options() | goColSizing);
    grid.resize(400, 200);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    int changes = 0;
    grid.OnColWidthsChanged = [&] { ++changes; };
    // Column 0 ends at x 64 (its grid line at 64).
    QTest::mousePress(grid.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(64, 5));
    QTest::mouseMove(grid.viewport(), QPoint(84, 5));
    QTest::mouseRelease(grid.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(84, 5));
    EXPECT_EQ(grid.ColWidths(0), 84);
    EXPECT_GT(changes, 0);
}

TEST(StringGrid, SelectHandlerThatShrinksTheGridLeavesTheCursorInside)
{
    ListGrid g;
    g.grid->FocusCell(0, 2);
    g.grid->OnSelectCell = [&g](int, int, bool& can) {
        g.grid->setRowCount(5);
        can = true;
    };
    g.grid->FocusCell(0, 15);
    EXPECT_EQ(g.grid->RowCount(), 5);
    EXPECT_LT(g.grid->Row(), 5);
}

TEST(StringGrid, ScrollBarScrollsWholeRowsAndFollowsTheTopRow)
{
    ListGrid g;
    g.grid->setScrollBars(ScrollStyle::ssVertical);
    QApplication::processEvents();
    QScrollBar* bar = g.grid->verticalScrollBar();
    int topChanges = 0;
    g.grid->OnTopLeftChanged = [&] { ++topChanges; };
    g.grid->FocusCell(0, 15);
    EXPECT_EQ(bar->value(), g.grid->TopRow());
    EXPECT_EQ(bar->maximum(), g.grid->maxTopRow());
    bar->setValue(2);
    EXPECT_EQ(g.grid->TopRow(), 2);
    EXPECT_EQ(g.grid->Row(), 15); // scrolling does not move the current cell
    EXPECT_EQ(topChanges, 2);
}

} // namespace
} // namespace wux::controls
