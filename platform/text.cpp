#include "platform/text.h"

#include <QChar>
#include <QList>
#include <QString>

#include <algorithm>
#include <utility>
#include <vector>

namespace wux::platform {

namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;
// A byte that is not part of valid UTF-8 compares as this value plus the byte: above every code point.
constexpr char32_t kInvalidByteBase = 0x110000;

constexpr bool isContinuation(unsigned char c) noexcept
{
    return (c & 0xC0) == 0x80;
}

char32_t foldAscii(unsigned char c) noexcept
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char32_t>(c + ('a' - 'A')) : c;
}

// The folded value of the character at pos (an invalid byte stands for itself above every code point);
// advances pos.
char32_t nextFolded(std::string_view text, std::size_t& pos) noexcept
{
    const auto c = static_cast<unsigned char>(text[pos]);
    if (c < 0x80) {
        ++pos;
        return foldAscii(c);
    }
    const Utf8Char ch = decodeUtf8(text, pos);
    if (!ch.valid) {
        ++pos;
        return kInvalidByteBase + c;
    }
    pos += ch.length;
    return static_cast<char32_t>(QChar::toCaseFolded(ch.codePoint));
}

// Writes the UTF-16 form of utf8 to out (room for utf8.size() units); returns the units written.
std::size_t utf8ToUtf16Units(std::string_view utf8, char16_t* out) noexcept
{
    char16_t* const start = out;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const auto c = static_cast<unsigned char>(utf8[pos]);
        if (c < 0x80) {
            *out++ = c;
            ++pos;
            continue;
        }
        const Utf8Char ch = decodeUtf8(utf8, pos);
        pos += ch.length;
        const char32_t cp = ch.codePoint;
        if (cp >= 0x10000) {
            *out++ = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            *out++ = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            *out++ = static_cast<char16_t>(cp);
        }
    }
    return static_cast<std::size_t>(out - start);
}

// Calls map(run) for each maximal run of valid UTF-8 and appends the result; invalid bytes are copied.
template <typename Map> std::string mapValidRuns(std::string_view text, Map map)
{
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = pos;
        while (end < text.size()) {
            const Utf8Char ch = decodeUtf8(text, end);
            if (!ch.valid) {
                break;
            }
            end += ch.length;
        }
        if (end > pos) {
            out += map(text.substr(pos, end - pos));
        }
        if (end < text.size()) {
            const Utf8Char bad = decodeUtf8(text, end);
            out.append(text.substr(end, bad.length));
            end += bad.length;
        }
        pos = end;
    }
    return out;
}

bool isAscii(std::string_view text) noexcept
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The full title-case form of one code point, as UTF-8.
std::string titleCaseOf(char32_t cp)
{
    std::string out;
    const char32_t title = QChar::toTitleCase(cp);
    if (title != QChar::toUpper(cp)) {
        appendUtf8(out, title);
        return out;
    }
    const QString upper = QString::fromUcs4(&cp, 1).toUpper();
    const QList<uint> units = upper.toUcs4();
    for (qsizetype i = 0; i < units.size(); ++i) {
        appendUtf8(out, i == 0 ? static_cast<char32_t>(units[i])
                               : QChar::toLower(static_cast<char32_t>(units[i])));
    }
    return out;
}

} // namespace

// ---- Byte case mapping ----

void bufferToUpper(char* data, std::size_t size) noexcept
{
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = byteToUpper(data[i]);
    }
}

void bufferToLower(char* data, std::size_t size) noexcept
{
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = byteToLower(data[i]);
    }
}

std::string bytesToUpper(std::string_view text)
{
    std::string out(text);
    bufferToUpper(out.data(), out.size());
    return out;
}

std::string bytesToLower(std::string_view text)
{
    std::string out(text);
    bufferToLower(out.data(), out.size());
    return out;
}

// ---- UTF-8 ----

