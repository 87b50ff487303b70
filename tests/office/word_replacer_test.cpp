#include "office/word_replacer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engines/base_replacer.h"
#include "engines/batch_table.h"
#include "office_test_support.h"
#include "platform/automation/docx_fixture.h"
#include "platform/automation/word_server.h"
#include "platform/fault_injection.h"
#include "platform/file_handle.h"
#include "platform/movable_memory.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::office {
namespace {

namespace automation = platform::automation;
using engines::TReplaceResult;
using wux::test::DocxContent;
using wux::test::para;

class WordReplacerTest : public wux::test::TempDriveTest
{
protected:
    ~WordReplacerTest() override
    {
        for (platform::MovableHandle block : blocks_)
            platform::movableFree(block);
    }

    platform::MovableHandle searchBlock(std::string_view find, std::string_view replace, std::int32_t mode,
                                        bool caseSensitive = false, bool wholeWord = false, bool oem = false)
    {
        const platform::MovableHandle block =
            engines::BuildReplacerStructure(find, replace, caseSensitive, wholeWord, mode, oem);
        blocks_.push_back(block);
        return block;
    }

    platform::MovableHandle tableBlock(const engines::TableCells& flags, const engines::TableCells& finds,
                                       const engines::TableCells& replaces)
    {
        platform::MovableHandle block{};
        EXPECT_EQ(engines::CheckAndBuildTableBlock(block, flags, finds, replaces), -1);
        blocks_.push_back(block);
        return block;
    }

    // A table block written byte by byte, freed with the fixture.
    platform::MovableHandle rawTableBlock(const std::vector<test::RawRow>& rows)
    {
        blocks_.push_back(test::rawTableBlock(rows));
        return blocks_.back();
    }

    std::string write(const std::string& name, const DocxContent& content)
    {
        wux::test::createFile(path(name), wux::test::buildDocx(content));
        return path(name);
    }

    std::string writeText(const std::string& name, const std::string& text)
    {
        DocxContent content;
        content.body = para({text});
        return write(name, content);
    }

