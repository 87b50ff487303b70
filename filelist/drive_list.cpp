#include "filelist/drive_list.h"

#include <algorithm>
#include <cstring>

#include "core/text_table.h"
#include "platform/drives.h"
#include "platform/text.h"

namespace wux::filelist {

TDriveList DriveList;

namespace {

constexpr int kTextBasket = 31;
constexpr int kTextCdrom = 32;
constexpr int kTextRemovable = 33;
constexpr std::size_t kLabelLimit = 255;

struct NetworkFolderCache
{
    ShellNamespace* source = nullptr;
    std::unique_ptr<ItemIdList> list;
};

NetworkFolderCache& networkCache()
{
    static NetworkFolderCache cache;
    return cache;
}

// The network neighbourhood's list, or nullptr when the machine has no network folder now. The list is
// kept for the life of the process (records of older drive lists may still point at it) and handed
// out again while the shell gives the same one.
ItemIdList* networkFolderList()
{
    NetworkFolderCache& cache = networkCache();
    ShellNamespace& shell = shellNamespace();
    ItemIdList list;
    if (!shell.networkFolder(list))
        return nullptr;
    if (cache.list && cache.source == &shell && *cache.list == list)
        return cache.list.get();
    static std::vector<std::unique_ptr<ItemIdList>> retired;
    if (cache.list)
        retired.push_back(std::move(cache.list));
    cache.list = std::make_unique<ItemIdList>(std::move(list));
    cache.source = &shell;
    return cache.list.get();
}

char upper(char c)
{
    return platform::byteToUpper(c);
}

} // namespace

void TDriveRecord::SetName(std::string_view text, std::size_t maxBytes)
{
    maxBytes = std::min(maxBytes, kDriveNameSize - 1);
    std::size_t length = std::min(text.size(), maxBytes);
    // Never cut a UTF-8 sequence in two.
    if (length < text.size()) {
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
            --length;
    }
    std::memcpy(name, text.data(), length);
    name[length] = 0;
}

void RegisterDriveListTexts()
{
    core::TClassTranslator& table = core::classTranslator();
    table.SetText(kTextBasket, "BASKET");
    table.SetText(kTextCdrom, "CD-ROM");
    table.SetText(kTextRemovable, "REMOVABLE");
}

void BuildDriveList(TDriveList& list, std::uint32_t options)
{
    list.clear();
    const std::uint32_t mask = platform::logicalDrives();
    for (int bit = 0; bit < 26; ++bit) {
        if (!(mask & (1u << bit)))
            continue;
        auto record = std::make_unique<TDriveRecord>();
        record->letter = static_cast<char>('a' + bit);
        record->realDrive = 1;
        record->type = static_cast<std::int32_t>(platform::driveType(record->letter));
        switch (record->type) {
        case platform::kDriveRemovable:
            record->SetName(core::uiText(kTextRemovable));
            break;
        case platform::kDriveFixed:
        case platform::kDriveRemote: {
            std::string label;
            if (platform::volumeLabel(record->letter, label) == 0)
                record->SetName(label, kLabelLimit);
            break;
        }
        case platform::kDriveCdrom:
            record->SetName(core::uiText(kTextCdrom));
            break;
        default:
            break;
        }
        if ((options & kDriveListNoCdrom) && record->type == platform::kDriveCdrom)
            continue;
        list.push_back(std::move(record));
    }
    if (options & kDriveListNetwork) {
        if (ItemIdList* network = networkFolderList()) {
            auto record = std::make_unique<TDriveRecord>();
            record->itemIds = network;
            record->letter = '\\';
            record->realDrive = 0;
            record->type = platform::kDriveRemote;
            std::string name;
            if (shellNamespace().displayName(*network, name))
                record->SetName(name);
            list.push_back(std::move(record));
        }
    }
    if (options & kDriveListBasket) {
        auto record = std::make_unique<TDriveRecord>();
        record->letter = '*';
        record->realDrive = 0;
        record->type = platform::kDriveRemote;
        record->SetName(core::uiText(kTextBasket));
        list.push_back(std::move(record));
    }
}

bool RefreshDriveList(TDriveList& list, std::uint32_t options)
{
    const std::uint32_t mask = platform::logicalDrives();
    bool changed = false;
    std::size_t index = 0;
    for (int bit = 0; bit < 26 && !changed; ++bit) {
        if (!(mask & (1u << bit)))
            continue;
        const char letter = static_cast<char>('A' + bit);
        // A list built without CD-ROM drives does not miss them.
        if ((options & kDriveListNoCdrom) && platform::driveType(letter) == platform::kDriveCdrom)
            continue;
        if (index >= list.size() || upper(list[index]->letter) != letter)
            changed = true;
        else
            ++index;
    }
    if (!changed) {
        for (std::size_t i = index; i < list.size(); ++i) {
            if (list[i]->realDrive)
                changed = true;
        }
    }
    if (changed)
        BuildDriveList(list, options);
    return changed;
}

std::int32_t FindDriveIndex(char letter, const TDriveList& list)
{
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (upper(list[i]->letter) == upper(letter))
            return static_cast<std::int32_t>(i);
    }
    return FirstReadyFixedDrive(list);
}

std::int32_t FirstReadyFixedDrive(const TDriveList& list)
{
    for (std::size_t i = 0; i < list.size(); ++i) {
        const TDriveRecord& record = *list[i];
        if (record.realDrive && record.type == platform::kDriveFixed && platform::isDriveReady(record.letter))
            return static_cast<std::int32_t>(i);
    }
    return -1;
}

bool IsDriveReady(char letter)
{
    const std::int32_t index = FindDriveIndex(letter, DriveList);
    if (index < 0)
        return false;
    const TDriveRecord& record = *DriveList[static_cast<std::size_t>(index)];
    if (upper(record.letter) != upper(letter))
        return false;
    if (record.letter == '*')
        return true;
    if (record.letter == '\\') {
        std::string name;
        return record.itemIds != nullptr && shellNamespace().displayName(*record.itemIds, name);
    }
    return platform::isDriveReady(record.letter);
}

} // namespace wux::filelist
