#include "platform/automation/package.h"

#include <zip.h>

#include <deque>
#include <sstream>

#include "platform/automation/variant.h"
#include "platform/files.h"

namespace wux::platform::automation {

namespace {

bool equalAsciiNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y + 32);
        if (x != y)
            return false;
    }
    return true;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string percentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int hi = hexValue(text[i + 1]), lo = hexValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

// Collects the serialised XML. A carriage return in text is written as "&#13;": a reader turns a raw CR
// into LF, so a CR stored by another program would otherwise change whenever its part is rewritten.
struct XmlStringWriter : pugi::xml_writer
{
    std::string out;
    void write(const void* data, size_t size) override
    {
        std::string_view bytes(static_cast<const char*>(data), size);
        for (std::size_t cr = bytes.find('\r'); cr != std::string_view::npos; cr = bytes.find('\r')) {
            out.append(bytes.substr(0, cr));
            out.append("&#13;");
            bytes.remove_prefix(cr + 1);
        }
        out.append(bytes);
    }
};

} // namespace

std::string_view localName(const pugi::xml_node& node)
{
    std::string_view name = node.name();
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

pugi::xml_node child(const pugi::xml_node& node, std::string_view local)
{
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element && localName(c) == local)
            return c;
    return {};
}

pugi::xml_attribute attribute(const pugi::xml_node& node, std::string_view local)
{
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
        std::string_view name = a.name();
        const std::size_t colon = name.find(':');
        if ((colon == std::string_view::npos ? name : name.substr(colon + 1)) == local)
            return a;
    }
    return {};
}

std::string prefixOf(const pugi::xml_node& node)
{
    std::string_view name = node.name();
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? std::string() : std::string(name.substr(0, colon));
}

Package::Package(std::string_view windowsPath, std::string source, const PackageLimits& limits)
    : source_(std::move(source)), limits_(limits)
{
    FileInfo info;
    if (const WinError error = getFileInfo(windowsPath, info))
        fail(kErrorFail, errorText(error));
    if (info.attributes & kAttrDirectory)
        fail(kErrorFail, "The file is a folder.");
    if (info.size > limits_.maxFileSize)
        fail(kErrorFail, "The document is too large.");
    if (const WinError error = readWholeFile(windowsPath, bytes_))
        fail(kErrorFail, errorText(error));
    if (bytes_.size() > limits_.maxFileSize)
        fail(kErrorFail, "The document is too large.");
    if (bytes_.empty())
        fail(kErrorFail, "The file is not a document package (legacy, encrypted or other format).");

    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* src = zip_source_buffer_create(bytes_.data(), bytes_.size(), 0, &error);
    if (!src) {
        zip_error_fini(&error);
        fail(kErrorFail, "Out of memory.");
    }
    archive_.reset(zip_open_from_source(src, ZIP_RDONLY, &error));
    if (!archive_) {
        const int code = zip_error_code_zip(&error);
        zip_source_free(src);
        zip_error_fini(&error);
        if (code == ZIP_ER_NOZIP)
            fail(kErrorFail, "The file is not a document package (legacy, encrypted or other format).");
        fail(kErrorFail, "The document package is damaged.");
    }
    zip_error_fini(&error);

    const zip_int64_t count = zip_get_num_entries(archive_.get(), 0);
    if (count < 0 || static_cast<std::uint64_t>(count) > limits_.maxEntries)
        fail(kErrorFail, "The document package has too many entries.");
    std::uint64_t total = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(archive_.get(), static_cast<zip_uint64_t>(i), 0, &st) != 0 ||
            !(st.valid & ZIP_STAT_NAME))
            fail(kErrorFail, "The document package is damaged.");
        if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
            fail(kErrorFail, "The document package is encrypted.");
        const std::uint64_t size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
        total += size;
        if (total > limits_.maxTotalSize)
            fail(kErrorFail, "The document package is too large when unpacked.");
        names_.emplace_back(st.name);
        sizes_.push_back(size);
        methods_.push_back((st.valid & ZIP_STAT_COMP_METHOD) ? st.comp_method : 0);
    }
}

Package::~Package() = default;

void Package::ArchiveClose::operator()(zip* archive) const noexcept
{
    zip_discard(archive);
}

void Package::fail(std::int32_t code, const std::string& message) const
{
    throw AutomationError(code, source_, message);
}

