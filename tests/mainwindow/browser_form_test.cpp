// The browser panel's display: settings, the layout of each view, cells, header and sort, and the
// status, drive and address lines.
#include "panel_fixture.h"

#include <QComboBox>
#include <QImage>
#include <QLabel>

#include <QPainter>

#include <filesystem>
#include <map>
#include <regex>
#include <set>

#include "controls/vyk_header.h"
#include "controls/vyk_status_bar.h"
#include "core/display_helpers.h"
#include "filelist/list_operations.h"
#include "platform/drives.h"
#include "platform/fault_injection.h"
#include "platform/ini_file.h"
#include "support/text_recorder.h"

namespace wux::mainwindow::panel_test {
namespace {

using wux::test::createFile;
using wux::test::makeFolder;

// ---- Settings --------------------------------------------------------------------------------

struct ColumnsWidthCase
{
    const char* text;
    std::int64_t expected;
};

void PrintTo(const ColumnsWidthCase& c, std::ostream* os)
{
    *os << '"' << c.text << '"';
}

class ColumnsWidthTest : public ::testing::TestWithParam<ColumnsWidthCase>
{
};

// 0 stands for the default widths, which the list font's metrics give.
TEST_P(ColumnsWidthTest, ParsesDecimalAndFallsBackToDefaults)
{
    EXPECT_EQ(ParseColumnsWidth(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, ColumnsWidthTest,
                         ::testing::Values(ColumnsWidthCase{"0", 0}, ColumnsWidthCase{"", 0},
                                           ColumnsWidthCase{"12x", 0}, ColumnsWidthCase{"-", 0},
                                           ColumnsWidthCase{"0x1F", 0},
                                           ColumnsWidthCase{"100", 100}, // one field
                                           ColumnsWidthCase{"+100", 100},
                                           // 200 + 200 + 200: the third field is cut to what is left of 480.
                                           ColumnsWidthCase{"52531400", 200 | (200 << 9) | (80 << 18)},
                                           ColumnsWidthCase{"99999999999999999999999", 0}));

TEST_F(PanelTest, SettingsOfBothSectionsRoundTrip)
{
    makeFolder(drives.path("data\\sub"));
    createFile(drives.path("data\\a.txt"), "a");
    const std::string iniPath = drives.path("wux.ini");
    createFile(iniPath,
               "[BROWSER_LEFT]\r\nKindOfSort=67\r\nDirectory=" + drives.path("data\\sub") +
                   "\r\nBrowserMode=1\r\nOldBrowserMode=1\r\nBasketMode=1\r\nColumnsWidth=25215096\r\n"
                   "MaskFiles=*.txt\r\n[BROWSER_RIGHT]\r\nBrowserMode=4\r\nOldBrowserMode=2\r\n"
                   "Directory=" +
                   drives.path("data") + "\r\n[Other]\r\nkey=kept\r\n");
    platform::IniFile ini(iniPath);
    const std::string before = wux::test::readFileBytes(iniPath);

    TBrowserForm left(host, "LeftBrowser");
    left.LoadSettings(ini, "BROWSER_LEFT");
    EXPECT_EQ(left.BrowserMode(), 1);
    EXPECT_EQ(left.BasketMode(), 1);
    EXPECT_EQ(left.Listing().sortWord, 67u);
    EXPECT_EQ(left.sgTitle()->ColumnWidth(), 25215096);
    EXPECT_EQ(left.AddressText().toStdString(), drives.path("data\\sub") + "\\*.txt");
    TBrowserForm right(host, "RightBrowser");
    right.LoadSettings(ini, "BROWSER_RIGHT");
    EXPECT_EQ(right.BrowserMode(), 4);
    EXPECT_EQ(right.DriveLetter(), '*');
    EXPECT_EQ(right.AddressText().toStdString(), "BASKET");

    left.SaveSettings(ini, "BROWSER_LEFT");
    right.SaveSettings(ini, "BROWSER_RIGHT");
    const std::string after = wux::test::readFileBytes(iniPath);
    // Every key reads back as it was; the Basket view writes no directory (the old one stays).
    EXPECT_EQ(after, "[BROWSER_LEFT]\r\nKindOfSort=67\r\nDirectory=" + drives.path("data\\sub") +
                         "\r\nBrowserMode=1\r\nOldBrowserMode=1\r\nBasketMode=1\r\nColumnsWidth=25215096\r\n"
                         "MaskFiles=*.txt\r\n[BROWSER_RIGHT]\r\nBrowserMode=4\r\nOldBrowserMode=2\r\n"
                         "Directory=" +
                         drives.path("data") + "\r\nKindOfSort=8\r\nBasketMode=2\r\nColumnsWidth=0"
                         "\r\nMaskFiles=*.*\r\n[Other]\r\nkey=kept\r\n");
    EXPECT_NE(before, after);

    // A write that fails says so and leaves the file as it was.
    platform::ScopedFaultClear clear;
    platform::injectFault(iniPath, 112, platform::kFaultWrite);
    left.SetKindOfSort(2);
    EXPECT_EQ(left.SaveSettings(ini, "BROWSER_LEFT"), 112u);
    EXPECT_EQ(wux::test::readFileBytes(iniPath), after);
}

TEST_F(PanelTest, HostileSectionValuesGiveUsableDefaults)
{
    const std::string iniPath = drives.path("wux.ini");
    createFile(iniPath, "[BROWSER_LEFT]\r\nBrowserMode=9\r\nOldBrowserMode=0\r\nBasketMode=3\r\n"
                        "ColumnsWidth=wide\r\nDirectory=" +
                            drives.path("gone") + "\r\nMaskFiles=\r\n");
    platform::IniFile ini(iniPath);
    TBrowserForm left(host, "LeftBrowser");
    left.LoadSettings(ini, "BROWSER_LEFT");
    EXPECT_EQ(left.BrowserMode(), 2);
    EXPECT_EQ(left.OldBrowserMode(), 2);
    EXPECT_EQ(left.BasketMode(), 2);
    EXPECT_EQ(left.sgTitle()->ColumnWidth(), 0);
    // A missing "KindOfSort" is the panels' default; a vanished directory opens the first fixed root.
    EXPECT_EQ(left.Listing().sortWord, 8u);
    EXPECT_EQ(left.AddressText().toStdString(), "c:\\*.*");
    EXPECT_EQ(left.DriveLetter(), 'c');
}

TEST_F(PanelTest, BasketViewAtStartStillHasAListing)
{
    createFile(drives.path("a.txt"), "a");
    const std::string iniPath = drives.path("wux.ini");
    createFile(iniPath, "[BROWSER_LEFT]\r\nBrowserMode=4\r\nOldBrowserMode=1\r\nDirectory=c:\\\r\n");
    platform::IniFile ini(iniPath);
    panel = std::make_unique<TBrowserForm>(host, "LeftBrowser");
    TBrowserForm& form = *panel;
    form.LoadSettings(ini, "BROWSER_LEFT");
    EXPECT_EQ(form.DriveLetter(), '*');
    EXPECT_EQ(form.AddressText().toStdString(), "BASKET");
    form.SetBrowserMode(1);
    EXPECT_EQ(form.Listing().rowCount, 2); // a.txt and wux.ini
}

struct LayoutCase
{
    std::uint32_t layout;
    // pnlDisks, sgTitle, pnlBrowserToolbar, pnlSizeInfo, sbFilesComment, pnlBottomButtons, pnlAddressLine,
    // SspRMain, flat Send button
    std::array<bool, 9> shown;
};

void PrintTo(const LayoutCase& c, std::ostream* os)
{
    *os << "0x" << std::hex << c.layout;
}

class ApplyLayoutTest : public PanelTest, public ::testing::WithParamInterface<LayoutCase>
{
};

TEST_P(ApplyLayoutTest, ShowsThePartsTheBitsAskFor)
{
    TBrowserForm& form = open(drives.path(""), 2);
    form.ApplyLayout(GetParam().layout);
    const std::array<bool, 9> shown{
        !form.pnlDisks()->isHidden(),          !form.sgTitle()->isHidden(),
        !form.pnlBrowserToolbar()->isHidden(), !form.pnlSizeInfo()->isHidden(),
        !form.sbFilesComment()->isHidden(),    !form.pnlBottomButtons()->isHidden(),
        !form.pnlAddressLine()->isHidden(),    !form.findChild<QWidget*>("SspRMain")->isHidden(),
        form.btnSendTobasket()->Flat()};
    EXPECT_EQ(shown, GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Bits, ApplyLayoutTest,
    ::testing::Values(LayoutCase{0x0, {false, false, false, true, false, true, false, true, false}},
                      LayoutCase{0xF1, {false, true, false, true, true, true, true, false, false}},
                      LayoutCase{0x4 | 0x8, {true, false, true, false, false, true, false, true, false}},
                      LayoutCase{0x100 | 0x200,
                                 {false, false, false, true, false, false, false, true, true}}));

// ---- Layout of the views ---------------------------------------------------------------------

TEST_F(PanelTest, BriefLayoutFillsColumnsOfWholeRows)
{
    makeFiles("many", 25);
    TBrowserForm& form = open(drives.path("many"), 1);
    const int rowHeight = std::max(form.TextHeight(), 17);
    EXPECT_EQ(grid().DefaultRowHeight(), rowHeight);
    const int rows = grid().RowCount();
    EXPECT_GE(rows, 1);
    // Whole rows in the client height, less the scroll bar when the columns do not fit.
    const int plain = (grid().height() - 4) / rowHeight;
    EXPECT_TRUE(rows == plain || rows == std::max(1, (grid().height() - 8 -
                                                      form.style()->pixelMetric(QStyle::PM_ScrollBarExtent)) /
                                                         rowHeight));
    EXPECT_EQ(grid().ColCount(), (26 + rows - 1) / rows); // 25 files and "[..]"
    const QFontMetrics metrics(BrowserFont());
    EXPECT_EQ(form.BriefColumnWidth(),
              metrics.horizontalAdvance("12345678.123") + metrics.horizontalAdvance("[]") + 20);
    EXPECT_EQ(grid().ColWidths(0), form.BriefColumnWidth());
}

TEST_F(PanelTest, FullViewTakesStoredHeaderProportions)
{
    makeFiles("four", 4);
    TBrowserForm& form = open(drives.path("four"), 2);
    const int parts[4] = {192, 48, 72, 120};
    form.sgTitle()->setColumnWidth(parts[0] | (std::int64_t(parts[1]) << 9) | (std::int64_t(parts[2]) << 18) |
                                   (std::int64_t(parts[3]) << 27));
    form.UpdateHeader();
    ASSERT_EQ(grid().ColCount(), 5);
    EXPECT_EQ(grid().RowCount(), 5); // "[..]" + 4
    const int width = form.sgTitle()->width();
    int used = 0;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(form.sgTitle()->HeaderItems().Items(i).Width(), parts[i] * width / 480) << i;
        EXPECT_EQ(grid().ColWidths(i), parts[i] * width / 480) << i;
        used += parts[i] * width / 480;
    }
    EXPECT_EQ(grid().ColWidths(4), form.sgTitle()->viewport()->width() - used);
    // The status panels follow the same proportions of the status bar.
    form.sbFilesComment()->resize(form.sbFilesComment()->width() + 1, form.sbFilesComment()->height());
    const int barWidth = form.sbFilesComment()->width();
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(form.sbFilesComment()->Panels(i).Width(), parts[i] * barWidth / 480) << i;
}

// The texts the panel's cell painter draws into each cell of the full view: (column, row) -> texts.
std::map<std::pair<int, int>, std::vector<wux::test::PaintedText>> paintCells(controls::TWUXStringGrid& grid)
{
    std::map<std::pair<int, int>, std::vector<wux::test::PaintedText>> cells;
    for (int row = 0; row < grid.RowCount(); ++row) {
        for (int col = 0; col < grid.ColCount(); ++col) {
            wux::test::TextRecorder recorder;
            const QRect rect(0, 0, grid.ColWidths(col), grid.DefaultRowHeight());
            {
                QPainter painter(&recorder);
                grid.OnDrawCell(painter, col, row, rect, 0);
            }
            for (wux::test::PaintedText text : recorder.texts()) {
                // Relative to the cell: 0 .. its width.
                text.right -= rect.left();
                text.left -= rect.left();
                cells[{col, row}].push_back(text);
            }
        }
    }
    return cells;
}

// With no stored widths the columns are as wide as the list font needs for "<DIR>", a size of
// 999 999 999 999 bytes and a date and time; in a narrow panel a value that does not fit is elided,
// never painted with digits cut off by the next column.
TEST_F(PanelTest, DefaultColumnWidthsShowWholeValuesAndNarrowOnesElide)
{
    makeFolder(drives.path("sizes\\Drafts"));
    createFile(drives.path("sizes\\Quarterly report.docx"), "x");
    createFile(drives.path("sizes\\Budget 2026.xlsx"), std::string(2979, 'b'));
    {
        std::error_code error;
        std::filesystem::resize_file(drives.posix("sizes\\Quarterly report.docx"), 9'999'999'999, error);
        ASSERT_FALSE(error) << error.message();
    }
    TBrowserForm& form = open(drives.path("sizes"), 2, QSize(700, 300));
    ASSERT_EQ(form.sgTitle()->ColumnWidth(), 0);
    ASSERT_EQ(grid().ColCount(), 5);
    const QFontMetrics metrics(BrowserFont());
    EXPECT_GE(grid().ColWidths(2), metrics.horizontalAdvance("9 999 999 999") + 10);
    const auto wide = paintCells(grid());
    std::set<std::string> seen;
    for (const auto& [cell, texts] : wide)
        for (const wux::test::PaintedText& text : texts) {
            seen.insert(text.text.toStdString());
            EXPECT_LE(text.right, grid().ColWidths(cell.first)) << text.text.toStdString();
            EXPECT_FALSE(text.text.endsWith(QChar(0x2026))) << text.text.toStdString();
        }
    for (const char* value : {"9 999 999 999", "2 979", "<DIR>", "docx", "xlsx"})
        EXPECT_EQ(seen.count(value), 1u) << value;
    filelist::StateAccess access(form.Listing());
    const std::string date = core::FileTimeToText(access.items[0].lastWrite);
    EXPECT_GE(seen.count(date), 1u) << date;

    // Stored widths that are too narrow for the values: each is elided or whole, never cut.
    form.sgTitle()->setColumnWidth(100 | (std::int64_t(20) << 9) | (std::int64_t(20) << 18) |
                                   (std::int64_t(40) << 27));
    form.UpdateHeader();
    const auto narrow = paintCells(grid());
    std::set<std::string> days;
    for (std::int32_t i = 0; i < form.Listing().itemCount; ++i) {
        days.insert(core::FileTimeToDateText(access.items[i].lastWrite));
        days.insert(core::FileTimeToCompactDateText(access.items[i].lastWrite));
    }
    int elided = 0;
    for (const auto& [cell, texts] : narrow) {
        const auto whole = wide.find(cell);
        ASSERT_NE(whole, wide.end());
        ASSERT_EQ(texts.size(), whole->second.size());
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const QString shown = texts[i].text;
            const QString value = whole->second[i].text;
            EXPECT_LE(texts[i].right, grid().ColWidths(cell.first) + 0.5) << shown.toStdString();
            EXPECT_GE(texts[i].left, -0.5) << shown.toStdString();
            if (shown != value) {
                ++elided;
                // A date too narrow for its time shows the day alone or the compact day.
                if (cell.first == 3 && days.count(shown.toStdString()) != 0)
                    continue;
                EXPECT_TRUE(shown.isEmpty() ||
                            (shown.endsWith(QChar(0x2026)) && value.startsWith(shown.chopped(1))))
                    << shown.toStdString() << " for " << value.toStdString();
            }
        }
    }
    EXPECT_GT(elided, 3);
}

TEST_F(PanelTest, EmptyBasketViewShowsOneCentredLine)
{
    TBrowserForm& form = open(drives.path(""), 4);
    EXPECT_EQ(form.BasketRows(), 0);
    EXPECT_EQ(grid().RowCount(), 3);
    EXPECT_FALSE(form.btnSendTobasket()->isVisible());
    EXPECT_EQ(form.lblBasketInfo()->text().toStdString(), "0 Files in Basket");
    EXPECT_EQ(form.lblBasketInfo()->x(), 3);
    MainColors[0] = QColor(255, 0, 255);
    const QImage image = grid().viewport()->grab().toImage();
    // The text stands in the middle of the grid, 10 pixels down.
    int left = image.width();
    int right = -1;
    for (int y = 10; y < 10 + form.TextHeight(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == QColor(255, 0, 255)) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    ASSERT_GE(right, 0);
    EXPECT_NEAR((left + right) / 2, image.width() / 2, image.width() / 10);
}

TEST_F(PanelTest, BasketViewsGroupByFolderWithHeaderRows)
{
    makeFiles("one", 2);
    makeFiles("two", 1);
    TBrowserForm& form = open(drives.path("one"), 2);
    filelist::SelectFolderItems(1, form.Listing(), true, filelist::kActionMark);
    filelist::AddSelectedToBasket(form.Listing());
    form.ChangeDirectory(drives.path("two"), "");
    filelist::SelectFolderItems(1, form.Listing(), true, filelist::kActionMark);
    filelist::AddSelectedToBasket(form.Listing());
    filelist::AttachStateToPanel(filelist::kLeftBasketView, false, filelist::BasketState);
    form.SetBrowserMode(4);
    EXPECT_EQ(form.BasketRows(), 5); // 3 files, 2 header rows
    EXPECT_EQ(form.lblBasketInfo()->text().toStdString(), "3 Files in Basket");
    host.active = nullptr;
    grid().clearFocus();
    const QImage image = grid().viewport()->grab().toImage();
    bool green = false;
    // Row 0 is the first folder's header, drawn in green.
    for (int x = 0; x < image.width() && !green; ++x)
        for (int y = 0; y < grid().DefaultRowHeight(); ++y)
            if (image.pixelColor(x, y) == QColor(0, 0x80, 0)) {
                green = true;
                break;
            }
    EXPECT_TRUE(green);
}

// ---- Cells and colours -----------------------------------------------------------------------

// Counts the pixels of a colour in a rectangle of an image.
int countColor(const QImage& image, const QRect& rect, const QColor& color)
{
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (image.pixelColor(x, y) == color)
                ++n;
    return n;
}

TEST_F(PanelTest, MarkColourWinsOverCursorFontColour)
{
    makeFiles("cells", 3);
    MainColors = {QColor(1, 1, 1), QColor(250, 250, 250), QColor(255, 0, 0), QColor(0, 0, 200),
                  QColor(0, 255, 0)};
    TBrowserForm& form = open(drives.path("cells"), 2);
    grid().setFocus();
    press(Qt::Key_Down); // the cursor on f01.txt
    QRect cursorRow = grid().CellRect(0, 1);
    QImage image = grid().viewport()->grab().toImage();
    EXPECT_GT(countColor(image, cursorRow, QColor(0, 0, 200)), 0); // the cursor background
    EXPECT_GT(countColor(image, cursorRow, QColor(0, 255, 0)), 0); // the cursor font
    EXPECT_EQ(countColor(image, cursorRow, QColor(255, 0, 0)), 0);
    form.SelectCurrentItem(false, filelist::kActionMark);
    image = grid().viewport()->grab().toImage();
    EXPECT_GT(countColor(image, cursorRow, QColor(255, 0, 0)), 0);
    EXPECT_EQ(countColor(image, cursorRow, QColor(0, 255, 0)), 0);
    // Another row: list font on list background.
    const QRect other = grid().CellRect(0, 2);
    EXPECT_GT(countColor(image, other, QColor(1, 1, 1)), 0);
    EXPECT_EQ(countColor(image, other, QColor(0, 0, 200)), 0);
}

// ---- Header and sort -------------------------------------------------------------------------

TEST_F(PanelTest, SortKeepsTheCursorOnItsNameAndToggles)
{
    createFile(drives.path("s\\b.txt"), "bbbbbb");
    createFile(drives.path("s\\a.doc"), "aaaa");
    createFile(drives.path("s\\c.aaa"), "c");
    TBrowserForm& form = open(drives.path("s"), 2);
    form.PlaceCursorOnName("b.txt");
    form.PositionCursor(form.Cursor(), -1, -1);
    struct Step
    {
        int column;
        std::uint32_t word;
        const char* first;
    };
    const Step steps[] = {{2, 0x42, "c.aaa"},
                          {2, 0x42 | 0x2000, "b.txt"},
                          {1, 1, "c.aaa"},
                          {0, 8, "a.doc"},
                          {0, 8 | 0x2000, "c.aaa"},
                          {3, 0x43, nullptr},
                          {-1, 0x43 | 0x2000, nullptr}};
    for (const Step& step : steps) {
        form.SetKindOfSort(step.column);
        EXPECT_EQ(form.Listing().sortWord, step.word) << step.column;
        EXPECT_EQ(form.sgTitle()->KindOfSort(), step.word);
        EXPECT_EQ(cursorName(), "b.txt") << step.column;
        if (step.first != nullptr) {
            std::string first;
            form.GetItemNameAt(1, first); // row 0 is "[..]"
            EXPECT_EQ(first, step.first) << step.column;
        }
    }
}

// ---- Status, drive and address lines ---------------------------------------------------------

TEST_F(PanelTest, StatusLineShowsTheItemOnlyInBriefViewWithoutSelection)
{
    createFile(drives.path("st\\a.txt"), std::string(2048, 'a'));
    createFile(drives.path("st\\b.log"), std::string(4096, 'b'));
    TBrowserForm& form = open(drives.path("st"), 1);
    grid().setFocus();
    form.PositionCursor(1, -1, -1); // a.txt
    form.UpdateStatusLine(2);
    controls::TVYKStatusBar* status = form.sbFilesComment();
    ASSERT_FALSE(status->SimplePanel());
    EXPECT_EQ(status->Panels(0).Text().toStdString(), "a");
    EXPECT_EQ(status->Panels(1).Text().toStdString(), "txt");
    EXPECT_EQ(status->Panels(2).Text().toStdString(), "2 048");
    form.SelectCurrentItem(false, filelist::kActionMark);
    ASSERT_TRUE(status->SimplePanel());
    EXPECT_EQ(status->SimpleText().toStdString(), "2 of 6 k in 1 of 2 files selected");
    form.SetBrowserMode(2);
    form.SelectCurrentItem(false, filelist::kActionInvert);
    form.UpdateStatusLine(2);
    EXPECT_TRUE(status->SimplePanel());
    EXPECT_EQ(status->SimpleText().toStdString(), "0 of 6 k in 0 of 2 files selected");
}

TEST_F(PanelTest, DriveLineShowsFreeSpaceAndEmptiesWhenTheQueryFails)
{
    makeFolder(drives.path("x", 'd'));
    TBrowserForm& form = open(drives.path("x", 'd'), 2);
    std::uint64_t freeBytes = 0;
    std::uint64_t total = 0;
    std::uint64_t totalFree = 0;
    ASSERT_EQ(platform::diskFreeSpace("d:\\", freeBytes, total, totalFree), 0u);
    const std::int32_t index = filelist::FindDriveIndex('d', filelist::DriveList);
    const std::string name = filelist::DriveList[std::size_t(index)]->Name();
    // Free space changes while the test runs (other programs write to the disk): the form is exact.
    const std::string totalText = core::FormatSize(total / 1024);
    const std::regex freePattern("[0-9 ]+ of " + totalText + " k free");
    EXPECT_TRUE(std::regex_match(form.pnlInfo()->text().toStdString(), freePattern))
        << form.pnlInfo()->text().toStdString();
    EXPECT_EQ(form.DriveInfoText().toStdString(), "[" + name + "]  " + form.pnlInfo()->text().toStdString());
    EXPECT_EQ(form.pnlSizeInfo()->text(), form.DriveInfoText());
    host.active = &form;
    // The drive goes away: an empty free-space part, never the old figures.
    drives.mapDrive('d', drives.base() + "/unplugged");
    form.UpdateDriveInfo();
    EXPECT_EQ(form.DriveInfoText().toStdString(), "[" + name + "]  ");
    EXPECT_EQ(form.pnlInfo()->text().toStdString(), "");
    EXPECT_EQ(host.infoText, form.DriveInfoText());
}

// The free-space text of the drive toolbar is whole where the toolbar has room and elided where it has
// not, never cut to a figure that reads as another one ("78 174" for "78 174 544").
TEST_F(PanelTest, FreeSpaceTextInTheDriveToolbarIsWholeOrElided)
{
    TBrowserForm& form = open(drives.path(""), 2, QSize(700, 300));
    form.ApplyLayout(0xF1 | 0x8);
    QApplication::processEvents();
    const QString full = form.FreeSpaceText();
    ASSERT_TRUE(full.endsWith(QStringLiteral(" k free"))) << full.toStdString();
    QLabel* info = form.pnlInfo();
    EXPECT_EQ(info->text(), full);
    form.resize(300, 300);
    QApplication::processEvents();
    const QString narrow = info->text();
    EXPECT_LE(info->fontMetrics().horizontalAdvance(narrow), info->contentsRect().width());
    ASSERT_TRUE(narrow.endsWith(QChar(0x2026))) << narrow.toStdString();
    EXPECT_TRUE(full.startsWith(narrow.chopped(1))) << narrow.toStdString();
    EXPECT_EQ(info->toolTip(), full);
    form.resize(700, 300);
    QApplication::processEvents();
    EXPECT_EQ(info->text(), full);
}

// The address line is bold; a path longer than the line loses its middle, keeping the folder and mask.
TEST_F(PanelTest, AddressLineIsBoldAndElidesLongPathsInTheMiddle)
{
    const std::string deep = "a rather long folder name\\another long folder name\\Reports";
    makeFolder(drives.path(deep));
    TBrowserForm& form = open(drives.path(deep), 2, QSize(700, 300));
    QLabel* line = form.pnlAddressLine();
    EXPECT_TRUE(line->font().bold());
    const QString full = form.AddressText();
    EXPECT_EQ(line->text(), full);
    form.resize(200, 300);
    QApplication::processEvents();
    const QString shown = line->text();
    EXPECT_LE(line->fontMetrics().horizontalAdvance(shown), line->contentsRect().width());
    const qsizetype dots = shown.indexOf(QChar(0x2026));
    ASSERT_GT(dots, 0) << shown.toStdString();
    EXPECT_TRUE(full.startsWith(shown.left(dots))) << shown.toStdString();
    EXPECT_TRUE(full.endsWith(shown.mid(dots + 1))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("\\*.*"))) << shown.toStdString();
}

TEST_F(PanelTest, NamesWithMappedCharactersShowTheirOriginalCharacters)
{
    makeFolder(drives.path("odd"));
    wux::test::createFile(drives.posix("odd") + "/a:b?.txt", "x");
    TBrowserForm& form = open(drives.path("odd"), 1);
    form.PositionCursor(1, -1, -1);
    form.UpdateStatusLine(2);
    EXPECT_EQ(form.sbFilesComment()->Panels(0).Text().toStdString(), "a:b?");
}

TEST_F(PanelTest, FocusColoursTheAddressLineAndSetsTheActiveForm)
{
    makeFiles("f", 1);
    TBrowserForm& form = open(drives.path("f"), 2);
    form.activateWindow();
    grid().setFocus();
    QApplication::processEvents();
    EXPECT_EQ(host.active, &form);
    EXPECT_EQ(host.infoText, form.DriveInfoText());
    EXPECT_TRUE(host.jumpEnabled);
    EXPECT_TRUE(host.fullDown);
    EXPECT_FALSE(host.briefDown);
}

TEST_F(PanelTest, StopWorkerMayRunAnyNumberOfTimes)
{
    makeFiles("w", 30);
    TBrowserForm& form = open(drives.path("w"), 2);
    grid().viewport()->repaint(); // the icons start the reader
    form.StopWorker();
    form.StopWorker();
    EXPECT_FALSE(form.HasIconThread());
}

} // namespace
} // namespace wux::mainwindow::panel_test

namespace wux::mainwindow::panel_test {
namespace {

// Saves a picture of each view to $WUX_RENDER_DIR (run under a real display to look at them).
TEST_F(PanelTest, RenderEachView)
{
    const QByteArray folder = qgetenv("WUX_RENDER_DIR");
    if (folder.isEmpty())
        GTEST_SKIP() << "set WUX_RENDER_DIR to save the pictures";
    for (const char* name : {"readme.md", "setup.sh", "a-very-long-file-name-for-the-brief-view.txt"})
        createFile(drives.path(std::string("show\\") + name), std::string(1500, 'x'));
    makeFolder(drives.path("show\\docs"));
    makeFiles("show", 30);
    TBrowserForm& form = open(drives.path("show"), 2, QSize(520, 420));
    form.ApplyLayout(0xF1 | 0x4 | 0x40);
    form.ApplyLanguage();
    form.AdjustBarHeights();
    grid().setFocus();
    form.PositionCursor(3, -1, -1);
    form.SelectCurrentItem(false, filelist::kActionMark);
    form.PositionCursor(5, -1, -1);
    QApplication::processEvents();
    form.grab().save(QString::fromUtf8(folder) + "/panel-full.png");
    form.SetBrowserMode(1);
    QApplication::processEvents();
    form.grab().save(QString::fromUtf8(folder) + "/panel-brief.png");
    form.SetBrowserMode(4);
    QApplication::processEvents();
    form.grab().save(QString::fromUtf8(folder) + "/panel-basket-empty.png");
    form.ChangeDirectory(drives.path("show"), "");
    filelist::SelectFolderItems(1, form.Listing(), false, filelist::kActionMark);
    filelist::AddSelectedToBasket(form.Listing());
    form.ChangeDirectory(drives.path(""), "");
    filelist::AttachStateToPanel(filelist::kLeftBasketView, false, filelist::BasketState);
    form.SetBrowserMode(4);
    QApplication::processEvents();
    form.grab().save(QString::fromUtf8(folder) + "/panel-basket-full.png");
    form.ApplyLayout(0xF1 | 0x8 | 0x40);
    form.SetBrowserMode(2);
    QApplication::processEvents();
    form.grab().save(QString::fromUtf8(folder) + "/panel-combo.png");
}

} // namespace
} // namespace wux::mainwindow::panel_test
