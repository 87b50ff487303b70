// Name-mask lists: ";"-separated patterns with "*" and "?" parsed once into upper- and lower-case
// forms, so that matching a name needs no case conversion of the name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wux::core {

// One pattern of a mask list.
struct TPartFilterItem
{
    std::string upper;       // the pattern with its ASCII letters upper-cased
    std::string lower;       // the pattern with its ASCII letters lower-cased
    std::int32_t length = 0; // bytes of the pattern (at least 1)
};

// An ordered mask list; its holder owns the entries.
using TMaskList = std::vector<TPartFilterItem>;

// Appends the patterns of a ";"-separated mask text ("*.txt; *.doc") to list: each part is trimmed of
// blanks; empty parts (";;", a trailing ";") are skipped.
void ParseMaskList(std::string_view maskText, TMaskList& list);

// True when name matches the pattern: "*" any run of characters (also none), "?" exactly one character
// (one UTF-8 sequence), other characters compared with ASCII letters ignoring case. When the name is
// used up, the rest of the pattern may consist of "*" and "." only, so "*.*" and "*." match names
// without a dot and "abc." matches "abc".
bool MatchMask(std::string_view name, const TPartFilterItem& item);

// defaultResult for an empty list; else true when name matches any pattern of the list.
bool MatchMaskList(std::string_view name, const TMaskList& list, bool defaultResult = true);

// Frees every entry of the list.
void FreeMaskList(TMaskList& list);

} // namespace wux::core