Utf8Char decodeUtf8(std::string_view text, std::size_t pos) noexcept
{
    if (pos >= text.size()) {
        return {kReplacementCharacter, 1, false};
    }
    const std::size_t left = text.size() - pos;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data() + pos);
    const unsigned char c = p[0];
    if (c < 0x80) {
        return {c, 1, true};
    }
    int need = 0;
    char32_t cp = 0;
    unsigned char low = 0x80; // allowed range of the second byte
    unsigned char high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        need = 1;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        need = 2;
        cp = c & 0x0F;
        if (c == 0xE0) {
            low = 0xA0; // no overlong forms
        } else if (c == 0xED) {
            high = 0x9F; // no surrogates
        }
    } else if (c >= 0xF0 && c <= 0xF4) {
        need = 3;
        cp = c & 0x07;
        if (c == 0xF0) {
            low = 0x90;
        } else if (c == 0xF4) {
            high = 0x8F; // nothing above U+10FFFF
        }
    } else {
        return {kReplacementCharacter, 1, false};
    }
    for (int i = 1; i <= need; ++i) {
        if (static_cast<std::size_t>(i) >= left) {
            return {kReplacementCharacter, static_cast<std::uint8_t>(i), false};
        }
        const unsigned char b = p[i];
        const bool ok = (i == 1) ? (b >= low && b <= high) : isContinuation(b);
        if (!ok) {
            return {kReplacementCharacter, static_cast<std::uint8_t>(i), false};
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    return {cp, static_cast<std::uint8_t>(need + 1), true};
}

void appendUtf8(std::string& out, char32_t cp)
{
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
        cp = kReplacementCharacter;
    }
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

bool isValidUtf8(std::string_view text) noexcept
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (static_cast<unsigned char>(text[pos]) < 0x80) {
            ++pos;
            continue;
        }
        const Utf8Char ch = decodeUtf8(text, pos);
        if (!ch.valid) {
            return false;
        }
        pos += ch.length;
    }
    return true;
}

// ---- Case-insensitive comparison ----

char32_t foldCodePoint(char32_t codePoint) noexcept
{
    if (codePoint < 0x80) {
        return foldAscii(static_cast<unsigned char>(codePoint));
    }
    if (codePoint > 0x10FFFF) {
        return codePoint;
    }
    return static_cast<char32_t>(QChar::toCaseFolded(codePoint));
}

int compareFolded(std::string_view a, std::string_view b) noexcept
{
    // Identical leading bytes fold alike: skip them, back to the start of the character they end in.
    const std::size_t common = std::min(a.size(), b.size());
    std::size_t k = static_cast<std::size_t>(
        std::mismatch(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(common), b.begin()).first -
        a.begin());
    if (k == a.size() && k == b.size()) {
        return 0;
    }
    const auto continuationAt = [&](std::size_t p) {
        return (p < a.size() && isContinuation(static_cast<unsigned char>(a[p]))) ||
               (p < b.size() && isContinuation(static_cast<unsigned char>(b[p])));
    };
    std::size_t start = k;
    for (int back = 0; back < 3 && start > 0 && continuationAt(start); ++back) {
        --start;
    }
    // Every character starts at a byte that is not a continuation byte, or is a stray continuation byte.
    if (continuationAt(start)) {
        start = k;
    }
    std::size_t i = start;
    std::size_t j = start;
    while (i < a.size() && j < b.size()) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[j]);
        if ((ca | cb) < 0x80) {
            if (ca != cb) {
                const char32_t fa = foldAscii(ca);
                const char32_t fb = foldAscii(cb);
                if (fa != fb) {
                    return fa < fb ? -1 : 1;
                }
            }
            ++i;
            ++j;
            continue;
        }
        const char32_t fa = nextFolded(a, i);
        const char32_t fb = nextFolded(b, j);
        if (fa != fb) {
            return fa < fb ? -1 : 1;
        }
    }
    if (i < a.size()) {
        return 1;
    }
    if (j < b.size()) {
        return -1;
    }
    return 0;
}

int compareNoCase(std::string_view a, std::string_view b) noexcept
{
    const int folded = compareFolded(a, b);
    if (folded != 0) {
        return folded;
    }
    const int bytes = a.compare(b);
    return bytes < 0 ? -1 : (bytes > 0 ? 1 : 0);
}

bool equalNoCase(std::string_view a, std::string_view b) noexcept
{
    return a == b || compareFolded(a, b) == 0;
}

std::string foldCase(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto c = static_cast<unsigned char>(text[pos]);
        const std::size_t start = pos;
        const char32_t folded = nextFolded(text, pos);
        if (folded >= kInvalidByteBase) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x80) {
            out.push_back(static_cast<char>(folded));
        } else if (folded == decodeUtf8(text, start).codePoint) {
            out.append(text.substr(start, pos - start));
        } else {
            appendUtf8(out, folded);
        }
    }
    return out;
}

// ---- Case forms of characters ----

