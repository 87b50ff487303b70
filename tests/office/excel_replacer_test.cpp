#include "office/excel_replacer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engines/base_replacer.h"
#include "engines/batch_table.h"
#include "excel_books_test.h"
#include "office_test_support.h"
#include "platform/automation/docx_fixture.h"
#include "platform/automation/excel_server.h"
#include "platform/fault_injection.h"
#include "platform/file_handle.h"
#include "platform/movable_memory.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

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

class ExcelReplacerTest : public wux::test::TempDriveTest
{
protected:
    ~ExcelReplacerTest() override
    {
        for (platform::MovableHandle block : blocks_)
            platform::movableFree(block);
    }

    platform::MovableHandle searchBlock(std::string_view find, std::string_view replace, std::int32_t mode,
                                        bool caseSensitive = false, bool wholeWord = false)
    {
        const platform::MovableHandle block =
            engines::BuildReplacerStructure(find, replace, caseSensitive, wholeWord, mode);
        blocks_.push_back(block);
        return block;
    }

    // A table block written byte by byte, freed with the fixture.
    platform::MovableHandle rawTableBlock(const std::vector<test::RawRow>& rows)
    {
        blocks_.push_back(test::rawTableBlock(rows));
        return blocks_.back();
    }

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

    test::IdleOwner owner;

private:
    std::vector<platform::MovableHandle> blocks_;
};

TEST_F(ExcelReplacerTest, CreationKeepsTheRunsSettings)
{
    const auto block = searchBlock("a", "b", 32);
    TMSExcelReplacer replacer(&owner, 2, 32, block, true);
    EXPECT_TRUE(replacer.createBackUpCopyFlag());
    EXPECT_EQ(replacer.sizeOfFirstPart(), 2);
    EXPECT_EQ(replacer.replaceMode(), 32);
    EXPECT_EQ(replacer.block(), block);
    EXPECT_EQ(replacer.stage(), kStageConnect);
    EXPECT_EQ(replacer.application(), nullptr);
    EXPECT_FALSE(replacer.connectFailed());
    EXPECT_FALSE(TMSExcelReplacer(&owner, 0, 1, block, false).createBackUpCopyFlag());
    // Connecting makes one hidden application with the run's mode.
    ASSERT_TRUE(replacer.Connect());
    TExcelObject* application = replacer.application();
    ASSERT_NE(application, nullptr);
    EXPECT_FALSE(application->GetVisible());
    EXPECT_EQ(application->replaceMode(), 32);
    EXPECT_TRUE(replacer.Connect());
    EXPECT_EQ(replacer.application(), application);
}

