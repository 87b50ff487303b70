// The shared cell painter: alignment words, colour marks and the colours and positions it paints.
#include "controls/grid_cell_painter.h"
#include "controls/system_colors.h"
#include "controls/wux_string_grid.h"
#include "core/gui_helpers.h"
#include "support/text_recorder.h"

#include <QApplication>
#include <QPainter>
#include <gtest/gtest.h>

#include <vector>

namespace wux::controls {
namespace {

TEST(GridCellAlignment, TwoBitsPerColumn)
{
    struct Case
    {
        unsigned bits;
        std::vector<int> perColumn;
    };
    const std::vector<Case> cases = {
        {342, {2, 1, 1, 1, 1, 0}}, // run results: shortened, four right-aligned, left
        {340, {0, 1, 1, 1, 1, 0}}, // run status: left, four right-aligned
        {2, {2, 0}},               // two-column results
        {0, {0, 0, 0}},            // batch table
    };
    for (const Case& c : cases)
        for (int col = 0; col < int(c.perColumn.size()); ++col)
            EXPECT_EQ(gridCellAlignment(c.bits, col), c.perColumn[std::size_t(col)])
                << c.bits << " col " << col;
}

TEST(GridCellAlignment, ColumnsOutsideTheWordAreLeftAligned)
{
    EXPECT_EQ(gridCellAlignment(0xFFFFFFFFu, 15), 3);
    EXPECT_EQ(gridCellAlignment(0xFFFFFFFFu, 16), 0);
    EXPECT_EQ(gridCellAlignment(0xFFFFFFFFu, 40), 0);
    EXPECT_EQ(gridCellAlignment(0xFFFFFFFFu, -1), 0);
}

TEST(ColourMark, LastCharacterBelowFiveIsTakenOff)
{
    struct Case
    {
        QString text;
        int code;
        QString rest;
    };
    const std::vector<Case> cases = {
        {"", -1, ""},
        {"done", -1, "done"},
        {QString("done") + QChar(2), 2, "done"},
        {QString("failed") + QChar(1), 1, "failed"},
        {QString("x") + QChar(3), 3, "x"},
        {QString("x") + QChar(4), 4, "x"},
        {QString("x") + QChar(0), 0, "x"},
        {QString("x") + QChar(5), -1, QString("x") + QChar(5)},
        {QString(QChar(1)), 1, ""},
        {QString(QChar(2)) + "x", -1, QString(QChar(2)) + "x"},
    };
    for (Case c : cases) {
        QString text = c.text;
        EXPECT_EQ(takeColourMark(text), c.code) << c.text.toStdString();
        EXPECT_EQ(text, c.rest) << c.text.toStdString();
    }
}

GridCellContext context()
{
    GridCellContext ctx;
    ctx.font = QApplication::font();
    ctx.font.setPixelSize(12);
    ctx.defaultRowHeight = 20;
    ctx.colWidth = 200;
    ctx.currentRow = 3;
    return ctx;
}

QImage paintCell(const GridCellContext& ctx, int col, int row, unsigned align, GridDrawState state,
                 const QString& text)
{
    QImage img(ctx.colWidth, ctx.defaultRowHeight, QImage::Format_ARGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    drawGridCell(p, ctx, col, row, align, state, QRect(0, 0, ctx.colWidth, ctx.defaultRowHeight), text);
    p.end();
    return img;
}

int countColour(const QImage& img, QColor c)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += img.pixelColor(x, y) == c;
    return n;
}

// Horizontal extent of the pixels that differ from the background (taken 4 pixels left of the right
// edge, where no text reaches).
std::pair<int, int> inkExtent(const QImage& img)
{
    const QColor bg = img.pixelColor(img.width() - 4, img.height() / 2);
    int first = -1;
    int last = -1;
    for (int x = 0; x < img.width(); ++x)
        for (int y = 2; y < img.height() - 2; ++y)
            if (img.pixelColor(x, y) != bg) {
                if (first < 0)
                    first = x;
                last = x;
            }
    return {first, last};
}

TEST(DrawGridCell, MarkTwoPaintsGreenWithoutTheMarkCharacter)
{
    GridCellContext ctx = context();
    ctx.font.setStyleStrategy(QFont::NoAntialias);
    const QImage marked = paintCell(ctx, 1, 1, 0, 0, QString("WWW") + QChar(2));
    EXPECT_GT(countColour(marked, QColor::fromRgb(kMarkGreen)), 10);
    // The same text without the mark, painted in green, is the same picture.
    const QImage red = paintCell(ctx, 1, 1, 0, 0, QString("WWW") + QChar(1));
    EXPECT_GT(countColour(red, QColor::fromRgb(kMarkRed)), 10);
    EXPECT_EQ(countColour(red, QColor::fromRgb(kMarkRed)), countColour(marked, QColor::fromRgb(kMarkGreen)));
    const QImage plain = paintCell(ctx, 1, 1, 0, 0, "WWW");
    EXPECT_EQ(countColour(plain, QColor::fromRgb(kMarkGreen)), 0);
    EXPECT_EQ(inkExtent(plain), inkExtent(marked));
}

TEST(DrawGridCell, MarksColourOnlyOrdinaryCells)
{
    GridCellContext ctx = context();
    ctx.tag = 1;
    ctx.font.setStyleStrategy(QFont::NoAntialias);
    const QString text = QString("WWW") + QChar(2);
    EXPECT_EQ(countColour(paintCell(ctx, 1, 0, 0, gdFixed, text), QColor::fromRgb(kMarkGreen)), 0);
    EXPECT_EQ(countColour(paintCell(ctx, 1, 3, 0, 0, text), QColor::fromRgb(kMarkGreen)), 0); // current row
}

TEST(DrawGridCell, BackgroundsByCellKind)
{
    const QPalette pal = QApplication::palette();
    struct Case
    {
        const char* name;
        int tag;
        bool focused;
        int row;
        GridDrawState state;
        SysColor background;
    };
    const std::vector<Case> cases = {
        {"ordinary cell", 0, true, 1, 0, SysColor::Window},
        {"current row without tag bit 0", 0, true, 3, 0, SysColor::Window},
        {"current row focused", 1, true, 3, 0, SysColor::ActiveCaption},
        {"current row unfocused", 1, false, 3, 0, SysColor::InactiveCaption},
        {"fixed row 0 of a focused tag-2 grid", 2, true, 0, gdFixed, SysColor::ActiveBorder},
        {"fixed row 0 unfocused", 2, false, 0, gdFixed, SysColor::InactiveBorder},
        {"fixed row 1 focused", 2, true, 1, gdFixed, SysColor::InactiveBorder},
        {"fixed row 0 without tag bit 1", 1, true, 0, gdFixed, SysColor::InactiveBorder},
    };
    for (const Case& c : cases) {
        GridCellContext ctx = context();
        ctx.tag = c.tag;
        ctx.focused = c.focused;
        const QImage img = paintCell(ctx, 1, c.row, 0, c.state, "");
        EXPECT_EQ(img.pixelColor(100, 10), sysColor(c.background, pal)) << c.name;
    }
}

TEST(DrawGridCell, EmptyTextPaintsTheBackgroundOnly)
{
    GridCellContext ctx = context();
    const QImage img = paintCell(ctx, 20, 1, 0xFFFFFFFFu, 0, "");
    EXPECT_EQ(countColour(img, sysColor(SysColor::Window, QApplication::palette())),
              img.width() * img.height());
}

TEST(DrawGridCell, LeftRightAndFixedPositions)
{
    GridCellContext ctx = context();
    ctx.font.setStyleStrategy(QFont::NoAntialias);
    const auto [leftFirst, leftLast] = inkExtent(paintCell(ctx, 0, 1, 340, 0, "12"));
    EXPECT_GE(leftFirst, 3);
    EXPECT_LT(leftFirst, 6);
    const auto [rightFirst, rightLast] = inkExtent(paintCell(ctx, 1, 1, 340, 0, "12"));
    EXPECT_LE(rightLast, 200 - 8 - 1);
    EXPECT_GT(rightLast, 200 - 8 - 5);
    EXPECT_NEAR(rightLast - rightFirst, leftLast - leftFirst, 1); // same text, maybe another sub-pixel start
    // A fixed cell ignores the alignment and starts 2 pixels further right than a left cell.
    GridCellContext fixedCtx = ctx;
    QImage fixedImg = paintCell(fixedCtx, 1, 0, 340, gdFixed, "12");
    // Look at the text only: inside the etched edge.
    fixedImg = fixedImg.copy(2, 0, fixedImg.width() - 4, fixedImg.height());
    const auto [fixedFirst, fixedLast] = inkExtent(fixedImg);
    EXPECT_EQ(fixedFirst + 2 /* the copy starts at 2 */, leftFirst + 2 /* two further right */);
    EXPECT_NEAR(fixedLast - fixedFirst, leftLast - leftFirst, 1);
}

TEST(DrawGridCell, ShortenedColumnFitsPathThenElidesTheMiddle)
{
    GridCellContext ctx = context();
    ctx.colWidth = 90;
    ctx.font.setStyleStrategy(QFont::NoAntialias);
    const QString path = "c:\\Program Files\\Application\\a-rather-long-file-name.txt";
    const QString expected = FitPathText(QFontMetrics(ctx.font), path, ctx.colWidth - 11);
    EXPECT_TRUE(expected.endsWith(".txt")) << expected.toStdString();
    EXPECT_TRUE(expected.contains(QChar(0x2026))) << expected.toStdString();
    const QImage shortened = paintCell(ctx, 0, 1, 342, 0, path);
    const QImage direct = paintCell(ctx, 0, 1, 0, 0, expected);
    EXPECT_EQ(shortened, direct);
}

// A path fitted to a width: whole when it fits; its folders dropped from the top down; a name still
// too wide elided in its middle, keeping its end and extension; never cut at the end with "..".
TEST(FitPathText, DropsFoldersThenElidesTheNameInItsMiddle)
{
    QFont font = QApplication::font();
    font.setPixelSize(12);
    const QFontMetrics metrics(font);
    const QString letter = "c:\\Documents\\Letters\\Order 4101.txt";
    const QString mail = "c:\\Mail archive\\Mail 00001 of the correspondence with the customers.txt";
    struct Case
    {
        QString path;
        int width;
        QString expected; // "" where only its form is checked
    };
    const std::vector<Case> cases = {
        {letter, metrics.horizontalAdvance(letter), letter},
        {letter, metrics.horizontalAdvance("c:\\...\\Order 4101.txt"), "c:\\...\\Order 4101.txt"},
        {letter, metrics.horizontalAdvance("Order 4101.txt"), "Order 4101.txt"},
        {mail, 150, ""},
        {mail, 60, ""},
    };
    for (const Case& c : cases) {
        const QString fitted = FitPathText(metrics, c.path, c.width);
        EXPECT_LE(metrics.horizontalAdvance(fitted), c.width) << fitted.toStdString();
        EXPECT_FALSE(fitted.endsWith("..")) << fitted.toStdString();
        if (!c.expected.isEmpty()) {
            EXPECT_EQ(fitted, c.expected);
            continue;
        }
        EXPECT_TRUE(fitted.endsWith(".txt")) << fitted.toStdString();
        const qsizetype ellipsis = fitted.indexOf(QChar(0x2026));
        ASSERT_GT(ellipsis, 0) << fitted.toStdString();
        EXPECT_TRUE(c.path.contains(fitted.left(ellipsis)) || fitted.startsWith("...")) << fitted.toStdString();
        EXPECT_TRUE(c.path.endsWith(fitted.mid(ellipsis + 1))) << fitted.toStdString();
    }
}

TEST(DrawGridCell, StringGridOverloadPaintsTheCellText)
{
    TWUXStringGrid grid;
    grid.setDefaultRowHeight(20);
    grid.setDefaultColWidth(120);
    grid.setCells(1, 1, QString("ok") + QChar(2));
    QImage img(120, 20, QImage::Format_ARGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    QFont f = grid.font();
    f.setStyleStrategy(QFont::NoAntialias);
    grid.setFont(f);
    DrawGridCell(p, grid, 1, 1, 0, 0, QRect(0, 0, 120, 20));
    p.end();
    EXPECT_GT(countColour(img, QColor::fromRgb(kMarkGreen)), 5);
}

// A value that does not fit is elided, never cut: "2 979" must not read as "979".
TEST(FitCellText, WholeWhenItFitsElidedOtherwise)
{
    const QFont font = QApplication::font();
    const QFontMetrics metrics(font);
    const QString ellipsis(QChar(0x2026));
    struct Case
    {
        QString text;
        int room; // pixels less than the text's width (0: exactly its width)
    };
    for (const Case& c : {Case{"2 979", 0}, Case{"2 979", 1}, Case{"<DIR>", 1}, Case{"999 999 999 999", 30},
                          Case{"24 Mar 2026 23:59", 20}, Case{"", 0}}) {
        const int width = metrics.horizontalAdvance(c.text) - c.room;
        const QString shown = FitCellText(metrics, c.text, width);
        if (c.room == 0) {
            EXPECT_EQ(shown, c.text);
            continue;
        }
        EXPECT_LE(metrics.horizontalAdvance(shown), width) << c.text.toStdString();
        ASSERT_TRUE(shown.endsWith(ellipsis)) << shown.toStdString();
        EXPECT_TRUE(c.text.startsWith(shown.chopped(1))) << shown.toStdString();
    }
    EXPECT_EQ(FitCellText(metrics, QStringLiteral("2 979"), 0), QString());
    EXPECT_EQ(FitCellText(metrics, QStringLiteral("a.txt"), 200, Qt::ElideMiddle), QStringLiteral("a.txt"));
}

TEST(DrawGridCell, NarrowCellsDrawTheirTextsElidedInsideTheCell)
{
    GridCellContext ctx = context();
    const QFontMetrics metrics(ctx.font);
    const QString value = QStringLiteral("2 979 123");
    // Room for about half of the value: right-aligned (column 1 of 340) and left-aligned (column 0).
    const int width = metrics.horizontalAdvance(value) / 2 + 11;
    ctx.colWidth = width;
    for (const int col : {0, 1}) {
        wux::test::TextRecorder recorder;
        {
            QPainter painter(&recorder);
            drawGridCell(painter, ctx, col, 1, 340, 0, QRect(0, 0, width, 20), value);
        }
        ASSERT_EQ(recorder.texts().size(), 1u);
        const wux::test::PaintedText& shown = recorder.texts().front();
        EXPECT_TRUE(shown.text.endsWith(QChar(0x2026))) << shown.text.toStdString();
        EXPECT_TRUE(value.startsWith(shown.text.chopped(1))) << shown.text.toStdString();
        EXPECT_GE(shown.left, 3);
        EXPECT_LE(shown.right, width - (col == 1 ? 8 : 0));
    }
}

} // namespace
} // namespace wux::controls