    test::IdleOwner owner;
    core::TUserParameters parameters = test::replacerParameters(true);

private:
    std::vector<platform::MovableHandle> blocks_;
};

TEST_F(WordReplacerTest, TakesTheBackupFlagFromTheParameters)
{
    const auto block = searchBlock("a", "b", 1);
    EXPECT_TRUE(TMSWordReplacer(&owner, 1, block, &parameters).createBackUpCopyFlag());
    core::TUserParameters off = test::replacerParameters(false);
    TMSWordReplacer replacer(&owner, 1, block, &off);
    EXPECT_FALSE(replacer.createBackUpCopyFlag());
    EXPECT_EQ(replacer.stage(), kStageConnect);
    EXPECT_EQ(replacer.rowCount(), 1);
    EXPECT_EQ(replacer.application(), nullptr);
    core::TUserParameters none("Replacer");
    EXPECT_THROW(TMSWordReplacer(&owner, 1, block, &none), core::EParameterAbsent);
    none.SetInternalValue("CreateBackUpCopy", "maybe");
    EXPECT_THROW(TMSWordReplacer(&owner, 1, block, &none), std::runtime_error);
}

TEST_F(WordReplacerTest, BooleanParameterTexts)
{
    core::TUserParameters p("x");
    const struct
    {
        const char* value;
        bool result;
    } cases[] = {{"0", false},   {"-1", true},     {"1", true},    {"42", true},
                 {"true", true}, {"FALSE", false}, {"True", true}, {"99999999999999999999", true}};
    for (const auto& c : cases) {
        p.SetValue("k", c.value);
        EXPECT_EQ(parameterBool(p, "k"), c.result) << c.value;
    }
    for (const char* bad : {"yes", "1.5", " 1", "-"}) {
        p.SetValue("k", bad);
        EXPECT_THROW(parameterBool(p, "k"), std::runtime_error) << bad;
    }
}

TEST_F(WordReplacerTest, OptionBitsFollowTheParameterSet)
{
    const auto block = searchBlock("a", "b", 1);
    TMSWordReplacer replacer(&owner, 1, block, &parameters);
    EXPECT_EQ(replacer.ReadWordOptions(), 0u);
    parameters.SetValue("MSWORD_USEWILDCARDS", "-1");
    parameters.SetValue("MSWORD_WHOLEWORD", "-1");
    parameters.SetValue("MSWORD_REPLACE_IN_MAINDOCUMENT", "0");
    parameters.SetValue("MSWORD_REPLACE_IN_HEADERSFOOTERS", "0");
    parameters.SetValue("MSWORD_REPLACE_IN_FOOTNOTES", "0");
    parameters.SetValue("MSWORD_REPLACE_IN_HYPERLINKS", "0");
    EXPECT_EQ(replacer.ReadWordOptions(), 2u + 4u + 16u + 32u + 64u + 128u);
    parameters.Remove("MSWORD_WHOLEWORD");
    EXPECT_THROW(replacer.ReadWordOptions(), core::EParameterAbsent);
}

// The stage and result table of one document.
TEST_F(WordReplacerTest, StagesAndResults)
{
    platform::ScopedFaultClear clearFaults;
    DocxContent protectedContent;
    protectedContent.body = para({"a cat"});
    protectedContent.settings = "<w:documentProtection w:edit=\"readOnly\" w:enforcement=\"1\"/>";

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
        {"missing", 1, [&] { return path("missing.docx"); }, [] {}, engines::kReplaceFailed, 1, 0, false,
         false},
        {"folder", 1,
         [&] {
             wux::test::makeFolder(path("folder.docx"));
             return path("folder.docx");
         },
         [] {}, engines::kReplaceFailed, 1, 0, false, false},
        {"held", 1, [&] { return writeText("held.docx", "a cat"); },
         [&] {
             ASSERT_EQ(holder.open(path("held.docx"), platform::kAccessRead, platform::kShareRead,
                                   platform::Disposition::kOpenExisting),
                       platform::kErrorSuccess);
         },
         engines::kReplaceDocumentLocked, 1, 0, false, false},
        {"legacy", 1,
         [&] {
             wux::test::createFile(path("legacy.doc"),
                                   std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "x");
             return path("legacy.doc");
         },
         [] {}, engines::kReplaceFailed, 4, 0, false, false},
        {"protected", 1, [&] { return write("protected.docx", protectedContent); }, [] {},
         engines::kReplaceDocumentLocked, 5, 0, false, false},
        {"unsupported", 32, [&] { return writeText("between.docx", "a cat"); }, [] {},
         engines::kReplaceModeNotSupported, 6, 0, false, false},
        {"no match", 1, [&] { return writeText("nomatch.docx", "a dog"); }, [] {},
         engines::kReplaceNothingFound, 6, 0, false, false},
        {"just find", 128, [&] { return writeText("find.docx", "a cat, a cat"); }, [] {},
         engines::kReplaceFound, 6, 2, false, false},
        {"just find, none", 128, [&] { return writeText("findnone.docx", "a dog"); }, [] {},
         engines::kReplaceNothingFound, 6, 0, false, false},
        {"backup fails", 1, [&] { return writeText("bak.docx", "a cat"); },
         [&] { platform::injectFault(path("bak.docx.bak"), platform::kErrorDiskFull, platform::kFaultOpen); },
         engines::kReplaceFailed, 7, 1, false, false},
        {"save fails", 1, [&] { return writeText("save.docx", "a cat"); },
         [&] { platform::injectFault(path("save.docx"), platform::kErrorDiskFull, platform::kFaultWrite); },
         engines::kReplaceFailed, 8, 1, false, true},
        {"success", 1, [&] { return writeText("ok.docx", "a cat"); }, [] {}, engines::kReplaceFound, 8, 1,
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
        // The save failure is injected on the document's own path, which the backup name shares.
        core::TUserParameters caseParameters =
            test::replacerParameters(std::string_view(c.name) != "save fails");
        TMSWordReplacer replacer(&owner, c.mode, block, &caseParameters);
        EXPECT_EQ(replacer.ProcessFile(file), c.result);
        EXPECT_EQ(replacer.stage(), c.stage);
        EXPECT_EQ(replacer.matchCount(), c.matches);
        if (!wux::test::exists(file)) {
            EXPECT_EQ(replacer.fileSize(), -1);
        } else if (isFile) {
            EXPECT_EQ(replacer.fileSize(), static_cast<std::int64_t>(before.size()));
        }
        holder.close();
        platform::clearFaults();
        if (isFile) {
            const std::string after = wux::test::readFileBytes(file);
            EXPECT_EQ(after != before, c.changed);
            if (c.changed) {
                EXPECT_EQ(test::mainText(file), "a dog\r");
            }
        }
        EXPECT_EQ(wux::test::exists(file + ".bak"), c.backup && c.changed);
        if (c.backup && c.changed) {
            EXPECT_EQ(wux::test::readFileBytes(file + ".bak"), before);
        }
    }
    // Only the documents, the folder and the one backup of the success are left: no temporary file.
    EXPECT_EQ(wux::test::listNames(drive.root()),
              (std::vector<std::string>{"bak.docx", "between.docx", "find.docx", "findnone.docx",
                                        "folder.docx", "held.docx", "legacy.doc", "nomatch.docx", "ok.docx",
                                        "ok.docx.bak", "protected.docx", "save.docx"}));
}

TEST_F(WordReplacerTest, WithoutTheWordProcessorEveryDocumentFailsAtStage99)
{
    automation::ScopedClassRestore restore;
    automation::unregisterClass(automation::kWordApplicationProgId);
    const std::string first = writeText("one.docx", "a cat");
    const std::string second = writeText("two.docx", "a cat");
    const std::string bytes = wux::test::readFileBytes(first);
    const auto block = searchBlock("cat", "dog", 1);
    TMSWordReplacer replacer(&owner, 1, block, &parameters);
    EXPECT_EQ(replacer.ProcessFile(first), engines::kReplaceFailed);
    EXPECT_EQ(replacer.stage(), kStageConnect);
    EXPECT_TRUE(replacer.connectFailed());
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

TEST_F(WordReplacerTest, FiguresOfAFileAreResetWhenTheNextBegins)
{
    const std::string file = writeText("ok.docx", "a cat and a cat");
    const auto block = searchBlock("cat", "dog", 1);
    TMSWordReplacer replacer(&owner, 1, block, &parameters);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    EXPECT_EQ(replacer.matchCount(), 2);
    EXPECT_GT(replacer.fileSize(), 0);
    EXPECT_EQ(replacer.ProcessFile(path("gone.docx")), engines::kReplaceFailed);
    EXPECT_EQ(replacer.matchCount(), 0);
    EXPECT_EQ(replacer.fileSize(), -1);
}

TEST_F(WordReplacerTest, ModesOnTheWholeDocument)
{
    DocxContent content;
    content.body = para({"first cat"}) + para({"last"});
    const struct
    {
        std::int32_t mode;
        const char* find;
        const char* replace;
        const char* text;
        std::int32_t matches;
    } cases[] = {
        {1, "CAT", "dog", "first dog\rlast\r", 1}, // not case-sensitive: lower-cased in the block
        {2, "cat", "", " first \rlast\r", 1},      {8, "cat", "!", "first cat!\rlast\r", 1},
        {16, "cat", "!", "first !cat\rlast\r", 1}, {4, ">>", "", ">>first cat\rlast\r", 1},
        {64, "<<", "", "first cat\rlast<<\r", 1},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string file = write("m" + std::to_string(n++) + ".docx", content);
        const auto block = searchBlock(c.find, c.replace, c.mode);
        TMSWordReplacer replacer(&owner, c.mode, block, &parameters);
        EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound) << c.mode;
        EXPECT_EQ(replacer.stage(), kStageSave) << c.mode;
        EXPECT_EQ(replacer.matchCount(), c.matches) << c.mode;
        const std::string expected = c.mode == 2 ? "first \rlast\r" : c.text;
        EXPECT_EQ(test::mainText(file), expected) << c.mode;
    }
}

TEST_F(WordReplacerTest, TextsAreReadOnceAndServeEveryDocumentOfTheRun)
{
    const std::string a = writeText("a.docx", "one cat");
    const std::string b = writeText("b.docx", "two cats");
    const std::string c = writeText("c.docx", "no dogs");
    const auto block = searchBlock("cat", "dog", 1);
    const std::size_t objectsBefore = automation::liveObjectCount();
    auto replacer = std::make_unique<TMSWordReplacer>(&owner, 1, block, &parameters);
    EXPECT_EQ(replacer->ProcessFile(a), engines::kReplaceFound);
    TWordObject* first = replacer->application();
    EXPECT_EQ(replacer->cachedSearch().find, u"cat");
    EXPECT_EQ(replacer->cachedSearch().replace, u"dog");
    EXPECT_EQ(replacer->ProcessFile(b), engines::kReplaceFound);
    EXPECT_EQ(replacer->ProcessFile(c), engines::kReplaceNothingFound);
    EXPECT_EQ(replacer->application(), first); // one application object for the run
    // Freeing the replacer releases every automation object of the run.
    replacer.reset();
    EXPECT_EQ(automation::liveObjectCount(), objectsBefore);
    EXPECT_EQ(test::mainText(a), "one dog\r");
    EXPECT_EQ(test::mainText(b), "two dogs\r");
    EXPECT_FALSE(wux::test::exists(c + ".bak"));
}

TEST_F(WordReplacerTest, OptionsChooseTheStoriesAndAMissingKeyFailsTheDocument)
{
    DocxContent content;
    content.body =
        para({"main cat"}) + "<w:sectPr><w:headerReference w:type=\"default\" r:id=\"header1\"/></w:sectPr>";
    content.headers = {{"header1", para({"head cat"})}};
    parameters.SetValue("MSWORD_REPLACE_IN_HEADERSFOOTERS", "0");
    const std::string file = write("opt.docx", content);
    const auto block = searchBlock("cat", "dog", 1);
    {
        TMSWordReplacer replacer(&owner, 1, block, &parameters);
        EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
        EXPECT_EQ(replacer.matchCount(), 1);
    }
    const auto parts = wux::test::readZip(posix("opt.docx"));
    EXPECT_NE(parts.at("word/document.xml").find("main dog"), std::string::npos);
    EXPECT_NE(parts.at("word/header1.xml").find("head cat"), std::string::npos);

    parameters.Remove("MSWORD_REPLACE_IN_FOOTNOTES");
    const std::string other = write("opt2.docx", content);
    const std::string bytes = wux::test::readFileBytes(other);
    TMSWordReplacer replacer(&owner, 1, block, &parameters);
    EXPECT_EQ(replacer.ProcessFile(other), engines::kReplaceFailed);
    EXPECT_EQ(replacer.stage(), kStageProtection);
    EXPECT_EQ(wux::test::readFileBytes(other), bytes);
}

TEST_F(WordReplacerTest, WildcardsAndWholeWordsFromTheOptions)
{
    parameters.SetValue("MSWORD_USEWILDCARDS", "-1");
    const std::string file = writeText("wild.docx", "cat cut CAT cot");
    const auto block = searchBlock("C?t", "dog", 1);
    TMSWordReplacer replacer(&owner, 1, block, &parameters);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    EXPECT_EQ(replacer.cachedSearch().flags, static_cast<std::uint32_t>(kWordWildcards));
    EXPECT_EQ(test::mainText(file), "dog dog dog dog\r");

    parameters.SetValue("MSWORD_USEWILDCARDS", "0");
    parameters.SetValue("MSWORD_WHOLEWORD", "-1");
    const std::string words = writeText("words.docx", "cat concat cats cat");
    const auto wordBlock = searchBlock("cat", "dog", 1);
    TMSWordReplacer wordReplacer(&owner, 1, wordBlock, &parameters);
    EXPECT_EQ(wordReplacer.ProcessFile(words), engines::kReplaceFound);
    EXPECT_EQ(wordReplacer.matchCount(), 2);
    EXPECT_EQ(test::mainText(words), "dog concat cats dog\r");
}

TEST_F(WordReplacerTest, DosCharsetTextsAreTheUsersTexts)
{
    const std::string file = writeText("dos.docx", "Caf\xC3\xA9 \xC2\xBD");
    const auto block = searchBlock("Caf\xC3\xA9 \xC2\xBD", "na\xC3\xAFve", 1, false, false, true);
    TMSWordReplacer replacer(&owner, 1, block, &parameters);
    replacer.setOemTexts(true);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    EXPECT_EQ(replacer.cachedSearch().find, u"caf\u00E9 \u00BD");
    EXPECT_EQ(test::mainText(file), "na\xC3\xAFve\r");
    EXPECT_EQ(cp437ToUtf16("\x80\x9B\xE1\xFF\x41"), u"\u00C7\u00A2\u00DF\u00A0A");
}

TEST_F(WordReplacerTest, TableRowsApplyInOrderWithTheirInsertCodes)
{
    // Rows as the table block stores them: a row with an empty find text is skipped.
    const auto block = rawTableBlock(
        {{false, "cat", "lion", 3}, {true, "dog", "big ", 1}, {false, "", "x", 3}, {false, "bird", "s", 2}});
    const std::string file = writeText("table.docx", "Cat and dog and bird");
    TMSWordReplacer replacer(&owner, engines::kModeBatchTable, block, &parameters);
    replacer.setRowCount(4);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    EXPECT_EQ(replacer.matchCount(), 3);
    EXPECT_EQ(test::mainText(file), "lion and big dog and birds\r");

    // A row past the end of the block fails the document instead of reading past it.
    const std::string other = writeText("table2.docx", "cat");
    const std::string bytes = wux::test::readFileBytes(other);
    replacer.setRowCount(5);
    EXPECT_EQ(replacer.ProcessFile(other), engines::kReplaceFailed);
    EXPECT_EQ(replacer.stage(), kStageSearch);
    EXPECT_EQ(wux::test::readFileBytes(other), bytes);
}

TEST_F(WordReplacerTest, CompiledInsertCodesReachTheDocument)
{
    const auto block = tableBlock({"N", "N"}, {"dog", "bird"}, {"#U#big ", "#D#s"});
    const std::string file = writeText("codes.docx", "dog and bird");
    TMSWordReplacer replacer(&owner, engines::kModeBatchTable, block, &parameters);
    replacer.setRowCount(2);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    EXPECT_EQ(test::mainText(file), "big dog and birds\r");
}

TEST_F(WordReplacerTest, AnApplicationHoldingDocumentsIsLeftToItsUser)
{
    const std::string mine = writeText("user.docx", "user cat");
    const std::string file = writeText("run.docx", "run cat");
    const auto block = searchBlock("cat", "dog", 1);
    TMSWordReplacer replacer(&owner, 1, block, &parameters);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    // The user opens a document in the run's application.
    const auto app = replacer.application()->applicationObject();
    const auto docs = automation::asDispatch(app->get("Documents"));
    docs->call("Open", {automation::Variant(u"c:\\user.docx")});
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceNothingFound);
    EXPECT_NE(replacer.application()->applicationObject(), app);
    EXPECT_EQ(automation::toInt32(docs->get("Count")), 1); // still open in the user's application
    EXPECT_EQ(test::mainText(mine), "user cat\r");
}

