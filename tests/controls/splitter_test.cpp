// The ratio-keeping splitter: ratio arithmetic, the resize rule and a moved handle.
#include "controls/wux_splitter_mouse.h"

#include <QTest>
#include <gtest/gtest.h>

#include <vector>

namespace wux::controls {
namespace {

TEST(SplitterRatio, IsLeftEdgeTimesTenThousandDivWidth)
{
    struct Case
    {
        int pos, width, previous, ratio;
    };
    const std::vector<Case> cases = {
        {500, 1000, 1234, 5000}, {333, 1000, 0, 3330}, {1, 3, 0, 3333},
        {2, 3, 0, 6666},         {0, 800, 5000, 0},    {800, 800, 0, 10000},
        {10, 0, 4321, 4321},     {10, -5, 4321, 4321}, {900, 800, 0, 10000},
    };
    for (const Case& c : cases)
        EXPECT_EQ(splitterRatio(c.pos, c.width, c.previous), c.ratio) << c.pos << "/" << c.width;
    // Stored values are clamped.
    EXPECT_EQ(std::vector<int>({clampRatio(-1), clampRatio(5000), clampRatio(10001), clampRatio(1LL << 40)}),
              std::vector<int>({0, 5000, 10000, 10000}));
}

TEST(SplitterLayout, LeftIsTruncatedShareOfTheClientWidthPlusTwo)
{
    struct Case
    {
        int ratio, client, right;
        SplitterLayout layout;
    };
    const std::vector<Case> cases = {
        {5000, 1000, 300, {502, 300, 512}},
        {3333, 1001, 0, {335, 1, 345}}, // 333.63 truncated
        {0, 640, 5, {2, 5, 12}},
        {10000, 0, 7, {2, 7, 12}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(splitterLayout(c.ratio, c.client, c.right), c.layout) << c.ratio << " " << c.client;
}

class MovableSplitter : public TWUXSplitterMouse
{
public:
    using TWUXSplitterMouse::moveSplitter;
};

TEST(SplitterMouse, MovingTheHandleToTheMiddleGivesRatio5000)
{
    MovableSplitter s;
    EXPECT_EQ(s.Ratio(), 5000); // a new splitter
    s.addWidget(new QWidget);
    s.addWidget(new QWidget);
    s.resize(1000, 200);
    s.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&s));
    s.moveSplitter(250, 1);
    EXPECT_EQ(s.Ratio(), 2500);
    s.moveSplitter(500, 1);
    EXPECT_EQ(s.Ratio(), 5000);
    EXPECT_DOUBLE_EQ(s.GetRatio(), 0.5);
}

TEST(SplitterMouse, ApplyRatioSizesTheLeftWidgetWithoutChangingTheRatio)
{
    TWUXSplitterMouse s;
    auto* left = new QWidget;
    s.addWidget(left);
    s.addWidget(new QWidget);
    s.resize(1000, 200);
    s.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&s));
    s.setRatio(3000);
    s.applyRatio();
    EXPECT_EQ(left->width(), 302);
    EXPECT_EQ(s.Ratio(), 3000);
    s.resize(2000, 200);
    s.applyRatio();
    EXPECT_EQ(left->width(), 602);
}

} // namespace
} // namespace wux::controls
