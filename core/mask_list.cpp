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

// True when every pattern character from pos on is "*" or ".".
bool onlyStarsAndDots(const std::string& pattern, std::size_t pos)
{
    for (; pos < pattern.size(); ++pos) {
        if (pattern[pos] != '*' && pattern[pos] != '.')
            return false;
    }
    return true;
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
        list.push_back(std::move(item));
    }
}

bool MatchMask(std::string_view name, const TPartFilterItem& item)
{
    const std::string& upper = item.upper;
    const std::string& lower = item.lower;
    const std::size_t patternSize = std::min(upper.size(), lower.size());
    const std::size_t nameSize = name.size();
    if (patternSize == 0)
        return nameSize == 0;
    // "*", "*.*" and the like take every name (as the walk below ends for them): no walk per name.
    if (upper[0] == '*' && onlyStarsAndDots(upper, 1))
        return true;

    std::size_t start = 0; // where the current segment is tried in the name
    std::size_t p = 0;     // first pattern character of the current segment
    bool starSeen = false;
    for (;;) {
        while (p < patternSize && upper[p] == '*') {
            starSeen = true;
            ++p;
        }
        if (p == patternSize)
            return true; // a trailing "*" takes the rest of the name

        // Try the segment at start; a failed attempt with a star seen retries one character later.
        const std::size_t nextStart = start < nameSize ? start + characterLength(name, start) : start + 1;
        std::size_t n = start;
        std::size_t k = p;
        bool retry = false;
        for (;;) {
            if (n >= nameSize) // the name is used up inside the segment
                return onlyStarsAndDots(upper, k);
            const char c = name[n];
            if (upper[k] == '?') {
                n += characterLength(name, n);
            } else if (c == upper[k] || c == lower[k]) {
                ++n;
            } else {
                if (!starSeen)
                    return false;
                retry = true;
                break;
            }
            ++k;
            if (k == patternSize) {
                if (n == nameSize)
                    return true;
                if (!starSeen)
                    return false;
                retry = true;
                break;
            }
            if (upper[k] == '*') {
                p = k;
                start = n;
                break;
            }
        }
        if (retry)
            start = nextStart;
        if (start >= nameSize)
            return onlyStarsAndDots(upper, p);
    }
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