std::optional<std::size_t> Package::indexOf(std::string_view name) const
{
    for (std::size_t i = 0; i < names_.size(); ++i)
        if (names_[i] == name)
            return i;
    for (std::size_t i = 0; i < names_.size(); ++i)
        if (equalAsciiNoCase(names_[i], name))
            return i;
    return std::nullopt;
}

std::string Package::canonicalName(std::string_view name) const
{
    if (replacedParts_.count(std::string(name)))
        return std::string(name);
    if (auto index = indexOf(name))
        return names_[*index];
    for (const auto& [replaced, bytes] : replacedParts_)
        if (equalAsciiNoCase(replaced, name))
            return replaced;
    return std::string(name);
}

bool Package::hasPart(std::string_view name) const
{
    const std::string canonical = canonicalName(name);
    if (removedParts_.count(canonical))
        return false;
    return replacedParts_.count(canonical) || indexOf(canonical).has_value();
}

std::string Package::readPart(std::string_view name) const
{
    const std::string canonical = canonicalName(name);
    if (removedParts_.count(canonical))
        fail(kErrorFail, "The document part " + canonical + " is missing.");
    if (auto it = replacedParts_.find(canonical); it != replacedParts_.end())
        return it->second;
    auto index = indexOf(canonical);
    if (!index)
        fail(kErrorFail, "The document part " + canonical + " is missing.");
    if (sizes_[*index] > limits_.maxPartSize)
        fail(kErrorFail, "The document part " + canonical + " is too large.");
    zip_file_t* file = zip_fopen_index(archive_.get(), *index, 0);
    if (!file)
        fail(kErrorFail, "The document part " + canonical + " cannot be read.");
    std::string out;
    out.resize(static_cast<std::size_t>(sizes_[*index]));
    std::size_t done = 0;
    // Read one byte more than declared: a part that inflates beyond its size is refused.
    char extra[1];
    for (;;) {
        zip_int64_t n = done < out.size() ? zip_fread(file, out.data() + done, out.size() - done)
                                          : zip_fread(file, extra, 1);
        if (n < 0) {
            zip_fclose(file);
            fail(kErrorFail, "The document part " + canonical + " is damaged.");
        }
        if (n == 0)
            break;
        if (done >= out.size()) {
            zip_fclose(file);
            fail(kErrorFail, "The document part " + canonical + " is too large.");
        }
        done += static_cast<std::size_t>(n);
    }
    zip_fclose(file);
    out.resize(done);
    return out;
}

XmlTextCheck checkXmlText(std::string_view xml, std::size_t maxDepth)
{
    const auto skipPast = [&](std::size_t from, std::string_view end) {
        const std::size_t at = xml.find(end, from);
        return at == std::string_view::npos ? xml.size() : at + end.size();
    };
    // Steps over the reference at i ("&...;"); false when it names an entity other than the five
    // predefined ones (character references are fine).
    const auto passReference = [&](std::size_t& i) {
        if (i + 1 < xml.size() && xml[i + 1] == '#') {
            i += 2;
            return true;
        }
        const std::size_t semicolon = xml.find(';', i + 1);
        if (semicolon == std::string_view::npos)
            return false;
        const std::string_view name = xml.substr(i + 1, semicolon - i - 1);
        if (name != "amp" && name != "lt" && name != "gt" && name != "quot" && name != "apos")
            return false;
        i = semicolon + 1;
        return true;
    };
    std::size_t depth = 0;
    std::size_t i = 0;
    while (i < xml.size()) {
        const char c = xml[i];
        if (c == '&') {
            if (!passReference(i))
                return XmlTextCheck::kOwnEntities;
            continue;
        }
        if (c != '<') {
            ++i;
            continue;
        }
        const std::string_view rest = xml.substr(i);
        if (rest.starts_with("<!--")) {
            i = skipPast(i + 4, "-->");
        } else if (rest.starts_with("<![CDATA[")) {
            i = skipPast(i + 9, "]]>");
        } else if (rest.starts_with("<?")) {
            i = skipPast(i + 2, "?>");
        } else if (rest.starts_with("<!DOCTYPE")) {
            // An internal subset opens with "[" before the declaration's end (quoted texts skipped).
            for (i += 9; i < xml.size() && xml[i] != '>'; ++i) {
                if (xml[i] == '[')
                    return XmlTextCheck::kOwnEntities;
                if (xml[i] == '"' || xml[i] == '\'') {
                    const std::size_t close = xml.find(xml[i], i + 1);
                    i = close == std::string_view::npos ? xml.size() : close;
                }
            }
        } else if (rest.starts_with("</")) {
            if (depth > 0)
                --depth;
            i = skipPast(i + 2, ">");
        } else {
            // A start tag: its quoted attribute values may hold ">" and references.
            bool empty = false;
            for (++i; i < xml.size() && xml[i] != '>';) {
                const char q = xml[i];
                if (q == '"' || q == '\'') {
                    for (++i; i < xml.size() && xml[i] != q;) {
                        if (xml[i] != '&')
                            ++i;
                        else if (!passReference(i))
                            return XmlTextCheck::kOwnEntities;
                    }
                    ++i;
                    empty = false;
                    continue;
                }
                empty = q == '/';
                ++i;
            }
            ++i;
            if (!empty && ++depth > maxDepth)
                return XmlTextCheck::kTooDeep;
        }
    }
    return XmlTextCheck::kFine;
}

