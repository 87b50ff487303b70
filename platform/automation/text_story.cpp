#include "platform/automation/text_story.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "platform/automation/package.h"
#include "platform/automation/variant.h"
#include "platform/text.h"

namespace wux::platform::automation {

namespace {

[[noreturn]] void refuse(const std::string& message)
{
    throw AutomationError(kErrorFail, "Document", message);
}

bool hasContent(pugi::xml_node element, const StoryDialect& dialect)
{
    for (pugi::xml_node c = element.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_element && dialect.isPropertyElement(c))
            continue;
        if (c.type() == pugi::node_pcdata && std::string_view(c.value()).empty())
            continue;
        return true;
    }
    return false;
}

} // namespace

bool isXmlChar(char16_t c) noexcept
{
    if (c == 0x9 || c == 0xA || c == 0xD)
        return true;
    if (c < 0x20)
        return false;
    return c != 0xFFFE && c != 0xFFFF;
}

namespace {
std::size_t spanOf(const Paragraph& p)
{
    return p.text.size() + 1 + p.trailing;
}
} // namespace

// ---- StoryDialect defaults ----

std::u16string StoryDialect::holderText(pugi::xml_node holder) const
{
    return utf8ToUtf16(holderBytes(holder));
}

void StoryDialect::setHolderText(pugi::xml_node holder, std::u16string_view text) const
{
    setHolderBytes(holder, utf16ToUtf8(text));
}

std::string_view StoryDialect::holderBytes(pugi::xml_node holder) const
{
    if (holder.type() == pugi::node_pcdata || holder.type() == pugi::node_cdata)
        return holder.value();
    return holder.text().get();
}

void StoryDialect::setHolderBytes(pugi::xml_node holder, const std::string& utf8) const
{
    if (holder.type() == pugi::node_pcdata || holder.type() == pugi::node_cdata)
        holder.set_value(utf8.c_str());
    else
        holder.text().set(utf8.c_str());
}

namespace {

// The byte offsets of the UTF-16 offsets a and b (a <= b) of valid UTF-8 text; false when the text is
// not valid UTF-8 or an offset falls inside a character.
bool byteOffsets(std::string_view utf8, std::size_t a, std::size_t b, std::size_t& byteA, std::size_t& byteB)
{
    constexpr std::size_t kNone = std::string_view::npos;
    byteA = byteB = kNone;
    std::size_t units = 0;
    std::size_t pos = 0;
    for (;;) {
        if (units == a)
            byteA = pos;
        if (units == b)
            byteB = pos;
        if (pos >= utf8.size())
            break;
        // Eight ASCII bytes at a time, short of the next offset sought.
        const std::size_t target = byteA == kNone ? a : byteB == kNone ? b : kNone;
        while (pos + 8 <= utf8.size() && (target == kNone || units + 8 <= target)) {
            std::uint64_t word = 0;
            std::memcpy(&word, utf8.data() + pos, 8);
            if (word & 0x8080808080808080ull)
                break;
            pos += 8;
            units += 8;
        }
        if (units == a)
            byteA = pos;
        if (units == b)
            byteB = pos;
        if (pos >= utf8.size())
            break;
        if (static_cast<unsigned char>(utf8[pos]) < 0x80) {
            ++pos;
            ++units;
            continue;
        }
        const Utf8Char ch = decodeUtf8(utf8, pos);
        if (!ch.valid)
            return false;
        pos += ch.length;
        units += ch.codePoint >= 0x10000 ? 2 : 1;
    }
    return byteA != kNone && byteB != kNone;
}

} // namespace

void TextStory::editHolder(pugi::xml_node holder, std::size_t from, std::size_t to,
                           std::u16string_view text) const
{
    // Replaces the characters [from, to) of a holder's text. Valid UTF-8 (all that a well-formed document
    // holds) is changed in place; anything else goes through UTF-16, which writes U+FFFD for bad bytes.
    const std::string_view bytes = dialect_.holderBytes(holder);
    std::size_t a = 0, b = 0;
    if (byteOffsets(bytes, from, to, a, b)) {
        std::string value;
        const std::string inserted = utf16ToUtf8(text);
        value.reserve(bytes.size() - (b - a) + inserted.size());
        value.append(bytes.substr(0, a)).append(inserted).append(bytes.substr(b));
        dialect_.setHolderBytes(holder, value);
        return;
    }
    std::u16string value = dialect_.holderText(holder);
    value.replace(from, to - from, text);
    dialect_.setHolderText(holder, value);
}

