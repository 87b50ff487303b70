// The plain-file batch engine: applies every row of a compiled table block to a file in one pass
// (TTextReplacer::ReplaceTableInFile) or to a text (TTextReplacer::ReplaceTableInString).
//
// Every row is tried from every byte; of the attempts that complete at a byte, the one that started
// first wins, of equal starts the row that stands first in the table. The winner's change is applied
// (replace, insert before, insert after) and scanning goes on behind it, with every attempt begun
// anew. Find patterns keep their codes: "##", "**", "#n#", "#xh#", "#?#", "#[class]#", groups
// "#a,b#", "#*#" (a run of any bytes), "*n*" (the rest repeated at least n times) and "#B#" (a barrier
// that no match crosses). Literal characters of a row that is not case-sensitive match in every case
// form: ASCII letters the input byte lower-cased, other letters any of their UTF-8 case forms, whatever
// their byte lengths (Unicode simple case folding); codes and classes compare the raw byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace wux::engines {

// One element of a compiled find pattern.
struct BatchPatternElement
{
    enum Kind : std::uint8_t
    {
        kLiteral, // a plain character (case-folded in rows that are not case-sensitive)
        kByte,    // a byte code
        kAny,     // "#?#"
        kClass,   // "#[...]#"
        kRun,     // "#*#"
        kBarrier, // "#B#"
        kRepeat,  // "*n*"
        kChoice,  // one byte of a character with case forms of other bytes (rows that ignore case)
    };
    Kind kind = kLiteral;
    std::uint8_t byte = 0;
    std::uint32_t value = 0; // class index (kClass), minimum (kRepeat) or choice index (kChoice)
};

// The bytes that may stand at one element of a character with several case forms, and the element
// each leads to (the elements of one character form a small tree behind one another; its last bytes
// lead to the element after the character).
struct BatchChoice
{
    std::array<std::uint8_t, 4> bytes{};
    std::array<std::int32_t, 4> next{};
    std::uint8_t count = 0;
};

// One row of a table block, compiled.
struct BatchRow
{
    bool caseSensitive = false;
    std::int32_t insertMode = 3;
    std::string find;    // the pattern as stored
    std::string replace; // the bytes written for a match
    std::vector<BatchPatternElement> elements;
    std::int32_t repeatPos = -1; // element index after the repetition code
    std::uint32_t repeatMin = 0;
    bool ignored = false;  // malformed, or a barrier that no byte leads up to: never matches
    bool runFirst = false; // begins with a run: one attempt from each fresh start suffices
    std::array<std::uint64_t, 4> startBytes{}; // bytes that can begin a match
    // Work space values (written into the row's head while a file is processed).
    std::uint32_t findOffset = 0;
    std::uint32_t replaceOffset = 0;
    std::uint32_t repeatRawPos = 0;
};

// A table block's rows, compiled for the engine.
struct BatchTable
{
    std::vector<BatchRow> rows;
    std::vector<std::array<std::uint64_t, 4>> classes;
    std::vector<BatchChoice> choices;
    std::array<std::vector<std::int32_t>, 256> rowsByFirstByte; // rows that can begin at each byte
    std::vector<std::int32_t> runFirstRows;
    bool hasBarrier = false;
};

// Compiles the first rowCount rows of a locked table block; none when the block ends before one of
// them does. Malformed find patterns give rows that never match.
std::optional<BatchTable> compileBatchTable(std::span<const std::uint8_t> block, std::int32_t rowCount);

// Writes the rows' work space (find and replace offsets, repetition position and minimum) into the
// block's row heads.
void writeBatchWorkSpace(std::span<std::uint8_t> block, const BatchTable& table);

} // namespace wux::engines
