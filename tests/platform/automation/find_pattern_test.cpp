#include <gtest/gtest.h>

#include "platform/automation/find_pattern.h"
#include "platform/automation/variant.h"

namespace wux::platform::automation {
namespace {

// A flat text where '#' stands for a barrier.
class FlatText : public TextSource
{
public:
    explicit FlatText(std::u16string text) : text_(std::move(text)) {}
    std::size_t length() const override { return text_.size(); }
    char16_t at(std::size_t pos) const override { return text_[pos] == u'#' ? kBarrierChar : text_[pos]; }
    bool isBarrier(std::size_t pos) const override { return text_[pos] == u'#'; }

private:
    std::u16string text_;
};

enum Flags
{
    kCase = 1,
    kWild = 2,
    kWhole = 4,
};

struct Case
{
    const char16_t* pattern;
    int flags;
    const char16_t* text;
    int start; // -1: no hit
    int end;
};

TEST(FindPattern, FindsTheLeftmostHit)
{
    const Case cases[] = {
        // Literal text and case folding.
        {u"ab", 0, u"xxABab", 2, 4},
        {u"ab", kCase, u"xxABab", 4, 6},
        {u"\u00e9t\u00e9", 0, u"L'\u00c9T\u00c9", 2, 5},
        {u"a", 0, u"#a", 1, 2},
        {u"a#b", 0, u"a#b", -1, 0}, // a barrier never matches
        // Whole words.
        {u"cat", kWhole, u"concat cat.", 7, 10},
        {u"cat", kWhole, u"cats#cat#", 5, 8},
        {u"cat", kWhole, u"cat_x\tcat", 6, 9},
        {u"a b", kWhole, u"xa b a b", 5, 8},
        // Caret codes.
        {u"a^pb", 0, u"xa\rb", 1, 4},
        {u"^13", 0, u"ab\r", 2, 3},
        {u"a^tb", 0, u"a\tb", 0, 3},
        {u"^^", 0, u"a^b", 1, 2},
        {u"x^?z", 0, u"xyz", 0, 3},
        {u"^#^#", 0, u"a1b22", 3, 5},
        {u"^$", 0, u"12\u00e9", 2, 3},
        {u"a^wb", 0, u"a \t\u00a0 b", 0, 6},
        {u"^l^m", 0, u"x\v\f", 1, 3},
        {u"^s^~^-", 0, u"\u00a0\x1e\x1f", 0, 3},
        {u"^+^=", 0, u"\u2014\u2013", 0, 2},
        {u"^065^u8364", kCase, u"xA\u20ac", 1, 3},
        {u"^97", kCase, u"Aa", 1, 2},
        // Wildcards.
        {u"b?d", kWild, u"abcd", 1, 4},
        {u"a*d", kWild, u"xabcdd", 1, 5},  // shortest
        {u"a*d", kWild, u"ab\rcd", -1, 0}, // never across a paragraph mark
        {u"[a-c]@", kWild, u"xxbcaz", 2, 5},
        {u"[!a-c]", kWild, u"abcz", 3, 4},
        {u"[A-Z]", kWild, u"abC", 0, 1}, // not case-sensitive: matches either case
        {u"[A-Z]", kWild | kCase, u"abC", 2, 3},
        {u"lo@t", kWild, u"lt lot loot", 3, 6},
        {u"a{2}", kWild, u"a aa", 2, 4},
        {u"a{2,}", kWild, u"aaaa", 0, 4},
        {u"a{1,2}b", kWild, u"aaab", 1, 4},
        {u"<cat>", kWild, u"concat cat", 7, 10},
        {u"(ab)@c", kWild, u"xababc", 1, 6},
        {u"(ab){2}", kWild, u"ab abab", 3, 7},
        {u"\\*", kWild, u"a*b", 1, 2},
        {u"a^tb", kWild, u"a\tb", 0, 3},
        {u"^13", kWild, u"a\r", 1, 2},
        {u"<*>", kWild, u" ab cd", 1, 3},
    };
    for (const Case& c : cases) {
        const FindPattern pattern(c.pattern, c.flags & kCase, c.flags & kWhole, c.flags & kWild);
        const FlatText text(c.text);
        std::size_t start = 0, end = 0;
        const bool found = pattern.find(text, 0, text.length(), start, end);
        if (c.start < 0) {
            EXPECT_FALSE(found) << "pattern index " << (&c - cases);
        } else {
            EXPECT_TRUE(found) << "pattern index " << (&c - cases);
            EXPECT_EQ(start, static_cast<std::size_t>(c.start)) << "pattern index " << (&c - cases);
            EXPECT_EQ(end, static_cast<std::size_t>(c.end)) << "pattern index " << (&c - cases);
        }
    }
}

TEST(FindPattern, HitsLieWithinTheLimit)
{
    const FindPattern pattern(u"ab", false, false, false);
    const FlatText text(u"xab ab");
    std::size_t start = 0, end = 0;
    EXPECT_FALSE(pattern.find(text, 0, 2, start, end)); // "ab" straddles the limit
    EXPECT_TRUE(pattern.find(text, 2, 6, start, end));
    EXPECT_EQ(start, 4u);
    const FindPattern empty(u"a*", false, false, true);
    EXPECT_TRUE(empty.find(text, 0, 6, start, end));
    EXPECT_EQ(end - start, 1u); // never an empty hit
}

TEST(FindPattern, InvalidPatternsRaise)
{
    const struct
    {
        const char16_t* pattern;
        bool wildcards;
    } cases[] = {
        {u"^x", false},   {u"^", false},  {u"a^&", false}, {u"^0", false}, {u"^u", false}, {u"[a", true},
        {u"a]", true},    {u"(ab", true}, {u"ab)", true},  {u"@a", true},  {u"a{2", true}, {u"a{3,1}", true},
        {u"[z-a]", true}, {u"a\\", true}, {u"^p", true},   {u"*@", true},  {u"<@", true},  {u"()", true},
    };
    for (const auto& c : cases)
        EXPECT_THROW(FindPattern(c.pattern, false, false, c.wildcards), AutomationError)
            << static_cast<int>(&c - cases);
}

TEST(FindPattern, RunawayPatternsRaiseInsteadOfHanging)
{
    const FindPattern pattern(u"((a@)@)@b", true, false, true);
    const FlatText text(std::u16string(40, u'a'));
    std::size_t start = 0, end = 0;
    EXPECT_THROW(pattern.find(text, 0, text.length(), start, end), AutomationError);
}

} // namespace
} // namespace wux::platform::automation
