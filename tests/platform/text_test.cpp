#include "platform/text.h"

#include <QString>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace wux::platform {
namespace {

// ---- Byte case mapping ----

TEST(ByteCase, OnlyAsciiLettersChangeAndNoHighByteIsTouched)
{
    for (int b = 0; b < 256; ++b) {
        const auto c = static_cast<char>(b);
        const char upper = (b >= 'a' && b <= 'z') ? static_cast<char>(b - 32) : c;
        const char lower = (b >= 'A' && b <= 'Z') ? static_cast<char>(b + 32) : c;
        EXPECT_EQ(byteToUpper(c), upper) << b;
        EXPECT_EQ(byteToLower(c), lower) << b;
    }
}

TEST(ByteCase, StringsKeepLengthAndMultiByteCharacters)
{
    // "é" (C3 A9), "É" (C3 89) and "ä" stay as they are; positions never shift.
    const std::string text = "Caf\xC3\xA9 \xC3\x89t\xC3\xA4 xyz-ABC\xFF";
    EXPECT_EQ(bytesToUpper(text), "CAF\xC3\xA9 \xC3\x89T\xC3\xA4 XYZ-ABC\xFF");
    EXPECT_EQ(bytesToLower(text), "caf\xC3\xA9 \xC3\x89t\xC3\xA4 xyz-abc\xFF");
    EXPECT_EQ(bytesToUpper(std::string("a\0b", 3)), std::string("A\0B", 3));
}

TEST(ByteCase, BuffersChangeOnlyTheGivenRange)
{
    std::string buffer = "abcdEFGH";
    bufferToUpper(buffer.data(), 3);
    EXPECT_EQ(buffer, "ABCdEFGH");
    bufferToLower(buffer.data() + 4, 2);
    EXPECT_EQ(buffer, "ABCdefGH");
}

// ---- UTF-8 decoding ----

TEST(Utf8, DecodesEveryCodePointLikeQt)
{
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFEFF) { // Qt drops a leading byte-order mark
            continue;
        }
        std::string encoded;
        appendUtf8(encoded, cp);
        const QByteArray qt = QString::fromUcs4(&cp, 1).toUtf8();
        ASSERT_EQ(encoded, std::string(qt.constData(), static_cast<std::size_t>(qt.size())))
            << static_cast<unsigned>(cp);
        const Utf8Char decoded = decodeUtf8(encoded, 0);
        ASSERT_TRUE(decoded.valid) << static_cast<unsigned>(cp);
        ASSERT_EQ(decoded.codePoint, cp);
        ASSERT_EQ(decoded.length, encoded.size());
    }
}

