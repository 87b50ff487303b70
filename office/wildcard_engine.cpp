#include "office/wildcard_engine.h"

#include <QChar>

#include <algorithm>
#include <cstdint>

#include "engines/base_replacer.h"

namespace wux::office {

namespace {

constexpr char16_t kAnyChar = u'?';
constexpr char16_t kAnyRun = u'*';
constexpr char16_t kEscape = u'~';

// Per-code-unit simple case mapping (a surrogate maps to itself).
char16_t upperUnit(char16_t c)
{
    const char32_t mapped = QChar::toUpper(static_cast<char32_t>(c));
    return mapped > 0xFFFF ? c : static_cast<char16_t>(mapped);
}

char16_t lowerUnit(char16_t c)
{
    const char32_t mapped = QChar::toLower(static_cast<char32_t>(c));
    return mapped > 0xFFFF ? c : static_cast<char16_t>(mapped);
}

// How a pattern ends, read element by element ("~x" is one literal element).
struct PatternEnd
{
    bool trailingStar = false; // the last element is an unescaped "*"
    bool loneTilde = false;    // the last element is a "~" with nothing after it
};

PatternEnd patternEnd(std::u16string_view pattern)
{
    PatternEnd end;
    const std::size_t n = pattern.size();
    for (std::size_t q = 0; q < n;) {
        end = PatternEnd{};
        if (pattern[q] == kEscape) {
            if (q + 1 < n) {
                q += 2;
            } else {
                end.loneTilde = true;
                q += 1;
            }
        } else {
            end.trailingStar = pattern[q] == kAnyRun;
            q += 1;
        }
    }
    return end;
}

// One started attempt: the next pattern position (1-based) and where in the text it began.
struct Partial
{
    std::int32_t q = 1;
    std::int32_t start = 0;
};

class Matcher
{
public:
    Matcher(std::u16string_view text, std::u16string_view pattern, std::int32_t kind, std::uint32_t flags)
        : text_(text), pattern_(pattern), kind_(kind), flags_(flags),
          L_(static_cast<std::int32_t>(text.size())), N_(static_cast<std::int32_t>(pattern.size())),
          wholeWord_((flags & kWildcardWholeWord) != 0), trailingStar_(patternEnd(pattern).trailingStar)
    {
        upper_.assign(pattern);
        lower_.assign(pattern);
        if ((flags & kWildcardCaseSensitive) == 0) {
            for (char16_t& c : upper_)
                c = upperUnit(c);
            for (char16_t& c : lower_)
                c = lowerUnit(c);
        }
    }

    std::int32_t run(WildcardHits* hits, std::int32_t startPos)
    {
        std::int32_t found = 0;
        if (N_ == 0)
            return 0;
        partials_.clear();
        newPos_ = 1;
        newStart_ = 0;
        bool add = true;
        const std::int32_t from = startPos == -1 ? 1 : std::max(startPos, 1);
        for (std::int32_t i = from; i <= L_; ++i) {
            if (add) {
                bool start = true;
                // A whole word begins after a boundary and never with a delimiter.
                if (newPos_ == 1 && wholeWord_)
                    start = boundary(i - 1, i) && !isWideWordDelimiter(text_[i - 1]);
                if (start) {
                    Partial m{newPos_, newPos_ == 1 ? i : newStart_};
                    if (stepStars(m))
                        partials_.push_back(m);
                }
            }
            add = true;

            bool hit = false;
            std::int32_t hitStart = 0;
            std::size_t keep = 0;
            for (std::size_t k = 0; k < partials_.size(); ++k) {
                Partial m = partials_[k];
                if (!advance(m, i))
                    continue;
                if (m.q > N_)
                    add = false;
                if (complete(m, i)) {
                    hit = true;
                    hitStart = m.start;
                    break;
                }
                partials_[keep++] = m;
            }
            if (hit) {
                partials_.clear();
                if ((flags_ & kWildcardWholeText) == 0 || (hitStart == 1 && i == L_)) {
                    if (hits)
                        hits->push_back(WildcardHit{hitStart, i});
                    ++found;
                }
                newPos_ = 1;
                add = true;
                if (startPos != -1)
                    break;
            } else {
                partials_.resize(keep);
            }
        }
        partials_.clear();
        return found;
    }

private:
    bool boundary(std::int32_t k, std::int32_t i) const
    {
        if (k < 1 || k > L_)
            return true;
        if (kind_ == kSearchFirstPart && k == i + 1)
            return true;
        if (kind_ == kSearchEndingPart && k == i - 1)
            return true;
        return isWideWordDelimiter(text_[static_cast<std::size_t>(k - 1)]);
    }

    char16_t pattern(std::int32_t q) const { return pattern_[static_cast<std::size_t>(q - 1)]; }

    bool matches(char16_t c, std::int32_t q) const
    {
        const auto index = static_cast<std::size_t>(q - 1);
        return c == upper_[index] || c == lower_[index];
    }

    // Steps a match over a run of stars: a star begins a new attempt at every following position for
    // the rest of the pattern, keeping the star's match start. False when an attempt begun at a later
    // star already stands for it.
    bool stepStars(Partial& m)
    {
        if (m.q <= N_ && pattern(m.q) == kAnyRun) {
            if (m.q < newPos_)
                return false;
            while (m.q <= N_ && pattern(m.q) == kAnyRun)
                ++m.q;
            newPos_ = m.q;
            newStart_ = m.start;
        }
        return true;
    }

