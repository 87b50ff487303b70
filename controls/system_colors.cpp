#include "controls/system_colors.h"

#include <algorithm>
#include <cmath>

#include <QApplication>

namespace wux::controls {

QColor sysColor(SysColor which)
{
    return sysColor(which, QApplication::palette());
}

QColor sysColor(SysColor which, const QPalette& palette)
{
    const auto active = [&palette](QPalette::ColorRole role) {
        return palette.color(QPalette::Active, role);
    };
    switch (which) {
    case SysColor::BtnFace:
        return active(QPalette::Button);
    case SysColor::BtnText:
        return active(QPalette::ButtonText);
    case SysColor::BtnHighlight:
        return active(QPalette::Light);
    case SysColor::BtnShadow:
        return active(QPalette::Dark);
    case SysColor::Light3D:
        return active(QPalette::Midlight);
    case SysColor::ActiveBorder:
        return QColor(180, 180, 180);
    case SysColor::InactiveBorder:
        return QColor(244, 247, 252);
    case SysColor::ActiveCaption:
        return active(QPalette::Highlight);
    case SysColor::InactiveCaption:
        return QColor(191, 205, 219);
    case SysColor::CaptionText:
        return active(QPalette::HighlightedText);
    case SysColor::InactiveCaptionText:
        return QColor(67, 78, 84);
    case SysColor::Window:
        return active(QPalette::Base);
    case SysColor::WindowText:
        return active(QPalette::Text);
    case SysColor::MenuText:
        return active(QPalette::WindowText);
    case SysColor::Highlight:
        return active(QPalette::Highlight);
    case SysColor::HighlightText:
        return active(QPalette::HighlightedText);
    }
    return active(QPalette::Window);
}

QColor colorFromColorRef(quint32 bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

namespace {

double relativeLuminance(const QColor& color)
{
    const auto linear = [](double channel) {
        return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) + 0.0722 * linear(color.blueF());
}

constexpr double kReadableContrast = 3.0;

} // namespace

double contrastRatio(const QColor& first, const QColor& second)
{
    const double a = relativeLuminance(first);
    const double b = relativeLuminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor readableHighlight(const QColor& highlight, const QColor& text)
{
    const bool lighten = relativeLuminance(text) < 0.18; // a dark text wants a light row
    QColor row = highlight;
    for (int step = 0; step < 12 && contrastRatio(row, text) < kReadableContrast; ++step)
        row = lighten ? row.lighter(125) : row.darker(140);
    if (contrastRatio(row, text) < kReadableContrast)
        row = lighten ? QColor(Qt::white) : QColor(Qt::black);
    return row;
}

} // namespace wux::controls