TEST(Utf8, SurrogatesAndValuesBeyondUnicodeEncodeAsReplacement)
{
    std::string out;
    appendUtf8(out, 0xD800);
    appendUtf8(out, 0x110000);
    EXPECT_EQ(out, "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(Utf8, IllFormedSequencesTakeTheirMaximalPrefix)
{
    struct Case
    {
        std::string bytes;
        int length;
    };
    const std::vector<Case> cases = {
        {"\x80", 1},             // lone continuation byte
        {"\xC0\xAF", 1},         // overlong lead byte
        {"\xC3", 1},             // truncated at the end
        {"\xE2\x82", 2},         // truncated three-byte character
        {"\xE2\x82x", 2},        // broken by an ASCII byte
        {"\xE0\x80\x80", 1},     // overlong three-byte form
        {"\xED\xA0\x80", 1},     // encoded surrogate
        {"\xF0\x9F\x98", 3},     // truncated four-byte character
        {"\xF4\x90\x80\x80", 1}, // above U+10FFFF
        {"\xF5\x80\x80\x80", 1}, // invalid lead byte
        {"\xFF", 1},
    };
    for (const Case& c : cases) {
        const Utf8Char ch = decodeUtf8(c.bytes, 0);
        EXPECT_FALSE(ch.valid) << testing::PrintToString(c.bytes);
        EXPECT_EQ(ch.codePoint, 0xFFFDu);
        EXPECT_EQ(ch.length, c.length) << testing::PrintToString(c.bytes);
        EXPECT_FALSE(isValidUtf8(c.bytes));
    }
    const Utf8Char pastEnd = decodeUtf8("ab", 2);
    EXPECT_FALSE(pastEnd.valid);
    EXPECT_EQ(pastEnd.length, 1);
    EXPECT_TRUE(isValidUtf8("plain \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"));
}

// ---- UTF-8 <-> UTF-16 ----

TEST(Utf8Utf16, ConvertsValidTextBothWays)
{
    const std::string utf8 = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";
    const std::u16string utf16 = u"a\u00E9\u20AC\U0001F600z";
    EXPECT_EQ(utf8ToUtf16(utf8), utf16);
    EXPECT_EQ(utf16ToUtf8(utf16), utf8);
    EXPECT_EQ(toQString(utf8), QString::fromUtf16(utf16.data(), static_cast<qsizetype>(utf16.size())));
    EXPECT_EQ(toUtf8(toQString(utf8)), utf8);
    EXPECT_EQ(utf8ToUtf16(""), u"");
    EXPECT_EQ(toUtf8(QString()), "");
}

TEST(Utf8Utf16, InvalidBytesBecomeReplacementCharactersAndTheRestSurvives)
{
    struct Case
    {
        std::string utf8;
        std::u16string utf16;
    };
    const std::vector<Case> cases = {
        {"a\xFF"
         "b",
         u"a\uFFFDb"},
        {"\xE2\x82x\xC3\xA9", u"\uFFFDx\u00E9"},
        {"\xED\xA0\x80!", u"\uFFFD\uFFFD\uFFFD!"},
        {"\xC0\xAF", u"\uFFFD\uFFFD"},
        {"ok\xF0\x9F\x98", u"ok\uFFFD"},
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf8ToUtf16(c.utf8), c.utf16) << testing::PrintToString(c.utf8);
        EXPECT_EQ(toQString(c.utf8),
                  QString::fromUtf16(c.utf16.data(), static_cast<qsizetype>(c.utf16.size())));
    }
}

TEST(Utf8Utf16, UnpairedSurrogatesBecomeReplacementCharacters)
{
    EXPECT_EQ(utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(utf16ToUtf8(u"x\xDC00"), "x\xEF\xBF\xBD");
    EXPECT_EQ(utf16ToUtf8(u"\xDC00\xD800"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(utf16ToUtf8(u"\xD83D\xDE00"), "\xF0\x9F\x98\x80");
}

TEST(Utf8Utf16, RandomBytesNeverCrashAndAlwaysGiveValidText)
{
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(static_cast<std::size_t>(round % 40), '\0');
        for (char& c : bytes) {
            // Mostly high bytes, so that every kind of broken sequence occurs.
            c = static_cast<char>(round % 3 == 0 ? byte(random) : 0x80 + byte(random) % 0x78);
        }
        const std::u16string wide = utf8ToUtf16(bytes);
        const std::string back = utf16ToUtf8(wide);
        ASSERT_TRUE(isValidUtf8(back));
        ASSERT_EQ(back == bytes, isValidUtf8(bytes));
        ASSERT_EQ(toQString(bytes), QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size())));
    }
}

// ---- Case-insensitive comparison ----

TEST(NoCase, EqualityIsSimpleCaseFolding)
{
    struct Case
    {
        std::string a;
        std::string b;
        bool equal;
    };
    const std::vector<Case> cases = {
        {"readme.TXT", "README.txt", true},
        {"\xC3\x84rger", "\xC3\xA4RGER", true}, // Ärger / äRGER
        {"stra\xC3\x9F"
         "e",
         "STRA\xE1\xBA\x9E"
         "E",
         true}, // ß and capital ẞ
        {"stra\xC3\x9F"
         "e",
         "STRASSE", false},                                             // no full folding
        {"\xCE\xA3\xCE\x91\xCE\xA3", "\xCF\x83\xCE\xB1\xCF\x82", true}, // ΣΑΣ / σας (final sigma)
        {"\xE2\x84\xAA", "k", true},                                    // Kelvin sign
        {"\xF0\x90\x90\x80", "\xF0\x90\x90\xA8", true},                 // Deseret capital / small long I
        {"\xF0\x9E\xA4\x80", "\xF0\x9E\xA4\xA2", true},                 // Adlam capital / small alif
        {"\xC4\xB0", "i", false},                                       // İ folds to itself
        {"abc", "abd", false},
        {"ab", "abc", false},
        {"", "", true},
        {"\xFF"
         "A",
         "\xFF"
         "a",
         true},
        {"\xFF", "\xFE", false},
        {"\xFF", "\xEF\xBF\xBD", false}, // a broken byte is not U+FFFD
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.a) + " / " + testing::PrintToString(c.b));
        EXPECT_EQ(equalNoCase(c.a, c.b), c.equal);
        EXPECT_EQ(equalNoCase(c.b, c.a), c.equal);
        EXPECT_EQ(compareFolded(c.a, c.b) == 0, c.equal);
        EXPECT_EQ(foldCase(c.a) == foldCase(c.b), c.equal);
    }
}

