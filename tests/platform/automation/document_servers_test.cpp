// What the four document servers share: a file a server cannot read fails at its open call with the
// server's own error source and a message, stays byte for byte as it was, and leaves nothing open.

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/automation/dispatch.h"
#include "support/dispatch_calls.h"
#include "support/file_builders.h"
#include "support/packages.h"
#include "support/temp_drive.h"

namespace wux::platform::automation {
namespace {

using test::obj;
using test::u;

enum class Kind
{
    kSpreadsheet,
    kWord,
    kPresentation,
    kOpenDocument
};

const char* sourceOf(Kind kind)
{
    switch (kind) {
    case Kind::kSpreadsheet:
        return "Excel.Application";
    case Kind::kWord:
        return "Word.Application";
    case Kind::kPresentation:
        return "PowerPoint.Application";
    case Kind::kOpenDocument:
        return "com.sun.star.ServiceManager";
    }
    return "";
}

struct Unreadable
{
    Kind kind;
    std::string name;
    std::optional<std::string> bytes; // nothing: no such file
};

void PrintTo(const Unreadable& row, std::ostream* os)
{
    *os << sourceOf(row.kind) << " " << row.name;
}

const char* kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
const std::string kRels = "http://schemas.openxmlformats.org/package/2006/relationships";
const std::string kOfficeRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const std::string kLegacy = std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(800, '\0');

std::string repeat(const std::string& text, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

// Patches the declared uncompressed size of an entry (local header and central directory).
std::string declareSize(std::string zip, const std::string& name, std::uint32_t size)
{
    auto put = [&](std::size_t at) {
        for (int k = 0; k < 4; ++k)
            zip[at + k] = static_cast<char>((size >> (8 * k)) & 0xFF);
    };
    for (std::size_t at = 0; (at = zip.find(name, at)) != std::string::npos; at += name.size()) {
        if (at >= 30 && zip.compare(at - 30, 4, "PK\x03\x04") == 0)
            put(at - 30 + 22);
        else if (at >= 46 && zip.compare(at - 46, 4, "PK\x01\x02") == 0)
            put(at - 46 + 24);
    }
    return zip;
}

// A package whose root relationship names its main part without a target; the part sits in an entry
// with an empty name (found by fuzzing: it was opened and edited but never saved).
std::string rootless(const std::string& mainPart)
{
    const std::string rels = std::string(kHead) + "<Relationships xmlns=\"" + kRels +
                             "\"><Relationship Id=\"rId1\" Type=\"" + kOfficeRel +
                             "/officeDocument\"/></Relationships>";
    return test::buildZip({{"_rels/.rels", rels}, {"", mainPart}});
}

std::vector<Unreadable> spreadsheetRows()
{
    const Kind k = Kind::kSpreadsheet;
    test::XlsxContent content;
    content.strings = {"<t>a</t>"};
    test::XlsxSheet first, second;
    first.name = "First";
    second.name = "Second";
    content.sheets = {first, second};
    auto withPart = [&](const std::string& name, const std::string& bytes) {
        auto entries = test::xlsxEntries(content);
        for (auto& [n, b] : entries)
            if (n == name)
                b = bytes;
        return test::buildZip(entries);
    };
    auto without = [&](const std::string& name) {
        auto entries = test::xlsxEntries(content);
        std::erase_if(entries, [&](const auto& e) { return e.first == name; });
        return test::buildZip(entries);
    };
    auto sheetWith = [&](const std::string& rows) {
        return withPart("xl/worksheets/sheet2.xml",
                        std::string(kHead) +
                            "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                            "<sheetData>" +
                            rows + "</sheetData></worksheet>");
    };
    return {
        {k, "text.xlsx", "just some text, not a package"},
        {k, "legacy.xls", kLegacy},
        {k, "empty.xlsx", ""},
        {k, "truncated.xlsx", test::buildXlsx(content).substr(0, 300)},
        {k, "broken-xml.xlsx", withPart("xl/worksheets/sheet2.xml", "<worksheet><sheetData><row>")},
        {k, "bad-index.xlsx", sheetWith("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>5</v></c></row>")},
        {k, "bad-ref.xlsx", sheetWith("<row r=\"1\"><c r=\"A2\"><v>1</v></c></row>")},
        {k, "bad-number.xlsx", sheetWith("<row r=\"1\"><c r=\"A1\"><v>1,5</v></c></row>")},
        {k, "twice.xlsx", sheetWith("<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"A1\"><v>2</v></c></row>")},
        {k, "row-twice.xlsx",
         sheetWith("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row><row r=\"2\"/><row r=\"1\"><c "
                   "r=\"B1\"><v>2</v></c></row>")},
        {k, "no-rows.xlsx", sheetWith("<row r=\"1048577\"/>")},
        {k, "no-columns.xlsx", sheetWith("<row r=\"1\">" + repeat("<c/>", 16385) + "</row>")},
        {k, "no-workbook.xlsx", without("xl/workbook.xml")},
        {k, "no-sheet.xlsx", without("xl/worksheets/sheet2.xml")},
        {k, "broken-sst.xlsx", withPart("xl/sharedStrings.xml", "<sst><si><t>x</si></sst>")},
        {k, "not-a-workbook.docx", test::buildDocx({})},
        {k, "missing.xlsx", std::nullopt},
    };
}

std::vector<Unreadable> wordRows()
{
    const Kind k = Kind::kWord;
    return {
        {k, "old.doc", kLegacy},
        {k, "letter.rtf", "{\\rtf1\\ansi Hello}"},
        {k, "works.wps", std::string(300, 'x')},
        {k, "book.docx",
         test::buildZip({{"[Content_Types].xml", "<Types/>"}, {"xl/workbook.xml", "<workbook/>"}})},
        {k, "broken.docx", test::buildDocx({}).substr(0, 300)},
        {k, "rootless.docx",
         rootless(std::string("<w:document xmlns:w=\"") + test::kWordNs + "\"><w:body>" +
                  test::para({"Hello"}) + "</w:body></w:document>")},
        {k, "missing.docx", std::nullopt},
    };
}

std::vector<Unreadable> presentationRows()
{
    const Kind k = Kind::kPresentation;
    test::PptxContent deck;
    deck.slides = {test::pptxTextBox({"one"}), test::pptxTextBox({"two"})};
    const std::string valid = test::buildPptx(deck);
    test::PptxContent broken = deck;
    broken.slides[1] = "<p:sp><p:txBody>";
    test::PptxContent big;
    big.slides = {test::pptxTextBox({std::string(1 << 20, 'x')})};
    return {
        {k, "legacy.ppt", kLegacy},
        {k, "show.pps", kLegacy},
        {k, "page.mht", "MIME-Version: 1.0\r\nContent-Type: multipart/related\r\n\r\n"},
        {k, "empty.pptx", ""},
        {k, "cut.pptx", valid.substr(0, valid.size() / 2)},
        {k, "broken.pptx", test::buildPptx(broken)},
        {k, "declared-bomb.pptx", declareSize(valid, "ppt/slides/slide1.xml", 0xFFFFFFF0u)},
        // 1 MB of text declared as 100 bytes.
        {k, "inflating.pptx", declareSize(test::buildPptx(big), "ppt/slides/slide1.xml", 100)},
        {k, "not-a-presentation.pptx", test::buildZip({{"a.txt", "hello"}})},
        {k, "rootless.pptx",
         rootless(std::string(kHead) +
                  "<p:presentation xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\">"
                  "<p:sldIdLst/></p:presentation>")},
        {k, "missing.pptx", std::nullopt},
    };
}

std::vector<Unreadable> openDocumentRows()
{
    const Kind k = Kind::kOpenDocument;
    test::OdtContent encrypted{"<text:p>secret</text:p>"};
    encrypted.manifestExtra = "<manifest:encryption-data manifest:checksum-type=\"SHA1/1K\"/>";
    test::OdtContent sheet{"<text:p>x</text:p>"};
    sheet.mimetype = "application/vnd.oasis.opendocument.spreadsheet";
    // 4 GB declared for content.xml in the central directory only.
    std::string bomb = test::buildOdt({"<text:p>" + std::string(1 << 16, 'x') + "</text:p>"});
    const std::size_t at = bomb.rfind("content.xml");
    for (int i = 0; i < 4; ++i)
        bomb[at - 46 + 24 + i] = '\xF0';
    return {
        {k, "legacy.odt", kLegacy},
        {k, "empty.odt", ""},
        {k, "encrypted.odt", test::buildOdt(encrypted)},
        {k, "sheet.odt", test::buildOdt(sheet)},
        {k, "broken.odt", test::buildOdt({"<text:p>open"})},
        {k, "blanks.odt", test::buildOdt({"<text:p><text:s text:c=\"2000000000\"/></text:p>"})},
        {k, "no-content.odt", test::buildZip({{"mimetype", test::kOdtMime}}, {"mimetype"})},
        {k, "bomb.odt", bomb},
        {k, "deep-spans.odt",
         test::buildOdt(
             {"<text:p>" + repeat("<text:span>", 5000) + "x" + repeat("</text:span>", 5000) + "</text:p>"})},
        {k, "deep-sections.odt",
         test::buildOdt({repeat("<text:section>", 5000) + repeat("</text:section>", 5000)})},
        {k, "many-blanks.odt",
         test::buildOdt({repeat("<text:p>a<text:s text:c=\"60000\"/>b</text:p>", 100)})},
        {k, "missing.odt", std::nullopt},
    };
}

class UnreadableDocument : public test::TempDriveTest, public ::testing::WithParamInterface<Unreadable>
{
protected:
    // Opens the file with the calls the office wrappers make; `open` is then the number of documents
    // the server holds open (the OpenDocument server does not count them).
    void open(const std::string& file)
    {
        const Variant no(false), none(u"");
        DispatchRef documents;
        switch (GetParam().kind) {
        case Kind::kSpreadsheet:
            documents = obj(createObject("Excel.Application")->get("Workbooks"));
            return call(documents, "Add", {u(file)});
        case Kind::kWord:
            documents = obj(createObject("Word.Application")->get("Documents"));
            return call(documents, "Open", {u(file), no, no, no, none, none, no, none, none, Variant(0)});
        case Kind::kPresentation:
            documents = obj(createObject("PowerPoint.Application")->get("Presentations"));
            return call(documents, "Open", {u(file), no, Variant::missing(), no});
        case Kind::kOpenDocument: {
            DispatchRef manager = createObject("com.sun.star.ServiceManager");
            DispatchRef hidden =
                obj(manager->call("Bridge_GetStruct", {u("com.sun.star.beans.PropertyValue")}));
            hidden->put("name", u("Hidden"));
            hidden->put("value", Variant(true));
            obj(manager->call("CreateInstance", {u("com.sun.star.frame.Desktop")}))
                ->call("LoadComponentFromURL", {u("file:///" + file), u("_default"), Variant(0),
                                                Variant::fromArray({Variant(hidden)})});
        }
        }
    }
    void call(const DispatchRef& documents, const char* method, std::initializer_list<Variant> args)
    {
        try {
            documents->invoke(method, InvokeKind::kMethod, std::vector<Variant>(args));
        } catch (...) {
            openCount = toInt32(documents->get("Count"));
            throw;
        }
    }
    int openCount = 0;
};

TEST_P(UnreadableDocument, FailsAtOpenAndStaysAsItWas)
{
    const Unreadable& row = GetParam();
    const std::string file = path(row.name);
    if (row.bytes)
        test::createFile(file, *row.bytes);
    try {
        open(file);
        ADD_FAILURE() << "no error";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.source(), sourceOf(row.kind));
        EXPECT_FALSE(e.message().empty());
    }
    EXPECT_EQ(openCount, 0);
    if (row.bytes)
        EXPECT_EQ(test::readFileBytes(file), *row.bytes);
    else
        EXPECT_FALSE(test::exists(file));
}

INSTANTIATE_TEST_SUITE_P(Spreadsheet, UnreadableDocument, ::testing::ValuesIn(spreadsheetRows()));
INSTANTIATE_TEST_SUITE_P(Word, UnreadableDocument, ::testing::ValuesIn(wordRows()));
INSTANTIATE_TEST_SUITE_P(Presentation, UnreadableDocument, ::testing::ValuesIn(presentationRows()));
INSTANTIATE_TEST_SUITE_P(OpenDocument, UnreadableDocument, ::testing::ValuesIn(openDocumentRows()));

} // namespace
} // namespace wux::platform::automation
