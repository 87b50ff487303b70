// Trees deeper than the system's limit of a path (4,096 bytes): built, read and removed folder by folder
// through open folder handles, since a plain call with the whole path fails with "name too long".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wux::test {

// A tree of `levels` folders, one inside the other, below a base folder: level i is named
// "level" + i, filled with letters to 200 bytes. With 22 levels the deepest file's path is longer than
// 4,096 bytes wherever the base lies.
struct DeepTree
{
    int levels = 22;
    // The names of the folders from level 1 down to `level`, then `file` when it is not empty.
    std::vector<std::string> components(int level, std::string_view file = {}) const;
    // The same joined with "\" behind a drive path (the form of the program's own paths).
    std::string windowsPath(std::string_view base, int level, std::string_view file = {}) const;
};

// The name of level i of a deep tree.
std::string deepFolderName(int level);

// Creates the folders (missing ones, base itself too) and the file with the given bytes below the POSIX
// folder base.
// Fails the current test when it cannot.
void writeDeep(const std::string& base, const std::vector<std::string>& components, std::string_view bytes);
// Creates the folders (missing ones) and a symbolic link with the given text below base.
void linkDeep(const std::string& base, const std::vector<std::string>& components, const std::string& text);
// The text of the symbolic link below base; nullopt when there is none.
std::optional<std::string> readDeepLink(const std::string& base, const std::vector<std::string>& components);
// Creates the folders below base (missing ones, base itself too).
void makeDeepFolders(const std::string& base, const std::vector<std::string>& components);
// The bytes of the file below base; nullopt when it cannot be opened.
std::optional<std::string> readDeep(const std::string& base, const std::vector<std::string>& components);
// True when the entry below base exists (links not followed).
bool existsDeep(const std::string& base, const std::vector<std::string>& components);
// The names of the folder below base, sorted (without "." and ".."); empty when it cannot be read.
std::vector<std::string> listDeep(const std::string& base, const std::vector<std::string>& components);
// Removes a POSIX folder and everything in it, however deep (write permission given where missing).
void removeTreeAt(const std::string& path);

} // namespace wux::test
