#include "platform/automation/docx_story.h"

#include <string_view>

#include "platform/automation/package.h"
#include "platform/text.h"

namespace wux::platform::automation {

namespace {

// Deeper nesting than any real document has is not followed (no stack overflow on hostile input).
constexpr int kMaxNesting = 200;

bool isOneOf(std::string_view name, std::initializer_list<std::string_view> names)
{
    for (std::string_view n : names)
        if (n == name)
            return true;
    return false;
}

pugi::xml_node createElement(pugi::xml_node parent, pugi::xml_node before, const std::string& name)
{
    return before ? parent.insert_child_before(name.c_str(), before) : parent.append_child(name.c_str());
}

std::string wordName(pugi::xml_node near, std::string_view local)
{
    std::string prefix = prefixOf(near);
    return prefix.empty() ? std::string(local) : prefix + ":" + std::string(local);
}

class Scanner
{
public:
    Scanner(Paragraph& out, int& fieldDepth) : out_(out), depth_(fieldDepth) {}

    void paragraph(pugi::xml_node p)
    {
        if (depth_ > 0) {
            out_.separable = false;
            pugi::xml_node first = p.first_child();
            while (first && (first.type() != pugi::node_element || localName(first) == "pPr"))
                first = first.next_sibling();
            barrier(first);
        }
        inlineContent(p, 0);
        out_.markIsBarrier = depth_ > 0;
    }

    // The children [first, end) of a paragraph, as paragraph() scans them when no field is open.
    void children(pugi::xml_node first, pugi::xml_node end)
    {
        for (pugi::xml_node c = first; c && c != end; c = c.next_sibling())
            inlineChild(c, 0);
    }

private:
    void add(SegmentKind kind, std::u16string_view text, pugi::xml_node node)
    {
        Segment s;
        s.kind = kind;
        s.start = static_cast<std::uint32_t>(out_.text.size());
        s.length = static_cast<std::uint32_t>(text.size());
        s.node = node;
        out_.text.append(text);
        out_.segments.push_back(s);
    }
    void barrier(pugi::xml_node node)
    {
        const char16_t c = kBarrierChar;
        add(SegmentKind::kBarrier, std::u16string_view(&c, 1), node);
    }
    void character(char16_t c, pugi::xml_node node)
    {
        add(SegmentKind::kChar, std::u16string_view(&c, 1), node);
    }
    void zero(pugi::xml_node node) { add(SegmentKind::kZero, {}, node); }

    void inlineContent(pugi::xml_node parent, int nesting)
    {
        if (nesting > kMaxNesting) {
            if (depth_ == 0)
                barrier(parent); // hostile nesting: kept as one object, never searched
            return;
        }
        for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling())
            inlineChild(c, nesting);
    }

    void inlineChild(pugi::xml_node c, int nesting)
    {
        if (c.type() != pugi::node_element)
            return;
        const std::string_view name = localName(c);
        if (name == "pPr")
            return;
        if (name == "r" && prefixOf(c) != "m") {
            run(c);
        } else if (isOneOf(name, {"hyperlink", "ins", "moveTo", "smartTag", "customXml", "fldSimple", "dir",
                                  "bdo"})) {
            inlineContent(c, nesting + 1);
        } else if (name == "sdt") {
            if (pugi::xml_node content = child(c, "sdtContent"))
                inlineContent(content, nesting + 1);
        } else if (isOneOf(name, {"del", "moveFrom"})) {
            return;
        } else if (isOneOf(name, {"bookmarkStart", "bookmarkEnd", "proofErr", "commentRangeStart",
                                  "commentRangeEnd", "permStart", "permEnd", "moveFromRangeStart",
                                  "moveFromRangeEnd", "moveToRangeStart", "moveToRangeEnd",
                                  "customXmlInsRangeStart", "customXmlInsRangeEnd", "customXmlDelRangeStart",
                                  "customXmlDelRangeEnd", "customXmlMoveFromRangeStart",
                                  "customXmlMoveFromRangeEnd", "customXmlMoveToRangeStart",
                                  "customXmlMoveToRangeEnd"})) {
            if (depth_ == 0)
                zero(c);
        } else if (isOneOf(name, {"sdtPr", "sdtEndPr"})) {
            return;
        } else if (depth_ == 0) {
            barrier(c); // math, alternate content, anything unknown
        }
    }

