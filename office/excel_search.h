// The spreadsheet search walk of TExcelObject (SearchAndReplace, declared with the object): the
// constants of the application's cell search and the pattern it is asked for.
//
// The application only picks candidate cells (part of a cell, by rows, case by the case flag); the
// wildcard text engine decides the exact hits in each candidate's value and builds its new content.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace wux::office {

// Arguments of Cells.Find.
inline constexpr std::int32_t kLookInValues = -4163;
inline constexpr std::int32_t kLookAtPart = 2;
inline constexpr std::int32_t kSearchByRows = 1;
inline constexpr std::int32_t kSearchNext = 1;
// The longest text the application's search takes.
inline constexpr std::size_t kMaxFindWhatLength = 255;

// The pattern the application searches for: Find, or Find + "*" + Ending when Ending is not empty (a
// lone "~" at the end of Find stays a literal "~" before the star), cut to its first 255 characters
// without leaving half of a "~" escape at the end.
std::u16string excelFindWhat(std::u16string_view Find, std::u16string_view Ending);

} // namespace wux::office
