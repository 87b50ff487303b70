#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <string>
#include <utility>
#include <vector>

namespace wux::platform {
namespace {

// The UTF-8 text of one CP437 byte, as the C library's converter reads it.
std::string cp437ToUtf8ByIconv(unsigned char byte)
{
    iconv_t cd = iconv_open("UTF-8", "CP437");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return {};
    }
    char in[1] = {static_cast<char>(byte)};
    char out[8] = {};
    char* inPtr = in;
    char* outPtr = out;
    std::size_t inLeft = 1;
    std::size_t outLeft = sizeof out;
    const std::size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (done == static_cast<std::size_t>(-1)) {
        return {};
    }
    return std::string(out, sizeof out - outLeft);
}

TEST(Cp437, EveryCharacterOfTheCodePageGetsItsOwnByte)
{
    for (int b = 0; b < 256; ++b) {
        const std::string character = cp437ToUtf8ByIconv(static_cast<unsigned char>(b));
        if (character.empty()) {
            GTEST_SKIP() << "the C library has no CP437 converter";
        }
        EXPECT_EQ(toCp437(character), std::string(1, static_cast<char>(b))) << "byte " << b;
    }
}

TEST(Cp437, BestFitsForCharactersTheCodePageLacks)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Hello, World!\t\r\n", "Hello, World!\t\r\n"},
        {"\xC5\x91", "o"}, // ő: the letter without its accent
        {"\xC4\x80"
         "bc",
         "Abc"},                                          // Ā
        {"\xC7\xBA", "\x8F"},                             // Ǻ: Å, which the code page has
        {"\xEF\xBC\xA1\xEF\xBD\x9A", "Az"},               // fullwidth Ａｚ
        {"\xC2\xB9", "1"},                                // superscript one
        {"\xE2\x80\x9Cquoted\xE2\x80\x9D", "\"quoted\""}, // “quoted”
        {"it\xE2\x80\x99s", "it's"},
        {"a\xE2\x80\x93"
         "b\xE2\x80\x94"
         "c",
         "a-b-c"}, // en and em dash
        {"\xE2\x80\xA6", "."},
        {"\xC3\x98\xC3\xB8\xC5\x81", "OoL"},                          // Øø Ł
        {"\xCE\xB2\xC2\xB5\xCE\xBC\xE2\x84\xA6", "\xE1\xE6\xE6\xEA"}, // β µ μ Ω (ohm sign)
        {"e\xCC\x81", "\x82"},                                        // e + combining acute composes to é
        {"q\xCC\x81", "q"},                                           // an accent without a composed form
        {"\xE2\x82\xAC", "?"},                                        // €
        {"\xF0\x9F\x98\x80", "?"},                                    // emoji
        {"\xEF\xAC\x81", "?"},                                        // ligature ﬁ: two letters, no fit
        {"\xC2\xB4", "'"},                                            // spacing acute
        {"a\xFF"
         "b\xE2\x82"
         "c",
         "a?b?c"}, // ill-formed bytes
        {"", ""},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(toCp437(in), out) << testing::PrintToString(in);
    }
}

TEST(Cp437, SingleCharacters)
{
    EXPECT_EQ(cp437ByteOf(U'A'), 'A');
    EXPECT_EQ(cp437ByteOf(0x00E9), '\x82');
    EXPECT_EQ(cp437ByteOf(0x00A0), '\xFF');
    EXPECT_EQ(cp437ByteOf(0x0151), 'o');
    EXPECT_EQ(cp437ByteOf(0x20AC), std::nullopt);
    EXPECT_EQ(cp437ByteOf(0x110000), std::nullopt);
}

} // namespace
} // namespace wux::platform
