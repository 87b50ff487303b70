// The system colours the program's painting refers to (button face and text, borders, captions,
// window, menu text). They have no one-to-one roles in QPalette, so one table maps each of them
// onto the application palette or onto a fixed colour; every painter asks this table.
#pragma once

#include <QColor>
#include <QPalette>

namespace wux::controls {

enum class SysColor
{
    BtnFace,
    BtnText,
    BtnHighlight,
    BtnShadow,
    Light3D,
    ActiveBorder,
    InactiveBorder,
    ActiveCaption,
    InactiveCaption,
    CaptionText,
    InactiveCaptionText,
    Window,
    WindowText,
    MenuText,
    Highlight,
    HighlightText,
};

// The colour of one system colour, taken from palette (the application palette by default).
QColor sysColor(SysColor which);
QColor sysColor(SysColor which, const QPalette& palette);

// The two colour marks of grid texts (character 1 red, character 2 green).
inline constexpr QRgb kMarkRed = 0xFFFF0000;   // colour value 255
inline constexpr QRgb kMarkGreen = 0xFF00C800; // colour value 51200

// A colour value of the system's colour word (0x00BBGGRR) as a QColor.
QColor colorFromColorRef(quint32 bgr);

// The contrast of two colours by their relative luminance: 1 (none) to 21 (black on white).
double contrastRatio(const QColor& first, const QColor& second);
// The text of a highlighted row stays readable: the highlight itself when the text has a contrast of at
// least 3 on it, else the highlight darkened (or, for a dark text, lightened) until it has.
QColor readableHighlight(const QColor& highlight, const QColor& text);

} // namespace wux::controls
