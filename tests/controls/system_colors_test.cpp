// The table of system colours: each one's role of the palette, or its fixed colour.
#include "controls/system_colors.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <vector>

namespace wux::controls {
namespace {

TEST(SystemColors, EachComesFromItsPaletteRoleOrIsFixed)
{
    // A palette whose every role has a colour of its own, in the active group only.
    const std::vector<QPalette::ColorRole> roles = {
        QPalette::Button, QPalette::ButtonText, QPalette::Light,           QPalette::Dark,
        QPalette::Midlight, QPalette::Highlight, QPalette::HighlightedText, QPalette::Base,
        QPalette::Text,   QPalette::WindowText, QPalette::Window};
    QPalette palette;
    for (std::size_t i = 0; i < roles.size(); ++i) {
        palette.setColor(QPalette::Active, roles[i], QColor(10 + int(i), 100 + int(i), 200 + int(i)));
        palette.setColor(QPalette::Inactive, roles[i], QColor(1, 2, 3));
    }
    const auto role = [&palette](QPalette::ColorRole r) { return palette.color(QPalette::Active, r); };
    struct Case
    {
        const char* name;
        SysColor which;
        QColor expected;
    };
    const std::vector<Case> cases = {
        {"button face", SysColor::BtnFace, role(QPalette::Button)},
        {"button text", SysColor::BtnText, role(QPalette::ButtonText)},
        {"button highlight", SysColor::BtnHighlight, role(QPalette::Light)},
        {"button shadow", SysColor::BtnShadow, role(QPalette::Dark)},
        {"3-D light", SysColor::Light3D, role(QPalette::Midlight)},
        {"active border", SysColor::ActiveBorder, QColor(180, 180, 180)},
        {"inactive border", SysColor::InactiveBorder, QColor(244, 247, 252)},
        {"active caption", SysColor::ActiveCaption, role(QPalette::Highlight)},
        {"inactive caption", SysColor::InactiveCaption, QColor(191, 205, 219)},
        {"caption text", SysColor::CaptionText, role(QPalette::HighlightedText)},
        {"inactive caption text", SysColor::InactiveCaptionText, QColor(67, 78, 84)},
        {"window", SysColor::Window, role(QPalette::Base)},
        {"window text", SysColor::WindowText, role(QPalette::Text)},
        {"menu text", SysColor::MenuText, role(QPalette::WindowText)},
        {"highlight", SysColor::Highlight, role(QPalette::Highlight)},
        {"highlight text", SysColor::HighlightText, role(QPalette::HighlightedText)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sysColor(c.which, palette), c.expected) << c.name;
    // Without a palette: the application's.
    EXPECT_EQ(sysColor(SysColor::CaptionText), QApplication::palette().color(QPalette::Active,
                                                                             QPalette::HighlightedText));
}

} // namespace
} // namespace wux::controls
