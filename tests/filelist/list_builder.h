// Builds file lists in memory for the tests: folders and items with the fields a test needs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "filelist/browser_state.h"
#include "filelist/list_operations.h"

namespace wux::filelist::test {

struct ItemData
{
    std::string name;
    std::uint64_t size = 0;
    platform::FileTime lastWrite = 0;
    std::uint32_t attributes = 0x20;
};

inline ItemData file(std::string name, std::uint64_t size = 0, platform::FileTime time = 0)
{
    return ItemData{std::move(name), size, time, 0x20};
}

inline ItemData dir(std::string name)
{
    return ItemData{std::move(name), 0, 0, kDirectoryAttribute};
}

// Adds a folder with the items in that reading order (committed at its sorted place, depth as given);
// returns its number. The display order is the reading order until the folder is sorted.
inline std::int32_t addFolder(TstateOfBrowser& state, std::string_view path,
                              const std::vector<ItemData>& items, std::int32_t depth = 1)
{
    std::int32_t position = 0;
    {
        StateAccess access(state);
        position = FolderOrderPosition(path, access);
    }
    AddFolderRecord(path, state);
    StateAccess access(state);
    const std::int32_t folder = state.folderCount + 1;
    TBrowserFolder& record = access.Folder(folder);
    record.depth = depth;
    record.firstItem = static_cast<std::uint32_t>(state.itemCount);
    for (const ItemData& entry : items) {
        if (state.itemCount >= state.itemCapacity)
            GrowItemBlock(access, 20);
        TBrowserItem item;
        item.size = entry.size;
        item.lastWrite = entry.lastWrite;
        item.attributes = entry.attributes;
        item.folder = folder;
        item.nameLength = static_cast<std::uint32_t>(entry.name.size());
        item.nameOffset = state.text->Add(entry.name);
        item.extensionOffset =
            ExtensionOffsetOf(entry.name, item.nameOffset, (entry.attributes & kDirectoryAttribute) != 0);
        access.items[state.itemCount] = item;
        access.Folder(folder).count += 1;
        access.order[state.itemCount] = static_cast<std::uint32_t>(access.Folder(folder).count);
        state.itemCount += 1;
    }
    if (items.empty()) {
        InsertIntoFolderOrder(position, access);
        return folder;
    }
    InsertIntoFolderOrder(position, access);
    return folder;
}

// A list of one folder (depth as given) holding the items.
inline void makeList(TstateOfBrowser& state, const std::vector<ItemData>& items, std::int32_t depth = 1,
                     std::string_view path = "c:\\data")
{
    CreateBrowserState(state, 1, 4, "*.*", 100);
    addFolder(state, path, items, depth);
}

// The names of a folder in display order.
inline std::vector<std::string> namesOf(TstateOfBrowser& state, std::int32_t folder = 1)
{
    std::vector<std::string> names;
    StateAccess access(state);
    if (!access.HasFolder(folder))
        return names;
    for (std::int32_t position = 1; position <= access.Folder(folder).count; ++position) {
        const TBrowserItem* item = access.ItemAt(folder, position);
        names.emplace_back(item ? std::string(access.Name(*item)) : std::string("?"));
    }
    return names;
}

// The item at a display position (a copy).
inline TBrowserItem itemAt(TstateOfBrowser& state, std::int32_t folder, std::int32_t position)
{
    StateAccess access(state);
    const TBrowserItem* item = access.ItemAt(folder, position);
    return item ? *item : TBrowserItem();
}

// The display position of a name in a folder (0 when absent).
inline std::int32_t positionOf(TstateOfBrowser& state, std::string_view name, std::int32_t folder = 1)
{
    const auto names = namesOf(state, folder);
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == name)
            return static_cast<std::int32_t>(i + 1);
    }
    return 0;
}

// Sets flag bits on the item of that name in a folder.
inline void setFlags(TstateOfBrowser& state, std::string_view name, std::uint32_t bits,
                     std::int32_t folder = 1)
{
    const std::int32_t position = positionOf(state, name, folder);
    StateAccess access(state);
    if (TBrowserItem* item = access.ItemAt(folder, position))
        item->flags |= bits;
}

// One field of every item of a folder in display order, e.g. fieldOf(state, &TBrowserItem::iconIndex).
template <class T>
std::vector<T> fieldOf(TstateOfBrowser& state, T TBrowserItem::*member, std::int32_t folder = 1)
{
    std::vector<T> out;
    const std::int32_t count = static_cast<std::int32_t>(namesOf(state, folder).size());
    for (std::int32_t position = 1; position <= count; ++position)
        out.push_back(itemAt(state, folder, position).*member);
    return out;
}

// The selection of a folder's display positions: "x" selected, "." not ("x.x." for 1 and 3 of 4).
inline std::string marks(TstateOfBrowser& state, std::int32_t folder = 1)
{
    std::string out;
    const std::int32_t count = static_cast<std::int32_t>(namesOf(state, folder).size());
    for (std::int32_t position = 1; position <= count; ++position)
        out += IsItemSelected(folder, position, state) ? 'x' : '.';
    return out;
}

// Frees a list and the item-id lists it owns.
struct ListGuard
{
    TstateOfBrowser& state;
    ~ListGuard()
    {
        if (state.text != nullptr) {
            ReleaseStateItemIds(state);
            FreeBrowserState(state);
        }
    }
};

} // namespace wux::filelist::test
