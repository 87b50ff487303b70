#include "platform/automation/odt_server.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/automation/find_pattern.h"
#include "platform/automation/odt_story.h"
#include "platform/automation/package.h"
#include "platform/automation/text_story.h"
#include "platform/files.h"
#include "platform/text.h"

namespace wux::platform::automation {

namespace {

constexpr const char* kSource = "com.sun.star.ServiceManager";
constexpr const char* kContentPart = "content.xml";
constexpr const char* kSettingsPart = "settings.xml";
constexpr std::string_view kTextMimeType = "application/vnd.oasis.opendocument.text";

[[noreturn]] void raise(std::int32_t code, const std::string& message)
{
    throw AutomationError(code, kSource, message);
}

bool equalAsciiNoCase(std::u16string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i];
        char y = b[i];
        if (x >= u'A' && x <= u'Z')
            x = static_cast<char16_t>(x + 32);
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y + 32);
        if (x != static_cast<unsigned char>(y))
            return false;
    }
    return true;
}

// ---- Document state ----

// A range handed out. Its place is kept by the registry: the stored positions plus the length changes
// made before it since the registry was last built.
struct RangeState
{
    std::int64_t start = 0;
    std::int64_t end = 0;
    std::size_t order = 0; // its place among the registry's ranges
};

using RangePtr = std::shared_ptr<RangeState>;

// The ranges handed out, in the order of their starts. A change of one range moves every later range by
// the change in length; the moves are summed in a Fenwick tree over that order, so that a loop that
// changes each of n hits costs n log n rather than n * n.
class RangeRegistry
{
public:
    // Adds the ranges of a search; the ranges that nobody holds any more are dropped.
    void add(const std::vector<RangePtr>& found)
    {
        std::vector<RangePtr> all;
        all.reserve(ranges_.size() + found.size());
        for (const RangePtr& r : ranges_) {
            if (r.use_count() == 1)
                continue;
            const std::int64_t shift = shiftAt(r->order);
            r->start += shift;
            r->end += shift;
            all.push_back(r);
        }
        all.insert(all.end(), found.begin(), found.end());
        std::stable_sort(all.begin(), all.end(),
                         [](const RangePtr& a, const RangePtr& b) { return a->start < b->start; });
        ranges_ = std::move(all);
        tree_.assign(ranges_.size() + 1, 0);
        longest_ = 0;
        for (std::size_t i = 0; i < ranges_.size(); ++i) {
            ranges_[i]->order = i;
            longest_ = std::max(longest_, ranges_[i]->end - ranges_[i]->start);
        }
    }
    void clear()
    {
        ranges_.clear();
        tree_.clear();
    }
    std::size_t start(const RangeState& r) const
    {
        return static_cast<std::size_t>(r.start + shiftAt(r.order));
    }
    std::size_t end(const RangeState& r) const { return static_cast<std::size_t>(r.end + shiftAt(r.order)); }

    // The text [s, e) of `changed` became [s, newEnd): later ranges move by the change in length, ranges
    // inside the changed text shrink onto it, and `changed` ends at newEnd.
    void changed(RangeState& changed, std::size_t s, std::size_t e, std::size_t newEnd)
    {
        const auto at = [this](std::size_t i) { return static_cast<std::int64_t>(start(*ranges_[i])); };
        const auto S = static_cast<std::int64_t>(s), E = static_cast<std::int64_t>(e),
                   N = static_cast<std::int64_t>(newEnd);
        // The ranges that start after e move as a whole.
        std::size_t lo = 0, hi = ranges_.size();
        while (lo < hi) {
            const std::size_t mid = lo + (hi - lo) / 2;
            if (at(mid) > E)
                hi = mid;
            else
                lo = mid + 1;
        }
        addShift(lo, N - E);
        // Those before that may reach into [s, e): at most `longest_` characters back from s.
        auto moved = [&](std::int64_t pos) {
            if (pos >= E)
                return pos - E + N;
            return pos > S ? std::min(pos, N) : pos;
        };
        for (std::size_t i = lo; i-- > 0;) {
            RangeState& r = *ranges_[i];
            const std::int64_t shift = shiftAt(i), rs = r.start + shift, re = r.end + shift;
            if (rs + longest_ <= S)
                break;
            if (&r == &changed || re <= S)
                continue;
            r.start = moved(rs) - shift;
            r.end = moved(re) - shift;
            longest_ = std::max(longest_, r.end - r.start);
        }
        changed.end = N - shiftAt(changed.order);
        longest_ = std::max(longest_, N - S);
    }

private:
    std::int64_t shiftAt(std::size_t order) const
    {
        std::int64_t sum = 0;
        for (std::size_t i = order + 1; i > 0; i -= i & (~i + 1))
            sum += tree_[i];
        return sum;
    }
    void addShift(std::size_t from, std::int64_t delta)
    {
        if (delta == 0)
            return;
        for (std::size_t i = from + 1; i < tree_.size(); i += i & (~i + 1))
            tree_[i] += delta;
    }

