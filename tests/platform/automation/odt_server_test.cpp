#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <pugixml.hpp>

#include "platform/automation/dispatch.h"
#include "platform/automation/odt_server.h"
#include "platform/automation/odt_story.h"
#include "platform/automation/package.h"
#include "platform/text.h"
#include "support/dispatch_calls.h"
#include "support/file_builders.h"
#include "support/packages.h"
#include "support/temp_drive.h"

namespace wux::platform::automation {
namespace {

const char* kMime = test::kOdtMime;
using OdtParts = test::OdtContent;
using test::buildOdt;

using test::obj;
using test::u;

// The wrapper's ConvertToURL: blanks as "%20", "%" as "%25", backslashes as "/".
std::string convertToUrl(const std::string& path)
{
    std::string out;
    for (char c : path)
        out += c == ' '    ? std::string("%20")
               : c == '%'  ? std::string("%25")
               : c == '\\' ? std::string("/")
                           : std::string(1, c);
    return out;
}

class OdtServerTest : public test::TempDriveTest
{
protected:
    void SetUp() override
    {
        manager = createObject("com.sun.star.ServiceManager");
        desktop = obj(manager->call("CreateInstance", {u("com.sun.star.frame.Desktop")}));
    }

    Variant property(const char* name, const Variant& value)
    {
        DispatchRef p = obj(manager->call("Bridge_GetStruct", {u("com.sun.star.beans.PropertyValue")}));
        p->put("name", u(name));
        p->put("value", value);
        return Variant::fromArray({Variant(p)});
    }

    std::string write(const std::string& name, const OdtParts& parts)
    {
        test::createFile(path(name), buildOdt(parts));
        return path(name);
    }

    DispatchRef load(const std::string& url)
    {
        return obj(desktop->call("LoadComponentFromURL",
                                 {u(url), u("_default"), Variant(0), property("Hidden", Variant(true))}));
    }

    // The wrapper's Replace: descriptor, findAll, then each range by the mode. Returns the count.
    int replace(const DispatchRef& doc, const std::string& find, const std::string& with, int flags, int mode)
    {
        DispatchRef d = obj(doc->call("createSearchDescriptor"));
        d->call("setPropertyValue", {u("SearchCaseSensitive"), Variant((flags & 1) != 0)});
        d->call("setPropertyValue", {u("SearchWords"), Variant((flags & 4) != 0)});
        d->call("setPropertyValue", {u("SearchRegularExpression"), Variant((flags & 2) != 0)});
        d->call("setSearchString", {u(find)});
        DispatchRef found = obj(doc->call("findAll", {Variant(d)}));
        const int count = toInt32(found->call("getCount"));
        for (int i = 0; i < count; ++i) {
            DispatchRef r = obj(found->call("getByIndex", {Variant(i)}));
            const std::string hit = utf16ToUtf8(r->call("getString").text());
            if (mode == 1)
                r->call("setString", {u(with)});
            else if (mode == 2)
                r->call("setString", {u("")});
            else if (mode == 8)
                r->call("setString", {u(hit + with)});
            else if (mode == 16)
                r->call("setString", {u(with + hit)});
        }
        return toInt32(found->call("getCount"));
    }

    void store(const DispatchRef& doc, const std::string& windowsPath, bool overwrite = true)
    {
        doc->call("StoreToURL",
                  {u("file:///" + convertToUrl(windowsPath)), property("Overwrite", Variant(overwrite))});
    }

