// Batch tables: the three cell lists (Flags, Finds, Replaces) of the Batch Replacer, the table file
// (".rtbl") they are kept in, the checks of the find and replace cell syntax, and the compiled table
// block that the batch engines read.
//
// Table file: single-byte text, one row per line, lines separated by CR LF, no CR LF after the last
// line. A line is an optional run of "+" (each toggles the row's case flag, starting from not
// case-sensitive; every second "+" of the run also puts one "+" into the find text), the find text and,
// when the replace text is not empty, "=" and the replace text. Inside a line "++" stands for "+", "=="
// for "=", a single "=" separates find from replace; bytes 32-255 stand for themselves. A replace text
// that starts with "=" is written with "#61#" for that first character.
//
// Table block: rows one after the other without alignment, each a 32-byte head followed by the find
// bytes and the replace bytes. Head (little-endian): byte 0 case-sensitive (1/0), bytes 1-3 unused,
// bytes 4-7 find length, 8-11 replace length, 12-15 insert mode, 16-31 work space of the engines. The
// find bytes are the find cell as typed, its plain characters lower-cased (ASCII) when the row is not
// case-sensitive; the replace bytes are the converted replace cell ("#C#", "#FN#", "#FE#", "#FP#" kept).
// The block holds no row count: the count travels beside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/movable_memory.h"

