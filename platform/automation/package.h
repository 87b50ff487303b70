// Office packages (zip files of XML parts) for the stand-in servers.
//
// The whole file is read into memory when the package is opened, then the file is closed: a package
// holds no lock. Parts are read on demand with caps on their uncompressed size (no zip bombs); XML parts
// are parsed once (pugixml, white space kept) and matched by local name, so both namespace
// generations of the office formats work. Saving writes a new zip through the file layer's atomic
// rewrite (a temporary file in the same folder renamed over the target, permission bits kept): changed
// parts are serialised again, every other entry is copied as it was.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

struct zip;
struct zip_source;

namespace wux::platform::automation {

// One relationship of a part.
struct Relationship
{
    std::string id;
    std::string type;   // the full type URI
    std::string target; // the resolved part name (no leading "/"), or the raw target when external
    bool external = false;
};

// Size caps against hostile packages.
struct PackageLimits
{
    std::uint64_t maxFileSize = 1ULL << 30;   // the package file itself
    std::uint64_t maxPartSize = 256ULL << 20; // one uncompressed part read by a server
    std::uint64_t maxTotalSize = 1ULL << 31;  // all uncompressed entries together (as declared)
    std::uint64_t maxEntries = 65536;
};

class Package
{
public:
    // Reads the package at a Windows path. Raises AutomationError (source = the server name) when the
    // file cannot be read, is not a zip, is encrypted or is too large.
    Package(std::string_view windowsPath, std::string source, const PackageLimits& limits = PackageLimits());
    ~Package();
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    // Entry names in their original order.
    const std::vector<std::string>& entryNames() const { return names_; }
    // True when the package holds the part (exact name, else ignoring ASCII case).
    bool hasPart(std::string_view name) const;
    // The uncompressed bytes of a part (raises when missing, too large or damaged).
    std::string readPart(std::string_view name) const;
    // The parsed XML of a part (cached; raises when missing or malformed).
    pugi::xml_document& xml(std::string_view name);
    // Marks an XML part as changed: it is serialised again on save.
    void markChanged(std::string_view name);
    bool changed() const
    {
        return !changedParts_.empty() || !replacedParts_.empty() || !removedParts_.empty();
    }
    // Replaces the bytes of a part (a new part is appended) / removes a part.
    void setPartBytes(std::string_view name, std::string bytes);
    void removePart(std::string_view name);

    // The relationships of a part ("" for the package's own _rels/.rels).
    std::vector<Relationship> relationships(std::string_view sourcePart);
    // The target of the first relationship whose type ends with "/" + typeSuffix, or nothing.
    std::optional<std::string> relatedPart(std::string_view sourcePart, std::string_view typeSuffix);
    // The target of a relationship id, or nothing.
    std::optional<std::string> partById(std::string_view sourcePart, std::string_view id);

    // Writes the package to a Windows path. storedFirst: an entry that must be the first and stored
    // uncompressed (OpenDocument's "mimetype"). Raises AutomationError on failure; the target is then
    // unchanged.
    void save(std::string_view windowsPath, std::string_view storedFirst = {});

    // Resolves a relationship target against the folder of its source part.
    static std::string resolveTarget(std::string_view sourcePart, std::string_view target);
    // The relationship part of a source part.
    static std::string relsPartOf(std::string_view sourcePart);

private:
    std::optional<std::size_t> indexOf(std::string_view name) const;
    std::string canonicalName(std::string_view name) const;
    [[noreturn]] void fail(std::int32_t code, const std::string& message) const;

    std::string source_;
    PackageLimits limits_;
    std::string bytes_; // the whole file
    struct ArchiveClose
    {
        void operator()(zip* archive) const noexcept;
    };
    std::unique_ptr<zip, ArchiveClose> archive_; // released also when the constructor raises
    std::vector<std::string> names_;
    std::vector<std::uint64_t> sizes_;
    std::vector<std::int32_t> methods_;
    std::map<std::string, std::unique_ptr<pugi::xml_document>> xml_;
    std::set<std::string> changedParts_;
    std::map<std::string, std::string> replacedParts_;
    std::set<std::string> removedParts_;
};

// The local name of an element ("w:t" gives "t").
std::string_view localName(const pugi::xml_node& node);
// The first child element with a local name (null when none).
pugi::xml_node child(const pugi::xml_node& node, std::string_view local);
// An attribute by local name (null when none).
pugi::xml_attribute attribute(const pugi::xml_node& node, std::string_view local);
// The namespace prefix of an element ("w" for "w:t"; "" when none), for creating siblings.
std::string prefixOf(const pugi::xml_node& node);

// What a reading of XML text finds before the text is parsed. kOwnEntities: the text declares entities of
// its own (a document type declaration with an internal subset) or refers to an entity other than the
// five predefined ones (character references are fine); such a part cannot be written back as it was
// read, its references would be saved as text. kTooDeep: elements are nested deeper than maxDepth; the
// XML library and the servers walk a tree recursively, so such a part is refused before it is built.
enum class XmlTextCheck
{
    kFine,
    kOwnEntities,
    kTooDeep,
};
XmlTextCheck checkXmlText(std::string_view xml, std::size_t maxDepth);

// The deepest nesting of elements a part may have. Office programs nest a few dozen levels (a table in
// a table adds three or four); a part deeper than this is hostile.
inline constexpr std::size_t kMaxXmlDepth = 1000;

// Parse and save flags for office XML.
inline constexpr unsigned kXmlParseFlags = pugi::parse_default | pugi::parse_ws_pcdata |
                                           pugi::parse_declaration | pugi::parse_comments | pugi::parse_pi |
                                           pugi::parse_doctype;
inline constexpr unsigned kXmlSaveFlags = pugi::format_raw;

} // namespace wux::platform::automation
