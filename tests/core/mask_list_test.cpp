#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "core/mask_list.h"

namespace wux::core {
namespace {

std::vector<std::string> forms(const TMaskList& list)
{
    std::vector<std::string> out;
    for (const TPartFilterItem& item : list)
        out.push_back(item.upper + "|" + item.lower + "|" + std::to_string(item.length));
    return out;
}

TEST(ParseMaskList, SplitsTrimsSkipsEmptyPartsAndAppends)
{
    TMaskList list;
    ParseMaskList("*.txt; *.doc ;;", list);
    EXPECT_EQ(forms(list), (std::vector<std::string>{"*.TXT|*.txt|5", "*.DOC|*.doc|5"}));
    ParseMaskList(" ; b;c ", list);
    ParseMaskList("", list);
    ParseMaskList(";;  ;", list);
    ParseMaskList("\xC3\xA9t\xC3\xA9*", list); // non-ASCII bytes are kept in both forms
    EXPECT_EQ(forms(list), (std::vector<std::string>{"*.TXT|*.txt|5", "*.DOC|*.doc|5", "B|b|1", "C|c|1",
                                                     "\xC3\xA9T\xC3\xA9*|\xC3\xA9t\xC3\xA9*|6"}));
    FreeMaskList(list);
    EXPECT_TRUE(list.empty());
}

struct MaskCase
{
    const char* mask;
    const char* name;
    bool matches;
};

void PrintTo(const MaskCase& c, std::ostream* out)
{
    *out << "mask \"" << c.mask << "\" name \"" << c.name << "\" "
         << (c.matches ? "matches" : "does not match");
}

class MatchMaskTable : public ::testing::TestWithParam<MaskCase>
{
};

TEST_P(MatchMaskTable, MatchesAsExpected)
{
    const MaskCase& c = GetParam();
    TMaskList list;
    ParseMaskList(c.mask, list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(MatchMask(c.name, list[0]), c.matches) << "mask '" << c.mask << "' name '" << c.name << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Masks, MatchMaskTable,
    ::testing::Values(
        MaskCase{"*.txt", "a.txt", true}, MaskCase{"*.txt", "A.TXT", true},
        MaskCase{"*.txt", "a.txt.txt", true}, MaskCase{"*.txt", "a.txt.bak", false},
        MaskCase{"*.txt", ".txt", true}, MaskCase{"*.txt", "txt", false}, MaskCase{"a?c", "abc", true},
        MaskCase{"a?c", "ABC", true}, MaskCase{"a?c", "abcd", false}, MaskCase{"a?c", "ac", false},
        MaskCase{"a", "aa", false}, MaskCase{"a", "A", true}, MaskCase{"a", "", false},
        MaskCase{"*.*", "readme", true}, MaskCase{"*.*", "a.b", true}, MaskCase{"*.*", "", true},
        MaskCase{"*.", "readme", true}, MaskCase{"*.*.*", "a", true}, MaskCase{"*..*", "a.b.c", true},
        MaskCase{"**.*", "", true}, MaskCase{".*", "a", false}, MaskCase{".*", ".a", true},
        MaskCase{"*.*x", "a.b", false}, MaskCase{"*.*x", "a.bx", true},
        // Once the name is used up, a rest of "*" and "." matches: "*." takes names with a dot too.
        MaskCase{"*.", "a.b", true}, MaskCase{"*x.", "a.b", false}, MaskCase{"abc.", "abc", true},
        MaskCase{"abc.", "abc.", true}, MaskCase{"abc.", "abcd", false}, MaskCase{"*", "", true},
        MaskCase{"*", "anything at all", true}, MaskCase{"**", "x", true}, MaskCase{"a*", "a", true},
        MaskCase{"a*", "ba", false}, MaskCase{"*a", "ba", true}, MaskCase{"*a", "ab", false},
        MaskCase{"*ab*", "xa", false}, MaskCase{"*a*", "xa", true}, MaskCase{"*b*d", "abcd", true},
        MaskCase{"*b*d", "abcde", false}, MaskCase{"a*b*c", "aXbYbZc", true},
        MaskCase{"a*b*c", "abcb", false}, MaskCase{"*aab", "aaab", true}, MaskCase{"?", "", false},
        MaskCase{"??", "a", false}, MaskCase{"*?", "a", true}, MaskCase{"*??", "a", false},
        MaskCase{"x*.doc", "X1.DOC", true}, MaskCase{"*.d?c", "memo.dxc", true},
        // "?" stands for one character, also one of several bytes.
        MaskCase{"a?c",
                 "a\xC3\xA9"
                 "c",
                 true},
        MaskCase{"a??c",
                 "a\xC3\xA9"
                 "c",
                 false},
        MaskCase{"?", "\xE2\x82\xAC", true},
        MaskCase{"*?b",
                 "\xC3\xA9"
                 "b",
                 true},
        // Every letter ignores case (simple case folding), whatever the byte lengths of its forms.
        MaskCase{"\xC3\xA9*", "\xC3\xA9t\xC3\xA9", true},
        MaskCase{"\xC3\xA9t\xC3\xA9*", "\xC3\x89T\xC3\x89 2023.txt", true},
        MaskCase{"*\xC3\xBC" "ber*", "\xC3\x9C" "ber.txt", true},
        MaskCase{"\xC3\x89" "COLE.*", "\xC3\xA9" "cole.doc", true},
        MaskCase{"*.\xD0\xB4\xD0\xBE\xD0\xBA", "x.\xD0\x94\xD0\x9E\xD0\x9A", true},
        MaskCase{"k*", "\xE2\x84\xAA" "elvin", true}, // the Kelvin sign folds to k
        MaskCase{"?\xE2\x84\xAA", "ak", true}, MaskCase{"*s", "\xC5\xBF", true}, // long s
        MaskCase{"K*", "kelvin", true}, MaskCase{"*k?", "ak\xC3\xA9", true}, MaskCase{"*k?", "a\xC3\xA9", false},
        MaskCase{"s\xC3\xA9?x*", "\xC5\xBF\xC3\x89\xE2\x82\xACxy", true},
        MaskCase{"s\xC3\xA9?x*", "S\xC3\x89x", false},
        MaskCase{"\xC3\xA9*", "e.txt", false}, MaskCase{"\xC3\xA9*", "\xC3\x88.txt", false},
        MaskCase{"*\xC3\xA9", "\xC3\xA9\xC3\xA9x", false},
        // A byte that is not UTF-8 matches only itself.
        MaskCase{"a\xFF*", "A\xFF", true}, MaskCase{"a\xFF*", "a\xFE", false}));

TEST(MatchMaskList, AnyEntryMatchesAndAnEmptyListGivesTheDefault)
{
    const TMaskList empty;
    EXPECT_TRUE(MatchMaskList("any", empty, true));
    EXPECT_FALSE(MatchMaskList("any", empty, false));
    EXPECT_TRUE(MatchMaskList("any", empty));
    TMaskList list;
    ParseMaskList("*.txt;*.doc", list);
    EXPECT_TRUE(MatchMaskList("a.doc", list, false));
    EXPECT_TRUE(MatchMaskList("b.TXT", list, false));
    EXPECT_FALSE(MatchMaskList("c.xls", list, true));
    // An empty pattern matches only the empty name.
    EXPECT_TRUE(MatchMask("", TPartFilterItem()));
    EXPECT_FALSE(MatchMask("a", TPartFilterItem()));
}

TEST(MatchMask, ManyStarsRetryOnlyTheLastSegment)
{
    // Trying every way to share the name out among the stars would never end here; a failed segment
    // is retried only behind the last star, so the cost stays the pattern's length times the name's.
    std::string stars;
    for (int i = 0; i < 2000; ++i)
        stars += "*a";
    TMaskList list;
    ParseMaskList(stars + "*b;" + stars + "?", list);
    ASSERT_EQ(list.size(), 2u);
    const std::string as(5000, 'a');
    EXPECT_FALSE(MatchMask(as, list[0]));
    EXPECT_TRUE(MatchMask(as + "b", list[0]));
    EXPECT_TRUE(MatchMask(as + "\xE2\x82\xAC", list[1]));
    EXPECT_FALSE(MatchMask(std::string(1999, 'a') + "x", list[1]));
}

} // namespace
} // namespace wux::core
