#include "core/folder_size.h"

#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/folder_listing.h"
#include "platform/paths.h"

namespace wux::core {

std::int64_t FolderSize(std::string_view path, std::int64_t& fileCount)
{
    fileCount = 0;
    std::uint64_t total = 0;
    // Folders still to walk; an explicit stack, so that deep trees cannot exhaust the call stack.
    std::vector<std::string> pending{std::string(path)};
    platform::FindData data;
    while (!pending.empty()) {
        const std::string folder = std::move(pending.back());
        pending.pop_back();
        platform::FolderListing listing;
        if (listing.findFirst(platform::joinWindowsPath(folder, "*.*"), data) != platform::kErrorSuccess)
            continue;
        do {
            if (data.name == "." || data.name == "..")
                continue;
            if (data.attributes & platform::kAttrDirectory) {
                if ((data.attributes & platform::kAttrReparsePoint) == 0)
                    pending.push_back(platform::joinWindowsPath(folder, data.name));
                continue;
            }
            total += data.size;
            ++fileCount;
        } while (listing.findNext(data) == platform::kErrorSuccess);
    }
    return static_cast<std::int64_t>(total);
}

} // namespace wux::core