namespace {

// (folded form, character) for every character that simple case folding changes, sorted.
const std::vector<std::pair<char32_t, char32_t>>& foldedPairs()
{
    static const std::vector<std::pair<char32_t, char32_t>> pairs = [] {
        std::vector<std::pair<char32_t, char32_t>> out;
        // Every character that has case lies in the first two planes (the last cased script ends at
        // U+1E943); the planes above hold none.
        for (char32_t cp = 0; cp <= 0x1FFFF; ++cp) {
            if (cp == 0xD800) {
                cp = 0xDFFF; // surrogates are no characters
                continue;
            }
            const char32_t folded = foldCodePoint(cp);
            if (folded != cp) {
                out.emplace_back(folded, cp);
            }
        }
        std::sort(out.begin(), out.end());
        return out;
    }();
    return pairs;
}

template <typename Map> std::string mapEachCharacter(std::string_view text, bool keepLengths, Map map)
{
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const Utf8Char ch = decodeUtf8(text, pos);
        const std::string_view bytes = text.substr(pos, ch.length);
        pos += ch.length;
        if (!ch.valid) {
            out.append(bytes);
            continue;
        }
        const std::size_t before = out.size();
        appendUtf8(out, map(ch.codePoint));
        if (keepLengths && out.size() - before != bytes.size()) {
            out.resize(before);
            out.append(bytes);
        }
    }
    return out;
}

} // namespace

CaseVariants caseVariants(char32_t codePoint)
{
    CaseVariants variants;
    if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        variants.chars[variants.count++] = codePoint;
        return variants;
    }
    const char32_t folded = foldCodePoint(codePoint);
    if (codePoint < 0x80) {
        // ASCII, without the table of every character (which takes a moment to build, too long for a
        // name mask): its two cases, and the only characters outside ASCII that fold into ASCII, the long
        // s and the Kelvin sign (case folding is stable from one Unicode version to the next).
        variants.chars[variants.count++] = codePoint;
        const char32_t other = codePoint == folded ? simpleUpperCodePoint(codePoint) : folded;
        if (other != codePoint)
            variants.chars[variants.count++] = other;
        for (const char32_t outside : {char32_t{0x17F}, char32_t{0x212A}})
            if (foldCodePoint(outside) == folded)
                variants.chars[variants.count++] = outside;
    } else {
        variants.chars[variants.count++] = folded;
        const auto& pairs = foldedPairs();
        auto it = std::lower_bound(pairs.begin(), pairs.end(), std::make_pair(folded, char32_t{0}));
        for (; it != pairs.end() && it->first == folded && variants.count < kMaxCaseVariants; ++it)
            variants.chars[variants.count++] = it->second;
    }
    for (std::size_t i = 1; i < variants.count; ++i) {
        for (std::size_t j = i; j > 0 && variants.chars[j] < variants.chars[j - 1]; --j) {
            std::swap(variants.chars[j], variants.chars[j - 1]);
        }
    }
    return variants;
}

Utf8CaseForms utf8CaseForms(std::string_view text, std::size_t pos)
{
    Utf8CaseForms forms;
    const Utf8Char ch = decodeUtf8(text, pos);
    if (!ch.valid) {
        forms.bytes[0][0] = text[pos];
        forms.sizes[0] = 1;
        forms.count = 1;
        forms.length = 1;
        return forms;
    }
    forms.length = ch.length;
    const CaseVariants variants = caseVariants(ch.codePoint);
    std::string encoded;
    for (std::size_t k = 0; k < variants.count; ++k) {
        encoded.clear();
        appendUtf8(encoded, variants.chars[k]);
        std::copy(encoded.begin(), encoded.end(), forms.bytes[forms.count].begin());
        forms.sizes[forms.count] = static_cast<std::uint8_t>(encoded.size());
        ++forms.count;
    }
    return forms;
}

char32_t simpleLowerCodePoint(char32_t codePoint) noexcept
{
    return codePoint > 0x10FFFF ? codePoint : static_cast<char32_t>(QChar::toLower(codePoint));
}

char32_t simpleUpperCodePoint(char32_t codePoint) noexcept
{
    return codePoint > 0x10FFFF ? codePoint : static_cast<char32_t>(QChar::toUpper(codePoint));
}

std::string simpleLower(std::string_view text, bool keepLengths)
{
    return mapEachCharacter(text, keepLengths, simpleLowerCodePoint);
}

std::string simpleUpper(std::string_view text, bool keepLengths)
{
    return mapEachCharacter(text, keepLengths, simpleUpperCodePoint);
}

// ---- Display case mapping ----

std::string displayUpper(std::string_view text)
{
    if (isAscii(text)) {
        return bytesToUpper(text);
    }
    return mapValidRuns(text, [](std::string_view run) { return toUtf8(toQString(run).toUpper()); });
}

std::string displayLower(std::string_view text)
{
    if (isAscii(text)) {
        return bytesToLower(text);
    }
    return mapValidRuns(text, [](std::string_view run) { return toUtf8(toQString(run).toLower()); });
}

std::string displayCapitalise(std::string_view text)
{
    return displayCapitaliseWords(text, std::string_view(), true);
}

