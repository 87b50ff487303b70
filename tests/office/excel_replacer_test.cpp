#include "office/excel_replacer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engines/base_replacer.h"
#include "engines/batch_table.h"
#include "office_test_support.h"
#include "support/file_builders.h"
#include "support/packages.h"
#include "support/temp_drive.h"
#include "workbooks.h"

namespace wux::office {
namespace {

namespace automation = platform::automation;
using automation::asDispatch;
using automation::Variant;
using automation::VarType;
using engines::TReplaceResult;
using test::formulaCell;
using test::inlineCell;
using test::numberCell;
using test::row;
using test::sharedCell;

class ExcelReplacerTest : public test::BlockTest
{
protected:
    std::string write(const std::string& name, const test::BookSpec& book)
    {
        wux::test::createFile(path(name), test::buildBook(book));
        return path(name);
    }

    // One sheet with the texts in A1, B1, ...
    std::string writeTexts(const std::string& name, const std::vector<std::string>& texts)
    {
        std::string cells;
        for (std::size_t i = 0; i < texts.size(); ++i)
            cells += inlineCell(std::string(1, static_cast<char>('A' + i)) + "1", texts[i]);
        test::BookSpec book;
        book.sheets = {test::sheet("Sheet1", row(1, cells))};
        return write(name, book);
    }
};

// Connecting makes one hidden application with the run's mode, once.
TEST_F(ExcelReplacerTest, ConnectMakesOneHiddenApplicationWithTheRunsMode)
{
    TMSExcelReplacer replacer(&owner, 2, 32, searchBlock("a", "b", 32), true);
    ASSERT_TRUE(replacer.Connect());
    TExcelObject* application = replacer.application();
    ASSERT_NE(application, nullptr);
    EXPECT_FALSE(application->GetVisible());
    EXPECT_EQ(application->replaceMode(), 32);
    EXPECT_TRUE(replacer.Connect());
    EXPECT_EQ(replacer.application(), application);
}

// Each mode over a workbook of three sheets, the saved file read back cell by cell and its untouched
// parts compared byte for byte.
TEST_F(ExcelReplacerTest, ModesChangeTheCellsAndNothingElse)
{
    test::BookSpec book;
    book.strings = {"cat", "ab 12 cd", "Cat and cat"};
    book.sheets = {
        test::sheet("Locked", row(1, sharedCell("A1", 0)), test::kSheetProtection),
        test::sheet("Data", row(1, sharedCell("A1", 0) + sharedCell("B1", 1) + numberCell("C1", "12.5", 1) +
                                       formulaCell("D1", "C1*2", "25", "", 1)) +
                                row(2, sharedCell("A2", 2) + inlineCell("B2", "concat") +
                                           formulaCell("C2", "A1&amp;\"s\"", "cats", "str"))),
        test::sheet("Active", row(3, inlineCell("C3", "the cat")), "", "C3"),
    };
    book.activeTab = 2;
    const struct
    {
        std::int32_t mode;
        const char* find;
        const char* replace;
        std::int32_t firstPart;
        std::int32_t matches;
        // Data A1, B1, A2, B2, C2; Active C3.
        std::vector<std::string> cells;
    } cases[] = {
        {1, "cat", "dog", 0, 6, {"dog", "ab 12 cd", "dog and dog", "condog", "dogs", "the dog"}},
        {2, "cat", "", 0, 6, {"", "ab 12 cd", " and ", "con", "s", "the "}},
        {8, "cat", "!", 0, 6, {"cat!", "ab 12 cd", "Cat! and cat!", "concat!", "cat!s", "the cat!"}},
        {16, "cat", "!", 0, 6, {"!cat", "ab 12 cd", "!Cat and !cat", "con!cat", "!cats", "the !cat"}},
        {32, "abcd", "X", 2, 1, {"cat", "abXcd", "Cat and cat", "concat", "cats", "the cat"}},
        {128, "cat", "", 0, 6, {"cat", "ab 12 cd", "Cat and cat", "concat", "cats", "the cat"}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        const std::string name = "m" + std::to_string(n++) + ".xlsx";
        const std::string file = write(name, book);
        const auto before = wux::test::readZip(posix(name));
        const auto block = searchBlock(c.find, c.replace, c.mode);
        TMSExcelReplacer replacer(&owner, c.firstPart, c.mode, block, false);
        EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
        EXPECT_EQ(replacer.stage(), c.mode == 128 ? kStageSearch : kStageSave);
        EXPECT_EQ(replacer.matchCount(), c.matches);
        test::BookReader out(file);
        const std::vector<std::string> got = {out.value(2, 1, 1), out.value(2, 1, 2), out.value(2, 2, 1),
                                              out.value(2, 2, 2), out.value(2, 2, 3), out.value(3, 3, 3)};
        EXPECT_EQ(got, c.cells);
        EXPECT_EQ(out.value(1, 1, 1), "cat");
        EXPECT_EQ(out.type(2, 1, 3), VarType::kR8);
        EXPECT_EQ(out.formula(2, 1, 4), "=C1*2");
        EXPECT_EQ(out.formula(2, 2, 3), got[4] == "cats" ? "=A1&\"s\"" : got[4]);
        const auto after = wux::test::readZip(posix(name));
        for (const char* part :
             {"xl/worksheets/sheet1.xml", "xl/styles.xml", "xl/media/image1.png", "_rels/.rels"})
            EXPECT_EQ(after.at(part), before.at(part)) << part;
        // The protected sheet's cell shares its string with changed cells: the string stays as it was.
        EXPECT_NE(after.at("xl/sharedStrings.xml").find(">cat</t>"), std::string::npos);
        EXPECT_EQ(after.at("xl/worksheets/sheet3.xml") != before.at("xl/worksheets/sheet3.xml"),
                  got[5] != "the cat");
        // A removed formula asks for a full recalculation when the file is next opened.
        EXPECT_EQ(after.at("xl/workbook.xml").find("fullCalcOnLoad=\"1\"") != std::string::npos,
                  got[4] != "cats");
    }
}

TEST_F(ExcelReplacerTest, CaseAndWholeWordsFromTheSearchBlock)
{
    const std::string file = writeTexts("flags.xlsx", {"Cat cat", "concat", "cats cat"});
    const auto block = searchBlock("cat", "dog", 1, true, true);
    TMSExcelReplacer replacer(&owner, 0, 1, block, false);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    EXPECT_EQ(replacer.cachedSearch().flags, 5u);
    EXPECT_EQ(replacer.matchCount(), 2);
    test::BookReader out(file);
    EXPECT_EQ(out.value(1, 1, 1), "Cat dog");
    EXPECT_EQ(out.value(1, 1, 2), "concat");
    EXPECT_EQ(out.value(1, 1, 3), "cats dog");
}

TEST_F(ExcelReplacerTest, TableRowsApplyInOrderAndEmptyFindsAreSkipped)
{
    const auto block = rawTableBlock({{false, "cat", "dog", 3},
                                      {true, "Dog", "X", 3},
                                      {false, "", "never", 3},
                                      {false, "dog", "wolf", 3},
                                      {false, "bird", "big ", 1},
                                      {false, "fish", "!", 2}});
    test::BookSpec book;
    book.sheets = {test::sheet("One", row(1, inlineCell("A1", "cat Dog") + inlineCell("B1", "a bird"))),
                   test::sheet("Two", row(1, inlineCell("A1", "fish and cat")))};
    const std::string file = write("table.xlsx", book);
    TMSExcelReplacer replacer(&owner, 0, engines::kModeBatchTable, block, false);
    replacer.setRowCount(6);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    // cat->dog (2), Dog->X (1), dog->wolf (2), bird (1), fish (1).
    EXPECT_EQ(replacer.matchCount(), 7);
    test::BookReader out(file);
    EXPECT_EQ(out.value(1, 1, 1), "wolf X");
    EXPECT_EQ(out.value(1, 1, 2), "a big bird");
    EXPECT_EQ(out.value(2, 1, 1), "fish! and wolf");
    // A block that ends before its last row fails the file.
    const std::string other = writeTexts("short.xlsx", {"cat"});
    const std::string bytes = wux::test::readFileBytes(other);
    replacer.setRowCount(7);
    EXPECT_EQ(replacer.ProcessFile(other), engines::kReplaceFailed);
    EXPECT_EQ(replacer.stage(), kStageSearch);
    EXPECT_EQ(wux::test::readFileBytes(other), bytes);
}

// Texts replaced out of every cell leave the shared-string table: no old text stays in the saved
// workbook. The last strings (the new texts; A1 is searched last, so its text is the last) take the
// places of the old ones, so a sheet without hits keeps its references and its bytes.
TEST_F(ExcelReplacerTest, ReplacedTextsLeaveTheSharedStringTable)
{
    test::BookSpec book;
    book.strings = {"WUXFIND one", "keep", "WUXFIND two", "WUXFIND no cell"};
    book.sheets = {
        test::sheet("Hits", row(1, sharedCell("A1", 0)) + row(2, sharedCell("A2", 2) + sharedCell("B2", 2))),
        test::sheet("Other", row(1, sharedCell("A1", 1) + inlineCell("B1", "plain")))};
    const std::string file = write("strings.xlsx", book);
    const auto before = wux::test::storedEntries(posix("strings.xlsx"));
    TMSExcelReplacer replacer(&owner, 0, 1, searchBlock("WUXFIND", "REPLACED", 1), false);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    EXPECT_EQ(replacer.matchCount(), 3);
    const auto parts = wux::test::readZip(posix("strings.xlsx"));
    for (const auto& [name, bytes] : parts)
        EXPECT_EQ(bytes.find("WUXFIND"), std::string::npos) << name;
    const std::string& strings = parts.at("xl/sharedStrings.xml");
    EXPECT_EQ(strings.substr(strings.find("<sst")),
              "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"4\" "
              "uniqueCount=\"3\"><si><t>REPLACED one</t></si><si><t xml:space=\"preserve\">keep</t></si>"
              "<si><t>REPLACED two</t></si></sst>");
    EXPECT_NE(parts.at("xl/worksheets/sheet1.xml")
                  .find("<c r=\"A1\" t=\"s\"><v>0</v></c></row><row r=\"2\"><c r=\"A2\" t=\"s\"><v>2</v></c>"
                        "<c r=\"B2\" t=\"s\"><v>2</v></c>"),
              std::string::npos);
    EXPECT_EQ(wux::test::storedEntries(posix("strings.xlsx")).at("xl/worksheets/sheet2.xml"),
              before.at("xl/worksheets/sheet2.xml"));
    test::BookReader out(file);
    EXPECT_EQ((std::vector<std::string>{out.value(1, 1, 1), out.value(1, 2, 1), out.value(1, 2, 2),
                                        out.value(2, 1, 1), out.value(2, 1, 2)}),
              (std::vector<std::string>{"REPLACED one", "REPLACED two", "REPLACED two", "keep", "plain"}));
}

// Two sheets of a workbook may be one part. The strings a replace leaves unused go, and each cell that
// refers to a string is numbered again once, however many sheets show it: the workbook opens again.
TEST_F(ExcelReplacerTest, SheetsThatAreOnePartAreNumberedOnce)
{
    wux::test::XlsxContent content;
    content.strings = {"<t>WUXFIND</t>", "<t>keep</t>"};
    content.sheets = {wux::test::sheet("Values", row(1, sharedCell("A1", 0) + sharedCell("B1", 1))),
                      wux::test::sheet("Two", row(1, inlineCell("A1", "other")))};
    wux::test::ZipEntries entries = wux::test::xlsxEntries(content);
    for (auto& [part, xml] : entries)
        if (part == "xl/_rels/workbook.xml.rels")
            xml.replace(xml.find("worksheets/sheet2.xml"), 21, "worksheets/sheet1.xml");
    wux::test::createFile(path("shared.xlsx"), wux::test::buildZip(entries));
    TMSExcelReplacer replacer(&owner, 0, 1, searchBlock("WUXFIND", "REPLACED", 1), false);
    EXPECT_EQ(replacer.ProcessFile(path("shared.xlsx")), engines::kReplaceFound);
    const auto parts = wux::test::readZip(posix("shared.xlsx"));
    EXPECT_EQ(parts.at("xl/sharedStrings.xml").find("WUXFIND"), std::string::npos);
    EXPECT_NE(parts.at("xl/worksheets/sheet1.xml")
                  .find("<c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"),
              std::string::npos);
    test::BookReader out(path("shared.xlsx"));
    EXPECT_EQ((std::vector<std::string>{out.value(1, 1, 1), out.value(1, 1, 2), out.value(2, 1, 1)}),
              (std::vector<std::string>{"REPLACED", "keep", "REPLACED"}));
}

// The workbook that crashed the program: one cell's inline string nested 200,000 elements deep. It is
// refused when it is opened, before a tree that deep is built, and stays as it was.
TEST_F(ExcelReplacerTest, AnInlineStringNestedTooDeeplyFailsTheWorkbookUntouched)
{
    std::string nest;
    for (int i = 0; i < 200000; ++i)
        nest += "<r>";
    for (int i = 0; i < 200000; ++i)
        nest += "</r>";
    test::BookSpec book;
    book.sheets = {
        test::sheet("One", row(1, "<c r=\"A1\" t=\"inlineStr\"><is><t>a cat</t>" + nest + "</is></c>"))};
    const std::string file = write("deep.xlsx", book);
    const std::string bytes = wux::test::readFileBytes(file);
    TMSExcelReplacer replacer(&owner, 0, 1, searchBlock("cat", "dog", 1), true);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFailed);
    EXPECT_EQ(replacer.stage(), kStageOpen);
    EXPECT_EQ(wux::test::readFileBytes(file), bytes);
    EXPECT_FALSE(wux::test::exists(file + ".bak"));
}

// Only a password to modify refuses a workbook: "read-only recommended" alone does not.
TEST_F(ExcelReplacerTest, AReadOnlyRecommendationIsNoPasswordToModify)
{
    wux::test::XlsxContent content;
    content.sheets.push_back(wux::test::sheet("One", row(1, inlineCell("A1", "a cat"))));
    wux::test::ZipEntries entries = wux::test::xlsxEntries(content);
    for (auto& [part, xml] : entries)
        if (part == "xl/workbook.xml")
            xml.insert(xml.find("<workbookPr"), "<fileSharing readOnlyRecommended=\"1\" userName=\"Ann\"/>");
    wux::test::createFile(path("recommended.xlsx"), wux::test::buildZip(entries));
    TMSExcelReplacer replacer(&owner, 0, 1, searchBlock("cat", "dog", 1), false);
    EXPECT_EQ(replacer.ProcessFile(path("recommended.xlsx")), engines::kReplaceFound);
    EXPECT_EQ(test::BookReader(path("recommended.xlsx")).value(1, 1, 1), "a dog");
}

} // namespace
} // namespace wux::office
