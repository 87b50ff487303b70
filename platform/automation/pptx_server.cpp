#include "platform/automation/pptx_server.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/automation/package.h"
#include "platform/files.h"
#include "platform/text.h"

namespace wux::platform::automation {

namespace {

constexpr const char* kSource = "PowerPoint.Application";

[[noreturn]] void raise(std::int32_t code, const std::string& message)
{
    throw AutomationError(code, kSource, message);
}

std::string drawingName(pugi::xml_node near, std::string_view local)
{
    const std::string prefix = prefixOf(near);
    return prefix.empty() ? std::string(local) : prefix + ":" + std::string(local);
}

pugi::xml_node createElement(pugi::xml_node parent, pugi::xml_node before, const std::string& name)
{
    return before ? parent.insert_child_before(name.c_str(), before) : parent.append_child(name.c_str());
}

bool isElement(pugi::xml_node node, std::string_view local)
{
    return node.type() == pugi::node_element && localName(node) == local;
}

// A copy of a run-properties-like element (a:rPr, a:endParaRPr) as the a:rPr of target.
void copyRunProperties(pugi::xml_node from, pugi::xml_node target)
{
    if (!from)
        return;
    pugi::xml_node rPr = target.prepend_child(drawingName(target, "rPr").c_str());
    for (pugi::xml_attribute a = from.first_attribute(); a; a = a.next_attribute())
        rPr.append_copy(a);
    for (pugi::xml_node c = from.first_child(); c; c = c.next_sibling())
        rPr.append_copy(c);
}

class Scanner
{
public:
    explicit Scanner(Paragraph& out) : out_(out) {}

