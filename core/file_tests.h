// Small tests made on a file before it is changed: does it exist, its size, can it be opened
// exclusively or created, and the carrying over of a file's creation time. Paths are drive paths.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/errors.h"

namespace wux::platform {
class FileHandle;
}

namespace wux::core {

// True when the attributes of name can be read.
bool FileExists(std::string_view name);

// The size of an existing file opened for reading (sharing read and write); -1 when it cannot be opened.
std::int64_t GetFileSize64(std::string_view name);

// True when an existing file opens for reading and writing with no sharing (nobody else has it open);
// the handle is closed at once. error (optional) receives the error of the open.
bool CanOpenExclusive(std::string_view name, platform::WinError* error = nullptr);

// True when the file can be created for reading and writing with no sharing: an existing file is
// emptied, a missing one created empty; the handle is closed at once. error (optional) receives the
// error of the open.
bool CanCreateFile(std::string_view name, platform::WinError* error = nullptr);

// Gives target (an open handle) the creation time of source (an open handle); target keeps its own
// last-access and last-write times. False when a time cannot be read or set.
bool CopyFileTimes(const platform::FileHandle& source, platform::FileHandle& target);

} // namespace wux::core
