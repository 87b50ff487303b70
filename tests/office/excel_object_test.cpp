#include "office/excel_object.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/automation/excel_server.h"
#include "platform/text.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"
#include "workbooks.h"

namespace wux::office {
namespace {

namespace automation = platform::automation;
using automation::asDispatch;
using automation::Variant;
using engines::CellFormat;
using test::boolCell;
using test::errorCell;
using test::formulaCell;
using test::inlineCell;
using test::numberCell;
using test::row;
using test::sharedCell;

class ExcelObjectTest : public wux::test::TempDriveTest
{
protected:
    std::string writeBook(const std::string& name, const test::BookSpec& book)
    {
        wux::test::createFile(path(name), test::buildBook(book));
        return path(name);
    }

    // One sheet holding the rows.
    std::string writeRows(const std::string& name, const std::string& data,
                          const std::vector<std::string>& strings = {})
    {
        test::BookSpec book;
        book.strings = strings;
        book.sheets = {test::sheet("Table", data)};
        return writeBook(name, book);
    }

    struct Row
    {
        std::string find, replace;
        CellFormat findFormat, replaceFormat;
    };

    // Every row until the table ends.
    std::vector<Row> readAll(TExcelObject& table)
    {
        std::vector<Row> rows;
        table.First();
        Row r;
        std::u16string find, replace;
        while (table.ReadRow(find, replace, r.findFormat, r.replaceFormat)) {
            r.find = platform::utf16ToUtf8(find);
            r.replace = platform::utf16ToUtf8(replace);
            rows.push_back(r);
        }
        return rows;
    }
};

TEST_F(ExcelObjectTest, ConnectsHiddenWithoutAlertsAndQuitsWhenFreed)
{
    const std::size_t objectsBefore = automation::liveObjectCount();
    {
        TExcelObject table;
        ASSERT_TRUE(table.applicationPresent());
        EXPECT_EQ(table.replaceMode(), 1);
        EXPECT_EQ(table.currentRow(), 1);
        const auto app = table.applicationObject();
        EXPECT_FALSE(automation::toBool(app->get("DisplayAlerts")));
        EXPECT_FALSE(automation::toBool(app->get("AskToUpdateLinks")));
        table.SetVisible(true);
        EXPECT_TRUE(table.GetVisible());
        table.SetVisible(false);
        EXPECT_FALSE(table.GetVisible());
        EXPECT_EQ(table.WorkbookCount(), 0);
        // Nothing is held: close and save do nothing.
        EXPECT_NO_THROW(table.Close());
        EXPECT_NO_THROW(table.SaveCopyAs(path("never.xlsx")));
        EXPECT_FALSE(wux::test::exists(path("never.xlsx")));
    }
    EXPECT_EQ(automation::liveObjectCount(), objectsBefore);
}

TEST_F(ExcelObjectTest, WithoutTheApplicationNothingIsConnected)
{
    automation::ScopedClassRestore restore;
    for (int way = 0; way < 2; ++way) {
        SCOPED_TRACE(way);
        if (way == 0)
            automation::unregisterClass(automation::kExcelApplicationProgId);
        else
            automation::failClassCreation(automation::kExcelApplicationProgId,
                                          automation::kErrorServerUnavailable);
        TExcelObject table;
        EXPECT_FALSE(table.applicationPresent());
        EXPECT_EQ(table.applicationObject(), nullptr);
        EXPECT_THROW(table.Open(path("x.xlsx")), std::runtime_error);
        EXPECT_THROW(table.GetVisible(), std::runtime_error);
        EXPECT_NO_THROW(table.Close());
        automation::restoreClasses();
    }
}

TEST_F(ExcelObjectTest, OpenMakesANewWorkbookAndReadingNeverChangesTheFile)
{
    const std::string file =
        writeRows("t.xlsx", row(1, sharedCell("A1", 0) + sharedCell("B1", 1)), {"abc", "xyz"});
    const std::string bytes = wux::test::readFileBytes(file);
    TExcelObject table;
    table.Open(file);
    EXPECT_TRUE(table.hasWorkbook());
    EXPECT_EQ(table.WorkbookCount(), 1);
    // A second open replaces the workbook in hand.
    table.Open(file);
    EXPECT_EQ(table.WorkbookCount(), 1);
    EXPECT_EQ(readAll(table).size(), 1u);
    table.Close();
    EXPECT_FALSE(table.hasWorkbook());
    EXPECT_EQ(table.WorkbookCount(), 0);
    EXPECT_EQ(wux::test::readFileBytes(file), bytes);
    EXPECT_EQ(wux::test::listNames(drive.root()), (std::vector<std::string>{"t.xlsx"}));
}

TEST_F(ExcelObjectTest, FilesTheApplicationCannotReadRaiseAtOpen)
{
    const std::string legacy = path("old.xls");
    wux::test::createFile(legacy, std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "legacy");
    const std::string bytes = wux::test::readFileBytes(legacy);
    TExcelObject table;
    EXPECT_THROW(table.Open(legacy), automation::AutomationError);
    EXPECT_FALSE(table.hasWorkbook());
    EXPECT_EQ(table.WorkbookCount(), 0);
    EXPECT_THROW(table.Open(path("missing.xlsx")), automation::AutomationError);
    EXPECT_EQ(wux::test::readFileBytes(legacy), bytes);
}

TEST_F(ExcelObjectTest, SaveCopyAsWritesTheCopyAndClosesTheWorkbook)
{
    const std::string file = writeRows("s.xlsx", row(1, sharedCell("A1", 0)), {"abc"});
    const std::string bytes = wux::test::readFileBytes(file);
    TExcelObject table;
    table.Open(file);
    asDispatch(asDispatch(table.applicationObject()->get("Cells"))->get("Item", {Variant(1), Variant(2)}))
        ->put("FormulaR1C1", Variant(u"new"));
    table.SaveCopyAs(path("copy.xlsx"));
    EXPECT_FALSE(table.hasWorkbook());
    EXPECT_EQ(table.WorkbookCount(), 0);
    EXPECT_EQ(wux::test::readFileBytes(file), bytes);
    test::BookReader copy(path("copy.xlsx"));
    EXPECT_EQ(copy.value(1, 1, 1), "abc");
    EXPECT_EQ(copy.value(1, 1, 2), "new");
}

TEST_F(ExcelObjectTest, ReleaseWithoutQuittingLeavesTheWorkbooksOpen)
{
    const std::string file = writeRows("r.xlsx", row(1, sharedCell("A1", 0)), {"abc"});
    TExcelObject table;
    table.Open(file);
    const auto first = table.applicationObject();
    table.ReleaseExcel(false);
    EXPECT_FALSE(table.applicationPresent());
    EXPECT_FALSE(table.hasWorkbook());
    EXPECT_EQ(table.applicationObject(), nullptr);
    EXPECT_EQ(automation::toInt32(asDispatch(first->get("Workbooks"))->get("Count")), 1);
    table.ConnectExcel();
    ASSERT_TRUE(table.applicationPresent());
    EXPECT_NE(table.applicationObject(), first);
    EXPECT_EQ(table.WorkbookCount(), 0);
    // Released with quitting: the held workbook is closed and the application quits.
    table.Open(file);
    const auto second = table.applicationObject();
    table.ReleaseExcel(true);
    EXPECT_THROW(second->get("Workbooks"), automation::AutomationError);
    // An application that still holds a workbook is not quit.
    table.ConnectExcel();
    table.Open(file);
    const auto third = table.applicationObject();
    const auto users = asDispatch(third->get("Workbooks"));
    users->call("Add", {Variant::fromUtf8(file)});
    table.ReleaseExcel(true);
    EXPECT_EQ(automation::toInt32(users->get("Count")), 1);
}

// The type rules of a row's three cells and the option letters.
TEST_F(ExcelObjectTest, RowsTakeTextsAndDisplayedNumbersUntilACellEndsTheTable)
{
    const std::vector<std::string> strings = {"abc", "xyz", "C", "c-w", "-x C", "Find", "rep", "C-C"};
    const std::string data =
        row(1, sharedCell("A1", 0) + sharedCell("B1", 1) + sharedCell("C1", 2)) +
        row(2,
            numberCell("A2", "12.5", test::kStyleTwoDecimals) + numberCell("B2", "3") + sharedCell("C2", 3)) +
        row(3, inlineCell("A3", "inl") + numberCell("C3", "5")) +
        row(4, numberCell("A4", "45306", test::kStyleDate) +
                   formulaCell("B4", "A1&amp;\"x\"", "Hellox", "str") + sharedCell("C4", 4)) +
        row(5, formulaCell("A5", "A2*2", "25", "", test::kStyleTwoDecimals) +
                   numberCell("B5", "12.5", test::kStyleThousands) + inlineCell("C5", "CWD")) +
        row(6, sharedCell("A6", 5, test::kStyleRedBold) + sharedCell("B6", 6) + sharedCell("C6", 7)) +
        row(7, inlineCell("A7", "x") + boolCell("B7", true)) + row(8, inlineCell("A8", "after the end"));
    const std::string file = writeRows("rows.xlsx", data, strings);
    TExcelObject table;
    table.Open(file);
    const std::vector<Row> rows = readAll(table);
    struct Expect
    {
        const char* find;
        const char* replace;
        std::int32_t caseOption, wholeWord, optionD;
    };
    const Expect expects[] = {
        {"abc", "xyz", 1, -1, -1},          {"12.50", "3", 1, 0, -1},     {"inl", "", -1, -1, -1},
        {"1/15/2024", "Hellox", 1, -1, -1}, {"25.00", "12.500", 1, 1, 1}, {"Find", "rep", 0, -1, -1},
    };
    ASSERT_EQ(rows.size(), std::size(expects));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(rows[i].find, expects[i].find);
        EXPECT_EQ(rows[i].replace, expects[i].replace);
        EXPECT_EQ(rows[i].findFormat.caseSensitive, expects[i].caseOption);
        EXPECT_EQ(rows[i].findFormat.wholeWord, expects[i].wholeWord);
        EXPECT_EQ(rows[i].findFormat.optionD, expects[i].optionD);
        // The replace cell's format carries no options.
        EXPECT_EQ(rows[i].replaceFormat.caseSensitive, -1);
    }
    // Row 7 ends the table at its replace cell (a Boolean); the row is not advanced.
    EXPECT_EQ(table.currentRow(), 7);
    EXPECT_EQ(table.step(), kStepFindAccepted);

