#include "platform/automation/word_server.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/automation/docx_story.h"
#include "platform/automation/find_pattern.h"
#include "platform/automation/package.h"
#include "platform/automation/text_story.h"
#include "platform/files.h"
#include "platform/text.h"

namespace wux::platform::automation {

namespace {

constexpr const char* kSource = "Word.Application";

[[noreturn]] void raise(std::int32_t code, const std::string& message)
{
    throw AutomationError(code, kSource, message);
}

// SeekView values.
enum Seek
{
    kSeekMain = 0,
    kSeekPrimaryHeader = 1,
    kSeekFirstHeader = 2,
    kSeekEvenHeader = 3,
    kSeekPrimaryFooter = 4,
    kSeekFirstFooter = 5,
    kSeekEvenFooter = 6,
    kSeekFootnotes = 7,
    kSeekEndnotes = 8,
    kSeekCurrentHeader = 9,
    kSeekCurrentFooter = 10,
};

struct Section
{
    pugi::xml_node properties; // w:sectPr
    pugi::xml_node paragraph;  // the paragraph carrying it (null for the body's own)
};

struct AppState;

struct DocState
{
    std::string path;
    std::unique_ptr<Package> package;
    std::string mainPart;
    std::string settingsPart;
    std::string footnotesPart;
    std::string endnotesPart;
    bool readOnly = false;
    bool closed = false;
    bool showGrammar = true;
    bool showSpelling = true;
    // The first window.
    int viewType = 3;
    int splitSpecial = 0;
    int seekView = kSeekMain;
    int currentSection = 1;
    std::unique_ptr<TextStory> mainStory;
    std::unique_ptr<TextStory> otherStory;
    TextStory* story = nullptr;
    std::size_t selStart = 0;
    std::size_t selEnd = 0;

    pugi::xml_node body() { return child(package->xml(mainPart).document_element(), "body"); }

    std::vector<Section> sections()
    {
        std::vector<Section> out;
        pugi::xml_node b = body();
        collectSections(b, out, 0);
        if (pugi::xml_node own = child(b, "sectPr"))
            out.push_back(Section{own, {}});
        return out;
    }

    static void collectSections(pugi::xml_node parent, std::vector<Section>& out, int nesting)
    {
        if (nesting > 200)
            return;
        for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
            if (c.type() != pugi::node_element)
                continue;
            const std::string_view name = localName(c);
            if (name == "p") {
                if (pugi::xml_node br = DocxDialect::instance().sectionBreak(c))
                    out.push_back(Section{br, c});
            } else if (name == "sdt") {
                collectSections(child(c, "sdtContent"), out, nesting + 1);
            } else if (name == "customXml") {
                collectSections(c, out, nesting + 1);
            }
        }
    }

    TextStory& main()
    {
        if (!mainStory) {
            mainStory = std::make_unique<TextStory>(DocxDialect::instance(), package.get());
            addDocxBlocks(*mainStory, mainPart, body());
            mainStory->finish();
        }
        return *mainStory;
    }

    // Normal notes of a notes part (separators left out).
    std::vector<pugi::xml_node> notes(bool endnotes)
    {
        std::vector<pugi::xml_node> out;
        const std::string& part = endnotes ? endnotesPart : footnotesPart;
        if (part.empty() || !package->hasPart(part))
            return out;
        pugi::xml_node root = package->xml(part).document_element();
        for (pugi::xml_node n = root.first_child(); n; n = n.next_sibling()) {
            if (n.type() != pugi::node_element || localName(n) != (endnotes ? "endnote" : "footnote"))
                continue;
            const std::string_view type = attribute(n, "type").value();
            if (type == "separator" || type == "continuationSeparator" || type == "continuationNotice")
                continue;
            out.push_back(n);
        }
        return out;
    }