void StoryDialect::shrinkChar(pugi::xml_node element, std::uint32_t) const
{
    element.parent().remove_child(element);
}

pugi::xml_node StoryDialect::sectionBreak(pugi::xml_node) const
{
    return {};
}

void StoryDialect::moveSectionBreak(pugi::xml_node, pugi::xml_node) const {}

// ---- Building ----

TextStory::TextStory(const StoryDialect& dialect, Package* package) : dialect_(dialect), package_(package) {}

void TextStory::beginContainer(std::string part, pugi::xml_node)
{
    if (!paragraphs_.empty() && paragraphs_.back().trailing == 0)
        paragraphs_.back().trailing = 1;
    containerParts_.push_back(std::move(part));
    containerOpen_ = true;
    buildFieldDepth_ = 0;
}

void TextStory::addParagraph(pugi::xml_node element)
{
    if (!containerOpen_)
        beginContainer(containerParts_.empty() ? std::string() : containerParts_.back(), {});
    Paragraph p;
    p.fieldDepthIn = buildFieldDepth_;
    dialect_.scanParagraph(element, p, buildFieldDepth_);
    p.element = element;
    p.container = static_cast<std::uint32_t>(containerParts_.size() - 1);
    paragraphs_.push_back(std::move(p));
}

void TextStory::addBarriers(std::uint32_t count)
{
    if (!paragraphs_.empty())
        paragraphs_.back().trailing += count;
}

void TextStory::finish()
{
    if (!paragraphs_.empty())
        paragraphs_.back().trailing = 0;
    containerOpen_ = false;
    for (std::size_t i = 0; i < paragraphs_.size(); ++i)
        paragraphs_[i].lastInContainer =
            i + 1 == paragraphs_.size() || paragraphs_[i + 1].container != paragraphs_[i].container;
    valid_ = 0;
    ensure(paragraphs_.size());
    length_ = 0;
    for (const Paragraph& p : paragraphs_)
        length_ += spanOf(p);
    cache_ = 0;
}

void TextStory::relayout(std::size_t from, std::size_t to)
{
    // Offsets are laid out lazily: only the prefix [0, valid_) is known.
    if (from < valid_)
        valid_ = from;
    const std::size_t first = from == 0 ? 0 : from - 1;
    for (std::size_t i = first; i < paragraphs_.size() && i <= to + 1; ++i)
        paragraphs_[i].lastInContainer =
            i + 1 == paragraphs_.size() || paragraphs_[i + 1].container != paragraphs_[i].container;
    if (cache_ >= paragraphs_.size() || cache_ >= valid_)
        cache_ = valid_ == 0 ? 0 : valid_ - 1;
}

void TextStory::ensure(std::size_t index) const
{
    if (index < valid_ || paragraphs_.empty())
        return;
    index = std::min(index, paragraphs_.size() - 1);
    std::size_t offset = valid_ == 0 ? 0 : paragraphs_[valid_ - 1].start + spanOf(paragraphs_[valid_ - 1]);
    for (std::size_t i = valid_; i <= index; ++i) {
        paragraphs_[i].start = offset;
        offset += spanOf(paragraphs_[i]);
    }
    valid_ = index + 1;
}

const std::vector<Paragraph>& TextStory::paragraphs() const
{
    if (!paragraphs_.empty())
        ensure(paragraphs_.size() - 1);
    return paragraphs_;
}

// ---- Reading ----

std::size_t TextStory::paragraphAt(std::size_t pos) const
{
    auto spans = [&](std::size_t i) {
        ensure(i);
        const Paragraph& p = paragraphs_[i];
        return pos >= p.start && pos < p.start + spanOf(p);
    };
    if (paragraphs_.empty())
        return 0;
    if (cache_ < valid_ && spans(cache_))
        return cache_;
    if (cache_ < valid_ && cache_ + 1 < paragraphs_.size() && spans(cache_ + 1))
        return ++cache_;
    if (valid_ > 0) {
        const Paragraph& last = paragraphs_[valid_ - 1];
        if (pos < last.start + spanOf(last)) {
            auto end = paragraphs_.begin() + static_cast<std::ptrdiff_t>(valid_);
            auto it = std::upper_bound(paragraphs_.begin(), end, pos,
                                       [](std::size_t value, const Paragraph& p) { return value < p.start; });
            cache_ = it == paragraphs_.begin() ? 0 : static_cast<std::size_t>(it - paragraphs_.begin()) - 1;
            return cache_;
        }
    }
    // Beyond the laid-out prefix: lay out forward until the paragraph is found.
    std::size_t i = valid_ == 0 ? 0 : valid_ - 1;
    while (i + 1 < paragraphs_.size() && !spans(i))
        ++i;
    ensure(i);
    cache_ = i;
    return cache_;
}

