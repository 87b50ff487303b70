// The header grid: width packing arithmetic, sort word, clicks that pick and toggle the sort, drags
// that resize and repack, and the widths copied to the list grid below.
#include "controls/vyk_header.h"

#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace wux::controls {
namespace {

constexpr std::int64_t pack(std::int64_t a, std::int64_t b, std::int64_t c, std::int64_t d)
{
    return a | (b << 9) | (c << 18) | (d << 27);
}

// The panels' default widths 192, 48, 72, 120.
constexpr std::int64_t kDefaults = pack(192, 48, 72, 120);

TEST(ColumnWidthPacking, FieldsAreNineBitsOf480ths)
{
    EXPECT_EQ(kDefaults, 16125026496LL);
    const std::vector<int> fields = {192, 48, 72, 120, 0, 0, 0};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(columnWidthField(kDefaults, i), fields[std::size_t(i)]) << i;
    EXPECT_EQ(columnWidthField(kDefaults, 7), 0);
    EXPECT_EQ(columnWidthField(kDefaults, -1), 0);
}

TEST(ColumnWidthPacking, PackIsWidthTimes480DivClientWidth)
{
    struct Case
    {
        std::vector<int> widths;
        int client;
        std::int64_t packed;
    };
    const std::vector<Case> cases = {
        {{192, 48, 72, 120}, 480, kDefaults},
        {{384, 96, 144, 240}, 960, kDefaults},
        {{100, 100, 100, 100}, 1000, pack(48, 48, 48, 48)},
        {{1, 1, 1, 1}, 1000, 0}, // 480 div 1000 = 0
        {{192, 48, 72, 120}, 0, 0},
        {{192, 48, 72, 120}, -3, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(packColumnWidths(c.widths, c.client), c.packed) << c.client;
}

TEST(ColumnWidthPacking, StoredValuesAreClampedToValidFields)
{
    struct Case
    {
        std::int64_t stored, clamped;
    };
    const std::vector<Case> cases = {
        {kDefaults, kDefaults},
        {0, 0},
        {511, 480},                                   // one field over 480
        {pack(300, 200, 0, 0), pack(300, 180, 0, 0)}, // the fields together over 480
        {pack(480, 5, 5, 5), 480},
        {-1, 480},
        {std::int64_t(1) << 63, 0}, // beyond the seven fields
    };
    for (const Case& c : cases)
        EXPECT_EQ(clampColumnWidth(c.stored), c.clamped) << c.stored;
}

TEST(ColumnWidthLayout, FullFromFieldsBriefEqualSharesLastTakesTheRest)
{
    EXPECT_EQ(headerColumnWidths(kDefaults, 5, 480, 480, false), (std::vector<int>{192, 48, 72, 120, 48}));
    EXPECT_EQ(headerColumnWidths(kDefaults, 5, 960, 960, false), (std::vector<int>{384, 96, 144, 240, 96}));
    EXPECT_EQ(headerColumnWidths(kDefaults, 4, 400, 400, true), (std::vector<int>{100, 100, 100, 100}));
    EXPECT_EQ(headerColumnWidths(kDefaults, 4, 403, 403, true), (std::vector<int>{100, 100, 100, 103}));
    EXPECT_EQ(headerColumnWidths(kDefaults, 5, 0, 0, false), (std::vector<int>{0, 0, 0, 0, 0}));
    EXPECT_EQ(headerColumnWidths(pack(480, 0, 0, 0), 5, 100, 90, false), (std::vector<int>{100, 0, 0, 0, 0}));
}

struct PanelHeader
{
    QWidget window;
    TVYKHeader* header = nullptr;
    DrawGrid* table = nullptr;
    TImageList images{8, 8};
    int sortEvents = 0;
    int resizeEvents = 0;

    PanelHeader()
    {
        header = new TVYKHeader(&window);
        table = new DrawGrid(&window);
        header->setDefaultRowHeight(20);
        header->setGeometry(0, 0, 480, 20);
        table->setGeometry(0, 20, 480, 200);
        table->setFixedCols(0);
        table->setColCount(5);
        header->setColCount(5);
        for (const char* t : {"Name", "Ext", "Size", "Date", "Attr"})
            header->HeaderItems().Add().setText(t);
        header->HeaderItems().Items(4).setAllowDownState(false);
        header->setMainTable(table);
        QPixmap up(8, 8);
        up.fill(Qt::red);
        QPixmap down(8, 8);
        down.fill(Qt::blue);
        images.Add(up);
        images.Add(down);
        header->setImages(&images);
        header->OnchangeKindOfSort = [this](TVYKHeader*) { ++sortEvents; };
        header->OnResizeHeaders = [this](TVYKHeader*) { ++resizeEvents; };
        header->setColumnWidth(kDefaults);
        header->setKindOfSort(8);
        window.resize(480, 220);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        header->UpdateItemWidths();
    }

    void click(int x)
    {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(x, 10));
    }
    int sortIndex() const { return header->HeaderItems().SortIndex(); }
    bool descending() const { return header->HeaderItems().Descending(); }
    std::vector<int> widths() const
    {
        std::vector<int> w;
        for (int i = 0; i < header->ColCount(); ++i)
            w.push_back(header->ColWidths(i));
        return w;
    }
};

TEST(VYKHeader, LayoutFromColumnWidthReachesTheMainTable)
{
    PanelHeader p;
    EXPECT_EQ(p.widths(), (std::vector<int>{192, 48, 72, 120, 48}));
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(p.header->HeaderItems().Items(i).Width(), p.widths()[std::size_t(i)]);
        EXPECT_EQ(p.table->ColWidths(i), p.widths()[std::size_t(i)]);
    }
    EXPECT_GE(p.resizeEvents, 1);
    // A column width of zero leaves the columns as they are.
    const int events = p.resizeEvents;
    p.header->setColumnWidth(0);
    p.header->UpdateItemWidths();
    EXPECT_EQ(p.widths(), (std::vector<int>{192, 48, 72, 120, 48}));
    EXPECT_EQ(p.resizeEvents, events);
}

// The columns of a panel as they ask: the name 192/480 of the width and yielding last, the date with
// a shorter form (its day alone), the others narrowed attributes first, then extension, date, size.
TEST(ColumnWidthLayout, TheNameKeepsItsShareTheOthersYieldInTheirOrder)
{
    struct Case
    {
        std::vector<ColumnWant> wants;
        int client;
        std::vector<int> expected;
    };
    const std::vector<ColumnWant> panel = {
        {50, 60, 0, 192, 4}, {30, 40, 0, 0, 1}, {30, 110, 0, 0, 3}, {30, 130, 90, 0, 2}, {30, 40, 0, 0, 0}};
    const std::vector<Case> cases = {
        {panel, 700, {380, 40, 110, 130, 40}}, // all as asked, the name the rest
        {panel, 480, {200, 40, 110, 90, 40}},  // the date without its time
        {panel, 400, {160, 30, 110, 70, 30}},  // attributes, extension, then the date narrowed
        {panel, 300, {120, 30, 90, 30, 30}},   // ... and the size
        {panel, 200, {80, 30, 30, 30, 30}},    // every other column at its title, the name its share
        {panel, 180, {60, 30, 30, 30, 30}},    // then the name too
        {panel, 170, {50, 30, 30, 30, 30}},    // the least widths alone
        {panel, 85, {25, 15, 15, 15, 15}},     // half of the least widths
        {panel, 0, {0, 0, 0, 0, 0}},
        {{{20, 10}, {30, 50}}, 151, {101, 50}}, // a wanted width below the least counts as the least
        {{{10, 50}}, 80, {80}},
        {{}, 80, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(defaultColumnWidths(c.wants, c.client), c.expected) << c.client;
}

TEST(VYKHeader, ZeroColumnWidthTakesTheDefaultWidthsWhenGiven)
{
    PanelHeader p;
    p.header->setColumnWidth(0);
    p.header->DefaultItemWidths = [](int count) {
        EXPECT_EQ(count, 5);
        return std::vector<ColumnWant>{{30, 100}, {20, 40}, {20, 90}, {20, 120}, {20, 40}};
    };
    p.header->UpdateItemWidths();
    const int client = std::min(p.header->viewport()->width(), p.table->viewport()->width());
    EXPECT_EQ(p.widths(), (std::vector<int>{client - 290, 40, 90, 120, 40}));
    EXPECT_EQ(p.table->ColWidths(2), 90);
    EXPECT_EQ(p.header->ColumnWidth(), 0);
}

TEST(VYKHeader, BriefModeGivesEqualSharesAndLeavesTheMainTable)
{
    PanelHeader p;
    p.table->setDefaultColWidth(30);
    p.header->setColCount(4);
    p.header->setHeaderMode(THeaderMode::hmBrief);
    p.header->UpdateItemWidths();
    EXPECT_EQ(p.widths(), (std::vector<int>{120, 120, 120, 120}));
    EXPECT_EQ(p.table->ColWidths(0), 30);
    EXPECT_EQ(p.header->Options(), GridOptions(goFixedVertLine));
}

TEST(VYKHeader, KindOfSortSetsTheDownItemAndDirection)
{
    PanelHeader p;
    p.header->setKindOfSort(0x2003);
    EXPECT_EQ(p.sortIndex(), 3);
    EXPECT_TRUE(p.header->HeaderItems().Items(3).Down());
    EXPECT_FALSE(p.header->HeaderItems().Items(0).Down());
    EXPECT_TRUE(p.descending());
    // Seven names no item: only the direction is taken.
    p.header->setKindOfSort(7);
    EXPECT_EQ(p.sortIndex(), 3);
    EXPECT_TRUE(p.header->HeaderItems().Items(3).Down());
    EXPECT_FALSE(p.descending());
    EXPECT_EQ(p.sortEvents, 0);
}

int countColour(const QImage& img, QColor c)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += img.pixelColor(x, y) == c;
    return n;
}

TEST(VYKHeader, DownItemShowsImage0AscendingAndImage1Descending)
{
    TImageList list(8, 8); // images of another size are scaled to the list's
    QPixmap big(16, 16);
    big.fill(Qt::green);
    list.Add(big);
    list.Add(QPixmap(8, 8));
    EXPECT_EQ(list.image(0).size(), QSize(8, 8));
    EXPECT_EQ(list.image(1).size(), QSize(8, 8));
    PanelHeader p;
    p.header->setKindOfSort(0x2003);
    QImage img = p.header->viewport()->grab().toImage();
    EXPECT_EQ(countColour(img, Qt::red), 0);
    EXPECT_EQ(countColour(img, Qt::blue), 64);
    p.header->setKindOfSort(0x0003);
    img = p.header->viewport()->grab().toImage();
    EXPECT_EQ(countColour(img, Qt::red), 64);
    EXPECT_EQ(countColour(img, Qt::blue), 0);
    p.header->setImages(nullptr);
    img = p.header->viewport()->grab().toImage();
    EXPECT_EQ(countColour(img, Qt::red), 0);
}

TEST(VYKHeader, ClickPicksAnotherColumnThenTogglesTheDirection)
{
    PanelHeader p;
    p.click(470); // "Attr" has no down state: nothing changes
    EXPECT_FALSE(p.header->HeaderItems().Items(4).Down());
    EXPECT_EQ(p.sortEvents, 0);
    ASSERT_EQ(p.sortIndex(), 0);
    EXPECT_FALSE(p.descending());
    p.click(215); // "Ext"
    EXPECT_EQ(p.sortIndex(), 1);
    EXPECT_FALSE(p.descending());
    EXPECT_EQ(p.sortEvents, 1);
    p.click(215);
    EXPECT_TRUE(p.descending());
    EXPECT_EQ(p.sortEvents, 2);
    p.click(215);
    EXPECT_FALSE(p.descending());
    EXPECT_EQ(p.sortEvents, 3);
    EXPECT_EQ(p.header->KindOfSort(), 8u); // a click does not rewrite the sort word
    EXPECT_TRUE(p.table->hasFocus() || !p.table->isActiveWindow());
}

TEST(VYKHeader, DragResizesRepacksAndCopiesToTheMainTable)
{
    PanelHeader p;
    const int before = p.resizeEvents;
    QTest::mousePress(p.header->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(192, 10));
    QTest::mouseMove(p.header->viewport(), QPoint(152, 10));
    QTest::mouseRelease(p.header->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(152, 10));
    EXPECT_EQ(p.widths(), (std::vector<int>{152, 48, 72, 120, 88}));
    EXPECT_EQ(p.header->ColumnWidth(), pack(152, 48, 72, 120));
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(p.header->HeaderItems().Items(i).Width(), p.widths()[std::size_t(i)]);
        EXPECT_EQ(p.table->ColWidths(i), p.widths()[std::size_t(i)]);
    }
    EXPECT_EQ(p.resizeEvents, before + 1);
    EXPECT_EQ(p.sortEvents, 0); // a resize is not a click
    EXPECT_EQ(p.sortIndex(), 0);
}

TEST(VYKHeader, ColumnDraggedOverTheWholeWidthIsCutToWidthLessFive)
{
    PanelHeader p;
    QTest::mousePress(p.header->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(192, 10));
    QTest::mouseMove(p.header->viewport(), QPoint(479, 10));
    QTest::mouseRelease(p.header->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(479, 10));
    EXPECT_EQ(p.header->ColWidths(0), 475);
    EXPECT_EQ(p.header->ColWidths(4), 0); // 480 - (475 + 48 + 72 + 120) is below 0
    EXPECT_EQ(columnWidthField(p.header->ColumnWidth(), 0), 475);
    EXPECT_LE(columnWidthField(p.header->ColumnWidth(), 0) + columnWidthField(p.header->ColumnWidth(), 1) +
                  columnWidthField(p.header->ColumnWidth(), 2) + columnWidthField(p.header->ColumnWidth(), 3),
              480);
}

TEST(VYKHeader, ZeroWidthHeaderNeitherDividesByZeroNorLosesTheStoredWidths)
{
    PanelHeader p;
    p.header->resize(0, 20);
    p.header->UpdateItemWidths();
    EXPECT_EQ(p.widths(), (std::vector<int>{0, 0, 0, 0, 0}));
    EXPECT_EQ(p.header->ColumnWidth(), kDefaults);
}

TEST(VYKHeaderItems, AssignCopiesAndAnItemAddedAtSortIndexGoesDown)
{
    TVYKHeaderItems source;
    source.Add().setText("A");
    source.Add().setText("B");
    source.Items(1).setWidth(77);
    source.Items(1).setAllowDownState(false);
    source.Items(1).setAlignment(Qt::AlignRight);

    TVYKHeader h;
    h.setColCount(2);
    h.setKindOfSort(1); // no items yet: nothing goes down
    EXPECT_EQ(h.HeaderItems().SortIndex(), -1);
    h.HeaderItems().Add();
    h.setKindOfSort(0);
    EXPECT_EQ(h.HeaderItems().SortIndex(), 0);
    h.setHeaderItems(source);
    ASSERT_EQ(h.HeaderItems().Count(), 2);
    EXPECT_EQ(h.HeaderItems().Items(1).Text(), "B");
    EXPECT_EQ(h.HeaderItems().Items(1).Width(), 77);
    EXPECT_EQ(h.ColWidths(1), 77);
    EXPECT_FALSE(h.HeaderItems().Items(1).AllowDownState());
    EXPECT_EQ(h.HeaderItems().Items(1).Alignment(), Qt::AlignRight);
    EXPECT_TRUE(h.HeaderItems().Items(0).Down()); // added at SortIndex 0
}

TEST(VYKHeader, FreedMainTableAndImagesAreSeenAsNone)
{
    TVYKHeader h;
    auto* table = new DrawGrid;
    auto* images = new TImageList;
    h.setMainTable(table);
    h.setImages(images);
    delete table;
    delete images;
    EXPECT_EQ(h.MainTable(), nullptr);
    EXPECT_EQ(h.Images(), nullptr);
}

} // namespace
} // namespace wux::controls