    // The header or footer parts a section references, by type, in the order default, first, even.
    std::vector<std::pair<std::string, std::string>> references(const Section& section, bool footer)
    {
        std::vector<std::pair<std::string, std::string>> out; // (type, part)
        for (const char* type : {"default", "first", "even"}) {
            for (pugi::xml_node r = section.properties.first_child(); r; r = r.next_sibling()) {
                if (r.type() != pugi::node_element ||
                    localName(r) != (footer ? "footerReference" : "headerReference"))
                    continue;
                std::string_view t = attribute(r, "type").value();
                if (t.empty())
                    t = "default";
                if (t != type)
                    continue;
                if (auto part = package->partById(mainPart, attribute(r, "id").value()))
                    if (package->hasPart(*part))
                        out.emplace_back(type, *part);
            }
        }
        return out;
    }

    void selectStory(int seek)
    {
        if (seek == kSeekMain) {
            story = &main();
        } else {
            auto s = std::make_unique<TextStory>(DocxDialect::instance(), package.get());
            if (seek == kSeekFootnotes || seek == kSeekEndnotes) {
                const bool end = seek == kSeekEndnotes;
                for (pugi::xml_node n : notes(end))
                    addDocxBlocks(*s, end ? endnotesPart : footnotesPart, n);
            } else {
                const bool footer =
                    seek == kSeekCurrentFooter || (seek >= kSeekPrimaryFooter && seek <= kSeekEvenFooter);
                const std::vector<Section> all = sections();
                const std::size_t index =
                    std::min<std::size_t>(static_cast<std::size_t>(currentSection), all.size());
                std::vector<std::string> parts;
                if (index >= 1) {
                    if (seek == kSeekCurrentHeader || seek == kSeekCurrentFooter) {
                        // What the section references itself and no earlier section did.
                        std::vector<std::string> earlier;
                        for (std::size_t i = 0; i + 1 < index; ++i)
                            for (const auto& ref : references(all[i], footer))
                                earlier.push_back(ref.second);
                        for (const auto& ref : references(all[index - 1], footer))
                            if (std::find(earlier.begin(), earlier.end(), ref.second) == earlier.end() &&
                                std::find(parts.begin(), parts.end(), ref.second) == parts.end())
                                parts.push_back(ref.second);
                    } else {
                        const int kind = footer ? seek - kSeekPrimaryFooter : seek - kSeekPrimaryHeader;
                        const char* type = kind == 0 ? "default" : kind == 1 ? "first" : "even";
                        // The section's own part of that type, else the one it inherits.
                        for (std::size_t i = index; i-- > 0 && parts.empty();)
                            for (const auto& ref : references(all[i], footer))
                                if (ref.first == type) {
                                    parts.push_back(ref.second);
                                    break;
                                }
                    }
                }
                for (const std::string& part : parts)
                    addDocxBlocks(*s, part, package->xml(part).document_element());
            }
            s->finish();
            otherStory = std::move(s);
            story = otherStory.get();
        }
        selStart = selEnd = 0;
    }

    TextStory& current()
    {
        if (!story)
            selectStory(kSeekMain);
        return *story;
    }

    int protectionType()
    {
        if (settingsPart.empty() || !package->hasPart(settingsPart))
            return -1;
        pugi::xml_node root = package->xml(settingsPart).document_element();
        auto isTrue = [](std::string_view v) { return v == "1" || v == "true" || v == "on"; };
        if (pugi::xml_node dp = child(root, "documentProtection")) {
            if (isTrue(attribute(dp, "enforcement").value())) {
                const std::string_view edit = attribute(dp, "edit").value();
                if (edit == "trackedChanges")
                    return 0;
                if (edit == "comments")
                    return 1;
                if (edit == "forms")
                    return 2;
                return 3;
            }
        }
        if (pugi::xml_node wp = child(root, "writeProtection"))
            if (!isTrue(attribute(wp, "recommended").value()))
                return 3;
        return -1;
    }

    bool settingOn(std::string_view name)
    {
        if (settingsPart.empty() || !package->hasPart(settingsPart))
            return false;
        pugi::xml_node e = child(package->xml(settingsPart).document_element(), name);
        if (!e)
            return false;
        const std::string_view v = attribute(e, "val").value();
        return v.empty() || v == "1" || v == "true" || v == "on";
    }
};

struct AppState
{
    bool quit = false;
    std::int32_t displayAlerts = -1;
    bool visible = false;
    std::int32_t highlight = 7;
    std::vector<std::shared_ptr<DocState>> documents;
};

using AppPtr = std::shared_ptr<AppState>;
using DocPtr = std::shared_ptr<DocState>;

// Base of every object of this server: the application state and, below a document, the document.
class WordObject : public Dispatch
{
public:
    WordObject(AppPtr app, DocPtr doc) : app_(std::move(app)), doc_(std::move(doc)) {}
    std::string errorSource() const override { return kSource; }

