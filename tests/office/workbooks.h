// Small workbooks for the spreadsheet tests, written the way spreadsheet programs write them, and a
// reader that opens a saved file again through the spreadsheet server.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/automation/dispatch.h"
#include "support/packages.h"

namespace wux::office::test {

using SheetSpec = wux::test::XlsxSheet;

// A workbook whose shared strings are plain (escaped) texts.
struct BookSpec
{
    std::vector<SheetSpec> sheets;
    std::vector<std::string> strings; // text of each shared string (escaped XML)
    int activeTab = 0;
    bool calcChain = false;
};

using wux::test::boolCell;
using wux::test::errorCell;
using wux::test::formulaCell;
using wux::test::inlineCell;
using wux::test::kSheetProtection;
using wux::test::kStyleDate;
using wux::test::kStyleGeneral;
using wux::test::kStyleRedBold;
using wux::test::kStyleThousands;
using wux::test::kStyleTwoDecimals;
using wux::test::numberCell;
using wux::test::row;
using wux::test::sharedCell;
using wux::test::sheet;

// The zip bytes of a workbook.
std::string buildBook(const BookSpec& book);

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
