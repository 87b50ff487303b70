// One-call builders of files and folders for tests, on POSIX or drive paths.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_time_type.h"

namespace wux::test {

// No time given: the file keeps the time of its creation.
inline constexpr platform::FileTime kNoTime = 0;
// No mode given: 0644 for files, 0755 for folders.
inline constexpr mode_t kNoMode = 0;

// Creates (or replaces) a file with the given bytes; with lastWrite (a FILETIME) its last-write and
// last-access times, with mode its permission bits; missing parent folders are created. path: a POSIX
// path, or a drive path "x:\..." through the drive map. Fails the current test when it cannot (and when
// lastWrite looks like a POSIX time rather than a FILETIME).
void createFile(std::string_view path, std::string_view bytes = {}, platform::FileTime lastWrite = kNoTime,
                mode_t mode = kNoMode);
// The same with a POSIX time in seconds.
void createFileAt(std::string_view path, std::string_view bytes, std::time_t lastWrite,
                  mode_t mode = kNoMode);
// Creates a folder and its missing parents (POSIX or drive path).
void makeFolder(std::string_view path, mode_t mode = kNoMode);
// The bytes of a file (POSIX or drive path); "" and a test failure when it cannot be read.
std::string readFileBytes(std::string_view path);
// True when something exists at the path (POSIX or drive path; links not followed).
bool exists(std::string_view path);
// The POSIX path of a POSIX or drive path (folders that do not exist yet taken as spelled).
std::string posixOf(std::string_view path);
// lstat's mode of a path (0 when missing).
mode_t modeOf(std::string_view path);
// Last-write time of a path as a FILETIME (0 when missing).
platform::FileTime lastWriteOf(std::string_view path);
// The names in a POSIX folder, sorted (without "." and "..").
std::vector<std::string> listNames(std::string_view path);

} // namespace wux::test
