#include "platform/ini_file.h"

#include <algorithm>
#include <limits>
#include <mutex>

#include "platform/files.h"
#include "platform/string_list.h"
#include "platform/text.h"

namespace wux::platform {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool hasLineBreak(std::string_view s)
{
    return s.find_first_of("\r\n") != std::string_view::npos;
}

bool validSectionName(std::string_view section)
{
    return !hasLineBreak(section);
}

bool validKeyName(std::string_view key)
{
    if (hasLineBreak(key) || key.find('=') != std::string_view::npos)
        return false;
    return key.empty() || (key.front() != '[' && key.front() != ';');
}

// A raw value as read: surrounding blanks are already gone; one pair of surrounding quotes goes.
std::string_view unquote(std::string_view value)
{
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return value.substr(1, value.size() - 2);
    return value;
}

// The integer rules of readInteger; false for anything that is not a whole number.
bool parseInteger(std::string_view text, std::int32_t& result)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        std::uint64_t value = 0;
        for (const char c : text.substr(2)) {
            const int digit = hexDigitValue(c);
            if (digit < 0)
                return false;
            value = value * 16 + static_cast<unsigned>(digit);
            if (value > 0xFFFFFFFFu)
                return false;
        }
        result = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
        return true;
    }
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return false;
    const std::int64_t limit = negative ? -static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::min())
                                        : std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
        if (value > limit)
            return false;
    }
    result = static_cast<std::int32_t>(negative ? -value : value);
    return true;
}

} // namespace

std::string quotedIniValue(std::string_view value)
{
    const bool quote = !value.empty() && (isBlank(value.front()) || isBlank(value.back()) ||
                                          (value.size() >= 2 && value.front() == '"' && value.back() == '"'));
    if (!quote)
        return std::string(value);
    std::string stored;
    stored.reserve(value.size() + 2);
    stored.append(1, '"').append(value).append(1, '"');
    return stored;
}

bool parseIniInteger(std::string_view text, std::int32_t& result)
{
    return parseInteger(text, result);
}

std::string bytesToHex(std::string_view bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex(bytes.size() * 2, '0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        hex[2 * i] = kDigits[b >> 4];
        hex[2 * i + 1] = kDigits[b & 0xF];
    }
    return hex;
}

std::string hexToBytes(std::string_view hex)
{
    std::string bytes;
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        const int high = hexDigitValue(hex[i]);
        const int low = hexDigitValue(hex[i + 1]);
        if (high < 0 || low < 0)
            break;
        bytes.push_back(static_cast<char>(high * 16 + low));
    }
    return bytes;
}

// ---- IniDocument ----

IniDocument::IniDocument(std::string bytes) : bytes_(std::move(bytes))
{
    parse();
}

void IniDocument::parse()
{
    lines_.clear();
    newline_ = "\r\n";
    bool newlineSeen = false;
    std::size_t pos = bytes_.compare(0, kUtf8Bom.size(), kUtf8Bom) == 0 ? kUtf8Bom.size() : 0;
    const std::string_view all(bytes_);
    while (pos < all.size()) {
        Line line;
        line.start = pos;
        std::size_t end = all.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = all.size();
        line.contentEnd = end;
        line.end = end;
        if (end < all.size()) {
            line.end = end + 1;
            if (all[end] == '\r' && end + 1 < all.size() && all[end + 1] == '\n')
                line.end = end + 2;
            if (!newlineSeen) {
                newline_.assign(all.substr(end, line.end - end));
                newlineSeen = true;
            }
        }
        const std::string_view content = all.substr(pos, end - pos);
        const std::string_view text = trimBlanks(content);
        const std::size_t textStart = static_cast<std::size_t>(text.data() - all.data());
        if (!text.empty() && text.front() == '[') {
            line.kind = LineKind::kSection;
            std::string_view name = text.substr(1);
            const std::size_t close = name.rfind(']');
            if (close != std::string_view::npos)
                name = name.substr(0, close);
            name = trimBlanks(name);
            line.nameStart = static_cast<std::size_t>(name.data() - all.data());
            line.nameSize = name.size();
        } else if (!text.empty() && text.front() != ';') {
            const std::size_t eq = text.find('=');
            if (eq != std::string_view::npos) {
                line.kind = LineKind::kKey;
                const std::string_view name = trimBlanks(text.substr(0, eq));
                const std::string_view value = trimBlanks(text.substr(eq + 1));
                line.nameStart =
                    name.empty() ? textStart : static_cast<std::size_t>(name.data() - all.data());
                line.nameSize = name.size();
                line.valueStart =
                    value.empty() ? textStart + eq + 1 : static_cast<std::size_t>(value.data() - all.data());
                line.valueSize = value.size();
            }
        }
        lines_.push_back(line);
        pos = line.end;
    }
}

std::string_view IniDocument::nameOf(const Line& line) const
{
    return std::string_view(bytes_).substr(line.nameStart, line.nameSize);
}