namespace wux::engines {

// One text list of a batch table (one entry per row).
using TableCells = std::vector<std::string>;

// ---- Flag texts ----

// The flag text of a case-sensitive row ("Y" until SetYesNoTexts).
const std::string& YesText();
// The flag text of a row that is not case-sensitive ("N" until SetYesNoTexts).
const std::string& NoText();
// Replaces both flag texts (the Batch Replacer window sets its texts 217 and 218).
void SetYesNoTexts(std::string_view Yes, std::string_view No);

// ---- Table files ----

// Loads a table: names matching "*.xls;*.csv;*.xlsx" through the spreadsheet loader, every other name
// as a table file. On failure the three lists are emptied and the result is false.
bool LoadTable(std::string_view FileName, TableCells& Flags, TableCells& Finds, TableCells& Replaces);
// Loads a table file (".rtbl"); false when it cannot be read, is malformed or holds no row.
bool LoadTableFile(std::string_view FileName, TableCells& Flags, TableCells& Finds, TableCells& Replaces);
// Writes the three lists as a table file. The previous file is replaced only once the new one is
// complete. False when there is no row, a cell holds a byte below 32, or the file cannot be written.
bool SaveTable(std::string_view FileName, const TableCells& Flags, const TableCells& Finds,
               const TableCells& Replaces);

// The rows of a table file's bytes (what LoadTableFile does after reading the file). False, with the
// lists emptied, when the bytes are malformed or hold no row.
bool parseTableFile(std::string_view bytes, TableCells& Flags, TableCells& Finds, TableCells& Replaces);
// The bytes of a table file for the three lists; none when there is no row or a cell holds a byte
// below 32 (which no table file can hold).
std::optional<std::string> serializeTable(const TableCells& Flags, const TableCells& Finds,
                                          const TableCells& Replaces);

// True when the name matches "*.xls;*.csv;*.xlsx" (case-insensitive): a table read from a spreadsheet.
bool isSpreadsheetTableName(std::string_view FileName);

// The spreadsheet source of tables lives in the office layer, which registers its loader here. It fills
// the three lists (flag YesText when the find cell's case option is set, else NoText) and returns true
// once the file was opened.
using SpreadsheetTableLoader = std::function<bool(std::string_view FileName, TableCells& Flags,
                                                  TableCells& Finds, TableCells& Replaces)>;
// Registers (or, with an empty function, removes) the spreadsheet loader.
void setSpreadsheetTableLoader(SpreadsheetTableLoader loader);
// Loads a spreadsheet table through the registered loader; false when none is registered.
bool LoadTableFromSpreadsheet(std::string_view FileName, TableCells& Flags, TableCells& Finds,
                              TableCells& Replaces);

// ---- Cell checks ----

// Insert modes of a replace cell and of a table row.
enum TableInsertMode : std::int32_t
{
    kInsertBefore = 1, // prefix "#U#"
    kInsertAfter = 2,  // prefix "#D#"
    kReplaceMatch = 3, // no prefix
};

// Checks a find cell. Returns -1 when it is valid, else the 0-based position at which the check
// stopped. Length counts the cell's items. When Buffer is given (a copy of the cell, same size) its
// plain characters are lower-cased (ASCII) in place.
std::int32_t CheckFindText(std::string_view Cell, std::int32_t& Length, std::string* Buffer = nullptr);
// Checks a replace cell and, when Destination is given, appends its converted bytes to it. Returns -1
// or the error position (counted in the full cell). Length: the bytes written (items when Destination
// is null). Mode: one of TableInsertMode.
std::int32_t CheckReplaceText(std::string_view Cell, std::int32_t& Length, std::string* Destination,
                              std::int32_t& Mode);

// ---- Compiled table block ----

// The compiled table lives in one movable memory block (platform::MovableHandle; the null handle stands
// for "no block"). Whoever builds a block frees it with platform::movableFree. Its bytes are zero where
// the builder writes nothing (head bytes 1-3, the work space, the spare tail).
using TableBlock = platform::MovableHandle;

inline constexpr std::size_t kTableRowHeadSize = 32;
inline constexpr std::size_t kTableRowCaseOffset = 0;
inline constexpr std::size_t kTableRowFindLengthOffset = 4;
inline constexpr std::size_t kTableRowReplaceLengthOffset = 8;
inline constexpr std::size_t kTableRowInsertModeOffset = 12;
inline constexpr std::size_t kTableRowWorkSpaceOffset = 16;
inline constexpr std::size_t kTableRowWorkSpaceSize = 16;

// The head of one row as it lies in the block (on a little-endian machine; use the load/store helpers
// below to read and write it portably).
struct TableRowHead
{
    std::uint8_t caseSensitive;
    std::uint8_t unused[3];
    std::uint32_t findLength;
    std::uint32_t replaceLength;
    std::uint32_t insertMode;
    std::uint8_t workSpace[kTableRowWorkSpaceSize];
};
static_assert(sizeof(TableRowHead) == kTableRowHeadSize);
static_assert(offsetof(TableRowHead, caseSensitive) == kTableRowCaseOffset);
static_assert(offsetof(TableRowHead, findLength) == kTableRowFindLengthOffset);
static_assert(offsetof(TableRowHead, replaceLength) == kTableRowReplaceLengthOffset);
static_assert(offsetof(TableRowHead, insertMode) == kTableRowInsertModeOffset);
static_assert(offsetof(TableRowHead, workSpace) == kTableRowWorkSpaceOffset);

// Little-endian 32-bit values in a byte block.
inline std::uint32_t loadLe32(const std::uint8_t* p) noexcept
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline void storeLe32(std::uint8_t* p, std::uint32_t value) noexcept
{
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
    p[2] = static_cast<std::uint8_t>(value >> 16);
    p[3] = static_cast<std::uint8_t>(value >> 24);
}

// One row of a block, as the engines read it.
struct TableRow
{
    std::size_t headOffset = 0; // offset of the row's head in the block (its work space follows at +16)
    bool caseSensitive = false;
    std::uint32_t insertMode = 0;
    std::string_view find; // views into the block
    std::string_view replace;
};

// Row Index (from 1) of a locked block's bytes: steps over Index - 1 rows. None when the bytes end
// before the row does.
std::optional<TableRow> tableRowAt(std::span<const std::uint8_t> Bytes, std::int32_t Index);
// A copy of a block's bytes (empty for the null handle).
std::vector<std::uint8_t> tableBlockBytes(TableBlock Block);

// Checks every row (its find cell, then its replace cell) and returns the first bad row (0-based);
// with none, builds the block (the null handle when all cells are empty) and returns -1; Block is the
// null handle whenever no block was built. The three lists must have the same length.
std::int32_t CheckAndBuildTableBlock(TableBlock& Block, const TableCells& Flags, const TableCells& Finds,
                                     const TableCells& Replaces);
// Builds the block without checking; the null handle when a find cell is empty or all cells are empty.
void BuildTableBlock(TableBlock& Block, const TableCells& Flags, const TableCells& Finds,
                     const TableCells& Replaces);
// Writes one row at row position RowIndex + 1 (stepping over RowIndex rows; the block grows when the
// row does not fit) and returns RowIndex + 1, or RowIndex when Find is empty (nothing written).
std::int32_t WriteTableRow(std::string_view Find, std::string_view Replace, TableBlock Block,
                           bool CaseSensitive, std::int32_t RowIndex);

} // namespace wux::engines