    AppState& app() const
    {
        if (app_->quit)
            raise(kErrorServerUnavailable, "The RPC server is unavailable.");
        return *app_;
    }
    DocState& doc() const
    {
        app();
        if (!doc_ || doc_->closed)
            raise(kErrorObjectDeleted, "The object has been deleted.");
        return *doc_;
    }
    const AppPtr& appPtr() const { return app_; }
    const DocPtr& docPtr() const { return doc_; }

private:
    AppPtr app_;
    DocPtr doc_;
};

template <class T> Variant make(const WordObject& from)
{
    return Variant(DispatchRef(std::make_shared<T>(from.appPtr(), from.docPtr())));
}

template <class T> Variant make(const AppPtr& app, const DocPtr& doc)
{
    return Variant(DispatchRef(std::make_shared<T>(app, doc)));
}

Variant integer(std::size_t value)
{
    return Variant(static_cast<std::int32_t>(value));
}

std::size_t clampPosition(DocState& d, std::int32_t value)
{
    const std::size_t length = d.current().length();
    return value < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(value), length);
}

// ---- Options ----

class Options : public WordObject
{
public:
    using WordObject::WordObject;
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Options>(t)
                .get("DefaultHighlightColorIndex",
                     [](Options& o, const Args&) { return Variant(o.app().highlight); })
                .put("DefaultHighlightColorIndex",
                     [](Options& o, const Variant& v) { o.app().highlight = toInt32(v); });
            return t;
        }();
        return table;
    }
};

// ---- Find ----

class Replacement : public WordObject
{
public:
    using WordObject::WordObject;
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Replacement>(t).method("ClearFormatting", [](Replacement& r, const Args&) {
                r.doc();
                return Variant();
            });
            return t;
        }();
        return table;
    }
};

class Find : public WordObject
{
public:
    using WordObject::WordObject;
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Find>(t)
                .method("ClearFormatting",
                        [](Find& f, const Args&) {
                            f.doc();
                            return Variant();
                        })
                .get("Replacement",
                     [](Find& f, const Args&) {
                         f.doc();
                         return make<Replacement>(f);
                     })
                .method(
                    "Execute", [](Find& f, const Args& a) { return f.execute(a); }, 0, 15);
            return t;
        }();
        return table;
    }

    Variant execute(const Args& a)
    {
        DocState& d = doc();
        const std::u16string text = a.text(0, u"");
        const bool matchCase = a.boolean(1, false);
        const bool wholeWord = a.boolean(2, false);
        const bool wildcards = a.boolean(3, false);
        if (a.boolean(4, false) || a.boolean(5, false) || !a.boolean(6, true) || a.boolean(8, false) ||
            a.int32(10, 0) != 0)
            raise(kErrorNotImplemented, "This search option is not supported.");
        const std::int32_t wrap = a.int32(7, 0);
        const FindPattern pattern(text, matchCase, wholeWord, wildcards);
        TextStory& story = d.current();
        if (pattern.empty() || story.empty())
            return Variant(false);
        std::size_t start = 0, end = 0;
        bool found = pattern.find(story, d.selEnd, story.length(), start, end);
        if (!found && wrap == 1)
            found = pattern.find(story, 0, d.selEnd, start, end);
        if (!found)
            return Variant(false);
        d.selStart = start;
        d.selEnd = end;
        return Variant(true);
    }
};

// ---- Selection ----