    std::vector<RangePtr> ranges_;
    std::vector<std::int64_t> tree_; // 1-based Fenwick tree of the moves
    std::int64_t longest_ = 0;       // no range is longer
};

struct DocState
{
    std::string path;
    bool disposed = false;
    std::unique_ptr<Package> package;
    std::unique_ptr<OdtDialect> dialect;
    std::unique_ptr<TextStory> story;
    bool modifyPassword = false; // opened read-only: the file has a password to modify
    RangeRegistry ranges;        // handed out (for the shift on changes); pruned at each search
};

using DocPtr = std::shared_ptr<DocState>;

class OdtObject : public Dispatch
{
public:
    std::string errorSource() const override { return kSource; }
};

// An object below a document: raises once the document is disposed of.
class DocObject : public OdtObject
{
public:
    explicit DocObject(DocPtr doc) : doc_(std::move(doc)) {}
    DocState& doc() const
    {
        if (doc_->disposed)
            raise(kErrorObjectDeleted, "The document has been disposed of.");
        return *doc_;
    }
    const DocPtr& docPtr() const { return doc_; }

private:
    DocPtr doc_;
};

// The (name, value) pairs of an argument list of property values; Missing or Empty is no list.
std::vector<std::pair<std::u16string, Variant>> propertyList(const Variant& list)
{
    std::vector<std::pair<std::u16string, Variant>> out;
    if (list.isMissing() || list.isEmpty())
        return out;
    if (list.type() != VarType::kArray)
        raise(kErrorInvalidArgument, "The arguments are not a list of property values.");
    for (const Variant& item : list.items()) {
        DispatchRef value = asDispatch(item, "property value");
        out.emplace_back(variantToText(value->get("Name")), value->get("Value"));
    }
    return out;
}

// ---- Property value ----

class PropertyValue : public OdtObject
{
public:
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<PropertyValue>(t)
                .get("Name", [](PropertyValue& p, const Args&) { return Variant(p.name); })
                .put("Name", [](PropertyValue& p, const Variant& v) { p.name = variantToText(v); })
                .get("Value", [](PropertyValue& p, const Args&) { return p.value; })
                .put("Value", [](PropertyValue& p, const Variant& v) { p.value = v; });
            return t;
        }();
        return table;
    }
    std::u16string name;
    Variant value;
};

// ---- Ranges ----

class TextRange : public DocObject
{
public:
    TextRange(DocPtr doc, RangePtr range) : DocObject(std::move(doc)), range_(std::move(range)) {}
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<TextRange>(t)
                .method("getString",
                        [](TextRange& r, const Args&) {
                            DocState& d = r.doc();
                            return Variant(d.story->text(d.ranges.start(*r.range_), d.ranges.end(*r.range_)));
                        })
                .method(
                    "setString",
                    [](TextRange& r, const Args& a) {
                        r.setString(a.text(0));
                        return Variant();
                    },
                    1, 1);
            return t;
        }();
        return table;
    }

