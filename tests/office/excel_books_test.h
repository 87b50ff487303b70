// Small workbooks for the spreadsheet tests, written the way spreadsheet programs write them, and a
// reader that opens a saved file again through the spreadsheet server.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/automation/dispatch.h"

namespace wux::office::test {

struct SheetSpec
{
    std::string name;
    std::string data;  // inner XML of sheetData
    std::string after; // elements after sheetData (sheetProtection, ...)
    std::string activeCell = "A1";
};

struct BookSpec
{
    std::vector<SheetSpec> sheets;
    std::vector<std::string> strings; // text of each shared string (escaped XML)
    int activeTab = 0;
    bool calcChain = false;
};

// Cell styles of every built workbook (the s attribute):
//   0 General; 1 "0.00"; 2 a date (m/d/yyyy); 3 "#,##0.000";
//   4 bold, italic, underlined Arial 14 in red on a yellow fill.
inline constexpr int kStyleGeneral = 0;
inline constexpr int kStyleTwoDecimals = 1;
inline constexpr int kStyleDate = 2;
inline constexpr int kStyleThousands = 3;
inline constexpr int kStyleRedBold = 4;

// A sheet in one call.
SheetSpec sheet(const std::string& name, const std::string& data, const std::string& after = "",
                const std::string& activeCell = "A1");
// The protection element of a protected sheet (for SheetSpec::after).
inline constexpr const char* kSheetProtection =
    "<sheetProtection sheet=\"1\" objects=\"1\" scenarios=\"1\"/>";

// The zip bytes of a workbook.
std::string buildBook(const BookSpec& book);

// Cell XML helpers ("A1"-style references).
std::string sharedCell(const std::string& ref, int index, int style = 0);
std::string inlineCell(const std::string& ref, const std::string& text);
std::string numberCell(const std::string& ref, const std::string& value, int style = 0);
std::string boolCell(const std::string& ref, bool value);
std::string errorCell(const std::string& ref, const std::string& error);
// A formula with its cached value: t "" (number), "str", "b" or "e".
std::string formulaCell(const std::string& ref, const std::string& formula, const std::string& cached,
                        const std::string& type = "", int style = 0);
std::string row(int number, const std::string& cells);

// A workbook opened again (as a new workbook from the file) through its own application.
class BookReader
{
public:
    explicit BookReader(const std::string& windowsPath);
    ~BookReader();
    BookReader(const BookReader&) = delete;
    BookReader& operator=(const BookReader&) = delete;

    std::int32_t sheetCount() const;
    // Value as text ("" for Empty; "#ERR" for an error value), its type, Text and FormulaR1C1.
    std::string value(int sheet, int row, int column) const;
    platform::automation::VarType type(int sheet, int row, int column) const;
    std::string text(int sheet, int row, int column) const;
    std::string formula(int sheet, int row, int column) const;

private:
    platform::automation::DispatchRef cell(int sheet, int row, int column) const;
    platform::automation::DispatchRef app_;
    platform::automation::DispatchRef book_;
};

} // namespace wux::office::test