char16_t TextStory::at(std::size_t pos) const
{
    const Paragraph& p = paragraphs_[paragraphAt(pos)];
    const std::size_t off = pos - p.start;
    if (off < p.text.size())
        return p.text[off];
    return off == p.text.size() ? u'\r' : kBarrierChar;
}

bool TextStory::isBarrier(std::size_t pos) const
{
    if (pos >= length_)
        return true;
    const Paragraph& p = paragraphs_[paragraphAt(pos)];
    const std::size_t off = pos - p.start;
    if (off < p.text.size())
        return p.text[off] == kBarrierChar;
    if (off == p.text.size())
        return p.lastInContainer || p.markIsBarrier;
    return true;
}

std::u16string TextStory::text(std::size_t start, std::size_t end) const
{
    std::u16string out;
    end = std::min(end, length_);
    if (start >= end)
        return out;
    out.reserve(end - start);
    std::size_t i = paragraphAt(start);
    std::size_t pos = start;
    while (pos < end && i < paragraphs_.size()) {
        ensure(i);
        const Paragraph& p = paragraphs_[i];
        const std::size_t spanEnd = p.start + p.text.size() + 1 + p.trailing;
        for (; pos < end && pos < spanEnd; ++pos) {
            const std::size_t off = pos - p.start;
            out.push_back(off < p.text.size() ? p.text[off] : off == p.text.size() ? u'\r' : kBarrierChar);
        }
        ++i;
    }
    return out;
}

bool TextStory::endsWithParagraphMark() const
{
    return !paragraphs_.empty() && paragraphs_.back().trailing == 0;
}

bool TextStory::containsBarrier(std::size_t start, std::size_t end) const
{
    for (std::size_t pos = start; pos < end; ++pos)
        if (isBarrier(pos))
            return true;
    return false;
}

// ---- Editing ----

void TextStory::markChanged(std::size_t paragraph)
{
    if (package_ && paragraph < paragraphs_.size()) {
        const std::string& part = containerParts_[paragraphs_[paragraph].container];
        if (!part.empty())
            package_->markChanged(part);
    }
}

void TextStory::checkInsertable(std::u16string_view text) const
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
                ++i;
                continue;
            }
            refuse("The text holds a character that a document cannot hold.");
        }
        if (c >= 0xDC00 && c <= 0xDFFF)
            refuse("The text holds a character that a document cannot hold.");
        if (c == u'\r' || dialect_.controlLevel(c) >= 0)
            continue;
        if (!isXmlChar(c))
            refuse("The text holds a character that a document cannot hold.");
    }
}

void TextStory::rescan(std::size_t index, std::size_t count)
{
    int depth = paragraphs_[index].fieldDepthIn;
    for (std::size_t i = index; i < index + count; ++i) {
        Paragraph& p = paragraphs_[i];
        p.fieldDepthIn = depth;
        pugi::xml_node element = p.element;
        p.text.clear();
        p.segments.clear();
        p.separable = true;
        dialect_.scanParagraph(element, p, depth);
        p.element = element;
    }
}

void TextStory::replace(std::size_t start, std::size_t end, std::u16string_view text, bool hostBefore)
{
    if (start > end || end > length_)
        refuse("The range is outside the text.");
    if (paragraphs_.empty())
        refuse("The text cannot be changed here.");
    if (containsBarrier(start, end))
        refuse("The range holds an object that cannot be changed.");
    checkInsertable(text);
    // start must lie within a paragraph (not after a container's last mark).
    const std::size_t a = start == length_ ? paragraphs_.size() - 1 : paragraphAt(start);
    ensure(a);
    if (start > paragraphs_[a].start + paragraphs_[a].text.size())
        refuse("The text cannot be changed here.");
    // Paragraph marks deleted by the range must not carry section breaks.
    if (end > start) {
        for (std::size_t k = a; k < paragraphs_.size(); ++k) {
            ensure(k);
            const std::size_t mark = paragraphs_[k].start + paragraphs_[k].text.size();
            if (mark >= end)
                break;
            if (mark >= start && dialect_.sectionBreak(paragraphs_[k].element))
                refuse("The range holds a section break.");
        }
    }
    if (!text.empty())
        insertAt(a, static_cast<std::uint32_t>(start - paragraphs_[a].start), text, hostBefore);
    if (end > start)
        deleteRange(start + text.size(), end + text.size());
}