class Selection : public WordObject
{
public:
    using WordObject::WordObject;
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Selection>(t)
                .get("Start", [](Selection& s, const Args&) { return integer(s.doc().selStart); })
                .put("Start",
                     [](Selection& s, const Variant& v) {
                         DocState& d = s.doc();
                         d.selStart = clampPosition(d, toInt32(v));
                         if (d.selStart > d.selEnd)
                             d.selEnd = d.selStart;
                     })
                .get("End", [](Selection& s, const Args&) { return integer(s.doc().selEnd); })
                .put("End",
                     [](Selection& s, const Variant& v) {
                         DocState& d = s.doc();
                         d.selEnd = clampPosition(d, toInt32(v));
                         if (d.selEnd < d.selStart)
                             d.selStart = d.selEnd;
                     })
                .get("Text",
                     [](Selection& s, const Args&) {
                         DocState& d = s.doc();
                         return Variant(d.current().text(d.selStart, d.selEnd));
                     })
                .put("Text",
                     [](Selection& s, const Variant& v) {
                         DocState& d = s.doc();
                         const std::u16string text = variantToText(v);
                         s.writable();
                         d.current().replace(d.selStart, d.selEnd, text, d.selStart == d.selEnd);
                         d.selEnd = d.selStart + text.size();
                     })
                .get("Find",
                     [](Selection& s, const Args&) {
                         s.doc();
                         return make<Find>(s);
                     })
                .method(
                    "InsertAfter",
                    [](Selection& s, const Args& a) {
                        DocState& d = s.doc();
                        const std::u16string text = a.text(0);
                        s.writable();
                        d.current().replace(d.selEnd, d.selEnd, text, true);
                        d.selEnd += text.size();
                        return Variant();
                    },
                    1, 1)
                .method(
                    "InsertBefore",
                    [](Selection& s, const Args& a) {
                        DocState& d = s.doc();
                        const std::u16string text = a.text(0);
                        s.writable();
                        d.current().replace(d.selStart, d.selStart, text, d.selStart == d.selEnd);
                        d.selEnd += text.size();
                        return Variant();
                    },
                    1, 1)
                .method(
                    "EndKey",
                    [](Selection& s, const Args& a) {
                        DocState& d = s.doc();
                        if (a.int32(0, 5) != 6)
                            raise(kErrorNotImplemented, "Only the story unit is supported.");
                        const bool extend = a.int32(1, 0) != 0;
                        TextStory& story = d.current();
                        std::size_t pos = story.length();
                        if (pos > 0 && story.endsWithParagraphMark())
                            --pos;
                        const std::size_t moved = pos > d.selEnd ? pos - d.selEnd : d.selEnd - pos;
                        d.selEnd = pos;
                        if (!extend || d.selStart > pos)
                            d.selStart = pos;
                        return integer(moved);
                    },
                    0, 2)
                .method(
                    "GoTo",
                    [](Selection& s, const Args& a) {
                        DocState& d = s.doc();
                        if (a.int32(0, 0) != 0 || a.int32(1, 1) != 1)
                            raise(kErrorNotImplemented, "Only absolute moves to a section are supported.");
                        const std::vector<Section> all = d.sections();
                        const std::int32_t index = a.int32(2, 1);
                        if (index < 1 || static_cast<std::size_t>(index) > all.size())
                            raise(kErrorInvalidArgument,
                                  "The requested member of the collection does not exist.");
                        d.currentSection = index;
                        d.seekView = kSeekMain;
                        d.splitSpecial = 0;
                        d.selectStory(kSeekMain);
                        std::size_t pos = 0;
                        if (index > 1) {
                            pugi::xml_node previous = all[static_cast<std::size_t>(index) - 2].paragraph;
                            for (const Paragraph& p : d.main().paragraphs())
                                if (p.element == previous) {
                                    pos =
                                        std::min(d.main().length(), p.start + p.text.size() + 1 + p.trailing);
                                    break;
                                }
                        }
                        d.selStart = d.selEnd = pos;
                        return Variant();
                    },
                    0, 4);
            return t;
        }();
        return table;
    }

    void writable() const
    {
        if (doc().readOnly)
            raise(kErrorFail, "This document is opened read-only.");
    }
};

// ---- Window, panes, view ----

