// Name-mask lists: ";"-separated patterns with "*" and "?" parsed once into the case forms of their
// characters, so that matching a name needs no case conversion of the name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace wux::core {

// One element of a parsed pattern: "*", "?" or a character in all its case forms.
struct TMaskUnit
{
    char wildcard = 0; // '*' or '?'; 0 for a character
    platform::Utf8CaseForms forms;
};

// One pattern of a mask list.
struct TPartFilterItem
{
    std::string upper;       // the pattern with its ASCII letters upper-cased
    std::string lower;       // the pattern with its ASCII letters lower-cased
    std::int32_t length = 0; // bytes of the pattern (at least 1)
    // The pattern's elements, and the first of the run of "*" and "." that ends it (units.size() when
    // the pattern does not end in one).
    std::vector<TMaskUnit> units;
    std::size_t tailOfStarsAndDots = 0;
    // A pattern of ASCII characters only has one unit per byte of upper and lower, whose two forms are
    // those of nearly every character; "k" and "s" also have a form outside ASCII.
    enum Ascii : std::uint8_t
    {
        kNotAscii,
        kAscii,
        kAsciiWithOtherForms
    };
    Ascii ascii = kNotAscii;
};

// An ordered mask list; its holder owns the entries.
using TMaskList = std::vector<TPartFilterItem>;

// Appends the patterns of a ";"-separated mask text ("*.txt; *.doc") to list: each part is trimmed of
// blanks; empty parts (";;", a trailing ";") are skipped.
void ParseMaskList(std::string_view maskText, TMaskList& list);

// True when name matches the pattern: "*" any run of characters (also none), "?" exactly one character
// (one UTF-8 sequence), other characters compared ignoring case (Unicode simple case folding, as the
// content search compares; bytes that are not UTF-8 match only themselves). When the name is
// used up, the rest of the pattern may consist of "*" and "." only, so "*.*" and "*." match names
// without a dot and "abc." matches "abc".
bool MatchMask(std::string_view name, const TPartFilterItem& item);

// defaultResult for an empty list; else true when name matches any pattern of the list.
bool MatchMaskList(std::string_view name, const TMaskList& list, bool defaultResult = true);

// Frees every entry of the list.
void FreeMaskList(TMaskList& list);

} // namespace wux::core
