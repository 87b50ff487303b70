// The spreadsheet stand-in's displayed text of a cell: a small number-format engine.
//
// Supported: General, digit placeholders 0 # ?, decimal point, thousands separator and scaling commas,
// percent, scientific notation (E+ E-), literal texts ("...", \x, $ - + ( ) : and blanks), _x spacing,
// *x fill (dropped), colour and locale tags (dropped; a currency tag [$€-407] shows its symbol), up to
// four sections (positive; negative; zero; text), the text placeholder @, and the date and time tokens
// y m d h s with AM/PM, fractions of seconds and elapsed [h] [m] [s]. Conditions and fractions are not
// supported: such a format shows the value as General. Nothing is ever shown as "####" (there is no
// column width); a date outside the calendar is shown as General.
#pragma once

#include <string>
#include <string_view>

namespace wux::platform::automation {

// The format code of a built-in number format id ("" = General, also for unknown ids).
std::u16string builtInNumberFormat(int id);

// A number shown through a format code. date1904: the workbook counts days from 1904-01-01.
std::u16string formatNumberText(double value, std::u16string_view formatCode, bool date1904 = false);

// A text shown through a format code (its text section, or "@"; otherwise the text itself).
std::u16string formatStringText(std::u16string_view text, std::u16string_view formatCode);

// General: at most 15 significant digits, "." as the decimal point, exponent form where needed.
std::u16string generalNumberText(double value);

} // namespace wux::platform::automation
