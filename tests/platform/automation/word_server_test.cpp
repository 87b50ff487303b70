#include <gtest/gtest.h>

#include <functional>

#include "platform/automation/dispatch.h"
#include "platform/automation/word_server.h"
#include "platform/fault_injection.h"
#include "platform/text.h"
#include "support/dispatch_calls.h"
#include "support/file_builders.h"
#include "support/packages.h"
#include "support/temp_drive.h"

namespace wux::platform::automation {
namespace {

using test::DocxContent;

using test::obj;
using test::u;

class WordServerTest : public test::TempDriveTest
{
protected:
    void SetUp() override { app = createObject("Word.Application"); }

    std::string write(const std::string& name, const DocxContent& parts)
    {
        test::createFile(path(name), test::buildDocx(parts));
        return path(name);
    }

    // Documents.Open with the wrapper's ten arguments.
    DispatchRef open(const std::string& windowsPath)
    {
        app->put("DisplayAlerts", Variant(0));
        DispatchRef docs = obj(app->get("Documents"));
        DispatchRef doc = obj(
            docs->call("Open", {u(windowsPath), Variant(false), Variant(false), Variant(false), Variant(u""),
                                Variant(u""), Variant(false), Variant(u""), Variant(u""), Variant(0)}));
        doc->put("ShowGrammaticalErrors", Variant(false));
        doc->put("ShowSpellingErrors", Variant(false));
        return doc;
    }

    static DispatchRef window(const DispatchRef& doc)
    {
        return obj(obj(doc->get("Windows"))->call("Item", {Variant(1)}));
    }
    static DispatchRef selection(const DispatchRef& doc) { return obj(window(doc)->get("Selection")); }
    static DispatchRef paneView(const DispatchRef& doc)
    {
        return obj(obj(window(doc)->get("ActivePane"))->get("View"));
    }

    // The whole current story.
    static std::string storyText(const DispatchRef& doc)
    {
        DispatchRef sel = selection(doc);
        sel->put("Start", Variant(0));
        sel->put("End", Variant(1 << 30));
        return utf16ToUtf8(sel->get("Text").text());
    }

    // The wrapper's search loop, call for call.
    static int findAndChange(const DispatchRef& doc, std::u16string find, std::u16string replace, int flags,
                             int mode)
    {
        DispatchRef sel = selection(doc);
        sel->put("Start", Variant(0));
        sel->put("End", Variant(0));
        std::int64_t prevStart = 0, prevEnd = 0;
        int stalls = 0, hits = 0;
        bool first = true;
        for (;;) {
            DispatchRef f = obj(sel->get("Find"));
            f->call("ClearFormatting");
            obj(f->get("Replacement"))->call("ClearFormatting");
            const bool found = toBool(
                f->call("Execute", {Variant(find), Variant((flags & 1) != 0), Variant((flags & 4) != 0),
                                    Variant((flags & 2) != 0), Variant(false), Variant(false), Variant(true),
                                    Variant(1), Variant(false), Variant(u""), Variant(0)}));
            if (!found)
                break;
            if (!first) {
                const std::int64_t start = sel->get("Start").integerValue();
                if (prevStart > start)
                    break;
                if (prevStart == start && prevStart != prevEnd) {
                    if (++stalls > 1)
                        break;
                    continue;
                }
                if (sel->get("End").integerValue() <= prevEnd) {
                    prevStart = start;
                    continue;
                }
            }
            stalls = 0;
            switch (mode) {
            case 1: {
                const std::u16string hit = sel->get("Text").text();
                std::u16string text = replace;
                for (std::size_t p = text.find(u"^&"); p != std::u16string::npos;
                     p = text.find(u"^&", p + hit.size())) {
                    text.replace(p, 2, hit);
                }
                sel->put("Text", Variant(text));
                break;
            }
            case 2:
                sel->put("Text", Variant(u""));
                break;
            case 8:
                sel->call("InsertAfter", {Variant(replace)});
                break;
            case 16:
                sel->call("InsertBefore", {Variant(replace)});
                break;
            default:
                break;
            }
            prevStart = sel->get("Start").integerValue();
            prevEnd = sel->get("End").integerValue();
            ++hits;
            first = false;
        }
        return hits;
    }

