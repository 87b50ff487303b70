// The hover-font button and the speed button: font swap on hover, grouping, glyph states and what the
// glyph position shows.
#include "controls/speed_button_new.h"
#include "controls/wux_bit_btn.h"

#include <QApplication>
#include <QEnterEvent>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

#include <vector>

namespace wux::controls {
namespace {

void hover(QWidget* w)
{
    QEnterEvent e(QPointF(2, 2), QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)));
    QApplication::sendEvent(w, &e);
}

void leave(QWidget* w)
{
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(w, &e);
}

QFont boldFont()
{
    QFont f("Sans Serif");
    f.setPixelSize(11);
    f.setBold(true);
    return f;
}

TEST(WUXBitBtn, HoverSwapsToNewFontAndRestoresTheOwnFont)
{
    QWidget parent;
    auto* btn = new TWUXBitBtn("OK", &parent);
    QFont own("Serif");
    own.setPixelSize(15);
    btn->setFont(own);
    btn->setUseNewStyle(true);
    btn->setNewFont(boldFont());
    hover(btn);
    EXPECT_TRUE(btn->font().bold());
    EXPECT_EQ(btn->font().pixelSize(), 11);
    leave(btn);
    EXPECT_EQ(btn->font(), own);
}

TEST(WUXBitBtn, WithoutUseNewStyleHoverLeavesTheFontAndAFontSetWhileHoveredIsLost)
{
    TWUXBitBtn btn("OK");
    const QFont before = btn.font();
    btn.setNewFont(boldFont());
    hover(&btn);
    EXPECT_EQ(btn.font(), before);
    leave(&btn);
    EXPECT_EQ(btn.font(), before);

    QFont own("Serif");
    own.setPixelSize(13);
    btn.setFont(own);
    btn.setUseNewStyle(true);
    hover(&btn);
    QFont other("Monospace");
    other.setPixelSize(20);
    btn.setFont(other);
    leave(&btn);
    EXPECT_EQ(btn.font(), own);
}

TEST(WUXBitBtn, InheritedFontStaysInheritedAfterHover)
{
    QWidget parent;
    QFont parentFont("Serif");
    parentFont.setPixelSize(17);
    parent.setFont(parentFont);
    auto* btn = new TWUXBitBtn("OK", &parent);
    btn->setUseNewStyle(true);
    btn->setNewFont(boldFont());
    hover(btn);
    leave(btn);
    QFont later("Monospace");
    later.setPixelSize(9);
    parent.setFont(later);
    EXPECT_EQ(btn->font().pixelSize(), 9);
}

