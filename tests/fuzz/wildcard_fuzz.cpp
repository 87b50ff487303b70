// The wildcard text engine of the presentation and spreadsheet wrappers with fuzzed patterns, texts,
// flags and modes, and the option letters of a table row: hits lie inside the text, in order and
// without overlapping; the first hit from a start position is the first hit of the whole search from
// there; a pattern of plain characters finds what a plain search finds; the rebuilt text is the text
// with each hit changed by the mode, and nothing else.
//
// Input: six fields separated by NUL bytes: the numbers (flags, search kind, replace mode, start
// position; blank-separated), the pattern, the text, the replace text, the ending part, the option
// letters. Texts are read byte for byte as code units, except that 0xFF takes the next two bytes as one
// code unit (big-endian), so that surrogates and any other unit are reached.
#include <cstdint>
#include <string>

#include "engines/base_replacer.h"
#include "engines/table_reader.h"
#include "fuzz_support.h"
#include "office/wildcard_engine.h"

using namespace wux;
using office::WildcardHit;
using office::WildcardHits;

namespace {

std::u16string wide(std::string_view bytes)
{
    std::u16string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b == 0xFF && i + 2 < bytes.size()) {
            out += static_cast<char16_t>(static_cast<unsigned char>(bytes[i + 1]) << 8 |
                                         static_cast<unsigned char>(bytes[i + 2]));
            i += 2;
        } else {
            out += static_cast<char16_t>(b);
        }
    }
    return out;
}

// Hits of a search over a text of length L: inside the text, each at least one character (empty spans
// only where allowed), in order and apart.
void checkHits(const WildcardHits& hits, std::size_t first, std::int32_t L, bool emptyAllowed)
{
    std::int32_t lastEnd = 0;
    for (std::size_t k = first; k < hits.size(); ++k) {
        const WildcardHit& h = hits[k];
        fuzz::check(h.start >= 1 && h.end <= L, "a hit outside the text");
        fuzz::check(emptyAllowed ? h.end >= h.start - 1 : h.end >= h.start, "a hit of negative length");
        fuzz::check(h.start > lastEnd, "hits overlap or are out of order");
        lastEnd = h.end >= h.start ? h.end : h.start - 1;
    }
}

bool plainPattern(std::u16string_view pattern)
{
    return pattern.find_first_of(u"?*~") == std::u16string_view::npos;
}

// The leftmost non-overlapping occurrences of a plain pattern, case-sensitive.
WildcardHits plainHits(std::u16string_view text, std::u16string_view pattern)
{
    WildcardHits out;
    for (std::size_t p = text.find(pattern); p != std::u16string_view::npos; p = text.find(pattern, p)) {
        out.push_back(
            WildcardHit{static_cast<std::int32_t>(p + 1), static_cast<std::int32_t>(p + pattern.size())});
        p += pattern.size();
    }
    return out;
}

// The text rebuilt by the mode from its hits.
std::u16string rebuilt(std::u16string_view text, const WildcardHits& hits, std::size_t first,
                       std::int32_t mode, std::u16string_view replace)
{
    std::u16string out;
    std::size_t pos = 0; // 0-based next character to copy
    for (std::size_t k = first; k < hits.size(); ++k) {
        const auto s = static_cast<std::size_t>(hits[k].start - 1);
        const auto e = static_cast<std::size_t>(hits[k].end); // one past the last character
        if (mode == engines::kModeInsertAfter) {
            out.append(text.substr(pos, e - pos)).append(replace);
            pos = e;
        } else if (mode == engines::kModeInsertBefore) {
            out.append(text.substr(pos, s - pos)).append(replace);
            pos = s;
        } else {
            out.append(text.substr(pos, s - pos)).append(replace);
            pos = std::max(e, s);
        }
    }
    out.append(text.substr(pos));
    return out;
}

