// The status bar: the simple text kept across SimplePanel switches, bevels, panel layout, resize event.
#include "controls/vyk_status_bar.h"

#include <QGridLayout>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wux::controls {
namespace {

QImage render(QWidget& w)
{
    QImage img(w.size(), QImage::Format_ARGB32);
    img.fill(Qt::white);
    w.render(&img);
    return img;
}

TEST(StatusPanelRects, EachPanelItsWidthTheLastToTheEnd)
{
    const std::vector<QRect> rects = statusPanelRects({50, 30, 20}, 200, 19);
    ASSERT_EQ(rects.size(), 3u);
    EXPECT_EQ(rects[0], QRect(0, 0, 50, 19));
    EXPECT_EQ(rects[1], QRect(50, 0, 30, 19));
    EXPECT_EQ(rects[2], QRect(80, 0, 120, 19));
    const std::vector<QRect> narrow = statusPanelRects({50, 50}, 30, 19);
    EXPECT_EQ(narrow[1].width(), 0);
}

TEST(VYKStatusBar, SimpleTextIsKeptAndShownOnlyWhileSimplePanel)
{
    TVYKStatusBar bar;
    bar.resize(300, 19);
    bar.addPanel().setText("Name");
    bar.addPanel().setText("Ext");
    bar.setSimplePanel(false);
    bar.setSimpleText("12 files");
    std::vector<StatusPart> parts = bar.displayedParts();
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].text, "Name");
    EXPECT_EQ(parts[1].text, "Ext");
    bar.setSimplePanel(true);
    parts = bar.displayedParts();
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].text, "12 files");
    EXPECT_EQ(parts[0].panelIndex, -1);
    bar.setSimplePanel(false);
    bar.setSimplePanel(true);
    EXPECT_EQ(bar.SimpleText(), "12 files");
    EXPECT_EQ(bar.displayedParts()[0].text, "12 files");
}

TEST(VYKStatusBar, NoPanelsAndNotSimpleShowsOneEmptyPartWithTheBarsBevel)
{
    TVYKStatusBar bar;
    bar.resize(200, 19);
    bar.setSimpleText("hidden");
    bar.setBevel(TVYKStatusPanelBevel::SP_BEVEL_RAISED);
    bar.setSimplePanel(false);
    const std::vector<StatusPart> parts = bar.displayedParts();
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].text, "");
    EXPECT_EQ(parts[0].bevel, TVYKStatusPanelBevel::SP_BEVEL_RAISED);
}

TEST(VYKStatusBar, PanelWidthsAndTheLastPanelTakingTheRest)
{
    TVYKStatusBar bar;
    bar.setSizeGrip(false);
    bar.resize(400, 19);
    for (int i = 0; i < 5; ++i)
        bar.addPanel();
    bar.setSimplePanel(false);
    bar.Panels(0).setWidth(120);
    bar.Panels(4).setText("A");
    const std::vector<StatusPart> parts = bar.displayedParts();
    ASSERT_EQ(parts.size(), 5u);
    EXPECT_EQ(parts[0].rect.width(), 120);
    EXPECT_EQ(parts[1].rect.left(), 120);
    EXPECT_EQ(parts[4].rect.left(), 270);
    EXPECT_EQ(parts[4].rect.right(), 399);
    EXPECT_EQ(parts[4].text, "A");
    EXPECT_THROW(bar.Panels(5), std::out_of_range);
}

TEST(VYKStatusBar, BevelNoneDrawsNoBorderLoweredDoes)
{
    TVYKStatusBar bar;
    bar.setSizeGrip(false);
    bar.resize(200, 19);
    bar.setSimpleText("");
    bar.setBevel(TVYKStatusPanelBevel::SP_BEVEL_NONE);
    const QImage flat = render(bar);
    const QColor face = flat.pixelColor(100, 10);
    // Without a bevel every pixel of the part is the face colour.
    for (int x = 0; x < 198; ++x)
        EXPECT_EQ(flat.pixelColor(x, 2), face) << x;
    // The simple text is painted only while SimplePanel.
    bar.setSimplePanel(false);
    bar.setSimpleText("WWWWWW");
    EXPECT_EQ(render(bar), flat);
    bar.setSimplePanel(true);
    EXPECT_NE(render(bar), flat);
    bar.setSimpleText("");
    bar.setBevel(TVYKStatusPanelBevel::SP_BEVEL_LOWERED);
    const QImage lowered = render(bar);
    EXPECT_NE(lowered.pixelColor(100, 2), face); // the sunken edge's top line
}

TEST(VYKStatusBar, OnlyOwnerDrawPanelsArePaintedByTheOwner)
{
    TVYKStatusBar bar;
    bar.setSizeGrip(false);
    bar.resize(200, 19);
    bar.addPanel().setText("plain");
    bar.addPanel().setText("owner");
    bar.Panels(1).setStyle(TStatusPanelStyle::psOwnerDraw);
    bar.setSimplePanel(false);
    std::vector<std::string> drawn;
    bar.OnDrawPanel = [&](TVYKStatusBar*, TStatusPanel& panel, QPainter&, const QRect&) {
        drawn.push_back(panel.Text().toStdString());
    };
    render(bar);
    EXPECT_EQ(drawn, std::vector<std::string>{"owner"});
}

TEST(VYKStatusBar, ResizeFiresOnResizeForThePanelLayout)
{
    TVYKStatusBar bar;
    for (int i = 0; i < 5; ++i)
        bar.addPanel();
    int calls = 0;
    bar.OnResize = [&](TVYKStatusBar* sender) {
        ++calls;
        // The owner lays the panel widths out from the bar's width.
        sender->Panels(0).setWidth(sender->width() / 2);
    };
    bar.resize(500, 19);
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    EXPECT_GE(calls, 1);
    EXPECT_EQ(bar.Panels(0).Width(), 250);
}

// Two bars side by side at the bottom of a window, as under the two panels: only the one in the
// window's bottom-right corner shows a size grip, also after the window grows; a bar whose SizeGrip is
// off never shows one.
TEST(VYKStatusBar, OnlyTheBarInTheWindowsCornerShowsASizeGrip)
{
    QWidget window;
    auto* layout = new QGridLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QWidget, 0, 0, 1, 2);
    auto* left = new TVYKStatusBar;
    auto* right = new TVYKStatusBar;
    layout->addWidget(left, 1, 0);
    layout->addWidget(right, 1, 1);
    layout->setRowStretch(0, 1);
    window.resize(400, 300);
    window.show();
    QApplication::processEvents();
    EXPECT_FALSE(left->sizeGripShown());
    EXPECT_TRUE(right->sizeGripShown());
    window.resize(500, 350);
    QApplication::processEvents();
    EXPECT_FALSE(left->sizeGripShown());
    EXPECT_TRUE(right->sizeGripShown());
    right->setSizeGrip(false);
    EXPECT_FALSE(right->sizeGripShown());
    // Something below the bars takes the corner away from both.
    right->setSizeGrip(true);
    layout->addWidget(new QWidget, 2, 0, 1, 2);
    QApplication::processEvents();
    EXPECT_FALSE(left->sizeGripShown());
    EXPECT_FALSE(right->sizeGripShown());
}

} // namespace
} // namespace wux::controls
