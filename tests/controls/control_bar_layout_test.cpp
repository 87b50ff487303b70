// The control bar's bands: one row while they fit, the next row for a band that does not, the last band
// of a row stretched to the row's end up to its maximum width; and the bar's height at a width.
#include <QLabel>
#include <QWidget>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "controls/control_bar_layout.h"

namespace wux::controls {
namespace {

using Band = TControlBarLayout::Band;
constexpr int kAny = QWIDGETSIZE_MAX;

struct ArrangeCase
{
    std::string name;
    std::vector<Band> bands;
    int width;
    std::vector<QRect> places;
};

void PrintTo(const ArrangeCase& c, std::ostream* out)
{
    *out << c.name;
}

class ControlBarArrange : public ::testing::TestWithParam<ArrangeCase>
{
};

TEST_P(ControlBarArrange, PlacesEveryBand)
{
    const ArrangeCase& c = GetParam();
    EXPECT_EQ(TControlBarLayout::arrange(c.bands, c.width, 1), c.places);
}

INSTANTIATE_TEST_SUITE_P(Bands, ControlBarArrange,
                         ::testing::Values(
                             // menu 300 fixed, toolbar 130 fixed, mode buttons at least 400 and growing.
                             ArrangeCase{"OneRowWhenAllFit",
                                         {{{300, 24}, 300}, {{130, 24}, 130}, {{400, 24}, kAny}},
                                         1000,
                                         {{0, 0, 300, 24}, {301, 0, 130, 24}, {432, 0, 568, 24}}},
                             ArrangeCase{"ExactFitStaysInOneRow",
                                         {{{300, 24}, 300}, {{130, 24}, 130}, {{400, 24}, kAny}},
                                         832,
                                         {{0, 0, 300, 24}, {301, 0, 130, 24}, {432, 0, 400, 24}}},
                             ArrangeCase{"TheBandThatDoesNotFitStartsTheNextRowAndFillsIt",
                                         {{{300, 24}, 300}, {{130, 24}, 130}, {{400, 24}, kAny}},
                                         700,
                                         {{0, 0, 300, 24}, {301, 0, 130, 24}, {0, 25, 700, 24}}},
                             ArrangeCase{"AFixedLastBandDoesNotGrow",
                                         {{{300, 24}, 300}, {{130, 24}, 130}},
                                         1000,
                                         {{0, 0, 300, 24}, {301, 0, 130, 24}}},
                             ArrangeCase{"ARowIsAsHighAsItsHighestBand",
                                         {{{100, 20}, 100}, {{100, 30}, 100}, {{100, 22}, kAny}},
                                         250,
                                         {{0, 0, 100, 30}, {101, 0, 100, 30}, {0, 31, 250, 22}}},
                             ArrangeCase{"ABandWiderThanTheBarStandsAloneInItsRow",
                                         {{{50, 24}, 50}, {{400, 24}, kAny}, {{50, 24}, kAny}},
                                         300,
                                         {{0, 0, 50, 24}, {0, 25, 400, 24}, {0, 50, 300, 24}}},
                             ArrangeCase{"NoBands", {}, 700, {}}),
                         [](const auto& info) { return info.param.name; });

TEST(ControlBarLayout, BarTakesTheHeightOfItsRowsAndSkipsHiddenBands)
{
    QWidget bar;
    auto* layout = new TControlBarLayout(&bar);
    layout->setContentsMargins(0, 1, 0, 1);
    layout->setSpacing(1);
    std::vector<QWidget*> bands;
    for (int width : {300, 130, 400}) {
        auto* band = new QLabel(&bar);
        band->setFixedHeight(24);
        band->setMinimumWidth(width);
        if (width != 400)
            band->setMaximumWidth(width);
        layout->addWidget(band);
        bands.push_back(band);
    }
    EXPECT_EQ(layout->heightForWidth(1000), 26);
    EXPECT_EQ(layout->heightForWidth(700), 51);
    EXPECT_EQ(layout->minimumSize().width(), 400) << "the widest band";

    layout->setGeometry(QRect(0, 0, 700, 51));
    EXPECT_EQ(bands[2]->geometry(), QRect(0, 26, 700, 24));
    EXPECT_EQ(layout->minimumSize().height(), 51) << "the rows at the bar's present width";

    bands[1]->hide();
    EXPECT_EQ(layout->heightForWidth(700), 51);
    bands[0]->hide();
    EXPECT_EQ(layout->heightForWidth(700), 26) << "hidden bands take no row";
    layout->setGeometry(QRect(0, 0, 700, 26));
    EXPECT_EQ(bands[2]->geometry(), QRect(0, 1, 700, 24));
}

} // namespace
} // namespace wux::controls
