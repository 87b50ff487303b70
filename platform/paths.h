// Windows paths ("c:\dir\name") <-> POSIX paths, through the drive map.
//
// Rules: drive letters either case; "\" and "/" both separate and a doubled separator counts as one;
// "." and ".." are resolved in the text ("c:\.." stays "c:\"); "x:" alone and "x:name" count from the
// drive root; no limit of 260 and none of the system's 4096 bytes of a POSIX path (the file calls reach
// a longer path folder by folder): only a name of more than 255 bytes is 206. UNC paths
// ("\\server\share"), relative paths, empty paths and unmapped drives are "path not found" (3).
// Characters that Windows names cannot hold (\ : * ? " < > | and bytes 1-31) appear in names as U+F000
// + the byte (UTF-8 EF 80 xx / EF 81 xx) and are mapped back to the byte on the way to the disk; the raw
// characters in a Windows path are an invalid name (123).
// Linux names are case-sensitive ("README" and "Readme" are two files): every name of a path is taken
// as spelled. Only a path from outside the program's listings goes through spelledOnDisk first.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

#include "platform/errors.h"

namespace wux::platform {

// The POSIX path of a Windows path, every name as spelled. Errors: 3 (empty, relative, UNC, unmapped
// drive, a folder of the path missing or not a folder), 123 (raw reserved character), 206 (a name
// longer than the file system allows). The last component need not exist.
WinError toPosixPath(std::string_view windowsPath, std::string& posixPath);
// What lstat tells about the entry that a path names.
struct PathEntry
{
    bool exists = false;
    struct stat st = {};
    int error = 0; // lstat's errno when nothing is there
};
// toPosixPath, and the entry at the POSIX path found (for callers that look at it next: the lookup
// has looked at it already). entry is left alone when the path cannot be resolved.
WinError toPosixPath(std::string_view windowsPath, std::string& posixPath, PathEntry& entry);
// A path from outside the program's listings (typed by the user, stored in settings, favourites or
// Basket lists, the command line) as spelled on the disk: a name that does not exist as written is
// replaced by the one entry of its folder that matches it ignoring case (Unicode simple case
// folding); with none or several, it and the rest stay as written. The path itself when nothing was
// replaced. Never for a path built from a listing: there the names are exactly the entries listed.
std::string spelledOnDisk(std::string_view windowsPath);
// What the last name of a typed path names: an entry to create, write or rename to (taken as typed,
// never another entry of another letter case), or an entry that exists (spelled as on the disk).
enum class TypedName
{
    kAsTyped,
    kExisting
};
// A path typed or pasted by the user, or read from a file the user may have edited, in the system's
// form and spelled as on the disk (spelledOnDisk): its folders, and its last name too when it is
// kExisting or ends in a separator. It may be written the Linux way: an absolute
// "/..." path is taken through the drive whose folder holds it (the longest match), "/" separates
// like "\" (in every form; repeated separators count as one), "." and ".." of a Linux path are
// resolved, and a trailing separator, which names a folder, is kept as "\". A last name with "*" or
// "?" keeps them (a mask); the other characters that Windows names cannot hold are taken as part of a
// Linux name. A relative path stays relative, and "\name" stays rooted on the current drive.
// kErrorInvalidDrive, with windowsPath empty, for a Linux path that no drive holds.
WinError pathFromOutside(std::string_view typed, std::string& windowsPath,
                         TypedName lastName = TypedName::kAsTyped);
// The Windows path of an absolute POSIX path through the drive whose root is its longest prefix
// (lower-case letter, "x:\" for a drive root); "" when no drive holds it.
std::string toWindowsPath(std::string_view posixPath);

// A Linux name as the system sees it: reserved bytes become U+F000 + byte; the lead byte of a
// private-use character already in the name that would read back as a mapped one (U+F000 + a reserved
// byte, or U+F0EF) becomes U+F0EF, which stands for the byte 0xEF, so every name maps back to itself.
std::string encodeName(std::string_view linuxName);
// A name as the system sees it back to its Linux bytes (U+F000 + reserved byte back to the byte,
// U+F0EF back to 0xEF).
// Returns false when the name holds a raw reserved character or "/".
bool decodeName(std::string_view windowsName, std::string& linuxName);
// A name or path for display: every U+F000 + reserved byte shown as its original character (and
// U+F0EF as the byte 0xEF it stands for).
std::string displayPath(std::string_view windowsPath);

// True when foldCase(name) equals foldedKey (itself a foldCase result). An ASCII name is compared
// without building its folded form: folder scans compare every entry.
bool foldedNameEquals(std::string_view name, std::string_view foldedKey);

// Splits "c:\a\b\name" into its folder part "c:\a\b" and its last component "name" (the folder of a
// drive root "c:\" is "c:\" and its name is "").
void splitWindowsPath(std::string_view windowsPath, std::string& folder, std::string& name);
// Folder + "\" + name (no doubled separator when folder ends with one).
std::string joinWindowsPath(std::string_view folder, std::string_view name);
// The lower-case drive letter of "x:..." or 0.
char driveLetterOf(std::string_view windowsPath) noexcept;
// True for "x:", "x:\" and "x:/".
bool isDriveRoot(std::string_view windowsPath) noexcept;

} // namespace wux::platform
