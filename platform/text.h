// Text services of the program's 8-bit texts (UTF-8 bytes) and wide texts (UTF-16).
//
// Four kinds of case handling, each for its own purpose:
// - byte case mapping (`bytesToUpper`, `bufferToLower`, ...): ASCII letters only, positions kept; for the
//   patterns made of ASCII letters only, the engines' own markers and the byte buffers of the search forms;
// - case forms of one character (`utf8CaseForms`): every byte form of a character under Unicode simple
//   case folding; what the matchers that ignore case compare with (name masks, content search, the
//   Replacer's and Batch Replacer's find texts, the Renamer's find and replace);
// - case-insensitive comparison of names and paths: Unicode simple case folding of the decoded
//   characters. `compareNoCase` / `lessNoCase` give the one total order for sorting, merging and binary
//   searches; `equalNoCase` / `compareFolded` answer "the same name ignoring case";
// - display case mapping (`displayUpper`, `displayCapitalise`, ...): full Unicode mapping, for texts that
//   are only shown or that become new names (never for comparisons).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class QString;

namespace wux::platform {

// ---- Byte case mapping (ASCII letters only; bytes 0x80 and above are never touched) ----

// 'a'-'z' to 'A'-'Z'; every other byte unchanged.
constexpr char byteToUpper(char c) noexcept
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
}
// 'A'-'Z' to 'a'-'z'; every other byte unchanged.
constexpr char byteToLower(char c) noexcept
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}
// True for the ASCII digits '0'-'9'.
constexpr bool isAsciiDigit(char c) noexcept
{
    return c >= '0' && c <= '9';
}
// The value of one hexadecimal digit ('0'-'9', 'a'-'f', 'A'-'F'), or -1 for any other byte.
constexpr int hexDigitValue(char c) noexcept
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
// The 34 characters that end or start a word in every whole-word test, in table order: CR, LF, blank
// and the ASCII punctuation. Tab, "_", digits, letters and everything from 0x80 on are word characters.
inline constexpr char kWordDelimiters[34] = {13,  10,  ' ',  '!', '"', '#', '$', '%', '&', '\'', '(', ')',
                                             '*', '+', ',',  '-', '.', '/', ':', ';', '<', '=',  '>', '?',
                                             '@', ']', '\\', '[', '^', '`', '}', '|', '{', '~'};

// True when the character (a byte, or a UTF-16/UTF-32 unit) is one of kWordDelimiters.
namespace detail {
constexpr std::uint64_t wordDelimiterMask(unsigned half) noexcept
{
    std::uint64_t mask = 0;
    for (char d : kWordDelimiters)
        if (static_cast<unsigned char>(d) / 64 == half)
            mask |= std::uint64_t{1} << (static_cast<unsigned char>(d) % 64);
    return mask;
}
inline constexpr std::uint64_t kWordDelimiterMask[2] = {wordDelimiterMask(0), wordDelimiterMask(1)};
} // namespace detail
constexpr bool isWordDelimiterChar(char32_t c) noexcept
{
    return c < 0x80 && ((detail::kWordDelimiterMask[c / 64] >> (c % 64)) & 1) != 0;
}

// Upper-cases the ASCII letters of a buffer in place.
void bufferToUpper(char* data, std::size_t size) noexcept;
// Lower-cases the ASCII letters of a buffer in place.
void bufferToLower(char* data, std::size_t size) noexcept;
// A copy of text with its ASCII letters upper-cased (same length, same byte positions).
std::string bytesToUpper(std::string_view text);
// A copy of text with its ASCII letters lower-cased (same length, same byte positions).
std::string bytesToLower(std::string_view text);

// ---- UTF-8 decoding and encoding ----

// One decoded character: its code point (U+FFFD when the bytes are not valid UTF-8), the number of bytes
// it took (1-4; an ill-formed sequence takes its maximal valid-looking prefix, at least 1 byte) and
// whether the bytes were valid.
struct Utf8Char
{
    char32_t codePoint = 0;
    std::uint8_t length = 0;
    bool valid = false;
};
// Decodes the character starting at byte pos of text; never reads past the end (a pos at or past the
// end gives an invalid character of length 1).
Utf8Char decodeUtf8(std::string_view text, std::size_t pos) noexcept;
// Appends the UTF-8 encoding of a code point (surrogates and values above U+10FFFF append U+FFFD).
void appendUtf8(std::string& out, char32_t codePoint);
// True when text is well-formed UTF-8.
bool isValidUtf8(std::string_view text) noexcept;

// ---- Case-insensitive comparison of names and paths ----
//
// Each character is decoded and mapped by Unicode simple case folding (one code point to one code
// point); a byte that is not part of valid UTF-8 stands for itself and sorts after every character.

// The one total order ignoring case, for sorting and merging: folded characters first, then, between
// texts that differ only in case, their bytes. <0, 0 (only for identical bytes) or >0.
int compareNoCase(std::string_view a, std::string_view b) noexcept;
// compareNoCase(a, b) < 0: the ordering predicate for std::sort and binary searches.
inline bool lessNoCase(std::string_view a, std::string_view b) noexcept
{
    return compareNoCase(a, b) < 0;
}
// Function object of lessNoCase (for std::sort, std::map, std::lower_bound).
struct LessNoCase
{
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept { return lessNoCase(a, b); }
};
// Order of the folded forms only (no byte tie-break): 0 exactly when equalNoCase(a, b). It agrees with
// compareNoCase, so in a list sorted by compareNoCase a binary search with it finds the entries equal
// to a key ignoring case.
int compareFolded(std::string_view a, std::string_view b) noexcept;
// Equality ignoring case: the folded forms are equal ("the same name" tests).
bool equalNoCase(std::string_view a, std::string_view b) noexcept;
// The folded form of a text (UTF-8; invalid bytes kept as they are): a key for hash tables whose
// equality is equalNoCase.
std::string foldCase(std::string_view text);
// Simple case folding of one code point (ASCII and other values outside Unicode are returned as is).
char32_t foldCodePoint(char32_t codePoint) noexcept;