    DispatchRef manager;
    DispatchRef desktop;
};

// ---- Reading and writing rules (the dialect on its own) ----

// The texts of the searched paragraphs of a content part, in story order, after the edits (paragraph,
// its new text); xmlOut: the part after the edits.
std::vector<std::string> contentTexts(const std::string& content, std::string* xmlOut = nullptr,
                                      const std::vector<std::pair<std::size_t, std::u16string>>& edits = {})
{
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_buffer(content.data(), content.size(), kXmlParseFlags));
    OdtDialect dialect(doc.document_element());
    TextStory story(dialect, nullptr);
    dialect.addParagraphs(story, "content.xml", child(child(doc.document_element(), "body"), "text"));
    for (const auto& [paragraph, text] : edits) {
        const Paragraph& p = story.paragraphs()[paragraph];
        story.setRange(p.start, p.start + p.text.size(), text);
    }
    std::vector<std::string> out;
    for (const Paragraph& p : story.paragraphs())
        out.push_back(utf16ToUtf8(p.text));
    if (xmlOut) {
        std::ostringstream xml;
        doc.save(xml, "", kXmlSaveFlags);
        *xmlOut = xml.str();
    }
    return out;
}

std::vector<std::string> storyTexts(const std::string& body, std::string* xmlOut = nullptr,
                                    const std::vector<std::pair<std::size_t, std::u16string>>& edits = {})
{
    return contentTexts(test::odtContentXml(body), xmlOut, edits);
}

// The texts of the paragraphs of a stored file.
std::vector<std::string> paragraphs(const std::string& posixPath)
{
    return contentTexts(test::readZip(posixPath).at("content.xml"));
}

TEST(OdtDialectTest, ReadsWhiteSpaceByTheFormatsRules)
{
    const std::string barrier = utf16ToUtf8(std::u16string(1, kBarrierChar));
    const struct
    {
        const char* xml;
        std::string text;
    } cases[] = {
        {"<text:p>  a   b\n\tc </text:p>", "a b c "},
        {"<text:p>a<text:s/>b</text:p>", "a b"},
        {"<text:p>a <text:s text:c=\"3\"/>b</text:p>", "a    b"},
        {"<text:p><text:s text:c=\"2\"/>a</text:p>", "  a"},
        {"<text:p><text:span text:style-name=\"B\">a </text:span> b</text:p>", "a b"},
        {"<text:p>a<text:tab/>b<text:line-break/>c</text:p>", "a\tb\nc"},
        {"<text:p>a<text:tab/> b</text:p>", "a\t b"},
        {"<text:p>x <text:bookmark text:name=\"m\"/> y</text:p>", "x y"},
        {"<text:h text:outline-level=\"1\">Head <text:a xlink:href=\"#\">link</text:a></text:h>",
         "Head link"},
        {"<text:p>pa<text:soft-page-break/>ge<text:page-number>3</text:page-number></text:p>",
         "page" + barrier},
    };
    for (const auto& c : cases) {
        const auto texts = storyTexts(c.xml);
        ASSERT_EQ(texts.size(), 1u) << c.xml;
        EXPECT_EQ(texts[0], c.text) << c.xml;
    }
}

TEST(OdtDialectTest, SearchesBodyParagraphsInDocumentOrder)
{
    const std::string barrier = utf16ToUtf8(std::u16string(1, kBarrierChar));
    const std::string body =
        "<text:tracked-changes><text:changed-region><text:deletion><text:p>deleted</text:p></text:deletion>"
        "</text:changed-region></text:tracked-changes>"
        "<text:h>one</text:h>"
        "<text:p>two<text:note text:id=\"n1\"><text:note-citation>1</text:note-citation><text:note-body>"
        "<text:p>three</text:p></text:note-body></text:note> four<office:annotation><text:p>comment</text:p>"
        "</office:annotation></text:p>"
        "<text:list><text:list-item><text:p>five</text:p><text:list><text:list-item><text:p>six</text:p>"
        "</text:list-item></text:list></text:list-item></text:list>"
        "<table:table><table:table-row><table:table-cell><text:p>seven</text:p></table:table-cell>"
        "<table:table-cell><text:p>eight</text:p></table:table-cell></table:table-row></table:table>"
        "<text:section text:name=\"S\"><text:p>nine<draw:frame><draw:text-box><text:p>ten</text:p>"
        "</draw:text-box></draw:frame></text:p></text:section>"
        "<text:section text:name=\"P\" text:protected=\"true\"><text:p>protected</text:p></text:section>"
        "<text:table-of-content><text:index-body><text:p>index</text:p></text:index-body></"
        "text:table-of-content>"
        "<text:p/>";
    const std::vector<std::string> expected = {"one",   "two" + barrier + " four" + barrier,
                                               "three", "five",
                                               "six",   "seven",
                                               "eight", "nine" + barrier,
                                               "ten",   ""};
    EXPECT_EQ(storyTexts(body), expected);
}

TEST(OdtDialectTest, WrittenTextReadsBackTheSame)
{
    const std::string body = "<text:p>old <text:span text:style-name=\"B\">bold</text:span> text</text:p>";
    const std::u16string texts[] = {
        u"  lead", u"a  b", u"a\t b", u"a\n b", u"end  ", u"old  bold\t\ttext ", u" ", u"", u"x\ry  z",
    };
    for (const std::u16string& text : texts) {
        std::string xml;
        const auto edited = storyTexts(body, &xml, {{0, text}});
        std::string expected = utf16ToUtf8(text);
        std::vector<std::string> pieces;
        for (std::size_t at = 0;;) {
            const std::size_t cr = expected.find('\r', at);
            pieces.push_back(expected.substr(at, cr == std::string::npos ? std::string::npos : cr - at));
            if (cr == std::string::npos)
                break;
            at = cr + 1;
        }
        EXPECT_EQ(edited, pieces) << xml;
        // The serialised XML, read again, gives the same text.
        const std::size_t start = xml.find("<office:text>") + 13;
        const std::string again = xml.substr(start, xml.find("</office:text>") - start);
        EXPECT_EQ(storyTexts(again), pieces) << xml;
    }
}

// ---- The server ----

TEST_F(OdtServerTest, FollowsTheWrappersCallsFromLoadToDispose)
{
    const std::string file = write("dir with blanks\\letter.odt",
                                   {"<text:p>Dear <text:span text:style-name=\"B\">friend</text:span>, dear "
                                    "FRIEND.</text:p><text:p>friendly</text:p>"});
    const auto before = test::readZip(posix("dir with blanks/letter.odt"));
    // The load URL as the wrapper first made it: raw backslashes and blanks.
    DispatchRef doc = load("file:///" + file);
    EXPECT_EQ(replace(doc, "friend", "pal", 0, 1), 3); // case-insensitive, not whole word
    store(doc, file);
    doc->call("Dispose");
    EXPECT_THROW(doc->call("createSearchDescriptor"), AutomationError);

    EXPECT_EQ(paragraphs(posix("dir with blanks/letter.odt")),
              (std::vector<std::string>{"Dear pal, dear pal.", "pally"}));
    const auto after = test::readZip(posix("dir with blanks/letter.odt"));
    for (const auto& [name, bytes] : before) {
        if (name != "content.xml") {
            EXPECT_EQ(after.at(name), bytes) << name;
        }
    }
    // The hit inside the styled span was replaced inside it.
    EXPECT_NE(after.at("content.xml").find("<text:span text:style-name=\"B\">pal</text:span>"),
              std::string::npos);
    const auto names = test::zipNames(posix("dir with blanks/letter.odt"));
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.front(), "mimetype");
    const std::string raw = test::readFileBytes(posix("dir with blanks/letter.odt"));
    EXPECT_EQ(raw.substr(30, 8), "mimetype");
    EXPECT_EQ(raw.substr(38, std::string(kMime).size()), kMime); // stored, not compressed
}