    void paragraph(pugi::xml_node p)
    {
        for (pugi::xml_node c = p.first_child(); c; c = c.next_sibling()) {
            if (c.type() != pugi::node_element)
                continue;
            const std::string_view name = localName(c);
            if (name == "pPr" || name == "endParaRPr")
                continue;
            if (name == "r" || name == "fld")
                run(c);
            else if (name == "br")
                add(SegmentKind::kChar, u"\v", c);
            else
                add(SegmentKind::kBarrier, std::u16string(1, kBarrierChar), c); // math, alternate content
        }
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

    void run(pugi::xml_node r)
    {
        for (pugi::xml_node c = r.first_child(); c; c = c.next_sibling()) {
            if (c.type() != pugi::node_element)
                continue;
            const std::string_view name = localName(c);
            if (name == "t") {
                const std::u16string text = utf8ToUtf16(c.text().get());
                if (!text.empty())
                    add(SegmentKind::kText, text, c);
            } else if (!PptxDialect::instance().isPropertyElement(c) && name != "extLst") {
                // Properties are no text wherever they stand (an end-of-paragraph element misplaced
                // inside a run too): the editor treats them the same way, so a text reads back as
                // written.
                add(SegmentKind::kBarrier, std::u16string(1, kBarrierChar), c);
            }
        }
    }

    Paragraph& out_;
};

} // namespace

// ---- PptxDialect ----

const PptxDialect& PptxDialect::instance()
{
    static const PptxDialect dialect;
    return dialect;
}

void PptxDialect::scanParagraph(pugi::xml_node paragraph, Paragraph& out, int&) const
{
    Scanner(out).paragraph(paragraph);
}

bool PptxDialect::isRun(pugi::xml_node node) const
{
    // Math runs (m:r) inside alternate content are not text runs of the shape.
    return (isElement(node, "r") || isElement(node, "fld")) && prefixOf(node) != "m";
}

bool PptxDialect::isPropertyElement(pugi::xml_node node) const
{
    return isElement(node, "pPr") || isElement(node, "rPr") || isElement(node, "endParaRPr");
}

bool PptxDialect::isTextHolder(pugi::xml_node node) const
{
    return isElement(node, "t") && prefixOf(node) != "m";
}

void PptxDialect::prepareClone(pugi::xml_node clone) const
{
    // The split-off part of a field is plain text: a field id must stay unique.
    if (!isElement(clone, "fld"))
        return;
    clone.set_name(drawingName(clone, "r").c_str());
    while (clone.first_attribute())
        clone.remove_attribute(clone.first_attribute());
    for (pugi::xml_node c = clone.first_child(); c;) {
        pugi::xml_node next = c.next_sibling();
        if (isElement(c, "pPr"))
            clone.remove_child(c);
        c = next;
    }
}

int PptxDialect::controlLevel(char16_t c) const
{
    // A line break lives beside the runs; a tab is literal text in a:t.
    return c == u'\v' ? 1 : -1;
}

pugi::xml_node PptxDialect::insertControl(pugi::xml_node parent, pugi::xml_node before, char16_t) const
{
    pugi::xml_node br = createElement(parent, before, drawingName(parent, "br"));
    // The break takes the formatting of the run before it (else the one after it).
    pugi::xml_node neighbour = br.previous_sibling();
    while (neighbour && !isRun(neighbour))
        neighbour = neighbour.previous_sibling();
    if (!neighbour) {
        neighbour = br.next_sibling();
        while (neighbour && !isRun(neighbour))
            neighbour = neighbour.next_sibling();
    }
    if (neighbour)
        copyRunProperties(child(neighbour, "rPr"), br);
    return br;
}

pugi::xml_node PptxDialect::insertTextHolder(pugi::xml_node parent, pugi::xml_node before) const
{
    return createElement(parent, before, drawingName(parent, "t"));
}

pugi::xml_node PptxDialect::insertRun(pugi::xml_node parent, pugi::xml_node before) const
{
    pugi::xml_node run = createElement(parent, before, drawingName(parent, "r"));
    // A new run takes the formatting of the run after it, else of the run before it, else of the
    // paragraph's end.
    pugi::xml_node neighbour = before && isRun(before) ? before : pugi::xml_node();
    for (pugi::xml_node n = run.previous_sibling(); n && !neighbour; n = n.previous_sibling())
        if (isRun(n))
            neighbour = n;
    if (neighbour)
        copyRunProperties(child(neighbour, "rPr"), run);
    else if (isElement(parent, "p"))
        copyRunProperties(child(parent, "endParaRPr"), run);
    return run;
}

void PptxDialect::afterEdit(pugi::xml_node paragraph) const
{
    // The paragraph properties come first and the end-of-paragraph properties last, once each.
    pugi::xml_node last;
    std::vector<pugi::xml_node> extra;
    pugi::xml_node pPr;
    for (pugi::xml_node c = paragraph.first_child(); c; c = c.next_sibling()) {
        if (isElement(c, "endParaRPr")) {
            if (last)
                extra.push_back(last);
            last = c;
        } else if (isElement(c, "pPr") && !pPr) {
            pPr = c;
        }
    }
    for (pugi::xml_node n : extra)
        paragraph.remove_child(n);
    if (last && last != paragraph.last_child())
        paragraph.append_move(last);
    // A paragraph split off the next one gave its end properties away: it gets a copy.
    if (!last) {
        pugi::xml_node next = paragraph.next_sibling();
        while (next && next.type() != pugi::node_element)
            next = next.next_sibling();
        pugi::xml_node nextEnd;
        if (isElement(next, "p"))
            for (pugi::xml_node c = next.first_child(); c; c = c.next_sibling())
                if (isElement(c, "endParaRPr"))
                    nextEnd = c;
        if (nextEnd)
            paragraph.append_copy(nextEnd);
    }
    if (pPr && pPr != paragraph.first_child())
        paragraph.prepend_move(pPr);
}

namespace {

// ---- Server state ----

struct PresState
{
    std::string path; // "" for an untitled copy
    bool readOnly = false;
    bool closed = false;
    std::unique_ptr<Package> package;
    std::string presentationPart;
    std::vector<std::string> slides; // slide parts in list order
};

struct AppState
{
    bool quit = false;
    std::vector<std::shared_ptr<PresState>> presentations;
};

using AppPtr = std::shared_ptr<AppState>;
using PresPtr = std::shared_ptr<PresState>;

// Base of every object of this server: the application and, below a presentation, the presentation.
class PptObject : public Dispatch
{
public:
    PptObject(AppPtr app, PresPtr pres) : app_(std::move(app)), pres_(std::move(pres)) {}
    std::string errorSource() const override { return kSource; }

