#include "core/file_tests.h"

#include "platform/file_handle.h"
#include "platform/files.h"

namespace wux::core {

using platform::Disposition;
using platform::FileHandle;
using platform::WinError;

bool FileExists(std::string_view name)
{
    std::uint32_t attributes = 0;
    return platform::getAttributes(name, attributes) == platform::kErrorSuccess;
}

std::int64_t GetFileSize64(std::string_view name)
{
    FileHandle file;
    if (file.open(name, platform::kAccessRead, platform::kShareRead | platform::kShareWrite,
                  Disposition::kOpenExisting) != platform::kErrorSuccess)
        return -1;
    std::uint64_t size = 0;
    if (file.size(size) != platform::kErrorSuccess)
        return -1;
    return static_cast<std::int64_t>(size);
}

namespace {

bool tryOpen(std::string_view name, Disposition disposition, WinError* error)
{
    FileHandle file;
    const WinError result = file.open(name, platform::kAccessReadWrite, platform::kShareNone, disposition);
    if (error)
        *error = result;
    return result == platform::kErrorSuccess;
}

} // namespace

bool CanOpenExclusive(std::string_view name, WinError* error)
{
    return tryOpen(name, Disposition::kOpenExisting, error);
}

bool CanCreateFile(std::string_view name, WinError* error)
{
    return tryOpen(name, Disposition::kCreateAlways, error);
}

bool CopyFileTimes(const FileHandle& source, FileHandle& target)
{
    if (!source.isOpen() || !target.isOpen())
        return false;
    platform::FileTimes times;
    if (platform::getFileTimes(source.path(), times) != platform::kErrorSuccess)
        return false;
    return target.setTimes(&times.creation, nullptr, nullptr) == platform::kErrorSuccess;
}

} // namespace wux::core
