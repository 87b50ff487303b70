// The text-story core of the stand-in document servers: the searchable text of XML documents as flat
// text with positions, and the one edit primitive that changes it in the XML.
//
// A story is a list of containers (a document body, a table cell, a footnote, a header part, a shape's
// text body); a container is a list of paragraphs; a paragraph is a list of segments:
//  - TEXT: a text holder (an element whose character data is the text, or a character-data node);
//  - CHAR: an element standing for characters (a tab, a line break);
//  - ZERO: a zero-width mark (a bookmark, a proofing or comment mark): edits never delete these; the
//    text around them changes in place, so they stay at the edit point;
//  - BARRIER: an object that can be neither matched nor deleted (a note reference, a drawing, a field).
//
// The flat text joins the paragraph texts, each followed by "\r". A BARRIER is the character U+FFFF
// (which XML cannot hold, so no text equals it). After the last paragraph of a container come barrier
// characters (one between containers, one per table cell end and row end), and the last "\r" of each
// container is a barrier too: the final paragraph mark of a cell, note, header or body is never deleted.
//
// Each paragraph's flat text is cached with its story offset; an edit rescans only the paragraphs it
// touches, so a search loop of many hits never rebuilds the story.
//
// The XML details of one file format are a StoryDialect; the story and the edit algorithm are shared.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

namespace wux::platform::automation {

class Package;

inline constexpr char16_t kBarrierChar = 0xFFFF;

enum class SegmentKind : std::uint8_t
{
    kText,
    kChar,
    kZero,
    kBarrier,
};

struct Segment
{
    SegmentKind kind = SegmentKind::kText;
    std::uint32_t start = 0;  // offset in the paragraph's text
    std::uint32_t length = 0; // characters
    pugi::xml_node node;      // TEXT: the holder; CHAR, ZERO: the element; BARRIER: its first node
};

struct Paragraph
{
    pugi::xml_node element;
    std::u16string text; // without the paragraph mark; barriers as kBarrierChar
    std::vector<Segment> segments;
    bool markIsBarrier = false; // the mark lies inside a barrier (a field that spans paragraphs)
    bool separable = true;      // set by the dialect: the scan of each child element depends on no other
    bool settled = false;       // an edit has cleaned up and re-encoded the whole paragraph since its scan
    int fieldDepthIn = 0;       // dialect state at the start of the paragraph (fields open across marks)
    // Layout in the story.
    std::uint32_t container = 0;
    std::size_t start = 0;      // story offset of text[0]
    std::uint32_t trailing = 0; // barrier characters after the mark
    bool lastInContainer = false;
};

// Read access to a flat text, for the matchers.
class TextSource
{
public:
    virtual ~TextSource() = default;
    virtual std::size_t length() const = 0;
    virtual char16_t at(std::size_t pos) const = 0;
    virtual bool isBarrier(std::size_t pos) const = 0;
};

// The XML of one format.
class StoryDialect
{
public:
    virtual ~StoryDialect() = default;
    // Fills text and segments of a paragraph element; fieldDepth carries state across paragraphs.
    virtual void scanParagraph(pugi::xml_node paragraph, Paragraph& out, int& fieldDepth) const = 0;
    // A run: an element that holds text holders and properties, split by cloning.
    virtual bool isRun(pugi::xml_node node) const = 0;
    // An element that may directly hold text holders.
    virtual bool canHoldText(pugi::xml_node node) const { return isRun(node); }
    // A property element, copied into the clone when its parent is split (run and paragraph
    // properties).
    virtual bool isPropertyElement(pugi::xml_node node) const = 0;
    // For a control character of the inserted text: -1 when it is plain text, 0 when its element
    // lives beside the text holders, 1 when it lives beside the runs.
    virtual int controlLevel(char16_t c) const = 0;
    // Creates the element of a control character in parent before `before` (null: at the end).
    virtual pugi::xml_node insertControl(pugi::xml_node parent, pugi::xml_node before, char16_t c) const = 0;
    // A text holder (an element or character-data node that TEXT segments point to).
    virtual bool isTextHolder(pugi::xml_node node) const = 0;
    // Adjusts a copy made when an element is split (ids that must stay unique).
    virtual void prepareClone(pugi::xml_node) const {}
    // Creates an empty text holder in parent before `before` (null: at the end).
    virtual pugi::xml_node insertTextHolder(pugi::xml_node parent, pugi::xml_node before) const = 0;
    // Creates an empty run in parent (a paragraph or an element between) before `before`.
    virtual pugi::xml_node insertRun(pugi::xml_node parent, pugi::xml_node before) const = 0;
    // The text of a holder and its change.
    virtual std::u16string holderText(pugi::xml_node holder) const;
    void setHolderText(pugi::xml_node holder, std::u16string_view text) const;
    // The UTF-8 bytes of a holder and their change (every change of a holder's text comes here).
    virtual std::string_view holderBytes(pugi::xml_node holder) const;
    virtual void setHolderBytes(pugi::xml_node holder, const std::string& utf8) const;
    // Removes count characters from the end of a CHAR element of several characters.
    virtual void shrinkChar(pugi::xml_node element, std::uint32_t newLength) const;
    // Called for every paragraph an edit changed, before it is scanned again (a format can re-encode
    // its text here, e.g. runs of blanks).
    virtual void afterEdit(pugi::xml_node) const {}
    // The section break carried by a paragraph (null when none), and its move to another paragraph.
    virtual pugi::xml_node sectionBreak(pugi::xml_node paragraph) const;
    virtual void moveSectionBreak(pugi::xml_node from, pugi::xml_node to) const;