    AppState& app() const
    {
        if (app_->quit)
            raise(kErrorServerUnavailable, "The RPC server is unavailable.");
        return *app_;
    }
    PresState& pres() const
    {
        app();
        if (!pres_ || pres_->closed)
            raise(kErrorObjectDeleted, "The object has been deleted.");
        return *pres_;
    }
    const AppPtr& appPtr() const { return app_; }
    const PresPtr& presPtr() const { return pres_; }

private:
    AppPtr app_;
    PresPtr pres_;
};

Variant integer(std::size_t value)
{
    return Variant(static_cast<std::int32_t>(value));
}

std::size_t checkedIndex(const Args& a, std::size_t count)
{
    const std::int32_t i = a.int32(0);
    if (i < 1 || static_cast<std::size_t>(i) > count)
        raise(kErrorInvalidArgument, "The index into the specified collection is out of bounds.");
    return static_cast<std::size_t>(i) - 1;
}

// The shapes of a slide: the element children of its shape tree that are shapes.
std::vector<pugi::xml_node> shapesOf(Package& package, const std::string& slidePart)
{
    std::vector<pugi::xml_node> out;
    pugi::xml_node tree = child(child(package.xml(slidePart).document_element(), "cSld"), "spTree");
    for (pugi::xml_node c = tree.first_child(); c; c = c.next_sibling()) {
        if (c.type() != pugi::node_element)
            continue;
        const std::string_view name = localName(c);
        if (name == "sp" || name == "grpSp" || name == "graphicFrame" || name == "cxnSp" || name == "pic" ||
            name == "contentPart" || name == "AlternateContent")
            out.push_back(c);
    }
    return out;
}

// The text of a shape's text body as a story of one container.
std::unique_ptr<TextStory> storyOf(PresState& pres, const std::string& slidePart, pugi::xml_node shape)
{
    auto story = std::make_unique<TextStory>(PptxDialect::instance(), pres.package.get());
    if (pugi::xml_node body = child(shape, "txBody")) {
        story->beginContainer(slidePart, body);
        for (pugi::xml_node p = body.first_child(); p; p = p.next_sibling())
            if (isElement(p, "p"))
                story->addParagraph(p);
    }
    story->finish();
    return story;
}

// The text of a story without the final paragraph mark.
std::size_t textEnd(const TextStory& story)
{
    return story.length() == 0 ? 0 : story.length() - 1;
}

// One change of a text: old [oldStart, oldEnd) becomes new [newStart, newEnd).
struct Hunk
{
    std::size_t oldStart, oldEnd, newStart, newEnd;
};

// Above this product of the changed lengths, the changed middle is replaced as one piece.
constexpr std::size_t kMaxDiffCells = 4'000'000;

// The changes that turn a into b, in order: the common prefix and suffix stay, and in between the
// characters of a longest common subsequence stay too, so text between two changes keeps its runs.
std::vector<Hunk> diff(std::u16string_view a, std::u16string_view b)
{
    std::size_t prefix = 0;
    while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix])
        ++prefix;
    std::size_t suffix = 0;
    while (suffix < a.size() - prefix && suffix < b.size() - prefix &&
           a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix])
        ++suffix;
    const std::size_t n = a.size() - prefix - suffix, m = b.size() - prefix - suffix;
    if (n == 0 && m == 0)
        return {};
    if (n == 0 || m == 0 || n * m > kMaxDiffCells)
        return {Hunk{prefix, prefix + n, prefix, prefix + m}};
    const std::u16string_view x = a.substr(prefix, n), y = b.substr(prefix, m);
    // lcs[i * (m + 1) + j]: the length of a longest common subsequence of x[i..] and y[j..].
    std::vector<std::uint16_t> lcs((n + 1) * (m + 1), 0);
    for (std::size_t i = n; i-- > 0;)
        for (std::size_t j = m; j-- > 0;)
            lcs[i * (m + 1) + j] = x[i] == y[j]
                                       ? static_cast<std::uint16_t>(lcs[(i + 1) * (m + 1) + j + 1] + 1)
                                       : std::max(lcs[(i + 1) * (m + 1) + j], lcs[i * (m + 1) + j + 1]);
    std::vector<Hunk> out;
    std::size_t i = 0, j = 0;
    bool open = false;
    while (i < n || j < m) {
        if (i < n && j < m && x[i] == y[j]) {
            open = false;
            ++i;
            ++j;
            continue;
        }
        if (!open) {
            out.push_back(Hunk{prefix + i, prefix + i, prefix + j, prefix + j});
            open = true;
        }
        if (j == m || (i < n && lcs[(i + 1) * (m + 1) + j] >= lcs[i * (m + 1) + j + 1]))
            out.back().oldEnd = prefix + ++i;
        else
            out.back().newEnd = prefix + ++j;
    }
    return out;
}

