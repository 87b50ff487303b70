#include "platform/automation/odt_story.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/automation/package.h"
#include "platform/automation/variant.h"
#include "platform/text.h"

namespace wux::platform::automation {

namespace {

constexpr const char* kTextNamespace = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";
constexpr const char* kOfficeNamespace = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";

// Blanks of text:s counts a document may hold, and the deepest nesting of its elements: beyond these
// it is taken as damaged (or hostile).
constexpr std::size_t kMaxSpaceCount = 1 << 18;
constexpr int kMaxDepth = 256;
// Character data longer than this is held in pieces of at most this many bytes, split between
// characters: an edit rewrites only the piece it falls in, so a paragraph of many hits costs what each
// hit touches rather than the paragraph's length. Adjacent pieces are written back as the one text they
// were.
constexpr std::size_t kTextPieceBytes = 512;

void splitLongText(pugi::xml_node parent, pugi::xml_node c)
{
    const std::string_view bytes = c.value();
    if (bytes.size() <= kTextPieceBytes)
        return;
    const std::string all(bytes);
    pugi::xml_node last = c;
    std::size_t at = 0;
    while (at < all.size()) {
        std::size_t end = std::min(all.size(), at + kTextPieceBytes);
        while (end < all.size() && end > at + 1 && (static_cast<unsigned char>(all[end]) & 0xC0) == 0x80)
            --end;
        const std::string piece = all.substr(at, end - at);
        if (at == 0) {
            c.set_value(piece.c_str());
        } else {
            last = parent.insert_child_after(pugi::node_pcdata, last);
            last.set_value(piece.c_str());
        }
        at = end;
    }
}

[[noreturn]] void damaged(const char* what)
{
    throw AutomationError(kErrorFail, "Document", std::string("The document is damaged: ") + what + ".");
}

std::string prefixFor(pugi::xml_node root, const char* uri, const char* fallback)
{
    for (pugi::xml_attribute a = root.first_attribute(); a; a = a.next_attribute()) {
        const std::string_view name = a.name();
        if (name.substr(0, 6) == "xmlns:" && std::strcmp(a.value(), uri) == 0)
            return std::string(name.substr(6)) + ":";
        if (name == "xmlns" && std::strcmp(a.value(), uri) == 0)
            return std::string();
    }
    return std::string(fallback) + ":";
}

bool isWhite(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

bool isCharacterData(pugi::xml_node node)
{
    return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

} // namespace

OdtDialect::OdtDialect(pugi::xml_node root)
    : text_(prefixFor(root, kTextNamespace, "text")), office_(prefixFor(root, kOfficeNamespace, "office"))
{
}

bool OdtDialect::isText(pugi::xml_node node, const char* local) const
{
    const char* name = node.name();
    return node.type() == pugi::node_element && std::strncmp(name, text_.c_str(), text_.size()) == 0 &&
           std::strcmp(name + text_.size(), local) == 0;
}

OdtDialect::Kind OdtDialect::kindOf(pugi::xml_node node) const
{
    if (isCharacterData(node))
        return Kind::kText;
    if (node.type() != pugi::node_element)
        return Kind::kSkip;
    const std::string_view name = node.name();
    if (name.substr(0, text_.size()) != text_)
        return name == office_ + "annotation-end" ? Kind::kZero : Kind::kBarrier;
    const std::string_view local = name.substr(text_.size());
    if (local == "span" || local == "a" || local == "meta" || local == "ruby" || local == "ruby-base")
        return Kind::kDescend;
    if (local == "s")
        return Kind::kSpace;
    if (local == "tab")
        return Kind::kTab;
    if (local == "line-break")
        return Kind::kLineBreak;
    static const char* const kMarks[] = {"bookmark",
                                         "bookmark-start",
                                         "bookmark-end",
                                         "reference-mark",
                                         "reference-mark-start",
                                         "reference-mark-end",
                                         "soft-page-break",
                                         "change",
                                         "change-start",
                                         "change-end",
                                         "toc-mark",
                                         "toc-mark-start",
                                         "toc-mark-end",
                                         "alphabetical-index-mark",
                                         "alphabetical-index-mark-start",
                                         "alphabetical-index-mark-end",
                                         "user-index-mark",
                                         "user-index-mark-start",
                                         "user-index-mark-end"};
    for (const char* mark : kMarks)
        if (local == mark)
            return Kind::kZero;
    return Kind::kBarrier; // notes, fields, ruby text, anything unknown
}

// ---- Reading ----

void OdtDialect::canonicalize(pugi::xml_node parent, bool& white, int depth) const
{
    if (depth > kMaxDepth)
        damaged("its elements are nested too deeply");
    for (pugi::xml_node c = parent.first_child(); c;) {
        pugi::xml_node next = c.next_sibling();
        canonicalizeChild(parent, c, white, depth);
        c = next;
    }
}

void OdtDialect::canonicalizeChild(pugi::xml_node parent, pugi::xml_node c, bool& white, int depth) const
{
    switch (kindOf(c)) {
    case Kind::kText: {
        // White space is ASCII: most character data is seen to be canonical without decoding it.
        const std::string_view bytes = c.value();
        bool change = bytes.empty();
        bool w = white;
        for (std::size_t k = 0; k < bytes.size() && !change; ++k) {
            const auto b = static_cast<unsigned char>(bytes[k]);
            change = isWhite(b) && (b != ' ' || w);
            w = isWhite(b);
        }
        if (!change) {
            white = w;
            splitLongText(parent, c);
            break;
        }
        const std::u16string value = utf8ToUtf16(bytes);
        std::u16string out;
        out.reserve(value.size());
        for (char16_t ch : value) {
            if (isWhite(ch)) {
                if (!white)
                    out.push_back(u' ');
                white = true;
            } else {
                out.push_back(ch);
                white = false;
            }
        }
        if (out.empty()) {
            parent.remove_child(c);
        } else {
            if (out != value)
                c.set_value(utf16ToUtf8(out).c_str());
            splitLongText(parent, c);
        }
        break;
    }
    case Kind::kSpace: {
        long count = 1;
        if (pugi::xml_attribute a = attribute(c, "c")) {
            count = a.as_int(1);
            c.remove_attribute(a);
        }
        if (count > 1) {
            spaces_ += static_cast<std::size_t>(count);
            if (static_cast<std::size_t>(count) > kMaxSpaceCount || spaces_ > kMaxSpaceCount)
                damaged("it holds too many blanks");
        }
        for (long k = 1; k < count; ++k)
            parent.insert_copy_after(c, c);
        white = false;
        break;
    }
    case Kind::kTab:
    case Kind::kLineBreak:
    case Kind::kBarrier:
        white = false;
        break;
    case Kind::kDescend:
        canonicalize(c, white, depth + 1);
        break;
    case Kind::kZero:
    case Kind::kSkip:
        break;
    }
}

void OdtDialect::segments(pugi::xml_node parent, Paragraph& out) const
{
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling())
        segment(c, out);
}

void OdtDialect::segment(pugi::xml_node c, Paragraph& out) const
{
    auto add = [&out](SegmentKind kind, char16_t ch, std::u16string_view text, pugi::xml_node node) {
        Segment s;
        s.kind = kind;
        s.start = static_cast<std::uint32_t>(out.text.size());
        s.node = node;
        if (kind == SegmentKind::kText)
            out.text.append(text);
        else if (kind != SegmentKind::kZero)
            out.text.push_back(ch);
        s.length = static_cast<std::uint32_t>(out.text.size() - s.start);
        out.segments.push_back(s);
    };
    switch (kindOf(c)) {
    case Kind::kText: {
        const std::u16string value = utf8ToUtf16(c.value());
        if (!value.empty())
            add(SegmentKind::kText, 0, value, c);
        break;
    }
    case Kind::kSpace:
        add(SegmentKind::kChar, u' ', {}, c);
        break;
    case Kind::kTab:
        add(SegmentKind::kChar, u'\t', {}, c);
        break;
    case Kind::kLineBreak:
        add(SegmentKind::kChar, u'\n', {}, c);
        break;
    case Kind::kZero:
        add(SegmentKind::kZero, 0, {}, c);
        break;
    case Kind::kBarrier:
        add(SegmentKind::kBarrier, kBarrierChar, {}, c);
        break;
    case Kind::kDescend:
        segments(c, out);
        break;
    case Kind::kSkip:
        break;
    }
}

void OdtDialect::scanParagraph(pugi::xml_node paragraph, Paragraph& out, int&) const
{
    bool white = true;
    canonicalize(paragraph, white, 0);
    segments(paragraph, out);
}

// ---- Writing ----

bool OdtDialect::isRun(pugi::xml_node node) const
{
    return isText(node, "span") || isText(node, "a") || isText(node, "meta");
}

bool OdtDialect::canHoldText(pugi::xml_node node) const
{
    return isRun(node) || isText(node, "p") || isText(node, "h") || isText(node, "ruby-base");
}

bool OdtDialect::isPropertyElement(pugi::xml_node) const
{
    return false; // formatting is held in style attributes, which a clone copies
}

int OdtDialect::controlLevel(char16_t c) const
{
    return c == u'\t' || c == u'\n' || c == u'\v' ? 0 : -1;
}

pugi::xml_node OdtDialect::insertControl(pugi::xml_node parent, pugi::xml_node before, char16_t c) const
{
    const std::string name = text_ + (c == u'\t' ? "tab" : "line-break");
    return before ? parent.insert_child_before(name.c_str(), before) : parent.append_child(name.c_str());
}

bool OdtDialect::isTextHolder(pugi::xml_node node) const
{
    return isCharacterData(node);
}

void OdtDialect::prepareClone(pugi::xml_node clone) const
{
    // Identifiers must stay unique.
    for (const char* name : {"xml:id", "text:id"})
        if (pugi::xml_attribute a = clone.attribute(name))
            clone.remove_attribute(a);
}

pugi::xml_node OdtDialect::insertTextHolder(pugi::xml_node parent, pugi::xml_node before) const
{
    return before ? parent.insert_child_before(pugi::node_pcdata, before)
                  : parent.append_child(pugi::node_pcdata);
}

pugi::xml_node OdtDialect::insertRun(pugi::xml_node parent, pugi::xml_node before) const
{
    const std::string name = text_ + "span";
    return before ? parent.insert_child_before(name.c_str(), before) : parent.append_child(name.c_str());
}

void OdtDialect::encode(pugi::xml_node parent, bool& white) const
{
    for (pugi::xml_node c = parent.first_child(); c;) {
        pugi::xml_node next = c.next_sibling();
        encodeChild(parent, c, white);
        c = next;
    }
}

void OdtDialect::encodeChild(pugi::xml_node parent, pugi::xml_node c, bool& white) const
{
    const std::string spaceName = text_ + "s";
    switch (kindOf(c)) {
    case Kind::kText: {
        const std::string_view bytes = c.value();
        bool needed = false;
        bool w = white;
        for (std::size_t k = 0; k < bytes.size() && !needed; ++k) {
            needed = bytes[k] == ' ' && w;
            w = isWhite(static_cast<unsigned char>(bytes[k]));
        }
        if (!needed) {
            if (!bytes.empty())
                white = isWhite(static_cast<unsigned char>(bytes.back()));
            break;
        }
        const std::u16string value = utf8ToUtf16(bytes);
        // Rebuild the character data as text pieces and text:s elements.
        pugi::xml_node last = c;
        std::u16string piece;
        auto flush = [&] {
            if (piece.empty())
                return;
            last = parent.insert_child_after(pugi::node_pcdata, last);
            last.set_value(utf16ToUtf8(piece).c_str());
            piece.clear();
        };
        for (char16_t ch : value) {
            if (ch == u' ' && white) {
                flush();
                last = parent.insert_child_after(spaceName.c_str(), last);
            } else {
                piece.push_back(ch);
            }
            white = isWhite(ch);
        }
        flush();
        parent.remove_child(c);
        break;
    }
    case Kind::kSpace:
    case Kind::kTab:
    case Kind::kLineBreak:
        white = true;
        break;
    case Kind::kBarrier:
        white = false;
        break;
    case Kind::kDescend:
        encode(c, white);
        break;
    case Kind::kZero:
    case Kind::kSkip:
        break;
    }
}

void OdtDialect::afterEdit(pugi::xml_node paragraph) const
{
    bool white = true;
    encode(paragraph, white);
}

// ---- Edits inside a paragraph ----
//
// A paragraph that afterEdit has encoded holds no character data that canonicalize would change, and
// afterEdit would change nothing in it. An edit changes this only from its own children up to the first
// following child whose content sets the white-space state on its own, so only those are encoded again.

bool OdtDialect::setsWhite(pugi::xml_node node) const
{
    switch (kindOf(node)) {
    case Kind::kText:
        return *node.value() != 0;
    case Kind::kSpace:
    case Kind::kTab:
    case Kind::kLineBreak:
    case Kind::kBarrier:
        return true;
    case Kind::kDescend:
        for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
            if (setsWhite(c))
                return true;
        return false;
    case Kind::kZero:
    case Kind::kSkip:
        break;
    }
    return false;
}

// 1 when the white-space state after node is "white", 0 when not, -1 when node leaves it unchanged
// (encoding: the rules of encode; else those of canonicalize).
int OdtDialect::whiteAtEnd(pugi::xml_node node, bool encoding) const
{
    switch (kindOf(node)) {
    case Kind::kText: {
        const std::string_view value = node.value();
        return value.empty() ? -1 : isWhite(static_cast<unsigned char>(value.back())) ? 1 : 0;
    }
    case Kind::kSpace:
    case Kind::kTab:
    case Kind::kLineBreak:
        return encoding ? 1 : 0;
    case Kind::kBarrier:
        return 0;
    case Kind::kDescend:
        for (pugi::xml_node c = node.last_child(); c; c = c.previous_sibling())
            if (const int white = whiteAtEnd(c, encoding); white >= 0)
                return white;
        return -1;
    case Kind::kZero:
    case Kind::kSkip:
        break;
    }
    return -1;
}

bool OdtDialect::whiteBefore(pugi::xml_node first, bool encoding) const
{
    for (pugi::xml_node c = first.previous_sibling(); c; c = c.previous_sibling())
        if (const int white = whiteAtEnd(c, encoding); white >= 0)
            return white == 1;
    return true; // the start of the paragraph
}

pugi::xml_node OdtDialect::editReach(pugi::xml_node last) const
{
    for (pugi::xml_node c = last.next_sibling(); c; c = c.next_sibling())
        if (setsWhite(c))
            return c;
    return last;
}

void OdtDialect::afterEditChildren(pugi::xml_node paragraph, pugi::xml_node first, pugi::xml_node end) const
{
    if (!first || first == end)
        return;
    bool white = whiteBefore(first, true);
    for (pugi::xml_node c = first; c && c != end;) {
        pugi::xml_node next = c.next_sibling();
        encodeChild(paragraph, c, white);
        c = next;
    }
}

bool OdtDialect::scanChildren(pugi::xml_node paragraph, pugi::xml_node first, pugi::xml_node end,
                              Paragraph& out) const
{
    if (!first || first == end)
        return true;
    pugi::xml_node before = first.previous_sibling();
    bool white = whiteBefore(first, false);
    for (pugi::xml_node c = first; c && c != end;) {
        pugi::xml_node next = c.next_sibling();
        canonicalizeChild(paragraph, c, white, 0);
        c = next;
    }
    for (pugi::xml_node c = before ? before.next_sibling() : paragraph.first_child(); c && c != end;
         c = c.next_sibling())
        segment(c, out);
    return true;
}

// ---- Paragraphs of the body ----

void OdtDialect::collect(TextStory& story, const std::string& part, pugi::xml_node parent, int depth) const
{
    if (depth > kMaxDepth)
        damaged("its elements are nested too deeply");
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
        if (c.type() != pugi::node_element)
            continue;
        const std::string_view name = c.name();
        if (name == office_ + "annotation")
            continue;
        if (name.substr(0, text_.size()) == text_) {
            const std::string_view local = name.substr(text_.size());
            if (local == "tracked-changes" || local == "table-of-content" || local == "bibliography" ||
                (local.size() > 6 && local.substr(local.size() - 6) == "-index"))
                continue;
            if (local == "section" && std::string_view(attribute(c, "protected").value()) == "true")
                continue;
            if (local == "p" || local == "h") {
                story.beginContainer(part, c);
                story.addParagraph(c);
            }
        }
        collect(story, part, c, depth + 1); // lists, tables, sections; a paragraph's notes and frames
    }
}

void OdtDialect::addParagraphs(TextStory& story, const std::string& part, pugi::xml_node officeText) const
{
    collect(story, part, officeText, 0);
    story.finish();
}

} // namespace wux::platform::automation