    void run(pugi::xml_node r)
    {
        for (pugi::xml_node c = r.first_child(); c; c = c.next_sibling()) {
            if (c.type() != pugi::node_element)
                continue;
            const std::string_view name = localName(c);
            if (name == "rPr")
                continue;
            if (name == "fldChar") {
                out_.separable = false;
                const std::string_view type = attribute(c, "fldCharType").value();
                if (type == "begin") {
                    if (depth_ == 0)
                        barrier(r);
                    ++depth_;
                } else if (type == "end" && depth_ > 0) {
                    --depth_;
                }
                continue;
            }
            if (depth_ > 0)
                continue;
            if (name == "t") {
                const std::u16string text = utf8ToUtf16(c.text().get());
                if (!text.empty())
                    add(SegmentKind::kText, text, c);
            } else if (name == "tab" || name == "ptab") {
                if (name == "tab")
                    character(u'\t', c);
                else
                    barrier(c);
            } else if (name == "br") {
                character(std::string_view(attribute(c, "type").value()) == "page" ? u'\f' : u'\v', c);
            } else if (name == "cr") {
                character(u'\v', c);
            } else if (name == "noBreakHyphen") {
                character(0x1E, c);
            } else if (name == "softHyphen") {
                character(0x1F, c);
            } else if (name == "lastRenderedPageBreak") {
                zero(c);
            } else if (isOneOf(name, {"delText", "instrText", "delInstrText"})) {
                continue;
            } else {
                barrier(c); // symbols, drawings, objects, note references, separators, ...
            }
        }
    }

    Paragraph& out_;
    int& depth_;
};

void copyMarkProperties(pugi::xml_node paragraph, pugi::xml_node run)
{
    pugi::xml_node pPr = child(paragraph, "pPr");
    pugi::xml_node markProps = pPr ? child(pPr, "rPr") : pugi::xml_node();
    if (!markProps)
        return;
    pugi::xml_node rPr = run.prepend_child(wordName(run, "rPr").c_str());
    for (pugi::xml_node c = markProps.first_child(); c; c = c.next_sibling()) {
        if (c.type() != pugi::node_element)
            continue;
        if (isOneOf(localName(c), {"ins", "del", "moveFrom", "moveTo", "rPrChange"}))
            continue;
        rPr.append_copy(c);
    }
    if (!rPr.first_child())
        run.remove_child(rPr);
}

} // namespace

const DocxDialect& DocxDialect::instance()
{
    static const DocxDialect dialect;
    return dialect;
}

void DocxDialect::scanParagraph(pugi::xml_node paragraph, Paragraph& out, int& fieldDepth) const
{
    Scanner(out, fieldDepth).paragraph(paragraph);
}

bool DocxDialect::scanChildren(pugi::xml_node, pugi::xml_node first, pugi::xml_node end, Paragraph& out) const
{
    int depth = 0;
    Scanner(out, depth).children(first, end);
    return out.separable && depth == 0;
}

bool DocxDialect::isRun(pugi::xml_node node) const
{
    return node.type() == pugi::node_element && localName(node) == "r" && prefixOf(node) != "m";
}

bool DocxDialect::isPropertyElement(pugi::xml_node node) const
{
    if (node.type() != pugi::node_element)
        return false;
    const std::string_view name = localName(node);
    return (name.size() > 2 && name.substr(name.size() - 2) == "Pr") || name == "sdtEndPr";
}

bool DocxDialect::isTextHolder(pugi::xml_node node) const
{
    return node.type() == pugi::node_element && localName(node) == "t";
}

void DocxDialect::prepareClone(pugi::xml_node clone) const
{
    // Paragraph ids must stay unique.
    for (pugi::xml_attribute a = clone.first_attribute(); a;) {
        pugi::xml_attribute next = a.next_attribute();
        const std::string_view name = a.name();
        if (name == "w14:paraId" || name == "w14:textId")
            clone.remove_attribute(a);
        a = next;
    }
}

int DocxDialect::controlLevel(char16_t c) const
{
    switch (c) {
    case u'\t':
    case u'\v':
    case u'\n':
    case u'\f':
    case 0x1E:
    case 0x1F:
        return 0;
    default:
        return -1;
    }
}

pugi::xml_node DocxDialect::insertControl(pugi::xml_node parent, pugi::xml_node before, char16_t c) const
{
    switch (c) {
    case u'\t':
        return createElement(parent, before, wordName(parent, "tab"));
    case u'\f': {
        pugi::xml_node br = createElement(parent, before, wordName(parent, "br"));
        br.append_attribute(wordName(parent, "type").c_str()) = "page";
        return br;
    }
    case 0x1E:
        return createElement(parent, before, wordName(parent, "noBreakHyphen"));
    case 0x1F:
        return createElement(parent, before, wordName(parent, "softHyphen"));
    default:
        return createElement(parent, before, wordName(parent, "br"));
    }
}

