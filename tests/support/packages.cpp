#include "support/packages.h"

#include <zip.h>

#include <algorithm>

#include <gtest/gtest.h>

namespace wux::test {

namespace {

const char* kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
const char* kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
const std::string kRelsOpen =
    std::string(kHead) +
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
const std::string kTypesOpen =
    std::string(kHead) + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">";

std::string relationship(const std::string& id, const std::string& type, const std::string& target)
{
    return "<Relationship Id=\"" + id + "\" Type=\"" + type + "\" Target=\"" + target + "\"/>";
}

// Each entry of a zip file through `take` (name, stat, open file); false when it cannot be opened.
template <typename Take> void eachEntry(const std::string& posixPath, zip_flags_t flags, Take take)
{
    int error = 0;
    zip_t* z = zip_open(posixPath.c_str(), ZIP_RDONLY, &error);
    if (!z)
        return;
    const zip_int64_t n = zip_get_num_entries(z, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_stat_t st;
        zip_stat_index(z, static_cast<zip_uint64_t>(i), 0, &st);
        std::string bytes(static_cast<std::size_t>(flags ? st.comp_size : st.size), '\0');
        if (zip_file_t* f = zip_fopen_index(z, static_cast<zip_uint64_t>(i), flags)) {
            zip_fread(f, bytes.data(), bytes.size());
            zip_fclose(f);
        }
        take(st, bytes);
    }
    zip_discard(z);
}

} // namespace

// ---- zip ----

std::string buildZip(const ZipEntries& entries, const std::vector<std::string>& stored)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* out = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(out);
    zip_t* z = zip_open_from_source(out, ZIP_TRUNCATE, &error);
    zip_error_fini(&error);
    for (const auto& [name, bytes] : entries) {
        zip_source_t* s = zip_source_buffer(z, bytes.data(), bytes.size(), 0);
        const zip_int64_t index = zip_file_add(z, name.c_str(), s, ZIP_FL_ENC_UTF_8);
        if (std::find(stored.begin(), stored.end(), name) != stored.end())
            zip_set_file_compression(z, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    }
    EXPECT_EQ(zip_close(z), 0);
    zip_stat_t st;
    zip_stat_init(&st);
    zip_source_stat(out, &st);
    std::string result(static_cast<std::size_t>(st.size), '\0');
    zip_source_open(out);
    zip_source_read(out, result.data(), result.size());
    zip_source_close(out);
    zip_source_free(out);
    return result;
}

std::map<std::string, std::string> readZip(const std::string& posixPath)
{
    std::map<std::string, std::string> out;
    eachEntry(posixPath, 0,
              [&](const zip_stat_t& st, std::string& bytes) { out[st.name] = std::move(bytes); });
    return out;
}

std::map<std::string, std::string> storedEntries(const std::string& posixPath)
{
    std::map<std::string, std::string> out;
    eachEntry(posixPath, ZIP_FL_COMPRESSED, [&](const zip_stat_t& st, const std::string& raw) {
        out[st.name] = std::to_string(st.comp_method) + "/" + std::to_string(st.crc) + "/" + raw;
    });
    return out;
}

std::vector<std::string> zipNames(const std::string& posixPath)
{
    std::vector<std::string> out;
    int error = 0;
    zip_t* z = zip_open(posixPath.c_str(), ZIP_RDONLY, &error);
    if (!z)
        return out;
    const zip_int64_t n = zip_get_num_entries(z, 0);
    for (zip_int64_t i = 0; i < n; ++i)
        out.emplace_back(zip_get_name(z, static_cast<zip_uint64_t>(i), 0));
    zip_discard(z);
    return out;
}

// ---- word-processing packages ----

namespace {

std::string wordPart(const std::string& root, const std::string& inner)
{
    return std::string(kHead) + "<w:" + root + " xmlns:w=\"" + kWordNs +
           "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">" + inner +
           "</w:" + root + ">";
}

} // namespace

std::string buildDocx(const DocxContent& parts)
{
    ZipEntries entries;
    entries.emplace_back("[Content_Types].xml",
                         kTypesOpen +
                             "<Default Extension=\"rels\" "
                             "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                             "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                             "<Default Extension=\"png\" ContentType=\"image/png\"/>"
                             "<Override PartName=\"/word/document.xml\" ContentType=\"application/"
                             "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>"
                             "</Types>");
    entries.emplace_back(
        "_rels/.rels", kRelsOpen +
                           relationship("rId1", std::string(kRelNs) + "officeDocument", "word/document.xml") +
                           relationship("rId2",
                                        "http://schemas.openxmlformats.org/package/2006/"
                                        "relationships/metadata/core-properties",
                                        "docProps/core.xml") +
                           "</Relationships>");
    entries.emplace_back("word/document.xml", wordPart("document", "<w:body>" + parts.body + "</w:body>"));
    std::string rels = kRelsOpen + relationship("rIdImg", std::string(kRelNs) + "image", "media/image1.png");
    if (!parts.settings.empty()) {
        rels += relationship("rIdSet", std::string(kRelNs) + "settings", "settings.xml");
        entries.emplace_back("word/settings.xml", wordPart("settings", parts.settings));
    }
    for (const auto& [id, inner] : parts.headers) {
        rels += relationship(id, std::string(kRelNs) + "header", id + ".xml");
        entries.emplace_back("word/" + id + ".xml", wordPart("hdr", inner));
    }
    for (const auto& [id, inner] : parts.footers) {
        rels += relationship(id, std::string(kRelNs) + "footer", "/word/" + id + ".xml");
        entries.emplace_back("word/" + id + ".xml", wordPart("ftr", inner));
    }
    if (!parts.footnotes.empty()) {
        rels += relationship("rIdFn", std::string(kRelNs) + "footnotes", "footnotes.xml");
        entries.emplace_back("word/footnotes.xml", wordPart("footnotes", parts.footnotes));
    }
    if (!parts.endnotes.empty()) {
        rels += relationship("rIdEn", std::string(kRelNs) + "endnotes", "./endnotes.xml");
        entries.emplace_back("word/endnotes.xml", wordPart("endnotes", parts.endnotes));
    }
    entries.emplace_back("word/_rels/document.xml.rels", rels + "</Relationships>");
    entries.emplace_back("word/media/image1.png", parts.image);
    entries.emplace_back("docProps/core.xml",
                         std::string(kHead) +
                             "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/"
                             "package/2006/metadata/core-properties\"/>");
    return buildZip(entries);
}

std::string run(const std::string& text)
{
    return "<w:r><w:t xml:space=\"preserve\">" + text + "</w:t></w:r>";
}

std::string boldRun(const std::string& text)
{
    return "<w:r><w:rPr><w:b/></w:rPr><w:t xml:space=\"preserve\">" + text + "</w:t></w:r>";
}

std::string para(std::initializer_list<std::string> runs)
{
    std::string out = "<w:p>";
    for (const std::string& r : runs)
        out += run(r);
    return out + "</w:p>";
}

// ---- spreadsheet packages ----

namespace {

const char* kSheetMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char* kSheetRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const char* kSheetType = "application/vnd.openxmlformats-officedocument.spreadsheetml.";
const char* kStyles =
    "<numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"#,##0.000\"/></numFmts>"
    "<fonts count=\"2\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font>"
    "<font><b/><i/><u/><sz val=\"14\"/><color rgb=\"FFFF0000\"/><name val=\"Arial\"/></font></fonts>"
    "<fills count=\"3\"><fill><patternFill patternType=\"none\"/></fill>"
    "<fill><patternFill patternType=\"gray125\"/></fill>"
    "<fill><patternFill patternType=\"solid\"><fgColor rgb=\"FFFFFF00\"/></patternFill></fill></fills>"
    "<cellXfs count=\"7\">"
    "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\"/>"
    "<xf numFmtId=\"2\" fontId=\"0\" fillId=\"0\" applyNumberFormat=\"1\"/>"
    "<xf numFmtId=\"14\" fontId=\"0\" fillId=\"0\" applyNumberFormat=\"1\"/>"
    "<xf numFmtId=\"164\" fontId=\"0\" fillId=\"0\" applyNumberFormat=\"1\"/>"
    "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"2\" applyFont=\"1\" applyFill=\"1\"/>"
    "<xf numFmtId=\"49\" fontId=\"0\" fillId=\"0\" applyNumberFormat=\"1\"/>"
    "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" applyProtection=\"1\"><protection locked=\"0\"/></xf>"
    "</cellXfs>";

std::string styleAttr(int style)
{
    return style == 0 ? std::string() : " s=\"" + std::to_string(style) + "\"";
}

std::string typePart(const std::string& part, const std::string& type)
{
    return "<Override PartName=\"/xl/" + part + "\" ContentType=\"" + kSheetType + type + "+xml\"/>";
}

} // namespace

ZipEntries xlsxEntries(const XlsxContent& content)
{
    std::string types = kTypesOpen +
                        "<Default Extension=\"rels\" "
                        "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                        "<Default Extension=\"png\" ContentType=\"image/png\"/>" +
                        typePart("workbook.xml", "sheet.main");
    std::string rels = kRelsOpen;
    std::string sheets;
    int worksheetNo = 0, chartNo = 0;
    ZipEntries sheetParts;
    const std::string root = std::string(" xmlns=\"") + kSheetMain + "\" xmlns:r=\"" + kSheetRel + "\">";
    for (std::size_t i = 0; i < content.sheets.size(); ++i) {
        const XlsxSheet& s = content.sheets[i];
        const std::string id = "rId" + std::to_string(i + 1);
        const std::string type = s.chart ? "chartsheet" : "worksheet";
        const std::string part = s.chart ? "chartsheets/sheet" + std::to_string(++chartNo) + ".xml"
                                         : "worksheets/sheet" + std::to_string(++worksheetNo) + ".xml";
        const std::string xml =
            s.chart ? std::string(kHead) + "<chartsheet" + root +
                          "<sheetViews><sheetView workbookViewId=\"0\"/></sheetViews></chartsheet>"
                    : std::string(kHead) + "<worksheet" + root +
                          "<dimension ref=\"A1:C3\"/><sheetViews><sheetView workbookViewId=\"0\"><selection "
                          "activeCell=\"" +
                          s.activeCell + "\" sqref=\"" + s.activeCell +
                          "\"/></sheetView></sheetViews><sheetFormatPr defaultRowHeight=\"15\"/><sheetData>" +
                          s.data + "</sheetData>" + s.after +
                          "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" "
                          "header=\"0.3\" footer=\"0.3\"/></worksheet>";
        types += typePart(part, type);
        rels += relationship(id, std::string(kSheetRel) + "/" + type, part);
        sheets += "<sheet name=\"" + s.name + "\" sheetId=\"" + std::to_string(i + 1) + "\"" +
                  (s.state.empty() ? "" : " state=\"" + s.state + "\"") + " r:id=\"" + id + "\"/>";
        sheetParts.emplace_back("xl/" + part, xml);
    }
    types += typePart("styles.xml", "styles");
    rels += relationship("rId100", std::string(kSheetRel) + "/styles", "styles.xml");
    if (content.sharedStrings) {
        types += typePart("sharedStrings.xml", "sharedStrings");
        rels += relationship("rId101", std::string(kSheetRel) + "/sharedStrings", "sharedStrings.xml");
    }
    if (content.calcChain) {
        types += typePart("calcChain.xml", "calcChain");
        rels += relationship("rId102", std::string(kSheetRel) + "/calcChain", "calcChain.xml");
    }
    ZipEntries entries;
    entries.emplace_back("[Content_Types].xml", types + "</Types>");
    entries.emplace_back("_rels/.rels", kRelsOpen +
                                            relationship("rId1", std::string(kSheetRel) + "/officeDocument",
                                                         "xl/workbook.xml") +
                                            "</Relationships>");
    entries.emplace_back("docProps/app.xml",
                         std::string(kHead) + "<Properties><Application>Sheets</Application></Properties>");
    entries.emplace_back("xl/workbook.xml",
                         std::string(kHead) + "<workbook" + root + "<workbookPr" + content.workbookPr + "/>" +
                             content.workbookProtection +
                             "<bookViews><workbookView xWindow=\"0\" yWindow=\"0\" activeTab=\"" +
                             std::to_string(content.activeTab) + "\"/></bookViews><sheets>" + sheets +
                             "</sheets><calcPr calcId=\"191029\"/></workbook>");
    entries.emplace_back("xl/_rels/workbook.xml.rels", rels + "</Relationships>");
    for (auto& part : sheetParts)
        entries.push_back(part);
    entries.emplace_back("xl/styles.xml", std::string(kHead) + "<styleSheet xmlns=\"" + kSheetMain + "\">" +
                                              kStyles + "</styleSheet>");
    if (content.sharedStrings) {
        const std::string count = std::to_string(content.strings.size());
        std::string sst = std::string(kHead) + "<sst xmlns=\"" + kSheetMain + "\" count=\"" + count +
                          "\" uniqueCount=\"" + count + "\">";
        for (const std::string& si : content.strings)
            sst += "<si>" + si + "</si>";
        entries.emplace_back("xl/sharedStrings.xml", sst + "</sst>");
    }
    if (content.calcChain)
        entries.emplace_back("xl/calcChain.xml", std::string(kHead) + "<calcChain xmlns=\"" + kSheetMain +
                                                     "\"><c r=\"B1\" i=\"1\"/></calcChain>");
    entries.emplace_back("xl/media/image1.png", std::string("\x89PNG\r\n\x1a\n binary \0\x01\x02 data", 24));
    for (const auto& entry : content.extra)
        entries.push_back(entry);
    return entries;
}

std::string buildXlsx(const XlsxContent& content)
{
    return buildZip(xlsxEntries(content));
}

XlsxSheet sheet(const std::string& name, const std::string& data, const std::string& after,
                const std::string& activeCell)
{
    XlsxSheet s;
    s.name = name;
    s.data = data;
    s.after = after;
    s.activeCell = activeCell;
    return s;
}

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

std::string xlsxWithText(const std::string& text)
{
    XlsxContent book;
    book.sheets.push_back(sheet("One", row(1, inlineCell("A1", text))));
    return buildXlsx(book);
}

// ---- presentation packages ----

namespace {

const char* kPptNs = " xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\""
                     " xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\""
                     " xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\""
                     " xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\"";

std::string slideXml(const std::string& shapes)
{
    return std::string(kHead) + "<p:sld" + kPptNs +
           "><p:cSld><p:spTree><p:nvGrpSpPr><p:cNvPr id=\"1\" "
           "name=\"\"/><p:cNvGrpSpPr/><p:nvPr/></p:nvGrpSpPr>"
           "<p:grpSpPr/>" +
           shapes + "</p:spTree></p:cSld><p:clrMapOvr><a:masterClrMapping/></p:clrMapOvr></p:sld>";
}

} // namespace

std::string buildPptx(const PptxContent& parts)
{
    ZipEntries entries;
    entries.emplace_back("[Content_Types].xml",
                         kTypesOpen + "<Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>");
    entries.emplace_back("_rels/.rels", kRelsOpen +
                                            relationship("rId1", std::string(kRelNs) + "officeDocument",
                                                         "ppt/presentation.xml") +
                                            "</Relationships>");
    std::string list = "<p:sldIdLst>";
    std::string rels = kRelsOpen;
    const std::size_t n = parts.slides.size();
    for (std::size_t i = 0; i < n; ++i) {
        const std::string file = "slide" + std::to_string(n - i) + ".xml";
        const std::string rid = "rId" + std::to_string(10 + i);
        list += "<p:sldId id=\"" + std::to_string(256 + i) + "\" r:id=\"" + rid + "\"/>";
        rels += relationship(rid, std::string(kRelNs) + "slide", "slides/" + file);
        entries.emplace_back("ppt/slides/" + file, slideXml(parts.slides[i]));
    }
    entries.emplace_back("ppt/presentation.xml", std::string(kHead) + "<p:presentation" + kPptNs + ">" +
                                                     list + "</p:sldIdLst>" + parts.presentationExtra +
                                                     "</p:presentation>");
    entries.emplace_back("ppt/_rels/presentation.xml.rels", rels + "</Relationships>");
    entries.emplace_back("ppt/media/image1.png", std::string("\x89PNG\r\n\x1a\n\0\x01\x02", 11));
    return buildZip(entries);
}

std::string pptxShape(const std::string& paragraphs, int id)
{
    return "<p:sp><p:nvSpPr><p:cNvPr id=\"" + std::to_string(id) +
           "\" name=\"Text\"/><p:cNvSpPr txBox=\"1\"/><p:nvPr/></p:nvSpPr><p:spPr/>"
           "<p:txBody><a:bodyPr/><a:lstStyle/>" +
           paragraphs + "</p:txBody></p:sp>";
}

std::string pptxPara(std::initializer_list<std::string> runs)
{
    std::string out = "<a:p>";
    for (const std::string& r : runs)
        out += "<a:r><a:rPr lang=\"en-US\"/><a:t>" + r + "</a:t></a:r>";
    return out + "</a:p>";
}

std::string pptxTextBox(std::initializer_list<std::string> paragraphs, int id)
{
    std::string inner;
    for (const std::string& p : paragraphs)
        inner += pptxPara({p});
    return pptxShape(inner, id);
}

std::string pptxWithText(const std::string& text)
{
    return buildPptx(PptxContent{{pptxTextBox({text})}, ""});
}

// ---- OpenDocument text packages ----

namespace {

const char* kOdtNs = " xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
                     " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\""
                     " xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\""
                     " xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\""
                     " xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\"";
const std::string kXmlHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

} // namespace

std::string odtContentXml(const std::string& body)
{
    return kXmlHead + "<office:document-content" + kOdtNs +
           " office:version=\"1.3\"><office:automatic-styles><style:style style:name=\"B\" "
           "style:family=\"text\"/></office:automatic-styles><office:body><office:text>" +
           body + "</office:text></office:body></office:document-content>";
}

std::string buildOdt(const OdtContent& parts)
{
    const std::string& xmlHead = kXmlHead;
    const std::string content = odtContentXml(parts.body);
    const std::string manifest =
        xmlHead +
        "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" "
        "manifest:version=\"1.3\"><manifest:file-entry manifest:full-path=\"/\" manifest:media-type=\"" +
        kOdtMime +
        "\"/><manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\">" +
        parts.manifestExtra + "</manifest:file-entry></manifest:manifest>";
    std::string page;
    if (!parts.header.empty())
        page += "<style:header><text:p>" + parts.header + "</text:p></style:header>";
    if (!parts.footer.empty())
        page += "<style:footer><text:p>" + parts.footer + "</text:p></style:footer>";
    const std::string styles = xmlHead + "<office:document-styles" + kOdtNs +
                               "><office:master-styles><style:master-page style:name=\"Standard\">" + page +
                               "</style:master-page></office:master-styles></office:document-styles>";
    ZipEntries entries = {{"mimetype", parts.mimetype},
                          {"content.xml", content},
                          {"styles.xml", styles},
                          {"Pictures/image1.png", std::string("\x89PNG\r\n\x1a\n\0\x01", 10)}};
    if (!parts.settings.empty())
        entries.emplace_back(
            "settings.xml",
            xmlHead +
                "<office:document-settings xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                "xmlns:config=\"urn:oasis:names:tc:opendocument:xmlns:config:1.0\" office:version=\"1.3\">"
                "<office:settings>" +
                parts.settings + "</office:settings></office:document-settings>");
    entries.emplace_back("META-INF/manifest.xml", manifest);
    return buildZip(entries, {"mimetype"});
}

std::string odtWithText(const std::string& text)
{
    return buildOdt(OdtContent{"<text:p>" + text + "</text:p>"});
}

// ---- CSV ----

std::string buildCsv(const std::vector<std::vector<std::string>>& rows, char separator,
                     const std::string& eol)
{
    std::string out;
    for (const auto& fields : rows) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const std::string& f = fields[i];
            if (i > 0)
                out += separator;
            if (f.find_first_of(std::string(1, separator) + "\"\r\n") == std::string::npos) {
                out += f;
                continue;
            }
            out += '"';
            for (char c : f)
                out += c == '"' ? std::string("\"\"") : std::string(1, c);
            out += '"';
        }
        out += eol;
    }
    return out;
}

} // namespace wux::test
