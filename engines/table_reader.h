// The abstract source of find/replace rows kept in another program's document (a spreadsheet opened
// through its automation server), walked row by row, and the parsing of a row's option letters.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace wux::engines {

// Option value of a table row: not given, off or on.
inline constexpr std::int32_t kOptionNotGiven = -1;
inline constexpr std::int32_t kOptionOff = 0;
inline constexpr std::int32_t kOptionOn = 1;

// The format and options of one cell read as a batch-table row.
struct CellFormat
{
    std::int32_t interiorColor = 0;
    std::int32_t bold = 0;
    std::int32_t italic = 0;
    std::int32_t fontColor = 0;
    double size = 0.0;
    std::u16string fontName;
    std::int32_t underline = 0;
    // The row's option letters (ParseSearchOptions): kOptionNotGiven, kOptionOff or kOptionOn.
    std::int32_t caseSensitive = kOptionNotGiven;
    std::int32_t wholeWord = kOptionNotGiven;
    std::int32_t optionD = kOptionNotGiven;
};

// A table of rows in a document of another program. The base keeps the row cursor; a subclass (the
// spreadsheet wrapper of the office layer) supplies the document access.
class TAbstractTable
{
public:
    TAbstractTable() = default;
    virtual ~TAbstractTable() = default;
    TAbstractTable(const TAbstractTable&) = delete;
    TAbstractTable& operator=(const TAbstractTable&) = delete;

    // Whether the server's window is visible.
    virtual bool GetVisible() = 0;
    // Shows or hides the server's window.
    virtual void SetVisible(bool Value) = 0;
    // Opens the document that holds the table.
    virtual void Open(const std::string& FileName) = 0;
    // Closes the document.
    virtual void Close() = 0;
    // Goes back to the first row.
    virtual void First();
    // Reads the current row (find text, replace text, their formats and the row's option letters into
    // FindFormat) and moves on; false when the table has ended.
    virtual bool ReadRow(std::u16string& Find, std::u16string& Replace, CellFormat& FindFormat,
                         CellFormat& ReplaceFormat) = 0;
    // Reads one cell of the current row; hands back the current row and a status value.
    virtual void ReadCell(std::int32_t& Row, std::int32_t& Status) = 0;

    // Sets the three option fields of Format from a row's option text: "C" case-sensitive, "W" whole
    // word, "D" the D option (either case); a "-" makes the next character clear its option; the last
    // occurrence of a letter wins; other characters are ignored.
    static void ParseSearchOptions(CellFormat& Format, std::u16string_view Options);

    // 1-based number of the row to read next.
    std::int32_t currentRow() const { return currentRow_; }
    // Whether the automation server could be reached; callers test it before using the table.
    bool applicationPresent() const { return applicationPresent_; }
    // The step the subclass is in (60-68 while it reads a row), for its error handling.
    std::int32_t step() const { return step_; }

protected:
    std::int32_t currentRow_ = 1;
    bool applicationPresent_ = false;
    std::int32_t step_ = 0;
};

} // namespace wux::engines