TEST_F(WordReplacerTest, TheBackupTakesTheFirstFreeName)
{
    const std::string file = writeText("b.docx", "a cat");
    const std::string before = wux::test::readFileBytes(file);
    wux::test::createFile(file + ".bak", "older backup");
    const auto block = searchBlock("cat", "dog", 1);
    TMSWordReplacer replacer(&owner, 1, block, &parameters);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    EXPECT_EQ(wux::test::readFileBytes(file + ".bak"), "older backup");
    EXPECT_EQ(wux::test::readFileBytes(file + ".bak0"), before);
    EXPECT_EQ(test::mainText(file), "a dog\r");
}

TEST_F(WordReplacerTest, AnOutputFolderReceivesTheChangedDocument)
{
    const std::string file = writeText("moved.docx", "a cat");
    wux::test::makeFolder(path("out"));
    const auto block = searchBlock("cat", "dog", 1);
    core::TUserParameters noBackup = test::replacerParameters(false);
    TMSWordReplacer replacer(&owner, 1, block, &noBackup);
    replacer.setOutputFolder(path("out"));
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    EXPECT_EQ(replacer.stage(), kStageSave);
    EXPECT_FALSE(wux::test::exists(file));
    EXPECT_EQ(test::mainText(path("out\\moved.docx")), "a dog\r");
}

TEST_F(WordReplacerTest, AStopRequestFailsTheDocumentAndLeavesItUntouched)
{
    const std::string file = writeText("stop.docx", "a cat");
    const std::string bytes = wux::test::readFileBytes(file);
    const auto block = searchBlock("cat", "dog", 1);
    TMSWordReplacer replacer(&owner, 1, block, &parameters);
    owner.Terminate();
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFailed);
    EXPECT_EQ(replacer.stage(), kStageSearch);
    EXPECT_EQ(wux::test::readFileBytes(file), bytes);
    EXPECT_FALSE(wux::test::exists(file + ".bak"));
}

} // namespace
} // namespace wux::office
