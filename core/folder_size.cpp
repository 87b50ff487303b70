#include "core/folder_size.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/folder_listing.h"
#include "platform/paths.h"

namespace wux::core {

std::int64_t FolderSize(std::string_view path, std::int64_t& fileCount)
{
    fileCount = 0;
    std::uint64_t total = 0;
    // Folders still to walk, each with the identity its parent's listing showed (none for the folder
    // asked for); an explicit stack, so that deep trees cannot exhaust the call stack.
    std::vector<std::pair<std::string, std::optional<platform::FileId>>> pending;
    pending.emplace_back(std::string(path), std::nullopt);
    platform::FindData data;
    while (!pending.empty()) {
        const auto [folder, id] = std::move(pending.back());
        pending.pop_back();
        platform::FolderListing listing;
        const std::string pattern = platform::joinWindowsPath(folder, "*.*");
        // A sub-folder is measured only while it is the folder that was listed: one swapped for a link
        // meanwhile is never followed.
        if ((id ? listing.findFirstInWalk(pattern, &*id, data) : listing.findFirst(pattern, data)) !=
            platform::kErrorSuccess)
            continue;
        do {
            if (data.name == "." || data.name == "..")
                continue;
            if (data.attributes & platform::kAttrDirectory) {
                if (platform::isWalkableFolder(data))
                    pending.emplace_back(platform::joinWindowsPath(folder, data.name), data.id);
                continue;
            }
            total += data.size;
            ++fileCount;
        } while (listing.findNext(data) == platform::kErrorSuccess);
    }
    return static_cast<std::int64_t>(total);
}

} // namespace wux::core