class View : public WordObject
{
public:
    using WordObject::WordObject;
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<View>(t)
                .get("Type", [](View& v,
                                const Args&) { return Variant(static_cast<std::int32_t>(v.doc().viewType)); })
                .put("Type", [](View& v, const Variant& value) { v.doc().viewType = toInt32(value); })
                .get(
                    "SeekView",
                    [](View& v, const Args&) { return Variant(static_cast<std::int32_t>(v.doc().seekView)); })
                .put("SeekView",
                     [](View& v, const Variant& value) {
                         DocState& d = v.doc();
                         const std::int32_t seek = toInt32(value);
                         if (seek < kSeekMain || seek > kSeekCurrentFooter)
                             raise(kErrorInvalidArgument, "The value is out of range.");
                         d.selectStory(seek);
                         d.seekView = seek;
                     })
                .get("SplitSpecial",
                     [](View& v, const Args&) {
                         return Variant(static_cast<std::int32_t>(v.doc().splitSpecial));
                     })
                .put("SplitSpecial", [](View& v, const Variant& value) {
                    DocState& d = v.doc();
                    const std::int32_t pane = toInt32(value);
                    if (pane != 0 && pane != kSeekFootnotes && pane != kSeekEndnotes)
                        raise(kErrorInvalidArgument, "The value is out of range.");
                    d.selectStory(pane);
                    d.splitSpecial = pane;
                    d.seekView = kSeekMain;
                });
            return t;
        }();
        return table;
    }
};

class Pane : public WordObject
{
public:
    using WordObject::WordObject;
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Pane>(t)
                .get("View",
                     [](Pane& p, const Args&) {
                         p.doc();
                         return make<View>(p);
                     })
                .method("Close", [](Pane& p, const Args&) {
                    DocState& d = p.doc();
                    if (d.splitSpecial != 0) {
                        d.splitSpecial = 0;
                        d.seekView = kSeekMain;
                        d.selectStory(kSeekMain);
                    }
                    return Variant();
                });
            return t;
        }();
        return table;
    }
};

class Panes : public WordObject
{
public:
    using WordObject::WordObject;
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Panes>(t)
                .get("Count",
                     [](Panes& p, const Args&) { return Variant(p.doc().splitSpecial != 0 ? 2 : 1); })
                .get(
                    "Item",
                    [](Panes& p, const Args& a) {
                        DocState& d = p.doc();
                        const std::int32_t index = a.int32(0);
                        if (index < 1 || index > (d.splitSpecial != 0 ? 2 : 1))
                            raise(kErrorInvalidArgument,
                                  "The requested member of the collection does not exist.");
                        return make<Pane>(p);
                    },
                    1, 1);
            return t;
        }();
        return table;
    }
};

class Window : public WordObject
{
public:
    using WordObject::WordObject;
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Window>(t)
                .get("Selection",
                     [](Window& w, const Args&) {
                         w.doc();
                         return make<Selection>(w);
                     })
                .get("View",
                     [](Window& w, const Args&) {
                         w.doc();
                         return make<View>(w);
                     })
                .get("Panes",
                     [](Window& w, const Args&) {
                         w.doc();
                         return make<Panes>(w);
                     })
                .get("ActivePane", [](Window& w, const Args&) {
                    w.doc();
                    return make<Pane>(w);
                });
            return t;
        }();
        return table;
    }
};

class Windows : public WordObject
{
public:
    using WordObject::WordObject;
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Windows>(t)
                .get("Count",
                     [](Windows& w, const Args&) {
                         w.doc();
                         return Variant(1);
                     })
                .get(
                    "Item",
                    [](Windows& w, const Args& a) {
                        w.doc();
                        if (a.int32(0) != 1)
                            raise(kErrorInvalidArgument,
                                  "The requested member of the collection does not exist.");
                        return make<Window>(w);
                    },
                    1, 1);
            return t;
        }();
        return table;
    }
};

// ---- Sections, page setup, notes ----

class Sections : public WordObject
{
public:
    using WordObject::WordObject;
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Sections>(t).get(
                "Count", [](Sections& s, const Args&) { return integer(s.doc().sections().size()); });
            return t;
        }();
        return table;
    }
};

