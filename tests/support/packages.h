// Builders of office packages for the tests, one per format, written the way office programs write
// them: zip archives, word-processing (.docx), spreadsheet (.xlsx), presentation (.pptx) and
// OpenDocument text (.odt) packages, and CSV text. Used by the automation servers' tests and by the
// office replacers' tests alike.
#pragma once

#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace wux::test {

using ZipEntries = std::vector<std::pair<std::string, std::string>>;

// ---- zip ----

// A zip of the given entries (name, bytes), deflated except the entries named in `stored`.
std::string buildZip(const ZipEntries& entries, const std::vector<std::string>& stored = {});
// name -> uncompressed bytes of every entry of a zip file (POSIX path); empty on failure.
std::map<std::string, std::string> readZip(const std::string& posixPath);
// name -> "method/CRC/compressed bytes" of every entry of a zip file: equal only when stored alike.
std::map<std::string, std::string> storedEntries(const std::string& posixPath);
// The entry names of a zip file in their order.
std::vector<std::string> zipNames(const std::string& posixPath);

// ---- word-processing packages ----

inline constexpr const char* kWordNs = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";

struct DocxContent
{
    std::string body;     // inner XML of w:body
    std::string settings; // inner XML of w:settings ("" = no settings part)
    std::vector<std::pair<std::string, std::string>> headers; // (id, inner XML of w:hdr): part word/<id>.xml
    std::vector<std::pair<std::string, std::string>> footers; // (id, inner XML of w:ftr)
    std::string footnotes;                                    // inner XML of w:footnotes ("" = none)
    std::string endnotes;                                     // inner XML of w:endnotes ("" = none)
    std::string image = std::string("\x89PNG\r\n\x1a\n binary \0\x01\x02 data", 24);
};

std::string buildDocx(const DocxContent& parts);
// A paragraph with one run per text: <w:p><w:r><w:t>..</w:t></w:r>...</w:p>.
std::string para(std::initializer_list<std::string> runs);
std::string run(const std::string& text);
// A run with bold properties.
std::string boldRun(const std::string& text);

// ---- spreadsheet packages ----

struct XlsxSheet
{
    std::string name;
    std::string data;  // inner XML of sheetData
    std::string after; // elements after sheetData (sheetProtection, mergeCells, ...)
    std::string state; // "", "hidden", "veryHidden"
    std::string activeCell = "A1";
    bool chart = false;
};

struct XlsxContent
{
    std::vector<XlsxSheet> sheets;
    std::vector<std::string> strings; // inner XML of each shared string (si)
    bool sharedStrings = true;
    int activeTab = 0;
    std::string workbookPr;         // attributes of workbookPr
    std::string workbookProtection; // element after workbookPr
    bool calcChain = false;
    ZipEntries extra; // more entries
};

// Cell styles of every built workbook (the s attribute):
//   0 General; 1 "0.00"; 2 a date (m/d/yyyy); 3 "#,##0.000"; 4 bold, italic, underlined Arial 14 in
//   red on a yellow fill; 5 text ("@"); 6 unlocked.
inline constexpr int kStyleGeneral = 0;
inline constexpr int kStyleTwoDecimals = 1;
inline constexpr int kStyleDate = 2;
inline constexpr int kStyleThousands = 3;
inline constexpr int kStyleRedBold = 4;
inline constexpr int kStyleText = 5;
inline constexpr int kStyleUnlocked = 6;
inline constexpr const char* kSheetProtection =
    "<sheetProtection sheet=\"1\" objects=\"1\" scenarios=\"1\"/>";

ZipEntries xlsxEntries(const XlsxContent& content);
std::string buildXlsx(const XlsxContent& content);
// A worksheet in one call.
XlsxSheet sheet(const std::string& name, const std::string& data, const std::string& after = "",
                const std::string& activeCell = "A1");
// Cell XML ("A1"-style references).
std::string sharedCell(const std::string& ref, int index, int style = 0);
std::string inlineCell(const std::string& ref, const std::string& text);
std::string numberCell(const std::string& ref, const std::string& value, int style = 0);
std::string boolCell(const std::string& ref, bool value);
std::string errorCell(const std::string& ref, const std::string& error);
// A formula with its cached value: type "" (number), "str", "b" or "e".
std::string formulaCell(const std::string& ref, const std::string& formula, const std::string& cached,
                        const std::string& type = "", int style = 0);
std::string row(int number, const std::string& cells);
// A workbook of one sheet "One" with the text in A1.
std::string xlsxWithText(const std::string& text);

// ---- presentation packages ----

struct PptxContent
{
    std::vector<std::string> slides; // the shapes of each slide, in list order
    std::string presentationExtra;   // inner XML of p:presentation after the slide list
};

// Slides are stored in reverse file order (slide1.xml is the last listed) so list order counts.
std::string buildPptx(const PptxContent& parts);
// A text shape with the given paragraphs (inner XML of p:txBody after the body properties).
std::string pptxShape(const std::string& paragraphs, int id = 2);
// A paragraph of plain runs.
std::string pptxPara(std::initializer_list<std::string> runs);
// A text shape of one paragraph per text.
std::string pptxTextBox(std::initializer_list<std::string> paragraphs, int id = 2);
// A presentation of one slide with one text box of one paragraph.
std::string pptxWithText(const std::string& text);

// ---- OpenDocument text packages ----

inline constexpr const char* kOdtMime = "application/vnd.oasis.opendocument.text";

struct OdtContent
{
    std::string body;          // inner XML of office:text
    std::string manifestExtra = {}; // inner XML of content.xml's manifest entry
    std::string mimetype = kOdtMime;
    std::string header = "header word"; // text of the master page's header ("" = none)
    std::string footer = "footer word"; // text of its footer ("" = none)
    std::string settings = {};          // inner XML of office:settings ("" = no settings part)
};

std::string buildOdt(const OdtContent& parts);
// The content part of a document with the given body (inner XML of office:text).
std::string odtContentXml(const std::string& body);
// A document of one paragraph.
std::string odtWithText(const std::string& text);

// ---- CSV ----

// CSV text of the rows: fields joined by the separator, quoted when they hold it, a quote or a line
// break, each record ended by eol.
std::string buildCsv(const std::vector<std::vector<std::string>>& rows, char separator = ',',
                     const std::string& eol = "\r\n");

} // namespace wux::test
