#include "office/openoffice_replacer.h"
#include "office/word_replacer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engines/base_replacer.h"
#include "office_test_support.h"
#include "support/file_builders.h"
#include "support/packages.h"
#include "support/temp_drive.h"

namespace wux::office {
namespace {

namespace automation = platform::automation;
using engines::TReplaceResult;
using wux::test::DocxContent;
using wux::test::para;

class WordReplacerTest : public test::BlockTest
{
protected:
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
};

// The backup flag is a parameter of the run: a missing or non-Boolean one refuses the replacer.
TEST_F(WordReplacerTest, AMissingOrBadBackupParameterIsRefused)
{
    const auto block = searchBlock("a", "b", 1);
    core::TUserParameters none("Replacer");
    EXPECT_THROW(TMSWordReplacer(&owner, 1, block, &none), core::EParameterAbsent);
    EXPECT_THROW(TOOWriterReplacer(&owner, 1, block, &none), core::EParameterAbsent);
    none.SetInternalValue("CreateBackUpCopy", "maybe");
    EXPECT_THROW(TMSWordReplacer(&owner, 1, block, &none), std::runtime_error);
    EXPECT_THROW(TOOWriterReplacer(&owner, 1, block, &none), std::runtime_error);
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

} // namespace
} // namespace wux::office
