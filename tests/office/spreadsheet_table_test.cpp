#include "office/spreadsheet_table.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engines/batch_table.h"
#include "office_test_support.h"
#include "platform/automation/excel_server.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"
#include "workbooks.h"

namespace wux::office {
namespace {

namespace automation = platform::automation;
using automation::Args;
using automation::Dispatch;
using automation::Variant;
using engines::TableCells;
using test::boolCell;
using test::formulaCell;
using test::inlineCell;
using test::numberCell;
using test::row;
using test::sharedCell;

// A spreadsheet application whose second row cannot be read (a scripted stand-in; the cells carry their
// row and column), counting the workbooks it holds.
std::shared_ptr<Dispatch> applicationWithAnUnreadableRow(const std::shared_ptr<int>& books)
{
    using Access = test::ScriptedObject::Access;
    auto answer = [books](test::ScriptedObject& self, Access access, const std::string& member,
                          const Args& a) -> Variant {
        if (access == Access::kPut)
            return {};
        if (member == "Add")
            ++*books;
        if (member == "Close")
            --*books;
        if (member == "Count")
            return Variant(*books);
        if (member == "Item")
            return self.child("Cell", a.int32(0), a.int32(1));
        if (member == "Value") {
            if (self.index == 2)
                throw automation::AutomationError(automation::kErrorFail, "Fake", "unreadable row");
            return self.second == 3 ? Variant() : Variant(self.second == 1 ? u"find" : u"replace");
        }
        const std::pair<const char*, Variant> styles[] = {
            {"Color", Variant(0)},   {"Bold", Variant(false)},    {"Italic", Variant(false)},
            {"Size", Variant(10.0)}, {"Name", Variant(u"Arial")}, {"UnderLine", Variant(-4142)}};
        for (const auto& [name, value] : styles)
            if (member == name)
                return value;
        return member == "Quit" || member == "Close" ? Variant() : self.child(member);
    };
    return std::make_shared<test::ScriptedObject>(
        "Application", std::make_shared<const test::ScriptedObject::Answer>(std::move(answer)));
}

class SpreadsheetTableTest : public wux::test::TempDriveTest
{
protected:
    void SetUp() override { registerSpreadsheetTableLoader(); }
    void TearDown() override { engines::setSpreadsheetTableLoader(nullptr); }

    struct Table
    {
        bool ok = false;
        TableCells flags, finds, replaces;
    };

    Table load(const std::string& windowsPath)
    {
        Table t;
        t.flags = {"stale"};
        t.finds = {"stale"};
        t.replaces = {"stale"};
        t.ok = engines::LoadTable(windowsPath, t.flags, t.finds, t.replaces);
        return t;
    }

