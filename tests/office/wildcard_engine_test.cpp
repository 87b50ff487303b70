#include "office/wildcard_engine.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "platform/text.h"

namespace wux::office {

void PrintTo(const WildcardHit& hit, std::ostream* os)
{
    *os << "(" << hit.start << "," << hit.end << ")";
}

namespace {

std::string utf8(std::u16string_view text)
{
    return platform::utf16ToUtf8(text);
}

struct FindCase
{
    const char16_t* pattern;
    const char16_t* text;
    std::uint32_t flags;
    std::vector<WildcardHit> hits;
};

void PrintTo(const FindCase& c, std::ostream* out)
{
    *out << "pattern \"" << platform::utf16ToUtf8(c.pattern) << "\" in \"" << platform::utf16ToUtf8(c.text)
         << "\" flags " << c.flags;
}

class FindMatchesTable : public ::testing::TestWithParam<FindCase>
{
};

TEST_P(FindMatchesTable, GivesExactHits)
{
    const FindCase& c = GetParam();
    WildcardHits hits;
    const std::int32_t count = FindMatches(c.text, c.pattern, kSearchPlain, &hits, c.flags, -1);
    EXPECT_EQ(hits, c.hits) << "pattern '" << utf8(c.pattern) << "' in '" << utf8(c.text) << "' flags "
                            << c.flags;
    EXPECT_EQ(count, static_cast<std::int32_t>(c.hits.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, FindMatchesTable,
    ::testing::Values(
        // Any character, any run: earliest-ending hits without overlap.
        FindCase{u"b?d", u"bad bed", 0, {{1, 3}, {5, 7}}}, FindCase{u"a*c", u"abcabc", 0, {{1, 3}, {4, 6}}},
        FindCase{u"a*b", u"aab b", 0, {{1, 3}}}, FindCase{u"*c", u"abcabc", 0, {{1, 3}, {4, 6}}},
        FindCase{u"a*c", u"ab c abc", 0, {{1, 4}, {6, 8}}},
        // A trailing star runs to the end of the text.
        FindCase{u"ab*", u"xxabyy", 0, {{3, 6}}},
        // Escapes: "~?" and "~*" are literal, also where the compare fails; "~~" is a tilde; a lone
        // trailing "~" stands for itself.
        FindCase{u"~?", u"a?b?", 0, {{2, 2}, {4, 4}}}, FindCase{u"~?", u"ab", 0, {}},
        FindCase{u"a~*", u"ab a* a*c", 0, {{4, 5}, {7, 8}}}, FindCase{u"a~*", u"a*b", 0, {{1, 2}}},
        FindCase{u"a~*", u"abc", 0, {}}, FindCase{u"a~", u"aba~", 0, {{3, 4}}},
        FindCase{u"~~", u"x~y", 0, {{2, 2}}}, FindCase{u"a~~*", u"a~bc", 0, {{1, 4}}},
        // Case.
        FindCase{u"ABC", u"abc aBc ABC", 0, {{1, 3}, {5, 7}, {9, 11}}},
        FindCase{u"ABC", u"abc aBc ABC", kWildcardCaseSensitive, {{9, 11}}},
        FindCase{u"\u00C4b", u"x\u00E4B", 0, {{2, 3}}},
        FindCase{u"\u00C4b", u"x\u00E4B", kWildcardCaseSensitive, {}},
        // Whole words: boundaries on both sides, never beginning with a delimiter, stars within a word.
        FindCase{u"cat", u"cat, concat", kWildcardWholeWord, {{1, 3}}},
        FindCase{u"cat", u"cats", kWildcardWholeWord, {}},
        FindCase{u"cat", u"(cat)", kWildcardWholeWord, {{2, 4}}},
        FindCase{u" cat", u"x  cat", kWildcardWholeWord, {}},
        FindCase{u"a*c", u"ab c abc", kWildcardWholeWord, {{6, 8}}},
        FindCase{u"ab*", u"abc d", kWildcardWholeWord, {{1, 3}}},
        FindCase{u"a_b", u"x a_b\ty", kWildcardWholeWord, {}},
        FindCase{u"a_b", u"x a_b y", kWildcardWholeWord, {{3, 5}}},
        // The whole text.
        FindCase{u"a*", u"abc", kWildcardWholeText, {{1, 3}}}, FindCase{u"b", u"abc", kWildcardWholeText, {}},
        FindCase{u"abc", u"abc", kWildcardWholeText, {{1, 3}}},
        // Nothing to find.
        FindCase{u"", u"abc", 0, {}}, FindCase{u"abc", u"", 0, {}}, FindCase{u"abcd", u"abc", 0, {}}));

TEST(FindMatchesTest, FromAStartPositionGivesTheFirstHitOnly)
{
    WildcardHits hits;
    EXPECT_EQ(FindMatches(u"abcbab", u"b", kSearchPlain, &hits, 0, 3), 1);
    EXPECT_EQ(hits, (WildcardHits{{4, 4}}));
    hits.clear();
    EXPECT_EQ(FindMatches(u"abc", u"x", kSearchPlain, &hits, 0, 1), 0);
    EXPECT_TRUE(hits.empty());
    // Without a list the hits are only counted.
    EXPECT_EQ(FindMatches(u"aaa", u"a", kSearchPlain, nullptr, 0, -1), 3);
}

TEST(FindMatchesTest, FirstAndEndingPartsNeedABoundaryOnOneSideOnly)
{
    WildcardHits hits;
    EXPECT_EQ(FindMatches(u"abc", u"ab", kSearchFirstPart, &hits, kWildcardWholeWord, -1), 1);
    EXPECT_EQ(hits, (WildcardHits{{1, 2}}));
    hits.clear();
    EXPECT_EQ(FindMatches(u"abc", u"bc", kSearchEndingPart, &hits, kWildcardWholeWord, -1), 1);
    EXPECT_EQ(hits, (WildcardHits{{2, 3}}));
    EXPECT_EQ(FindMatches(u"abc", u"ab", kSearchPlain, nullptr, kWildcardWholeWord, -1), 0);
    EXPECT_EQ(FindMatches(u"abc", u"bc", kSearchPlain, nullptr, kWildcardWholeWord, -1), 0);
}

TEST(FindMatchesTest, DelimitersAreTheThirtyFourCharacters)
{
    for (char16_t c : std::u16string(u"\r\n !\"#$%&'()*+,-./:;<=>?@]\\[^`}|{~"))
        EXPECT_TRUE(isWideWordDelimiter(c)) << int(c);
    for (char16_t c : std::u16string(u"\t_09azAZ\u00A0\u00E9\u2014"))
        EXPECT_FALSE(isWideWordDelimiter(c)) << int(c);
}

struct ReplaceCase
{
    std::int32_t mode;
    const char16_t* text;
    const char16_t* find;
    const char16_t* replace;
    const char16_t* ending;
    std::uint32_t flags;
    const char16_t* result;
    std::int32_t count;
};

void PrintTo(const ReplaceCase& c, std::ostream* out)
{
    *out << "mode " << c.mode << " \"" << platform::utf16ToUtf8(c.find) << "\" in \""
         << platform::utf16ToUtf8(c.text) << "\"";
}

class ReplaceInTextTable : public ::testing::TestWithParam<ReplaceCase>
{
};

TEST_P(ReplaceInTextTable, GivesExactTextAndCount)
{
    const ReplaceCase& c = GetParam();
    std::u16string result = u"stale";
    std::int32_t matchCount = 5;
    ReplaceInText(c.text, c.find, result, nullptr, c.flags, c.replace, c.ending, c.mode, matchCount);
    EXPECT_EQ(utf8(result), utf8(c.result)) << "mode " << c.mode << " find '" << utf8(c.find) << "'";
    EXPECT_EQ(matchCount, 5 + c.count);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ReplaceInTextTable,
    ::testing::Values(
        ReplaceCase{1, u"bad bed", u"b?d", u"X", u"", 0, u"X X", 2},
        ReplaceCase{1, u"a*b ab", u"a~*", u"X", u"", 0, u"Xb ab", 1},
        ReplaceCase{1, u"abcabc", u"a*c", u"", u"", 0, u"", 2},
        ReplaceCase{2, u"abcabc", u"b", u"ignored", u"", 0, u"acac", 2},
        ReplaceCase{8, u"cat cat", u"cat", u"!", u"", 0, u"cat! cat!", 2},
        ReplaceCase{16, u"cat cat", u"cat", u"!", u"", 0, u"!cat !cat", 2},
        ReplaceCase{16, u"cat concat", u"cat", u"!", u"", kWildcardWholeWord, u"!cat concat", 1},
        ReplaceCase{32, u"[a] and [b]", u"[", u"X", u"]", 0, u"[X] and [X]", 2},
        ReplaceCase{32, u"[]", u"[", u"X", u"]", 0, u"[X]", 1},
        ReplaceCase{32, u"x[a]y", u"[", u"X", u"]", 0, u"x[X]y", 1},
        // Whole words: the span between boundaries, blanks inside allowed.
        ReplaceCase{32, u"say [a b] now", u"[", u"X", u"]", kWildcardWholeWord, u"say [X] now", 1},
        ReplaceCase{32, u"x[a]y", u"[", u"X", u"]", kWildcardWholeWord, u"x[a]y", 0},
        ReplaceCase{32, u"foo bar baz", u"foo", u"-", u"baz", kWildcardWholeWord, u"foo-baz", 1},
        // A lone trailing "~" of the first part stays literal before the ending.
        ReplaceCase{32, u"a~xb", u"a~", u"X", u"b", 0, u"a~Xb", 1},
        // No ending: insert after the find text.
        ReplaceCase{32, u"ab ab", u"ab", u"X", u"", 0, u"abX abX", 2},
        ReplaceCase{128, u"aaa", u"a", u"X", u"", 0, u"aaa", 3},
        ReplaceCase{256, u"abc", u"B", u"X", u"", 0, u"aXc", 1},
        ReplaceCase{256, u"abc", u"B", u"X", u"", kWildcardCaseSensitive, u"abc", 0},
        ReplaceCase{4, u"abc", u"b", u"X", u"", 0, u"abc", 1},
        ReplaceCase{1, u"abc", u"", u"X", u"", 0, u"abc", 0},
        ReplaceCase{1, u"", u"a", u"X", u"", 0, u"", 0}));

TEST(ReplaceInTextTest, AppendsItsHitsToTheCallersList)
{
    WildcardHits hits{{7, 7}};
    std::u16string result;
    std::int32_t count = 0;
    ReplaceInText(u"[a] and [b]", u"[", result, &hits, 0, u"X", u"]", 32, count);
    EXPECT_EQ(hits, (WildcardHits{{7, 7}, {2, 2}, {10, 10}}));
    EXPECT_EQ(count, 2);
    EXPECT_EQ(utf8(result), "[X] and [X]");
    hits.clear();
    ReplaceInText(u"[]", u"[", result, &hits, 0, u"X", u"]", 32, count);
    EXPECT_EQ(hits, (WildcardHits{{2, 1}})); // the empty span between the parts
}

TEST(ReplaceInTextTest, KeepsSurrogatePairsAndLongTexts)
{
    std::u16string text;
    for (int i = 0; i < 20000; ++i)
        text += u"ab\U0001F600 ";
    std::u16string result;
    std::int32_t count = 0;
    ReplaceInText(text, u"b", result, nullptr, 0, u"-", u"", 1, count);
    EXPECT_EQ(count, 20000);
    std::u16string expected;
    for (int i = 0; i < 20000; ++i)
        expected += u"a-\U0001F600 ";
    EXPECT_EQ(result, expected);
}

} // namespace
} // namespace wux::office