pugi::xml_document& Package::xml(std::string_view name)
{
    const std::string canonical = canonicalName(name);
    auto it = xml_.find(canonical);
    if (it != xml_.end())
        return *it->second;
    const std::string bytes = readPart(canonical);
    switch (checkXmlText(bytes, kMaxXmlDepth)) {
    case XmlTextCheck::kFine:
        break;
    case XmlTextCheck::kOwnEntities:
        fail(kErrorFail, "The document part " + canonical +
                             " declares or uses entities of its own, which cannot be saved unchanged.");
    case XmlTextCheck::kTooDeep:
        fail(kErrorFail, "The document part " + canonical + " is nested too deeply.");
    }
    auto doc = std::make_unique<pugi::xml_document>();
    const pugi::xml_parse_result result = doc->load_buffer(bytes.data(), bytes.size(), kXmlParseFlags);
    if (!result)
        fail(kErrorFail, "The document part " + canonical + " is not well-formed XML.");
    return *xml_.emplace(canonical, std::move(doc)).first->second;
}

void Package::markChanged(std::string_view name)
{
    changedParts_.insert(canonicalName(name));
}

void Package::setPartBytes(std::string_view name, std::string bytes)
{
    const std::string canonical = canonicalName(name);
    xml_.erase(canonical);
    changedParts_.erase(canonical);
    removedParts_.erase(canonical);
    replacedParts_[canonical] = std::move(bytes);
}

void Package::removePart(std::string_view name)
{
    const std::string canonical = canonicalName(name);
    xml_.erase(canonical);
    changedParts_.erase(canonical);
    replacedParts_.erase(canonical);
    removedParts_.insert(canonical);
}

std::string Package::relsPartOf(std::string_view sourcePart)
{
    const std::size_t slash = sourcePart.rfind('/');
    if (slash == std::string_view::npos)
        return "_rels/" + std::string(sourcePart) + ".rels";
    return std::string(sourcePart.substr(0, slash + 1)) + "_rels/" +
           std::string(sourcePart.substr(slash + 1)) + ".rels";
}

std::string Package::resolveTarget(std::string_view sourcePart, std::string_view target)
{
    std::string decoded = percentDecode(target);
    std::string path;
    if (!decoded.empty() && decoded.front() == '/') {
        path = decoded.substr(1);
    } else {
        const std::size_t slash = sourcePart.rfind('/');
        path =
            (slash == std::string_view::npos ? std::string() : std::string(sourcePart.substr(0, slash + 1))) +
            decoded;
    }
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        std::string piece = path.substr(start, end - start);
        if (piece == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!piece.empty() && piece != ".") {
            parts.push_back(piece);
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string& piece : parts) {
        if (!out.empty())
            out += '/';
        out += piece;
    }
    return out;
}

std::vector<Relationship> Package::relationships(std::string_view sourcePart)
{
    std::vector<Relationship> out;
    const std::string relsName = relsPartOf(sourcePart);
    if (!hasPart(relsName))
        return out;
    pugi::xml_node root = xml(relsName).document_element();
    for (pugi::xml_node rel = root.first_child(); rel; rel = rel.next_sibling()) {
        if (rel.type() != pugi::node_element || localName(rel) != "Relationship")
            continue;
        Relationship r;
        r.id = rel.attribute("Id").value();
        r.type = rel.attribute("Type").value();
        r.external = equalAsciiNoCase(rel.attribute("TargetMode").value(), "External");
        const std::string target = rel.attribute("Target").value();
        if (target.empty())
            continue; // points nowhere (resolving it would name the source's own folder)
        r.target = r.external ? target : resolveTarget(sourcePart, target);
        out.push_back(std::move(r));
    }
    return out;
}

