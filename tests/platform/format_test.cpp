#include "platform/format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace wux::platform {
namespace {

struct Good
{
    std::string templ;
    std::vector<FormatArg> args;
    std::string expected;
};

TEST(Format, FormatsConversionsWidthsAndFlags)
{
    const std::vector<Good> cases = {
        {"%s of %s k in %d of %d files selected",
         {"1 234", "5 678", 3, 10},
         "1 234 of 5 678 k in 3 of 10 files selected"},
        {"no conversions", {}, "no conversions"},
        {"", {}, ""},
        {"100%%", {}, "100%"},
        {"%%s", {}, "%s"},
        {"[%5s]", {"ab"}, "[   ab]"},
        {"[%-5s]", {"ab"}, "[ab   ]"},
        {"[%05s]", {"ab"}, "[   ab]"}, // "0" pads numbers only
        {"[%2s]", {"abcd"}, "[abcd]"}, // a width never cuts
        {"[%5d]", {42}, "[   42]"},
        {"[%-5d]", {42}, "[42   ]"},
        {"[%05d]", {42}, "[00042]"},
        {"[%05d]", {-42}, "[-0042]"},
        {"[%-05d]", {-42}, "[-42  ]"}, // "-" wins over "0"
        {"[%d]", {std::numeric_limits<std::int64_t>::min()}, "[-9223372036854775808]"},
        {"[%u]", {std::numeric_limits<std::uint64_t>::max()}, "[18446744073709551615]"},
        {"[%d]", {std::numeric_limits<std::uint64_t>::max()}, "[18446744073709551615]"},
        {"[%u]", {7}, "[7]"},
        {"[%x]", {255u}, "[ff]"},
        {"[%X]", {0xBEEFu}, "[BEEF]"},
        {"[%08x]", {0xBEEFu}, "[0000beef]"},
        {"[%d]", {0}, "[0]"},
        {"%s", {std::string("caf\xC3\xA9")}, "caf\xC3\xA9"},
        {"%s", {std::string_view("view")}, "view"},
        {"%s%%%s", {"a", "b"}, "a%b"},
        {"%1024d", {1}, std::string(1023, ' ') + "1"}, // the largest width allowed
    };
    for (const Good& c : cases) {
        FormatError error = FormatError::WrongKind;
        const std::optional<std::string> text = formatText(c.templ, c.args, &error);
        ASSERT_TRUE(text.has_value()) << c.templ;
        EXPECT_EQ(*text, c.expected) << c.templ;
        EXPECT_EQ(error, FormatError::None);
    }
}

struct Bad
{
    std::string templ;
    std::vector<FormatArg> args;
    FormatError error;
};

TEST(Format, TemplatesThatDoNotFitTheirArgumentsAreReported)
{
    const std::vector<Bad> cases = {
        {"%s%s%s%n", {"a", "b", "c"}, FormatError::UnknownConversion},
        {"%s%s%s", {"a"}, FormatError::TooFewArguments},
        {"%", {}, FormatError::UnknownConversion},
        {"50%", {}, FormatError::UnknownConversion},
        {"%-", {}, FormatError::UnknownConversion},
        {"%5", {1}, FormatError::UnknownConversion},
        {"%99999d", {1}, FormatError::WidthTooLarge},
        {"%1025s", {"a"}, FormatError::WidthTooLarge},
        {"%99999999999999999999d", {1}, FormatError::WidthTooLarge},
        {"%d", {}, FormatError::TooFewArguments},
        {"%d", {1, 2}, FormatError::TooManyArguments},
        {"plain", {"x"}, FormatError::TooManyArguments},
        {"%d", {"text"}, FormatError::WrongKind},
        {"%s", {5}, FormatError::WrongKind},
        {"%u", {-1}, FormatError::WrongKind},
        {"%x", {-1}, FormatError::WrongKind},
        {"%p", {1}, FormatError::UnknownConversion},
        {"%i", {1}, FormatError::UnknownConversion},
        {"%.2s", {"a"}, FormatError::UnknownConversion},
        {"%*d", {3, 1}, FormatError::UnknownConversion},
        {"%0:s", {"a"}, FormatError::UnknownConversion},
        {"%ls", {"a"}, FormatError::UnknownConversion},
        {"%5%", {}, FormatError::UnknownConversion},
        {"%s %n", {"a"}, FormatError::UnknownConversion},
    };
    for (const Bad& c : cases) {
        FormatError error = FormatError::None;
        EXPECT_FALSE(formatText(c.templ, c.args, &error).has_value()) << c.templ;
        EXPECT_EQ(error, c.error) << c.templ;
    }
}

TEST(Format, TryFormatTakesItsArgumentsInline)
{
    EXPECT_EQ(tryFormat("%d files", {46}), "46 files");
    EXPECT_EQ(tryFormat("%d files", {}), std::nullopt);
    const std::string name = "report.txt";
    EXPECT_EQ(tryFormat("file \"%s\"", {name}), "file \"report.txt\"");
}

TEST(Format, FormatOrFallsBackToTheEnglishTemplate)
{
    const std::string english = "File %s\r\n%s\r\nOverwrite?";
    // A translation that fits.
    EXPECT_EQ(formatOr("Datei %s\r\n%s\r\n\xC3\x9C"
                       "berschreiben?",
                       english, {"a.txt", "is READ ONLY!"}),
              "Datei a.txt\r\nis READ ONLY!\r\n\xC3\x9C"
              "berschreiben?");
    // Hostile or broken translations: the English text is used.
    for (const std::string translated : {"%s%s%s%n", "%", "%99999d", "%s", "%d %s", "Datei %s %s %s"}) {
        EXPECT_EQ(formatOr(translated, english, {"a.txt", "is READ ONLY!"}),
                  "File a.txt\r\nis READ ONLY!\r\nOverwrite?")
            << translated;
    }
    // Even an English template that does not fit gives a text.
    EXPECT_EQ(formatOr("%n", "%d of %d", {1}), "%d of %d");
}

} // namespace
} // namespace wux::platform
