#include "platform/paths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <vector>

#include "platform/drives.h"
#include "platform/file_internal.h"
#include "platform/name_index.h"
#include "platform/text.h"

namespace wux::platform {
namespace {

constexpr std::size_t kNameMax = NAME_MAX;

bool isReservedByte(unsigned char c)
{
    switch (c) {
    case '\\':
    case ':':
    case '*':
    case '?':
    case '"':
    case '<':
    case '>':
    case '|':
        return true;
    default:
        return c >= 1 && c <= 31;
    }
}

bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}

// Calls f with each name of a path ("\" and "/" separate, and repeated separators count as one) until
// f returns false.
template <typename F> void forEachName(std::string_view path, F f)
{
    std::size_t pos = 0;
    while (pos < path.size()) {
        if (isSeparator(path[pos])) {
            ++pos;
            continue;
        }
        std::size_t end = pos;
        while (end < path.size() && !isSeparator(path[end]))
            ++end;
        if (!f(path.substr(pos, end - pos)))
            return;
        pos = end;
    }
}

// The reserved byte that a U+F000 character at pos stands for, or -1.
int privateUseByteAt(std::string_view text, std::size_t pos)
{
    if (pos + 2 >= text.size())
        return -1;
    const auto b0 = static_cast<unsigned char>(text[pos]);
    const auto b1 = static_cast<unsigned char>(text[pos + 1]);
    const auto b2 = static_cast<unsigned char>(text[pos + 2]);
    if (b0 != 0xEF || (b1 != 0x80 && b1 != 0x81) || (b2 & 0xC0) != 0x80)
        return -1;
    const int value = ((b1 & 0x01) << 6) | (b2 & 0x3F);
    return isReservedByte(static_cast<unsigned char>(value)) ? value : -1;
}

// A Linux name may itself hold a private-use character U+F000 + a reserved byte (or U+F0EF). So that
// it is not read back as the reserved byte, its lead byte 0xEF is written as U+F0EF, which stands for
// the single byte 0xEF.
constexpr unsigned char kEscapedLead = 0xEF;

// True when U+F0EF (EF 83 AF) is at pos.
bool escapeAt(std::string_view text, std::size_t pos)
{
    return pos + 2 < text.size() && static_cast<unsigned char>(text[pos]) == 0xEF &&
           static_cast<unsigned char>(text[pos + 1]) == 0x83 &&
           static_cast<unsigned char>(text[pos + 2]) == 0xAF;
}

// The byte that a mapped character at pos stands for (a reserved byte or the escaped 0xEF), or -1.
int mappedByteAt(std::string_view text, std::size_t pos)
{
    if (escapeAt(text, pos))
        return kEscapedLead;
    return privateUseByteAt(text, pos);
}

// lstat of a path into entry.
void lookAt(const std::string& path, PathEntry& entry)
{
    entry = {};
    if (internal::lstatPath(path, entry.st) == 0)
        entry.exists = true;
    else
        entry.error = errno;
}

WinError resolvePath(std::string_view windowsPath, std::string& posixPath, PathEntry* entry);

std::string folderOfPosix(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}

std::string joinPosix(const std::string& folder, std::string_view name)
{
    std::string out = folder;
    if (out.empty() || out.back() != '/')
        out += '/';
    out += name;
    return out;
}

} // namespace

bool foldedNameEquals(std::string_view name, std::string_view foldedKey)
{
    // ASCII letters fold to their lower case and nothing else folds to ASCII from ASCII.
    if (name.size() == foldedKey.size()) {
        std::size_t i = 0;
        for (; i < name.size(); ++i) {
            char c = name[i];
            if (static_cast<unsigned char>(c) >= 0x80)
                break;
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
            if (c != foldedKey[i])
                return false;
        }
        if (i == name.size())
            return true;
    } else {
        bool ascii = true;
        for (char c : name)
            ascii = ascii && static_cast<unsigned char>(c) < 0x80;
        if (ascii)
            return false;
    }
    return foldCase(name) == foldedKey;
}

