#include "platform/codepage.h"

#include "platform/text.h"

#include <QChar>
#include <QList>
#include <QString>

#include <algorithm>
#include <array>
#include <utility>

namespace wux::platform {

namespace {

// The characters of CP437's bytes 0x80-0xFF.
constexpr std::array<char16_t, 128> kCp437High{
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

using Pair = std::pair<char32_t, unsigned char>;

// Best fits that the Unicode decompositions do not give: typographic punctuation, spacing accents,
// letters with a stroke, and look-alikes of characters CP437 has.
constexpr std::array<Pair, 44> kBestFit{{
    {0x00A6, '|'},  {0x00A8, '"'},  {0x00A9, 'c'},  {0x00AD, '-'},  {0x00AE, 'r'}, {0x00AF, '-'},
    {0x00B4, '\''}, {0x00B8, ','},  {0x00D7, 'x'},  {0x00D8, 'O'},  {0x00F8, 'o'}, {0x0110, 'D'},
    {0x0111, 'd'},  {0x0126, 'H'},  {0x0127, 'h'},  {0x0131, 'i'},  {0x0141, 'L'}, {0x0142, 'l'},
    {0x0152, 'O'},  {0x0153, 'o'},  {0x0166, 'T'},  {0x0167, 't'},  {0x02C6, '^'}, {0x02DC, '~'},
    {0x03B2, 0xE1}, {0x03BC, 0xE6}, {0x2010, '-'},  {0x2011, '-'},  {0x2012, '-'}, {0x2013, '-'},
    {0x2014, '-'},  {0x2015, '-'},  {0x2018, '\''}, {0x2019, '\''}, {0x201A, ','}, {0x201B, '\''},
    {0x201C, '"'},  {0x201D, '"'},  {0x201E, '"'},  {0x2022, 0xF9}, {0x2026, '.'}, {0x2039, '<'},
    {0x203A, '>'},  {0x2212, '-'},
}};

// Every character of CP437's upper half with its byte, sorted by character.
const std::array<Pair, 128>& cp437Sorted()
{
    static const std::array<Pair, 128> table = [] {
        std::array<Pair, 128> t{};
        for (std::size_t i = 0; i < t.size(); ++i) {
            t[i] = {kCp437High[i], static_cast<unsigned char>(0x80 + i)};
        }
        std::sort(t.begin(), t.end());
        return t;
    }();
    return table;
}

template <std::size_t N> std::optional<char> find(const std::array<Pair, N>& table, char32_t cp)
{
    const auto it = std::lower_bound(table.begin(), table.end(), cp,
                                     [](const Pair& p, char32_t value) { return p.first < value; });
    if (it == table.end() || it->first != cp) {
        return std::nullopt;
    }
    return static_cast<char>(it->second);
}

} // namespace

std::optional<char> cp437ByteOf(char32_t codePoint)
{
    static_assert(std::is_sorted(kBestFit.begin(), kBestFit.end()));
    if (codePoint < 0x80) {
        return static_cast<char>(codePoint);
    }
    if (codePoint > 0x10FFFF) {
        return std::nullopt;
    }
    if (const auto byte = find(cp437Sorted(), codePoint)) {
        return byte;
    }
    if (const auto byte = find(kBestFit, codePoint)) {
        return byte;
    }
    // A decomposition into one character, or into a letter and combining marks: the character or the
    // letter ("ő" is "o" and a double acute, "Ａ" is "A").
    const QList<uint> parts = QChar::decomposition(codePoint).toUcs4();
    if (parts.isEmpty()) {
        return std::nullopt;
    }
    const auto base = static_cast<char32_t>(parts.front());
    if (parts.size() > 1) {
        if (base == U' ') {
            return std::nullopt; // a spacing accent
        }
        for (qsizetype i = 1; i < parts.size(); ++i) {
            if (!QChar::isMark(static_cast<char32_t>(parts[i]))) {
                return std::nullopt; // a ligature or fraction of several characters
            }
        }
    }
    return cp437ByteOf(base);
}

std::string toCp437(std::string_view utf8)
{
    // Composed first, so that a letter followed by a combining accent becomes one character.
    const QList<uint> chars = toQString(utf8).normalized(QString::NormalizationForm_C).toUcs4();
    std::string out;
    out.reserve(static_cast<std::size_t>(chars.size()));
    for (qsizetype i = 0; i < chars.size(); ++i) {
        const auto cp = static_cast<char32_t>(chars[i]);
        if (i > 0 && QChar::category(cp) == QChar::Mark_NonSpacing) {
            continue; // an accent that did not compose with its letter: the letter's best fit stands
        }
        out.push_back(cp437ByteOf(cp).value_or('?'));
    }
    return out;
}

} // namespace wux::platform