void TextStory::setRange(std::size_t start, std::size_t end, std::u16string_view text)
{
    if (start > end || end > length_)
        refuse("The range is outside the text.");
    const std::u16string old = this->text(start, end);
    std::size_t prefix = 0;
    while (prefix < old.size() && prefix < text.size() && old[prefix] == text[prefix])
        ++prefix;
    std::size_t suffix = 0;
    while (suffix < old.size() - prefix && suffix < text.size() - prefix &&
           old[old.size() - 1 - suffix] == text[text.size() - 1 - suffix])
        ++suffix;
    if (prefix == old.size() && prefix == text.size())
        return;
    replace(start + prefix, end - suffix, text.substr(prefix, text.size() - prefix - suffix));
}

TextStory::Cursor TextStory::hostCursor(const Paragraph& p, std::uint32_t localPos, bool hostBefore,
                                        std::size_t& segment) const
{
    // segment: the index of the segment the cursor was placed by (the count of segments when none).
    const std::int64_t first = hostBefore ? std::int64_t(localPos) - 1 : localPos;
    const std::int64_t second = hostBefore ? localPos : std::int64_t(localPos) - 1;
    for (std::int64_t c : {first, second}) {
        if (c < 0 || c >= static_cast<std::int64_t>(p.text.size()))
            continue;
        // The first segment ending after c.
        const auto found = std::upper_bound(p.segments.begin(), p.segments.end(), c,
                                            [](std::int64_t value, const Segment& s) {
                                                return value < static_cast<std::int64_t>(s.start + s.length);
                                            });
        for (auto it = found; it != p.segments.end(); ++it) {
            const Segment& s = *it;
            segment = static_cast<std::size_t>(it - p.segments.begin());
            if (c < s.start || c >= static_cast<std::int64_t>(s.start + s.length))
                continue;
            if (s.kind == SegmentKind::kText) {
                Cursor cur;
                cur.holder = s.node;
                cur.offset = localPos - s.start;
                return cur;
            }
            if (s.kind == SegmentKind::kChar) {
                const bool after = c == static_cast<std::int64_t>(localPos); // the character after the point
                if (after ? c != s.start : c != static_cast<std::int64_t>(s.start + s.length - 1))
                    break; // the point lies inside a multi-character element
                Cursor cur;
                cur.parent = s.node.parent();
                cur.before = after ? s.node : s.node.next_sibling();
                return cur;
            }
            break;
        }
    }
    // No run around the point: before the next barrier, or at the end of the paragraph.
    Cursor cur;
    const auto next = std::lower_bound(p.segments.begin(), p.segments.end(), localPos,
                                       [](const Segment& s, std::uint32_t value) { return s.start < value; });
    for (auto k = static_cast<std::size_t>(next - p.segments.begin()); k < p.segments.size(); ++k) {
        const Segment& s = p.segments[k];
        if (s.start >= localPos && s.node) {
            cur.parent = s.node.parent();
            cur.before = s.node;
            segment = k;
            return cur;
        }
    }
    cur.parent = p.element;
    segment = p.segments.size();
    return cur;
}

void TextStory::toPoint(Cursor& cur) const
{
    if (!cur.holder)
        return;
    pugi::xml_node holder = cur.holder;
    cur.holder = {};
    cur.parent = holder.parent();
    if (cur.offset == 0) {
        cur.before = holder;
        return;
    }
    const std::string_view bytes = dialect_.holderBytes(holder);
    std::size_t at = 0, same = 0;
    const bool inPlace = byteOffsets(bytes, cur.offset, cur.offset, at, same);
    std::u16string text;
    if (!inPlace)
        text = dialect_.holderText(holder);
    if (inPlace ? at >= bytes.size() : cur.offset >= text.size()) {
        cur.before = holder.next_sibling();
        return;
    }
    pugi::xml_node tail;
    if (holder.type() == pugi::node_element) {
        tail = holder.parent().insert_child_after(pugi::node_element, holder);
        tail.set_name(holder.name());
        for (pugi::xml_attribute a = holder.first_attribute(); a; a = a.next_attribute())
            tail.append_copy(a);
    } else {
        tail = holder.parent().insert_child_after(holder.type(), holder);
    }
    if (inPlace) {
        dialect_.setHolderBytes(tail, std::string(bytes.substr(at)));
        dialect_.setHolderBytes(holder, std::string(bytes.substr(0, at)));
    } else {
        dialect_.setHolderText(tail, std::u16string_view(text).substr(cur.offset));
        dialect_.setHolderText(holder, std::u16string_view(text).substr(0, cur.offset));
    }
    cur.before = tail;
}