bool isHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool isLowSurrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

// diff with no change splitting a surrogate pair: a change is widened over the matched half beside
// it (the texts agree there), and changes that come to touch are joined.
std::vector<Hunk> diffWhole(std::u16string_view a, std::u16string_view b)
{
    std::vector<Hunk> out;
    for (Hunk h : diff(a, b)) {
        if (h.oldStart > 0 && h.newStart > 0 && isHighSurrogate(a[h.oldStart - 1])) {
            --h.oldStart;
            --h.newStart;
        }
        if (h.oldEnd < a.size() && h.newEnd < b.size() && isLowSurrogate(a[h.oldEnd])) {
            ++h.oldEnd;
            ++h.newEnd;
        }
        if (!out.empty() && h.oldStart <= out.back().oldEnd) {
            out.back().oldEnd = h.oldEnd;
            out.back().newEnd = h.newEnd;
        } else {
            out.push_back(h);
        }
    }
    return out;
}

// Writes a shape's whole text back as the smallest changes. Everything is checked first, so a refused
// text changes nothing.
void setShapeText(TextStory& story, std::u16string_view text)
{
    const std::u16string old = story.text(0, textEnd(story));
    const std::vector<Hunk> hunks = diffWhole(old, text);
    for (const Hunk& h : hunks) {
        for (std::size_t i = h.newStart; i < h.newEnd; ++i) {
            const char16_t c = text[i];
            if (isHighSurrogate(c) && i + 1 < h.newEnd && isLowSurrogate(text[i + 1])) {
                ++i;
                continue;
            }
            if (isHighSurrogate(c) || isLowSurrogate(c) || (c != u'\v' && !isXmlChar(c)))
                raise(kErrorInvalidArgument, "The text holds a character that a presentation cannot hold.");
        }
    }
    for (const Hunk& h : hunks)
        if (story.containsBarrier(h.oldStart, h.oldEnd))
            raise(kErrorFail, "The text of an object in this shape cannot be changed.");
    for (auto h = hunks.rbegin(); h != hunks.rend(); ++h) {
        // Inserted text continues the text before it.
        const bool insertion = h->oldStart == h->oldEnd;
        story.replace(h->oldStart, h->oldEnd, text.substr(h->newStart, h->newEnd - h->newStart),
                      insertion && h->oldStart > 0);
    }
}

// ---- Text objects ----

class ShapeObject : public PptObject
{
public:
    ShapeObject(AppPtr app, PresPtr pres, std::string slidePart, pugi::xml_node shape)
        : PptObject(std::move(app), std::move(pres)), slidePart_(std::move(slidePart)), shape_(shape)
    {
    }
    std::unique_ptr<TextStory> story() const { return storyOf(pres(), slidePart_, shape_); }
    const std::string& slidePart() const { return slidePart_; }
    pugi::xml_node shape() const { return shape_; }

private:
    std::string slidePart_;
    pugi::xml_node shape_;
};

template <class T> Variant make(const ShapeObject& from)
{
    return Variant(
        DispatchRef(std::make_shared<T>(from.appPtr(), from.presPtr(), from.slidePart(), from.shape())));
}

class TextRange : public ShapeObject
{
public:
    using ShapeObject::ShapeObject;
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<TextRange>(t)
                .get("Text",
                     [](TextRange& r, const Args&) {
                         const auto story = r.story();
                         return Variant(story->text(0, textEnd(*story)));
                     })
                .put("Text", [](TextRange& r, const Variant& v) {
                    const std::u16string text = variantToText(v);
                    const auto story = r.story();
                    if (story->empty()) {
                        if (!text.empty())
                            raise(kErrorFail, "This shape cannot hold text.");
                        return;
                    }
                    setShapeText(*story, text);
                });
            return t;
        }();
        return table;
    }
};

