// The wildcard text engine of the presentation and spreadsheet wrappers: finds every non-overlapping
// match of a pattern with "?" (any character), "*" (any run of characters) and the escape "~" (the next
// pattern character is literal; a lone trailing "~" stands for itself) in a wide text, and rebuilds the
// text for a replace mode. Pure computation on UTF-16 texts.
//
// Positions are 1-based and inclusive, as the wrappers use them: a hit (s, e) covers the characters s
// to e; an empty span has e = s - 1.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wux::office {

// Engine flags.
enum WildcardFlags : std::uint32_t
{
    kWildcardCaseSensitive = 1,
    kWildcardWholeWord = 4,
    kWildcardWholeText = 8, // the hit must cover the whole text
};

// Search kinds.
enum WildcardSearchKind : std::int32_t
{
    kSearchPlain = 0,
    kSearchFirstPart = 1,  // its end needs no word boundary
    kSearchEndingPart = 2, // its start needs no word boundary
};

// One hit: 1-based inclusive positions in the text.
struct WildcardHit
{
    std::int32_t start = 0;
    std::int32_t end = 0;
    bool operator==(const WildcardHit&) const = default;
};

using WildcardHits = std::vector<WildcardHit>;

// Searches Text for Pattern and appends the hits to Hits (when given) in text order. StartPos -1:
// the whole text, every hit; else from StartPos (1-based), the first hit only. Returns the number of
// hits appended.
std::int32_t FindMatches(std::u16string_view Text, std::u16string_view Pattern, std::int32_t Kind,
                         WildcardHits* Hits, std::uint32_t Flags, std::int32_t StartPos);

// Changes Text by the replace mode Mode (1 replace, 2 delete, 8 insert after, 16 insert before,
// 32 insert between Find and Ending, 128 count only, 256 replace as a table row; other modes only
// count) into Result, appending the hits to Hits when given. MatchCount grows by the number of hits.
void ReplaceInText(std::u16string_view Text, std::u16string_view Find, std::u16string& Result,
                   WildcardHits* Hits, std::uint32_t Flags, std::u16string_view Replace,
                   std::u16string_view Ending, std::int32_t Mode, std::int32_t& MatchCount);

// True when the UTF-16 code unit is one of the 34 word delimiters.
bool isWideWordDelimiter(char16_t c) noexcept;

} // namespace wux::office