    std::string writeCsv(const std::string& name, const std::string& bytes)
    {
        wux::test::createFile(path(name), bytes);
        return path(name);
    }
};

TEST_F(SpreadsheetTableTest, RowsOfAWorkbookWithTheirCaseOption)
{
    test::BookSpec book;
    book.strings = {"caf\xC3\xA9", "na\xC3\xAFve", "C", "-c", "cw"};
    book.sheets = {
        test::sheet("Other", row(1, inlineCell("A1", "not the active sheet"))),
        test::sheet("Table",
                    row(1, sharedCell("A1", 0) + sharedCell("B1", 1) + sharedCell("C1", 2)) +
                        row(2, numberCell("A2", "12.5", test::kStyleTwoDecimals) + numberCell("B2", "0.5") +
                                   sharedCell("C2", 3)) +
                        row(3, inlineCell("A3", "#x41#") + inlineCell("C3", "W")) +
                        row(4, formulaCell("A4", "\"a\"&amp;\"b\"", "ab", "str") +
                                   numberCell("B4", "45306", test::kStyleDate) + sharedCell("C4", 4)) +
                        row(5, inlineCell("A5", "x") + numberCell("C5", "1")) +
                        row(6, boolCell("A6", true) + inlineCell("B6", "ends here")) +
                        row(7, inlineCell("A7", "never read"))),
    };
    book.activeTab = 1;
    wux::test::createFile(path("table.xlsx"), test::buildBook(book));
    const std::string bytes = wux::test::readFileBytes(path("table.xlsx"));
    const std::size_t objectsBefore = automation::liveObjectCount();
    const Table t = load(path("table.xlsx"));
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(t.flags, (TableCells{"Y", "N", "N", "Y", "N"}));
    EXPECT_EQ(t.finds, (TableCells{"caf\xC3\xA9", "12.50", "#x41#", "ab", "x"}));
    EXPECT_EQ(t.replaces, (TableCells{"na\xC3\xAFve", "0.5", "", "1/15/2024", ""}));
    // Reading leaves the file as it was and every automation object released.
    EXPECT_EQ(wux::test::readFileBytes(path("table.xlsx")), bytes);
    EXPECT_EQ(automation::liveObjectCount(), objectsBefore);
    EXPECT_EQ(wux::test::listNames(drive.root()), (std::vector<std::string>{"table.xlsx"}));

    // The flag texts are the current ones.
    engines::SetYesNoTexts("Sensitive", "Insensitive");
    const Table named = load(path("table.xlsx"));
    engines::SetYesNoTexts("Y", "N");
    EXPECT_EQ(named.flags.front(), "Sensitive");
    EXPECT_EQ(named.flags.back(), "Insensitive");
}

TEST_F(SpreadsheetTableTest, ATableWhoseFirstFindCellIsEmptyLoadsWithoutRows)
{
    test::BookSpec book;
    book.sheets = {test::sheet("S", row(1, inlineCell("B1", "r")) + row(2, inlineCell("A2", "x")))};
    wux::test::createFile(path("empty.xlsx"), test::buildBook(book));
    const Table t = load(path("empty.xlsx"));
    EXPECT_TRUE(t.ok);
    EXPECT_TRUE(t.flags.empty());
    EXPECT_TRUE(t.finds.empty());
    EXPECT_TRUE(t.replaces.empty());
}

TEST_F(SpreadsheetTableTest, CsvFieldsAreTextsWithQuotingSeparatorsAndEncodings)
{
    const struct
    {
        const char* name;
        std::string bytes;
        TableCells flags, finds, replaces;
    } cases[] = {
        {"quoted",
         "\"a,b\",x,C\n\"say \"\"hi\"\"\",\"two\nlines\",\n007,008,-c\n,after an empty find\nnever,read\n",
         {"Y", "N", "N"},
         {"a,b", "say \"hi\"", "007"},
         {"x", "two\nlines", "008"}},
        {"semicolons", "a;b;c\r\nx;1,5\r\n", {"Y", "N"}, {"a", "x"}, {"b", "1,5"}},
        {"byte-order mark",
         "\xEF\xBB\xBF"
         "caf\xC3\xA9,\xE2\x82\xAC\r\n",
         {"N"},
         {"caf\xC3\xA9"},
         {"\xE2\x82\xAC"}},
        {"code page",
         "caf\xE9,\x80uro\r\n",
         {"N"},
         {"caf\xC3\xA9"},
         {"\xE2\x82\xAC"
          "uro"}},
        {"CR line ends", "a,1\rb,2\r", {"N", "N"}, {"a", "b"}, {"1", "2"}},
        {"numbers stay texts", "1.50,2E3,c\n", {"Y"}, {"1.50"}, {"2E3"}},
        {"as a spreadsheet program writes it",
         wux::test::buildCsv({{"semi;colon", "a \"quote\"", "C"}, {"line\nbreak", "", ""}, {"x", "y,z"}}),
         {"Y", "N", "N"},
         {"semi;colon", "line\nbreak", "x"},
         {"a \"quote\"", "", "y,z"}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = writeCsv("t" + std::to_string(n++) + ".csv", c.bytes);
        const Table t = load(file);
        ASSERT_TRUE(t.ok);
        EXPECT_EQ(t.flags, c.flags);
        EXPECT_EQ(t.finds, c.finds);
        EXPECT_EQ(t.replaces, c.replaces);
        EXPECT_EQ(wux::test::readFileBytes(file), c.bytes);
    }
}

TEST_F(SpreadsheetTableTest, FailuresEmptyTheListsAndChangeNothing)
{
    const std::string legacy = path("old.xls");
    wux::test::createFile(legacy, std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "legacy");
    const std::string legacyBytes = wux::test::readFileBytes(legacy);
    wux::test::createFile(path("damaged.xlsx"), "PK\x03\x04 broken");
    const std::size_t objectsBefore = automation::liveObjectCount();
    for (const std::string& file :
         {legacy, path("damaged.xlsx"), path("missing.xlsx"), path("missing.csv")}) {
        SCOPED_TRACE(file);
        const Table t = load(file);
        EXPECT_FALSE(t.ok);
        EXPECT_TRUE(t.flags.empty());
        EXPECT_TRUE(t.finds.empty());
        EXPECT_TRUE(t.replaces.empty());
    }
    EXPECT_EQ(automation::liveObjectCount(), objectsBefore);
    EXPECT_EQ(wux::test::readFileBytes(legacy), legacyBytes);
    EXPECT_EQ(wux::test::listNames(drive.root()), (std::vector<std::string>{"damaged.xlsx", "old.xls"}));
}

TEST_F(SpreadsheetTableTest, WithoutTheApplicationOrTheLoaderNothingLoads)
{
    const std::string file = writeCsv("t.csv", "a,b\n");
    {
        automation::ScopedClassRestore restore;
        automation::unregisterClass(automation::kExcelApplicationProgId);
        const Table t = load(file);
        EXPECT_FALSE(t.ok);
        EXPECT_TRUE(t.finds.empty());
        EXPECT_EQ(OpenTableSpreadsheet(file), nullptr);
    }
    engines::setSpreadsheetTableLoader(nullptr);
    EXPECT_FALSE(load(file).ok);
    registerSpreadsheetTableLoader();
    EXPECT_TRUE(load(file).ok);
}

TEST_F(SpreadsheetTableTest, ARowThatCannotBeReadFailsTheWholeTable)
{
    automation::ScopedClassRestore restore;
    auto books = std::make_shared<int>(0);
    automation::registerClass(std::string(automation::kExcelApplicationProgId),
                              [books] { return applicationWithAnUnreadableRow(books); });
    const std::string file = writeCsv("fake.csv", "find,replace\nfind,replace\n");
    // The first row alone reads well.
    auto table = OpenTableSpreadsheet(file);
    ASSERT_NE(table, nullptr);
    std::u16string find, replace;
    engines::CellFormat f, r;
    ASSERT_TRUE(table->ReadRow(find, replace, f, r));
    EXPECT_EQ(find, u"find");
    EXPECT_THROW(table->ReadRow(find, replace, f, r), automation::AutomationError);
    EXPECT_EQ(table->step(), kStepRowBegun);
    CloseTableSpreadsheet(table);
    EXPECT_EQ(table, nullptr);
    EXPECT_EQ(*books, 0);

    const Table t = load(file);
    EXPECT_FALSE(t.ok);
    EXPECT_TRUE(t.flags.empty());
    EXPECT_TRUE(t.finds.empty());
    EXPECT_TRUE(t.replaces.empty());
    EXPECT_EQ(*books, 0); // the workbook was closed all the same
}

} // namespace
} // namespace wux::office