    // The wrapper's header-and-footer pass.
    int headerPass(const DispatchRef& doc, std::u16string find, std::u16string replace)
    {
        DispatchRef w = window(doc);
        if (toInt32(obj(w->get("View"))->get("SplitSpecial")) != 0)
            obj(obj(w->get("Panes"))->call("Item", {Variant(2)}))->call("Close");
        if (toInt32(obj(w->get("View"))->get("Type")) == 1 || toInt32(paneView(doc)->get("Type")) == 2)
            paneView(doc)->put("Type", Variant(5));
        const int n = toInt32(obj(doc->get("Sections"))->get("Count"));
        int hits = 0;
        for (int i = 1; i <= n; ++i) {
            try {
                obj(obj(doc->get("Application"))->get("Selection"))
                    ->call("GoTo", {Variant(0), Variant(1), Variant(i)});
                paneView(doc)->put("SeekView", Variant(9));
                hits += findAndChange(doc, find, replace, 0, 1);
                paneView(doc)->put("SeekView", Variant(10));
                hits += findAndChange(doc, find, replace, 0, 1);
                paneView(doc)->put("SeekView", Variant(0));
            } catch (const AutomationError&) {
            }
        }
        return hits;
    }

    // The wrapper's notes pass.
    int notesPass(const DispatchRef& doc, std::u16string find, std::u16string replace)
    {
        int hits = 0;
        for (int which : {7, 8}) {
            try {
                const char* collection = which == 7 ? "FootNotes" : "EndNotes";
                if (toInt32(obj(doc->get(collection))->get("Count")) == 0)
                    continue;
                DispatchRef v = paneView(doc);
                const int type = toInt32(v->get("Type"));
                if (type == 3 || type == 6 || type == 4)
                    v->put("SeekView", Variant(which));
                else
                    v->put("SplitSpecial", Variant(which));
                hits += findAndChange(doc, find, replace, 0, 1);
            } catch (const AutomationError&) {
            }
        }
        paneView(doc)->put("SeekView", Variant(0));
        return hits;
    }