pugi::xml_node TextStory::cloneShallow(pugi::xml_node element, std::vector<pugi::xml_node>& touched) const
{
    pugi::xml_node clone = element.parent().insert_child_after(pugi::node_element, element);
    clone.set_name(element.name());
    for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute())
        clone.append_copy(a);
    for (pugi::xml_node c = element.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element && dialect_.isPropertyElement(c))
            clone.append_copy(c);
    dialect_.prepareClone(clone);
    touched.push_back(element);
    touched.push_back(clone);
    return clone;
}

void TextStory::cleanUp(pugi::xml_node paragraph, pugi::xml_node first, pugi::xml_node end,
                        const std::vector<pugi::xml_node>& touched) const
{
    // Empty text holders and runs of the children [first, end) go; so do emptied split elements.
    std::vector<pugi::xml_node> drop;
    std::vector<pugi::xml_node> stack;
    auto emptyHolder = [this](pugi::xml_node h) {
        if (!dialect_.isTextHolder(h))
            return false;
        if (h.type() == pugi::node_pcdata || h.type() == pugi::node_cdata)
            return *h.value() == 0;
        return *h.text().get() == 0;
    };
    auto pass1 = [&](pugi::xml_node c) {
        if (c.type() != pugi::node_element)
            return;
        if (dialect_.isRun(c)) {
            for (pugi::xml_node h = c.first_child(); h; h = h.next_sibling()) {
                if (h.type() == pugi::node_element && dialect_.isPropertyElement(h))
                    continue;
                if (emptyHolder(h))
                    drop.push_back(h);
            }
        } else if (!dialect_.isPropertyElement(c)) {
            stack.push_back(c);
        }
    };
    for (pugi::xml_node c = first; c && c != end; c = c.next_sibling())
        pass1(c);
    while (!stack.empty()) {
        pugi::xml_node n = stack.back();
        stack.pop_back();
        for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling())
            pass1(c);
    }
    // The first child may go: the range is taken again from the child before it.
    pugi::xml_node before = first ? first.previous_sibling() : pugi::xml_node();
    for (pugi::xml_node n : drop)
        n.parent().remove_child(n);
    drop.clear();
    first = before ? before.next_sibling() : paragraph.first_child();
    auto pass2 = [&](pugi::xml_node c) {
        if (c.type() != pugi::node_element || dialect_.isPropertyElement(c))
            return;
        const bool candidate =
            dialect_.isRun(c) || std::find(touched.begin(), touched.end(), c) != touched.end();
        if (candidate && !hasContent(c, dialect_))
            drop.push_back(c);
        else if (!dialect_.isRun(c))
            stack.push_back(c);
    };
    for (pugi::xml_node c = first; c && c != end; c = c.next_sibling())
        pass2(c);
    while (!stack.empty()) {
        pugi::xml_node n = stack.back();
        stack.pop_back();
        for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling())
            pass2(c);
    }
    for (pugi::xml_node n : drop)
        n.parent().remove_child(n);
}

