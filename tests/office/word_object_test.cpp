#include "office/word_object.h"

#include <gtest/gtest.h>

#include <string>

#include "office/document_replacer.h"
#include "office_test_support.h"
#include "platform/automation/word_server.h"
#include "support/file_builders.h"
#include "support/packages.h"
#include "support/temp_drive.h"

namespace wux::office {
namespace {

namespace automation = platform::automation;
using wux::test::DocxContent;
using wux::test::para;

const std::string kBarrier = "\xEF\xBF\xBF"; // a note reference in the flat text

// A document with text in every story the passes reach: the main text (a hit split across runs, and a
// note reference), a header, a footer, a footnote and an endnote.
DocxContent richDocument()
{
    DocxContent content;
    content.body =
        para({"The cat sat. "}) +
        "<w:p><w:r><w:t xml:space=\"preserve\">Con</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>c</w:t>"
        "</w:r><w:r><w:t>at</w:t></w:r><w:r><w:footnoteReference w:id=\"1\"/></w:r>"
        "<w:r><w:endnoteReference w:id=\"1\"/></w:r></w:p>"
        "<w:sectPr><w:headerReference w:type=\"default\" r:id=\"header1\"/>"
        "<w:footerReference w:type=\"default\" r:id=\"footer1\"/></w:sectPr>";
    content.headers = {{"header1", para({"Header cat"})}};
    content.footers = {{"footer1", para({"Footer cat"})}};
    const std::string separators =
        "<w:footnote w:type=\"separator\" w:id=\"-1\"><w:p><w:r><w:separator/></w:r></w:p></w:footnote>"
        "<w:footnote w:type=\"continuationSeparator\" w:id=\"0\"><w:p><w:r><w:continuationSeparator/></w:r>"
        "</w:p></w:footnote>";
    content.footnotes =
        separators +
        "<w:footnote w:id=\"1\"><w:p><w:r><w:footnoteRef/></w:r><w:r><w:t xml:space=\"preserve\"> "
        "Note cat</w:t></w:r></w:p></w:footnote>";
    content.endnotes =
        "<w:endnote w:id=\"1\"><w:p><w:r><w:endnoteRef/></w:r><w:r><w:t xml:space=\"preserve\"> "
        "End cat</w:t></w:r></w:p></w:endnote>";
    return content;
}

class TWordObjectTest : public wux::test::TempDriveTest
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

    // One search-and-change of the whole document in a mode; the main text afterwards and the count.
    std::pair<std::string, int> change(const std::string& text, std::int32_t mode, const std::u16string& find,
                                       const std::u16string& replace, std::uint32_t flags = 0)
    {
        const std::string file = writeText("doc" + std::to_string(counter_++) + ".docx", text);
        TWordObject word(&owner);
        EXPECT_TRUE(word.connected());
        word.setReplaceMode(mode);
        word.OpenDocument(file);
        word.ReplaceAll(find, replace, flags);
        word.SaveDocument("");
        word.CloseDocument();
        return {test::mainText(file), word.matchCount()};
    }