TEST(ButtonLayout, GlyphAndCaptionPlacement)
{
    struct Case
    {
        QSize client, glyph, text;
        TButtonLayout layout;
        int margin, spacing;
        ButtonLayoutResult expected;
    };
    const std::vector<Case> cases = {
        // Margin -1 centres glyph + spacing 4 + caption: (35 - (16 + 4 + 7) + 1) div 2 = 4.
        {{35, 20}, {16, 16}, {7, 13}, TButtonLayout::blGlyphLeft, -1, 4, {{4, 2}, {24, 4}}},
        // No caption: the spacing does not count, the glyph is centred.
        {{21, 20}, {16, 16}, {0, 0}, TButtonLayout::blGlyphLeft, -1, 4, {{3, 2}, {19, 10}}},
        // Glyph right with margin 2.
        {{40, 20}, {16, 16}, {10, 13}, TButtonLayout::blGlyphRight, 2, 4, {{22, 2}, {8, 4}}},
        // Glyph on top.
        {{30, 40}, {16, 16}, {10, 13}, TButtonLayout::blGlyphTop, -1, 4, {{7, 4}, {10, 24}}},
        // Spacing -1 with margin -1: thirds.
        {{36, 20}, {16, 16}, {8, 13}, TButtonLayout::blGlyphLeft, -1, -1, {{4, 2}, {24, 4}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(calcButtonLayout(c.client, c.glyph, c.text, c.layout, c.margin, c.spacing), c.expected)
            << int(c.layout) << " " << c.client.width();
}

QPixmap strip(const std::vector<QColor>& faces, QColor transparent)
{
    // Each image 8x8: the face colour with the bottom-left pixel of the strip transparent.
    QImage img(8 * int(faces.size()), 8, QImage::Format_RGB32);
    for (int i = 0; i < int(faces.size()); ++i)
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                img.setPixelColor(i * 8 + x, y, faces[std::size_t(i)]);
    img.setPixelColor(0, 7, transparent);
    return QPixmap::fromImage(img);
}

TEST(SpeedButtonNew, GroupKeepsExactlyOneButtonDown)
{
    QWidget bar;
    std::vector<TSpeedButtonNew*> buttons;
    for (int i = 0; i < 3; ++i) {
        auto* b = new TSpeedButtonNew(&bar);
        b->setGroupIndex(1);
        b->setTag(i);
        b->move(i * 37, 0);
        buttons.push_back(b);
    }
    auto* other = new TSpeedButtonNew(&bar);
    other->setGroupIndex(2);
    other->setDown(true);
    buttons[0]->setDown(true);
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    QTest::mouseClick(buttons[2], Qt::LeftButton);
    EXPECT_FALSE(buttons[0]->Down());
    EXPECT_TRUE(buttons[2]->Down());
    EXPECT_TRUE(other->Down()); // another group
    // The down button of a group without AllowAllUp stays down when clicked.
    QTest::mouseClick(buttons[2], Qt::LeftButton);
    EXPECT_TRUE(buttons[2]->Down());
    buttons[1]->setAllowAllUp(true);
    EXPECT_TRUE(buttons[2]->AllowAllUp());
    QTest::mouseClick(buttons[2], Qt::LeftButton);
    EXPECT_FALSE(buttons[2]->Down());
    // Setting Down in code raises the others.
    buttons[1]->setDown(true);
    buttons[0]->setDown(true);
    EXPECT_FALSE(buttons[1]->Down());
}

TEST(SpeedButtonNew, WithoutGroupNeverStaysDown)
{
    TSpeedButtonNew b;
    int clicks = 0;
    QObject::connect(&b, &QToolButton::clicked, [&] { ++clicks; });
    b.setDown(true);
    EXPECT_FALSE(b.Down());
    QTest::mouseClick(&b, Qt::LeftButton);
    EXPECT_FALSE(b.Down());
    EXPECT_EQ(clicks, 1);
}

TEST(SpeedButtonNew, GlyphStripGivesStateImagesWithTheBottomLeftColourTransparent)
{
    TSpeedButtonNew b;
    b.setGlyph(strip({Qt::red, Qt::gray, Qt::blue, Qt::green}, Qt::magenta));
    b.setNumGlyphs(4);
    struct Case
    {
        TSpeedButtonNew::TButtonState state;
        QColor face;
    };
    for (const Case& c : std::vector<Case>{{TSpeedButtonNew::bsUp, Qt::red},
                                           {TSpeedButtonNew::bsDisabled, Qt::gray},
                                           {TSpeedButtonNew::bsDown, Qt::blue},
                                           {TSpeedButtonNew::bsExclusive, Qt::green}}) {
        const QImage img = b.glyphImage(c.state).toImage();
        ASSERT_EQ(img.size(), QSize(8, 8));
        EXPECT_EQ(img.pixelColor(3, 3), c.face) << int(c.state);
    }
    const QImage up = b.glyphImage(TSpeedButtonNew::bsUp).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(up.pixel(0, 7)), 0);
    EXPECT_EQ(qAlpha(up.pixel(1, 7)), 255);
    // Missing state images fall back to the up image.
    b.setGlyph(strip({Qt::red}, Qt::magenta));
    b.setNumGlyphs(1);
    EXPECT_EQ(b.glyphImage(TSpeedButtonNew::bsDown).toImage().pixelColor(3, 3), QColor(Qt::red));
    EXPECT_EQ(b.glyphImage(TSpeedButtonNew::bsExclusive).toImage().pixelColor(3, 3), QColor(Qt::red));
    EXPECT_FALSE(b.glyphImage(TSpeedButtonNew::bsDisabled).isNull());
}

QImage render(QWidget& w)
{
    QImage img(w.size(), QImage::Format_ARGB32);
    img.fill(Qt::white);
    w.render(&img);
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

TEST(SpeedButtonNew, SystemImageIsDrawnInsteadOfTheBitmap)
{
    TSpeedButtonNew b;
    b.resize(37, 22);
    QPixmap blue(8, 8);
    blue.fill(Qt::blue);
    // With an empty glyph no glyph is drawn, and no image is asked for.
    TSpeedButtonNew empty;
    empty.resize(37, 22);
    bool askedEarly = false;
    empty.SetSystemImage(
        [&](int) {
            askedEarly = true;
            return QIcon(blue);
        },
        3);
    EXPECT_EQ(empty.glyphKind(), "");
    EXPECT_EQ(countColour(render(empty), Qt::blue), 0);
    EXPECT_FALSE(askedEarly);

    b.setGlyph(strip({Qt::red}, Qt::magenta));
    EXPECT_EQ(b.glyphKind(), "bitmap");
    EXPECT_GT(countColour(render(b), Qt::red), 40);

    std::vector<int> asked;
    b.SetSystemImage(
        [&](int index) {
            asked.push_back(index);
            return QIcon(blue);
        },
        7);
    EXPECT_EQ(b.glyphKind(), "icon");
    const QImage img = render(b);
    EXPECT_EQ(countColour(img, Qt::red), 0);
    EXPECT_GT(countColour(img, Qt::blue), 40);
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.back(), 7);
}

TEST(SpeedButtonNew, CaptionIsPaintedBesideTheGlyph)
{
    TSpeedButtonNew b;
    b.resize(37, 22);
    b.setText("c");
    b.setGlyph(strip({Qt::red}, Qt::magenta));
    const QImage img = render(b);
    // The glyph stands left of the caption: red pixels only in the left part.
    int rightmostRed = -1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y) == QColor(Qt::red))
                rightmostRed = std::max(rightmostRed, x);
    EXPECT_GE(rightmostRed, 0);
    EXPECT_LT(rightmostRed, 22);
}

} // namespace
} // namespace wux::controls
