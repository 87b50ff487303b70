#include "excel_books_test.h"

#include "platform/automation/docx_fixture.h"
#include "platform/text.h"

namespace wux::office::test {

namespace automation = platform::automation;
using automation::asDispatch;
using automation::Variant;

namespace {

const char* kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char* kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const char* kType = "application/vnd.openxmlformats-officedocument.spreadsheetml.";

const char* kStyles =
    "<numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"#,##0.000\"/></numFmts>"
    "<fonts count=\"2\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font>"
    "<font><b/><i/><u/><sz val=\"14\"/><color rgb=\"FFFF0000\"/><name val=\"Arial\"/></font></fonts>"
    "<fills count=\"3\"><fill><patternFill patternType=\"none\"/></fill>"
    "<fill><patternFill patternType=\"gray125\"/></fill>"
    "<fill><patternFill patternType=\"solid\"><fgColor rgb=\"FFFFFF00\"/></patternFill></fill></fills>"
    "<cellXfs count=\"5\">"
    "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\"/>"
    "<xf numFmtId=\"2\" fontId=\"0\" fillId=\"0\" applyNumberFormat=\"1\"/>"
    "<xf numFmtId=\"14\" fontId=\"0\" fillId=\"0\" applyNumberFormat=\"1\"/>"
    "<xf numFmtId=\"164\" fontId=\"0\" fillId=\"0\" applyNumberFormat=\"1\"/>"
    "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"2\" applyFont=\"1\" applyFill=\"1\"/>"
    "</cellXfs>";

std::string styleAttr(int style)
{
    return style == 0 ? std::string() : " s=\"" + std::to_string(style) + "\"";
}

} // namespace

std::string sharedCell(const std::string& ref, int index, int style)
{
    return "<c r=\"" + ref + "\"" + styleAttr(style) + " t=\"s\"><v>" + std::to_string(index) + "</v></c>";
}

std::string inlineCell(const std::string& ref, const std::string& text)
{
    return "<c r=\"" + ref + "\" t=\"inlineStr\"><is><t>" + text + "</t></is></c>";
}

std::string numberCell(const std::string& ref, const std::string& value, int style)
{
    return "<c r=\"" + ref + "\"" + styleAttr(style) + "><v>" + value + "</v></c>";
}

std::string boolCell(const std::string& ref, bool value)
{
    return "<c r=\"" + ref + "\" t=\"b\"><v>" + (value ? "1" : "0") + "</v></c>";
}

std::string errorCell(const std::string& ref, const std::string& error)
{
    return "<c r=\"" + ref + "\" t=\"e\"><v>" + error + "</v></c>";
}

std::string formulaCell(const std::string& ref, const std::string& formula, const std::string& cached,
                        const std::string& type, int style)
{
    return "<c r=\"" + ref + "\"" + styleAttr(style) + (type.empty() ? "" : " t=\"" + type + "\"") + "><f>" +
           formula + "</f><v>" + cached + "</v></c>";
}

std::string row(int number, const std::string& cells)
{
    return "<row r=\"" + std::to_string(number) + "\">" + cells + "</row>";
}

SheetSpec sheet(const std::string& name, const std::string& data, const std::string& after,
                const std::string& activeCell)
{
    SheetSpec content;
    content.name = name;
    content.data = data;
    content.after = after;
    content.activeCell = activeCell;
    return content;
}

std::string buildBook(const BookSpec& book)
{
    std::vector<std::pair<std::string, std::string>> entries;
    std::string types = std::string(kHead) +
                        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                        "<Default Extension=\"rels\" "
                        "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                        "<Default Extension=\"png\" ContentType=\"image/png\"/>"
                        "<Override PartName=\"/xl/workbook.xml\" ContentType=\"" +
                        kType + "sheet.main+xml\"/>";
    std::string rels =
        std::string(kHead) +
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    std::string sheets;
    std::vector<std::pair<std::string, std::string>> sheetParts;
    for (std::size_t i = 0; i < book.sheets.size(); ++i) {
        const SheetSpec& s = book.sheets[i];
        const std::string id = "rId" + std::to_string(i + 1);
        const std::string part = "worksheets/sheet" + std::to_string(i + 1) + ".xml";
        const std::string xml =
            std::string(kHead) + "<worksheet xmlns=\"" + kMain + "\" xmlns:r=\"" + kRel +
            "\"><sheetViews><sheetView workbookViewId=\"0\"><selection activeCell=\"" + s.activeCell +
            "\" sqref=\"" + s.activeCell +
            "\"/></sheetView></sheetViews><sheetFormatPr defaultRowHeight=\"15\"/>" + "<sheetData>" + s.data +
            "</sheetData>" + s.after +
            "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" "
            "footer=\"0.3\"/></worksheet>";
        types += "<Override PartName=\"/xl/" + part + "\" ContentType=\"" + kType + "worksheet+xml\"/>";
        rels += "<Relationship Id=\"" + id + "\" Type=\"" + kRel + "/worksheet\" Target=\"" + part + "\"/>";
        sheets +=
            "<sheet name=\"" + s.name + "\" sheetId=\"" + std::to_string(i + 1) + "\" r:id=\"" + id + "\"/>";
        sheetParts.emplace_back("xl/" + part, xml);
    }
    types += "<Override PartName=\"/xl/styles.xml\" ContentType=\"" + std::string(kType) + "styles+xml\"/>";
    types += "<Override PartName=\"/xl/sharedStrings.xml\" ContentType=\"" + std::string(kType) +
             "sharedStrings+xml\"/>";
    rels += "<Relationship Id=\"rId100\" Type=\"" + std::string(kRel) + "/styles\" Target=\"styles.xml\"/>";
    rels += "<Relationship Id=\"rId101\" Type=\"" + std::string(kRel) +
            "/sharedStrings\" Target=\"sharedStrings.xml\"/>";
    if (book.calcChain) {
        types += "<Override PartName=\"/xl/calcChain.xml\" ContentType=\"" + std::string(kType) +
                 "calcChain+xml\"/>";
        rels += "<Relationship Id=\"rId102\" Type=\"" + std::string(kRel) +
                "/calcChain\" Target=\"calcChain.xml\"/>";
    }
    types += "</Types>";
    rels += "</Relationships>";

    entries.emplace_back("[Content_Types].xml", types);
    entries.emplace_back("_rels/.rels",
                         std::string(kHead) +
                             "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                             "relationships\"><Relationship Id=\"rId1\" Type=\"" +
                             kRel + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>");
    entries.emplace_back("xl/workbook.xml", std::string(kHead) + "<workbook xmlns=\"" + kMain +
                                                "\" xmlns:r=\"" + kRel +
                                                "\"><workbookPr/><bookViews><workbookView activeTab=\"" +
                                                std::to_string(book.activeTab) + "\"/></bookViews><sheets>" +
                                                sheets + "</sheets><calcPr calcId=\"191029\"/></workbook>");
    entries.emplace_back("xl/_rels/workbook.xml.rels", rels);
    for (auto& part : sheetParts)
        entries.push_back(part);
    entries.emplace_back("xl/styles.xml", std::string(kHead) + "<styleSheet xmlns=\"" + kMain + "\">" +
                                              kStyles + "</styleSheet>");
    std::string sst = std::string(kHead) + "<sst xmlns=\"" + kMain + "\" count=\"" +
                      std::to_string(book.strings.size()) + "\" uniqueCount=\"" +
                      std::to_string(book.strings.size()) + "\">";
    for (const std::string& s : book.strings)
        sst += "<si><t xml:space=\"preserve\">" + s + "</t></si>";
    entries.emplace_back("xl/sharedStrings.xml", sst + "</sst>");
    if (book.calcChain)
        entries.emplace_back("xl/calcChain.xml", std::string(kHead) + "<calcChain xmlns=\"" + kMain +
                                                     "\"><c r=\"B1\" i=\"1\"/></calcChain>");
    entries.emplace_back("xl/media/image1.png", std::string("\x89PNG\r\n\x1a\n binary \0\x01\x02 data", 24));
    return wux::test::buildZip(entries);
}

BookReader::BookReader(const std::string& windowsPath)
{
    app_ = automation::createObject("Excel.Application");
    book_ = asDispatch(asDispatch(app_->get("Workbooks"))->call("Add", {Variant::fromUtf8(windowsPath)}));
}

BookReader::~BookReader()
{
    try {
        book_->call("Close", {Variant(false)});
        app_->call("Quit");
    } catch (...) {
    }
}

std::int32_t BookReader::sheetCount() const
{
    return automation::toInt32(asDispatch(book_->get("Worksheets"))->get("Count"));
}

automation::DispatchRef BookReader::cell(int sheet, int row, int column) const
{
    const auto ws = asDispatch(asDispatch(book_->get("Worksheets"))->get("Item", {Variant(sheet)}));
    return asDispatch(asDispatch(ws->get("Cells"))->get("Item", {Variant(row), Variant(column)}));
}

std::string BookReader::value(int sheet, int row, int column) const
{
    const Variant v = cell(sheet, row, column)->get("Value");
    if (v.type() == automation::VarType::kError)
        return "#ERR";
    return automation::variantToUtf8(v);
}

automation::VarType BookReader::type(int sheet, int row, int column) const
{
    return cell(sheet, row, column)->get("Value").type();
}

std::string BookReader::text(int sheet, int row, int column) const
{
    return automation::variantToUtf8(cell(sheet, row, column)->get("Text"));
}

std::string BookReader::formula(int sheet, int row, int column) const
{
    return automation::variantToUtf8(cell(sheet, row, column)->get("FormulaR1C1"));
}

} // namespace wux::office::test
