#include <gtest/gtest.h>

#include <sstream>

#include "platform/automation/docx_story.h"
#include "platform/automation/odt_story.h"
#include "platform/automation/package.h"
#include "platform/automation/text_story.h"
#include "platform/automation/variant.h"
#include "support/packages.h"

namespace wux::platform::automation {
namespace {

constexpr char16_t B = kBarrierChar;

class StoryTest : public ::testing::Test
{
protected:
    // Loads a body and builds its story.
    void load(const std::string& bodyInner)
    {
        const std::string xml =
            "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/"
            "main\" xmlns:w14=\"x\"><w:body>" +
            bodyInner + "</w:body></w:document>";
        ASSERT_TRUE(doc.load_string(xml.c_str(), kXmlParseFlags));
        story = std::make_unique<TextStory>(DocxDialect::instance(), nullptr);
        addDocxBlocks(*story, "word/document.xml", body());
        story->finish();
    }
    pugi::xml_node body() { return doc.document_element().first_child(); }
    std::string bodyXml()
    {
        std::ostringstream out;
        for (pugi::xml_node c = body().first_child(); c; c = c.next_sibling())
            c.print(out, "", kXmlSaveFlags);
        return out.str();
    }
    // The story rebuilt from the XML equals the cached one.
    void expectConsistent()
    {
        TextStory fresh(DocxDialect::instance(), nullptr);
        addDocxBlocks(fresh, "word/document.xml", body());
        fresh.finish();
        EXPECT_EQ(fresh.flatText(), story->flatText());
        ASSERT_EQ(fresh.paragraphs().size(), story->paragraphs().size());
        for (std::size_t i = 0; i < fresh.paragraphs().size(); ++i) {
            EXPECT_EQ(fresh.paragraphs()[i].start, story->paragraphs()[i].start);
            EXPECT_EQ(fresh.paragraphs()[i].lastInContainer, story->paragraphs()[i].lastInContainer);
        }
    }

