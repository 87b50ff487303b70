// The word processor's search syntax over a flat text: literal text with caret codes, or the wildcard
// subset, with case folding per UTF-16 code unit and whole-word boundaries.
//
// Literal mode: "^p"/"^13" paragraph mark, "^t"/"^9" tab, "^^" caret, "^?" any character, "^#" digit,
// "^$" letter, "^w" white space (one or more), "^l"/"^11" line break, "^m"/"^12" page break, "^s"
// no-break space, "^~" non-breaking hyphen, "^-" optional hyphen, "^+" em dash, "^=" en dash, "^nnn"
// decimal code, "^unnnn" decimal Unicode; any other code raises.
// Wildcard mode: "?", "*" (shortest, never across a paragraph mark), "[abc]", "[a-z]", "[!...]", "@"
// (one or more of the previous item), "{n}", "{n,}", "{n,m}", "<" and ">" (word start and end), "(...)"
// grouping, "\x" escape, "^13", "^t", "^nnn"; invalid syntax raises.
// A hit is never empty and never holds a barrier.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/automation/text_story.h"

namespace wux::platform::automation {

// True for the 34 characters that end a word (CR, LF, blank and the ASCII punctuation marks except
// "_"), and for tab, line break and page break, which the word processor also treats as word ends.
bool isWordBreakChar(char16_t c) noexcept;

class FindPattern
{
public:
    // Compiles a pattern; raises AutomationError for an invalid code or syntax.
    FindPattern(std::u16string_view text, bool matchCase, bool wholeWord, bool wildcards);
    ~FindPattern();
    FindPattern(FindPattern&&) noexcept;
    FindPattern& operator=(FindPattern&&) noexcept;

    bool empty() const;
    // The leftmost hit starting in [from, limit) and ending at or before limit.
    bool find(const TextSource& text, std::size_t from, std::size_t limit, std::size_t& hitStart,
              std::size_t& hitEnd) const;

    struct Node;

private:
    std::vector<Node> nodes_;
    bool matchCase_;
    bool wholeWord_;
};

} // namespace wux::platform::automation