    test::IdleOwner owner;
    int counter_ = 0;
};

TEST_F(TWordObjectTest, ConnectsToTheServerAndStaysUnconnectedWithoutIt)
{
    {
        TWordObject word(&owner);
        EXPECT_TRUE(word.connected());
        EXPECT_EQ(word.replaceMode(), 1);
        EXPECT_EQ(word.DocumentCount(), 0);
        EXPECT_FALSE(word.hasDocument());
        const auto app = word.applicationObject();
        EXPECT_EQ(automation::toInt32(app->get("DisplayAlerts")), 0);
        word.SetVisible(false);
        EXPECT_FALSE(automation::toBool(app->get("Visible")));
        word.Disconnect(true);
        EXPECT_FALSE(word.connected());
        EXPECT_EQ(word.applicationObject(), nullptr);
    }
    automation::ScopedClassRestore restore;
    automation::unregisterClass(automation::kWordApplicationProgId);
    TWordObject word(&owner);
    EXPECT_FALSE(word.connected());
    EXPECT_THROW(word.DocumentCount(), std::exception);
}

TEST_F(TWordObjectTest, OpenCountsFromZeroAndFailsOnWhatTheServerCannotRead)
{
    TWordObject word(&owner);
    const std::string file = writeText("a.docx", "abc");
    word.OpenDocument(file);
    EXPECT_TRUE(word.hasDocument());
    EXPECT_EQ(word.DocumentCount(), 1);
    EXPECT_FALSE(word.IsProtected());
    word.CloseDocument();
    EXPECT_FALSE(word.hasDocument());
    EXPECT_EQ(word.DocumentCount(), 0);

    wux::test::createFile(path("old.doc"), std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "rest");
    EXPECT_THROW(word.OpenDocument(path("old.doc")), automation::AutomationError);
    EXPECT_THROW(word.OpenDocument(path("missing.docx")), automation::AutomationError);
    EXPECT_FALSE(word.hasDocument());
    EXPECT_EQ(word.matchCount(), 0);
}

TEST_F(TWordObjectTest, ProtectionIsAnyTypeButMinusOne)
{
    DocxContent content;
    content.body = para({"x"});
    content.settings = "<w:documentProtection w:edit=\"readOnly\" w:enforcement=\"1\"/>";
    TWordObject word(&owner);
    word.OpenDocument(write("p.docx", content));
    EXPECT_TRUE(word.IsProtected());
    word.CloseDocument();
    content.settings = "<w:documentProtection w:edit=\"readOnly\" w:enforcement=\"0\"/>";
    word.OpenDocument(write("q.docx", content));
    EXPECT_FALSE(word.IsProtected());
}

TEST_F(TWordObjectTest, ModesChangeEveryHitOnce)
{
    const struct
    {
        std::int32_t mode;
        const char* text;
        const char16_t* find;
        const char16_t* replace;
        std::uint32_t flags;
        const char* result;
        int count;
    } cases[] = {
        {1, "one cat, two cats", u"cat", u"dog", 0, "one dog, two dogs\r", 2},
        {1, "one cat, two cats", u"cat", u"dog", kWordWholeWord, "one dog, two cats\r", 1},
        {1, "one cat, two Cats", u"Cat", u"dog", kWordCaseSensitive, "one cat, two dogs\r", 1},
        {1, "abc and abc", u"abc", u"[^&]", 0, "[abc] and [abc]\r", 2},
        {256, "abc", u"b", u"^&^&", 0, "abbc\r", 1},
        {1, "banana", u"a", u"aa", 0, "baanaanaa\r", 3},
        {1, "abb", u"ab", u"xa", 0, "xab\r", 1},
        {2, "one cat, two cats", u"cat", u"", 0, "one , two s\r", 2},
        {8, "one cat, two cats", u"cat", u"!", 0, "one cat!, two cat!s\r", 2},
        {16, "one cat, two cats", u"cat", u"!", 0, "one !cat, two !cats\r", 2},
        {128, "one cat, two cats", u"cat", u"!", 0, "one cat, two cats\r", 2},
        {1, "nothing here", u"cat", u"dog", 0, "nothing here\r", 0},
        {1, "cat", u"cat", u"dog", kWordSkipMainText | kWordSkipHeadersFooters | kWordSkipNotes, "cat\r", 0},
    };
    for (const auto& c : cases) {
        const auto [text, count] = change(c.text, c.mode, c.find, c.replace, c.flags);
        EXPECT_EQ(text, c.result) << "mode " << c.mode << " in '" << c.text << "'";
        EXPECT_EQ(count, c.count) << "mode " << c.mode << " in '" << c.text << "'";
    }
}

TEST_F(TWordObjectTest, PassesReachHeadersFootersAndNotes)
{
    const struct
    {
        std::uint32_t flags;
        int count;
        bool main, headers, notes;
    } cases[] = {
        {0, 6, true, true, true},
        {kWordSkipMainText, 4, false, true, true},
        {kWordSkipHeadersFooters, 4, true, false, true},
        {kWordSkipNotes, 4, true, true, false},
        {kWordSkipHyperlinks, 6, true, true, true},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string name = "rich" + std::to_string(n++) + ".docx";
        const std::string file = write(name, richDocument());
        TWordObject word(&owner);
        word.OpenDocument(file);
        word.ReplaceAll(u"cat", u"[^&]", c.flags);
        EXPECT_EQ(word.matchCount(), c.count) << c.flags;
        word.SaveDocument("");
        word.CloseDocument();
        const auto parts = wux::test::readZip(posix(name));
        const auto has = [&](const char* part, const char* text) {
            return parts.at(part).find(text) != std::string::npos;
        };
        EXPECT_EQ(has("word/document.xml", "The [cat] sat."), c.main) << c.flags;
        EXPECT_EQ(has("word/header1.xml", "Header [cat]"), c.headers) << c.flags;
        EXPECT_EQ(has("word/footer1.xml", "Footer [cat]"), c.headers) << c.flags;
        EXPECT_EQ(has("word/footnotes.xml", "Note [cat]"), c.notes) << c.flags;
        EXPECT_EQ(has("word/endnotes.xml", "End [cat]"), c.notes) << c.flags;
        if (c.main) {
            EXPECT_EQ(test::mainText(file), "The [cat] sat. \rCon[cat]" + kBarrier + kBarrier + "\r");
        }
        // The untouched parts are copied byte for byte.
        EXPECT_EQ(parts.at("word/media/image1.png"), richDocument().image);
    }
}

TEST_F(TWordObjectTest, InsertsAtTheHeadAndTheFootOfTheMainText)
{
    DocxContent content;
    content.body = para({"first"}) + para({"last"});
    for (std::int32_t mode : {4, 64, 1}) {
        const std::string file = write("ins" + std::to_string(mode) + ".docx", content);
        TWordObject word(&owner);
        word.setReplaceMode(mode);
        word.OpenDocument(file);
        word.InsertHeadFoot(u">>");
        EXPECT_EQ(word.matchCount(), 1);
        word.SaveDocument("");
        word.CloseDocument();
        const std::string expected = mode == 4    ? ">>first\rlast\r"
                                     : mode == 64 ? "first\rlast>>\r"
                                                  : "first\rlast\r";
        EXPECT_EQ(test::mainText(file), expected) << mode;
    }
}

TEST_F(TWordObjectTest, AStopRequestRaisesBeforeTheNextSearch)
{
    const std::string file = writeText("stop.docx", "cat cat");
    const std::string bytes = wux::test::readFileBytes(file);
    TWordObject word(&owner);
    word.OpenDocument(file);
    owner.Terminate();
    try {
        word.ReplaceAll(u"cat", u"dog", 0);
        FAIL() << "no stop";
    } catch (const EOperationStopped& stop) {
        EXPECT_STREQ(stop.what(), "");
    }
    EXPECT_EQ(word.matchCount(), 0);
    word.CloseDocument();
    EXPECT_EQ(wux::test::readFileBytes(file), bytes);
}

TEST(ExpandFoundTextTest, ReplacesEveryFoundTextCode)
{
    EXPECT_EQ(expandFoundText(u"[^&]", u"abc"), u"[abc]");
    EXPECT_EQ(expandFoundText(u"^&-^&", u"x"), u"x-x");
    EXPECT_EQ(expandFoundText(u"^", u"x"), u"^");
    EXPECT_EQ(expandFoundText(u"a^b&", u"x"), u"a^b&");
    EXPECT_EQ(expandFoundText(u"", u"x"), u"");
}

} // namespace
} // namespace wux::office
