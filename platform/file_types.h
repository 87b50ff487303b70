// Attributes, times and identity of files: the types shared by the file API and the file handle.
#pragma once

#include <cstdint>

#include "platform/file_time_type.h"

namespace wux::platform {

// Attribute bits, with the system's numbers.
inline constexpr std::uint32_t kAttrReadOnly = 0x1; // no write permission for the owner
inline constexpr std::uint32_t kAttrHidden = 0x2;   // the name begins with "."
inline constexpr std::uint32_t kAttrSystem = 0x4;   // never reported
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrArchive = 0x20;       // regular files
inline constexpr std::uint32_t kAttrNormal = 0x80;        // when no other bit is set
// Only when creating: a temporary file being written, made without any permission bits (so that nobody
// opens it half-made, and a leftover of a killed run can be told from a user's file).
inline constexpr std::uint32_t kAttrTemporary = 0x100;
inline constexpr std::uint32_t kAttrReparsePoint = 0x400; // a symbolic link
inline constexpr std::uint32_t kInvalidAttributes = 0xFFFFFFFFu;

// The three times of a file.
struct FileTimes
{
    FileTime creation = 0; // birth time where the file system has one, else last write
    FileTime lastAccess = 0;
    FileTime lastWrite = 0;
};

// Device and inode: the identity of a file for every "same file" decision.
struct FileId
{
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    friend bool operator==(const FileId&, const FileId&) = default;
};

// Everything about one file (a symbolic link: attributes and data of its target plus 0x400, or of the
// link itself when the target is missing).
struct FileInfo
{
    std::uint32_t attributes = 0;
    FileTimes times;
    std::uint64_t size = 0;
    FileId id;
    std::uint32_t mode = 0; // POSIX mode bits (type and permissions)
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    std::uint64_t linkCount = 0;
};

} // namespace wux::platform
