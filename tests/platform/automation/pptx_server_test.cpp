#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/automation/dispatch.h"
#include "platform/automation/pptx_server.h"
#include "platform/text.h"
#include "support/dispatch_calls.h"
#include "support/file_builders.h"
#include "support/packages.h"
#include "support/temp_drive.h"

namespace wux::platform::automation {
namespace {

using PptxParts = test::PptxContent;
using test::buildPptx;

std::string textShape(const std::string& paragraphs, int id = 2)
{
    return test::pptxShape(paragraphs, id);
}

// A shape without a text body.
const std::string kPlainShape =
    "<p:sp><p:nvSpPr><p:cNvPr id=\"9\" name=\"Box\"/><p:cNvSpPr/><p:nvPr/></p:nvSpPr><p:spPr/></p:sp>";
const std::string kPicture =
    "<p:pic><p:nvPicPr><p:cNvPr id=\"5\" name=\"Pic\"/><p:cNvPicPr/><p:nvPr/></p:nvPicPr>"
    "<p:blipFill><a:blip r:embed=\"rIdImg\"/></p:blipFill><p:spPr/></p:pic>";
const std::string kConnector =
    "<p:cxnSp><p:nvCxnSpPr><p:cNvPr id=\"6\" name=\"Line\"/><p:cNvCxnSpPr/><p:nvPr/>"
    "</p:nvCxnSpPr><p:spPr/></p:cxnSp>";
const std::string kTable =
    "<p:graphicFrame><p:nvGraphicFramePr><p:cNvPr id=\"7\" name=\"Table\"/><p:cNvGraphicFramePr/><p:nvPr/>"
    "</p:nvGraphicFramePr><p:xfrm/><a:graphic><a:graphicData><a:tbl><a:tr><a:tc><a:txBody><a:bodyPr/>"
    "<a:p><a:r><a:t>cell word</a:t></a:r></a:p></a:txBody></a:tc></a:tr></a:tbl></a:graphicData></a:graphic>"
    "</p:graphicFrame>";
std::string group(const std::string& inner)
{
    return "<p:grpSp><p:nvGrpSpPr><p:cNvPr id=\"8\" name=\"Group\"/><p:cNvGrpSpPr/><p:nvPr/></p:nvGrpSpPr>"
           "<p:grpSpPr/>" +
           inner + "</p:grpSp>";
}

using test::obj;
using test::text;

class PptxServerTest : public test::TempDriveTest
{
protected:
    void SetUp() override { app = createObject("PowerPoint.Application"); }

    std::string write(const std::string& name, const PptxParts& parts)
    {
        test::createFile(path(name), buildPptx(parts));
        return path(name);
    }

    // Presentations.Open with the wrapper's four arguments.
    Variant openRaw(const std::string& windowsPath)
    {
        return obj(app->get("Presentations"))
            ->call("Open",
                   {Variant::fromUtf8(windowsPath), Variant(false), Variant::missing(), Variant(false)});
    }
    DispatchRef open(const std::string& windowsPath) { return obj(openRaw(windowsPath)); }

    static DispatchRef shape(const DispatchRef& pres, int slide, int index)
    {
        DispatchRef s = obj(obj(pres->get("Slides"))->call("Item", {Variant(slide)}));
        return obj(obj(s->get("Shapes"))->get("Item", {Variant(index)}));
    }
    static DispatchRef range(const DispatchRef& pres, int slide, int index)
    {
        return obj(obj(shape(pres, slide, index)->get("TextFrame"))->get("TextRange"));
    }
    int presentationCount() { return toInt32(obj(app->get("Presentations"))->get("Count")); }