class TextFrame : public ShapeObject
{
public:
    using ShapeObject::ShapeObject;
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<TextFrame>(t)
                .get("HasText",
                     [](TextFrame& f, const Args&) {
                         const auto story = f.story();
                         bool any = false;
                         for (const Paragraph& p : story->paragraphs())
                             any = any || !p.text.empty();
                         return Variant(any);
                     })
                .get("TextRange", [](TextFrame& f, const Args&) {
                    f.pres();
                    return make<TextRange>(f);
                });
            return t;
        }();
        return table;
    }
};

class Shape : public ShapeObject
{
public:
    using ShapeObject::ShapeObject;
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Shape>(t).get("TextFrame", [](Shape& s, const Args&) {
                s.pres();
                if (!isElement(s.shape(), "sp"))
                    raise(kErrorFail, "This type of shape cannot have a TextFrame.");
                return make<TextFrame>(s);
            });
            return t;
        }();
        return table;
    }
};

// ---- Slides ----

class SlideObject : public PptObject
{
public:
    SlideObject(AppPtr app, PresPtr pres, std::string slidePart)
        : PptObject(std::move(app), std::move(pres)), slidePart_(std::move(slidePart))
    {
    }
    const std::string& slidePart() const { return slidePart_; }
    std::vector<pugi::xml_node> shapes() const { return shapesOf(*pres().package, slidePart_); }

private:
    std::string slidePart_;
};

class Shapes : public SlideObject
{
public:
    using SlideObject::SlideObject;
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Shapes>(t)
                .get("Count", [](Shapes& s, const Args&) { return integer(s.shapes().size()); })
                .get(
                    "Item",
                    [](Shapes& s, const Args& a) {
                        const std::vector<pugi::xml_node> all = s.shapes();
                        const std::size_t index = checkedIndex(a, all.size());
                        return Variant(DispatchRef(
                            std::make_shared<Shape>(s.appPtr(), s.presPtr(), s.slidePart(), all[index])));
                    },
                    1, 1);
            return t;
        }();
        return table;
    }
};

class Slide : public SlideObject
{
public:
    using SlideObject::SlideObject;
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Slide>(t).get("Shapes", [](Slide& s, const Args&) {
                s.pres();
                return Variant(DispatchRef(std::make_shared<Shapes>(s.appPtr(), s.presPtr(), s.slidePart())));
            });
            return t;
        }();
        return table;
    }
};

class Slides : public PptObject
{
public:
    using PptObject::PptObject;
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Slides>(t)
                .get("Count", [](Slides& s, const Args&) { return integer(s.pres().slides.size()); })
                .get(
                    "Item",
                    [](Slides& s, const Args& a) {
                        PresState& p = s.pres();
                        const std::size_t index = checkedIndex(a, p.slides.size());
                        return Variant(
                            DispatchRef(std::make_shared<Slide>(s.appPtr(), s.presPtr(), p.slides[index])));
                    },
                    1, 1);
            return t;
        }();
        return table;
    }
};

// ---- Application, presentations, presentation ----

void closePresentation(AppState& app, const PresPtr& pres)
{
    pres->closed = true;
    pres->package.reset();
    app.presentations.erase(std::remove(app.presentations.begin(), app.presentations.end(), pres),
                            app.presentations.end());
}

void savePresentation(PresState& p, const std::string& name)
{
    p.package->save(name);
}

class Presentation : public PptObject
{
public:
    using PptObject::PptObject;
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Presentation>(t)
                .get("Slides",
                     [](Presentation& p, const Args&) {
                         p.pres();
                         return Variant(DispatchRef(std::make_shared<Slides>(p.appPtr(), p.presPtr())));
                     })
                .method("Save",
                        [](Presentation& p, const Args&) {
                            PresState& s = p.pres();
                            if (s.readOnly)
                                raise(kErrorFail, "This presentation is opened read-only.");
                            if (s.path.empty())
                                raise(kErrorFail, "This presentation has no file name yet.");
                            if (s.package->changed())
                                savePresentation(s, s.path);
                            return Variant();
                        })
                .method(
                    "SaveAs",
                    [](Presentation& p, const Args& a) {
                        PresState& s = p.pres();
                        const std::string name = utf16ToUtf8(a.text(0));
                        if (name.empty())
                            raise(kErrorInvalidArgument, "The file name is empty.");
                        savePresentation(s, name);
                        s.path = name;
                        s.readOnly = false;
                        return Variant();
                    },
                    1, 3)
                .method("Close", [](Presentation& p, const Args&) {
                    p.pres();
                    closePresentation(p.app(), p.presPtr());
                    return Variant();
                });
            return t;
        }();
        return table;
    }
};