TEST(NoCase, OrderFoldsFirstAndBreaksTiesByBytes)
{
    struct Case
    {
        std::string a;
        std::string b;
        int sign;
    };
    const std::vector<Case> cases = {
        {"a", "B", -1}, // bytes alone would put "B" first
        {"B", "a", 1},
        {"_", "A", -1}, // "A" compares as "a", after "_"
        {"A", "a", -1}, // only case differs: bytes decide
        {"a", "A", 1},
        {"abc", "ABD", -1},
        {"ab", "AB ", -1},
        {"\xC3\xA9", "F", 1},         // é after f
        {"\xC3\x89", "\xC3\xA9", -1}, // É before é
        {"\xE2\x84\xAA", "K", 1},     // Kelvin sign and K fold alike; bytes E2 > 4B
        {"\xFF", "\xEF\xBF\xBF", 1},  // a broken byte after every character
        {"x\xFF", "x\xFE", 1},
        {"same", "same", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.a) + " / " + testing::PrintToString(c.b));
        EXPECT_EQ(compareNoCase(c.a, c.b), c.sign);
        EXPECT_EQ(compareNoCase(c.b, c.a), -c.sign);
        EXPECT_EQ(lessNoCase(c.a, c.b), c.sign < 0);
    }
}

TEST(NoCase, IsOneTotalOrderAgreeingWithFoldedOrder)
{
    const std::vector<std::string> names = {
        "a",
        "A",
        "b",
        "B",
        "_",
        "ab",
        "aB",
        "Ab",
        "AB",
        "abc",
        "",
        "\xC3\xA9",
        "\xC3\x89",
        "e",
        "E",
        "f",
        "stra\xC3\x9F"
        "e",
        "STRA\xE1\xBA\x9E"
        "E",
        "strasse",
        "\xE2\x84\xAA",
        "k",
        "K",
        "\xCE\xA3",
        "\xCF\x83",
        "\xCF\x82",
        "\xF0\x90\x90\x80",
        "\xF0\x90\x90\xA8",
        "\xFF",
        "\xFE",
        "\xFF"
        "a",
        "\xFF"
        "A",
        "\xEF\xBF\xBD",
        "\xE2\x82",
        "\xE2\x82\xAC",
    };
    for (const std::string& a : names) {
        for (const std::string& b : names) {
            const int ab = compareNoCase(a, b);
            ASSERT_EQ(ab, -compareNoCase(b, a));
            ASSERT_EQ(ab == 0, a == b);
            const int folded = compareFolded(a, b);
            if (folded != 0) {
                ASSERT_EQ(ab, folded); // the total order refines the folded order
            }
            for (const std::string& c : names) {
                if (ab < 0 && compareNoCase(b, c) < 0) {
                    ASSERT_LT(compareNoCase(a, c), 0)
                        << testing::PrintToString(a) << testing::PrintToString(c);
                }
            }
        }
    }
    // In a sorted list, a binary search by the folded order finds exactly the case variants of a key.
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end(), LessNoCase());
    const auto range =
        std::equal_range(sorted.begin(), sorted.end(), std::string("AB"),
                         [](const std::string& x, const std::string& y) { return compareFolded(x, y) < 0; });
    EXPECT_EQ(std::vector<std::string>(range.first, range.second),
              (std::vector<std::string>{"AB", "Ab", "aB", "ab"}));
}

// The folded characters of a text decoded one by one from its start (a broken byte counts as itself,
// after every character).
std::vector<std::uint32_t> foldedSequence(std::string_view text)
{
    std::vector<std::uint32_t> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const Utf8Char ch = decodeUtf8(text, pos);
        if (ch.valid) {
            out.push_back(foldCodePoint(ch.codePoint));
            pos += ch.length;
        } else {
            out.push_back(0x110000 + static_cast<unsigned char>(text[pos]));
            ++pos;
        }
    }
    return out;
}