void TextStory::insertAt(std::size_t index, std::uint32_t localPos, std::u16string_view text, bool hostBefore)
{
    std::size_t segment = 0;
    Cursor cur = hostCursor(paragraphs_[index], localPos, hostBefore, segment);
    pugi::xml_node paragraph = paragraphs_[index].element;
    std::vector<pugi::xml_node> paragraphsMade;
    std::vector<pugi::xml_node> touched;
    // Without paragraph marks, only the children of the paragraph around the point change.
    Window window;
    bool local = false;
    if (text.find(u'\r') == std::u16string_view::npos) {
        const Paragraph& p = paragraphs_[index];
        const pugi::xml_node around =
            segment < p.segments.size() ? p.segments[segment].node : paragraph.last_child();
        local = around && openWindow(index, around, around, segment, window);
    }

    std::size_t i = 0;
    while (i < text.size()) {
        const char16_t c = text[i];
        const int level = c == u'\r' ? 2 : dialect_.controlLevel(c);
        if (level < 0) {
            std::size_t j = i;
            while (j < text.size() && text[j] != u'\r' && dialect_.controlLevel(text[j]) < 0)
                ++j;
            const std::u16string_view chunk = text.substr(i, j - i);
            if (!cur.holder) {
                pugi::xml_node parent = cur.parent;
                pugi::xml_node before = cur.before;
                if (!dialect_.canHoldText(parent)) {
                    pugi::xml_node run = dialect_.insertRun(parent, before);
                    parent = run;
                    before = {};
                }
                cur.holder = dialect_.insertTextHolder(parent, before);
                cur.offset = 0;
            }
            editHolder(cur.holder, cur.offset, cur.offset, chunk);
            cur.offset += static_cast<std::uint32_t>(chunk.size());
            i = j;
            continue;
        }
        toPoint(cur);
        if (level == 0) {
            if (!dialect_.canHoldText(cur.parent)) {
                pugi::xml_node run = dialect_.insertRun(cur.parent, cur.before);
                cur.parent = run;
                cur.before = {};
            }
            pugi::xml_node e = dialect_.insertControl(cur.parent, cur.before, c);
            cur.before = e.next_sibling();
        } else if (level == 1) {
            while (dialect_.isRun(cur.parent) || dialect_.canHoldText(cur.parent)) {
                if (cur.parent == paragraph)
                    break;
                pugi::xml_node run = cur.parent;
                pugi::xml_node clone = cloneShallow(run, touched);
                for (pugi::xml_node n = cur.before; n;) {
                    pugi::xml_node next = n.next_sibling();
                    clone.append_move(n);
                    n = next;
                }
                cur.parent = run.parent();
                cur.before = clone;
            }
            pugi::xml_node e = dialect_.insertControl(cur.parent, cur.before, c);
            cur.before = e.next_sibling();
        } else {
            // Paragraph mark: split every element up to the paragraph, then the paragraph.
            pugi::xml_node deepest;
            while (cur.parent != paragraph) {
                pugi::xml_node element = cur.parent;
                pugi::xml_node clone = cloneShallow(element, touched);
                for (pugi::xml_node n = cur.before; n;) {
                    pugi::xml_node next = n.next_sibling();
                    clone.append_move(n);
                    n = next;
                }
                if (!deepest)
                    deepest = clone;
                cur.parent = element.parent();
                cur.before = clone;
            }
            std::vector<pugi::xml_node> ignored;
            pugi::xml_node next = cloneShallow(paragraph, ignored);
            for (pugi::xml_node n = cur.before; n;) {
                pugi::xml_node following = n.next_sibling();
                next.append_move(n);
                n = following;
            }
            // The section break stays with the last piece.
            if (pugi::xml_node br = dialect_.sectionBreak(paragraph)) {
                if (pugi::xml_node copy = dialect_.sectionBreak(next))
                    br.parent().remove_child(br);
            }
            cleanUp(paragraph, touched);
            paragraphsMade.push_back(paragraph);
            paragraph = next;
            cur = Cursor();
            if (deepest) {
                cur.parent = deepest;
                pugi::xml_node firstContent = deepest.first_child();
                while (firstContent && firstContent.type() == pugi::node_element &&
                       dialect_.isPropertyElement(firstContent))
                    firstContent = firstContent.next_sibling();
                cur.before = firstContent;
            } else {
                cur.parent = paragraph;
                pugi::xml_node firstContent = paragraph.first_child();
                while (firstContent && firstContent.type() == pugi::node_element &&
                       dialect_.isPropertyElement(firstContent))
                    firstContent = firstContent.next_sibling();
                cur.before = firstContent;
            }
        }
        ++i;
    }
    if (local) {
        const std::size_t oldSpan = spanOf(paragraphs_[index]);
        closeWindow(index, window, touched);
        length_ = length_ - oldSpan + spanOf(paragraphs_[index]);
        relayout(index + 1, index + 1);
        markChanged(index);
        return;
    }
    cleanUp(paragraph, touched);
    paragraphsMade.push_back(paragraph);

    // Story update: the first paragraph stays, the new ones follow it.
    Paragraph& first = paragraphs_[index];
    const std::size_t oldSpan = spanOf(first);
    const std::uint32_t container = first.container;
    const std::uint32_t trailing = first.trailing;
    first.trailing = 0;
    std::vector<Paragraph> added(paragraphsMade.size() - 1);
    for (std::size_t k = 0; k < added.size(); ++k) {
        added[k].element = paragraphsMade[k + 1];
        added[k].container = container;
    }
    if (!added.empty())
        added.back().trailing = trailing;
    else
        first.trailing = trailing;
    paragraphs_.insert(paragraphs_.begin() + static_cast<std::ptrdiff_t>(index) + 1, added.begin(),
                       added.end());
    for (pugi::xml_node made : paragraphsMade)
        dialect_.afterEdit(made);
    rescan(index, paragraphsMade.size());
    for (std::size_t k = index; k < index + paragraphsMade.size(); ++k)
        paragraphs_[k].settled = true;
    length_ -= oldSpan;
    for (std::size_t k = index; k < index + paragraphsMade.size(); ++k)
        length_ += spanOf(paragraphs_[k]);
    relayout(index + 1, index + paragraphsMade.size());
    markChanged(index);
}

