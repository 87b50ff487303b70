// What a painted grid row looks like: the contrast of its text on its background, and whether any of
// its text is drawn in the marked red.
#pragma once

#include <QColor>
#include <QImage>

#include <algorithm>
#include <cmath>

namespace wux::tools::test {

// The contrast of two colours by their relative luminance: 1 to 21.
inline double contrastOf(const QColor& first, const QColor& second)
{
    const auto luminance = [](const QColor& color) {
        const auto linear = [](double c) {
            return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) +
               0.0722 * linear(color.blueF());
    };
    const double a = luminance(first);
    const double b = luminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

// The background is the row's first pixel column (left of the text); the text is the pixel that
// stands out most from it.
inline double rowTextContrast(const QImage& row)
{
    const QColor background = row.pixelColor(0, row.height() / 2);
    double most = 1.0;
    for (int y = 0; y < row.height(); ++y)
        for (int x = 0; x < row.width(); ++x)
            most = std::max(most, contrastOf(background, row.pixelColor(x, y)));
    return most;
}

inline bool rowHasRedText(const QImage& row)
{
    for (int y = 0; y < row.height(); ++y)
        for (int x = 0; x < row.width(); ++x) {
            const QColor pixel = row.pixelColor(x, y);
            if (pixel.red() > 200 && pixel.green() < 80 && pixel.blue() < 80)
                return true;
        }
    return false;
}

} // namespace wux::tools::test
