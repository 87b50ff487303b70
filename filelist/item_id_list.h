// Shell item-id lists and the shell namespace behind them.
//
// An item-id list names an object of the shell namespace: a sequence of opaque elements, absolute
// (from the desktop) or relative to a parent folder. The file lists keep them by pointer in their
// fixed-size records, exactly as they keep offsets of texts, so lists are allocated here and released
// with releaseItemIdList when the record that owns one lets it go.
//
// The only shell folder outside the file system on this system is the network neighbourhood: a
// virtual folder that lists the mounted network file systems (drives of type remote). Each of its
// entries resolves to the file-system path of that drive's root. Tests replace the namespace with a
// fake through setShellNamespace.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace wux::filelist {

// One item-id list: its elements in order (each element's bytes are the shell's own business).
class ItemIdList
{
public:
    ItemIdList() = default;
    explicit ItemIdList(std::vector<std::string> elements) : elements_(std::move(elements)) {}

    const std::vector<std::string>& elements() const { return elements_; }
    bool empty() const { return elements_.empty(); }
    std::size_t elementCount() const { return elements_.size(); }
    // Appends one element.
    void append(std::string element) { elements_.push_back(std::move(element)); }
    // Cuts the last element off (nothing for an empty list). False when there was none.
    bool removeLast();
    // The byte size: every element counts its own bytes plus a 2-byte size field; the zero terminator
    // is not counted.
    std::uint32_t byteSize() const;

    friend bool operator==(const ItemIdList&, const ItemIdList&) = default;

private:
    std::vector<std::string> elements_;
};

// A new list holding a copy of `list` (nullptr for nullptr).
ItemIdList* cloneItemIdList(const ItemIdList* list);
// A new list: the elements of `first` followed by those of `second` (either may be nullptr).
ItemIdList* joinItemIdLists(const ItemIdList* first, const ItemIdList* second);
// Releases a list made by this module (nullptr does nothing).
void releaseItemIdList(ItemIdList* list);
// The byte size of a list (0 for nullptr).
std::uint32_t itemIdListSize(const ItemIdList* list);

// What the shell tells about one object, in one call.
struct ShellItemInfo
{
    std::string displayName;
    bool isFolder = false;
    std::int32_t iconIndex = -1; // small system icon, -1 when unknown
};

// The shell namespace as the file lists use it.
class ShellNamespace
{
public:
    virtual ~ShellNamespace() = default;
    // The absolute item-id list of the network neighbourhood; false when the machine has no network
    // folder (no network file system mounted).
    virtual bool networkFolder(ItemIdList& list) = 0;
    // The display name of an absolute list; false when the shell gives none.
    virtual bool displayName(const ItemIdList& absolute, std::string& name) = 0;
    // Display name, folder attribute and icon of an absolute list; false when it cannot be had.
    virtual bool itemInfo(const ItemIdList& absolute, ShellItemInfo& info) = 0;
    // The file-system path ("f:", "f:\dir") of an absolute list; false when it has none.
    virtual bool fileSystemPath(const ItemIdList& absolute, std::string& path) = 0;
    // The relative lists of a folder's entries (folders, non-folders and hidden entries); false when
    // the folder cannot be bound or enumerated.
    virtual bool enumerate(const ItemIdList& folder, std::vector<ItemIdList>& entries) = 0;
};

// The process-wide namespace: the one set by setShellNamespace, else the system's own (the network
// neighbourhood of the mounted network file systems).
ShellNamespace& shellNamespace();
// Replaces the namespace (nullptr: back to the system's own). The caller keeps ownership.
void setShellNamespace(ShellNamespace* shell);

} // namespace wux::filelist