void TextStory::deleteRange(std::size_t start, std::size_t end)
{
    const std::size_t a = paragraphAt(start);
    const std::size_t z = paragraphAt(end >= length_ ? length_ - 1 : end);
    std::vector<pugi::xml_node> touched;
    if (a == z && end <= paragraphs_[a].start + paragraphs_[a].text.size() && deleteLocally(a, start, end))
        return;
    for (std::size_t k = a; k <= z; ++k)
        length_ -= spanOf(paragraphs_[k]);
    for (std::size_t k = a; k <= z; ++k) {
        Paragraph& p = paragraphs_[k];
        const std::size_t ls = start > p.start ? start - p.start : 0;
        const std::size_t le = std::min(end - std::min(end, p.start), p.text.size());
        if (ls < le) {
            for (auto it = p.segments.rbegin(); it != p.segments.rend(); ++it) {
                const Segment& s = *it;
                const std::size_t ss = s.start, se = s.start + s.length;
                if (se <= ls || ss >= le)
                    continue;
                const std::size_t from = std::max(ls, ss) - ss, to = std::min(le, se) - ss;
                if (s.kind == SegmentKind::kText) {
                    editHolder(s.node, from, to, {});
                } else if (s.kind == SegmentKind::kChar) {
                    if (from == 0 && to == s.length)
                        s.node.parent().remove_child(s.node);
                    else
                        dialect_.shrinkChar(s.node, static_cast<std::uint32_t>(s.length - (to - from)));
                }
            }
        }
    }
    pugi::xml_node first = paragraphs_[a].element;
    if (z > a) {
        for (std::size_t k = a + 1; k <= z; ++k) {
            pugi::xml_node p = paragraphs_[k].element;
            for (pugi::xml_node n = p.first_child(); n;) {
                pugi::xml_node next = n.next_sibling();
                if (!(n.type() == pugi::node_element && dialect_.isPropertyElement(n)))
                    first.append_move(n);
                n = next;
            }
        }
        pugi::xml_node last = paragraphs_[z].element;
        if (dialect_.sectionBreak(last))
            dialect_.moveSectionBreak(last, first);
        for (std::size_t k = a + 1; k <= z; ++k)
            paragraphs_[k].element.parent().remove_child(paragraphs_[k].element);
        paragraphs_[a].trailing = paragraphs_[z].trailing;
        paragraphs_.erase(paragraphs_.begin() + static_cast<std::ptrdiff_t>(a) + 1,
                          paragraphs_.begin() + static_cast<std::ptrdiff_t>(z) + 1);
    }
    cleanUp(first, touched);
    dialect_.afterEdit(first);
    rescan(a, 1);
    paragraphs_[a].settled = true;
    length_ += spanOf(paragraphs_[a]);
    relayout(a + 1, a + 1);
    markChanged(a);
}

// ---- Edits inside one paragraph ----

namespace {

// The child of paragraph that holds node (node itself when it is one); null when node is outside.
pugi::xml_node childOf(pugi::xml_node paragraph, pugi::xml_node node)
{
    while (node && node.parent() != paragraph)
        node = node.parent();
    return node;
}

} // namespace