// The relationship id attribute of an element (r:id), not its own "id".
std::string_view relationshipId(pugi::xml_node node)
{
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
        const std::string_view name = a.name();
        const std::size_t colon = name.find(':');
        if (colon != std::string_view::npos && name.substr(colon + 1) == "id" &&
            name.substr(0, colon) != "xmlns")
            return a.value();
    }
    return {};
}

// Opens a presentation; null when it has a password to modify.
PresPtr openPresentation(AppState& app, const std::string& path, bool readOnly, bool untitled)
{
    if (!untitled)
        for (const PresPtr& open : app.presentations)
            if (!open->path.empty() && sameFile(open->path, path))
                return open;
    auto pres = std::make_shared<PresState>();
    pres->path = untitled ? std::string() : path;
    pres->readOnly = readOnly;
    pres->package = std::make_unique<Package>(path, kSource);
    Package& pkg = *pres->package;
    // A relationship without a target names no part (an entry with an empty name is no part either:
    // changes to it would never be saved).
    const auto main = pkg.relatedPart("", "officeDocument");
    if (!main || main->empty() || !pkg.hasPart(*main))
        raise(kErrorFail, "The file is not a presentation.");
    pres->presentationPart = *main;
    pugi::xml_node root = pkg.xml(*main).document_element();
    if (localName(root) != "presentation")
        raise(kErrorFail, "The file is not a presentation.");
    if (child(root, "modifyVerifier"))
        return nullptr;
    for (pugi::xml_node id = child(child(root, "sldIdLst"), "sldId"); id; id = id.next_sibling()) {
        if (!isElement(id, "sldId"))
            continue;
        const auto part = pkg.partById(*main, relationshipId(id));
        if (!part || !pkg.hasPart(*part))
            raise(kErrorFail, "The presentation is damaged: a slide is missing.");
        // Every slide is parsed now, so a damaged presentation fails at Open.
        pugi::xml_node slide = pkg.xml(*part).document_element();
        if (localName(slide) != "sld" || !child(child(slide, "cSld"), "spTree"))
            raise(kErrorFail, "The presentation is damaged: a slide has no shapes.");
        pres->slides.push_back(*part);
    }
    app.presentations.push_back(pres);
    return pres;
}

class Presentations : public PptObject
{
public:
    using PptObject::PptObject;
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Presentations>(t)
                .get("Count",
                     [](Presentations& p, const Args&) { return integer(p.app().presentations.size()); })
                .method(
                    "Open",
                    [](Presentations& p, const Args& a) {
                        AppState& app = p.app();
                        const std::string path = utf16ToUtf8(a.text(0));
                        PresPtr pres = openPresentation(app, path, a.boolean(1, false), a.boolean(2, false));
                        if (!pres)
                            return Variant();
                        return Variant(DispatchRef(std::make_shared<Presentation>(p.appPtr(), pres)));
                    },
                    1, 4);
            return t;
        }();
        return table;
    }
};

class Application : public PptObject
{
public:
    using PptObject::PptObject;
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Application>(t)
                .get("Presentations",
                     [](Application& a, const Args&) {
                         a.app();
                         return Variant(DispatchRef(std::make_shared<Presentations>(a.appPtr(), nullptr)));
                     })
                .method("Quit", [](Application& a, const Args&) {
                    AppState& app = a.app();
                    while (!app.presentations.empty())
                        closePresentation(app, app.presentations.back());
                    app.quit = true;
                    return Variant();
                });
            return t;
        }();
        return table;
    }
};

} // namespace

DispatchRef createPowerPointApplication()
{
    return std::make_shared<Application>(std::make_shared<AppState>(), nullptr);
}

} // namespace wux::platform::automation