std::optional<std::string> Package::relatedPart(std::string_view sourcePart, std::string_view typeSuffix)
{
    for (const Relationship& r : relationships(sourcePart)) {
        if (r.external || r.type.size() <= typeSuffix.size())
            continue;
        if (std::string_view(r.type).substr(r.type.size() - typeSuffix.size()) == typeSuffix &&
            r.type[r.type.size() - typeSuffix.size() - 1] == '/')
            return r.target;
    }
    return std::nullopt;
}

std::optional<std::string> Package::partById(std::string_view sourcePart, std::string_view id)
{
    for (const Relationship& r : relationships(sourcePart))
        if (r.id == id && !r.external)
            return r.target;
    return std::nullopt;
}

void Package::save(std::string_view windowsPath, std::string_view storedFirst)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* outSource = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (!outSource) {
        zip_error_fini(&error);
        fail(kErrorFail, "Out of memory.");
    }
    zip_source_keep(outSource);
    zip_t* out = zip_open_from_source(outSource, ZIP_TRUNCATE, &error);
    zip_error_fini(&error);
    if (!out) {
        zip_source_free(outSource);
        fail(kErrorFail, "The document cannot be written.");
    }
    std::deque<std::string> buffers; // alive until zip_close
    bool ok = true;

    auto addBytes = [&](const std::string& name, std::string bytes, bool stored) {
        buffers.push_back(std::move(bytes));
        zip_source_t* s = zip_source_buffer(out, buffers.back().data(), buffers.back().size(), 0);
        if (!s) {
            ok = false;
            return;
        }
        const zip_int64_t index = zip_file_add(out, name.c_str(), s, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(s);
            ok = false;
            return;
        }
        zip_set_file_compression(out, static_cast<zip_uint64_t>(index),
                                 stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
    };
    auto addEntry = [&](std::size_t i, bool stored) {
        const std::string& name = names_[i];
        if (removedParts_.count(name))
            return;
        if (auto it = replacedParts_.find(name); it != replacedParts_.end()) {
            addBytes(name, it->second, stored);
            return;
        }
        if (changedParts_.count(name) && xml_.count(name)) {
            XmlStringWriter writer;
            xml_.at(name)->save(writer, "", kXmlSaveFlags, pugi::encoding_utf8);
            addBytes(name, std::move(writer.out), stored);
            return;
        }
        // Unchanged entries are copied as they are stored (compressed data, method and CRC); only a
        // stored-first entry that was compressed is unpacked to be stored.
        const bool raw = !stored || methods_[i] == ZIP_CM_STORE;
        zip_source_t* s = zip_source_zip(out, archive_.get(), i, raw ? ZIP_FL_COMPRESSED : 0, 0, -1);
        if (!s) {
            ok = false;
            return;
        }
        const zip_int64_t index = zip_file_add(out, name.c_str(), s, ZIP_FL_ENC_GUESS);
        if (index < 0) {
            zip_source_free(s);
            ok = false;
            return;
        }
        zip_set_file_compression(out, static_cast<zip_uint64_t>(index), raw ? methods_[i] : ZIP_CM_STORE, 0);
    };

    std::optional<std::size_t> first;
    if (!storedFirst.empty())
        first = indexOf(storedFirst);
    if (first)
        addEntry(*first, true);
    for (std::size_t i = 0; i < names_.size() && ok; ++i)
        if (!first || i != *first)
            addEntry(i, false);
    for (const auto& [name, bytes] : replacedParts_)
        if (ok && !indexOf(name))
            addBytes(name, bytes, false);

    if (!ok || zip_close(out) != 0) {
        zip_discard(out);
        zip_source_free(outSource);
        fail(kErrorFail, "The document cannot be written.");
    }
    std::string result;
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_source_stat(outSource, &st) == 0 && zip_source_open(outSource) == 0) {
        result.resize(static_cast<std::size_t>(st.size));
        const zip_int64_t n = zip_source_read(outSource, result.data(), result.size());
        zip_source_close(outSource);
        ok = n == static_cast<zip_int64_t>(result.size());
    } else {
        ok = false;
    }
    zip_source_free(outSource);
    if (!ok)
        fail(kErrorFail, "The document cannot be written.");
    if (const WinError e = atomicRewrite(windowsPath, result))
        fail(kErrorFail, errorText(e));
}

} // namespace wux::platform::automation
