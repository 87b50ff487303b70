#include "platform/automation/excel_workbook.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <set>
#include <unordered_map>

#include "platform/automation/excel_csv.h"
#include "platform/automation/excel_number_format.h"
#include "platform/automation/excel_pattern.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/text.h"

namespace wux::platform::automation {

namespace {

[[noreturn]] void raise(std::int32_t code, const std::string& message)
{
    throw AutomationError(code, kExcelSource, message);
}

std::string lowerAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return out;
}

bool endsWith(std::string_view text, std::string_view tail)
{
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

bool isTrue(std::string_view value)
{
    return value == "1" || value == "true" || value == "on";
}

int hexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// The value of an "_xHHHH_" escape at i, or -1.
int escapeAt(std::u16string_view text, std::size_t i)
{
    if (i + 7 > text.size() || text[i] != u'_' || text[i + 1] != u'x' || text[i + 6] != u'_')
        return -1;
    int value = 0;
    for (std::size_t k = 2; k < 6; ++k) {
        const int d = hexDigit(text[i + k]);
        if (d < 0)
            return -1;
        value = value * 16 + d;
    }
    return value;
}

// Decodes the "_xHHHH_" escapes of a spreadsheet text.
std::u16string decodeEscapes(std::string_view utf8)
{
    std::u16string text = utf8ToUtf16(utf8);
    if (text.find(u"_x") == std::u16string::npos)
        return text;
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int value = escapeAt(text, i);
        if (value >= 0) {
            out.push_back(static_cast<char16_t>(value));
            i += 6;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// Escapes the characters XML cannot hold (and CR, and "_" starting an escape) as "_xHHHH_".
std::string encodeEscapes(std::u16string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    char buffer[16];
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const bool control = (c < 0x20 && c != u'\t' && c != u'\n') || c == 0xFFFE || c == 0xFFFF;
        if (control || (c == u'_' && escapeAt(text, i) >= 0)) {
            std::snprintf(buffer, sizeof buffer, "_x%04X_", static_cast<unsigned>(c));
            for (const char* p = buffer; *p; ++p)
                out.push_back(static_cast<char16_t>(*p));
        } else {
            out.push_back(c);
        }
    }
    return utf16ToUtf8(out);
}

// Text of a shared-string item or an inline string: its t, or its runs' t (phonetic runs left out).
std::u16string richText(const pugi::xml_node& item)
{
    if (pugi::xml_node t = child(item, "t"))
        return decodeEscapes(t.child_value());
    std::u16string out;
    for (pugi::xml_node r = item.first_child(); r; r = r.next_sibling())
        if (r.type() == pugi::node_element && localName(r) == "r")
            if (pugi::xml_node t = child(r, "t"))
                out += decodeEscapes(t.child_value());
    return out;
}

bool parseDouble(std::string_view text, double& value)
{
    if (text.empty())
        return false;
    if (text.front() == '+')
        text.remove_prefix(1);
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && ptr == text.data() + text.size() && std::isfinite(value);
}

bool parseIndex(std::string_view text, long long& value)
{
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && ptr == text.data() + text.size();
}

// A number entered as text: C-locale digits, no blanks, finite.
bool textIsNumber(std::u16string_view text, double& value)
{
    std::string narrow;
    for (char16_t c : text) {
        if (c > 0x7F)
            return false;
        narrow.push_back(static_cast<char>(c));
    }
    for (char c : narrow)
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
            return false;
    return parseDouble(narrow, value);
}

std::string numberText(double value)
{
    char buffer[64];
    auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, ec == std::errc() ? ptr : buffer);
}

std::int32_t errorScode(std::string_view text)
{
    static const std::pair<const char*, int> kErrors[] = {
        {"#NULL!", 2000}, {"#DIV/0!", 2007}, {"#VALUE!", 2015},       {"#REF!", 2023},   {"#NAME?", 2029},
        {"#NUM!", 2036},  {"#N/A", 2042},    {"#GETTING_DATA", 2043}, {"#SPILL!", 2045}, {"#CALC!", 2050}};
    int code = 2015;
    for (const auto& [name, value] : kErrors)
        if (text == name)
            code = value;
    return static_cast<std::int32_t>(0x800A0000u | static_cast<std::uint32_t>(code));
}

// Days since 1970-01-01 of a civil date.
long long daysFromCivil(long long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

// An ISO 8601 date or date-time ("2024-01-15", "2024-01-15T10:30:00", "10:30:00") as a serial number.
bool isoToSerial(std::string_view text, bool date1904, double& serial)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    double s = 0;
    bool hasDate = false;
    std::string t(text);
    if (std::sscanf(t.c_str(), "%d-%d-%d", &y, &mo, &d) == 3) {
        hasDate = true;
        const std::size_t tee = t.find('T');
        if (tee != std::string::npos && std::sscanf(t.c_str() + tee + 1, "%d:%d:%lf", &h, &mi, &s) < 2)
            return false;
    } else if (std::sscanf(t.c_str(), "%d:%d:%lf", &h, &mi, &s) < 2) {
        return false;
    }
    double days = 0;
    if (hasDate) {
        if (mo < 1 || mo > 12 || d < 1 || d > 31)
            return false;
        const long long z = daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
        days = date1904 ? static_cast<double>(z + 24107) : static_cast<double>(z + 25569);
        if (!date1904 && days < 61)
            days -= 1; // the 1900 calendar counts a 29 February 1900
    }
    serial = days + (h * 3600.0 + mi * 60.0 + s) / 86400.0;
    return true;
}

std::int32_t rgbToColor(std::string_view argb, std::int32_t fallback)
{
    if (argb.size() == 8)
        argb.remove_prefix(2);
    if (argb.size() != 6)
        return fallback;
    unsigned value = 0;
    for (char c : argb) {
        const int digit = hexDigit(static_cast<char16_t>(c));
        if (digit < 0)
            return fallback;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    const unsigned r = (value >> 16) & 0xFF, g = (value >> 8) & 0xFF, b = value & 0xFF;
    return static_cast<std::int32_t>(r | (g << 8) | (b << 16));
}

// A colour element (rgb or the first indexed colours); theme colours keep the fallback.
std::int32_t colorOf(const pugi::xml_node& node, std::int32_t fallback)
{
    if (!node)
        return fallback;
    if (pugi::xml_attribute rgb = node.attribute("rgb"))
        return rgbToColor(rgb.value(), fallback);
    if (pugi::xml_attribute indexed = node.attribute("indexed")) {
        static const std::int32_t kIndexed[] = {0x000000, 0xFFFFFF, 0x0000FF, 0x00FF00,
                                                0xFF0000, 0x00FFFF, 0xFF00FF, 0xFFFF00};
        const int i = indexed.as_int(-1);
        if (i >= 0 && i < 8)
            return kIndexed[i];
        if (i >= 8 && i < 16)
            return kIndexed[i - 8];
    }
    return fallback;
}

// The position in a parent where an element belongs: before the first child named in `after`.
pugi::xml_node firstOf(const pugi::xml_node& parent, std::initializer_list<std::string_view> names)
{
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
        if (c.type() != pugi::node_element)
            continue;
        for (std::string_view name : names)
            if (localName(c) == name)
                return c;
    }
    return {};
}

std::string qualified(const pugi::xml_node& like, std::string_view local)
{
    const std::string prefix = prefixOf(like);
    return prefix.empty() ? std::string(local) : prefix + ":" + std::string(local);
}

void setAttribute(pugi::xml_node node, const char* name, const std::string& value)
{
    pugi::xml_attribute a = node.attribute(name);
    if (!a)
        a = node.append_attribute(name);
    a.set_value(value.c_str());
}

bool parseRangeRef(std::string_view text, CellRect& rect)
{
    const std::size_t colon = text.find(':');
    std::int32_t r1 = 0, c1 = 0, r2 = 0, c2 = 0;
    if (!parseCellRef(text.substr(0, colon), r1, c1))
        return false;
    if (colon == std::string_view::npos) {
        r2 = r1;
        c2 = c1;
    } else if (!parseCellRef(text.substr(colon + 1), r2, c2)) {
        return false;
    }
    rect = CellRect{std::min(r1, r2), std::min(c1, c2), std::max(r1, r2), std::max(c1, c2)};
    return true;
}

struct Xf
{
    int numFmtId = 0;
    int fontId = 0;
    int fillId = 0;
    bool locked = true;
};

class XlsxDocument;

class XlsxSheet : public SpreadsheetSheet
{
public:
    XlsxSheet(XlsxDocument& doc, std::string part, std::u16string name, int visibility);
    void enterValue(std::int32_t row, std::int32_t column, const Variant& value) override;
    std::int32_t interiorColor(std::int32_t row, std::int32_t column) const override;
    CellFont font(std::int32_t row, std::int32_t column) const override;
    const std::string& part() const { return part_; }
    // The value elements of the cells that refer to a shared string, with the string's index.
    template <class F> void forEachSharedStringCell(F&& f) const
    {
        for (const pugi::xml_node& c : nodes_) {
            if (std::string_view(c.attribute("t").value()) != "s")
                continue;
            if (pugi::xml_node v = child(c, "v")) {
                long long index = 0;
                if (parseIndex(v.child_value(), index))
                    f(v, index);
            }
        }
    }

protected:
    Variant cellValue(std::size_t index) const override;
    std::u16string cellText(std::size_t index) const override;
    std::u16string cellFormula(std::size_t index) const override;

private:
    void index();
    // Keeps the column names of the tables whose header row holds the cell equal to its new text.
    void renameTableColumns(std::int32_t row, std::int32_t column, const std::u16string& header);
    [[noreturn]] void damaged(const std::string& where) const;
    Variant nodeValue(const pugi::xml_node& c) const;
    int styleOf(std::int32_t row, std::int32_t column) const;
    pugi::xml_node createCell(std::int32_t row, std::int32_t column);
    void makeRefsExplicit();
    void extendDimension(std::int32_t row, std::int32_t column);

    XlsxDocument& doc_;
    std::string part_;
    pugi::xml_node sheetData_;
    std::vector<pugi::xml_node> nodes_; // parallel to keys_
    std::vector<std::pair<std::int32_t, pugi::xml_node>> rows_;
    std::vector<CellRect> arrays_;
    std::vector<std::string> tables_; // table parts of the sheet
    bool refsExplicit_ = false;
};

class XlsxDocument : public SpreadsheetDocument
{
public:
    XlsxDocument(std::string_view windowsPath, const PackageLimits& limits);
    std::uint64_t changeCount() const override { return changes_; }
    void save(std::string_view windowsPath) override
    {
        if (changes_ != 0)
            dropUnusedSharedStrings();
        package_->save(windowsPath);
    }

    Package& package() { return *package_; }
    bool date1904() const { return date1904_; }
    std::size_t sharedStringCount() const { return strings_.size(); }
    const std::u16string& sharedString(std::size_t i) const { return strings_[i]; }
    const Xf& xf(int styleIndex) const
    {
        static const Xf kDefault;
        return styleIndex >= 0 && static_cast<std::size_t>(styleIndex) < xfs_.size() ? xfs_[styleIndex]
                                                                                     : kDefault;
    }
    std::u16string formatCode(int styleIndex) const;
    CellFont fontOf(int styleIndex) const;
    std::int32_t fillOf(int styleIndex) const;
    // The index of a shared string holding text (appended when needed), or -1 when the package has no
    // shared-string part.
    long long addSharedString(const std::u16string& text);
    void sharedStringReleased();
    void formulaRemoved();
    void markChanged(const std::string& part) { package_->markChanged(part); }
    void cellChanged() { ++changes_; }

private:
    void readSharedStrings();
    void readStyles();
    // Removes the shared strings no cell refers to (a replaced text must not stay in the file): the last
    // strings in use take their places, and the cells of those strings are numbered again. Left alone when
    // parts the workbook refers to might hold references of their own (macro sheets, dialog sheets, revision
    // logs, worksheets not listed).
    void dropUnusedSharedStrings();

    std::unique_ptr<Package> package_;
    std::string mainPart_;
    std::string stringsPart_;
    std::string stylesPart_;
    bool date1904_ = false;
    std::uint64_t changes_ = 0;
    bool calcDropped_ = false;
    std::vector<std::u16string> strings_;
    std::vector<bool> plainStrings_;
    std::unordered_map<std::u16string, long long> stringIndex_;
    bool stringIndexBuilt_ = false;
    pugi::xml_node stringsEnd_; // the element new strings go before (extLst), looked up once
    bool stringsEndFound_ = false;
    std::vector<Xf> xfs_;
    std::map<int, std::u16string> numFmts_;
    std::vector<CellFont> fonts_;
    std::vector<std::int32_t> fills_;
};

// ---- XlsxDocument ----

XlsxDocument::XlsxDocument(std::string_view windowsPath, const PackageLimits& limits)
{
    package_ = std::make_unique<Package>(windowsPath, kExcelSource, limits);
    auto main = package_->relatedPart("", "officeDocument");
    if (!main || !package_->hasPart(*main))
        raise(kErrorFail, "The file is not a workbook.");
    mainPart_ = *main;
    pugi::xml_node workbook = package_->xml(mainPart_).document_element();
    if (localName(workbook) != "workbook")
        raise(kErrorFail, "The file is not a workbook.");
    date1904_ = isTrue(attribute(child(workbook, "workbookPr"), "date1904").value());
    // A password to modify is kept as a legacy hash or as a hash with its algorithm; "read-only
    // recommended" alone is no password.
    if (pugi::xml_node sharing = child(workbook, "fileSharing"))
        writeReserved_ =
            *attribute(sharing, "reservationPassword").value() || *attribute(sharing, "hashValue").value();
    if (auto part = package_->relatedPart(mainPart_, "sharedStrings"); part && package_->hasPart(*part))
        stringsPart_ = *part;
    if (auto part = package_->relatedPart(mainPart_, "styles"); part && package_->hasPart(*part))
        stylesPart_ = *part;
    readSharedStrings();
    readStyles();

    const std::vector<Relationship> rels = package_->relationships(mainPart_);
    int activeTab = 0;
    if (pugi::xml_node view = child(child(workbook, "bookViews"), "workbookView"))
        activeTab = attribute(view, "activeTab").as_int(0);
    int tab = 0;
    initialSheet_ = -1;
    int firstWorksheet = -1;
    for (pugi::xml_node s = child(workbook, "sheets").first_child(); s; s = s.next_sibling()) {
        if (s.type() != pugi::node_element || localName(s) != "sheet")
            continue;
        const std::string id = attribute(s, "id").value();
        const Relationship* rel = nullptr;
        for (const Relationship& r : rels)
            if (r.id == id && !r.external)
                rel = &r;
        const bool worksheet = rel && endsWith(rel->type, "/worksheet");
        if (worksheet) {
            if (!package_->hasPart(rel->target))
                raise(kErrorFail, "The workbook is damaged: a worksheet is missing.");
            const std::string_view state = attribute(s, "state").value();
            const int visibility = state == "hidden" ? 0 : state == "veryHidden" ? 2 : -1;
            if (tab == activeTab)
                initialSheet_ = static_cast<int>(sheets_.size());
            if (firstWorksheet < 0 && visibility == -1)
                firstWorksheet = static_cast<int>(sheets_.size());
            sheets_.push_back(std::make_unique<XlsxSheet>(
                *this, rel->target, utf8ToUtf16(attribute(s, "name").value()), visibility));
        }
        ++tab;
    }
    if (sheets_.empty())
        raise(kErrorFail, "The workbook has no worksheet.");
    if (activeTab < 0 || activeTab >= tab)
        initialSheet_ = firstWorksheet < 0 ? 0 : firstWorksheet;
}

void XlsxDocument::readSharedStrings()
{
    if (stringsPart_.empty())
        return;
    pugi::xml_node sst = package_->xml(stringsPart_).document_element();
    for (pugi::xml_node si = sst.first_child(); si; si = si.next_sibling()) {
        if (si.type() != pugi::node_element || localName(si) != "si")
            continue;
        strings_.push_back(richText(si));
        bool plain = static_cast<bool>(child(si, "t"));
        for (pugi::xml_node c = si.first_child(); c && plain; c = c.next_sibling())
            if (c.type() == pugi::node_element && localName(c) != "t")
                plain = false;
        plainStrings_.push_back(plain);
    }
}

void XlsxDocument::readStyles()
{
    if (stylesPart_.empty())
        return;
    pugi::xml_node root = package_->xml(stylesPart_).document_element();
    for (pugi::xml_node f = child(root, "numFmts").first_child(); f; f = f.next_sibling())
        if (f.type() == pugi::node_element && localName(f) == "numFmt")
            numFmts_[attribute(f, "numFmtId").as_int(-1)] = utf8ToUtf16(attribute(f, "formatCode").value());
    for (pugi::xml_node f = child(root, "fonts").first_child(); f; f = f.next_sibling()) {
        if (f.type() != pugi::node_element || localName(f) != "font")
            continue;
        CellFont font;
        auto flag = [&](std::string_view name) {
            pugi::xml_node n = child(f, name);
            if (!n)
                return false;
            pugi::xml_attribute val = attribute(n, "val");
            return !val || isTrue(val.value());
        };
        font.bold = flag("b");
        font.italic = flag("i");
        if (pugi::xml_node u = child(f, "u")) {
            const std::string_view val = attribute(u, "val").value();
            font.underline = val.empty() || val == "single" ? 2
                             : val == "double"              ? -4119
                             : val == "singleAccounting"    ? 4
                             : val == "doubleAccounting"    ? 5
                                                            : kUnderlineNone;
        }
        font.color = colorOf(child(f, "color"), 0);
        if (pugi::xml_node sz = child(f, "sz"))
            font.size = attribute(sz, "val").as_double(11);
        if (pugi::xml_node name = child(f, "name"))
            font.name = utf8ToUtf16(attribute(name, "val").value());
        fonts_.push_back(std::move(font));
    }
    for (pugi::xml_node f = child(root, "fills").first_child(); f; f = f.next_sibling()) {
        if (f.type() != pugi::node_element || localName(f) != "fill")
            continue;
        std::int32_t color = kNoFillColor;
        if (pugi::xml_node pattern = child(f, "patternFill")) {
            const std::string_view type = attribute(pattern, "patternType").value();
            if (!type.empty() && type != "none")
                color = colorOf(child(pattern, "fgColor"), kNoFillColor);
        }
        fills_.push_back(color);
    }
    for (pugi::xml_node x = child(root, "cellXfs").first_child(); x; x = x.next_sibling()) {
        if (x.type() != pugi::node_element || localName(x) != "xf")
            continue;
        Xf xf;
        xf.numFmtId = attribute(x, "numFmtId").as_int(0);
        xf.fontId = attribute(x, "fontId").as_int(0);
        xf.fillId = attribute(x, "fillId").as_int(0);
        if (pugi::xml_node protection = child(x, "protection"))
            if (pugi::xml_attribute locked = attribute(protection, "locked"))
                xf.locked = isTrue(locked.value());
        xfs_.push_back(xf);
    }
}

std::u16string XlsxDocument::formatCode(int styleIndex) const
{
    const int id = xf(styleIndex).numFmtId;
    if (auto it = numFmts_.find(id); it != numFmts_.end())
        return it->second;
    return builtInNumberFormat(id);
}

CellFont XlsxDocument::fontOf(int styleIndex) const
{
    const int id = xf(styleIndex).fontId;
    return id >= 0 && static_cast<std::size_t>(id) < fonts_.size() ? fonts_[id] : CellFont();
}

std::int32_t XlsxDocument::fillOf(int styleIndex) const
{
    const int id = xf(styleIndex).fillId;
    return id >= 0 && static_cast<std::size_t>(id) < fills_.size() ? fills_[id] : kNoFillColor;
}

long long XlsxDocument::addSharedString(const std::u16string& text)
{
    if (stringsPart_.empty())
        return -1;
    if (!stringIndexBuilt_) {
        for (std::size_t i = 0; i < strings_.size(); ++i)
            if (plainStrings_[i])
                stringIndex_.emplace(strings_[i], static_cast<long long>(i));
        stringIndexBuilt_ = true;
    }
    pugi::xml_node sst = package_->xml(stringsPart_).document_element();
    if (pugi::xml_attribute count = sst.attribute("count"))
        count.set_value(count.as_llong() + 1);
    markChanged(stringsPart_);
    if (auto it = stringIndex_.find(text); it != stringIndex_.end())
        return it->second;
    if (!stringsEndFound_) {
        stringsEnd_ = child(sst, "extLst");
        stringsEndFound_ = true;
    }
    pugi::xml_node si = stringsEnd_ ? sst.insert_child_before(qualified(sst, "si").c_str(), stringsEnd_)
                                    : sst.append_child(qualified(sst, "si").c_str());
    pugi::xml_node t = si.append_child(qualified(sst, "t").c_str());
    if (!text.empty() && (text.front() == u' ' || text.back() == u' ' || text.front() == u'\t' ||
                          text.back() == u'\t' || text.find(u'\n') != std::u16string::npos))
        t.append_attribute("xml:space").set_value("preserve");
    t.text().set(encodeEscapes(text).c_str());
    strings_.push_back(text);
    plainStrings_.push_back(true);
    const auto index = static_cast<long long>(strings_.size() - 1);
    stringIndex_.emplace(text, index);
    if (pugi::xml_attribute unique = sst.attribute("uniqueCount"))
        unique.set_value(static_cast<long long>(strings_.size()));
    return index;
}

void XlsxDocument::sharedStringReleased()
{
    if (stringsPart_.empty())
        return;
    pugi::xml_node sst = package_->xml(stringsPart_).document_element();
    if (pugi::xml_attribute count = sst.attribute("count"); count && count.as_llong() > 0) {
        count.set_value(count.as_llong() - 1);
        markChanged(stringsPart_);
    }
}

void XlsxDocument::dropUnusedSharedStrings()
{
    if (stringsPart_.empty())
        return;
    std::set<std::string> sheetParts;
    for (const auto& sheet : sheets_)
        sheetParts.insert(static_cast<const XlsxSheet&>(*sheet).part());
    for (const Relationship& rel : package_->relationships(mainPart_)) {
        if (rel.external)
            continue;
        if ((endsWith(rel.type, "/worksheet") && !sheetParts.count(rel.target)) ||
            endsWith(rel.type, "/xlMacrosheet") || endsWith(rel.type, "/xlIntlMacrosheet") ||
            endsWith(rel.type, "/dialogsheet") || endsWith(rel.type, "/revisionHeaders"))
            return;
    }
    // Every cell that refers to a shared string, once: two sheets of a workbook may be one part, and
    // then each sheet sees the cells of both.
    struct Reference
    {
        pugi::xml_node v;
        long long index;
        const std::string* part;
    };
    std::vector<Reference> cells;
    std::set<pugi::xml_node> seen;
    for (const auto& sheet : sheets_) {
        const auto& xlsx = static_cast<const XlsxSheet&>(*sheet);
        xlsx.forEachSharedStringCell([&](const pugi::xml_node& v, long long i) {
            if (seen.insert(v).second)
                cells.push_back({v, i, &xlsx.part()});
        });
    }
    std::vector<long long> uses(strings_.size(), 0);
    for (const Reference& r : cells)
        if (r.index >= 0 && static_cast<std::size_t>(r.index) < uses.size())
            ++uses[static_cast<std::size_t>(r.index)];
    long long references = 0;
    for (long long n : uses)
        references += n;
    pugi::xml_node sst = package_->xml(stringsPart_).document_element();
    if (pugi::xml_attribute count = sst.attribute("count"); count && count.as_llong() != references) {
        count.set_value(references);
        markChanged(stringsPart_);
    }
    std::vector<pugi::xml_node> items;
    for (pugi::xml_node si = sst.first_child(); si; si = si.next_sibling())
        if (si.type() == pugi::node_element && localName(si) == "si")
            items.push_back(si);
    if (items.size() != strings_.size())
        return;
    // The last strings in use fill the places of the unused ones, lowest first: only the cells of the
    // strings that move are numbered again, and those are mostly the texts just entered, at the end.
    std::vector<long long> renumbered(strings_.size(), -1); // the new number; -1: dropped
    for (std::size_t i = 0; i < uses.size(); ++i)
        if (uses[i] != 0)
            renumbered[i] = static_cast<long long>(i);
    std::size_t hole = 0, end = uses.size();
    for (;;) {
        while (hole < end && uses[hole] != 0)
            ++hole;
        while (end > hole && uses[end - 1] == 0)
            --end;
        if (hole >= end)
            break;
        const std::size_t from = end - 1;
        sst.insert_move_before(items[from], items[hole]);
        sst.remove_child(items[hole]);
        items[hole] = items[from];
        items[from] = pugi::xml_node();
        renumbered[from] = static_cast<long long>(hole);
        uses[hole] = uses[from];
        uses[from] = 0;
        ++hole;
        --end;
    }
    const std::size_t kept = end;
    if (kept == strings_.size())
        return;
    for (std::size_t i = kept; i < items.size(); ++i)
        if (items[i])
            sst.remove_child(items[i]);
    for (const Reference& r : cells) {
        if (r.index < 0 || static_cast<std::size_t>(r.index) >= renumbered.size())
            continue;
        const long long now = renumbered[static_cast<std::size_t>(r.index)];
        if (now != r.index) {
            pugi::xml_node v = r.v;
            v.text().set(now);
            markChanged(*r.part);
        }
    }
    std::vector<std::u16string> strings(kept);
    std::vector<bool> plain(kept);
    for (std::size_t i = 0; i < renumbered.size(); ++i) {
        if (renumbered[i] < 0)
            continue;
        strings[static_cast<std::size_t>(renumbered[i])] = std::move(strings_[i]);
        plain[static_cast<std::size_t>(renumbered[i])] = plainStrings_[i];
    }
    strings_ = std::move(strings);
    plainStrings_ = std::move(plain);
    stringIndex_.clear();
    stringIndexBuilt_ = false;
    if (pugi::xml_attribute unique = sst.attribute("uniqueCount"))
        unique.set_value(static_cast<unsigned long long>(kept));
    markChanged(stringsPart_);
}

void XlsxDocument::formulaRemoved()
{
    if (calcDropped_)
        return;
    calcDropped_ = true;
    if (auto chain = package_->relatedPart(mainPart_, "calcChain")) {
        if (package_->hasPart(*chain))
            package_->removePart(*chain);
        const std::string relsPart = Package::relsPartOf(mainPart_);
        pugi::xml_node rels = package_->xml(relsPart).document_element();
        for (pugi::xml_node r = rels.first_child(); r;) {
            pugi::xml_node next = r.next_sibling();
            if (r.type() == pugi::node_element && endsWith(r.attribute("Type").value(), "/calcChain"))
                rels.remove_child(r);
            r = next;
        }
        markChanged(relsPart);
        if (package_->hasPart("[Content_Types].xml")) {
            pugi::xml_node types = package_->xml("[Content_Types].xml").document_element();
            const std::string name = lowerAscii("/" + *chain);
            for (pugi::xml_node o = types.first_child(); o;) {
                pugi::xml_node next = o.next_sibling();
                if (o.type() == pugi::node_element && localName(o) == "Override" &&
                    lowerAscii(o.attribute("PartName").value()) == name)
                    types.remove_child(o);
                o = next;
            }
            markChanged("[Content_Types].xml");
        }
    }
    pugi::xml_node workbook = package_->xml(mainPart_).document_element();
    pugi::xml_node calcPr = child(workbook, "calcPr");
    if (!calcPr) {
        pugi::xml_node before =
            firstOf(workbook, {"oleSize", "customWorkbookViews", "pivotCaches", "smartTagPr", "smartTagTypes",
                               "webPublishing", "fileRecoveryPr", "webPublishObjects", "extLst"});
        calcPr = before ? workbook.insert_child_before(qualified(workbook, "calcPr").c_str(), before)
                        : workbook.append_child(qualified(workbook, "calcPr").c_str());
    }
    setAttribute(calcPr, "fullCalcOnLoad", "1");
    markChanged(mainPart_);
}

// ---- XlsxSheet ----

XlsxSheet::XlsxSheet(XlsxDocument& doc, std::string part, std::u16string name, int visibility)
    : doc_(doc), part_(std::move(part))
{
    name_ = std::move(name);
    visibility_ = visibility;
    index();
}

void XlsxSheet::damaged(const std::string& where) const
{
    raise(kErrorFail, "The worksheet " + utf16ToUtf8(name_) + " is damaged (" + where + ").");
}

void XlsxSheet::index()
{
    pugi::xml_node root = doc_.package().xml(part_).document_element();
    if (localName(root) != "worksheet")
        damaged("not a worksheet");
    if (pugi::xml_node protection = child(root, "sheetProtection"))
        protected_ = isTrue(attribute(protection, "sheet").value());
    if (pugi::xml_node view = child(child(root, "sheetViews"), "sheetView")) {
        const std::string_view activePane = attribute(child(view, "pane"), "activePane").value();
        pugi::xml_node chosen;
        for (pugi::xml_node sel = view.first_child(); sel; sel = sel.next_sibling()) {
            if (sel.type() != pugi::node_element || localName(sel) != "selection")
                continue;
            if (!chosen || (!activePane.empty() && attribute(sel, "pane").value() == activePane))
                chosen = sel;
        }
        std::int32_t r = 0, c = 0;
        if (chosen && parseCellRef(attribute(chosen, "activeCell").value(), r, c)) {
            activeRow = r;
            activeColumn = c;
        }
    }
    for (const Relationship& rel : doc_.package().relationships(part_))
        if (!rel.external && endsWith(rel.type, "/table") && doc_.package().hasPart(rel.target)) {
            doc_.package().xml(rel.target); // parsed now, so that a damaged table fails at Open
            tables_.push_back(rel.target);
        }
    sheetData_ = child(root, "sheetData");
    if (!sheetData_)
        damaged("no cell data");
    std::vector<std::pair<std::uint64_t, pugi::xml_node>> cells;
    std::int32_t rowNumber = 0;
    const std::size_t strings = doc_.sharedStringCount();
    for (pugi::xml_node row = sheetData_.first_child(); row; row = row.next_sibling()) {
        if (row.type() != pugi::node_element || localName(row) != "row")
            continue;
        if (pugi::xml_attribute r = row.attribute("r")) {
            long long value = 0;
            if (!parseIndex(r.value(), value) || value < 1 || value > kSheetRows)
                damaged("row number");
            rowNumber = static_cast<std::int32_t>(value);
        } else if (++rowNumber > kSheetRows) {
            damaged("row number");
        }
        rows_.emplace_back(rowNumber, row);
        std::int32_t column = 0;
        for (pugi::xml_node c = row.first_child(); c; c = c.next_sibling()) {
            if (c.type() != pugi::node_element || localName(c) != "c")
                continue;
            if (pugi::xml_attribute ref = c.attribute("r")) {
                std::int32_t r = 0;
                if (!parseCellRef(ref.value(), r, column) || r != rowNumber)
                    damaged(std::string("cell reference ") + ref.value());
            } else if (++column > kSheetColumns) {
                damaged("column number");
            }
            const std::string where = cellRefText(rowNumber, column);
            const std::string_view type = c.attribute("t").value();
            const std::string_view v = child(c, "v").child_value();
            if (type == "s") {
                long long index = 0;
                if (child(c, "v") &&
                    (!parseIndex(v, index) || index < 0 || static_cast<std::size_t>(index) >= strings))
                    damaged("shared string of cell " + where);
            } else if (type.empty() || type == "n") {
                double number = 0;
                if (child(c, "v") && !v.empty() && !parseDouble(v, number))
                    damaged("number in cell " + where);
            } else if (type == "b") {
                if (child(c, "v") && v != "0" && v != "1" && v != "true" && v != "false")
                    damaged("Boolean in cell " + where);
            } else if (type != "str" && type != "inlineStr" && type != "e" && type != "d") {
                damaged("type of cell " + where);
            }
            if (pugi::xml_node f = child(c, "f"))
                if (std::string_view(f.attribute("t").value()) == "array") {
                    CellRect rect;
                    if (parseRangeRef(f.attribute("ref").value(), rect))
                        arrays_.push_back(rect);
                }
            cells.emplace_back(cellKey(rowNumber, column), c);
        }
    }
    auto byKey = [](const auto& a, const auto& b) { return a.first < b.first; };
    if (!std::is_sorted(cells.begin(), cells.end(), byKey))
        std::stable_sort(cells.begin(), cells.end(), byKey);
    if (!std::is_sorted(rows_.begin(), rows_.end(), byKey))
        std::stable_sort(rows_.begin(), rows_.end(), byKey);
    for (std::size_t i = 1; i < cells.size(); ++i)
        if (cells[i].first == cells[i - 1].first)
            damaged("cell " + cellRefText(keyRow(cells[i].first), keyColumn(cells[i].first)) + " twice");
    for (std::size_t i = 1; i < rows_.size(); ++i)
        if (rows_[i].first == rows_[i - 1].first)
            damaged("row " + std::to_string(rows_[i].first) + " twice");
    keys_.reserve(cells.size());
    nodes_.reserve(cells.size());
    for (const auto& [key, node] : cells) {
        keys_.push_back(key);
        nodes_.push_back(node);
    }
}

Variant XlsxSheet::nodeValue(const pugi::xml_node& c) const
{
    const std::string_view type = c.attribute("t").value();
    const pugi::xml_node v = child(c, "v");
    const std::string_view text = v.child_value();
    if (type == "inlineStr") {
        if (pugi::xml_node is = child(c, "is"))
            return Variant(richText(is));
        return v ? Variant(decodeEscapes(text)) : Variant();
    }
    if (!v)
        return {};
    if (type == "s") {
        long long index = 0;
        parseIndex(text, index);
        return Variant(doc_.sharedString(static_cast<std::size_t>(index)));
    }
    if (type == "str")
        return Variant(decodeEscapes(text));
    if (type == "b")
        return Variant(text == "1" || text == "true");
    if (type == "e")
        return Variant::fromError(errorScode(text));
    if (type == "d") {
        double serial = 0;
        if (isoToSerial(text, doc_.date1904(), serial))
            return Variant(serial);
        return Variant(utf8ToUtf16(text));
    }
    double number = 0;
    if (!parseDouble(text, number))
        return {};
    return Variant(number);
}

int XlsxSheet::styleOf(std::int32_t row, std::int32_t column) const
{
    auto index = indexOf(row, column);
    return index ? nodes_[*index].attribute("s").as_int(0) : 0;
}

Variant XlsxSheet::cellValue(std::size_t index) const
{
    return nodeValue(nodes_[index]);
}

std::u16string XlsxSheet::cellText(std::size_t index) const
{
    const pugi::xml_node c = nodes_[index];
    const Variant value = nodeValue(c);
    const int style = c.attribute("s").as_int(0);
    switch (value.type()) {
    case VarType::kBStr:
        return formatStringText(value.text(), doc_.formatCode(style));
    case VarType::kR8:
        return formatNumberText(value.realValue(), doc_.formatCode(style), doc_.date1904());
    case VarType::kBool:
        return value.boolValue() ? u"TRUE" : u"FALSE";
    case VarType::kError:
        return utf8ToUtf16(child(c, "v").child_value());
    default:
        return {};
    }
}

std::u16string XlsxSheet::cellFormula(std::size_t index) const
{
    const pugi::xml_node c = nodes_[index];
    if (pugi::xml_node f = child(c, "f"); f && *f.child_value())
        return u"=" + decodeEscapes(f.child_value());
    const Variant value = nodeValue(c);
    switch (value.type()) {
    case VarType::kBool:
        return value.boolValue() ? u"TRUE" : u"FALSE";
    case VarType::kError:
        return utf8ToUtf16(child(c, "v").child_value());
    default:
        return variantToText(value);
    }
}

std::int32_t XlsxSheet::interiorColor(std::int32_t row, std::int32_t column) const
{
    return doc_.fillOf(styleOf(row, column));
}

CellFont XlsxSheet::font(std::int32_t row, std::int32_t column) const
{
    return doc_.fontOf(styleOf(row, column));
}

void XlsxSheet::makeRefsExplicit()
{
    if (refsExplicit_)
        return;
    refsExplicit_ = true;
    for (const auto& [number, row] : rows_)
        if (!row.attribute("r"))
            setAttribute(row, "r", std::to_string(number));
    for (std::size_t i = 0; i < keys_.size(); ++i)
        if (!nodes_[i].attribute("r"))
            setAttribute(nodes_[i], "r", cellRefText(keyRow(keys_[i]), keyColumn(keys_[i])));
}

void XlsxSheet::extendDimension(std::int32_t row, std::int32_t column)
{
    pugi::xml_node dimension = child(doc_.package().xml(part_).document_element(), "dimension");
    if (!dimension)
        return;
    CellRect rect;
    if (!parseRangeRef(dimension.attribute("ref").value(), rect))
        return;
    if (rect.contains(row, column))
        return;
    rect = CellRect{std::min(rect.top, row), std::min(rect.left, column), std::max(rect.bottom, row),
                    std::max(rect.right, column)};
    setAttribute(dimension, "ref",
                 cellRefText(rect.top, rect.left) + ":" + cellRefText(rect.bottom, rect.right));
}

void XlsxSheet::renameTableColumns(std::int32_t row, std::int32_t column, const std::u16string& header)
{
    for (const std::string& part : tables_) {
        pugi::xml_node table = doc_.package().xml(part).document_element();
        CellRect rect;
        if (!parseRangeRef(table.attribute("ref").value(), rect) ||
            table.attribute("headerRowCount").as_int(1) == 0 || row != rect.top ||
            !rect.contains(row, column))
            continue;
        int position = 0;
        for (pugi::xml_node c = child(table, "tableColumns").first_child(); c; c = c.next_sibling()) {
            if (c.type() != pugi::node_element || localName(c) != "tableColumn")
                continue;
            if (position++ != column - rect.left)
                continue;
            // An empty header gets a generated name, as a new column of a table does.
            const std::u16string name =
                header.empty() ? u"Column" + utf8ToUtf16(std::to_string(position)) : header;
            setAttribute(c, "name", encodeEscapes(name));
            doc_.markChanged(part);
            break;
        }
    }
}

pugi::xml_node XlsxSheet::createCell(std::int32_t row, std::int32_t column)
{
    makeRefsExplicit();
    auto rowIt = std::lower_bound(rows_.begin(), rows_.end(), row,
                                  [](const auto& entry, std::int32_t r) { return entry.first < r; });
    pugi::xml_node rowNode;
    if (rowIt != rows_.end() && rowIt->first == row) {
        rowNode = rowIt->second;
    } else {
        const std::string name = qualified(sheetData_, "row");
        rowNode = rowIt != rows_.end() ? sheetData_.insert_child_before(name.c_str(), rowIt->second)
                                       : sheetData_.append_child(name.c_str());
        setAttribute(rowNode, "r", std::to_string(row));
        rows_.insert(rowIt, {row, rowNode});
    }
    rowNode.remove_attribute("spans");
    const std::uint64_t key = cellKey(row, column);
    auto keyIt = std::lower_bound(keys_.begin(), keys_.end(), key);
    const auto position = static_cast<std::size_t>(keyIt - keys_.begin());
    const std::string name = qualified(sheetData_, "c");
    pugi::xml_node cell;
    if (keyIt != keys_.end() && keyRow(*keyIt) == row)
        cell = rowNode.insert_child_before(name.c_str(), nodes_[position]);
    else if (pugi::xml_node ext = child(rowNode, "extLst"))
        cell = rowNode.insert_child_before(name.c_str(), ext);
    else
        cell = rowNode.append_child(name.c_str());
    setAttribute(cell, "r", cellRefText(row, column));
    keys_.insert(keyIt, key);
    nodes_.insert(nodes_.begin() + static_cast<std::ptrdiff_t>(position), cell);
    extendDimension(row, column);
    return cell;
}

void XlsxSheet::enterValue(std::int32_t row, std::int32_t column, const Variant& value)
{
    if (row < 1 || row > kSheetRows || column < 1 || column > kSheetColumns)
        raise(kErrorInvalidArgument, "The cell lies outside the sheet.");
    auto index = indexOf(row, column);
    if (protected_ && doc_.xf(index ? nodes_[*index].attribute("s").as_int(0) : 0).locked)
        raise(kErrorException, "The cell is on a protected sheet and cannot be changed.");
    // What is entered.
    enum class Kind
    {
        kClear,
        kNumber,
        kBool,
        kText,
    } kind = Kind::kClear;
    double number = 0;
    std::u16string text;
    switch (value.type()) {
    case VarType::kEmpty:
    case VarType::kNull:
        break;
    case VarType::kBool:
        kind = Kind::kBool;
        break;
    case VarType::kBStr: {
        text = value.text();
        if (text.empty())
            break;
        if (text.size() > 32767)
            raise(kErrorException, "A cell holds at most 32,767 characters.");
        const bool wasNumber = index && nodeValue(nodes_[*index]).type() == VarType::kR8;
        kind = wasNumber && textIsNumber(text, number) ? Kind::kNumber : Kind::kText;
        break;
    }
    default:
        if (!value.isNumber())
            raise(kErrorTypeMismatch, "Type mismatch.");
        number = toDouble(value);
        kind = Kind::kNumber;
        break;
    }
    if (index) {
        const pugi::xml_node c = nodes_[*index];
        if (pugi::xml_node f = child(c, "f")) {
            const std::string_view type = f.attribute("t").value();
            if (type == "array" || type == "dataTable")
                raise(kErrorException, "The cell is part of an array formula and cannot be changed alone.");
            if (type == "shared" && (*f.attribute("ref").value() || *f.child_value()))
                raise(kErrorException, "The cell holds a formula that other cells share.");
        } else {
            for (const CellRect& rect : arrays_)
                if (rect.contains(row, column))
                    raise(kErrorException,
                          "The cell is part of an array formula and cannot be changed alone.");
        }
    }
    if (!tables_.empty()) {
        std::u16string header = text;
        if (kind == Kind::kNumber)
            header = generalNumberText(number);
        else if (kind == Kind::kBool)
            header = value.boolValue() ? u"TRUE" : u"FALSE";
        renameTableColumns(row, column, header);
    }
    pugi::xml_node c = index ? nodes_[*index] : createCell(row, column);
    bool hadFormula = false;
    for (pugi::xml_node n = c.first_child(); n;) {
        pugi::xml_node next = n.next_sibling();
        const std::string_view local = n.type() == pugi::node_element ? localName(n) : std::string_view();
        if (local == "f" || local == "v" || local == "is") {
            hadFormula = hadFormula || local == "f";
            c.remove_child(n);
        }
        n = next;
    }
    if (std::string_view(c.attribute("t").value()) == "s" && index)
        doc_.sharedStringReleased();
    c.remove_attribute("t");
    c.remove_attribute("cm");
    c.remove_attribute("vm");
    const pugi::xml_node ext = child(c, "extLst");
    auto addChild = [&](std::string_view local) {
        const std::string name = qualified(c, local);
        return ext ? c.insert_child_before(name.c_str(), ext) : c.append_child(name.c_str());
    };
    switch (kind) {
    case Kind::kClear:
        break;
    case Kind::kNumber:
        addChild("v").text().set(numberText(number).c_str());
        break;
    case Kind::kBool:
        setAttribute(c, "t", "b");
        addChild("v").text().set(value.boolValue() ? "1" : "0");
        break;
    case Kind::kText: {
        const long long shared = doc_.addSharedString(text);
        if (shared >= 0) {
            setAttribute(c, "t", "s");
            addChild("v").text().set(shared);
        } else {
            setAttribute(c, "t", "inlineStr");
            pugi::xml_node t = addChild("is").append_child(qualified(c, "t").c_str());
            if (text.front() == u' ' || text.back() == u' ' || text.find(u'\n') != std::u16string::npos)
                t.append_attribute("xml:space").set_value("preserve");
            t.text().set(encodeEscapes(text).c_str());
        }
        break;
    }
    }
    doc_.markChanged(part_);
    doc_.cellChanged();
    if (hadFormula)
        doc_.formulaRemoved();
}

// ---- CSV ----

class CsvSheet : public SpreadsheetSheet
{
public:
    CsvSheet(CsvTable& table, std::u16string name) : table_(table)
    {
        name_ = std::move(name);
        for (std::size_t r = 0; r < table_.records.size(); ++r)
            for (std::size_t c = 0; c < table_.records[r].fields.size(); ++c)
                if (!table_.records[r].fields[c].empty())
                    keys_.push_back(
                        cellKey(static_cast<std::int32_t>(r + 1), static_cast<std::int32_t>(c + 1)));
    }
    void enterValue(std::int32_t row, std::int32_t column, const Variant& value) override
    {
        if (row < 1 || row > kSheetRows || column < 1 || column > kSheetColumns)
            raise(kErrorInvalidArgument, "The cell lies outside the sheet.");
        std::u16string text;
        if (value.type() == VarType::kBool)
            text = value.boolValue() ? u"TRUE" : u"FALSE";
        else if (value.type() != VarType::kNull)
            text = variantToText(value);
        const bool empty = text.empty();
        table_.setField(static_cast<std::size_t>(row - 1), static_cast<std::size_t>(column - 1),
                        std::move(text));
        ++changes_;
        const std::uint64_t key = cellKey(row, column);
        auto it = std::lower_bound(keys_.begin(), keys_.end(), key);
        if (!empty && (it == keys_.end() || *it != key))
            keys_.insert(it, key);
    }
    std::uint64_t changes() const { return changes_; }

protected:
    const std::u16string& field(std::size_t index) const
    {
        static const std::u16string kEmpty;
        const std::uint64_t key = keys_[index];
        const auto row = static_cast<std::size_t>(keyRow(key) - 1);
        const auto column = static_cast<std::size_t>(keyColumn(key) - 1);
        if (row >= table_.records.size() || column >= table_.records[row].fields.size())
            return kEmpty;
        return table_.records[row].fields[column];
    }
    Variant cellValue(std::size_t index) const override
    {
        const std::u16string& f = field(index);
        return f.empty() ? Variant() : Variant(f);
    }
    std::u16string cellText(std::size_t index) const override { return field(index); }
    std::u16string cellFormula(std::size_t index) const override { return field(index); }

private:
    CsvTable& table_;
    std::uint64_t changes_ = 0;
};

class CsvDocument : public SpreadsheetDocument
{
public:
    CsvDocument(CsvTable table, std::u16string name) : table_(std::move(table))
    {
        csv_ = true;
        sheets_.push_back(std::make_unique<CsvSheet>(table_, std::move(name)));
    }
    std::uint64_t changeCount() const override
    {
        return static_cast<const CsvSheet&>(*sheets_.front()).changes();
    }
    void save(std::string_view windowsPath) override
    {
        const std::string bytes = writeCsv(table_);
        if (const WinError error = atomicRewrite(windowsPath, bytes))
            raise(kErrorFail, errorText(error));
    }

private:
    CsvTable table_;
};

} // namespace

// ---- Cell references ----

bool parseCellRef(std::string_view text, std::int32_t& row, std::int32_t& column)
{
    std::size_t i = 0;
    std::int64_t c = 0;
    while (i < text.size() && i < 4) {
        char ch = text[i];
        if (ch >= 'a' && ch <= 'z')
            ch = static_cast<char>(ch - 32);
        if (ch < 'A' || ch > 'Z')
            break;
        c = c * 26 + (ch - 'A' + 1);
        ++i;
    }
    if (i == 0 || c > kSheetColumns || i == text.size())
        return false;
    long long r = 0;
    if (!parseIndex(text.substr(i), r) || r < 1 || r > kSheetRows || text[i] == '+' || text[i] == '-')
        return false;
    row = static_cast<std::int32_t>(r);
    column = static_cast<std::int32_t>(c);
    return true;
}

std::string cellRefText(std::int32_t row, std::int32_t column)
{
    std::string letters;
    for (std::int32_t c = column; c > 0; c = (c - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    return letters + std::to_string(row);
}

// ---- SpreadsheetSheet ----

std::optional<std::size_t> SpreadsheetSheet::indexOf(std::int32_t row, std::int32_t column) const
{
    const std::uint64_t key = cellKey(row, column);
    auto it = std::lower_bound(keys_.begin(), keys_.end(), key);
    if (it == keys_.end() || *it != key)
        return std::nullopt;
    return static_cast<std::size_t>(it - keys_.begin());
}

Variant SpreadsheetSheet::value(std::int32_t row, std::int32_t column) const
{
    auto index = indexOf(row, column);
    return index ? cellValue(*index) : Variant();
}

std::u16string SpreadsheetSheet::text(std::int32_t row, std::int32_t column) const
{
    auto index = indexOf(row, column);
    return index ? cellText(*index) : std::u16string();
}

std::u16string SpreadsheetSheet::formula(std::int32_t row, std::int32_t column) const
{
    auto index = indexOf(row, column);
    return index ? cellFormula(*index) : std::u16string();
}

std::int32_t SpreadsheetSheet::interiorColor(std::int32_t, std::int32_t) const
{
    return kNoFillColor;
}

CellFont SpreadsheetSheet::font(std::int32_t, std::int32_t) const
{
    return CellFont();
}

std::optional<std::uint64_t> SpreadsheetSheet::find(const CellPattern& pattern, std::uint64_t after,
                                                    const CellRect& rect, const CellSearch& how) const
{
    auto matches = [&](std::size_t i) {
        const std::uint64_t key = keys_[i];
        if (!rect.contains(keyRow(key), keyColumn(key)))
            return false;
        std::u16string text;
        if (how.formulas) {
            text = cellFormula(i);
            if (text.empty())
                return false;
        } else {
            const Variant value = cellValue(i);
            if (value.type() != VarType::kBStr && !value.isNumber())
                return false;
            text = variantToText(value);
        }
        return pattern.matches(text);
    };
    const std::size_t n = keys_.size();
    if (!how.byColumns) {
        const std::size_t start =
            static_cast<std::size_t>(std::upper_bound(keys_.begin(), keys_.end(), after) - keys_.begin());
        if (!how.previous) {
            for (std::size_t k = 0; k < n; ++k) {
                const std::size_t i = (start + k) % n;
                if (matches(i))
                    return keys_[i];
            }
        } else {
            // Backwards from the cell before `after`, wrapping; `after` itself last.
            const std::size_t before =
                static_cast<std::size_t>(std::lower_bound(keys_.begin(), keys_.end(), after) - keys_.begin());
            for (std::size_t k = 1; k <= n; ++k) {
                const std::size_t i = (before + n - k) % n;
                if (matches(i))
                    return keys_[i];
            }
        }
        return std::nullopt;
    }
    // Column-major order: the nearest candidate after (or before) `after`, wrapping.
    auto columnKey = [](std::uint64_t key) {
        return (static_cast<std::uint64_t>(keyColumn(key)) << 21) | static_cast<std::uint64_t>(keyRow(key));
    };
    const std::uint64_t pivot = columnKey(after);
    std::optional<std::uint64_t> best, wrap;
    for (std::size_t i = 0; i < n; ++i) {
        if (!matches(i))
            continue;
        const std::uint64_t ck = columnKey(keys_[i]);
        const bool beyond = how.previous ? ck < pivot : ck > pivot;
        auto better = [&](const std::optional<std::uint64_t>& current) {
            return !current || (how.previous ? ck > columnKey(*current) : ck < columnKey(*current));
        };
        if (beyond) {
            if (better(best))
                best = keys_[i];
        } else if (better(wrap)) {
            wrap = keys_[i];
        }
    }
    return best ? best : wrap;
}

// ---- SpreadsheetDocument ----

std::unique_ptr<SpreadsheetDocument> SpreadsheetDocument::load(std::string_view windowsPath,
                                                               const PackageLimits& limits)
{
    std::string_view name = windowsPath;
    if (const std::size_t slash = name.find_last_of("\\/"); slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    const std::size_t dot = name.rfind('.');
    const std::string extension =
        dot == std::string_view::npos ? std::string() : lowerAscii(name.substr(dot));
    if (extension != ".csv")
        return std::make_unique<XlsxDocument>(windowsPath, limits);
    FileInfo info;
    if (const WinError error = getFileInfo(windowsPath, info))
        raise(kErrorFail, errorText(error));
    if (info.attributes & kAttrDirectory)
        raise(kErrorFail, "The file is a folder.");
    // A table is read whole into texts: it is held to the size of one part of a package.
    if (info.size > limits.maxPartSize)
        raise(kErrorFail, "The file is too large.");
    std::string bytes;
    if (const WinError error = readWholeFile(windowsPath, bytes))
        raise(kErrorFail, errorText(error));
    return std::make_unique<CsvDocument>(parseCsv(bytes), utf8ToUtf16(name.substr(0, dot)));
}

} // namespace wux::platform::automation