    DispatchRef app;
};

TEST_F(WordServerTest, ApplicationAndDocumentMembers)
{
    DocxContent parts;
    parts.body = test::para({"Hello"}) + "<w:sectPr/>";
    const std::string file = write("a.docx", parts);
    app->put("Visible", Variant(false));
    EXPECT_FALSE(toBool(app->get("Visible")));
    DispatchRef docs = obj(app->get("documents"));
    EXPECT_EQ(toInt32(docs->get("Count")), 0);
    DispatchRef doc = open(file);
    EXPECT_EQ(toInt32(docs->get("COUNT")), 1);
    EXPECT_EQ(toInt32(doc->get("ProtectionType")), -1);
    EXPECT_EQ(toInt32(obj(doc->get("Sections"))->get("Count")), 1);
    EXPECT_EQ(toInt32(obj(doc->get("FootNotes"))->get("Count")), 0);
    EXPECT_EQ(toInt32(obj(doc->get("EndNotes"))->get("Count")), 0);
    EXPECT_EQ(toInt32(obj(doc->get("PageSetup"))->get("DifferentFirstPageHeaderFooter")), 0);
    EXPECT_EQ(toInt32(obj(doc->get("PageSetup"))->get("OddAndEvenPagesHeaderFooter")), 0);
    obj(app->get("Options"))->put("DefaultHighlightColorIndex", Variant(0));
    EXPECT_EQ(toInt32(paneView(doc)->get("Type")), 3);
    EXPECT_EQ(toInt32(obj(window(doc)->get("View"))->get("SplitSpecial")), 0);
    EXPECT_EQ(storyText(doc), "Hello\r");
    // Opening the same file again gives the open document.
    open(file);
    EXPECT_EQ(toInt32(docs->get("Count")), 1);
    doc->call("Close", {Variant(0), Variant::missing(), Variant::missing()});
    EXPECT_EQ(toInt32(docs->get("Count")), 0);
    EXPECT_THROW(doc->get("ProtectionType"), AutomationError);
    app->call("Quit", {Variant(0), Variant::missing(), Variant::missing()});
    try {
        app->get("Documents");
        FAIL();
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.code(), kErrorServerUnavailable);
    }
}

TEST_F(WordServerTest, ProtectionTypes)
{
    const struct
    {
        const char* settings;
        int expected;
    } cases[] = {
        {"<w:zoom w:percent=\"100\"/>", -1},
        {"<w:documentProtection w:edit=\"readOnly\" w:enforcement=\"1\"/>", 3},
        {"<w:documentProtection w:edit=\"forms\" w:enforcement=\"true\"/>", 2},
        {"<w:documentProtection w:edit=\"comments\" w:enforcement=\"on\"/>", 1},
        {"<w:documentProtection w:edit=\"trackedChanges\" w:enforcement=\"1\"/>", 0},
        {"<w:documentProtection w:edit=\"none\" w:enforcement=\"1\"/>", 3},
        {"<w:documentProtection w:edit=\"readOnly\" w:enforcement=\"0\"/>", -1},
        {"<w:writeProtection w:cryptProviderType=\"rsaAES\" w:hash=\"x\"/>", 3},
        {"<w:writeProtection w:recommended=\"1\"/>", -1},
    };
    int n = 0;
    for (const auto& c : cases) {
        DocxContent parts;
        parts.body = test::para({"x"});
        parts.settings = c.settings;
        DispatchRef doc = open(write("p" + std::to_string(n++) + ".docx", parts));
        EXPECT_EQ(toInt32(doc->get("ProtectionType")), c.expected) << c.settings;
        doc->call("Close", {Variant(0), Variant::missing(), Variant::missing()});
    }
}

TEST_F(WordServerTest, SearchLoopChangesEachPositionOnce)
{
    const struct
    {
        const char* text;
        const char16_t* find;
        const char16_t* replace;
        int flags;
        int mode;
        int hits;
        const char* result;
    } cases[] = {
        {"abb", u"ab", u"xa", 0, 1, 1, "xab\r"},
        {"a a a", u"a", u"aa", 0, 1, 3, "aa aa aa\r"},
        {"abc abc", u"abc", u"[^&]", 0, 1, 2, "[abc] [abc]\r"},
        {"Cat cat", u"cat", u"dog", 1, 1, 1, "Cat dog\r"},
        {"Cat cat", u"cat", u"dog", 0, 1, 2, "dog dog\r"},
        {"cat concat cats cat.", u"cat", u"X", 4, 1, 2, "X concat cats X.\r"},
        {"one two one", u"one", u"", 0, 2, 2, " two \r"},
        {"ab ab", u"ab", u"!", 0, 8, 2, "ab! ab!\r"},
        {"ab ab", u"ab", u"!", 0, 16, 2, "!ab !ab\r"},
        {"ab ab", u"ab", u"!", 0, 128, 2, "ab ab\r"},
        {"x1 y22", u"^#", u"N", 0, 1, 3, "xN yNN\r"},
        {"aaaa", u"a", u"", 0, 2, 4, "\r"},
        {"nothing here", u"zzz", u"y", 0, 1, 0, "nothing here\r"},
        {"tel 123-45", u"[0-9]@", u"#", 2, 1, 2, "tel #-#\r"},
    };
    int n = 0;
    for (const auto& c : cases) {
        DocxContent parts;
        parts.body = test::para({c.text}) + "<w:p/>";
        DispatchRef doc = open(write("s" + std::to_string(n++) + ".docx", parts));
        EXPECT_EQ(findAndChange(doc, c.find, c.replace, c.flags, c.mode), c.hits) << c.text;
        std::string text = storyText(doc);
        EXPECT_EQ(text.substr(0, text.size() - 1), c.result) << c.text;
        doc->call("Close", {Variant(0), Variant::missing(), Variant::missing()});
    }
}

TEST_F(WordServerTest, TextAcrossRunsIsFoundAndOnlyTouchedRunsChange)
{
    DocxContent parts;
    parts.body = "<w:p><w:r><w:rPr><w:b/></w:rPr><w:t>Hel</w:t></w:r><w:r><w:rPr><w:i/></w:rPr>"
                 "<w:t xml:space=\"preserve\">lo wor</w:t></w:r><w:r><w:t>ld</w:t></w:r></w:p>"
                 "<w:p><w:r><w:t>second Hello</w:t></w:r></w:p><w:sectPr/>";
    const std::string file = write("runs.docx", parts);
    const auto before = test::readZip(posix("runs.docx"));
    DispatchRef doc = open(file);
    EXPECT_EQ(findAndChange(doc, u"hello world", u"Hi", 0, 1), 1);
    EXPECT_EQ(findAndChange(doc, u"hello", u"Bye", 0, 1), 1);
    EXPECT_EQ(storyText(doc), "Hi\rsecond Bye\r");
    doc->call("Save");
    doc->call("Close", {Variant(0), Variant::missing(), Variant::missing()});
    const auto after = test::readZip(posix("runs.docx"));
    const std::string& xml = after.at("word/document.xml");
    EXPECT_NE(xml.find("<w:body><w:p><w:r><w:rPr><w:b/></w:rPr><w:t>Hi</w:t></w:r></w:p>"
                       "<w:p><w:r><w:t>second Bye</w:t></w:r></w:p><w:sectPr/></w:body>"),
              std::string::npos)
        << xml;
    for (const auto& [name, bytes] : before) {
        if (name != "word/document.xml") {
            EXPECT_EQ(after.at(name), bytes) << name;
        }
    }
    EXPECT_EQ(test::zipNames(posix("runs.docx")).size(), before.size());
}

TEST_F(WordServerTest, HitsNeverDeleteTheLastMarkOfACellOrNote)
{
    DocxContent parts;
    parts.body =
        "<w:tbl><w:tr><w:tc><w:p><w:r><w:t>X</w:t></w:r></w:p></w:tc>"
        "<w:tc><w:p><w:r><w:t>X</w:t></w:r></w:p><w:p><w:r><w:t>Y</w:t></w:r></w:p></w:tc></w:tr></w:tbl>"
        "<w:p><w:r><w:t>X</w:t></w:r><w:r><w:footnoteReference "
        "w:id=\"1\"/></w:r><w:r><w:t>Z</w:t></w:r></w:p>";
    parts.footnotes =
        "<w:footnote w:type=\"separator\" w:id=\"-1\"><w:p><w:r><w:separator/></w:r></w:p></w:footnote>"
        "<w:footnote w:id=\"1\"><w:p><w:r><w:footnoteRef/></w:r><w:r><w:t xml:space=\"preserve\"> X</w:t>"
        "</w:r></w:p></w:footnote>";
    DispatchRef doc = open(write("cells.docx", parts));
    EXPECT_EQ(findAndChange(doc, u"x^p", u"-", 0, 1), 1); // only the cell with two paragraphs
    EXPECT_EQ(findAndChange(doc, u"xz", u"-", 0, 1), 0);  // the note reference lies between
    EXPECT_EQ(notesPass(doc, u"x^p", u"-"), 0);
    EXPECT_EQ(notesPass(doc, u"x", u"note"), 1);
    paneView(doc)->put("SeekView", Variant(7));
    EXPECT_EQ(storyText(doc), "\xEF\xBF\xBF note\r");
    paneView(doc)->put("SeekView", Variant(0));
    const std::string text = storyText(doc);
    EXPECT_EQ(text, "X\r\xEF\xBF\xBF-Y\r\xEF\xBF\xBF\xEF\xBF\xBFX\xEF\xBF\xBFZ\r");
}

TEST_F(WordServerTest, HeaderPassSearchesEveryHeaderAndFooterPartOnce)
{
    DocxContent parts;
    const std::string ns = "<w:headerReference w:type=\"default\" r:id=\"header1\"/>"
                           "<w:headerReference w:type=\"first\" r:id=\"header2\"/>"
                           "<w:footerReference w:type=\"default\" r:id=\"footer1\"/><w:titlePg/>";
    parts.body = "<w:p><w:pPr><w:sectPr>" + ns + "</w:sectPr></w:pPr><w:r><w:t>one X</w:t></w:r></w:p>" +
                 "<w:p><w:pPr><w:sectPr/></w:pPr><w:r><w:t>two</w:t></w:r></w:p>" + // inherits
                 "<w:p><w:r><w:t>three</w:t></w:r></w:p>" +
                 "<w:sectPr><w:headerReference w:type=\"default\" r:id=\"header1\"/>" // linked to section 1
                 "<w:headerReference w:type=\"even\" r:id=\"header3\"/></w:sectPr>";
    parts.settings = "<w:evenAndOddHeaders/>";
    parts.headers = {
        {"header1", test::para({"X h1"})},
        {"header2", "<w:p><w:r><w:t>X</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>X</w:t></w:r></w:p>"},
        {"header3", "<w:tbl><w:tr><w:tc>" + test::para({"X h3"}) + "</w:tc></w:tr></w:tbl><w:p/>"}};
    parts.footers = {{"footer1", test::para({"X f1"})}};
    const std::string file = write("hf.docx", parts);
    DispatchRef doc = open(file);
    EXPECT_EQ(toInt32(obj(doc->get("Sections"))->get("Count")), 3);
    EXPECT_EQ(toInt32(obj(doc->get("PageSetup"))->get("OddAndEvenPagesHeaderFooter")), -1);
    EXPECT_EQ(headerPass(doc, u"x", u"[^&]"), 5);
    doc->call("Save");
    doc->call("Close", {Variant(0), Variant::missing(), Variant::missing()});
    const auto saved = test::readZip(posix("hf.docx"));
    EXPECT_NE(saved.at("word/header1.xml").find("[X] h1"), std::string::npos);
    EXPECT_NE(
        saved.at("word/header2.xml").find("<w:t>[X]</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>[X]</w:t>"),
        std::string::npos)
        << saved.at("word/header2.xml");
    EXPECT_NE(saved.at("word/header3.xml").find("[X] h3"), std::string::npos);
    EXPECT_NE(saved.at("word/footer1.xml").find("[X] f1"), std::string::npos);
    EXPECT_NE(saved.at("word/document.xml").find("one X"), std::string::npos); // the main text untouched
}

TEST_F(WordServerTest, SeekViewSplitSpecialAndGoTo)
{
    DocxContent parts;
    parts.body =
        "<w:p><w:pPr><w:sectPr><w:headerReference w:type=\"first\" r:id=\"header2\"/></w:sectPr></w:pPr>"
        "<w:r><w:t>s1</w:t></w:r></w:p><w:p><w:r><w:t>s2</w:t></w:r></w:p>"
        "<w:sectPr><w:headerReference w:type=\"default\" r:id=\"header1\"/></w:sectPr>";
    parts.headers = {{"header1", test::para({"H1"})}, {"header2", test::para({"H2"})}};
    parts.endnotes = "<w:endnote w:id=\"0\" w:type=\"continuationSeparator\"><w:p/></w:endnote>"
                     "<w:endnote w:id=\"2\"><w:p><w:r><w:t>E</w:t></w:r></w:p></w:endnote>";
    DispatchRef doc = open(write("views.docx", parts));
    DispatchRef view = paneView(doc);
    DispatchRef sel = selection(doc);
    DispatchRef appSel = obj(app->get("Selection"));
    appSel->call("GoTo", {Variant(0), Variant(1), Variant(2)});
    EXPECT_EQ(toInt32(sel->get("Start")), 3);
    view->put("SeekView", Variant(1)); // the primary header of section 2
    EXPECT_EQ(storyText(doc), "H1\r");
    view->put("SeekView", Variant(2)); // section 2's first-page header is inherited from section 1
    EXPECT_EQ(storyText(doc), "H2\r");
    view->put("SeekView", Variant(9));
    EXPECT_EQ(storyText(doc), "H1\r");
    appSel->call("GoTo", {Variant(0), Variant(1), Variant(1)});
    view->put("SeekView", Variant(9));
    EXPECT_EQ(storyText(doc), "H2\r");
    view->put("SeekView", Variant(10));
    EXPECT_EQ(storyText(doc), "");
    EXPECT_THROW(appSel->call("GoTo", {Variant(0), Variant(1), Variant(3)}), AutomationError);
    EXPECT_THROW(view->put("SeekView", Variant(11)), AutomationError);
    EXPECT_THROW(view->put("SplitSpecial", Variant(9)), AutomationError);
    // The split pane of notes, closed through Panes.Item(2).
    view->put("Type", Variant(1));
    view->put("SplitSpecial", Variant(8));
    EXPECT_EQ(storyText(doc), "E\r");
    DispatchRef panes = obj(window(doc)->get("Panes"));
    EXPECT_EQ(toInt32(panes->get("Count")), 2);
    obj(panes->call("Item", {Variant(2)}))->call("Close");
    EXPECT_EQ(toInt32(obj(window(doc)->get("View"))->get("SplitSpecial")), 0);
    EXPECT_EQ(storyText(doc), "s1\rs2\r");
    EXPECT_THROW(panes->call("Item", {Variant(2)}), AutomationError);
    EXPECT_THROW(obj(doc->get("Windows"))->call("Item", {Variant(2)}), AutomationError);
}

TEST_F(WordServerTest, DocumentWithoutSectionProperties)
{
    EXPECT_THROW(app->get("Selection"), AutomationError); // no document open
    DocxContent parts;
    parts.body = test::para({"plain"});
    DispatchRef doc = open(write("nosect.docx", parts));
    EXPECT_EQ(toInt32(obj(doc->get("Sections"))->get("Count")), 0);
    DispatchRef setup = obj(doc->get("PageSetup"));
    EXPECT_EQ(toInt32(setup->get("DifferentFirstPageHeaderFooter")), 0);
    EXPECT_EQ(toInt32(setup->get("OddAndEvenPagesHeaderFooter")), 0);
    for (int seek : {2, 5, 3, 6, 1, 4}) {
        paneView(doc)->put("SeekView", Variant(seek));
        EXPECT_EQ(findAndChange(doc, u"plain", u"x", 0, 1), 0);
    }
    paneView(doc)->put("SeekView", Variant(0));
    EXPECT_EQ(toInt32(paneView(doc)->get("SeekView")), 0);
    EXPECT_EQ(storyText(doc), "plain\r");
}

TEST_F(WordServerTest, SelectionSemantics)
{
    DocxContent parts;
    parts.body = test::para({"abcdef"}) + "<w:p/>";
    DispatchRef doc = open(write("sel.docx", parts));
    DispatchRef sel = selection(doc);
    sel->put("Start", Variant(2));
    EXPECT_EQ(toInt32(sel->get("End")), 2);
    sel->put("End", Variant(4));
    EXPECT_EQ(utf16ToUtf8(sel->get("Text").text()), "cd");
    sel->put("End", Variant(1)); // before the start: the start follows
    EXPECT_EQ(toInt32(sel->get("Start")), 1);
    sel->put("End", Variant(1000));
    EXPECT_EQ(toInt32(sel->get("End")), 8);
    sel->put("Start", Variant(-5));
    EXPECT_EQ(toInt32(sel->get("Start")), 0);
    sel->put("Start", Variant(2));
    sel->put("End", Variant(4));
    sel->put("Text", Variant(u"XYZ"));
    EXPECT_EQ(toInt32(sel->get("Start")), 2);
    EXPECT_EQ(toInt32(sel->get("End")), 5);
    sel->call("InsertBefore", {Variant(u"<")});
    EXPECT_EQ(toInt32(sel->get("End")), 6);
    sel->call("InsertAfter", {Variant(u">")});
    EXPECT_EQ(toInt32(sel->get("Start")), 2);
    EXPECT_EQ(toInt32(sel->get("End")), 7);
    EXPECT_EQ(utf16ToUtf8(sel->get("Text").text()), "<XYZ>");
    EXPECT_THROW(sel->put("Text", Variant(u"\x01")), AutomationError); // not an XML character
    EXPECT_EQ(storyText(doc), "ab<XYZ>ef\r\r");
    // Insertion at the head (mode 4) and at the foot (mode 64).
    sel->put("Start", Variant(0));
    sel->put("End", Variant(0));
    sel->call("InsertBefore", {Variant(u"HEAD ")});
    sel->call("EndKey", {Variant(6), Variant(0)});
    EXPECT_EQ(toInt32(sel->get("Start")), 15); // before the final paragraph mark
    sel->call("InsertAfter", {Variant(u" FOOT")});
    EXPECT_EQ(storyText(doc), "HEAD ab<XYZ>ef\r FOOT\r");
}

// Text opened read-only takes no change through the selection: each way of writing raises and the
// story stays as it was.
TEST_F(WordServerTest, ReadOnlyTextRefusesEveryWrite)
{
    DocxContent parts;
    parts.body = test::para({"abcdef"});
    const std::string file = write("ro.docx", parts);
    DispatchRef docs = obj(app->get("Documents"));
    DispatchRef doc =
        obj(docs->call("Open", {u(file), Variant(false), Variant(true), Variant(false), Variant(u""),
                                Variant(u""), Variant(false), Variant(u""), Variant(u""), Variant(0)}));
    DispatchRef sel = selection(doc);
    const std::function<void()> writes[] = {
        [&] { sel->put("Text", Variant(u"X")); },
        [&] { sel->call("InsertBefore", {Variant(u"<")}); },
        [&] { sel->call("InsertAfter", {Variant(u">")}); },
    };
    for (const auto& write : writes) {
        sel->put("Start", Variant(2));
        sel->put("End", Variant(4));
        EXPECT_THROW(write(), AutomationError);
        EXPECT_EQ(toInt32(sel->get("Start")), 2);
        EXPECT_EQ(toInt32(sel->get("End")), 4);
        EXPECT_EQ(storyText(doc), "abcdef\r");
    }
}

TEST_F(WordServerTest, ExecuteArguments)
{
    DocxContent parts;
    parts.body = test::para({"abc"});
    DispatchRef doc = open(write("args.docx", parts));
    DispatchRef find = obj(selection(doc)->get("Find"));
    auto execute = [&](std::vector<Variant> args) {
        return find->invoke("Execute", InvokeKind::kMethod, args);
    };
    EXPECT_TRUE(toBool(execute({Variant(u"b")})));
    EXPECT_THROW(execute({Variant(u"b"), Variant(false), Variant(false), Variant(false), Variant(true)}),
                 AutomationError);
    EXPECT_THROW(execute({Variant(u"b"), Variant(false), Variant(false), Variant(false), Variant(false),
                          Variant(false), Variant(false)}),
                 AutomationError);
    EXPECT_THROW(
        execute({Variant(u"b"), Variant(false), Variant(false), Variant(false), Variant(false),
                 Variant(false), Variant(true), Variant(1), Variant(false), Variant(u"x"), Variant(2)}),
        AutomationError);
    EXPECT_THROW(execute({Variant(u"^x")}), AutomationError);
    // Integers are accepted for Booleans and the other way round.
    selection(doc)->put("Start", Variant(0));
    EXPECT_TRUE(toBool(execute({Variant(u"A"), Variant(0), Variant(0), Variant(0), Variant(0), Variant(0),
                                Variant(-1), Variant(1.0), Variant(0), Variant(u""), Variant(0)})));
    // No wrap: the search stops at the end.
    DispatchRef sel = selection(doc);
    sel->put("Start", Variant(2));
    EXPECT_FALSE(toBool(execute({Variant(u"a"), Variant::missing(), Variant::missing(), Variant::missing(),
                                 Variant::missing(), Variant::missing(), Variant::missing(), Variant(0)})));
    EXPECT_EQ(toInt32(sel->get("Start")), 2);
}

TEST_F(WordServerTest, SaveKeepsUnchangedFilesAndReadOnlyOpenCannotSave)
{
    DocxContent parts;
    parts.body = test::para({"keep"});
    const std::string file = write("keep.docx", parts);
    const std::string bytes = test::readFileBytes(file);
    DispatchRef doc = open(file);
    doc->call("Save"); // nothing changed: nothing written
    EXPECT_EQ(findAndChange(doc, u"keep", u"drop", 0, 1), 1);
    doc->call("Close", {Variant(0), Variant::missing(), Variant::missing()}); // changes dropped
    EXPECT_EQ(test::readFileBytes(file), bytes);

    DispatchRef docs = obj(app->get("Documents"));
    DispatchRef ro = obj(docs->call("Open", {u(file), Variant(false), Variant(true)}));
    EXPECT_THROW(ro->call("Save"), AutomationError);
    EXPECT_THROW(selection(ro)->put("Text", Variant(u"x")), AutomationError);
    ro->call("Close", {Variant(0)});
    EXPECT_EQ(test::readFileBytes(file), bytes);
}

TEST_F(WordServerTest, FailedSavesLeaveTheFileAsItWas)
{
    ScopedFaultClear clear;
    DocxContent parts;
    parts.body = test::para({"keep"});
    const std::string file = write("full.docx", parts);
    const std::string bytes = test::readFileBytes(file);
    DispatchRef doc = open(file);
    EXPECT_EQ(findAndChange(doc, u"keep", u"drop", 0, 1), 1);
    injectFault(file, kErrorDiskFull, kFaultWrite);
    EXPECT_THROW(doc->call("Save"), AutomationError);
    clearFaults();
    EXPECT_EQ(test::readFileBytes(file), bytes);
    EXPECT_EQ(test::listNames(drive.root()), std::vector<std::string>{"full.docx"});
    // A read-only file cannot be saved either.
    test::createFile(file, bytes, test::kNoTime, 0444);
    EXPECT_THROW(doc->call("Save"), AutomationError);
    EXPECT_EQ(test::readFileBytes(file), bytes);
    test::createFile(file, bytes, test::kNoTime, 0644);
    doc->call("Save");
    doc->call("Close", {Variant(0)});
    EXPECT_EQ(storyText(open(file)), "drop\r");
}

TEST_F(WordServerTest, ManyHitsInOneDocument)
{
    DocxContent parts;
    std::string body;
    for (int i = 0; i < 400; ++i)
        body += "<w:p><w:r><w:t>foo bar foo </w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>fo</w:t></w:r>"
                "<w:r><w:t>o baz foo</w:t></w:r></w:p>";
    parts.body = body + "<w:sectPr/>";
    DispatchRef doc = open(write("many.docx", parts));
    EXPECT_EQ(findAndChange(doc, u"foo", u"quux", 0, 1), 1600);
    const std::string text = storyText(doc);
    EXPECT_EQ(text.substr(0, 34), "quux bar quux quux baz quux\rquux b");
    EXPECT_EQ(text.find("foo"), std::string::npos);
}

} // namespace
} // namespace wux::platform::automation
