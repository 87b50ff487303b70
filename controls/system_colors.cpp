#include "controls/system_colors.h"

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

} // namespace wux::controls
