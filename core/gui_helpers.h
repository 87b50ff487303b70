// Helpers that measure, shorten and draw texts with a font, and the folder browser. Texts are UTF-8;
// reserved characters of names (U+F000 + byte) are measured and returned as the characters they
// stand for, as the windows show them.
#pragma once

#include <functional>
#include <string>
#include <string_view>

class QFont;
class QFontMetrics;
class QPainter;
class QString;
class QWidget;

namespace wux::core {

// text when it fits into width pixels; otherwise as many of its first characters as fit, followed by
// "..".
std::string FitTextToWidth(const QFontMetrics& metrics, std::string_view text, int width);
std::string FitTextToWidth(const QFont& font, std::string_view text, int width);

// A path shortened until it fits into width pixels, step by step: "C:\Program Files\App\file.txt",
// "C:\...\App\file.txt", "C:\...\file.txt", "...\file.txt", "file.txt". Paths shorter than 3
// characters are returned as they are.
std::string FitPathToWidth(std::string_view path, const QFontMetrics& metrics, int width);
std::string FitPathToWidth(std::string_view path, const QFont& font, int width);

// The width and height of a text in a font.
void GetTextSize(const QFont& font, std::string_view text, int& width, int& height);
// The height of a font.
int GetFontHeight(const QFont& font);
// A line from (x1, y1) to (x2, y2) with the painter's pen.
void DrawLine(QPainter& painter, int x1, int y1, int x2, int y2);

// The folder browser: lets the user choose a folder, starting at initialFolder (a drive path). Returns
// the chosen folder as a drive path ending in "\", or "" when the user cancels or the folder lies on no
// drive.
std::string BrowseForFolder(QWidget* owner, std::string_view title, std::string_view initialFolder);

} // namespace wux::core