std::vector<std::size_t> IniDocument::headersOf(std::string_view section) const
{
    section = trimBlanks(section);
    std::vector<std::size_t> headers;
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (lines_[i].kind == LineKind::kSection && equalNoCase(nameOf(lines_[i]), section))
            headers.push_back(i);
    return headers;
}

std::size_t IniDocument::bodyEnd(std::size_t header) const
{
    std::size_t i = header + 1;
    while (i < lines_.size() && lines_[i].kind != LineKind::kSection)
        ++i;
    return i;
}

std::vector<std::size_t> IniDocument::keyLines(std::string_view section, std::string_view key) const
{
    key = trimBlanks(key);
    std::vector<std::size_t> found;
    for (const std::size_t header : headersOf(section)) {
        const std::size_t end = bodyEnd(header);
        for (std::size_t i = header + 1; i < end; ++i)
            if (lines_[i].kind == LineKind::kKey && equalNoCase(nameOf(lines_[i]), key))
                found.push_back(i);
    }
    return found;
}

bool IniDocument::findValue(std::string_view section, std::string_view key, std::string& value) const
{
    const std::vector<std::size_t> found = keyLines(section, key);
    if (found.empty())
        return false;
    const Line& line = lines_[found.front()];
    value.assign(unquote(std::string_view(bytes_).substr(line.valueStart, line.valueSize)));
    return true;
}

bool IniDocument::sectionExists(std::string_view section) const
{
    return !headersOf(section).empty();
}

std::vector<std::string> IniDocument::sectionNames() const
{
    std::vector<std::string> names;
    for (const Line& line : lines_) {
        if (line.kind != LineKind::kSection)
            continue;
        const std::string_view name = nameOf(line);
        if (std::none_of(names.begin(), names.end(),
                         [&](const std::string& n) { return equalNoCase(n, name); }))
            names.emplace_back(name);
    }
    return names;
}

std::vector<std::pair<std::string, std::string>> IniDocument::sectionValues(std::string_view section) const
{
    std::vector<std::pair<std::string, std::string>> values;
    for (const std::size_t header : headersOf(section)) {
        const std::size_t end = bodyEnd(header);
        for (std::size_t i = header + 1; i < end; ++i) {
            const Line& line = lines_[i];
            if (line.kind != LineKind::kKey)
                continue;
            const std::string_view key = nameOf(line);
            if (std::any_of(values.begin(), values.end(),
                            [&](const auto& kv) { return equalNoCase(kv.first, key); }))
                continue;
            values.emplace_back(
                std::string(key),
                std::string(unquote(std::string_view(bytes_).substr(line.valueStart, line.valueSize))));
        }
    }
    return values;
}

void IniDocument::replaceBytes(std::size_t start, std::size_t end, std::string_view text)
{
    if (std::string_view(bytes_).substr(start, end - start) == text)
        return;
    bytes_.replace(start, end - start, text);
    modified_ = true;
    parse();
}

void IniDocument::appendSectionHeader(std::string_view section, std::string& out) const
{
    if (!lines_.empty()) {
        const Line& last = lines_.back();
        if (last.end == last.contentEnd)
            out += newline_;
        if (!trimBlanks(std::string_view(bytes_).substr(last.start, last.contentEnd - last.start)).empty())
            out += newline_;
    }
    out += '[';
    out += section;
    out += ']';
    out += newline_;
}

WinError IniDocument::writeString(std::string_view section, std::string_view key, std::string_view value)
{
    section = trimBlanks(section);
    key = trimBlanks(key);
    if (!validSectionName(section) || !validKeyName(key) || hasLineBreak(value))
        return kErrorInvalidParameter;
    std::string text;
    text.reserve(key.size() + 1 + value.size());
    text.append(key).append("=").append(value);

    const std::vector<std::size_t> found = keyLines(section, key);
    if (!found.empty()) {
        const Line& line = lines_[found.front()];
        replaceBytes(line.start, line.contentEnd, text);
        return kErrorSuccess;
    }
    const std::vector<std::size_t> headers = headersOf(section);
    if (!headers.empty()) {
        const std::size_t header = headers.back();
        std::size_t after = header;
        const std::size_t end = bodyEnd(header);
        for (std::size_t i = header + 1; i < end; ++i)
            if (lines_[i].kind == LineKind::kKey)
                after = i;
        const Line& line = lines_[after];
        std::string insert;
        if (line.end == line.contentEnd)
            insert += newline_;
        insert += text;
        insert += newline_;
        replaceBytes(line.end, line.end, insert);
        return kErrorSuccess;
    }
    std::string insert;
    appendSectionHeader(section, insert);
    insert += text;
    insert += newline_;
    replaceBytes(bytes_.size(), bytes_.size(), insert);
    return kErrorSuccess;
}

WinError IniDocument::addSection(std::string_view section)
{
    section = trimBlanks(section);
    if (!validSectionName(section))
        return kErrorInvalidParameter;
    if (sectionExists(section))
        return kErrorSuccess;
    std::string insert;
    appendSectionHeader(section, insert);
    replaceBytes(bytes_.size(), bytes_.size(), insert);
    return kErrorSuccess;
}