std::string encodeName(std::string_view linuxName)
{
    // Most names hold no byte to encode: taken in one piece.
    std::size_t plain = 0;
    while (plain < linuxName.size() && !isReservedByte(static_cast<unsigned char>(linuxName[plain])) &&
           static_cast<unsigned char>(linuxName[plain]) != kEscapedLead)
        ++plain;
    if (plain == linuxName.size())
        return std::string(linuxName);
    std::string out;
    out.reserve(linuxName.size());
    for (std::size_t i = 0; i < linuxName.size(); ++i) {
        const char c = linuxName[i];
        const auto b = static_cast<unsigned char>(c);
        if (isReservedByte(b)) {
            out += static_cast<char>(0xEF);
            out += static_cast<char>(b < 0x40 ? 0x80 : 0x81);
            out += static_cast<char>(0x80 | (b & 0x3F));
        } else if (b == kEscapedLead && mappedByteAt(linuxName, i) >= 0) {
            out += "\xEF\x83\xAF"; // the lead byte alone; the rest follows as it is
        } else {
            out += c;
        }
    }
    return out;
}

bool decodeName(std::string_view windowsName, std::string& linuxName)
{
    linuxName.clear();
    linuxName.reserve(windowsName.size());
    for (std::size_t i = 0; i < windowsName.size(); ++i) {
        const auto b = static_cast<unsigned char>(windowsName[i]);
        if (b == 0 || b == '/' || isReservedByte(b))
            return false;
        if (b == 0xEF) {
            const int value = mappedByteAt(windowsName, i);
            if (value >= 0) {
                linuxName += static_cast<char>(value);
                i += 2;
                continue;
            }
        }
        linuxName += windowsName[i];
    }
    return true;
}

std::string displayPath(std::string_view windowsPath)
{
    std::string out;
    out.reserve(windowsPath.size());
    for (std::size_t i = 0; i < windowsPath.size(); ++i) {
        if (static_cast<unsigned char>(windowsPath[i]) == 0xEF) {
            const int value = mappedByteAt(windowsPath, i);
            if (value >= 0) {
                out += static_cast<char>(value);
                i += 2;
                continue;
            }
        }
        out += windowsPath[i];
    }
    return out;
}

char driveLetterOf(std::string_view windowsPath) noexcept
{
    if (windowsPath.size() < 2 || windowsPath[1] != ':')
        return 0;
    const char c = windowsPath[0];
    if (c >= 'a' && c <= 'z')
        return c;
    if (c >= 'A' && c <= 'Z')
        return static_cast<char>(c - 'A' + 'a');
    return 0;
}

bool isDriveRoot(std::string_view windowsPath) noexcept
{
    if (driveLetterOf(windowsPath) == 0)
        return false;
    return windowsPath.size() == 2 || (windowsPath.size() == 3 && isSeparator(windowsPath[2]));
}

void splitWindowsPath(std::string_view windowsPath, std::string& folder, std::string& name)
{
    std::size_t end = windowsPath.size();
    while (end > 0 && isSeparator(windowsPath[end - 1]) && !isDriveRoot(windowsPath.substr(0, end)))
        --end;
    const std::string_view path = windowsPath.substr(0, end);
    if (isDriveRoot(path)) {
        folder = std::string(path.substr(0, 2)) + "\\";
        name.clear();
        return;
    }
    std::size_t sep = path.find_last_of("\\/");
    if (sep == std::string_view::npos) {
        if (driveLetterOf(path) != 0) {
            folder = std::string(path.substr(0, 2)) + "\\";
            name = std::string(path.substr(2));
        } else {
            folder.clear();
            name = std::string(path);
        }
        return;
    }
    name = std::string(path.substr(sep + 1));
    std::size_t folderEnd = sep;
    while (folderEnd > 0 && isSeparator(path[folderEnd - 1]))
        --folderEnd;
    folder = std::string(path.substr(0, folderEnd));
    if (folder.size() == 2 && driveLetterOf(folder) != 0)
        folder += '\\';
}

std::string joinWindowsPath(std::string_view folder, std::string_view name)
{
    std::string out(folder);
    if (!out.empty() && !isSeparator(out.back()))
        out += '\\';
    out += name;
    return out;
}

WinError toPosixPath(std::string_view windowsPath, std::string& posixPath)
{
    return resolvePath(windowsPath, posixPath, nullptr);
}

WinError toPosixPath(std::string_view windowsPath, std::string& posixPath, PathEntry& entry)
{
    return resolvePath(windowsPath, posixPath, &entry);
}