private:
    void setString(std::u16string text)
    {
        DocState& d = doc();
        std::replace(text.begin(), text.end(), u'\v', u'\n');
        const std::size_t s = d.ranges.start(*range_), e = d.ranges.end(*range_);
        // Minimal change: the common prefix and suffix stay. Text added at the end of the range takes
        // the formatting of the range's last character, so appending keeps the hit's formatting.
        const std::u16string old = d.story->text(s, e);
        std::size_t prefix = 0;
        while (prefix < old.size() && prefix < text.size() && old[prefix] == text[prefix])
            ++prefix;
        std::size_t suffix = 0;
        while (suffix < old.size() - prefix && suffix < text.size() - prefix &&
               old[old.size() - 1 - suffix] == text[text.size() - 1 - suffix])
            ++suffix;
        if (prefix != old.size() || prefix != text.size()) {
            const bool atEnd = e > s && prefix == old.size();
            d.story->replace(s + prefix, e - suffix,
                             std::u16string_view(text).substr(prefix, text.size() - prefix - suffix), atEnd);
        }
        // Later ranges move by the change in length; ranges inside the changed text shrink onto it.
        d.ranges.changed(*range_, s, e, s + text.size());
    }

    RangePtr range_;
};

class FoundRanges : public DocObject
{
public:
    FoundRanges(DocPtr doc, std::vector<RangePtr> ranges)
        : DocObject(std::move(doc)), ranges_(std::move(ranges))
    {
    }
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<FoundRanges>(t)
                .method("getCount",
                        [](FoundRanges& f, const Args&) {
                            f.doc();
                            return Variant(static_cast<std::int32_t>(f.ranges_.size()));
                        })
                .method(
                    "getByIndex",
                    [](FoundRanges& f, const Args& a) {
                        f.doc();
                        const std::int32_t i = a.int32(0);
                        if (i < 0 || static_cast<std::size_t>(i) >= f.ranges_.size())
                            raise(kErrorInvalidArgument, "IndexOutOfBoundsException");
                        return Variant(DispatchRef(
                            std::make_shared<TextRange>(f.docPtr(), f.ranges_[static_cast<std::size_t>(i)])));
                    },
                    1, 1);
            return t;
        }();
        return table;
    }

private:
    std::vector<RangePtr> ranges_;
};

// ---- Search ----

class Descriptor : public DocObject
{
public:
    using DocObject::DocObject;
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Descriptor>(t)
                .method(
                    "setPropertyValue",
                    [](Descriptor& d, const Args& a) {
                        const std::u16string name = a.text(0);
                        const bool value = toBool(a[1]);
                        if (equalAsciiNoCase(name, "SearchCaseSensitive"))
                            d.caseSensitive = value;
                        else if (equalAsciiNoCase(name, "SearchWords"))
                            d.words = value;
                        else if (equalAsciiNoCase(name, "SearchRegularExpression"))
                            d.regularExpression = value;
                        else if (!equalAsciiNoCase(name, "SearchSimilarity")) // accepted; the search is exact
                            raise(kErrorInvalidArgument, "UnknownPropertyException: " + utf16ToUtf8(name));
                        return Variant();
                    },
                    2, 2)
                .method(
                    "setSearchString",
                    [](Descriptor& d, const Args& a) {
                        d.searchString = a.text(0);
                        return Variant();
                    },
                    1, 1)
                .method("getSearchString",
                        [](Descriptor& d, const Args&) { return Variant(d.searchString); });
            return t;
        }();
        return table;
    }
    bool caseSensitive = false;
    bool words = false;
    bool regularExpression = false;
    std::u16string searchString;
};

char16_t fold(char16_t c)
{
    if (c >= 0xD800 && c <= 0xDFFF)
        return c;
    const char32_t f = foldCodePoint(c);
    return f <= 0xFFFF ? static_cast<char16_t>(f) : c;
}

// Leftmost non-overlapping literal hits, paragraph by paragraph.
std::vector<RangePtr> findAll(const TextStory& story, const Descriptor& d)
{
    std::vector<RangePtr> out;
    if (d.searchString.empty())
        return out;
    std::u16string needle = d.searchString;
    if (!d.caseSensitive)
        for (char16_t& c : needle)
            c = fold(c);
    const std::size_t n = needle.size();
    for (const Paragraph& p : story.paragraphs()) {
        const std::u16string& t = p.text;
        auto boundary = [&t](std::size_t pos) {
            return pos >= t.size() || t[pos] == kBarrierChar || isWordBreakChar(t[pos]);
        };
        std::size_t i = 0;
        while (i + n <= t.size()) {
            bool match = true;
            for (std::size_t k = 0; k < n && match; ++k) {
                const char16_t c = t[i + k];
                match = c != kBarrierChar && (d.caseSensitive ? c : fold(c)) == needle[k];
            }
            if (match && d.words)
                match = (i == 0 || boundary(i - 1)) && boundary(i + n);
            if (!match) {
                ++i;
                continue;
            }
            auto range = std::make_shared<RangeState>();
            range->start = static_cast<std::int64_t>(p.start + i);
            range->end = static_cast<std::int64_t>(p.start + i + n);
            out.push_back(std::move(range));
            i += n;
        }
    }
    return out;
}

