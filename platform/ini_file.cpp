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

IniDocument IniDocument::fromFileBytes(std::string fileBytes)
{
    DecodedTextFile decoded = decodeTextFile(fileBytes);
    if (decoded.encoding == TextFileEncoding::kUtf8)
        return IniDocument(std::move(fileBytes));
    IniDocument document(std::move(decoded.text));
    document.encoding_ = decoded.encoding;
    document.byteOrderMark_ = decoded.byteOrderMark;
    std::string again;
    document.storable_ = encodeTextFile(document.bytes_, document.encoding_, document.byteOrderMark_, again) &&
                         again == fileBytes;
    return document;
}

WinError IniDocument::fileBytes(std::string& out) const
{
    if (!storable_ || !encodeTextFile(bytes_, encoding_, byteOrderMark_, out))
        return kErrorInvalidData;
    return kErrorSuccess;
}

IniDocument::Line IniDocument::parseLine(std::size_t pos) const
{
    const std::string_view all(bytes_);
    Line line;
    line.start = pos;
    std::size_t end = pos;
    while (end < all.size() && all[end] != '\r' && all[end] != '\n')
        ++end;
    line.contentEnd = end;
    line.end = end;
    if (end < all.size()) {
        line.end = end + 1;
        if (all[end] == '\r' && end + 1 < all.size() && all[end + 1] == '\n')
            line.end = end + 2;
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
            line.nameStart = name.empty() ? textStart : static_cast<std::size_t>(name.data() - all.data());
            line.nameSize = name.size();
            line.valueStart =
                value.empty() ? textStart + eq + 1 : static_cast<std::size_t>(value.data() - all.data());
            line.valueSize = value.size();
        }
    }
    return line;
}

void IniDocument::findNewline()
{
    newline_ = "\r\n";
    for (const Line& line : lines_) {
        if (line.end > line.contentEnd) {
            newline_.assign(bytes_, line.contentEnd, line.end - line.contentEnd);
            return;
        }
    }
}