namespace {

// The drive root and the Linux names of a Windows path, "." and ".." resolved in the text.
WinError splitPath(std::string_view windowsPath, std::string& root, std::vector<std::string>& components)
{
    components.clear();
    const char letter = driveLetterOf(windowsPath);
    if (letter == 0)
        return kErrorPathNotFound; // empty, relative, UNC or rooted without a drive
    const auto drive = findDrive(letter);
    if (!drive)
        return kErrorPathNotFound;

    std::string linuxName;
    WinError error = kErrorSuccess;
    forEachName(windowsPath.substr(2), [&](std::string_view component) {
        if (component == ".")
            return true;
        if (component == "..") {
            if (!components.empty())
                components.pop_back();
            return true;
        }
        if (!decodeName(component, linuxName))
            error = kErrorInvalidName;
        else if (linuxName.size() > kNameMax)
            error = kErrorFilenameExcedRange;
        else
            components.push_back(linuxName);
        return error == kErrorSuccess;
    });
    if (error != kErrorSuccess)
        return error;
    root = drive->root;
    return kErrorSuccess;
}

WinError resolvePath(std::string_view windowsPath, std::string& posixPath, PathEntry* entry)
{
    posixPath.clear();
    std::vector<std::string> components;
    std::string path;
    if (const WinError error = splitPath(windowsPath, path, components))
        return error;
    for (const std::string& component : components)
        path = joinPosix(path, component);

    // Every name as spelled: a path built from a listing names exactly the entries listed, and a
    // name about to be created, written, renamed to or deleted is never another entry's.
    struct stat st = {};
    if (components.empty() || internal::lstatPath(path, st) == 0) {
        if (entry != nullptr && components.empty())
            lookAt(path, *entry);
        else if (entry != nullptr)
            *entry = {true, st, 0};
        posixPath = std::move(path);
        return kErrorSuccess;
    }
    const int error = errno;
    if (error == ENAMETOOLONG)
        return kErrorFilenameExcedRange;
    if (error == ENOTDIR)
        return kErrorPathNotFound;
    if (error == ENOENT) {
        // A new name: its folder must be there.
        struct stat folderSt = {};
        if (internal::statPath(folderOfPosix(path), folderSt) != 0 || !S_ISDIR(folderSt.st_mode))
            return kErrorPathNotFound;
    }
    if (entry != nullptr)
        *entry = {false, {}, error}; // anything else (a folder that cannot be searched): the operation reports it
    posixPath = std::move(path);
    return kErrorSuccess;
}

} // namespace

std::string spelledOnDisk(std::string_view windowsPath)
{
    std::string root;
    std::vector<std::string> components;
    if (splitPath(windowsPath, root, components) != kErrorSuccess)
        return std::string(windowsPath);
    bool replaced = false;
    std::string current = root;
    struct stat st = {};
    for (std::string& component : components) {
        std::string candidate = joinPosix(current, component);
        if (internal::lstatPath(candidate, st) != 0) {
            if (errno != ENOENT)
                break;
            std::string match = internal::uniqueMatchNoCase(current, component);
            if (match.empty())
                break; // none or several: the rest stays as written (a new name, or not found)
            component = std::move(match);
            candidate = joinPosix(current, component);
            replaced = true;
        }
        current = std::move(candidate);
    }
    if (!replaced)
        return std::string(windowsPath);
    std::string out(windowsPath.substr(0, 2));
    out += '\\';
    for (std::size_t i = 0; i < components.size(); ++i) {
        if (i > 0)
            out += '\\';
        out += encodeName(components[i]);
    }
    return out;
}