void IniDocument::removeLines(std::vector<std::pair<std::size_t, std::size_t>> lineRanges)
{
    if (lineRanges.empty())
        return;
    std::sort(lineRanges.begin(), lineRanges.end());
    std::string out;
    out.reserve(bytes_.size());
    std::size_t copied = 0;
    for (const auto& [first, last] : lineRanges) {
        out.append(bytes_, copied, lines_[first].start - copied);
        copied = lines_[last - 1].end;
    }
    out.append(bytes_, copied, std::string::npos);
    bytes_ = std::move(out);
    modified_ = true;
    parse();
}

void IniDocument::deleteKey(std::string_view section, std::string_view key)
{
    std::vector<std::pair<std::size_t, std::size_t>> ranges;
    for (const std::size_t i : keyLines(section, key))
        ranges.emplace_back(i, i + 1);
    removeLines(std::move(ranges));
}

void IniDocument::eraseSection(std::string_view section)
{
    std::vector<std::pair<std::size_t, std::size_t>> ranges;
    for (const std::size_t header : headersOf(section))
        ranges.emplace_back(header, bodyEnd(header));
    removeLines(std::move(ranges));
}

// ---- IniFile ----

IniFile::IniFile(std::string windowsPath) : path_(std::move(windowsPath)) {}

WinError IniFile::load(IniDocument& document) const
{
    std::string bytes;
    const WinError error = readWholeFile(path_, bytes);
    if (error == kErrorFileNotFound || error == kErrorPathNotFound) {
        document = IniDocument();
        return kErrorSuccess;
    }
    if (error != kErrorSuccess) {
        document = IniDocument();
        return error;
    }
    document = IniDocument(std::move(bytes));
    return kErrorSuccess;
}

WinError IniFile::update(const std::function<WinError(IniDocument&)>& edit)
{
    // One change at a time in this process, so that two threads writing keys of the same file never
    // lose one another's change between reading and rewriting it.
    static std::mutex updateMutex;
    const std::lock_guard<std::mutex> lock(updateMutex);
    IniDocument document;
    WinError error = load(document);
    if (error != kErrorSuccess)
        return error;
    error = edit(document);
    if (error != kErrorSuccess || !document.modified())
        return error;
    return atomicRewrite(path_, document.bytes());
}

std::string IniFile::readString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const
{
    IniDocument document;
    std::string value;
    if (load(document) == kErrorSuccess && document.findValue(section, key, value))
        return value;
    return std::string(defaultValue);
}

WinError IniFile::writeString(std::string_view section, std::string_view key, std::string_view value)
{
    return update([&](IniDocument& document) { return document.writeString(section, key, value); });
}

std::int32_t IniFile::readInteger(std::string_view section, std::string_view key,
                                  std::int32_t defaultValue) const
{
    IniDocument document;
    std::string value;
    std::int32_t result = 0;
    if (load(document) == kErrorSuccess && document.findValue(section, key, value) &&
        parseInteger(value, result))
        return result;
    return defaultValue;
}

WinError IniFile::writeInteger(std::string_view section, std::string_view key, std::int32_t value)
{
    return writeString(section, key, std::to_string(value));
}

bool IniFile::readBool(std::string_view section, std::string_view key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

WinError IniFile::writeBool(std::string_view section, std::string_view key, bool value)
{
    return writeString(section, key, value ? "1" : "0");
}

std::size_t IniFile::readBinaryStream(std::string_view section, std::string_view key,
                                      std::string& bytes) const
{
    bytes = hexToBytes(readString(section, key, ""));
    return bytes.size();
}

WinError IniFile::writeBinaryStream(std::string_view section, std::string_view key, std::string_view bytes)
{
    return writeString(section, key, bytesToHex(bytes));
}

void IniFile::readSectionValues(std::string_view section, StringList& lines) const
{
    lines.clear();
    IniDocument document;
    if (load(document) != kErrorSuccess)
        return;
    for (const auto& [key, value] : document.sectionValues(section)) {
        std::string line;
        line.reserve(key.size() + 1 + value.size());
        line.append(key).append("=").append(value);
        lines.add(line);
    }
}

bool IniFile::sectionExists(std::string_view section) const
{
    IniDocument document;
    return load(document) == kErrorSuccess && document.sectionExists(section);
}

bool IniFile::valueExists(std::string_view section, std::string_view key) const
{
    IniDocument document;
    std::string value;
    return load(document) == kErrorSuccess && document.findValue(section, key, value);
}

WinError IniFile::eraseSection(std::string_view section)
{
    return update([&](IniDocument& document) {
        document.eraseSection(section);
        return kErrorSuccess;
    });
}

WinError IniFile::deleteKey(std::string_view section, std::string_view key)
{
    return update([&](IniDocument& document) {
        document.deleteKey(section, key);
        return kErrorSuccess;
    });
}

} // namespace wux::platform