TEST(NoCase, RandomTextsCompareLikeTheirFoldedCharacters)
{
    // Pieces that share lead bytes, broken sequences and characters that fold across byte lengths.
    const std::vector<std::string> pieces = {"a",
                                             "A",
                                             "k",
                                             "K",
                                             "\xE2\x84\xAA",
                                             "\xC3\x84",
                                             "\xC3\xA4",
                                             "\xC3",
                                             "\xA4",
                                             "\x84",
                                             "\xE2\x84",
                                             "\xF0\x90\x90\x80",
                                             "\xF0\x90\x90\xA8",
                                             "\xF0\x90",
                                             "\xCF\x82",
                                             "\xCF\x83",
                                             "\xCE\xA3",
                                             "\xFF",
                                             "_"};
    std::mt19937 random(7);
    const auto makeText = [&] {
        std::string text;
        const int count = static_cast<int>(random() % 6);
        for (int i = 0; i < count; ++i) {
            text += pieces[random() % pieces.size()];
        }
        return text;
    };
    for (int round = 0; round < 20'000; ++round) {
        const std::string a = makeText();
        const std::string b = (round % 2 == 0) ? makeText() : a.substr(0, a.size() / 2) + makeText();
        const std::vector<std::uint32_t> fa = foldedSequence(a);
        const std::vector<std::uint32_t> fb = foldedSequence(b);
        const int expected = fa < fb ? -1 : (fb < fa ? 1 : 0);
        ASSERT_EQ(compareFolded(a, b), expected)
            << testing::PrintToString(a) << " / " << testing::PrintToString(b);
        ASSERT_EQ(equalNoCase(a, b), expected == 0);
        ASSERT_EQ(foldCase(a) == foldCase(b), expected == 0);
        const int bytes = a.compare(b);
        ASSERT_EQ(compareNoCase(a, b), expected != 0 ? expected : (bytes < 0 ? -1 : (bytes > 0 ? 1 : 0)));
    }
}

TEST(NoCase, FoldedFormIsUtf8OfTheFoldedCharacters)
{
    EXPECT_EQ(foldCase("ReadMe.TXT"), "readme.txt");
    EXPECT_EQ(foldCase("\xC3\x84\xE2\x84\xAA\xE1\xBA\x9E"), "\xC3\xA4k\xC3\x9F"); // ÄKẞ -> äkß
    EXPECT_EQ(foldCase("A\xFF"
                       "B\xE2\x82"),
              "a\xFF"
              "b\xE2\x82");
    EXPECT_EQ(foldCodePoint(U'A'), U'a');
    EXPECT_EQ(foldCodePoint(0x10400), 0x10428u);
    EXPECT_EQ(foldCodePoint(0x1FBC), 0x1FB3u);
}

// ---- Display case mapping ----

// The characters that simple case folding makes equal, in code point order; dotless "ı" and dotted
// "İ" fold to themselves, so they are their own only variants.
TEST(CaseForms, VariantsOfACharacter)
{
    const struct
    {
        char32_t codePoint;
        std::vector<char32_t> variants;
    } cases[] = {
        {U'k', {U'K', U'k', 0x212A}},
        {0x212A, {U'K', U'k', 0x212A}},
        {U'S', {U'S', U's', 0x17F}},
        {0x1E9E, {0xDF, 0x1E9E}},
        {0x3B8, {0x398, 0x3B8, 0x3D1, 0x3F4}},
        {0x3C2, {0x3A3, 0x3C2, 0x3C3}},
        {0x131, {0x131}},
        {0x130, {0x130}},
        {U'1', {U'1'}},
        {0xD800, {0xD800}},
        {0x110000, {0x110000}},
    };
    for (const auto& c : cases) {
        const CaseVariants variants = caseVariants(c.codePoint);
        EXPECT_EQ(std::vector<char32_t>(variants.chars.begin(), variants.chars.begin() + variants.count),
                  c.variants)
            << std::hex << static_cast<std::uint32_t>(c.codePoint);
    }
}

TEST(CaseForms, AsciiVariantsAreEveryCharacterThatFoldsAlike)
{
    // ASCII characters take a short way; it must agree with a look at every character.
    std::vector<std::vector<char32_t>> expected(0x80);
    for (char32_t cp = 0; cp <= 0x1FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;
        const char32_t folded = foldCodePoint(cp);
        if (folded >= 0x80)
            continue;
        for (char32_t ascii = 0; ascii < 0x80; ++ascii)
            if (foldCodePoint(ascii) == folded)
                expected[ascii].push_back(cp);
    }
    for (char32_t ascii = 0; ascii < 0x80; ++ascii) {
        const CaseVariants variants = caseVariants(ascii);
        EXPECT_EQ(std::vector<char32_t>(variants.chars.begin(), variants.chars.begin() + variants.count),
                  expected[ascii])
            << static_cast<std::uint32_t>(ascii);
    }
}

