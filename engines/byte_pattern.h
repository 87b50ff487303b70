// A find text compiled for the byte-by-byte matchers of the plain-file engines (the Replacer, the Finder's
// content test): a chain of small tries, one per character, each holding every byte sequence that stands
// for that character. A search that ignores case gives each character all its case forms (Unicode simple
// case folding), whatever their byte lengths: "é" is C3 A9 or C3 89, "k" is 6B, 4B or E2 84 AA. A match
// is still a run of whole bytes of the file, so byte positions and the bytes around it stay as they are.
//
// The byte sequences of one character never begin one another (UTF-8 and UTF-16 are prefix-free), so an
// attempt begun at one byte is always in exactly one node: matching stays one comparison step per byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace wux::engines {

// The most bytes that can go on from one node (a character's case forms have at most four lead bytes).
inline constexpr std::size_t kMaxPatternBranches = 4;

// One node: the bytes that go on from it and where each leads.
struct PatternNode
{
    std::array<std::uint8_t, kMaxPatternBranches> bytes{};
    std::array<std::int32_t, kMaxPatternBranches> next{};
    std::uint8_t count = 0;
};

class BytePattern
{
public:
    // The bytes exactly as given.
    static BytePattern exact(std::string_view bytes);
    // Byte i is first[i] or second[i] (texts in a single-byte code page, one case form each; both of
    // the same length).
    static BytePattern bytePairs(std::string_view first, std::string_view second);
    // A UTF-8 text, each character in every case form; bytes that are not valid UTF-8 stand for
    // themselves (an ASCII letter for both its cases).
    static BytePattern utf8IgnoringCase(std::string_view text);
    // A UTF-16 little-endian text (its bytes), each character in every case form; an unpaired surrogate
    // stands for itself.
    static BytePattern utf16IgnoringCase(std::string_view bytes);

    // Node 0 begins the pattern; end() is reached when the pattern is complete. Nodes are numbered in
    // the order of the text: every node of a character lies after those of the characters before it.
    std::int32_t end() const { return static_cast<std::int32_t>(nodes_.size()); }
    bool empty() const { return nodes_.empty(); }
    // The node that byte leads to from node (below end()), or -1.
    std::int32_t step(std::int32_t node, std::uint8_t byte) const
    {
        const PatternNode& at = nodes_[static_cast<std::size_t>(node)];
        for (std::size_t k = 0; k < at.count; ++k)
            if (at.bytes[k] == byte)
                return at.next[k];
        return -1;
    }
    const PatternNode& node(std::int32_t index) const { return nodes_[static_cast<std::size_t>(index)]; }
    // The most and the fewest bytes a match can take.
    std::size_t longest() const { return longest_; }
    std::size_t shortest() const { return shortest_; }
    // The node at which the character that begins at byte offset of the compiled text begins (end() at
    // or past the text's end; an offset inside a character gives the next character).
    std::int32_t nodeAtOffset(std::size_t offset) const;
    // Matches the pattern against the bytes from data on (at most size of them); the match's length, or
    // 0 when the bytes do not begin a match (also when they end before the pattern does).
    std::size_t matchAt(const std::uint8_t* data, std::size_t size) const;

private:
    // Appends one character whose byte sequences are alternatives (none a prefix of another).
    void addCharacter(std::size_t textOffset, const std::vector<std::vector<std::uint8_t>>& alternatives);

    std::vector<PatternNode> nodes_;
    std::vector<std::pair<std::size_t, std::int32_t>> starts_; // (text offset, node) of each character
    std::size_t longest_ = 0;
    std::size_t shortest_ = 0;
};

} // namespace wux::engines