    pugi::xml_document doc;
    std::unique_ptr<TextStory> story;
};

TEST_F(StoryTest, FlatTextOfRunsTabsBreaksTablesAndObjects)
{
    load(
        "<w:p><w:pPr><w:jc w:val=\"left\"/></w:pPr><w:r><w:t>Hel</w:t></w:r><w:proofErr/>"
        "<w:bookmarkStart w:id=\"0\" w:name=\"b\"/><w:r><w:rPr><w:i/></w:rPr><w:t>lo</w:t></w:r>"
        "<w:bookmarkEnd w:id=\"0\"/><w:del><w:r><w:delText>gone</w:delText></w:r></w:del></w:p>"
        "<w:p><w:hyperlink r:id=\"x\" xmlns:r=\"r\"><w:r><w:t>x</w:t><w:tab/><w:t>y</w:t></w:r></w:hyperlink>"
        "<w:r><w:br/><w:br w:type=\"page\"/><w:footnoteReference w:id=\"1\"/><w:noBreakHyphen/></w:r></w:p>"
        "<w:tbl><w:tblPr/><w:tr><w:tc><w:p><w:r><w:t>c1</w:t></w:r></w:p></w:tc>"
        "<w:tc><w:p><w:r><w:t>c2</w:t></w:r></w:p><w:p/></w:tc></w:tr></w:tbl>"
        "<w:p><w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText>PAGE</w:instrText></w:r>"
        "<w:r><w:fldChar w:fldCharType=\"separate\"/></w:r><w:r><w:t>7</w:t></w:r>"
        "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r><w:r><w:t> end</w:t></w:r></w:p>"
        "<w:sectPr/>");
    const std::u16string expected = std::u16string(u"Hello\rx\ty\v\f") + B + u"\x1e\r" + B + u"c1\r" + B +
                                    u"c2\r\r" + B + B + B + u" end\r";
    EXPECT_EQ(story->flatText(), expected);
    // Barriers: objects, separators, the last mark of each container.
    EXPECT_FALSE(story->isBarrier(5));                         // first mark
    EXPECT_TRUE(story->isBarrier(expected.find(u"\x1e") + 1)); // last mark of the first container
    EXPECT_TRUE(story->isBarrier(expected.find(u"c1") + 2));   // the only mark of cell 1
    EXPECT_FALSE(story->isBarrier(expected.find(u"c2") + 2));  // first of two marks in cell 2
    EXPECT_TRUE(story->isBarrier(expected.size() - 1));
    EXPECT_TRUE(story->endsWithParagraphMark());
}

TEST_F(StoryTest, ReplacementKeepsTheFormattingOfUnchangedText)
{
    load("<w:p><w:r><w:rPr><w:b/></w:rPr><w:t>Hel</w:t></w:r><w:r><w:t xml:space=\"preserve\">lo "
         "world</w:t></w:r></w:p>");
    story->replace(2, 5, u"LP");
    EXPECT_EQ(story->flatText(), u"HeLP world\r");
    EXPECT_EQ(bodyXml(), "<w:p><w:r><w:rPr><w:b/></w:rPr><w:t>HeLP</w:t></w:r>"
                         "<w:r><w:t xml:space=\"preserve\"> world</w:t></w:r></w:p>");
    expectConsistent();
}

TEST_F(StoryTest, BookmarksMoveToTheEditPoint)
{
    load("<w:p><w:r><w:t>ab</w:t></w:r><w:bookmarkStart w:id=\"1\" w:name=\"m\"/><w:r><w:t>cd</w:t></w:r>"
         "<w:bookmarkEnd w:id=\"1\"/></w:p>");
    story->replace(1, 3, u"X");
    EXPECT_EQ(story->flatText(), u"aXd\r");
    EXPECT_EQ(bodyXml(), "<w:p><w:r><w:t>aX</w:t></w:r><w:bookmarkStart w:id=\"1\" w:name=\"m\"/>"
                         "<w:r><w:t>d</w:t></w:r><w:bookmarkEnd w:id=\"1\"/></w:p>");
    // Deleting all text around the bookmark keeps it.
    story->replace(0, 3, u"");
    EXPECT_EQ(story->flatText(), u"\r");
    EXPECT_EQ(bodyXml(), "<w:p><w:bookmarkStart w:id=\"1\" w:name=\"m\"/><w:bookmarkEnd w:id=\"1\"/></w:p>");
    expectConsistent();
}

TEST_F(StoryTest, RefusesBarriersAndTheLastMarkOfAContainer)
{
    load("<w:p><w:r><w:t>a</w:t><w:footnoteReference w:id=\"2\"/><w:t>b</w:t></w:r></w:p>"
         "<w:tbl><w:tr><w:tc><w:p><w:r><w:t>cell</w:t></w:r></w:p></w:tc></w:tr></w:tbl><w:p/>");
    const std::string before = bodyXml();
    const std::u16string flat = story->flatText();
    EXPECT_THROW(story->replace(0, 3, u"x"), AutomationError); // crosses the note reference
    EXPECT_THROW(story->replace(2, 4, u""), AutomationError);  // deletes the body container's last mark
    const std::size_t cell = flat.find(u"cell");
    EXPECT_THROW(story->replace(cell, cell + 5, u""), AutomationError); // the cell's mark
    EXPECT_THROW(story->replace(4, 4, u"x"), AutomationError);          // between containers
    EXPECT_THROW(story->replace(0, 1, u"a\x01"), AutomationError);      // not an XML character
    EXPECT_THROW(story->replace(0, 1, std::u16string(1, char16_t(0xD800))), AutomationError);
    EXPECT_EQ(bodyXml(), before);
    EXPECT_EQ(story->flatText(), flat);
    story->replace(cell, cell + 4, u"CELL");
    EXPECT_EQ(story->text(cell, cell + 4), u"CELL");
    expectConsistent();
}

TEST_F(StoryTest, DeletedMarksMergeParagraphs)
{
    load("<w:p><w:pPr><w:jc w:val=\"center\"/></w:pPr><w:r><w:t>ab</w:t></w:r></w:p>"
         "<w:p><w:pPr><w:jc "
         "w:val=\"right\"/></w:pPr><w:r><w:rPr><w:i/></w:rPr><w:t>cd</w:t></w:r></w:p><w:p/>");
    story->replace(1, 4, u"");
    EXPECT_EQ(story->flatText(), u"ad\r\r");
    EXPECT_EQ(bodyXml(), "<w:p><w:pPr><w:jc w:val=\"center\"/></w:pPr><w:r><w:t>a</w:t></w:r>"
                         "<w:r><w:rPr><w:i/></w:rPr><w:t>d</w:t></w:r></w:p><w:p/>");
    expectConsistent();
}

TEST_F(StoryTest, SectionBreaksAreKeptOnMergeAndSplit)
{
    load("<w:p><w:pPr><w:sectPr><w:titlePg/></w:sectPr></w:pPr><w:r><w:t>one</w:t></w:r></w:p>"
         "<w:p><w:r><w:t>two</w:t></w:r></w:p>"
         "<w:p><w:pPr><w:sectPr/></w:pPr><w:r><w:t>three</w:t></w:r></w:p><w:p/>");
    // The first mark carries a section break: refused.
    EXPECT_THROW(story->replace(2, 5, u""), AutomationError);
    // Merging "two" into... the third paragraph's break survives in the merged paragraph.
    story->replace(6, 9, u"");
    EXPECT_EQ(story->flatText(), u"one\rtwhree\r\r");
    EXPECT_EQ(bodyXml(),
              "<w:p><w:pPr><w:sectPr><w:titlePg/></w:sectPr></w:pPr><w:r><w:t>one</w:t></w:r></w:p>"
              "<w:p><w:pPr><w:sectPr/></w:pPr><w:r><w:t>tw</w:t></w:r><w:r><w:t>hree</w:t></w:r></w:p>"
              "<w:p/>");
    // A split keeps the break with the last piece and copies the other properties.
    story->replace(1, 1, u"\r");
    EXPECT_EQ(story->flatText(), u"o\rne\rtwhree\r\r");
    EXPECT_EQ(bodyXml(),
              "<w:p><w:pPr/><w:r><w:t>o</w:t></w:r></w:p>"
              "<w:p><w:pPr><w:sectPr><w:titlePg/></w:sectPr></w:pPr><w:r><w:t>ne</w:t></w:r></w:p>"
              "<w:p><w:pPr><w:sectPr/></w:pPr><w:r><w:t>tw</w:t></w:r><w:r><w:t>hree</w:t></w:r></w:p>"
              "<w:p/>");
    expectConsistent();
}

TEST_F(StoryTest, InsertsControlCharactersAndParagraphsInsideRuns)
{
    load("<w:p w14:paraId=\"1A\"><w:pPr><w:jc w:val=\"both\"/></w:pPr><w:hyperlink "
         "w:anchor=\"x\"><w:r><w:rPr><w:b/></w:rPr>"
         "<w:t>abcd</w:t></w:r></w:hyperlink></w:p><w:p/>");
    story->replace(2, 2, u"\t-\r+");
    EXPECT_EQ(story->flatText(), u"ab\t-\r+cd\r\r");
    EXPECT_EQ(
        bodyXml(),
        "<w:p w14:paraId=\"1A\"><w:pPr><w:jc w:val=\"both\"/></w:pPr><w:hyperlink "
        "w:anchor=\"x\"><w:r><w:rPr><w:b/></w:rPr>"
        "<w:t>ab</w:t><w:tab/><w:t xml:space=\"preserve\">-</w:t></w:r></w:hyperlink></w:p>"
        "<w:p><w:pPr><w:jc w:val=\"both\"/></w:pPr><w:hyperlink w:anchor=\"x\"><w:r><w:rPr><w:b/></w:rPr>"
        "<w:t xml:space=\"preserve\">+</w:t><w:t>cd</w:t></w:r></w:hyperlink></w:p><w:p/>");
    expectConsistent();
}

TEST_F(StoryTest, InsertsIntoEmptyParagraphsWithTheMarkFormatting)
{
    load("<w:p><w:pPr><w:rPr><w:b/></w:rPr></w:pPr></w:p><w:p><w:r><w:drawing/></w:r></w:p><w:p/>");
    story->replace(0, 0, u"new", true);
    EXPECT_EQ(story->flatText(), std::u16string(u"new\r") + B + u"\r\r");
    story->replace(4, 4, u"pic:", true);
    EXPECT_EQ(bodyXml(), "<w:p><w:pPr><w:rPr><w:b/></w:rPr></w:pPr><w:r><w:rPr><w:b/></w:rPr>"
                         "<w:t xml:space=\"preserve\">new</w:t></w:r></w:p>"
                         "<w:p><w:r><w:t xml:space=\"preserve\">pic:</w:t><w:drawing/></w:r></w:p><w:p/>");
    expectConsistent();
}

TEST_F(StoryTest, EditsKeepCharactersOutsideTheBasicPlaneAndReplaceBadBytes)
{
    // Valid UTF-8 is changed in place; a holder with bytes that are not UTF-8 is written again whole,
    // with U+FFFD for the bad bytes, as before.
    load("<w:p><w:r><w:t>a\xF0\x9F\x98\x80"
         "b\xC3\xA9</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>x\xFFy</w:t></w:r></w:p><w:p/>");
    EXPECT_EQ(story->text(0, 8), std::u16string(u"a\U0001F600b\u00e9x\uFFFDy"));
    story->replace(3, 4, u"B");
    story->replace(1, 1, u"<");
    story->replace(6, 6, u"\t");
    story->replace(8, 9, u"Z");
    EXPECT_EQ(story->text(0, 11), std::u16string(u"a<\U0001F600B\u00e9\txZy\r"));
    EXPECT_EQ(bodyXml(), "<w:p><w:r><w:t>a&lt;\xF0\x9F\x98\x80"
                         "B\xC3\xA9</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:tab/><w:t>xZy</w:t></w:r></w:p>"
                         "<w:p/>");
    story->replace(2, 4, u"");
    EXPECT_EQ(story->text(0, 4), u"a<B\u00e9");
    expectConsistent();
}

TEST_F(StoryTest, EditsAfterLongRunsOfOtherThanAsciiLandWhereTheyShould)
{
    load("<w:p><w:r><w:t>\xC3\xA4\xC3\xB6\xC3\xBC\xC3\xA4\xC3\xB6\xC3\xBC\xC3\xA4\xC3\xB6 "
         "end</w:t></w:r></w:p>");
    story->replace(9, 12, u"END");
    EXPECT_EQ(bodyXml(), "<w:p><w:r><w:t>\xC3\xA4\xC3\xB6\xC3\xBC\xC3\xA4\xC3\xB6\xC3\xBC\xC3\xA4\xC3\xB6 "
                         "END</w:t></w:r></w:p>");
    expectConsistent();
}

TEST_F(StoryTest, SetRangeKeepsCommonPrefixAndSuffix)
{
    load("<w:p><w:r><w:rPr><w:b/></w:rPr><w:t>The </w:t></w:r><w:r><w:t>quick</w:t></w:r>"
         "<w:r><w:rPr><w:i/></w:rPr><w:t> fox</w:t></w:r></w:p><w:p/>");
    story->setRange(0, 13, u"The slow fox");
    EXPECT_EQ(story->flatText(), u"The slow fox\r\r");
    EXPECT_EQ(bodyXml(), "<w:p><w:r><w:rPr><w:b/></w:rPr><w:t>The </w:t></w:r><w:r><w:t>slow</w:t></w:r>"
                         "<w:r><w:rPr><w:i/></w:rPr><w:t> fox</w:t></w:r></w:p><w:p/>");
    expectConsistent();
}

TEST_F(StoryTest, ManyEditsKeepOffsetsRight)
{
    std::string body;
    for (int i = 0; i < 50; ++i)
        body += "<w:p><w:r><w:t>ab ab</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>ab</w:t></w:r></w:p>";
    load(body + "<w:p/>");
    std::size_t pos = 0;
    int edits = 0;
    for (;;) {
        const std::u16string flat = story->flatText();
        pos = flat.find(u"ab", pos);
        if (pos == std::u16string::npos)
            break;
        story->replace(pos, pos + 2, u"xyz");
        pos += 3;
        ++edits;
    }
    EXPECT_EQ(edits, 150);
    EXPECT_EQ(story->text(0, 12), u"xyz xyzxyz\rx");
    expectConsistent();
}

TEST_F(StoryTest, RandomEditsMatchAPlainStringModel)
{
    std::string body;
    for (int i = 0; i < 12; ++i) {
        body +=
            "<w:p><w:r><w:t>al</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t xml:space=\"preserve\">pha </w:t>"
            "<w:tab/></w:r><w:bookmarkStart w:id=\"3\" w:name=\"b\"/><w:r><w:t>beta</w:t></w:r></w:p>";
        if (i % 4 == 3)
            body += "<w:tbl><w:tr><w:tc><w:p><w:r><w:t>c</w:t></w:r></w:p><w:p/></w:tc></w:tr></w:tbl>";
    }
    load(body + "<w:p/>");
    std::u16string model = story->flatText();
    unsigned seed = 12345;
    auto next = [&](unsigned bound) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % bound;
    };
    const char16_t* inserts[] = {u"", u"x", u"YZ", u"\t", u"a\rb", u"\r", u"long text "};
    int applied = 0;
    for (int step = 0; step < 400; ++step) {
        const std::size_t s = next(static_cast<unsigned>(model.size()));
        const std::size_t e = std::min(model.size(), s + next(6));
        const std::u16string x = inserts[next(7)];
        try {
            story->replace(s, e, x, next(2) == 0);
            model.replace(s, e - s, x);
            ++applied;
        } catch (const AutomationError&) {
        }
        ASSERT_EQ(story->flatText(), model) << "step " << step;
        ASSERT_EQ(story->length(), model.size());
    }
    EXPECT_GT(applied, 100);
    expectConsistent();
}

TEST_F(StoryTest, HostileNestingIsNotFollowed)
{
    std::string inner = "<w:r><w:t>deep</w:t></w:r>";
    std::string cells = "<w:p><w:r><w:t>cell</w:t></w:r></w:p>";
    for (int i = 0; i < 20000; ++i) {
        inner = "<w:ins>" + inner + "</w:ins>";
        if (i < 5000)
            cells = "<w:tbl><w:tr><w:tc>" + cells + "</w:tc></w:tr></w:tbl><w:p/>";
    }
    load("<w:p><w:r><w:t>top </w:t></w:r>" + inner + "</w:p>" + cells);
    const std::u16string flat = story->flatText();
    EXPECT_EQ(flat.substr(0, 6), std::u16string(u"top ") + kBarrierChar + u"\r");
    story->replace(0, 3, u"TOP");
    EXPECT_EQ(story->text(0, 4), u"TOP ");
}

// The same dialects with edits inside a paragraph done the long way: the whole paragraph cleaned up,
// re-encoded and scanned again. Edits done locally must give the same XML, byte for byte.
class WholeDocx : public DocxDialect
{
public:
    bool editsLocally() const override { return false; }
};

class WholeOdt : public OdtDialect
{
public:
    using OdtDialect::OdtDialect;
    bool editsLocally() const override { return false; }
};

std::string xmlOf(const pugi::xml_document& doc)
{
    std::ostringstream out;
    doc.save(out, "", kXmlSaveFlags);
    return out.str();
}

// Applies the same random edits to both stories and compares text and XML after each step; returns the
// number of edits applied.
int compareRandomEdits(TextStory& local, const pugi::xml_document& localDoc, TextStory& whole,
                       const pugi::xml_document& wholeDoc, const std::vector<std::u16string>& inserts,
                       int steps, unsigned seed)
{
    auto next = [&](unsigned bound) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % bound;
    };
    int applied = 0;
    for (int step = 0; step < steps; ++step) {
        const std::size_t length = local.length();
        const std::size_t s = next(static_cast<unsigned>(length));
        const std::size_t e = std::min(length, s + next(5));
        const std::u16string& x = inserts[next(static_cast<unsigned>(inserts.size()))];
        const bool before = next(2) == 0;
        bool refusedLocal = false, refusedWhole = false;
        try {
            local.replace(s, e, x, before);
        } catch (const AutomationError&) {
            refusedLocal = true;
        }
        try {
            whole.replace(s, e, x, before);
        } catch (const AutomationError&) {
            refusedWhole = true;
        }
        EXPECT_EQ(refusedLocal, refusedWhole) << "step " << step;
        applied += refusedLocal ? 0 : 1;
        EXPECT_EQ(local.flatText(), whole.flatText()) << "step " << step;
        EXPECT_EQ(xmlOf(localDoc), xmlOf(wholeDoc)) << "step " << step;
        if (::testing::Test::HasFailure())
            break;
    }
    return applied;
}