    bool advance(Partial& m, std::int32_t i)
    {
        const char16_t c = text_[static_cast<std::size_t>(i - 1)];
        bool ok = true;
        if (wholeWord_ && boundary(i, i)) {
            ok = false;
            newPos_ = 1;
        }
        if (m.q <= N_) {
            bool compared = ok;
            if (pattern(m.q) == kAnyChar) {
                ++m.q;
            } else {
                // "~" takes the next pattern character literally; a lone trailing "~" is itself.
                if (pattern(m.q) == kEscape && m.q < N_)
                    ++m.q;
                ok = matches(c, m.q);
                if (ok)
                    ++m.q;
                compared = ok;
            }
            // Only after a successful compare: an escaped star stays literal.
            if (compared && !stepStars(m))
                ok = false;
        }
        if (wholeWord_ && m.q > N_ && !boundary(i + 1, i))
            ok = false;
        return ok;
    }

    bool complete(const Partial& m, std::int32_t i) const
    {
        if (m.q <= N_)
            return false;
        // Without whole words a trailing star runs to the end of the text.
        return wholeWord_ || !trailingStar_ || i == L_;
    }

    std::u16string_view text_;
    std::u16string_view pattern_;
    std::int32_t kind_;
    std::uint32_t flags_;
    std::int32_t L_;
    std::int32_t N_;
    bool wholeWord_;
    bool trailingStar_;
    std::u16string upper_;
    std::u16string lower_;
    std::int32_t newPos_ = 1;
    std::int32_t newStart_ = 0;
    std::vector<Partial> partials_;
};

// A word boundary around a span in the whole text.
bool textBoundary(std::u16string_view text, std::int32_t k)
{
    if (k < 1 || k > static_cast<std::int32_t>(text.size()))
        return true;
    return isWideWordDelimiter(text[static_cast<std::size_t>(k - 1)]);
}

} // namespace

bool isWideWordDelimiter(char16_t c) noexcept
{
    return c < 0x80 && engines::isWordDelimiter(static_cast<std::uint8_t>(c));
}

std::int32_t FindMatches(std::u16string_view Text, std::u16string_view Pattern, std::int32_t Kind,
                         WildcardHits* Hits, std::uint32_t Flags, std::int32_t StartPos)
{
    if (Pattern.empty() || Text.size() > static_cast<std::size_t>(INT32_MAX - 2))
        return 0;
    Matcher matcher(Text, Pattern, Kind, Flags);
    return matcher.run(Hits, StartPos);
}

void ReplaceInText(std::u16string_view Text, std::u16string_view Find, std::u16string& Result,
                   WildcardHits* Hits, std::uint32_t Flags, std::u16string_view Replace,
                   std::u16string_view Ending, std::int32_t Mode, std::int32_t& MatchCount)
{
    Result.assign(Text);
    WildcardHits own;
    WildcardHits& hits = Hits ? *Hits : own;
    const std::size_t first = hits.size();

    if (Mode == engines::kModeDelete)
        Replace = {};
    if (Mode == engines::kModeInsertBetween && Ending.empty())
        Mode = engines::kModeInsertAfter;

    if (Mode == engines::kModeInsertBetween) {
        // Spans from the first part to the ending part are searched without the whole-word flag and
        // kept when they stand between word boundaries, so blanks between the parts are allowed.
        const bool wholeWord = (Flags & kWildcardWholeWord) != 0;
        const std::uint32_t flags = Flags & ~static_cast<std::uint32_t>(kWildcardWholeWord);
        std::u16string spanPattern(Find);
        if (patternEnd(Find).loneTilde)
            spanPattern += kEscape; // the lone "~" stays a literal "~" before the star
        spanPattern += kAnyRun;
        spanPattern += Ending;
        WildcardHits spans;
        FindMatches(Text, spanPattern, kSearchPlain, &spans, flags, -1);
        WildcardHits part;
        for (const WildcardHit& span : spans) {
            if (wholeWord && !(textBoundary(Text, span.start - 1) && textBoundary(Text, span.end + 1)))
                continue;
            part.clear();
            if (FindMatches(Text, Find, kSearchFirstPart, &part, flags, span.start) == 0)
                break;
            const std::int32_t p = part.front().end + 1;
            part.clear();
            if (FindMatches(Text, Ending, kSearchEndingPart, &part, flags, p) == 0)
                break;
            hits.push_back(WildcardHit{p, part.front().start - 1});
        }
        Mode = engines::kModeReplace;
    } else {
        FindMatches(Text, Find, kSearchPlain, &hits, Flags, -1);
    }

    const std::size_t count = hits.size() - first;
    MatchCount += static_cast<std::int32_t>(count);
    if (count == 0 || Mode == engines::kModeJustFind)
        return;
    const bool replacing =
        Mode == engines::kModeReplace || Mode == engines::kModeDelete || Mode == engines::kModeBatchTable;
    if (!replacing && Mode != engines::kModeInsertAfter && Mode != engines::kModeInsertBefore)
        return;

    std::u16string out;
    out.reserve(Text.size() + count * Replace.size());
    const auto L = static_cast<std::int32_t>(Text.size());
    std::size_t h = first;
    for (std::int32_t p = 1; p <= L; ++p) {
        const char16_t c = Text[static_cast<std::size_t>(p - 1)];
        if (h < hits.size()) {
            const WildcardHit& hit = hits[h];
            if (Mode == engines::kModeInsertAfter && p == hit.end) {
                out += c;
                out += Replace;
                ++h;
                continue;
            }
            if (Mode == engines::kModeInsertBefore && p == hit.start) {
                out += Replace;
                out += c;
                ++h;
                continue;
            }
            if (replacing && p == hit.start) {
                out += Replace;
                ++h;
                if (hit.end >= hit.start)
                    p = hit.end;
                else
                    out += c;
                continue;
            }
        }
        out += c;
    }
    Result = std::move(out);
}

} // namespace wux::office