void checkOptions(std::u16string_view options)
{
    engines::CellFormat format;
    format.caseSensitive = format.wholeWord = format.optionD = 7;
    engines::TAbstractTable::ParseSearchOptions(format, options);
    std::int32_t expected[3] = {engines::kOptionNotGiven, engines::kOptionNotGiven, engines::kOptionNotGiven};
    for (std::size_t i = 0; i < options.size(); ++i) {
        const char16_t c = options[i] >= u'a' && options[i] <= u'z' ? options[i] - 32 : options[i];
        const int which = c == u'C' ? 0 : c == u'W' ? 1 : c == u'D' ? 2 : -1;
        if (which >= 0)
            expected[which] = i > 0 && options[i - 1] == u'-' ? engines::kOptionOff : engines::kOptionOn;
    }
    fuzz::check(format.caseSensitive == expected[0] && format.wholeWord == expected[1] &&
                    format.optionD == expected[2],
                "the option letters of a row");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzz::RunBudget budget;
    const auto fields = fuzz::splitFields(fuzz::asText(data, size), 6);
    const auto numbers = fuzz::words(fields[0]);
    const auto number = [&](std::size_t i, long long low, long long high, long long fallback) {
        return i < numbers.size() ? fuzz::numberIn(numbers[i], low, high, fallback) : fallback;
    };
    const auto flags = static_cast<std::uint32_t>(number(0, 0, 15, 0));
    const auto kind = static_cast<std::int32_t>(number(1, -1, 3, 0));
    const auto mode = static_cast<std::int32_t>(number(2, -1, 512, engines::kModeReplace));
    const auto startPos = static_cast<std::int32_t>(number(3, -3, 1 << 20, -1));
    const std::u16string pattern = wide(fields[1]);
    const std::u16string text = wide(fields[2]);
    const std::u16string replace = wide(fields[3]);
    const std::u16string ending = wide(fields[4]);
    checkOptions(wide(fields[5]));
    const auto L = static_cast<std::int32_t>(text.size());

    // The whole search.
    WildcardHits all{WildcardHit{-5, -9}}; // hits are appended after what is there
    const std::int32_t count = office::FindMatches(text, pattern, kind, &all, flags, -1);
    fuzz::check(count >= 0 && static_cast<std::size_t>(count) + 1 == all.size(), "the hit count");
    fuzz::check(office::FindMatches(text, pattern, kind, nullptr, flags, -1) == count,
                "the count depends on the hit list");
    checkHits(all, 1, L, false);
    if (pattern.empty())
        fuzz::check(count == 0, "an empty pattern found something");
    if ((flags & office::kWildcardWholeText) != 0 && count > 0)
        fuzz::check(count == 1 && all[1] == (WildcardHit{1, L}), "a whole-text hit that is not the text");
    if (!pattern.empty() && plainPattern(pattern) &&
        (flags & (office::kWildcardCaseSensitive | office::kWildcardWholeWord |
                  office::kWildcardWholeText)) == office::kWildcardCaseSensitive &&
        kind == office::kSearchPlain)
        fuzz::check(WildcardHits(all.begin() + 1, all.end()) == plainHits(text, pattern),
                    "a plain pattern finds other hits than a plain search");

    // From a start position: at most one hit, the first of a whole search from there.
    if (startPos != -1) {
        WildcardHits one;
        const std::int32_t single = office::FindMatches(text, pattern, kind, &one, flags, startPos);
        fuzz::check(single >= 0 && single <= 1 && static_cast<std::size_t>(single) == one.size(),
                    "more than one hit from a start position");
        checkHits(one, 0, L, false);
        if (startPos <= 1)
            fuzz::check(single == std::min<std::int32_t>(count, 1) && (single == 0 || one[0] == all[1]),
                        "the first hit differs from the first of all hits");
        else if (single == 1)
            fuzz::check(one[0].start >= startPos, "a hit before the start position");
    }

    // Replacing.
    std::u16string result = u"stale";
    WildcardHits hits{WildcardHit{-5, -9}};
    std::int32_t matches = 3;
    office::ReplaceInText(text, pattern, result, &hits, flags, replace, ending, mode, matches);
    fuzz::check(matches == 3 + static_cast<std::int32_t>(hits.size() - 1), "the match count");
    const bool between = mode == engines::kModeInsertBetween && !ending.empty();
    checkHits(hits, 1, L, between);
    if (mode != engines::kModeInsertBetween) {
        // Replacing searches with the plain kind.
        WildcardHits plain{WildcardHit{-5, -9}};
        office::FindMatches(text, pattern, office::kSearchPlain, &plain, flags, -1);
        fuzz::check(hits == plain, "replacing found other hits than searching");
    }
    const std::int32_t effective = between                               ? engines::kModeReplace
                                   : mode == engines::kModeInsertBetween ? engines::kModeInsertAfter
                                                                         : mode;
    const bool changes = effective == engines::kModeReplace || effective == engines::kModeDelete ||
                         effective == engines::kModeBatchTable || effective == engines::kModeInsertAfter ||
                         effective == engines::kModeInsertBefore;
    if (!changes || hits.size() == 1)
        fuzz::check(result == text, "a text without hits, or a mode that only counts, changed");
    else
        fuzz::check(result == rebuilt(text, hits, 1, effective,
                                      effective == engines::kModeDelete ? std::u16string_view() : replace),
                    "the rebuilt text differs from the text with its hits changed");

    std::u16string again;
    std::int32_t none = 0;
    office::ReplaceInText(text, pattern, again, nullptr, flags, replace, ending, mode, none);
    fuzz::check(again == result && none == matches - 3, "the result depends on the hit list");
    return 0;
}