TEST_F(OdtServerTest, SearchOptions)
{
    const std::string file =
        write("a.odt", {"<text:p>Cat cat-cat concat\tcat<text:line-break/>cat"
                        "<text:note><text:note-body><text:p>x</text:p></text:note-body>"
                        "</text:note>cat</text:p><text:p>ca</text:p><text:p>t ^cat</text:p>"});
    DispatchRef doc = load("file:///" + file);
    const struct
    {
        const char* find;
        int flags;
        int count;
    } cases[] = {
        {"cat", 0, 8},     // every one, any case, "concat" too
        {"cat", 1, 7},     // case-sensitive
        {"cat", 4, 7},     // whole words: between blanks, "-", tab, line break, the note, "^", edges
        {"Cat", 5, 1},     // both
        {"^cat", 0, 1},    // literal, no codes
        {"", 0, 0},        // empty search: no hits
        {"cat\rca", 0, 0}, // never across paragraphs
        {"at", 4, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(replace(doc, c.find, "", c.flags, 128), c.count) << c.find << " " << c.flags;
    DispatchRef d = obj(doc->call("createSearchDescriptor"));
    d->call("setPropertyValue", {u("SearchSimilarity"), Variant(true)}); // accepted, ignored
    EXPECT_THROW(d->call("setPropertyValue", {u("SearchNonsense"), Variant(true)}), AutomationError);
    d->call("setPropertyValue", {u("SearchRegularExpression"), Variant(true)});
    d->call("setSearchString", {u("c.t")});
    EXPECT_THROW(doc->call("findAll", {Variant(d)}), AutomationError);
}

TEST_F(OdtServerTest, RangesStayValidWhileEarlierRangesChange)
{
    const std::string file =
        write("a.odt", {"<text:p>cat cat <text:span text:style-name=\"B\">cat</text:span>"
                        "</text:p><text:p>cat</text:p>"});
    DispatchRef doc = load("file:///" + file);
    DispatchRef d = obj(doc->call("createSearchDescriptor"));
    d->call("setSearchString", {u("cat")});
    DispatchRef found = obj(doc->call("findAll", {Variant(d)}));
    ASSERT_EQ(toInt32(found->call("getCount")), 4);
    auto range = [&](int i) { return obj(found->call("getByIndex", {Variant(i)})); };
    range(0)->call("setString", {u("tiger")});
    range(1)->call("setString", {u("")});
    range(2)->call("setString", {u("ox\rcow")}); // a paragraph split inside the span
    EXPECT_EQ(utf16ToUtf8(range(0)->call("getString").text()), "tiger");
    EXPECT_EQ(utf16ToUtf8(range(2)->call("getString").text()), "ox\rcow");
    EXPECT_EQ(utf16ToUtf8(range(3)->call("getString").text()), "cat");
    range(3)->call("setString", {u("dog")});
    EXPECT_THROW(found->call("getByIndex", {Variant(4)}), AutomationError);
    store(doc, file);
    EXPECT_EQ(paragraphs(posix("a.odt")), (std::vector<std::string>{"tiger  ox", "cow", "dog"}));
    const std::string content = test::readZip(posix("a.odt")).at("content.xml");
    EXPECT_NE(content.find("tiger <text:s/>"), std::string::npos) << content;
    // Names ignore case; after Dispose nothing of the document answers.
    DispatchRef kept = range(3);
    doc->call("dispose");
    EXPECT_THROW(kept->call("GETSTRING"), AutomationError);
    EXPECT_THROW(found->call("getCount"), AutomationError);
    EXPECT_NE(content.find("<text:span text:style-name=\"B\">cow</text:span>"), std::string::npos) << content;
}

// The ranges of two searches held at once follow each other's changes: later ranges move by the change
// in length, a range around a change grows or shrinks with it, and a range inside a change is cut to it.
TEST_F(OdtServerTest, RangesOfTwoSearchesFollowEachOthersChanges)
{
    const std::string file = write("two.odt", {"<text:p>the cat sat on the mat with a cat</text:p>"});
    DispatchRef doc = load("file:///" + file);
    auto search = [&](const char* text) {
        DispatchRef d = obj(doc->call("createSearchDescriptor"));
        d->call("setSearchString", {u(text)});
        return obj(doc->call("findAll", {Variant(d)}));
    };
    DispatchRef cats = search("cat");
    DispatchRef ats = search("at");
    ASSERT_EQ(toInt32(cats->call("getCount")), 2);
    ASSERT_EQ(toInt32(ats->call("getCount")), 4);
    auto texts = [&](const DispatchRef& found) {
        std::vector<std::string> out;
        for (int i = 0; i < toInt32(found->call("getCount")); ++i)
            out.push_back(
                utf16ToUtf8(obj(found->call("getByIndex", {Variant(i)}))->call("getString").text()));
        return out;
    };
    auto at = [](const DispatchRef& found, int i) { return obj(found->call("getByIndex", {Variant(i)})); };
    at(cats, 0)->call("setString", {u("tiger")});
    EXPECT_EQ(texts(cats), (std::vector<std::string>{"tiger", "cat"}));
    EXPECT_EQ(texts(ats), (std::vector<std::string>{"iger", "at", "at", "at"}));
    at(ats, 3)->call("setString", {u("oat")});
    EXPECT_EQ(texts(cats), (std::vector<std::string>{"tiger", "coat"}));
    at(ats, 1)->call("setString", {u("")});
    EXPECT_EQ(texts(ats), (std::vector<std::string>{"iger", "", "at", "oat"}));
    at(cats, 0)->call("setString", {u("ox")});
    EXPECT_EQ(texts(ats), (std::vector<std::string>{"x", "", "at", "oat"}));
    EXPECT_EQ(texts(cats), (std::vector<std::string>{"ox", "coat"}));
    store(doc, file);
    EXPECT_EQ(paragraphs(posix("two.odt")), (std::vector<std::string>{"the ox s on the mat with a coat"}));
}

// A paragraph of many hits, its text long enough to be held in pieces (split between the bytes of
// two-byte characters too): every hit is changed and the text is written back as one piece.
TEST_F(OdtServerTest, ALongParagraphOfManyHitsIsWrittenBackWhole)
{
    std::string text, expected;
    for (int i = 0; i < 400; ++i) {
        text += i % 3 == 0 ? "\xC3\xA9 cat " : "ab cat ";
        expected += i % 3 == 0 ? "\xC3\xA9 tiger " : "ab tiger ";
    }
    text.pop_back();
    expected.pop_back();
    const std::string file = write("long.odt", {"<text:p>" + text + "</text:p>"});
    DispatchRef doc = load("file:///" + file);
    EXPECT_EQ(replace(doc, "cat", "tiger", 0, 1), 400);
    store(doc, file);
    EXPECT_EQ(paragraphs(posix("long.odt")), (std::vector<std::string>{expected}));
    EXPECT_NE(test::readZip(posix("long.odt")).at("content.xml").find("<text:p>" + expected + "</text:p>"),
              std::string::npos);
}

TEST_F(OdtServerTest, AppendAndPrependKeepTheHitsFormatting)
{
    const std::string file =
        write("a.odt", {"<text:p>say <text:span text:style-name=\"B\">hello</text:span> now"
                        "</text:p>"});
    DispatchRef doc = load("file:///" + file);
    EXPECT_EQ(replace(doc, "hello", "!", 0, 8), 1);
    EXPECT_EQ(replace(doc, "hello", "<", 0, 16), 1);
    store(doc, file);
    const std::string content = test::readZip(posix("a.odt")).at("content.xml");
    EXPECT_NE(
        content.find("<text:p>say <text:span text:style-name=\"B\">&lt;hello!</text:span> now</text:p>"),
        std::string::npos)
        << content;
}

TEST_F(OdtServerTest, PercentInTheNameNamesTheSameFileOnLoadAndStore)
{
    test::makeFolder(path("docs"));
    const std::string file = write("docs\\report 100%20 final.odt", {"<text:p>draft</text:p>"});
    DispatchRef doc = load("file:///" + convertToUrl(file));
    EXPECT_EQ(replace(doc, "draft", "final", 0, 1), 1);
    store(doc, file);
    doc->call("Dispose");
    EXPECT_EQ(test::listNames(posix("docs")), (std::vector<std::string>{"report 100%20 final.odt"}));
    EXPECT_EQ(paragraphs(posix("docs/report 100%20 final.odt")), (std::vector<std::string>{"final"}));
    EXPECT_EQ(windowsPathOfUrl(u"file:///c:/a%20b/c%25d%41.odt"), "c:\\a b\\c%d%41.odt");
    EXPECT_EQ(windowsPathOfUrl(u"file:///c:\\raw path\\x.odt"), "c:\\raw path\\x.odt");
    EXPECT_EQ(windowsPathOfUrl(u"FILE://server/share/x.odt"), "\\\\server\\share\\x.odt");
    for (const char16_t* bad : {u"http://x/y.odt", u"c:\\x.odt", u"file:///", u"private:factory/swriter"})
        EXPECT_THROW(windowsPathOfUrl(bad), AutomationError);
}

TEST_F(OdtServerTest, StoreRespectsOverwriteAndSkipsUnchangedDocuments)
{
    const std::string file = write("a.odt", {"<text:p>same</text:p>"});
    const std::string other = write("b.odt", {"<text:p>other</text:p>"});
    const std::string bytes = test::readFileBytes(file);
    const std::string otherBytes = test::readFileBytes(other);
    DispatchRef doc = load("file:///" + file);
    EXPECT_EQ(replace(doc, "same", "same", 0, 1), 1);
    store(doc, file); // nothing changed: the file is not written
    EXPECT_EQ(test::readFileBytes(file), bytes);
    EXPECT_THROW(store(doc, other, false), AutomationError);
    EXPECT_EQ(test::readFileBytes(other), otherBytes);
    store(doc, path("c.odt"), false);
    EXPECT_EQ(paragraphs(posix("c.odt")), (std::vector<std::string>{"same"}));
}

// Service and property names are compared ignoring the case of ASCII letters, "A" and "Z" included,
// and of nothing else.
TEST_F(OdtServerTest, NamesIgnoreTheCaseOfLettersOnly)
{
    for (const char* name :
         {"COM.SUN.STAR.FRAME.DESKTOP", "Com.Sun.Star.Frame.Desktop", "com.sun.star.frame.desktop"})
        EXPECT_NO_THROW(manager->call("CreateInstance", {u(name)})) << name;
    for (const char* name :
         {"com.sun.st@r.frame.desktop", "com.sun.st`r.frame.desktop", "com.sun.star.frame.desktoP "})
        EXPECT_THROW(manager->call("CreateInstance", {u(name)}), AutomationError) << name;
    EXPECT_NO_THROW(manager->call("Bridge_GetStruct", {u("COM.SUN.STAR.BEANS.PROPERTYVALUE")}));
    EXPECT_THROW(manager->call("Bridge_GetStruct", {u("com.sun.star.beans.Other")}), AutomationError);

    DispatchRef doc = load("file:///" + write("case.odt", {"<text:p>Cat cat CAT word swords</text:p>"}));
    const struct
    {
        const char* property;
        const char* find;
        int count; // -1: the name is refused
    } cases[] = {
        {"SEARCHCASESENSITIVE", "cat", 1}, {"searchcasesensitive", "cat", 1},
        {"SearchCaseSensitivE", "cat", 1}, {"SEARCHWORDS", "word", 1},
        {"searchwords", "word", 1},        {"SEARCHSIMILARITY", "cat", 3},
        {"Se@rchWords", "word", -1},       {"Se[rchWords", "word", -1},
        {"SearchWords2", "word", -1},      {"SearchWord", "word", -1},
    };
    for (const auto& c : cases) {
        DispatchRef d = obj(doc->call("createSearchDescriptor"));
        d->call("setSearchString", {u(c.find)});
        if (c.count < 0) {
            EXPECT_THROW(d->call("setPropertyValue", {u(c.property), Variant(true)}), AutomationError)
                << c.property;
            continue;
        }
        d->call("setPropertyValue", {u(c.property), Variant(true)});
        EXPECT_EQ(toInt32(obj(doc->call("findAll", {Variant(d)}))->call("getCount")), c.count) << c.property;
    }
}

TEST_F(OdtServerTest, NotesAndFramesAreSearchedHeadersAndFootersAreNot)
{
    const std::string file =
        write("a.odt", {"<text:p>word<text:note text:id=\"n\"><text:note-body><text:p>a word"
                        "</text:p></text:note-body></text:note></text:p><text:p><draw:frame>"
                        "<draw:text-box><text:p>word box</text:p></draw:text-box></draw:frame>"
                        "</text:p>"});
    DispatchRef doc = load("file:///" + file);
    EXPECT_EQ(replace(doc, "word", "term", 4, 1), 3);
    store(doc, file);
    EXPECT_EQ(paragraphs(posix("a.odt")).size(), 4u);
    const auto entries = test::readZip(posix("a.odt"));
    EXPECT_NE(entries.at("styles.xml").find("header word"), std::string::npos);
    EXPECT_EQ(entries.at("content.xml").find("word"), std::string::npos);
}

} // namespace
} // namespace wux::platform::automation