std::string displayCapitaliseWords(std::string_view text, std::string_view separators, bool capitaliseFirst)
{
    const std::string lower = displayLower(text);
    std::string out;
    out.reserve(lower.size() + 4);
    bool wordStart = capitaliseFirst;
    std::size_t pos = 0;
    while (pos < lower.size()) {
        const auto c = static_cast<unsigned char>(lower[pos]);
        if (c < 0x80) {
            out.push_back(wordStart ? byteToUpper(static_cast<char>(c)) : static_cast<char>(c));
            wordStart = separators.find(static_cast<char>(c)) != std::string_view::npos;
            ++pos;
            continue;
        }
        const Utf8Char ch = decodeUtf8(lower, pos);
        if (wordStart && ch.valid) {
            out += titleCaseOf(ch.codePoint);
        } else {
            out.append(lower, pos, ch.length);
        }
        wordStart = false;
        pos += ch.length;
    }
    return out;
}

// ---- UTF-8 <-> UTF-16 ----

std::u16string utf8ToUtf16(std::string_view utf8)
{
    std::u16string out(utf8.size(), u'\0');
    out.resize(utf8ToUtf16Units(utf8, out.data()));
    return out;
}

std::string utf16ToUtf8(std::u16string_view utf16)
{
    std::string out;
    out.reserve(utf16.size() + utf16.size() / 2);
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char16_t u = utf16[i];
        if (u < 0x80) {
            out.push_back(static_cast<char>(u));
            continue;
        }
        char32_t cp = u;
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        }
        appendUtf8(out, cp); // an unpaired surrogate becomes U+FFFD
    }
    return out;
}

QString toQString(std::string_view utf8)
{
    QString out(static_cast<qsizetype>(utf8.size()), Qt::Uninitialized);
    const std::size_t units = utf8ToUtf16Units(utf8, reinterpret_cast<char16_t*>(out.data()));
    out.truncate(static_cast<qsizetype>(units));
    return out;
}

std::string toUtf8(const QString& text)
{
    return utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                           static_cast<std::size_t>(text.size())));
}

// ---- Text files ----

DecodedTextFile decodeTextFile(std::string_view bytes)
{
    DecodedTextFile decoded;
    const auto startsWith = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
    if (startsWith("\xFF\xFE")) {
        decoded.encoding = TextFileEncoding::kUtf16LittleEndian;
        decoded.byteOrderMark = true;
    } else if (startsWith("\xFE\xFF")) {
        decoded.encoding = TextFileEncoding::kUtf16BigEndian;
        decoded.byteOrderMark = true;
    } else if (bytes.find('\0') != std::string_view::npos) {
        std::size_t zerosFirst = 0;
        std::size_t zerosSecond = 0;
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
            zerosFirst += bytes[i] == '\0' ? 1 : 0;
            zerosSecond += bytes[i + 1] == '\0' ? 1 : 0;
        }
        const std::size_t units = bytes.size() / 2;
        const std::size_t most = std::max(zerosFirst, zerosSecond);
        const std::size_t fewest = std::min(zerosFirst, zerosSecond);
        if (most > 0 && most * 4 >= units && fewest * 10 <= most)
            decoded.encoding = zerosFirst > zerosSecond ? TextFileEncoding::kUtf16BigEndian
                                                        : TextFileEncoding::kUtf16LittleEndian;
    }
    if (decoded.encoding == TextFileEncoding::kUtf8) {
        decoded.text.assign(bytes);
        return decoded;
    }
    if (decoded.byteOrderMark)
        bytes.remove_prefix(2);
    const bool bigEndian = decoded.encoding == TextFileEncoding::kUtf16BigEndian;
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        units.push_back(static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first));
    }
    decoded.text = utf16ToUtf8(units);
    return decoded;
}

bool encodeTextFile(std::string_view text, TextFileEncoding encoding, bool byteOrderMark, std::string& bytes)
{
    if (encoding == TextFileEncoding::kUtf8) {
        bytes.assign(text);
        return true;
    }
    if (!isValidUtf8(text))
        return false;
    const bool bigEndian = encoding == TextFileEncoding::kUtf16BigEndian;
    const std::u16string units = utf8ToUtf16(text);
    bytes.clear();
    bytes.reserve(2 + units.size() * 2);
    const auto put = [&](char16_t unit) {
        const auto high = static_cast<char>(unit >> 8);
        const auto low = static_cast<char>(unit & 0xFF);
        bytes.push_back(bigEndian ? high : low);
        bytes.push_back(bigEndian ? low : high);
    };
    if (byteOrderMark)
        put(u'\uFEFF');
    for (const char16_t unit : units)
        put(unit);
    return true;
}

} // namespace wux::platform
