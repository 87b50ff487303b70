#include "platform/registry.h"

#include "platform/shell/special_folders.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <unordered_set>

#include <QDir>
#include <QMimeDatabase>
#include <QMimeType>

#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/paths.h"
#include "platform/string_list.h"
#include "platform/text.h"

namespace wux::platform {

namespace {

using Components = std::vector<std::string>;

constexpr RegistryRoot kRoots[] = {RegistryRoot::kClassesRoot, RegistryRoot::kCurrentUser,
                                   RegistryRoot::kLocalMachine};

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool hasLineBreak(std::string_view s)
{
    return s.find_first_of("\r\n") != std::string_view::npos;
}

// Splits a key path below a root; false for an empty component or a line break.
bool splitKeyPath(std::string_view path, Components& components)
{
    components.clear();
    if (hasLineBreak(path))
        return false;
    if (!path.empty() && path.front() == '\\')
        path.remove_prefix(1);
    if (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    if (path.empty())
        return true;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = path.find('\\', start);
        const std::string_view part = path.substr(start, end == std::string_view::npos ? end : end - start);
        if (part.empty() || isBlank(part.front()) || isBlank(part.back()))
            return false;
        components.emplace_back(part);
        if (end == std::string_view::npos)
            return true;
        start = end + 1;
    }
}

std::string joinPath(const Components& components)
{
    std::string path;
    for (const std::string& part : components) {
        if (!path.empty())
            path += '\\';
        path += part;
    }
    return path;
}

std::string sectionOf(RegistryRoot root, const Components& components)
{
    std::string section(registryRootName(root));
    for (const std::string& part : components) {
        section += '\\';
        section += part;
    }
    return section;
}

// The root and components of a store section; false for a section of no known root.
bool parseSection(std::string_view section, RegistryRoot& root, Components& components)
{
    const std::size_t slash = section.find('\\');
    const std::string_view rootName = section.substr(0, slash);
    const auto it = std::find_if(std::begin(kRoots), std::end(kRoots),
                                 [&](RegistryRoot r) { return equalNoCase(registryRootName(r), rootName); });
    if (it == std::end(kRoots))
        return false;
    root = *it;
    if (slash == std::string_view::npos) {
        components.clear();
        return true;
    }
    return splitKeyPath(section.substr(slash + 1), components) && !components.empty();
}

bool startsWith(const Components& components, const Components& prefix)
{
    if (components.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (!equalNoCase(components[i], prefix[i]))
            return false;
    return true;
}

// The file-name extensions of the MIME database as key names ("." + suffix), each once.
struct MimeExtensions
{
    std::vector<std::string> names;
    std::unordered_set<std::string> folded;
};

const MimeExtensions& mimeExtensions()
{
    static const MimeExtensions extensions = [] {
        MimeExtensions result;
        const QMimeDatabase database;
        for (const QMimeType& type : database.allMimeTypes()) {
            for (const QString& suffix : type.suffixes()) {
                const std::string name = "." + toUtf8(suffix);
                if (name.size() > 1 && !hasLineBreak(name) && name.find('\\') == std::string::npos &&
                    result.folded.insert(foldCase(name)).second)
                    result.names.push_back(name);
            }
        }
        return result;
    }();
    return extensions;
}

bool isMimeKey(RegistryRoot root, const Components& components)
{
    return root == RegistryRoot::kClassesRoot && components.size() == 1 && components[0].front() == '.' &&
           mimeExtensions().folded.count(foldCase(components[0])) != 0;
}

// True when the store holds the key or one of its subkeys.
bool storedKeyExists(const IniDocument& document, RegistryRoot root, const Components& components)
{
    for (const std::string& section : document.sectionNames()) {
        RegistryRoot r;
        Components c;
        if (parseSection(section, r, c) && r == root && startsWith(c, components))
            return true;
    }
    return false;
}

bool keyExistsIn(const IniDocument& document, RegistryRoot root, const Components& components)
{
    return components.empty() || isMimeKey(root, components) || storedKeyExists(document, root, components);
}

bool validValueName(std::string_view name)
{
    if (hasLineBreak(name) || name.find('=') != std::string_view::npos)
        return false;
    return name.empty() ||
           (name.front() != '[' && name.front() != ';' && !isBlank(name.front()) && !isBlank(name.back()));
}

std::string posixFolderOf(const std::string& posixPath)
{
    const std::size_t slash = posixPath.rfind('/');
    return slash == 0 ? std::string("/") : posixPath.substr(0, slash);
}

// Creates a POSIX folder and its missing parents through the drive map.
WinError ensureFolder(const std::string& posixFolder)
{
    const std::string windowsFolder = toWindowsPath(posixFolder);
    if (windowsFolder.empty())
        return kErrorPathNotFound;
    if (pathExists(windowsFolder))
        return kErrorSuccess;
    if (posixFolder != "/") {
        const WinError error = ensureFolder(posixFolderOf(posixFolder));
        if (error != kErrorSuccess)
            return error;
    }
    const WinError error = createFolder(windowsFolder);
    return error == kErrorAlreadyExists ? kErrorSuccess : error;
}

IniFile storeFile()
{
    return IniFile(toWindowsPath(registryStorePath()));
}

WinError loadStore(IniDocument& document)
{
    return storeFile().load(document);
}

// Changes the store (creating its folder first).
WinError updateStore(const std::function<WinError(IniDocument&)>& edit)
{
    const std::string path = registryStorePath();
    const WinError error = ensureFolder(posixFolderOf(path));
    if (error != kErrorSuccess)
        return error;
    return IniFile(toWindowsPath(path)).update(edit);
}

} // namespace

std::string_view registryRootName(RegistryRoot root)
{
    switch (root) {
    case RegistryRoot::kClassesRoot:
        return "HKEY_CLASSES_ROOT";
    case RegistryRoot::kCurrentUser:
        return "HKEY_CURRENT_USER";
    case RegistryRoot::kLocalMachine:
        return "HKEY_LOCAL_MACHINE";
    }
    return "HKEY_CURRENT_USER";
}

std::string registryStorePath()
{
    std::string base = shell::specialFolderPosixPath(shell::SpecialFolder::kApplicationData);
    if (base == "/")
        base.clear();
    return base + "/wux/registry.ini";
}

Registry::Registry(RegistryRoot root) : root_(root) {}

void Registry::setRootKey(RegistryRoot root)
{
    closeKey();
    root_ = root;
}

void Registry::closeKey()
{
    open_ = false;
    readOnly_ = false;
    path_.clear();
    components_.clear();
}

WinError Registry::open(std::string_view path, bool canCreate, bool readOnly)
{
    closeKey();
    Components components;
    if (!splitKeyPath(path, components))
        return kErrorInvalidParameter;
    IniDocument document;
    WinError error = loadStore(document);
    if (error != kErrorSuccess)
        return error;
    if (!keyExistsIn(document, root_, components)) {
        if (!canCreate)
            return kErrorFileNotFound;
        error = updateStore([&](IniDocument& doc) {
            return keyExistsIn(doc, root_, components) ? kErrorSuccess
                                                       : doc.addSection(sectionOf(root_, components));
        });
        if (error != kErrorSuccess)
            return error;
    }
    open_ = true;
    readOnly_ = readOnly;
    components_ = std::move(components);
    path_ = joinPath(components_);
    return kErrorSuccess;
}

WinError Registry::openKey(std::string_view path, bool canCreate)
{
    return open(path, canCreate, false);
}

WinError Registry::openKeyReadOnly(std::string_view path)
{
    return open(path, false, true);
}

bool Registry::keyExists(std::string_view path) const
{
    Components components;
    IniDocument document;
    return splitKeyPath(path, components) && loadStore(document) == kErrorSuccess &&
           keyExistsIn(document, root_, components);
}

WinError Registry::createKey(std::string_view path)
{
    Components components;
    if (!splitKeyPath(path, components))
        return kErrorInvalidParameter;
    IniDocument document;
    const WinError error = loadStore(document);
    if (error != kErrorSuccess || keyExistsIn(document, root_, components))
        return error;
    return updateStore([&](IniDocument& doc) {
        return keyExistsIn(doc, root_, components) ? kErrorSuccess
                                                   : doc.addSection(sectionOf(root_, components));
    });
}

WinError Registry::deleteKey(std::string_view path)
{
    Components components;
    if (!splitKeyPath(path, components))
        return kErrorInvalidParameter;
    if (components.empty())
        return kErrorAccessDenied;
    return storeFile().update([&](IniDocument& doc) {
        std::vector<std::string> doomed;
        for (const std::string& section : doc.sectionNames()) {
            RegistryRoot r;
            Components c;
            if (parseSection(section, r, c) && r == root_ && startsWith(c, components))
                doomed.push_back(section);
        }
        if (doomed.empty())
            return isMimeKey(root_, components) ? kErrorAccessDenied : kErrorFileNotFound;
        for (const std::string& section : doomed)
            doc.eraseSection(section);
        return kErrorSuccess;
    });
}

WinError Registry::readString(std::string_view name, std::string& value) const
{
    if (!open_)
        return kErrorInvalidHandle;
    IniDocument document;
    const WinError error = loadStore(document);
    if (error != kErrorSuccess)
        return error;
    if (!validValueName(name) || !document.findValue(sectionOf(root_, components_), name, value))
        return kErrorFileNotFound;
    return kErrorSuccess;
}

WinError Registry::writeString(std::string_view name, std::string_view value)
{
    if (!open_)
        return kErrorInvalidHandle;
    if (readOnly_)
        return kErrorAccessDenied;
    if (!validValueName(name) || hasLineBreak(value))
        return kErrorInvalidParameter;
    const std::string stored = quotedIniValue(value);
    return updateStore([&](IniDocument& doc) {
        if (!keyExistsIn(doc, root_, components_))
            return kErrorKeyDeleted;
        return doc.writeString(sectionOf(root_, components_), name, stored);
    });
}

bool Registry::valueExists(std::string_view name) const
{
    std::string value;
    return readString(name, value) == kErrorSuccess;
}

WinError Registry::deleteValue(std::string_view name)
{
    if (!open_)
        return kErrorInvalidHandle;
    if (readOnly_)
        return kErrorAccessDenied;
    if (!validValueName(name))
        return kErrorFileNotFound;
    return storeFile().update([&](IniDocument& doc) {
        const std::string section = sectionOf(root_, components_);
        std::string value;
        if (!doc.findValue(section, name, value))
            return kErrorFileNotFound;
        doc.deleteKey(section, name);
        return kErrorSuccess;
    });
}

WinError Registry::getKeyNames(StringList& names) const
{
    names.clear();
    if (!open_)
        return kErrorInvalidHandle;
    IniDocument document;
    const WinError error = loadStore(document);
    if (error != kErrorSuccess)
        return error;
    std::vector<std::string> found;
    std::unordered_set<std::string> folded;
    for (const std::string& section : document.sectionNames()) {
        RegistryRoot r;
        Components c;
        if (parseSection(section, r, c) && r == root_ && c.size() > components_.size() &&
            startsWith(c, components_) && folded.insert(foldCase(c[components_.size()])).second)
            found.push_back(c[components_.size()]);
    }
    if (root_ == RegistryRoot::kClassesRoot && components_.empty())
        for (const std::string& name : mimeExtensions().names)
            if (folded.insert(foldCase(name)).second)
                found.push_back(name);
    std::sort(found.begin(), found.end(), LessNoCase());
    for (const std::string& name : found)
        names.add(name);
    return kErrorSuccess;
}

} // namespace wux::platform
