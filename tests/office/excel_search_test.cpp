#include "office/excel_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engines/base_replacer.h"
#include "office/document_replacer.h"
#include "office/excel_object.h"
#include "office_test_support.h"
#include "platform/text.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"
#include "workbooks.h"

namespace wux::office {
namespace {

namespace automation = platform::automation;
using automation::asDispatch;
using automation::Variant;
using automation::VarType;
using test::formulaCell;
using test::inlineCell;
using test::numberCell;
using test::row;
using test::sharedCell;

TEST(ExcelFindWhat, PatternOfTheApplicationsSearch)
{
    const std::u16string x254(254, u'x');
    const struct
    {
        std::u16string find, ending, what;
    } cases[] = {
        {u"cat", u"", u"cat"},
        {u"[", u"]", u"[*]"},
        {u"ab", u"cd", u"ab*cd"},
        {u"a~", u"b", u"a~~*b"},  // a lone "~" stays a literal before the star
        {u"a~~", u"b", u"a~~*b"}, // an escaped "~" needs nothing
        {u"a~?", u"b", u"a~?*b"},
        {std::u16string(300, u'y'), u"", std::u16string(255, u'y')},
        {std::u16string(200, u'y'), std::u16string(100, u'z'),
         std::u16string(200, u'y') + u"*" + std::u16string(54, u'z')},
        {x254 + u"~*tail", u"", x254}, // an escape is not cut in half
        {x254 + u"a~*", u"", x254 + u"a"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(excelFindWhat(c.find, c.ending), c.what) << platform::utf16ToUtf8(c.find);
}

class ExcelSearchTest : public wux::test::TempDriveTest
{
protected:
    // Sheet 1 protected, sheet 2 every kind of cell, sheet 3 active (cell B2).
    std::string writeMainBook(const std::string& name)
    {
        test::BookSpec book;
        book.strings = {"cat", "Cat and cat"};
        book.sheets = {
            test::sheet("Locked", row(1, sharedCell("A1", 0)), test::kSheetProtection),
            test::sheet("Data",
                        row(1, inlineCell("A1", "cat at home") +
                                   numberCell("B1", "12.5", test::kStyleTwoDecimals) +
                                   formulaCell("C1", "A1&amp;\"!\"", "cat at home!", "str")) +
                            row(2, sharedCell("A2", 1) + inlineCell("B2", "concat") +
                                       formulaCell("C2", "\"cat\"&amp;\"s\"", "cats", "str")) +
                            row(3, "<c r=\"A3\" t=\"b\"><v>1</v></c><c r=\"B3\" t=\"e\"><v>#N/A</v></c>" +
                                       inlineCell("C3", "dog") + sharedCell("D3", 0))),
            test::sheet("Third", row(1, inlineCell("A1", "[a]b[c]")) + row(2, inlineCell("B2", "cat")), "",
                        "B2"),
        };
        book.activeTab = 2;
        wux::test::createFile(path(name), test::buildBook(book));
        return path(name);
    }

    // The active sheet's index and the active cell.
    std::vector<std::int32_t> view(const TExcelObject& table)
    {
        const auto app = table.applicationObject();
        const auto cell = asDispatch(app->get("ActiveCell"));
        return {automation::toInt32(asDispatch(app->get("ActiveSheet"))->get("Index")),
                automation::toInt32(cell->get("Row")), automation::toInt32(cell->get("Column"))};
    }
};

// One walk per case over the main book, saved as a copy and read back cell by cell.
TEST_F(ExcelSearchTest, WalksEveryUnprotectedSheetWithTheReplaceMode)
{
    const std::string file = writeMainBook("main.xlsx");
    const std::string bytes = wux::test::readFileBytes(file);
    struct Case
    {
        struct
        {
            const char* name;
            std::int32_t mode;
            std::u16string find, ending, replace;
            std::uint32_t flags;
            std::int32_t matches;
        } search;
        // Data: A1, C1, A2, B2, C2, D3; Third: A1, B2 (none: all unchanged).
        std::vector<std::string> cells;
    };
    const std::vector<std::string> unchanged = {"cat at home", "cat at home!", "Cat and cat", "concat",
                                                "cats",        "cat",          "[a]b[c]",     "cat"};
    const Case cases[] = {
        {{"replace", 1, u"cat", u"", u"dog", 0, 8},
         {"dog at home", "dog at home!", "dog and dog", "condog", "dogs", "dog", "[a]b[c]", "dog"}},
        {{"table row", 256, u"cat", u"", u"dog", 0, 8},
         {"dog at home", "dog at home!", "dog and dog", "condog", "dogs", "dog", "[a]b[c]", "dog"}},
        {{"whole words", 1, u"cat", u"", u"dog", 4, 6},
         {"dog at home", "dog at home!", "dog and dog", "concat", "cats", "dog", "[a]b[c]", "dog"}},
        {{"case-sensitive", 1, u"Cat", u"", u"Dog", 1, 1},
         {"cat at home", "cat at home!", "Dog and cat", "concat", "cats", "cat", "[a]b[c]", "cat"}},
        {{"delete", 2, u"cat", u"", u"", 0, 8},
         {" at home", " at home!", " and ", "con", "s", "", "[a]b[c]", ""}},
        {{"insert after", 8, u"cat", u"", u"!", 0, 8},
         {"cat! at home", "cat! at home!", "Cat! and cat!", "concat!", "cat!s", "cat!", "[a]b[c]", "cat!"}},
        {{"insert before", 16, u"cat", u"", u"!", 0, 8},
         {"!cat at home", "!cat at home!", "!Cat and !cat", "con!cat", "!cats", "!cat", "[a]b[c]", "!cat"}},
        {{"insert between", 32, u"[", u"]", u"X", 0, 2},
         {"cat at home", "cat at home!", "Cat and cat", "concat", "cats", "cat", "[X]b[X]", "cat"}},
        {{"just find", 128, u"cat", u"", u"", 0, 8}, {}},
        {{"no hit", 1, u"bird", u"", u"x", 0, 0}, {}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.search.name);
        const std::string out = path("out" + std::to_string(n++) + ".xlsx");
        {
            TExcelObject table;
            table.Open(file);
            table.setReplaceMode(c.search.mode);
            table.SearchAndReplace(c.search.find, c.search.ending, c.search.flags, c.search.replace);
            EXPECT_EQ(table.matchCount(), c.search.matches);
            // The user's view is back.
            EXPECT_EQ(view(table), (std::vector<std::int32_t>{3, 2, 2}));
            table.SaveCopyAs(out);
        }
        test::BookReader book(out);
        ASSERT_EQ(book.sheetCount(), 3);
        const std::vector<std::string> got = {book.value(2, 1, 1), book.value(2, 1, 3), book.value(2, 2, 1),
                                              book.value(2, 2, 2), book.value(2, 2, 3), book.value(2, 3, 4),
                                              book.value(3, 1, 1), book.value(3, 2, 2)};
        EXPECT_EQ(got, c.cells.empty() ? unchanged : c.cells);
        // The protected sheet, the number, the Boolean, the error and "dog" are never touched.
        EXPECT_EQ(book.value(1, 1, 1), "cat");
        EXPECT_EQ(book.value(2, 1, 2), "12.5");
        EXPECT_EQ(book.text(2, 1, 2), "12.50");
        EXPECT_EQ(book.type(2, 3, 1), VarType::kBool);
        EXPECT_EQ(book.value(2, 3, 2), "#ERR");
        EXPECT_EQ(book.value(2, 3, 3), "dog");
        // A formula keeps its formula unless its value had a hit.
        const bool c1Hit = got[1] != unchanged[1];
        const bool c2Hit = got[4] != unchanged[4];
        EXPECT_EQ(book.formula(2, 1, 3), c1Hit ? got[1] : "=A1&\"!\"");
        EXPECT_EQ(book.formula(2, 2, 3), c2Hit ? got[4] : "=\"cat\"&\"s\"");
    }
    EXPECT_EQ(wux::test::readFileBytes(file), bytes);
}

TEST_F(ExcelSearchTest, NumbersAreSearchedByTheirValueAndStayNumbers)
{
    test::BookSpec book;
    book.sheets = {
        test::sheet("S", row(1, numberCell("A1", "7") + numberCell("B1", "12.5", test::kStyleTwoDecimals) +
                                    numberCell("C1", "0.125")))};
    wux::test::createFile(path("n.xlsx"), test::buildBook(book));
    TExcelObject table;
    table.Open(path("n.xlsx"));
    table.SearchAndReplace(u"2.5", u"", 0, u"7.5");
    EXPECT_EQ(table.matchCount(), 1);
    table.SearchAndReplace(u"12", u"", 0, u"x");
    EXPECT_EQ(table.matchCount(), 2);
    table.SaveCopyAs(path("n2.xlsx"));
    test::BookReader out(path("n2.xlsx"));
    EXPECT_EQ(out.type(1, 1, 2), VarType::kR8);
    EXPECT_EQ(out.value(1, 1, 2), "17.5");
    EXPECT_EQ(out.text(1, 1, 2), "17.50");
    // "0.125" holds "12" and is no number after the change.
    EXPECT_EQ(out.type(1, 1, 3), VarType::kBStr);
    EXPECT_EQ(out.value(1, 1, 3), "0.x5");
    EXPECT_EQ(out.value(1, 1, 1), "7");
}

TEST_F(ExcelSearchTest, ALongFindTextSearchesTheApplicationForItsFirst255Characters)
{
    const std::string longText(299, 'x');
    test::BookSpec book;
    book.sheets = {
        test::sheet("S", row(1, inlineCell("A1", longText + "y") + inlineCell("B1", std::string(256, 'x'))) +
                             row(2, inlineCell("A2", "(" + longText + "y)")))};
    wux::test::createFile(path("long.xlsx"), test::buildBook(book));
    TExcelObject table;
    table.Open(path("long.xlsx"));
    table.SearchAndReplace(platform::utf8ToUtf16(longText + "y"), u"", 0, u"Z");
    EXPECT_EQ(table.matchCount(), 2);
    table.SaveCopyAs(path("long2.xlsx"));
    test::BookReader out(path("long2.xlsx"));
    EXPECT_EQ(out.value(1, 1, 1), "Z");
    EXPECT_EQ(out.value(1, 1, 2), std::string(256, 'x')); // a candidate without a hit
    EXPECT_EQ(out.value(1, 2, 1), "(Z)");
}

TEST_F(ExcelSearchTest, TheFirstCellIsProcessedOnceAndLast)
{
    test::BookSpec book;
    book.sheets = {test::sheet("S", row(1, inlineCell("A1", "ab") + inlineCell("B1", "ab")) +
                                        row(2, inlineCell("A2", "ab")))};
    wux::test::createFile(path("first.xlsx"), test::buildBook(book));
    TExcelObject table;
    table.Open(path("first.xlsx"));
    // Insert after "b" makes every cell a candidate again: each is changed exactly once.
    table.setReplaceMode(engines::kModeInsertAfter);
    table.SearchAndReplace(u"b", u"", 0, u"b");
    EXPECT_EQ(table.matchCount(), 3);
    table.SaveCopyAs(path("first2.xlsx"));
    test::BookReader out(path("first2.xlsx"));
    EXPECT_EQ(out.value(1, 1, 1), "abb");
    EXPECT_EQ(out.value(1, 1, 2), "abb");
    EXPECT_EQ(out.value(1, 2, 1), "abb");
}

TEST_F(ExcelSearchTest, AnErrorInASheetsWalkIsRaisedAfterTheViewIsRestored)
{
    test::BookSpec book;
    // A1 is the master cell of a shared formula: the application refuses to change it.
    book.sheets = {
        test::sheet("One", row(1, inlineCell("A1", "cat"))),
        test::sheet("Two",
                    row(1, "<c r=\"A1\" t=\"str\"><f t=\"shared\" ref=\"A1:A2\" si=\"0\">B1</f><v>cat</v></c>"
                           "<c r=\"B1\" t=\"inlineStr\"><is><t>cat</t></is></c>") +
                        row(2, "<c r=\"A2\" t=\"str\"><f t=\"shared\" si=\"0\"/><v>x</v></c>")),
        test::sheet("Three", row(1, inlineCell("A1", "x")), "", "C5"),
    };
    book.activeTab = 2;
    wux::test::createFile(path("bad.xlsx"), test::buildBook(book));
    TExcelObject table;
    table.Open(path("bad.xlsx"));
    try {
        table.SearchAndReplace(u"cat", u"", 0, u"dog");
        ADD_FAILURE() << "no error";
    } catch (const automation::AutomationError& e) {
        EXPECT_NE(e.message().find("formula"), std::string::npos) << e.message();
    }
    // One, then Two's B1, then Two's A1 (last), whose change fails.
    EXPECT_EQ(table.matchCount(), 3);
    EXPECT_EQ(view(table), (std::vector<std::int32_t>{3, 5, 3}));
}

TEST_F(ExcelSearchTest, AWorkbookOfProtectedSheetsHasNoHits)
{
    test::BookSpec book;
    book.strings = {"cat"};
    book.sheets = {test::sheet("P1", row(1, sharedCell("A1", 0)), test::kSheetProtection),
                   test::sheet("P2", row(2, sharedCell("B2", 0)), test::kSheetProtection)};
    wux::test::createFile(path("prot.xlsx"), test::buildBook(book));
    TExcelObject table;
    table.Open(path("prot.xlsx"));
    table.SearchAndReplace(u"cat", u"", 0, u"dog");
    EXPECT_EQ(table.matchCount(), 0);
    // An empty find text searches nothing.
    table.SearchAndReplace(u"", u"", 0, u"dog");
    EXPECT_EQ(table.matchCount(), 0);
}

// A stop request made while the cells are changed ends the walk before the next cell is looked for: no
// later cell and no later sheet is searched. The application is a recording stand-in whose sheets hold
// "a cat" in A1 to A5.
TEST(ExcelSearchStop, AStopRequestEndsTheWalkBeforeTheNextCell)
{
    using Access = test::ScriptedObject::Access;
    using automation::Args;
    wux::test::IdleOwner owner;
    std::vector<std::string> log;
    int changes = 0;
    const auto answer = std::make_shared<const test::ScriptedObject::Answer>(
        [&](test::ScriptedObject& self, Access access, const std::string& member, const Args& a) -> Variant {
            log.push_back(self.kind + "." + member + "(" + test::describe(a) + ")");
            if (access == Access::kPut) {
                if (member == "FormulaR1C1" && ++changes == 2)
                    owner.Terminate();
                return {};
            }
            if (member == "Workbooks" || member == "Worksheets" || member == "Cells")
                return self.child(member, self.index);
            if (member == "Add")
                return self.child("Workbook");
            if (member == "Count")
                return Variant(self.kind == "Worksheets" ? 2 : 0);
            if (member == "Item" && self.kind == "Worksheets")
                return self.child("Sheet", a.int32(0));
            if (member == "Item")
                return self.child("Cell", a.int32(0), a.int32(1));
            if (member == "Find") {
                const auto* after = dynamic_cast<const test::ScriptedObject*>(a[1].dispatch().get());
                return after->index < 5 ? self.child("Cell", after->index + 1, 1) : Variant();
            }
            if (member == "Row")
                return Variant(self.index);
            if (member == "Column")
                return Variant(self.second);
            if (member == "Value")
                return Variant(u"a cat");
            if (member == "ProtectContents")
                return Variant(false);
            return {};
        });
    automation::ScopedClassRestore restore;
    automation::registerClass(std::string(kExcelApplicationClass),
                              [answer] { return std::make_shared<test::ScriptedObject>("App", answer); });
    TExcelObject table;
    table.setOwner(&owner);
    table.Open("c:\\book.xlsx");
    EXPECT_THROW(table.SearchAndReplace(u"cat", u"", 0, u"dog"), EOperationStopped);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(table.matchCount(), 2);
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& l) { return l.starts_with("Cells.Find"); }),
              2);
    EXPECT_EQ(std::count(log.begin(), log.end(), "Worksheets.Item(2)"), 0);
}

} // namespace
} // namespace wux::office
