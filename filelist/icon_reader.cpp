#include "filelist/icon_reader.h"

#include <algorithm>
#include <utility>

#include "filelist/active_panel.h"
#include "platform/registry.h"
#include "platform/shell/image_list.h"

namespace wux::filelist {

namespace {

// Items handed to the reader per synchronised call.
constexpr std::int32_t kReadBatch = 256;

// Attributes of a plain file, for the look-up by name.
constexpr std::uint32_t kNormalAttributes = 0x80;

bool isDirectory(const TBrowserItem& item)
{
    return (item.attributes & kDirectoryAttribute) != 0;
}

std::int32_t failedIcon(bool directory)
{
    return directory && DefaultFolderIcon > 0 ? -DefaultFolderIcon : kNoFileIcon;
}

std::string_view extensionOf(const StateAccess& access, const TBrowserItem& item)
{
    const std::string_view name = access.Name(item);
    if (item.extensionOffset < item.nameOffset)
        return std::string_view();
    const std::uint32_t skip = item.extensionOffset - item.nameOffset;
    return skip <= name.size() ? name.substr(skip) : std::string_view();
}

// The extension icon of a file, -2 when there is none.
std::int32_t interimFileIcon(const StateAccess& access, const TBrowserItem& item)
{
    const std::int32_t icon = ExtensionIconIndex(extensionOf(access, item));
    return icon == -1 ? kNoFileIcon : icon;
}

} // namespace

void LoadExtensionList(platform::StringList& list)
{
    list.clear();
    platform::Registry registry(platform::RegistryRoot::kClassesRoot);
    if (registry.openKeyReadOnly("") == 0) {
        platform::StringList names;
        if (registry.getKeyNames(names) == 0) {
            for (const std::string& name : names) {
                if (!name.empty() && name.front() == '.')
                    list.add(name);
            }
        }
        registry.closeKey();
    }
    list.sort();
    ExtensionIconCache.assign(static_cast<std::size_t>(list.count()), -1);
}

void LoadDefaultIcons()
{
    DefaultFolderIcon = platform::shell::folderIconIndex(platform::shell::IconState::kNormal);
    OpenFolderIcon = platform::shell::folderIconIndex(platform::shell::IconState::kOpen);
}

void InitIconReader()
{
    LoadExtensionList(ExtensionList);
    LoadDefaultIcons();
}

std::int32_t ExtensionIconIndex(std::string_view extension)
{
    std::string key;
    key.reserve(extension.size() + 1);
    key.push_back('.');
    key.append(extension);
    int index = 0;
    if (!ExtensionList.find(key, index))
        return -1;
    if (ExtensionIconCache.size() != static_cast<std::size_t>(ExtensionList.count()))
        ExtensionIconCache.assign(static_cast<std::size_t>(ExtensionList.count()), -1);
    std::int32_t& cached = ExtensionIconCache[static_cast<std::size_t>(index)];
    if (cached == -1) {
        const std::int32_t icon = platform::shell::fileIconIndex(ExtensionList[index], kNormalAttributes);
        if (icon >= 0)
            cached = icon;
    }
    return cached;
}

// ---- ThreadForReadIcons ----

ThreadForReadIcons::ThreadForReadIcons(TstateOfBrowser& list, IBrowserPanel* window)
    : list_(&list), window_(window)
{
}

ThreadForReadIcons::~ThreadForReadIcons()
{
    Terminate();
    WaitFor();
}

void ThreadForReadIcons::Execute()
{
    if (Terminated())
        return;
    // The platform's shell look-ups need no per-thread set-up and never show system error boxes.
    std::int32_t folderCount = 0;
    Synchronize([this, &folderCount] { folderCount = list_->folderCount; });
    for (std::int32_t folder = 1; folder <= folderCount && !Terminated(); ++folder)
        readFolder(folder);
    if (window_ != nullptr && !Terminated())
        Synchronize([this] { window_->Repaint(); });
}

void ThreadForReadIcons::readFolder(std::int32_t folder)
{
    bool expanded = false;
    std::uint32_t first = 0;
    std::int32_t count = 0;
    std::unique_ptr<ItemIdList, void (*)(ItemIdList*)> folderIds(nullptr, releaseItemIdList);
    Synchronize([&] {
        StateAccess access(*list_);
        if (!access.HasFolder(folder))
            return;
        const TBrowserFolder& record = access.Folder(folder);
        folderPath_.assign(access.Path(record));
        expanded = (record.flags & kFolderExpanded) != 0;
        first = record.firstItem;
        count = record.count;
        folderIds.reset(cloneItemIdList(record.itemIds));
    });
    if (!expanded)
        return;
    for (std::int32_t start = 0; start < count && !Terminated(); start += kReadBatch) {
        std::vector<Wanted> wanted;
        // The names (and item-id lists) of the items whose icon is still unknown.
        Synchronize([&] {
            StateAccess access(*list_);
            // A flat view keeps the items' real folders aside.
            platform::MovableLock saved(list_->savedFolders);
            const auto* savedFolders = saved.as<TBrowserFolder>();
            const std::int32_t end = std::min(count, start + kReadBatch);
            for (std::int32_t n = start; n < end; ++n) {
                const std::uint32_t index = first + static_cast<std::uint32_t>(n);
                if (index >= static_cast<std::uint32_t>(list_->itemCount))
                    break;
                const TBrowserItem& item = access.items[index];
                Wanted entry;
                if ((item.flags & kItemExpanded) && item.openIconIndex == -1)
                    entry.open = true;
                else if (item.iconIndex != -1)
                    continue;
                entry.index = index;
                entry.directory = isDirectory(item);
                entry.itemIds.reset(cloneItemIdList(item.itemIds));
                if (savedFolders != nullptr && item.folder >= 1 && item.folder <= list_->savedFolderCount) {
                    const TBrowserFolder& real = savedFolders[item.folder - 1];
                    entry.ownFolder = true;
                    entry.folderPath.assign(access.Path(real));
                    entry.folderIds.reset(cloneItemIdList(real.itemIds));
                }
                if (!entry.itemIds) {
                    entry.name.assign(access.Name(item));
                    itemName_ = entry.name;
                    nameFetched_ = 1;
                }
                wanted.push_back(std::move(entry));
            }
        });
        std::size_t done = 0;
        for (Wanted& entry : wanted) {
            if (Terminated())
                break;
            const auto state =
                entry.open ? platform::shell::IconState::kOpen : platform::shell::IconState::kNormal;
            if (entry.itemIds) {
                std::unique_ptr<ItemIdList, void (*)(ItemIdList*)> joined(
                    joinItemIdLists(entry.ownFolder ? entry.folderIds.get() : folderIds.get(),
                                    entry.itemIds.get()),
                    releaseItemIdList);
                ShellItemInfo info;
                entry.icon = joined && shellNamespace().itemInfo(*joined, info) && info.iconIndex >= 0
                                 ? info.iconIndex
                                 : failedIcon(entry.directory);
            } else {
                const std::int32_t icon = platform::shell::pathIconIndex(
                    (entry.ownFolder ? entry.folderPath : folderPath_) + "\\" + entry.name, state);
                entry.icon = icon >= 0 ? icon : failedIcon(entry.directory);
            }
            ++done;
        }
        if (done == 0)
            continue;
        Synchronize([&] {
            StateAccess access(*list_);
            for (std::size_t n = 0; n < done; ++n) {
                const Wanted& entry = wanted[n];
                if (entry.index >= static_cast<std::uint32_t>(list_->itemCount))
                    continue;
                TBrowserItem& item = access.items[entry.index];
                if (entry.open)
                    item.openIconIndex = entry.icon;
                else
                    item.iconIndex = entry.icon;
            }
        });
    }
}

// ---- Icons of rows ----

std::int32_t ItemIconIndex(std::int32_t folder, std::int32_t position, TstateOfBrowser& state,
                           IBrowserPanel* window, std::unique_ptr<ThreadForReadIcons>& thread)
{
    if (position == 0)
        return -1;
    bool start = false;
    std::int32_t icon = -1;
    {
        StateAccess access(state);
        const TBrowserItem* item = access.ItemAt(folder, position);
        if (item == nullptr)
            return -1;
        const bool expanded = (item->flags & kItemExpanded) != 0;
        if (expanded && item->openIconIndex != -1)
            return item->openIconIndex;
        if (item->iconIndex != -1)
            return item->iconIndex;
        start = !thread;
        if (!isDirectory(*item))
            icon = interimFileIcon(access, *item);
        else
            icon = expanded && item->openIconIndex != -1 ? item->openIconIndex : DefaultFolderIcon;
    }
    if (start) {
        thread = std::make_unique<ThreadForReadIcons>(state, window);
        thread->setPriority(platform::ThreadPriority::Lower);
        thread->Start();
    }
    return icon;
}

std::int32_t ItemIconIndexNow(std::int32_t folder, std::int32_t position, TstateOfBrowser& state)
{
    if (position == 0)
        return OpenFolderIcon;
    StateAccess access(state);
    TBrowserItem* item = access.ItemAt(folder, position);
    if (item == nullptr)
        return -1;
    if (isDirectory(*item))
        return DefaultFolderIcon;
    if (item->iconIndex != -1)
        return item->iconIndex;
    const std::int32_t icon = interimFileIcon(access, *item);
    if (icon >= 0)
        item->iconIndex = icon;
    return icon;
}

void StopIconReader(std::unique_ptr<ThreadForReadIcons>& thread)
{
    if (!thread)
        return;
    thread->setPriority(platform::ThreadPriority::Higher);
    thread->Terminate();
    thread->WaitFor();
    thread.reset();
}

} // namespace wux::filelist