    // The wrapper's slide loop: every shape in its own guard; the text of a shape with text is read,
    // changed by the callback and written back when it changed. Returns the number of shapes read.
    static int forEachText(const DispatchRef& pres,
                           const std::function<std::u16string(std::u16string)>& change)
    {
        int read = 0;
        const int slides = toInt32(obj(pres->get("Slides"))->get("count"));
        for (int i = 1; i <= slides; ++i) {
            const int shapes = toInt32(
                obj(obj(obj(pres->get("Slides"))->get("Item", {Variant(i)}))->get("Shapes"))->get("count"));
            for (int j = 1; j <= shapes; ++j) {
                try {
                    DispatchRef frame = obj(shape(pres, i, j)->get("TextFrame"));
                    if (!toBool(frame->get("HasText")))
                        continue;
                    ++read;
                    DispatchRef r = obj(frame->get("TextRange"));
                    const std::u16string before = r->get("Text").text();
                    const std::u16string after = change(before);
                    if (after != before)
                        r->put("Text", Variant(after));
                } catch (const AutomationError&) {
                }
            }
        }
        return read;
    }

    DispatchRef app;
};

const std::string kSplitRuns =
    "<a:p><a:pPr algn=\"ctr\"/><a:r><a:rPr lang=\"en-US\" b=\"1\"/><a:t>Hel</a:t></a:r>"
    "<a:r><a:rPr lang=\"en-US\" i=\"1\"/><a:t>lo world</a:t></a:r>"
    "<a:endParaRPr lang=\"en-US\" sz=\"1800\"/></a:p>";

PptxParts threeSlides()
{
    PptxParts parts;
    parts.slides.push_back(textShape("<a:p><a:r><a:t>first slide</a:t></a:r></a:p>") + kPicture);
    parts.slides.push_back(
        textShape(kSplitRuns + "<a:p><a:r><a:t>a\tb</a:t></a:r><a:br><a:rPr/></a:br><a:r><a:t>c</a:t></a:r>"
                               "<a:fld id=\"{1}\" type=\"slidenum\"><a:rPr/><a:t>2</a:t></a:fld></a:p>") +
        kConnector + group(textShape("<a:p><a:r><a:t>grouped word</a:t></a:r></a:p>", 3)) + kTable +
        kPlainShape + textShape("<a:p><a:endParaRPr/></a:p>", 4));
    parts.slides.push_back("");
    return parts;
}

TEST_F(PptxServerTest, ReadsSlidesShapesAndTextsAsTheWrapperAsks)
{
    DispatchRef pres = open(write("deck.pptx", threeSlides()));
    EXPECT_EQ(presentationCount(), 1);
    DispatchRef slides = obj(pres->get("Slides"));
    EXPECT_EQ(toInt32(slides->get("count")), 3);
    // List order, not file order; names ignore case.
    EXPECT_EQ(text(range(pres, 1, 1)->get("Text")), "first slide");
    EXPECT_EQ(toInt32(obj(obj(slides->call("item", {Variant(2)}))->get("SHAPES"))->get("Count")), 6);
    EXPECT_EQ(toInt32(obj(obj(slides->get("Item", {Variant(3)}))->get("Shapes"))->get("Count")), 0);
    EXPECT_EQ(text(range(pres, 2, 1)->get("Text")), "Hello world\ra\tb\vc2");

    // TextFrame only for text shapes: connector, group, table raise; a plain box has one without text.
    for (int j : {2, 3, 4})
        EXPECT_THROW(shape(pres, 2, j)->get("TextFrame"), AutomationError) << j;
    EXPECT_THROW(shape(pres, 1, 2)->get("TextFrame"), AutomationError);
    const struct
    {
        int shape;
        std::int32_t hasText;
    } frames[] = {{1, -1}, {5, 0}, {6, 0}};
    for (const auto& f : frames) {
        const Variant has = obj(shape(pres, 2, f.shape)->get("TextFrame"))->get("HasText");
        EXPECT_EQ(toInt32(has), f.hasText) << f.shape;
    }
    EXPECT_EQ(text(range(pres, 2, 5)->get("Text")), "");
    EXPECT_THROW(range(pres, 2, 5)->put("Text", Variant(u"x")), AutomationError);

    // Out-of-range items raise.
    EXPECT_THROW(slides->get("Item", {Variant(0)}), AutomationError);
    EXPECT_THROW(slides->get("Item", {Variant(4)}), AutomationError);
    EXPECT_THROW(shape(pres, 2, 7), AutomationError);

    // The wrapper's loop reads only text shapes with text (the group's and table's texts are not searched).
    EXPECT_EQ(forEachText(pres, [](std::u16string t) { return t; }), 2);
}

TEST_F(PptxServerTest, WholeTextIsWrittenBackAsAMinimalChange)
{
    const std::string file = write("deck.pptx", threeSlides());
    const auto before = test::readZip(posix("deck.pptx"));
    const auto rawBefore = test::storedEntries(posix("deck.pptx"));
    DispatchRef pres = open(file);
    DispatchRef r = range(pres, 2, 1);
    r->put("Text", Variant(u"Hello there\ra\tb\vc2"));
    EXPECT_EQ(text(r->get("Text")), "Hello there\ra\tb\vc2");
    pres->call("Save");
    pres->call("Close");
    EXPECT_EQ(presentationCount(), 0);

    const auto after = test::readZip(posix("deck.pptx"));
    ASSERT_EQ(after.size(), before.size());
    for (const auto& [name, bytes] : before) {
        if (name != "ppt/slides/slide2.xml") {
            EXPECT_EQ(after.at(name), bytes) << name;
        }
    }
    // Unchanged entries are copied as they were stored: same method, checksum and compressed bytes.
    auto rawAfter = test::storedEntries(posix("deck.pptx"));
    EXPECT_NE(rawAfter.at("ppt/slides/slide2.xml"), rawBefore.at("ppt/slides/slide2.xml"));
    rawAfter.erase("ppt/slides/slide2.xml");
    auto unchanged = rawBefore;
    unchanged.erase("ppt/slides/slide2.xml");
    EXPECT_EQ(rawAfter, unchanged);
    const std::string& slide = after.at("ppt/slides/slide2.xml");
    // The bold run and the properties around it stay; only the changed word is touched.
    EXPECT_NE(slide.find("<a:p><a:pPr algn=\"ctr\"/><a:r><a:rPr lang=\"en-US\" b=\"1\"/><a:t>Hel</a:t></a:r>"
                         "<a:r><a:rPr lang=\"en-US\" i=\"1\"/><a:t>lo there</a:t></a:r>"
                         "<a:endParaRPr lang=\"en-US\" sz=\"1800\"/></a:p>"),
              std::string::npos)
        << slide;
    EXPECT_NE(slide.find("<a:fld id=\"{1}\" type=\"slidenum\"><a:rPr/><a:t>2</a:t></a:fld>"),
              std::string::npos);

    DispatchRef again = open(file);
    EXPECT_EQ(text(range(again, 2, 1)->get("Text")), "Hello there\ra\tb\vc2");
}

// Property elements misplaced inside a run (other programs write an end-of-paragraph element there) are
// no text: a shape's text reads, writes and reads back, also after a save, without a marker for them.
TEST_F(PptxServerTest, PropertiesMisplacedInARunAreNoText)
{
    const struct
    {
        const char* paragraphs;
        const char16_t* read;
        const char16_t* written;
    } cases[] = {
        {"<a:p><a:r><a:t>x</a:t><a:endParaRPr/></a:r></a:p>", u"x", u"yz"},
        {"<a:p><a:r><a:endParaRPr lang=\"de\"/><a:t>one</a:t></a:r><a:r><a:t> two</a:t></a:r></a:p>",
         u"one two", u"one three"},
        {"<a:p><a:r><a:t>ab</a:t><a:endParaRPr/><a:t>cd</a:t></a:r></a:p>", u"abcd", u"aXd"},
        {"<a:p><a:r><a:t>e</a:t><a:pPr/></a:r></a:p>", u"e", u"\u00e9e"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.paragraphs);
        PptxParts parts;
        parts.slides.push_back(textShape(c.paragraphs));
        const std::string file = write("deck" + std::to_string(++n) + ".pptx", parts);
        DispatchRef pres = open(file);
        DispatchRef r = range(pres, 1, 1);
        EXPECT_EQ(r->get("Text").text(), c.read);
        r->put("Text", Variant(std::u16string(c.written)));
        EXPECT_EQ(r->get("Text").text(), c.written);
        pres->call("Save");
        pres->call("Close");
        DispatchRef again = open(file);
        EXPECT_EQ(range(again, 1, 1)->get("Text").text(), c.written);
        again->call("Close");
    }
}

TEST_F(PptxServerTest, ParagraphsAndLineBreaksAreMadeAndMerged)
{
    const std::string file = write("deck.pptx", threeSlides());
    DispatchRef pres = open(file);
    const struct
    {
        const char16_t* text;
    } cases[] = {
        {u"Hel\rlo world\ra\tb\vc2"}, // split mid-run: both pieces keep the paragraph properties
        {u"Hel\vlo world a\tb\vc2"},  // a mark deleted: paragraphs merged; a line break added
        {u"Hello world\ra\tb\vc2"},   // back to the start
        {u"\rHello world\ra\tb\vc2\r"}, {u""}, {u"new\rtext"},
    };
    // A split keeps the paragraph properties in both pieces and the end properties in both.
    range(pres, 2, 1)->put("Text", Variant(cases[0].text));
    pres->call("Save");
    EXPECT_NE(
        test::readZip(posix("deck.pptx"))
            .at("ppt/slides/slide2.xml")
            .find("<a:p><a:pPr algn=\"ctr\"/><a:r><a:rPr lang=\"en-US\" b=\"1\"/><a:t>Hel</a:t></a:r>"
                  "<a:endParaRPr lang=\"en-US\" sz=\"1800\"/></a:p><a:p><a:pPr algn=\"ctr\"/><a:r><a:rPr "
                  "lang=\"en-US\" i=\"1\"/><a:t>lo world</a:t></a:r><a:endParaRPr lang=\"en-US\" "
                  "sz=\"1800\"/></a:p>"),
        std::string::npos);
    for (const auto& c : cases) {
        DispatchRef r = range(pres, 2, 1);
        r->put("Text", Variant(c.text));
        EXPECT_EQ(range(pres, 2, 1)->get("Text").text(), c.text);
    }
    pres->call("Save");
    pres->call("Close");
    DispatchRef again = open(file);
    EXPECT_EQ(text(range(again, 2, 1)->get("Text")), "new\rtext");
    const std::string slide = test::readZip(posix("deck.pptx")).at("ppt/slides/slide2.xml");
    // Every paragraph keeps its properties first and its end properties last, once.
    std::size_t at = 0, paragraphs = 0;
    while ((at = slide.find("<a:p>", at)) != std::string::npos) {
        const std::size_t end = slide.find("</a:p>", at);
        const std::string p = slide.substr(at, end - at);
        const std::size_t pPr = p.find("<a:pPr");
        if (pPr != std::string::npos) {
            EXPECT_EQ(pPr, 5u) << p;
        }
        const std::size_t endPr = p.find("<a:endParaRPr");
        if (endPr != std::string::npos) {
            EXPECT_EQ(p.rfind("<a:endParaRPr"), endPr) << p;
            EXPECT_EQ(p.find('<', endPr + 1), std::string::npos) << p;
        }
        ++paragraphs;
        at = end;
    }
    EXPECT_GE(paragraphs, 2u);
}

TEST_F(PptxServerTest, TextBetweenChangesKeepsItsRuns)
{
    PptxParts parts;
    parts.slides.push_back(
        textShape(
            "<a:p><a:r><a:rPr b=\"1\"/><a:t>cat and </a:t></a:r><a:r><a:rPr i=\"1\"/><a:t>more</a:t></a:r>"
            "<a:r><a:rPr u=\"sng\"/><a:t> cat</a:t></a:r></a:p>") +
        textShape("<a:p><a:r><a:t>x\xF0\x9F\x98\x80y</a:t></a:r></a:p>", 3) +
        textShape("<a:p><a:r><a:t>a </a:t></a:r><mc:AlternateContent><mc:Choice Requires=\"a14\"/>"
                  "</mc:AlternateContent><a:r><a:t> b</a:t></a:r></a:p>",
                  4) +
        textShape(
            "<a:p><a:fld id=\"{2}\" type=\"datetime\"><a:rPr b=\"1\"/><a:pPr/><a:t>12</a:t></a:fld></a:p>",
            5));
    const std::string file = write("deck.pptx", parts);
    DispatchRef pres = open(file);
    range(pres, 1, 1)->put("Text", Variant(u"dog and more dog"));
    range(pres, 1, 2)->put("Text", Variant(u"x\U0001F601y"));
    EXPECT_EQ(range(pres, 1, 2)->get("Text").text(), u"x\U0001F601y");
    range(pres, 1, 2)->put("Text", Variant(u"x\U00010000y")); // the first pair of surrogates
    EXPECT_EQ(range(pres, 1, 2)->get("Text").text(), u"x\U00010000y");
    // A field split in two: the split-off part is plain text.
    range(pres, 1, 4)->put("Text", Variant(u"1\r2"));

    // An object in the text: changes beside it are made, a change over it is refused as a whole.
    DispatchRef withObject = range(pres, 1, 3);
    const std::u16string objectText = withObject->get("Text").text();
    EXPECT_EQ(objectText, std::u16string(u"a ") + kBarrierChar + u" b");
    withObject->put("Text", Variant(std::u16string(u"A ") + kBarrierChar + u" B"));
    EXPECT_THROW(withObject->put("Text", Variant(u"Z ")), AutomationError);
    EXPECT_THROW(withObject->put("Text", Variant(std::u16string(u"q ") + kBarrierChar + u" \x01")),
                 AutomationError);
    EXPECT_EQ(withObject->get("Text").text(), std::u16string(u"A ") + kBarrierChar + u" B");

    pres->call("Save");
    const std::string slide = test::readZip(posix("deck.pptx")).at("ppt/slides/slide1.xml");
    EXPECT_NE(slide.find("<a:r><a:rPr b=\"1\"/><a:t>dog and </a:t></a:r><a:r><a:rPr i=\"1\"/><a:t>more</a:t>"
                         "</a:r><a:r><a:rPr u=\"sng\"/><a:t> dog</a:t></a:r>"),
              std::string::npos)
        << slide;
    EXPECT_NE(slide.find("<mc:AlternateContent><mc:Choice Requires=\"a14\"/></mc:AlternateContent>"),
              std::string::npos);
    EXPECT_NE(
        slide.find("<a:p><a:fld id=\"{2}\" type=\"datetime\"><a:rPr b=\"1\"/><a:pPr/><a:t>1</a:t></a:fld>"
                   "</a:p><a:p><a:r><a:rPr b=\"1\"/><a:t>2</a:t></a:r></a:p>"),
        std::string::npos)
        << slide;
}

TEST_F(PptxServerTest, InsertedTextIsRefusedWhenADocumentCannotHoldIt)
{
    const std::string file = write("deck.pptx", threeSlides());
    const std::string bytes = test::readFileBytes(file);
    DispatchRef pres = open(file);
    DispatchRef r = range(pres, 1, 1);
    EXPECT_THROW(r->put("Text", Variant(u"first\x01slide")), AutomationError);
    EXPECT_EQ(text(r->get("Text")), "first slide");
    pres->call("Save"); // nothing changed: the file is not written
    EXPECT_EQ(test::readFileBytes(file), bytes);
}

TEST_F(PptxServerTest, PasswordToModifyOpensAsNothing)
{
    PptxParts parts = threeSlides();
    parts.presentationExtra =
        "<p:modifyVerifier cryptProviderType=\"rsaAES\" hashData=\"x\" saltData=\"y\"/>";
    const std::string file = write("locked.pptx", parts);
    const std::string bytes = test::readFileBytes(file);
    const Variant result = openRaw(file);
    EXPECT_TRUE(result.isNothing());
    EXPECT_EQ(presentationCount(), 0);
    EXPECT_EQ(test::readFileBytes(file), bytes);
}

TEST_F(PptxServerTest, SaveSaveAsCloseAndQuit)
{
    const std::string file = write("deck.pptx", threeSlides());
    const std::string bytes = test::readFileBytes(file);
    DispatchRef pres = open(file);
    EXPECT_EQ(open(file).get() != nullptr, true); // the same file again: no second presentation
    EXPECT_EQ(presentationCount(), 1);
    range(pres, 1, 1)->put("Text", Variant(u"first change"));
    pres->call("SaveAs", {Variant::fromUtf8(path("copy.pptx"))});
    EXPECT_EQ(test::readFileBytes(file), bytes); // the original is untouched
    pres->call("Save");                          // now saves to the copy
    pres->call("Close");
    EXPECT_THROW(pres->get("Slides"), AutomationError);
    DispatchRef copy = open(path("copy.pptx"));
    EXPECT_EQ(text(range(copy, 1, 1)->get("Text")), "first change");

    // Read-only presentations are not saved.
    DispatchRef readOnly =
        obj(obj(app->get("Presentations"))
                ->call("Open", {Variant::fromUtf8(file), Variant(true), Variant::missing(), Variant(false)}));
    range(readOnly, 1, 1)->put("Text", Variant(u"x"));
    EXPECT_THROW(readOnly->call("Save"), AutomationError);
    EXPECT_EQ(test::readFileBytes(file), bytes);
    EXPECT_EQ(presentationCount(), 2);

    app->call("Quit");
    EXPECT_THROW(app->get("Presentations"), AutomationError);
    EXPECT_EQ(test::readFileBytes(file), bytes);
}

TEST_F(PptxServerTest, WrapperLoopReplacesAcrossRunsAndKeepsUntouchedFormatting)
{
    PptxParts parts;
    parts.slides.push_back(textShape("<a:p><a:r><a:rPr b=\"1\"/><a:t>[a] an</a:t></a:r><a:r><a:rPr i=\"1\"/>"
                                     "<a:t>d [b]</a:t></a:r></a:p>") +
                           kPicture);
    parts.slides.push_back(textShape("<a:p><a:r><a:rPr u=\"sng\"/><a:t>no hit here</a:t></a:r></a:p>"));
    const std::string file = write("deck.pptx", parts);
    DispatchRef pres = open(file);
    auto replaceAll = [](std::u16string t) {
        for (std::size_t at = 0; (at = t.find(u"and", at)) != std::u16string::npos; at += 2)
            t.replace(at, 3, u"or");
        return t;
    };
    EXPECT_EQ(forEachText(pres, replaceAll), 2);
    pres->call("Save");
    pres->call("Close");
    const auto entries = test::readZip(posix("deck.pptx"));
    EXPECT_NE(entries.at("ppt/slides/slide2.xml").find("<a:r><a:rPr b=\"1\"/><a:t>[a] or</a:t></a:r>"),
              std::string::npos);
    EXPECT_NE(entries.at("ppt/slides/slide2.xml").find("<a:r><a:rPr i=\"1\"/><a:t> [b]</a:t></a:r>"),
              std::string::npos);
    DispatchRef again = open(file);
    EXPECT_EQ(text(range(again, 1, 1)->get("Text")), "[a] or [b]");
    EXPECT_EQ(text(range(again, 2, 1)->get("Text")), "no hit here");
}

} // namespace
} // namespace wux::platform::automation