namespace {

// The drive whose root is the longest prefix of an absolute POSIX path (without doubled or trailing
// slashes), or nullptr.
const DriveEntry* driveHolding(const std::vector<DriveEntry>& drives, std::string_view path)
{
    const DriveEntry* best = nullptr;
    for (const DriveEntry& drive : drives) {
        const bool covers =
            drive.root == "/" || path == drive.root ||
            (path.size() > drive.root.size() && path.compare(0, drive.root.size(), drive.root) == 0 &&
             path[drive.root.size()] == '/');
        if (covers && (best == nullptr || drive.root.size() > best->root.size()))
            best = &drive;
    }
    return best;
}

// The Windows path of an absolute POSIX path without doubled or trailing slashes, each of its names
// given as encode(name, last) returns it; "" when no drive holds it.
template <typename Encode> std::string drivePathOf(std::string_view path, Encode encode)
{
    const std::vector<DriveEntry> drives = driveMap();
    const DriveEntry* best = driveHolding(drives, path);
    if (best == nullptr)
        return {};
    std::string out;
    out += best->letter;
    out += ":\\";
    std::size_t pos = best->root == "/" ? 1 : best->root.size() + 1;
    bool first = true;
    while (pos < path.size()) {
        std::size_t end = path.find('/', pos);
        if (end == std::string::npos)
            end = path.size();
        if (!first)
            out += '\\';
        out += encode(path.substr(pos, end - pos), end == path.size());
        first = false;
        pos = end + 1;
    }
    return out;
}

bool hasWildcard(std::string_view name)
{
    return name.find_first_of("*?") != std::string_view::npos;
}

// A typed Linux name as the system sees it: encoded as a listed name would be, but "*" and "?" of the
// last name stay a mask.
std::string encodeTypedName(std::string_view name, bool last)
{
    if (!last || !hasWildcard(name))
        return encodeName(name);
    std::string out;
    std::size_t pos = 0;
    while (pos <= name.size()) {
        const std::size_t wildcard = name.find_first_of("*?", pos);
        const std::size_t end = wildcard == std::string_view::npos ? name.size() : wildcard;
        out += encodeName(name.substr(pos, end - pos));
        if (wildcard == std::string_view::npos)
            break;
        out += name[wildcard];
        pos = wildcard + 1;
    }
    return out;
}

// spelledOnDisk of a drive path; its last name is kept as typed after its folder when it is a mask or
// when it names the entry to write (asTyped).
std::string spelledWithMask(const std::string& windowsPath, bool asTyped)
{
    std::string folder;
    std::string name;
    splitWindowsPath(windowsPath, folder, name);
    if (!hasWildcard(name) && !(asTyped && !name.empty()))
        return spelledOnDisk(windowsPath);
    const std::string spelled = spelledOnDisk(folder);
    return spelled == folder ? windowsPath : joinWindowsPath(spelled, name);
}

} // namespace

WinError pathFromOutside(std::string_view typed, std::string& windowsPath, TypedName lastName)
{
    windowsPath.clear();
    const bool folder = !typed.empty() && isSeparator(typed.back());
    // A trailing separator names a folder to go into, never an entry to write.
    const bool asTyped = lastName == TypedName::kAsTyped && !folder;
    if (!typed.empty() && typed.front() == '/') {
        // The Linux way: its names, "." and ".." resolved as the shell would.
        std::vector<std::string_view> names;
        forEachName(typed, [&names](std::string_view name) {
            if (name == "..") {
                if (!names.empty())
                    names.pop_back();
            } else if (name != ".") {
                names.push_back(name);
            }
            return true;
        });
        std::string posix;
        for (std::string_view name : names) {
            posix += '/';
            posix += name;
        }
        if (posix.empty())
            posix = "/";
        std::string drivePath = drivePathOf(posix, encodeTypedName);
        if (drivePath.empty())
            return kErrorInvalidDrive;
        windowsPath = spelledWithMask(drivePath, asTyped);
    } else {
        // The system's way, or relative: every separator a backslash, a repeated one once (but the two
        // of "\\server" stay, so that it is still not found).
        std::string out;
        out.reserve(typed.size());
        for (std::size_t i = 0; i < typed.size(); ++i) {
            if (!isSeparator(typed[i])) {
                out += typed[i];
            } else if (i <= 1 || !isSeparator(typed[i - 1])) {
                out += '\\';
            }
        }
        windowsPath = driveLetterOf(out) != 0 ? spelledWithMask(out, asTyped) : std::move(out);
    }
    if (folder && (windowsPath.empty() || windowsPath.back() != '\\'))
        windowsPath += '\\';
    return kErrorSuccess;
}

std::string toWindowsPath(std::string_view posixPath)
{
    if (posixPath.empty() || posixPath.front() != '/')
        return {};
    std::string path;
    path.reserve(posixPath.size());
    for (char c : posixPath) {
        if (c == '/' && !path.empty() && path.back() == '/')
            continue;
        path += c;
    }
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return drivePathOf(path, [](std::string_view name, bool) { return encodeName(name); });
}

} // namespace wux::platform