class PageSetup : public WordObject
{
public:
    using WordObject::WordObject;
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<PageSetup>(t)
                .get("DifferentFirstPageHeaderFooter",
                     [](PageSetup& p, const Args&) {
                         DocState& d = p.doc();
                         const std::vector<Section> all = d.sections();
                         bool on = false;
                         if (!all.empty())
                             if (pugi::xml_node title = child(all.back().properties, "titlePg")) {
                                 const std::string_view v = attribute(title, "val").value();
                                 on = v.empty() || v == "1" || v == "true" || v == "on";
                             }
                         return Variant(on ? -1 : 0);
                     })
                .get("OddAndEvenPagesHeaderFooter", [](PageSetup& p, const Args&) {
                    return Variant(p.doc().settingOn("evenAndOddHeaders") ? -1 : 0);
                });
            return t;
        }();
        return table;
    }
};

class FootNotes : public WordObject
{
public:
    using WordObject::WordObject;
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<FootNotes>(t).get(
                "Count", [](FootNotes& n, const Args&) { return integer(n.doc().notes(false).size()); });
            return t;
        }();
        return table;
    }
};

class EndNotes : public WordObject
{
public:
    using WordObject::WordObject;
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<EndNotes>(t).get(
                "Count", [](EndNotes& n, const Args&) { return integer(n.doc().notes(true).size()); });
            return t;
        }();
        return table;
    }
};

// ---- Application, documents, document ----

class Application;

void closeDocument(AppState& app, const DocPtr& doc)
{
    doc->closed = true;
    doc->story = nullptr;
    doc->otherStory.reset();
    doc->mainStory.reset();
    doc->package.reset();
    app.documents.erase(std::remove(app.documents.begin(), app.documents.end(), doc), app.documents.end());
}

class Document : public WordObject
{
public:
    using WordObject::WordObject;
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Document>(t)
                .get("ShowGrammaticalErrors",
                     [](Document& d, const Args&) { return Variant(d.doc().showGrammar); })
                .put("ShowGrammaticalErrors",
                     [](Document& d, const Variant& v) { d.doc().showGrammar = toBool(v); })
                .get("ShowSpellingErrors",
                     [](Document& d, const Args&) { return Variant(d.doc().showSpelling); })
                .put("ShowSpellingErrors",
                     [](Document& d, const Variant& v) { d.doc().showSpelling = toBool(v); })
                .get("ProtectionType",
                     [](Document& d, const Args&) { return Variant(d.doc().protectionType()); })
                .method("Save",
                        [](Document& d, const Args&) {
                            DocState& s = d.doc();
                            if (s.readOnly)
                                raise(kErrorFail, "This document is opened read-only.");
                            if (s.package->changed())
                                s.package->save(s.path);
                            return Variant();
                        })
                .method(
                    "SaveAs",
                    [](Document& d, const Args& a) {
                        DocState& s = d.doc();
                        const std::string name = utf16ToUtf8(a.text(0));
                        s.package->save(name);
                        s.path = name;
                        s.readOnly = false;
                        return Variant();
                    },
                    1, 16)
                .method(
                    "Close",
                    [](Document& d, const Args& a) {
                        DocState& s = d.doc();
                        if (a.int32(0, 0) == -1 && !s.readOnly && s.package->changed())
                            s.package->save(s.path);
                        closeDocument(d.app(), d.docPtr());
                        return Variant();
                    },
                    0, 3)
                .get("Windows",
                     [](Document& d, const Args&) {
                         d.doc();
                         return make<Windows>(d);
                     })
                .get("Application",
                     [](Document& d, const Args&) {
                         d.doc();
                         return d.application();
                     })
                .get("Sections",
                     [](Document& d, const Args&) {
                         d.doc();
                         return make<Sections>(d);
                     })
                .get("PageSetup",
                     [](Document& d, const Args&) {
                         d.doc();
                         return make<PageSetup>(d);
                     })
                .get("FootNotes",
                     [](Document& d, const Args&) {
                         d.doc();
                         return make<FootNotes>(d);
                     })
                .get("EndNotes", [](Document& d, const Args&) {
                    d.doc();
                    return make<EndNotes>(d);
                });
            return t;
        }();
        return table;
    }
    Variant application() const;
};