TEST(StoryLocalEditTest, DocxEditsInsideParagraphsMatchWholeParagraphEdits)
{
    // Long paragraphs of many runs, marks, links, objects and empty runs, and one with a field.
    std::string body = "<w:p><w:pPr><w:jc w:val=\"left\"/></w:pPr>";
    for (int i = 0; i < 15; ++i)
        body += "<w:r><w:t>ab</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t xml:space=\"preserve\">cd </w:t>"
                "<w:tab/></w:r><w:bookmarkStart w:id=\"1\" w:name=\"m\"/><w:r><w:rPr/></w:r><w:proofErr/>"
                "<w:hyperlink w:anchor=\"x\"><w:r><w:t>ef</w:t><w:br/><w:t>g</w:t></w:r></w:hyperlink>"
                "<w:bookmarkEnd w:id=\"1\"/><w:r><w:t>h</w:t><w:footnoteReference w:id=\"2\"/></w:r>";
    body += "</w:p><w:p><w:r><w:t>one</w:t></w:r><w:r><w:fldChar w:fldCharType=\"begin\"/></w:r>"
            "<w:r><w:instrText>PAGE</w:instrText></w:r><w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>"
            "<w:r><w:t>7</w:t></w:r><w:r><w:fldChar w:fldCharType=\"end\"/></w:r><w:r><w:t>two ab</w:t></w:r>"
            "</w:p><w:p><w:r><w:t>last</w:t></w:r></w:p>";
    const std::string xml = std::string("<w:document xmlns:w=\"") + test::kWordNs + "\"><w:body>" + body +
                            "</w:body></w:document>";
    pugi::xml_document localDoc, wholeDoc;
    ASSERT_TRUE(localDoc.load_string(xml.c_str(), kXmlParseFlags));
    ASSERT_TRUE(wholeDoc.load_string(xml.c_str(), kXmlParseFlags));
    const WholeDocx wholeDialect;
    TextStory local(DocxDialect::instance(), nullptr), whole(wholeDialect, nullptr);
    addDocxBlocks(local, "word/document.xml", localDoc.document_element().first_child());
    local.finish();
    addDocxBlocks(whole, "word/document.xml", wholeDoc.document_element().first_child());
    whole.finish();
    const int applied =
        compareRandomEdits(local, localDoc, whole, wholeDoc,
                           {u"", u"x", u"YZ", u"\t", u"\v", u" ", u"a\rb", u"long text "}, 600, 777);
    EXPECT_GT(applied, 300);
    TextStory fresh(DocxDialect::instance(), nullptr);
    addDocxBlocks(fresh, "word/document.xml", localDoc.document_element().first_child());
    fresh.finish();
    EXPECT_EQ(fresh.flatText(), local.flatText());
}

