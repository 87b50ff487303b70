// Comma-separated tables for the spreadsheet stand-in: every field is a text (no type guessing), an
// empty field is an empty cell.
//
// Reading: UTF-8 with or without a byte-order mark when the bytes are valid UTF-8, otherwise the 8-bit
// Windows code page (1252); the separator is ";" when the first line has ";" and no ",", else ",";
// quoted fields with doubled quotes, which may span lines; CR LF, LF or CR line ends. Writing keeps
// every record that was not changed byte for byte; a changed record is written again with the file's
// separator, encoding and that record's line end, quoting the fields that were quoted or need it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace wux::platform::automation {

enum class CsvEncoding
{
    kUtf8,
    kUtf8Bom,
    kWindows1252,
};

struct CsvRecord
{
    std::string raw;     // the record's source bytes with its line end (written again when not dirty)
    std::string lineEnd; // "\r\n", "\n", "\r" or "" (a last record without one)
    std::vector<std::u16string> fields;
    std::vector<bool> quoted;
    bool dirty = false;
};

struct CsvTable
{
    CsvEncoding encoding = CsvEncoding::kUtf8;
    char separator = ',';
    std::string defaultLineEnd = "\r\n";
    std::vector<CsvRecord> records;

    // Sets a field (0-based), adding empty records and fields as needed.
    void setField(std::size_t row, std::size_t column, std::u16string text);
};

// Parses a table. Raises AutomationError when it has more than 1,048,576 rows or 16,384 columns.
CsvTable parseCsv(std::string_view bytes);
// The bytes of a table. Raises AutomationError when a text cannot be written in the table's encoding.
std::string writeCsv(const CsvTable& table);

} // namespace wux::platform::automation
