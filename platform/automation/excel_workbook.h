// The spreadsheet stand-in's workbooks: worksheets read from an Office Open XML package (.xlsx, .xlsm)
// or from a comma-separated table (.csv), cell values, displayed texts and formulas, entering constants,
// the candidate search behind Cells.Find, and saving.
//
// Package workbooks keep the package in memory; a constant entered into a cell changes only that cell's
// element (its style is kept; a new text becomes a new shared string, or an inline string when the
// package has no shared-string part); removing a formula drops the calculation chain and asks for a full
// recalculation when the file is next opened; a new text in the header row of a table renames that
// table's column, so the two stay equal. Every part that was not changed is written back as it was.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/package.h"
#include "platform/automation/variant.h"

namespace wux::platform::automation {

class CellPattern;

inline constexpr const char* kExcelSource = "Excel.Application";
inline constexpr std::int32_t kSheetRows = 1048576;
inline constexpr std::int32_t kSheetColumns = 16384;
// Interior.Color of a cell without a fill; Font.UnderLine without underline.
inline constexpr std::int32_t kNoFillColor = 16777215;
inline constexpr std::int32_t kUnderlineNone = -4142;

// Row-major key of a cell (1-based row and column).
constexpr std::uint64_t cellKey(std::int32_t row, std::int32_t column)
{
    return (static_cast<std::uint64_t>(row - 1) << 14) | static_cast<std::uint64_t>(column - 1);
}
constexpr std::int32_t keyRow(std::uint64_t key)
{
    return static_cast<std::int32_t>(key >> 14) + 1;
}
constexpr std::int32_t keyColumn(std::uint64_t key)
{
    return static_cast<std::int32_t>(key & 0x3FFF) + 1;
}

// A cell reference such as "B12" (no "$"); false when malformed or outside the sheet.
bool parseCellRef(std::string_view text, std::int32_t& row, std::int32_t& column);
// "B12" for row 12, column 2.
std::string cellRefText(std::int32_t row, std::int32_t column);

// A rectangle of cells, 1-based and inclusive.
struct CellRect
{
    std::int32_t top = 1;
    std::int32_t left = 1;
    std::int32_t bottom = kSheetRows;
    std::int32_t right = kSheetColumns;
    bool contains(std::int32_t row, std::int32_t column) const
    {
        return row >= top && row <= bottom && column >= left && column <= right;
    }
};

// The font of a cell as the automation members give it (colours are 0x00BBGGRR).
struct CellFont
{
    bool bold = false;
    bool italic = false;
    std::int32_t color = 0;
    double size = 11;
    std::u16string name = u"Calibri";
    std::int32_t underline = kUnderlineNone;
};

// How Cells.Find looks for a candidate.
struct CellSearch
{
    bool formulas = false;  // look in formulas (else in values)
    bool byColumns = false; // column-major order (else row-major)
    bool previous = false;  // backwards (else forwards)
};

class SpreadsheetSheet
{
public:
    virtual ~SpreadsheetSheet() = default;
    SpreadsheetSheet(const SpreadsheetSheet&) = delete;
    SpreadsheetSheet& operator=(const SpreadsheetSheet&) = delete;

    const std::u16string& name() const { return name_; }
    // Sheet protection of the cells (ProtectContents).
    bool protectContents() const { return protected_; }
    // -1 visible, 0 hidden, 2 very hidden.
    int visibility() const { return visibility_; }
    // The keys of the cells the sheet holds, in row-major order.
    const std::vector<std::uint64_t>& cellKeys() const { return keys_; }

    // Value: Empty, BSTR, R8 (numbers and dates), BOOL or an error.
    Variant value(std::int32_t row, std::int32_t column) const;
    // The displayed text (number format applied).
    std::u16string text(std::int32_t row, std::int32_t column) const;
    // The formula ("=..."), or the constant as text.
    std::u16string formula(std::int32_t row, std::int32_t column) const;
    // Enters a constant: a text (a number when it reads as one and the cell held a number), a number,
    // a Boolean, or Empty / "" to clear the cell. Raises when the cell cannot be changed.
    virtual void enterValue(std::int32_t row, std::int32_t column, const Variant& value) = 0;
    virtual std::int32_t interiorColor(std::int32_t row, std::int32_t column) const;
    virtual CellFont font(std::int32_t row, std::int32_t column) const;

    // The next candidate cell after `after` within `rect` whose value (or formula) the pattern matches,
    // wrapping around, `after` itself last; nothing when there is none.
    std::optional<std::uint64_t> find(const CellPattern& pattern, std::uint64_t after, const CellRect& rect,
                                      const CellSearch& how) const;

    // The active cell of the sheet (kept in memory only).
    std::int32_t activeRow = 1;
    std::int32_t activeColumn = 1;

protected:
    SpreadsheetSheet() = default;
    std::optional<std::size_t> indexOf(std::int32_t row, std::int32_t column) const;
    virtual Variant cellValue(std::size_t index) const = 0;
    virtual std::u16string cellText(std::size_t index) const = 0;
    virtual std::u16string cellFormula(std::size_t index) const = 0;

    std::u16string name_;
    bool protected_ = false;
    int visibility_ = -1;
    std::vector<std::uint64_t> keys_;
};

class SpreadsheetDocument
{
public:
    // Reads a workbook at a Windows path: a ".csv" file as a comma-separated table, any other file as a
    // package. Raises AutomationError when the file cannot be read or is not a workbook (legacy binary
    // and encrypted files, damaged packages, malformed parts or cells).
    static std::unique_ptr<SpreadsheetDocument> load(std::string_view windowsPath,
                                                     const PackageLimits& limits = PackageLimits());
    virtual ~SpreadsheetDocument() = default;
    SpreadsheetDocument(const SpreadsheetDocument&) = delete;
    SpreadsheetDocument& operator=(const SpreadsheetDocument&) = delete;

    std::size_t worksheetCount() const { return sheets_.size(); }
    // A worksheet by its 0-based position among the worksheets.
    SpreadsheetSheet& worksheet(std::size_t index) const { return *sheets_[index]; }
    // The worksheet shown when the workbook is opened (0-based), or -1 when that is a chart sheet.
    int initialSheet() const { return initialSheet_; }
    bool isCsv() const { return csv_; }
    // True when the file has a password to modify (the workbook's file sharing reservation): the
    // workbook may be read but must not be written over its file.
    bool writeReserved() const { return writeReserved_; }
    // The number of cell changes so far (0: the workbook is as read).
    virtual std::uint64_t changeCount() const = 0;
    bool changed() const { return changeCount() != 0; }
    // Writes the workbook (a package stays a package, a table a table). Raises AutomationError; the
    // target is then unchanged.
    virtual void save(std::string_view windowsPath) = 0;

protected:
    SpreadsheetDocument() = default;
    std::vector<std::unique_ptr<SpreadsheetSheet>> sheets_;
    int initialSheet_ = 0;
    bool csv_ = false;
    bool writeReserved_ = false;
};

} // namespace wux::platform::automation