TEST(CaseForms, SimpleCaseOfEachCharacterWithOrWithoutItsLength)
{
    // "Été ẞ K": "ẞ" lowers to "ß" (3 bytes to 2), the Kelvin sign to "k" (3 to 1).
    const std::string text = "\xC3\x89t\xC3\xA9 \xE1\xBA\x9E \xE2\x84\xAA\xFF";
    EXPECT_EQ(simpleLower(text, false), "\xC3\xA9t\xC3\xA9 \xC3\x9F k\xFF");
    EXPECT_EQ(simpleLower(text, true), "\xC3\xA9t\xC3\xA9 \xE1\xBA\x9E \xE2\x84\xAA\xFF");
    EXPECT_EQ(simpleUpper(text, true), "\xC3\x89T\xC3\x89 \xE1\xBA\x9E \xE2\x84\xAA\xFF");
    EXPECT_EQ(simpleUpper("\xC4\xB1", false), "I");
    EXPECT_EQ(simpleUpper("\xC4\xB1", true), "\xC4\xB1");
}

TEST(DisplayCase, UsesFullUnicodeMapping)
{
    EXPECT_EQ(displayUpper("stra\xC3\x9F"
                           "e"),
              "STRASSE");
    EXPECT_EQ(displayUpper("\xC3\xA9t\xC3\xA9"), "\xC3\x89T\xC3\x89");
    EXPECT_EQ(displayLower("\xC3\x80\xC3\x89\xC3\x8E Abc"), "\xC3\xA0\xC3\xA9\xC3\xAE abc");
    EXPECT_EQ(displayUpper("\xF0\x90\x90\xA8"), "\xF0\x90\x90\x80");
    EXPECT_EQ(displayUpper("abc\xFF\xC3\xA9"), "ABC\xFF\xC3\x89"); // a broken byte stays
    EXPECT_EQ(displayLower("ABC"), "abc");
}

TEST(DisplayCase, CapitaliseTitleCasesTheFirstCharacterAndLowersTheRest)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"README.TXT", "Readme.txt"},
        {"\xC3\x89"
         "COLE",
         "\xC3\x89"
         "cole"}, // ÉCOLE -> École
        {"\xC3\xA9"
         "cole",
         "\xC3\x89"
         "cole"},
        {"\xC7\x86"
         "EMAL",
         "\xC7\x85"
         "emal"}, // ǆ -> title case ǅ, not Ǆ
        {"\xC3\x9F"
         "A",
         "Ssa"}, // ß has no single upper case
        {"", ""},
        {"1ABC", "1abc"},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(displayCapitalise(in), out) << in;
    }
}

TEST(DisplayCase, CapitaliseWordsAfterSeparators)
{
    EXPECT_EQ(displayCapitaliseWords("my old file"), "My Old File");
    EXPECT_EQ(displayCapitaliseWords("MY  OLD-FILE \xC3\xA9t\xC3\xA9"), "My  Old-file \xC3\x89t\xC3\xA9");
    EXPECT_EQ(displayCapitaliseWords("C:\\PROGRAM FILES\\DATA", "\\", false), "c:\\Program files\\Data");
    EXPECT_EQ(displayCapitaliseWords("a_b c", "_ "), "A_B C");
}

} // namespace
} // namespace wux::platform

namespace wux::platform {
namespace {

TEST(WordDelimiters, ExactlyTheThirtyFourCharacters)
{
    const std::string expected = std::string("\r\n !\"#$%&'()*+,-./:;<=>?@]\\[^`}|{~");
    ASSERT_EQ(expected.size(), 34u);
    EXPECT_EQ(std::string(kWordDelimiters, 34), expected);
    int count = 0;
    for (char32_t c = 0; c < 0x20000; ++c)
        if (isWordDelimiterChar(c)) {
            ++count;
            EXPECT_NE(expected.find(static_cast<char>(c)), std::string::npos) << std::uint32_t(c);
        }
    EXPECT_EQ(count, 34);
    for (char32_t c : {U'\t', U'_', U'0', U'9', U'a', U'Z', char32_t(0x80), char32_t(0xFF), U'\u00A0'})
        EXPECT_FALSE(isWordDelimiterChar(c)) << std::uint32_t(c);
}

} // namespace
} // namespace wux::platform
