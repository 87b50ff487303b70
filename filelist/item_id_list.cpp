#include "filelist/item_id_list.h"

#include <atomic>

#include "platform/drives.h"

namespace wux::filelist {

bool ItemIdList::removeLast()
{
    if (elements_.empty())
        return false;
    elements_.pop_back();
    return true;
}

std::uint32_t ItemIdList::byteSize() const
{
    std::uint32_t size = 0;
    for (const std::string& element : elements_)
        size += static_cast<std::uint32_t>(element.size()) + 2;
    return size;
}

ItemIdList* cloneItemIdList(const ItemIdList* list)
{
    return list ? new ItemIdList(*list) : nullptr;
}

ItemIdList* joinItemIdLists(const ItemIdList* first, const ItemIdList* second)
{
    auto* joined = new ItemIdList(first ? *first : ItemIdList());
    if (second) {
        for (const std::string& element : second->elements())
            joined->append(element);
    }
    return joined;
}

void releaseItemIdList(ItemIdList* list)
{
    delete list;
}

std::uint32_t itemIdListSize(const ItemIdList* list)
{
    return list ? list->byteSize() : 0;
}

namespace {

// The first element of the network neighbourhood's list; its entries are "drive:" + letter.
constexpr const char* kNetworkElement = "network";
constexpr const char* kDriveElementPrefix = "drive:";
constexpr const char* kNetworkDisplayName = "Network";

// The system's own namespace: the network neighbourhood lists the drives of type remote.
class NetworkNeighbourhood : public ShellNamespace
{
public:
    bool networkFolder(ItemIdList& list) override
    {
        if (remoteDrives().empty())
            return false;
        list = ItemIdList({kNetworkElement});
        return true;
    }

    bool displayName(const ItemIdList& absolute, std::string& name) override
    {
        ShellItemInfo info;
        if (!itemInfo(absolute, info))
            return false;
        name = info.displayName;
        return true;
    }

    bool itemInfo(const ItemIdList& absolute, ShellItemInfo& info) override
    {
        const auto& elements = absolute.elements();
        if (elements.empty() || elements[0] != kNetworkElement || elements.size() > 2)
            return false;
        info.isFolder = true;
        info.iconIndex = -1;
        if (elements.size() == 1) {
            info.displayName = kNetworkDisplayName;
            return true;
        }
        char letter = 0;
        if (!driveOfElement(elements[1], letter))
            return false;
        std::string label;
        if (platform::volumeLabel(letter, label) != 0 || label.empty())
            label = std::string(1, letter) + ":";
        info.displayName = label;
        return true;
    }

    bool fileSystemPath(const ItemIdList& absolute, std::string& path) override
    {
        const auto& elements = absolute.elements();
        char letter = 0;
        if (elements.size() != 2 || elements[0] != kNetworkElement || !driveOfElement(elements[1], letter))
            return false;
        path = std::string(1, letter) + ":";
        return true;
    }

    bool enumerate(const ItemIdList& folder, std::vector<ItemIdList>& entries) override
    {
        const auto& elements = folder.elements();
        if (elements.size() != 1 || elements[0] != kNetworkElement)
            return false;
        entries.clear();
        for (char letter : remoteDrives())
            entries.push_back(ItemIdList({std::string(kDriveElementPrefix) + letter}));
        return true;
    }

private:
    static std::vector<char> remoteDrives()
    {
        std::vector<char> letters;
        for (const platform::DriveEntry& drive : platform::driveMap()) {
            if (drive.type == platform::kDriveRemote)
                letters.push_back(drive.letter);
        }
        return letters;
    }

    static bool driveOfElement(const std::string& element, char& letter)
    {
        const std::string prefix = kDriveElementPrefix;
        if (element.size() != prefix.size() + 1 || element.compare(0, prefix.size(), prefix) != 0)
            return false;
        letter = element.back();
        return platform::driveType(letter) == platform::kDriveRemote;
    }
};

std::atomic<ShellNamespace*> g_override{nullptr};

} // namespace

ShellNamespace& shellNamespace()
{
    if (ShellNamespace* shell = g_override.load())
        return *shell;
    static NetworkNeighbourhood system;
    return system;
}

void setShellNamespace(ShellNamespace* shell)
{
    g_override.store(shell);
}

} // namespace wux::filelist
