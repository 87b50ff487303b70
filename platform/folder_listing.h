// Folder listing with find first / find next semantics.
//
// findFirst("c:\dir\*.*") lists "." and ".." first (not at a drive root), then every entry in the
// file system's order. Masks: "*" any run of characters, "?" one character, compared ignoring case;
// "*.*" and "*" match every name. The folder part is never expanded: its wildcard characters are an
// invalid name (123) and a Linux folder named with them is reached through its U+F000 spelling.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/errors.h"

namespace wux::platform {

// One entry of a listing.
struct FindData
{
    std::uint32_t attributes = 0;
    FileTime creationTime = 0;
    FileTime lastAccessTime = 0;
    FileTime lastWriteTime = 0;
    std::uint64_t size = 0;
    std::string name; // as the system sees it (reserved bytes as U+F000 + byte)
};

class FolderListing
{
public:
    FolderListing();
    ~FolderListing();
    FolderListing(FolderListing&&) noexcept;
    FolderListing& operator=(FolderListing&&) noexcept;
    FolderListing(const FolderListing&) = delete;
    FolderListing& operator=(const FolderListing&) = delete;

    // Starts a listing of "folder\mask" and gives its first entry. Errors: 2 (nothing matches),
    // 3 (folder missing or not a folder, bad path), 5 (folder cannot be read), 123, injected faults.
    WinError findFirst(std::string_view pattern, FindData& data);
    // The next entry. Error: 18 at the end.
    WinError findNext(FindData& data);
    // Ends the listing (also done by the destructor).
    void close();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// True when a name matches a mask of "*" and "?" ignoring case ("*.*" and "*" match every name).
bool matchesFindMask(std::string_view name, std::string_view mask);

} // namespace wux::platform