void IniDocument::parse()
{
    lines_.clear();
    std::size_t pos = bytes_.compare(0, kUtf8Bom.size(), kUtf8Bom) == 0 ? kUtf8Bom.size() : 0;
    while (pos < bytes_.size()) {
        lines_.push_back(parseLine(pos));
        pos = lines_.back().end;
    }
    findNewline();
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
    // Only the lines the change touches are read again; those after it keep their parts, moved. The
    // first line read again is the one holding start, or the one ending there without a line end or
    // with a CR that an LF put after it joins.
    auto first = static_cast<std::size_t>(
        std::lower_bound(lines_.begin(), lines_.end(), start,
                         [](const Line& line, std::size_t at) { return line.end < at; }) -
        lines_.begin());
    if (first < lines_.size() && lines_[first].end == start) {
        const Line& line = lines_[first];
        const bool open = line.end == line.contentEnd;
        const bool loneCr = line.end - line.contentEnd == 1 && bytes_[line.contentEnd] == '\r' &&
                            !text.empty() && text.front() == '\n';
        if (!open && !loneCr)
            ++first;
    }
    std::size_t pos = first < lines_.size() ? lines_[first].start
                      : lines_.empty()     ? (bytes_.compare(0, kUtf8Bom.size(), kUtf8Bom) == 0 ? kUtf8Bom.size() : 0)
                                           : lines_.back().end;
    pos = std::min(pos, start);
    const std::size_t oldSize = end - start;
    bytes_.replace(start, oldSize, text);
    modified_ = true;
    const std::size_t changedEnd = start + text.size();
    // An old line that began at or after end begins delta bytes later now.
    const auto moved = [&](std::size_t at) { return at - oldSize + text.size(); };
    auto next = static_cast<std::size_t>(
        std::lower_bound(lines_.begin() + static_cast<std::ptrdiff_t>(first), lines_.end(), end,
                         [](const Line& line, std::size_t at) { return line.start < at; }) -
        lines_.begin());
    std::vector<Line> fresh;
    bool rejoined = false;
    while (pos < bytes_.size()) {
        while (next < lines_.size() && moved(lines_[next].start) < pos)
            ++next;
        if (pos >= changedEnd && next < lines_.size() && moved(lines_[next].start) == pos) {
            rejoined = true;
            break;
        }
        fresh.push_back(parseLine(pos));
        pos = fresh.back().end;
    }
    std::vector<Line> lines;
    lines.reserve(first + fresh.size() + (rejoined ? lines_.size() - next : 0));
    lines.insert(lines.end(), lines_.begin(), lines_.begin() + static_cast<std::ptrdiff_t>(first));
    lines.insert(lines.end(), fresh.begin(), fresh.end());
    if (rejoined) {
        for (std::size_t i = next; i < lines_.size(); ++i) {
            Line line = lines_[i];
            line.start = moved(line.start);
            line.contentEnd = moved(line.contentEnd);
            line.end = moved(line.end);
            line.nameStart = moved(line.nameStart);
            line.valueStart = moved(line.valueStart);
            lines.push_back(line);
        }
    }
    lines_ = std::move(lines);
    findNewline();
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

namespace {

// The text of a file read under a session.
struct HeldFile
{
    std::string path;
    IniDocument document;
    WinError loadError = kErrorSuccess;
    int depth = 0;
};

// The sessions open in this process, and the lock of their texts and of every change of a file.
std::mutex& heldMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::vector<HeldFile>& heldFiles()
{
    static std::vector<HeldFile> files;
    return files;
}

// The session's text of path, or null (with heldMutex held).
HeldFile* heldFile(std::string_view path)
{
    for (HeldFile& file : heldFiles())
        if (file.path == path)
            return &file;
    return nullptr;
}

WinError loadFile(const std::string& path, IniDocument& document)
{
    std::string bytes;
    const WinError error = readWholeFile(path, bytes);
    if (error == kErrorFileNotFound || error == kErrorPathNotFound) {
        document = IniDocument();
        return kErrorSuccess;
    }
    if (error != kErrorSuccess) {
        document = IniDocument();
        return error;
    }
    document = IniDocument::fromFileBytes(std::move(bytes));
    return kErrorSuccess;
}

WinError storeFile(const std::string& path, const IniDocument& document)
{
    std::string bytes;
    const WinError error = document.fileBytes(bytes);
    return error != kErrorSuccess ? error : atomicRewrite(path, bytes);
}

} // namespace

WinError IniFile::read(const std::function<void(const IniDocument&)>& use) const
{
    {
        const std::lock_guard<std::mutex> lock(heldMutex());
        if (const HeldFile* held = heldFile(path_)) {
            if (held->loadError == kErrorSuccess)
                use(held->document);
            return held->loadError;
        }
    }
    IniDocument document;
    const WinError error = loadFile(path_, document);
    if (error == kErrorSuccess)
        use(document);
    return error;
}

WinError IniFile::load(IniDocument& document) const
{
    const WinError error = read([&](const IniDocument& text) { document = text; });
    if (error != kErrorSuccess)
        document = IniDocument();
    return error;
}

WinError IniFile::update(const std::function<WinError(IniDocument&)>& edit)
{
    // One change at a time in this process, so that two threads writing keys of the same file never
    // lose one another's change between reading and rewriting it.
    const std::lock_guard<std::mutex> lock(heldMutex());
    if (HeldFile* held = heldFile(path_))
        return held->loadError != kErrorSuccess ? held->loadError : edit(held->document);
    IniDocument document;
    WinError error = loadFile(path_, document);
    if (error != kErrorSuccess)
        return error;
    error = edit(document);
    if (error != kErrorSuccess || !document.modified())
        return error;
    return storeFile(path_, document);
}

// ---- IniSession ----

IniSession::IniSession(const std::string& windowsPath) : path_(windowsPath), open_(true)
{
    const std::lock_guard<std::mutex> lock(heldMutex());
    if (HeldFile* held = heldFile(path_)) {
        ++held->depth;
        return;
    }
    HeldFile file;
    file.path = path_;
    file.loadError = loadFile(path_, file.document);
    file.depth = 1;
    heldFiles().push_back(std::move(file));
}

IniSession::~IniSession()
{
    commit();
}

WinError IniSession::loadError() const
{
    const std::lock_guard<std::mutex> lock(heldMutex());
    const HeldFile* held = heldFile(path_);
    return held ? held->loadError : kErrorSuccess;
}

WinError IniSession::commit()
{
    if (!open_)
        return kErrorSuccess;
    open_ = false;
    const std::lock_guard<std::mutex> lock(heldMutex());
    std::vector<HeldFile>& files = heldFiles();
    const auto it = std::find_if(files.begin(), files.end(), [&](const HeldFile& f) { return f.path == path_; });
    if (it == files.end())
        return kErrorSuccess;
    if (--it->depth > 0)
        return kErrorSuccess;
    const HeldFile held = std::move(*it);
    files.erase(it);
    if (held.loadError != kErrorSuccess)
        return held.loadError;
    return held.document.modified() ? storeFile(path_, held.document) : kErrorSuccess;
}

std::string IniFile::readString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const
{
    std::string value;
    bool found = false;
    read([&](const IniDocument& document) { found = document.findValue(section, key, value); });
    return found ? value : std::string(defaultValue);
}

WinError IniFile::writeString(std::string_view section, std::string_view key, std::string_view value)
{
    return update([&](IniDocument& document) { return document.writeString(section, key, value); });
}

std::int32_t IniFile::readInteger(std::string_view section, std::string_view key,
                                  std::int32_t defaultValue) const
{
    std::string value;
    bool found = false;
    read([&](const IniDocument& document) { found = document.findValue(section, key, value); });
    std::int32_t result = 0;
    return found && parseInteger(value, result) ? result : defaultValue;
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
    std::vector<std::pair<std::string, std::string>> values;
    read([&](const IniDocument& document) { values = document.sectionValues(section); });
    for (const auto& [key, value] : values) {
        std::string line;
        line.reserve(key.size() + 1 + value.size());
        line.append(key).append("=").append(value);
        lines.add(line);
    }
}

bool IniFile::sectionExists(std::string_view section) const
{
    bool found = false;
    read([&](const IniDocument& document) { found = document.sectionExists(section); });
    return found;
}

bool IniFile::valueExists(std::string_view section, std::string_view key) const
{
    bool found = false;
    std::string value;
    read([&](const IniDocument& document) { found = document.findValue(section, key, value); });
    return found;
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