// ---- Document ----

class Document : public DocObject
{
public:
    using DocObject::DocObject;
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Document>(t)
                .method("createSearchDescriptor",
                        [](Document& d, const Args&) {
                            d.doc();
                            return Variant(DispatchRef(std::make_shared<Descriptor>(d.docPtr())));
                        })
                .method(
                    "findAll",
                    [](Document& d, const Args& a) {
                        DocState& s = d.doc();
                        auto descriptor =
                            std::dynamic_pointer_cast<Descriptor>(asDispatch(a[0], "descriptor"));
                        if (!descriptor)
                            raise(kErrorInvalidArgument, "The argument is not a search descriptor.");
                        if (descriptor->regularExpression)
                            raise(kErrorNotImplemented, "Regular expressions are not supported.");
                        std::vector<RangePtr> found = findAll(*s.story, *descriptor);
                        s.ranges.add(found);
                        return Variant(
                            DispatchRef(std::make_shared<FoundRanges>(d.docPtr(), std::move(found))));
                    },
                    1, 1)
                .method(
                    "StoreToURL",
                    [](Document& d, const Args& a) {
                        DocState& s = d.doc();
                        const std::string target = windowsPathOfUrl(a.text(0));
                        bool overwrite = true;
                        for (const auto& [name, value] : propertyList(a[1]))
                            if (equalAsciiNoCase(name, "Overwrite"))
                                overwrite = toBool(value);
                        const bool same = sameFile(target, s.path);
                        if (!overwrite && pathExists(target))
                            raise(kErrorFail, "The file exists already: " + target);
                        if (same && !s.package->changed())
                            return Variant(); // the file holds this content already
                        s.package->save(target, "mimetype");
                        return Variant();
                    },
                    1, 2)
                .method("isReadonly",
                        [](Document& d, const Args&) { return Variant(d.doc().modifyPassword); })
                .method("Dispose", [](Document& d, const Args&) {
                    DocState& s = d.doc();
                    s.disposed = true;
                    s.ranges.clear();
                    s.story.reset();
                    s.dialect.reset();
                    s.package.reset();
                    return Variant();
                });
            return t;
        }();
        return table;
    }
};

// True when the settings of a document hold a password to modify: the hash of the suite's own kind
// ("ModifyPasswordInfo"), of the kind taken over from other office formats ("OOXMLModifyPasswordInfo"),
// or the older numeric hash ("ModifyPasswordHash", 0 when none). "LoadReadonly" alone only recommends
// opening the file read-only, as a word-processing document's recommendation does.
bool hasModifyPassword(Package& pkg)
{
    if (!pkg.hasPart(kSettingsPart))
        return false;
    const pugi::xml_node found =
        pkg.xml(kSettingsPart).document_element().find_node([](const pugi::xml_node& n) {
            const std::string_view local = localName(n);
            if (local != "config-item-set" && local != "config-item")
                return false;
            const std::string_view name = attribute(n, "name").value();
            if (name == "ModifyPasswordInfo" || name == "OOXMLModifyPasswordInfo")
                return local == "config-item-set" && n.first_child();
            if (name == "ModifyPasswordHash")
                return local == "config-item" && n.text().as_llong(0) != 0;
            return false;
        });
    return static_cast<bool>(found);
}