    // The formats of row 6: red bold italic underlined Arial 14 on yellow, and the default font.
    const CellFormat& red = rows[5].findFormat;
    EXPECT_EQ(red.interiorColor, 0x00FFFF);
    EXPECT_EQ(red.bold, -1);
    EXPECT_EQ(red.italic, -1);
    EXPECT_EQ(red.fontColor, 0x0000FF);
    EXPECT_EQ(red.size, 14.0);
    EXPECT_EQ(red.fontName, u"Arial");
    EXPECT_EQ(red.underline, 2);
    const CellFormat& plain = rows[5].replaceFormat;
    EXPECT_EQ(plain.interiorColor, 16777215);
    EXPECT_EQ(plain.bold, 0);
    EXPECT_EQ(plain.italic, 0);
    EXPECT_EQ(plain.fontColor, 0);
    EXPECT_EQ(plain.size, 11.0);
    EXPECT_EQ(plain.fontName, u"Calibri");
    EXPECT_EQ(plain.underline, -4142);
}

TEST_F(ExcelObjectTest, FindCellsThatEndTheTable)
{
    const struct
    {
        const char* name;
        std::string firstCell; // the find cell of row 2
    } cases[] = {
        {"empty", ""},
        {"Boolean", boolCell("A2", false)},
        {"error", errorCell("A2", "#N/A")},
        {"formula without a value", "<c r=\"A2\"><f>NOW()</f></c>"},
        {"Boolean formula", formulaCell("A2", "1=1", "1", "b")},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file =
            writeRows("end" + std::to_string(n++) + ".xlsx",
                      row(1, inlineCell("A1", "first") + inlineCell("B1", "1st")) +
                          row(2, c.firstCell + inlineCell("B2", "lost")) + row(3, inlineCell("A3", "never")));
        TExcelObject table;
        table.Open(file);
        std::u16string find = u"kept", replace = u"kept";
        CellFormat format, replaceFormat;
        ASSERT_TRUE(table.ReadRow(find, replace, format, replaceFormat));
        EXPECT_EQ(find, u"first");
        EXPECT_EQ(replace, u"1st");
        EXPECT_EQ(table.step(), kStepFindConverted);
        EXPECT_FALSE(table.ReadRow(find, replace, format, replaceFormat));
        // Nothing else is changed.
        EXPECT_EQ(find, u"first");
        EXPECT_EQ(replace, u"1st");
        EXPECT_EQ(table.currentRow(), 2);
        EXPECT_EQ(table.step(), kStepValuesRead);
    }
    // A table whose first find cell is empty gives no rows.
    const std::string empty =
        writeRows("none.xlsx", row(1, inlineCell("B1", "r")) + row(2, inlineCell("A2", "x")));
    TExcelObject table;
    table.Open(empty);
    EXPECT_TRUE(readAll(table).empty());
    EXPECT_EQ(table.currentRow(), 1);
}

TEST_F(ExcelObjectTest, ReadCellHandsBackTheCurrentRowAndTheFirstCell)
{
    const std::string file =
        writeRows("cell.xlsx",
                  row(1, inlineCell("A1", "a")) +
                      row(2, sharedCell("A2", 0, test::kStyleRedBold) + inlineCell("B2", "b")),
                  {"two"});
    TExcelObject table;
    table.Open(file);
    std::u16string find, replace;
    CellFormat f, r;
    ASSERT_TRUE(table.ReadRow(find, replace, f, r));
    std::int32_t rowNumber = 0, status = 0;
    table.ReadCell(rowNumber, status);
    EXPECT_EQ(rowNumber, 2);
    EXPECT_EQ(status, 2);
    EXPECT_EQ(table.currentRow(), 2);
    EXPECT_EQ(table.cellValue().text(), u"two");
    EXPECT_EQ(table.cellFormat().bold, -1);
    EXPECT_EQ(table.cellFormat().fontName, u"Arial");
}

} // namespace
} // namespace wux::office