TEST(StoryLocalEditTest, OdtEditsInsideParagraphsMatchWholeParagraphEdits)
{
    // White space in character data, text:s, tabs, breaks, spans, marks and notes.
    std::string body = "<text:p>  lead";
    for (int i = 0; i < 12; ++i)
        body += " a  b<text:s/><text:span text:style-name=\"B\"> c <text:s text:c=\"2\"/>d</text:span>"
                "<text:tab/> e<text:bookmark text:name=\"m\"/> f<text:line-break/><text:span>g</text:span>"
                "<text:note><text:note-body><text:p>n</text:p></text:note-body></text:note>h ";
    body += "</text:p><text:p>second  one </text:p><text:h>head</text:h>";
    const std::string xml = std::string("<office:document-content "
                                        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                                        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\">"
                                        "<office:body><office:text>") +
                            body + "</office:text></office:body></office:document-content>";
    pugi::xml_document localDoc, wholeDoc;
    ASSERT_TRUE(localDoc.load_string(xml.c_str(), kXmlParseFlags));
    ASSERT_TRUE(wholeDoc.load_string(xml.c_str(), kXmlParseFlags));
    const OdtDialect localDialect(localDoc.document_element());
    const WholeOdt wholeDialect(wholeDoc.document_element());
    auto officeText = [](pugi::xml_document& doc) {
        return child(child(doc.document_element(), "body"), "text");
    };
    TextStory local(localDialect, nullptr), whole(wholeDialect, nullptr);
    localDialect.addParagraphs(local, "content.xml", officeText(localDoc));
    wholeDialect.addParagraphs(whole, "content.xml", officeText(wholeDoc));
    const int applied = compareRandomEdits(
        local, localDoc, whole, wholeDoc,
        {u"", u"x", u" ", u"  ", u" y ", u"\t", u"\n", u"a\rb", u"two  words "}, 600, 4242);
    EXPECT_GT(applied, 300);
}

} // namespace
} // namespace wux::platform::automation