    // ---- Local edits (optional) ----
    // When true, an edit inside one settled, separable paragraph touches only the children of the
    // paragraph element around it: the three members below then work on a range [first, end) of them.
    virtual bool editsLocally() const { return false; }
    // Scans the children [first, end) of a paragraph element into out as scanParagraph scans them within
    // the whole paragraph (offsets from 0); false when it cannot (the whole paragraph is scanned then).
    virtual bool scanChildren(pugi::xml_node, pugi::xml_node, pugi::xml_node, Paragraph&) const
    {
        return false;
    }
    // afterEdit for the children [first, end) of a paragraph whose other children it has settled before.
    virtual void afterEditChildren(pugi::xml_node, pugi::xml_node, pugi::xml_node) const {}
    // The last of `last` and its following siblings that afterEditChildren may change when an edit ends
    // in `last`.
    virtual pugi::xml_node editReach(pugi::xml_node last) const { return last; }
};

class TextStory : public TextSource
{
public:
    // package (optional) gets markChanged for the part of each edited container.
    TextStory(const StoryDialect& dialect, Package* package);

    // ---- Building, in document order ----
    // Starts a container (a barrier separates it from the previous one).
    void beginContainer(std::string part, pugi::xml_node element);
    // Adds a paragraph to the current container.
    void addParagraph(pugi::xml_node paragraph);
    // Adds barrier characters after the last paragraph (cell and row ends).
    void addBarriers(std::uint32_t count);
    // Ends building (the last container gets no separator).
    void finish();

    // ---- Reading ----
    std::size_t length() const override { return length_; }
    char16_t at(std::size_t pos) const override;
    bool isBarrier(std::size_t pos) const override;
    std::u16string text(std::size_t start, std::size_t end) const;
    std::u16string flatText() const { return text(0, length_); }
    bool empty() const { return paragraphs_.empty(); }
    // True when the story's last character is a paragraph mark.
    bool endsWithParagraphMark() const;
    // The paragraphs with their offsets.
    const std::vector<Paragraph>& paragraphs() const;
    // The paragraph whose span (text, mark and trailing barriers) holds pos (pos < length).
    std::size_t paragraphAt(std::size_t pos) const;
    // True when [start, end) holds a barrier.
    bool containsBarrier(std::size_t start, std::size_t end) const;

    // ---- Editing (raise AutomationError and change nothing when refused) ----
    // Replaces [start, end) with text. The new text takes the formatting of the run holding character
    // `start` (hostBefore: character start - 1; the other one when that is no run's). "\r" splits paragraphs
    // (copying their properties; a section break stays with the last piece); "\t", "\v", ... become the
    // dialect's elements. Refused: a barrier inside the range; a deleted paragraph mark carrying a section
    // break; a character that XML cannot hold; an insertion point between containers.
    void replace(std::size_t start, std::size_t end, std::u16string_view text, bool hostBefore = false);
    // Minimal change of [start, end) to text: the common prefix and suffix are kept.
    void setRange(std::size_t start, std::size_t end, std::u16string_view text);
    void setWhole(std::u16string_view text) { setRange(0, length_, text); }

private:
    // The children of a paragraph element an edit works on, and the segments they held.
    struct Window
    {
        pugi::xml_node prev; // the child before the first one (null: from the first child)
        pugi::xml_node next; // the child after the last one (null: to the last child)
        std::size_t first = 0, end = 0;
    };

    struct Cursor
    {
        pugi::xml_node holder; // set: inside this holder at offset
        std::uint32_t offset = 0;
        pugi::xml_node parent; // else: between children of parent, before `before`
        pugi::xml_node before;
    };

    void relayout(std::size_t from, std::size_t to);
    void ensure(std::size_t index) const;
    void rescan(std::size_t index, std::size_t count);
    void markChanged(std::size_t paragraph);
    void checkInsertable(std::u16string_view text) const;
    void insertAt(std::size_t paragraph, std::uint32_t localPos, std::u16string_view text, bool hostBefore);
    void deleteRange(std::size_t start, std::size_t end);
    bool deleteLocally(std::size_t index, std::size_t start, std::size_t end);
    Cursor hostCursor(const Paragraph& p, std::uint32_t localPos, bool hostBefore,
                      std::size_t& segment) const;
    bool openWindow(std::size_t index, pugi::xml_node from, pugi::xml_node to, std::size_t pivot,
                    Window& w) const;
    void closeWindow(std::size_t index, const Window& w, const std::vector<pugi::xml_node>& touched);
    void toPoint(Cursor& cursor) const;
    void editHolder(pugi::xml_node holder, std::size_t from, std::size_t to, std::u16string_view text) const;
    pugi::xml_node cloneShallow(pugi::xml_node element, std::vector<pugi::xml_node>& touched) const;
    void cleanUp(pugi::xml_node paragraph, const std::vector<pugi::xml_node>& touched) const
    {
        cleanUp(paragraph, paragraph.first_child(), {}, touched);
    }
    void cleanUp(pugi::xml_node paragraph, pugi::xml_node first, pugi::xml_node end,
                 const std::vector<pugi::xml_node>& touched) const;

    const StoryDialect& dialect_;
    Package* package_;
    std::vector<std::string> containerParts_;
    mutable std::vector<Paragraph> paragraphs_; // offsets laid out lazily (valid_)
    mutable std::size_t valid_ = 0;
    std::size_t length_ = 0;
    int buildFieldDepth_ = 0;
    bool containerOpen_ = false;
    mutable std::size_t cache_ = 0;
};

// True for characters XML 1.0 can hold (tab, LF, CR, U+0020-U+D7FF, U+E000-U+FFFD; surrogates only
// in pairs, checked by the caller).
bool isXmlChar(char16_t c) noexcept;

} // namespace wux::platform::automation