bool TextStory::openWindow(std::size_t index, pugi::xml_node from, pugi::xml_node to, std::size_t pivot,
                           Window& w) const
{
    const Paragraph& p = paragraphs_[index];
    if (!dialect_.editsLocally() || !p.settled || !p.separable)
        return false;
    const pugi::xml_node first = childOf(p.element, from);
    pugi::xml_node last = childOf(p.element, to);
    if (!first || !last)
        return false;
    last = dialect_.editReach(last);
    std::vector<pugi::xml_node_struct*> children;
    for (pugi::xml_node c = first;; c = c.next_sibling()) {
        if (!c)
            return false;
        children.push_back(c.internal_object());
        if (c == last)
            break;
    }
    std::sort(children.begin(), children.end());
    auto inside = [&](std::size_t k) {
        return std::binary_search(children.begin(), children.end(),
                                  childOf(p.element, p.segments[k].node).internal_object());
    };
    const std::size_t count = p.segments.size();
    if (pivot < count && !inside(pivot))
        return false;
    w.first = pivot;
    while (w.first > 0 && inside(w.first - 1))
        --w.first;
    w.end = pivot;
    while (w.end < count && inside(w.end))
        ++w.end;
    w.prev = first.previous_sibling();
    w.next = last.next_sibling();
    return true;
}

void TextStory::closeWindow(std::size_t index, const Window& w, const std::vector<pugi::xml_node>& touched)
{
    Paragraph& p = paragraphs_[index];
    pugi::xml_node element = p.element;
    auto firstChild = [&] { return w.prev ? w.prev.next_sibling() : element.first_child(); };
    cleanUp(element, firstChild(), w.next, touched);
    dialect_.afterEditChildren(element, firstChild(), w.next);
    Paragraph fresh;
    if (!dialect_.scanChildren(element, firstChild(), w.next, fresh) || !fresh.separable) {
        rescan(index, 1);
        return;
    }
    // The window's segments and text take the place of the old ones.
    std::vector<Segment>& segments = p.segments;
    const std::size_t from = w.first < segments.size() ? segments[w.first].start : p.text.size();
    const std::size_t to = w.end > w.first ? segments[w.end - 1].start + segments[w.end - 1].length : from;
    p.text.replace(from, to - from, fresh.text);
    const std::int64_t delta =
        static_cast<std::int64_t>(fresh.text.size()) - static_cast<std::int64_t>(to - from);
    for (Segment& s : fresh.segments)
        s.start += static_cast<std::uint32_t>(from);
    segments.erase(segments.begin() + static_cast<std::ptrdiff_t>(w.first),
                   segments.begin() + static_cast<std::ptrdiff_t>(w.end));
    segments.insert(segments.begin() + static_cast<std::ptrdiff_t>(w.first), fresh.segments.begin(),
                    fresh.segments.end());
    for (std::size_t k = w.first + fresh.segments.size(); k < segments.size(); ++k)
        segments[k].start = static_cast<std::uint32_t>(segments[k].start + delta);
}

bool TextStory::deleteLocally(std::size_t index, std::size_t start, std::size_t end)
{
    Paragraph& p = paragraphs_[index];
    const std::size_t ls = start - p.start, le = end - p.start;
    // The segments [j0, j1) overlap the range.
    const auto found =
        std::upper_bound(p.segments.begin(), p.segments.end(), ls,
                         [](std::size_t value, const Segment& s) { return value < s.start + s.length; });
    const auto j0 = static_cast<std::size_t>(found - p.segments.begin());
    std::size_t j1 = j0;
    while (j1 < p.segments.size() && p.segments[j1].start < le)
        ++j1;
    if (j1 == j0)
        return false;
    Window window;
    if (!openWindow(index, p.segments[j0].node, p.segments[j1 - 1].node, j0, window))
        return false;
    const std::size_t oldSpan = spanOf(p);
    for (std::size_t k = j1; k-- > j0;) {
        const Segment& s = p.segments[k];
        const std::size_t ss = s.start, se = s.start + s.length;
        if (se <= ls || ss >= le)
            continue;
        const std::size_t from = std::max(ls, ss) - ss, to = std::min(le, se) - ss;
        if (s.kind == SegmentKind::kText) {
            editHolder(s.node, from, to, {});
        } else if (s.kind == SegmentKind::kChar) {
            if (from == 0 && to == s.length)
                s.node.parent().remove_child(s.node);
            else
                dialect_.shrinkChar(s.node, static_cast<std::uint32_t>(s.length - (to - from)));
        }
    }
    closeWindow(index, window, {});
    length_ = length_ - oldSpan + spanOf(paragraphs_[index]);
    relayout(index + 1, index + 1);
    markChanged(index);
    return true;
}

} // namespace wux::platform::automation