// ---- Case forms of characters (matching of texts that ignores case) ----

// The most characters that simple case folding makes equal to one another (e.g. theta: U+0398, U+03B8,
// U+03D1, U+03F4).
inline constexpr std::size_t kMaxCaseVariants = 4;
// The characters whose simple case folding equals that of one character, the character itself
// included, in code point order (e.g. 'k': "K", "k" and the Kelvin sign U+212A).
struct CaseVariants
{
    std::array<char32_t, kMaxCaseVariants> chars{};
    std::size_t count = 0;
};
// The case variants of a code point; a value outside Unicode or a surrogate has only itself.
CaseVariants caseVariants(char32_t codePoint);
// The case forms of the UTF-8 character that begins at byte pos of a text, each as its UTF-8 bytes:
// every case variant of a valid character ("é": C3 A9 and C3 89; "k": 6B, 4B and E2 84 AA), or the one
// byte itself where the text is not valid UTF-8. No form begins another.
struct Utf8CaseForms
{
    std::array<std::array<char, 4>, kMaxCaseVariants> bytes{};
    std::array<std::uint8_t, kMaxCaseVariants> sizes{};
    std::uint8_t count = 0;
    std::uint8_t length = 0; // bytes of the character in the text
    std::string_view form(std::size_t k) const { return {bytes[k].data(), sizes[k]}; }
    // Bytes of the form that text holds at pos (0 when none of them is there).
    std::size_t matchAt(std::string_view text, std::size_t pos) const noexcept
    {
        for (std::size_t k = 0; k < count; ++k) {
            if (text[pos] != bytes[k][0])
                continue;
            if (sizes[k] == 1)
                return 1;
            if (text.size() - pos >= sizes[k] && text.compare(pos, sizes[k], form(k)) == 0)
                return sizes[k];
        }
        return 0;
    }
};
Utf8CaseForms utf8CaseForms(std::string_view text, std::size_t pos);
// Simple (one code point to one code point) lower and upper case of one character.
char32_t simpleLowerCodePoint(char32_t codePoint) noexcept;
char32_t simpleUpperCodePoint(char32_t codePoint) noexcept;
// Every character of a UTF-8 text in its simple lower (upper) case form; with keepLengths, only where
// that form takes as many bytes as the character, so that every byte position is kept. Invalid bytes
// are kept as they are.
std::string simpleLower(std::string_view text, bool keepLengths);
std::string simpleUpper(std::string_view text, bool keepLengths);

// ---- Display case mapping (full Unicode; for shown texts and new names, never for comparisons) ----
//
// Invalid UTF-8 bytes are kept as they are.

// Every character upper-cased (full mapping: "straße" becomes "STRASSE").
std::string displayUpper(std::string_view text);
// Every character lower-cased (full mapping).
std::string displayLower(std::string_view text);
// Every character lower-cased, then the first character title-cased ("README.TXT" becomes
// "Readme.txt").
std::string displayCapitalise(std::string_view text);
// Every character lower-cased, then each character that directly follows one of the ASCII separator
// characters title-cased, and the first character too when capitaliseFirst ("my old file" becomes
// "My Old File"; with "\\" and false, "C:\\DATA\\X" becomes "c:\\Data\\X").
std::string displayCapitaliseWords(std::string_view text, std::string_view separators = " ",
                                   bool capitaliseFirst = true);

// ---- UTF-8 <-> UTF-16 ----
//
// Ill-formed input never fails: each maximal ill-formed UTF-8 subsequence, and each unpaired surrogate
// of UTF-16, becomes one U+FFFD and the rest converts as usual.

// UTF-8 bytes to UTF-16.
std::u16string utf8ToUtf16(std::string_view utf8);
// UTF-16 to UTF-8 bytes.
std::string utf16ToUtf8(std::u16string_view utf16);
// UTF-8 bytes to a QString (the same rules as utf8ToUtf16).
QString toQString(std::string_view utf8);
// A QString to UTF-8 bytes (the same rules as utf16ToUtf8).
std::string toUtf8(const QString& text);

// ---- Text files (language files, the settings file) ----

enum class TextFileEncoding
{
    kUtf8,           // 8-bit text as it is (also UTF-8 with a byte-order mark, kept in the text)
    kUtf16LittleEndian,
    kUtf16BigEndian
};
// A text file's bytes as UTF-8 text and the encoding it was found in.
struct DecodedTextFile
{
    std::string text;
    TextFileEncoding encoding = TextFileEncoding::kUtf8;
    bool byteOrderMark = false; // a UTF-16 file began with its byte-order mark (not in text)
};
// UTF-16 by its byte-order mark (FF FE, FE FF) or, without one, when its zero bytes lie where UTF-16
// puts them: at least a quarter of the two-byte units hold a zero in the same half, and the other half
// holds at most a tenth as many (a stray zero byte in 8-bit text does not make it UTF-16). Anything else
// is 8-bit text, returned unchanged.
DecodedTextFile decodeTextFile(std::string_view bytes);
// The bytes of text (UTF-8) in a file's encoding (with its byte-order mark when it had one); false when
// the text cannot be stored so: it holds bytes that are not UTF-8, which UTF-16 cannot hold.
bool encodeTextFile(std::string_view text, TextFileEncoding encoding, bool byteOrderMark, std::string& bytes);

} // namespace wux::platform