// The stage and result table of one workbook.
TEST_F(ExcelReplacerTest, StagesAndResults)
{
    platform::ScopedFaultClear clearFaults;
    test::BookSpec protectedBook;
    protectedBook.strings = {"a cat"};
    protectedBook.sheets = {test::sheet("P", row(1, sharedCell("A1", 0)), test::kSheetProtection)};
    test::BookSpec refusing;
    refusing.sheets = {test::sheet(
        "S", row(1, "<c r=\"A1\" t=\"str\"><f t=\"shared\" ref=\"A1:A2\" si=\"0\">B1</f><v>a cat</v></c>") +
                 row(2, "<c r=\"A2\" t=\"str\"><f t=\"shared\" si=\"0\"/><v>x</v></c>"))};

    struct Case
    {
        const char* name;
        std::int32_t mode;
        std::function<std::string()> prepare; // writes the file, returns its path
        std::function<void()> arrange;        // faults, holders
        TReplaceResult result;
        std::int32_t stage;
        std::int32_t matches;
        bool changed;
        bool backup;
    };
    platform::FileHandle holder;
    const Case cases[] = {
        {"missing", 1, [&] { return path("missing.xlsx"); }, [] {}, engines::kReplaceFailed, 1, 0, false,
         false},
        {"folder", 1,
         [&] {
             wux::test::makeFolder(path("folder.xlsx"));
             return path("folder.xlsx");
         },
         [] {}, engines::kReplaceFailed, 1, 0, false, false},
        {"held", 1, [&] { return writeTexts("held.xlsx", {"a cat"}); },
         [&] {
             ASSERT_EQ(holder.open(path("held.xlsx"), platform::kAccessRead, platform::kShareRead,
                                   platform::Disposition::kOpenExisting),
                       platform::kErrorSuccess);
         },
         engines::kReplaceDocumentLocked, 1, 0, false, false},
        {"legacy", 1,
         [&] {
             wux::test::createFile(path("legacy.xls"),
                                   std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "x");
             return path("legacy.xls");
         },
         [] {}, engines::kReplaceFailed, 4, 0, false, false},
        {"damaged", 1,
         [&] {
             wux::test::createFile(path("damaged.xlsx"), "PK\x03\x04 not a zip");
             return path("damaged.xlsx");
         },
         [] {}, engines::kReplaceFailed, 4, 0, false, false},
        {"insert at head", 4, [&] { return writeTexts("head.xlsx", {"a cat"}); }, [] {},
         engines::kReplaceModeNotSupported, 6, 0, false, false},
        {"insert at foot", 64, [&] { return writeTexts("foot.xlsx", {"a cat"}); }, [] {},
         engines::kReplaceModeNotSupported, 6, 0, false, false},
        {"no match", 1, [&] { return writeTexts("nomatch.xlsx", {"a dog"}); }, [] {},
         engines::kReplaceNothingFound, 6, 0, false, false},
        {"protected sheets only", 1, [&] { return write("protected.xlsx", protectedBook); }, [] {},
         engines::kReplaceNothingFound, 6, 0, false, false},
        {"just find", 128,
         [&] {
             return writeTexts("find.xlsx", {"a cat", "cat"});
         },
         [] {}, engines::kReplaceFound, 6, 2, false, false},
        {"just find, none", 128, [&] { return writeTexts("findnone.xlsx", {"a dog"}); }, [] {},
         engines::kReplaceNothingFound, 6, 0, false, false},
        {"cell refused", 1, [&] { return write("refused.xlsx", refusing); }, [] {}, engines::kReplaceFailed,
         6, 1, false, false},
        {"backup fails", 1, [&] { return writeTexts("bak.xlsx", {"a cat"}); },
         [&] { platform::injectFault(path("bak.xlsx.bak"), platform::kErrorDiskFull, platform::kFaultOpen); },
         engines::kReplaceFailed, 7, 1, false, false},
        {"save fails", 1, [&] { return writeTexts("save.xlsx", {"a cat"}); },
         [&] { platform::injectFault(path("save.xlsx"), platform::kErrorDiskFull, platform::kFaultWrite); },
         engines::kReplaceFailed, 8, 1, false, false},
        {"success", 1, [&] { return writeTexts("ok.xlsx", {"a cat"}); }, [] {}, engines::kReplaceFound, 8, 1,
         true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = c.prepare();
        const bool isFile =
            wux::test::exists(file) && !std::filesystem::is_directory(wux::test::posixOf(file));
        const std::string before = isFile ? wux::test::readFileBytes(file) : std::string();
        c.arrange();
        const auto block = searchBlock("cat", "dog", c.mode);
        // The save failure is injected on the workbook's own path, which the backup name shares.
        TMSExcelReplacer replacer(&owner, 0, c.mode, block, std::string_view(c.name) != "save fails");
        EXPECT_EQ(replacer.ProcessFile(file), c.result);
        EXPECT_EQ(replacer.stage(), c.stage);
        EXPECT_EQ(replacer.matchCount(), c.matches);
        if (!wux::test::exists(file)) {
            EXPECT_EQ(replacer.fileSize(), -1);
        } else if (isFile) {
            EXPECT_EQ(replacer.fileSize(), static_cast<std::int64_t>(before.size()));
        }
        // No workbook is left open in the application.
        if (replacer.application() != nullptr) {
            EXPECT_FALSE(replacer.application()->hasWorkbook());
            EXPECT_EQ(replacer.application()->WorkbookCount(), 0);
        }
        holder.close();
        platform::clearFaults();
        if (isFile) {
            const std::string after = wux::test::readFileBytes(file);
            EXPECT_EQ(after != before, c.changed);
            if (c.changed) {
                test::BookReader book(file);
                EXPECT_EQ(book.value(1, 1, 1), "a dog");
            }
        }
        EXPECT_EQ(wux::test::exists(file + ".bak"), c.backup && c.changed);
        if (c.backup && c.changed) {
            EXPECT_EQ(wux::test::readFileBytes(file + ".bak"), before);
        }
    }
    // Only the workbooks, the folder and the one backup of the success are left: no temporary file.
    EXPECT_EQ(
        wux::test::listNames(drive.root()),
        (std::vector<std::string>{"bak.xlsx", "damaged.xlsx", "find.xlsx", "findnone.xlsx", "folder.xlsx",
                                  "foot.xlsx", "head.xlsx", "held.xlsx", "legacy.xls", "nomatch.xlsx",
                                  "ok.xlsx", "ok.xlsx.bak", "protected.xlsx", "refused.xlsx", "save.xlsx"}));
}

TEST_F(ExcelReplacerTest, WithoutTheSpreadsheetApplicationEveryFileFailsAtStage99)
{
    automation::ScopedClassRestore restore;
    automation::unregisterClass(automation::kExcelApplicationProgId);
    const std::string first = writeTexts("one.xlsx", {"a cat"});
    const std::string second = writeTexts("two.xlsx", {"a cat"});
    const std::string bytes = wux::test::readFileBytes(first);
    const auto block = searchBlock("cat", "dog", 1);
    TMSExcelReplacer replacer(&owner, 0, 1, block, true);
    EXPECT_EQ(replacer.ProcessFile(first), engines::kReplaceFailed);
    EXPECT_EQ(replacer.stage(), kStageConnect);
    EXPECT_TRUE(replacer.connectFailed());
    EXPECT_FALSE(replacer.Connect());
    // Installed meanwhile: no second attempt in this run.
    automation::restoreClasses();
    EXPECT_EQ(replacer.ProcessFile(second), engines::kReplaceFailed);
    EXPECT_EQ(replacer.stage(), kStageConnect);
    EXPECT_EQ(replacer.application(), nullptr);
    EXPECT_EQ(replacer.matchCount(), 0);
    EXPECT_EQ(replacer.fileSize(), -1);
    EXPECT_EQ(wux::test::readFileBytes(first), bytes);
    EXPECT_EQ(wux::test::readFileBytes(second), bytes);
}

TEST_F(ExcelReplacerTest, FiguresOfAFileAreResetWhenTheNextBegins)
{
    const std::string file = writeTexts("ok.xlsx", {"a cat and a cat", "cat"});
    const auto block = searchBlock("cat", "dog", 1);
    TMSExcelReplacer replacer(&owner, 0, 1, block, false);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    EXPECT_EQ(replacer.matchCount(), 3);
    EXPECT_GT(replacer.fileSize(), 0);
    EXPECT_EQ(replacer.ProcessFile(path("gone.xlsx")), engines::kReplaceFailed);
    EXPECT_EQ(replacer.matchCount(), 0);
    EXPECT_EQ(replacer.fileSize(), -1);
    const std::string none = writeTexts("none.xlsx", {"bird"});
    EXPECT_EQ(replacer.ProcessFile(none), engines::kReplaceNothingFound);
    EXPECT_EQ(replacer.matchCount(), 0);
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

TEST_F(ExcelReplacerTest, AnApplicationHoldingWorkbooksIsLeftToItsUser)
{
    const std::string users = writeTexts("users.xlsx", {"mine"});
    const std::string file = writeTexts("run.xlsx", {"a cat"});
    const auto block = searchBlock("cat", "dog", 1);
    TMSExcelReplacer replacer(&owner, 0, 1, block, false);
    ASSERT_TRUE(replacer.Connect());
    const auto usersApplication = replacer.application()->applicationObject();
    asDispatch(usersApplication->get("Workbooks"))->call("Add", {Variant::fromUtf8(users)});
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    EXPECT_EQ(replacer.stage(), kStageSave);
    EXPECT_NE(replacer.application()->applicationObject(), usersApplication);
    // The user's workbook is still open in the instance that was dropped.
    EXPECT_EQ(automation::toInt32(asDispatch(usersApplication->get("Workbooks"))->get("Count")), 1);
    test::BookReader out(file);
    EXPECT_EQ(out.value(1, 1, 1), "a dog");
}

TEST_F(ExcelReplacerTest, OneApplicationServesTheRunAndIsReleasedWithTheReplacer)
{
    const std::string a = writeTexts("a.xlsx", {"one cat"});
    const std::string b = writeTexts("b.xlsx", {"two cats"});
    const std::string c = writeTexts("c.xlsx", {"no dogs"});
    const auto block = searchBlock("cat", "dog", 1);
    const std::size_t objectsBefore = automation::liveObjectCount();
    auto replacer = std::make_unique<TMSExcelReplacer>(&owner, 0, 1, block, true);
    EXPECT_EQ(replacer->ProcessFile(a), engines::kReplaceFound);
    TExcelObject* first = replacer->application();
    const auto application = first->applicationObject();
    EXPECT_EQ(replacer->cachedSearch().find, u"cat");
    EXPECT_EQ(replacer->cachedSearch().replace, u"dog");
    EXPECT_EQ(replacer->ProcessFile(b), engines::kReplaceFound);
    EXPECT_EQ(replacer->ProcessFile(c), engines::kReplaceNothingFound);
    EXPECT_EQ(replacer->application(), first);
    EXPECT_EQ(first->applicationObject(), application);
    replacer.reset();
    // Quit on release: the application refuses every further call.
    EXPECT_THROW(application->get("Workbooks"), automation::AutomationError);
    EXPECT_EQ(automation::liveObjectCount(), objectsBefore + 1); // only our own reference
    EXPECT_TRUE(wux::test::exists(a + ".bak"));
    EXPECT_TRUE(wux::test::exists(b + ".bak"));
    EXPECT_FALSE(wux::test::exists(c + ".bak"));
}

TEST_F(ExcelReplacerTest, AnOutputFolderTakesTheSavedWorkbook)
{
    wux::test::makeFolder(path("out"));
    const std::string file = writeTexts("moved.xlsx", {"a cat"});
    const auto block = searchBlock("cat", "dog", 1);
    TMSExcelReplacer replacer(&owner, 0, 1, block, false);
    replacer.setOutputFolder(path("out"));
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    EXPECT_FALSE(wux::test::exists(file));
    test::BookReader out(path("out\\moved.xlsx"));
    EXPECT_EQ(out.value(1, 1, 1), "a dog");
}

} // namespace
} // namespace wux::office
