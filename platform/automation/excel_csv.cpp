#include "platform/automation/excel_csv.h"

#include "platform/automation/variant.h"
#include "platform/text.h"

namespace wux::platform::automation {

namespace {

constexpr std::size_t kMaxRows = 1048576;
constexpr std::size_t kMaxColumns = 16384;

// Code page 1252, bytes 0x80-0x9F (the five unassigned bytes stand for the same C1 code point).
constexpr char16_t kHigh1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

[[noreturn]] void raise(const std::string& message)
{
    throw AutomationError(kErrorFail, "Excel.Application", message);
}

std::u16string decode(std::string_view bytes, CsvEncoding encoding)
{
    if (encoding != CsvEncoding::kWindows1252)
        return utf8ToUtf16(bytes);
    std::u16string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        out.push_back(b >= 0x80 && b < 0xA0 ? kHigh1252[b - 0x80] : static_cast<char16_t>(b));
    }
    return out;
}

void encode(std::u16string_view text, CsvEncoding encoding, std::string& out)
{
    if (encoding != CsvEncoding::kWindows1252) {
        out += utf16ToUtf8(text);
        return;
    }
    for (char16_t c : text) {
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        bool found = false;
        for (int i = 0; i < 32 && !found; ++i)
            if (kHigh1252[i] == c) {
                out.push_back(static_cast<char>(0x80 + i));
                found = true;
            }
        if (!found)
            raise("The text cannot be written in the code page of the comma-separated file.");
    }
}

} // namespace

void CsvTable::setField(std::size_t row, std::size_t column, std::u16string text)
{
    if (row >= kMaxRows || column >= kMaxColumns)
        raise("The cell lies outside the sheet.");
    if (row >= records.size()) {
        const bool finalLineEnd = records.empty() || !records.back().lineEnd.empty();
        if (!records.empty() && records.back().lineEnd.empty()) {
            records.back().lineEnd = defaultLineEnd;
            records.back().raw += defaultLineEnd;
        }
        while (records.size() <= row) {
            CsvRecord r;
            r.dirty = true;
            r.lineEnd = defaultLineEnd;
            records.push_back(std::move(r));
        }
        if (!finalLineEnd)
            records.back().lineEnd.clear();
    }
    CsvRecord& r = records[row];
    if (r.fields.size() <= column) {
        r.fields.resize(column + 1);
        r.quoted.resize(column + 1, false);
    }
    r.fields[column] = std::move(text);
    r.dirty = true;
}

CsvTable parseCsv(std::string_view bytes)
{
    CsvTable table;
    std::size_t pos = 0;
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        table.encoding = CsvEncoding::kUtf8Bom;
        pos = 3;
    } else {
        table.encoding = isValidUtf8(bytes) ? CsvEncoding::kUtf8 : CsvEncoding::kWindows1252;
    }
    const std::string_view firstLine = bytes.substr(pos, bytes.find_first_of("\r\n", pos) - pos);
    if (firstLine.find(';') != std::string_view::npos && firstLine.find(',') == std::string_view::npos)
        table.separator = ';';
    const char sep = table.separator;
    const std::size_t n = bytes.size();
    std::string field;
    while (pos < n) {
        if (table.records.size() >= kMaxRows)
            raise("The comma-separated file has more rows than a sheet holds.");
        CsvRecord record;
        const std::size_t start = pos;
        for (;;) {
            field.clear();
            bool quoted = false;
            if (pos < n && bytes[pos] == '"') {
                quoted = true;
                ++pos;
                while (pos < n) {
                    if (bytes[pos] == '"') {
                        if (pos + 1 < n && bytes[pos + 1] == '"') {
                            field.push_back('"');
                            pos += 2;
                            continue;
                        }
                        ++pos;
                        break;
                    }
                    field.push_back(bytes[pos++]);
                }
            }
            while (pos < n && bytes[pos] != sep && bytes[pos] != '\r' && bytes[pos] != '\n')
                field.push_back(bytes[pos++]);
            if (record.fields.size() >= kMaxColumns)
                raise("The comma-separated file has more columns than a sheet holds.");
            record.fields.push_back(decode(field, table.encoding));
            record.quoted.push_back(quoted);
            if (pos < n && bytes[pos] == sep) {
                ++pos;
                continue;
            }
            break;
        }
        if (pos < n && bytes[pos] == '\r') {
            record.lineEnd = (pos + 1 < n && bytes[pos + 1] == '\n') ? "\r\n" : "\r";
        } else if (pos < n && bytes[pos] == '\n') {
            record.lineEnd = "\n";
        }
        pos += record.lineEnd.size();
        record.raw = std::string(bytes.substr(start, pos - start));
        table.records.push_back(std::move(record));
    }
    if (!table.records.empty() && !table.records.front().lineEnd.empty())
        table.defaultLineEnd = table.records.front().lineEnd;
    return table;
}

std::string writeCsv(const CsvTable& table)
{
    std::string out;
    if (table.encoding == CsvEncoding::kUtf8Bom)
        out += "\xEF\xBB\xBF";
    for (const CsvRecord& r : table.records) {
        if (!r.dirty) {
            out += r.raw;
            continue;
        }
        for (std::size_t i = 0; i < r.fields.size(); ++i) {
            if (i > 0)
                out.push_back(table.separator);
            const std::u16string& f = r.fields[i];
            const bool quote = (i < r.quoted.size() && r.quoted[i]) ||
                               f.find_first_of(u"\"\r\n") != std::u16string::npos ||
                               f.find(static_cast<char16_t>(table.separator)) != std::u16string::npos;
            if (!quote) {
                encode(f, table.encoding, out);
                continue;
            }
            std::u16string doubled;
            for (char16_t c : f) {
                doubled.push_back(c);
                if (c == u'"')
                    doubled.push_back(c);
            }
            out.push_back('"');
            encode(doubled, table.encoding, out);
            out.push_back('"');
        }
        out += r.lineEnd;
    }
    return out;
}

} // namespace wux::platform::automation