pugi::xml_node DocxDialect::insertTextHolder(pugi::xml_node parent, pugi::xml_node before) const
{
    pugi::xml_node t = createElement(parent, before, wordName(parent, "t"));
    t.append_attribute("xml:space") = "preserve";
    return t;
}

pugi::xml_node DocxDialect::insertRun(pugi::xml_node parent, pugi::xml_node before) const
{
    pugi::xml_node run = createElement(parent, before, wordName(parent, "r"));
    pugi::xml_node paragraph = parent;
    while (paragraph && localName(paragraph) != "p")
        paragraph = paragraph.parent();
    if (paragraph)
        copyMarkProperties(paragraph, run);
    return run;
}

void DocxDialect::setHolderBytes(pugi::xml_node holder, const std::string& text) const
{
    StoryDialect::setHolderBytes(holder, text);
    if (holder.type() != pugi::node_element)
        return;
    // Blanks and tabs are single bytes in UTF-8.
    const bool blankEnds = !text.empty() && (text.front() == ' ' || text.back() == ' ' ||
                                             text.front() == '\t' || text.back() == '\t');
    if (blankEnds && !holder.attribute("xml:space"))
        holder.append_attribute("xml:space") = "preserve";
}

pugi::xml_node DocxDialect::sectionBreak(pugi::xml_node paragraph) const
{
    pugi::xml_node pPr = child(paragraph, "pPr");
    return pPr ? child(pPr, "sectPr") : pugi::xml_node();
}

void DocxDialect::moveSectionBreak(pugi::xml_node from, pugi::xml_node to) const
{
    pugi::xml_node br = sectionBreak(from);
    if (!br)
        return;
    pugi::xml_node pPr = child(to, "pPr");
    if (!pPr)
        pPr = to.prepend_child(wordName(to, "pPr").c_str());
    if (pugi::xml_node old = child(pPr, "sectPr"))
        pPr.remove_child(old);
    // The section break comes before a paragraph-properties change record, if any.
    if (pugi::xml_node change = child(pPr, "pPrChange"))
        pPr.insert_move_before(br, change);
    else
        pPr.append_move(br);
}

namespace {

void walkBlocks(TextStory& story, const std::string& part, pugi::xml_node parent, bool& open, int nesting)
{
    if (nesting > kMaxNesting)
        return; // hostile nesting of tables or controls: not searched
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
        if (c.type() != pugi::node_element)
            continue;
        const std::string_view name = localName(c);
        if (name == "p") {
            if (!open) {
                story.beginContainer(part, parent);
                open = true;
            }
            story.addParagraph(c);
        } else if (name == "tbl") {
            open = false;
            for (pugi::xml_node row = c.first_child(); row; row = row.next_sibling()) {
                if (row.type() != pugi::node_element)
                    continue;
                pugi::xml_node rowElement = row;
                if (localName(row) == "sdt")
                    rowElement = child(child(row, "sdtContent"), "tr");
                else if (localName(row) == "customXml")
                    rowElement = child(row, "tr");
                if (!rowElement || localName(rowElement) != "tr")
                    continue;
                for (pugi::xml_node cell = rowElement.first_child(); cell; cell = cell.next_sibling()) {
                    if (cell.type() != pugi::node_element)
                        continue;
                    pugi::xml_node cellElement = cell;
                    if (localName(cell) == "sdt")
                        cellElement = child(child(cell, "sdtContent"), "tc");
                    else if (localName(cell) == "customXml")
                        cellElement = child(cell, "tc");
                    if (!cellElement || localName(cellElement) != "tc")
                        continue;
                    bool cellOpen = false;
                    walkBlocks(story, part, cellElement, cellOpen, nesting + 1);
                    story.addBarriers(1); // cell end
                }
                story.addBarriers(1); // row end
            }
            open = false;
        } else if (name == "sdt") {
            // Block-level content controls continue the surrounding container.
            if (pugi::xml_node content = child(c, "sdtContent"))
                walkBlocks(story, part, content, open, nesting + 1);
        } else if (name == "customXml") {
            walkBlocks(story, part, c, open, nesting + 1);
        }
    }
}

} // namespace

void addDocxBlocks(TextStory& story, const std::string& part, pugi::xml_node parent)
{
    bool open = false;
    walkBlocks(story, part, parent, open, 0);
}

} // namespace wux::platform::automation