DocPtr loadDocument(const std::string& path)
{
    auto doc = std::make_shared<DocState>();
    doc->path = path;
    doc->package = std::make_unique<Package>(path, kSource);
    Package& pkg = *doc->package;
    if (pkg.hasPart("META-INF/manifest.xml")) {
        pugi::xml_node root = pkg.xml("META-INF/manifest.xml").document_element();
        const pugi::xml_node encrypted =
            root.find_node([](pugi::xml_node n) { return localName(n) == "encryption-data"; });
        if (encrypted)
            raise(kErrorFail, "The document is password-protected.");
    }
    if (pkg.hasPart("mimetype")) {
        const std::string type = pkg.readPart("mimetype");
        if (type.compare(0, kTextMimeType.size(), kTextMimeType) != 0)
            raise(kErrorFail, "The file is not an OpenDocument text.");
    }
    if (!pkg.hasPart(kContentPart))
        raise(kErrorFail, "The file is not an OpenDocument text.");
    pugi::xml_node root = pkg.xml(kContentPart).document_element();
    pugi::xml_node text = child(child(root, "body"), "text");
    if (localName(root) != "document-content" || !text)
        raise(kErrorFail, "The file is not an OpenDocument text.");
    doc->modifyPassword = hasModifyPassword(pkg);
    doc->dialect = std::make_unique<OdtDialect>(root);
    doc->story = std::make_unique<TextStory>(*doc->dialect, &pkg);
    try {
        doc->dialect->addParagraphs(*doc->story, kContentPart, text);
    } catch (const AutomationError& e) {
        raise(e.code(), e.message());
    }
    return doc;
}

// ---- Desktop and service manager ----

class Desktop : public OdtObject
{
public:
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Desktop>(t).method(
                "LoadComponentFromURL",
                [](Desktop&, const Args& a) {
                    const std::string path = windowsPathOfUrl(a.text(0));
                    propertyList(a[3]); // Hidden and the like: a stand-in has no windows
                    DocPtr doc = loadDocument(path);
                    return Variant(DispatchRef(std::make_shared<Document>(doc)));
                },
                4, 4);
            return t;
        }();
        return table;
    }
};

class ServiceManager : public OdtObject
{
public:
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<ServiceManager>(t)
                .method(
                    "CreateInstance",
                    [](ServiceManager&, const Args& a) {
                        const std::u16string name = a.text(0);
                        if (!equalAsciiNoCase(name, "com.sun.star.frame.Desktop"))
                            raise(kErrorInvalidArgument, "No such service: " + utf16ToUtf8(name));
                        return Variant(DispatchRef(std::make_shared<Desktop>()));
                    },
                    1, 1)
                .method(
                    "Bridge_GetStruct",
                    [](ServiceManager&, const Args& a) {
                        const std::u16string name = a.text(0);
                        if (!equalAsciiNoCase(name, "com.sun.star.beans.PropertyValue"))
                            raise(kErrorInvalidArgument, "No such structure: " + utf16ToUtf8(name));
                        return Variant(DispatchRef(std::make_shared<PropertyValue>()));
                    },
                    1, 1);
            return t;
        }();
        return table;
    }
};

} // namespace

std::string windowsPathOfUrl(std::u16string_view url)
{
    const std::string text = utf16ToUtf8(url);
    if (text.size() < 5 || !equalAsciiNoCase(utf8ToUtf16(text.substr(0, 5)), "file:"))
        raise(kErrorInvalidArgument, "Not a file URL: " + text);
    std::string_view rest = std::string_view(text).substr(5);
    std::string out;
    if (rest.substr(0, 3) == "///") {
        rest.remove_prefix(3);
    } else if (rest.substr(0, 2) == "//") {
        rest.remove_prefix(2);
        out = "\\\\";
    } else {
        raise(kErrorInvalidArgument, "Not a file URL: " + text);
    }
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest.substr(i, 3) == "%20") {
            out.push_back(' ');
            i += 2;
        } else if (rest.substr(i, 3) == "%25") {
            out.push_back('%');
            i += 2;
        } else {
            out.push_back(rest[i] == '/' ? '\\' : rest[i]);
        }
    }
    if (out.empty() || out == "\\\\")
        raise(kErrorInvalidArgument, "The URL names no file: " + text);
    return out;
}

DispatchRef createServiceManager()
{
    return std::make_shared<ServiceManager>();
}

} // namespace wux::platform::automation
