// Measuring a folder tree.
#pragma once

#include <cstdint>
#include <string_view>

namespace wux::core {

// The total bytes of the files below a folder (a drive path), hidden ones included; fileCount receives
// their number. Symbolic links to folders are not followed; folders that cannot be read count as empty.
std::int64_t FolderSize(std::string_view path, std::int64_t& fileCount);

} // namespace wux::core
