// Temporary: the list font, list colours and layout word until the settings module provides them.
#pragma once

#include <QColor>
#include <QFont>

#include <array>
#include <cstdint>
#include <memory>

namespace wux::mainwindow {

inline std::unique_ptr<QFont> BrowserFont;
inline std::uint32_t Layout = 0xF1;
// Slots 1-5 at indexes 1-5: list font, list background, mark, cursor, cursor font.
inline std::array<QColor, 6> MainColors{QColor(0, 0, 0),       QColor(0, 0, 0),       QColor(255, 255, 255),
                                        QColor(255, 0, 0),     QColor(0, 0, 128),     QColor(255, 255, 255)};

} // namespace wux::mainwindow