DocPtr openDocument(AppState& app, const std::string& path, bool readOnly)
{
    for (const DocPtr& open : app.documents)
        if (sameFile(open->path, path))
            return open;
    auto doc = std::make_shared<DocState>();
    doc->path = path;
    doc->readOnly = readOnly;
    doc->package = std::make_unique<Package>(path, kSource);
    Package& pkg = *doc->package;
    // A relationship without a target names no part (an entry with an empty name is no part either:
    // changes to it would never be saved).
    const auto main = pkg.relatedPart("", "officeDocument");
    if (!main || main->empty() || !pkg.hasPart(*main))
        raise(kErrorFail, "The file is not a word-processing document.");
    doc->mainPart = *main;
    pugi::xml_node root = pkg.xml(doc->mainPart).document_element();
    if (localName(root) != "document" || !child(root, "body"))
        raise(kErrorFail, "The file is not a word-processing document.");
    doc->settingsPart = pkg.relatedPart(doc->mainPart, "settings").value_or("");
    doc->footnotesPart = pkg.relatedPart(doc->mainPart, "footnotes").value_or("");
    doc->endnotesPart = pkg.relatedPart(doc->mainPart, "endnotes").value_or("");
    // Parts that are searched are parsed now, so a damaged document fails at Open.
    if (!doc->settingsPart.empty() && pkg.hasPart(doc->settingsPart))
        pkg.xml(doc->settingsPart);
    for (const std::string& part : {doc->footnotesPart, doc->endnotesPart})
        if (!part.empty() && pkg.hasPart(part))
            pkg.xml(part);
    for (const Relationship& rel : pkg.relationships(doc->mainPart))
        if (!rel.external && (rel.type.ends_with("/header") || rel.type.ends_with("/footer")) &&
            pkg.hasPart(rel.target))
            pkg.xml(rel.target);
    app.documents.push_back(doc);
    return doc;
}

class Documents : public WordObject
{
public:
    using WordObject::WordObject;
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Documents>(t)
                .get("Count", [](Documents& d, const Args&) { return integer(d.app().documents.size()); })
                .method(
                    "Open",
                    [](Documents& d, const Args& a) {
                        AppState& app = d.app();
                        const std::string path = utf16ToUtf8(a.text(0));
                        DocPtr doc = openDocument(app, path, a.boolean(2, false));
                        return make<Document>(d.appPtr(), doc);
                    },
                    1, 16);
            return t;
        }();
        return table;
    }
};

class Application : public WordObject
{
public:
    using WordObject::WordObject;
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Application>(t)
                .get("DisplayAlerts",
                     [](Application& a, const Args&) { return Variant(a.app().displayAlerts); })
                .put("DisplayAlerts",
                     [](Application& a, const Variant& v) { a.app().displayAlerts = toInt32(v); })
                .get("Visible", [](Application& a, const Args&) { return Variant(a.app().visible); })
                .put("Visible", [](Application& a, const Variant& v) { a.app().visible = toBool(v); })
                .get("Documents",
                     [](Application& a, const Args&) {
                         a.app();
                         return make<Documents>(a.appPtr(), nullptr);
                     })
                .get("Options",
                     [](Application& a, const Args&) {
                         a.app();
                         return make<Options>(a.appPtr(), nullptr);
                     })
                .get("Selection",
                     [](Application& a, const Args&) {
                         AppState& app = a.app();
                         if (app.documents.empty())
                             raise(kErrorFail, "This command is not available because no document is open.");
                         return make<Selection>(a.appPtr(), app.documents.back());
                     })
                .method(
                    "Quit",
                    [](Application& a, const Args&) {
                        AppState& app = a.app();
                        while (!app.documents.empty())
                            closeDocument(app, app.documents.back());
                        app.quit = true;
                        return Variant();
                    },
                    0, 3);
            return t;
        }();
        return table;
    }
};

Variant Document::application() const
{
    return make<Application>(appPtr(), nullptr);
}

} // namespace

DispatchRef createWordApplication()
{
    return std::make_shared<Application>(std::make_shared<AppState>(), nullptr);
}

} // namespace wux::platform::automation
