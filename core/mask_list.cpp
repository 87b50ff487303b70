#include "core/mask_list.h"

#include <algorithm>

#include "platform/text.h"

namespace wux::core {

namespace {

bool isBlank(char c)
{
    return static_cast<unsigned char>(c) <= 0x20;
}

// Bytes of the character that starts at pos (pos < name.size()): one for ASCII and for a stray byte,
// the whole sequence for a multi-byte UTF-8 character.
std::size_t characterLength(std::string_view name, std::size_t pos)
{
    if (static_cast<unsigned char>(name[pos]) < 0x80)
        return 1;
    return platform::decodeUtf8(name, pos).length;
}

bool isStarOrDot(const TMaskUnit& unit)
{
    return unit.wildcard == '*' || (unit.wildcard == 0 && unit.forms.count == 1 && unit.forms.sizes[0] == 1 &&
                                    unit.forms.bytes[0][0] == '.');
}

void compilePattern(std::string_view pattern, TPartFilterItem& item)
{
    std::size_t pos = 0;
    while (pos < pattern.size()) {
        TMaskUnit unit;
        if (pattern[pos] == '*' || pattern[pos] == '?') {
            unit.wildcard = pattern[pos];
            ++pos;
        } else {
            unit.forms = platform::utf8CaseForms(pattern, pos);
            pos += unit.forms.length;
        }
        item.units.push_back(unit);
    }
    item.ascii = TPartFilterItem::kNotAscii;
    if (std::all_of(pattern.begin(), pattern.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        const bool otherForms = std::any_of(item.units.begin(), item.units.end(),
                                            [](const TMaskUnit& unit) { return unit.forms.count > 2; });
        item.ascii = otherForms ? TPartFilterItem::kAsciiWithOtherForms : TPartFilterItem::kAscii;
    }
    item.tailOfStarsAndDots = item.units.size();
    while (item.tailOfStarsAndDots > 0 && isStarOrDot(item.units[item.tailOfStarsAndDots - 1]))
        --item.tailOfStarsAndDots;
}

} // namespace

void ParseMaskList(std::string_view maskText, TMaskList& list)
{
    std::size_t pos = 0;
    while (pos < maskText.size()) {
        std::size_t end = maskText.find(';', pos);
        if (end == std::string_view::npos)
            end = maskText.size();
        std::string_view part = maskText.substr(pos, end - pos);
        pos = end + 1;
        while (!part.empty() && isBlank(part.front()))
            part.remove_prefix(1);
        while (!part.empty() && isBlank(part.back()))
            part.remove_suffix(1);
        if (part.empty())
            continue;
        TPartFilterItem item;
        item.upper = platform::bytesToUpper(part);
        item.lower = platform::bytesToLower(part);
        item.length = static_cast<std::int32_t>(part.size());
        compilePattern(part, item);
        list.push_back(std::move(item));
    }
}

namespace {

// An ASCII pattern, compared byte by byte with its upper- and lower-case forms. With otherForms (a "k"
// or an "s" in it), a name byte outside ASCII is looked up in the character's case forms: the Kelvin
// sign is a "k", the long s an "s".
template <bool otherForms>
struct AsciiPattern
{
    explicit AsciiPattern(const TPartFilterItem& item)
        : upper(item.upper.data()), lower(item.lower.data()), units(item.units.data()), count(item.upper.size())
    {
    }
    std::size_t size() const { return count; }
    bool isStar(std::size_t k) const { return upper[k] == '*'; }
    bool isAny(std::size_t k) const { return upper[k] == '?'; }
    std::size_t take(std::string_view name, std::size_t n, std::size_t k) const
    {
        const char c = name[n];
        if (c == upper[k] || c == lower[k])
            return 1;
        if constexpr (otherForms) {
            if (static_cast<unsigned char>(c) >= 0x80)
                return units[k].forms.matchAt(name, n);
        }
        return 0;
    }

    const char* upper;
    const char* lower;
    const TMaskUnit* units;
    std::size_t count;
};

// Any pattern: each character in all its case forms, whatever their byte lengths.
struct UnitPattern
{
    explicit UnitPattern(const TPartFilterItem& item) : units(item.units.data()), count(item.units.size()) {}
    std::size_t size() const { return count; }
    bool isStar(std::size_t k) const { return units[k].wildcard == '*'; }
    bool isAny(std::size_t k) const { return units[k].wildcard == '?'; }
    std::size_t take(std::string_view name, std::size_t n, std::size_t k) const
    {
        return units[k].forms.matchAt(name, n);
    }

    const TMaskUnit* units;
    std::size_t count;
};

template <typename Pattern>
bool matchPattern(std::string_view name, const Pattern& pattern, std::size_t tail)
{
    const std::size_t patternSize = pattern.size();
    const std::size_t nameSize = name.size();
    if (patternSize == 0)
        return nameSize == 0;
    // "*", "*.*" and the like take every name (as the walk below ends for them): no walk per name.
    if (tail == 0 && pattern.isStar(0))
        return true;

    std::size_t start = 0; // where the current segment is tried in the name
    std::size_t p = 0;     // first pattern character of the current segment
    bool starSeen = false;
    for (;;) {
        while (p < patternSize && pattern.isStar(p)) {
            starSeen = true;
            ++p;
        }
        if (p == patternSize)
            return true; // a trailing "*" takes the rest of the name

        // Try the segment at start; a failed attempt with a star seen retries one character later.
        // The case forms of a character never begin one another, so an attempt matches in one way only.
        const std::size_t nextStart = start < nameSize ? start + characterLength(name, start) : start + 1;
        std::size_t n = start;
        std::size_t k = p;
        bool retry = false;
        for (;;) {
            if (n >= nameSize) // the name is used up inside the segment
                return k >= tail;
            const std::size_t taken = pattern.isAny(k) ? characterLength(name, n) : pattern.take(name, n, k);
            if (taken == 0) {
                if (!starSeen)
                    return false;
                retry = true;
                break;
            }
            n += taken;
            ++k;
            if (k == patternSize) {
                if (n == nameSize)
                    return true;
                if (!starSeen)
                    return false;
                retry = true;
                break;
            }
            if (pattern.isStar(k)) {
                p = k;
                start = n;
                break;
            }
        }
        if (retry)
            start = nextStart;
        if (start >= nameSize)
            return p >= tail;
    }
}

} // namespace

bool MatchMask(std::string_view name, const TPartFilterItem& item)
{
    // The other forms of "k" and "s" lie outside ASCII: an ASCII name needs none of them.
    const bool twoForms = item.ascii == TPartFilterItem::kAscii ||
                          (item.ascii == TPartFilterItem::kAsciiWithOtherForms &&
                           std::all_of(name.begin(), name.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
    if (twoForms)
        return matchPattern(name, AsciiPattern<false>(item), item.tailOfStarsAndDots);
    if (item.ascii == TPartFilterItem::kAsciiWithOtherForms)
        return matchPattern(name, AsciiPattern<true>(item), item.tailOfStarsAndDots);
    return matchPattern(name, UnitPattern(item), item.tailOfStarsAndDots);
}

bool MatchMaskList(std::string_view name, const TMaskList& list, bool defaultResult)
{
    if (list.empty())
        return defaultResult;
    for (const TPartFilterItem& item : list) {
        if (MatchMask(name, item))
            return true;
    }
    return false;
}

void FreeMaskList(TMaskList& list)
{
    list.clear();
    list.shrink_to_fit();
}

} // namespace wux::core
