// Conversion of the program's UTF-8 texts to the DOS code page (CP437).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace wux::platform {

// The CP437 byte of one character: the character itself when CP437 holds it, else its best fit (a
// letter without its accents, a plain quote or dash for typographic ones, the narrow form of a wide
// one, ...); no value when there is none.
std::optional<char> cp437ByteOf(char32_t codePoint);

// UTF-8 text to CP437, one byte per character: the character's byte or best fit (cp437ByteOf), "?" for
// a character without one and for each ill-formed UTF-8 sequence. A letter followed by combining accents
// counts as one character (composed first; accents that do not compose are dropped).
std::string toCp437(std::string_view utf8);

} // namespace wux::platform
