#include "filelist/operation_cursor.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "core/text_table.h"
#include "filelist/active_panel.h"
#include "filelist/basket.h"
#include "filelist/list_operations.h"
#include "platform/dialogs.h"

namespace wux::filelist {

namespace {

// Texts of the selection check.
constexpr int kTextNeedsFolder = 23; // "You must select folder(s). (Not file(s))!"
constexpr int kTextNeedsFile = 24;   // "You must select file(s). (Not folder(s))!"
constexpr int kTextNothing = 39;     // "No files selected!"

TOperationFileInfo operationFileInfo{};

// The list a panel's run walks: the Basket in Basket view, else the panel's listing.
TstateOfBrowser& walkedList(IBrowserPanel& panel)
{
    return panel.ViewMode() == kViewBasket ? BasketState : panel.Listing();
}

// The current addresses of the walked list's blocks (the cursor holds one lock on each for the run).
void refreshAddresses(TPluginStructure& cursor)
{
    TstateOfBrowser& state = *cursor.state;
    cursor.items = platform::movableLockAs<TBrowserItem>(state.items);
    platform::movableUnlock(state.items);
    cursor.order = platform::movableLockAs<std::uint32_t>(state.order);
    platform::movableUnlock(state.order);
    cursor.folders = platform::movableLockAs<TBrowserFolder>(state.folders);
    platform::movableUnlock(state.folders);
}

// The item under the cursor (expanded folder, position in range, index in the block), or nullptr.
TBrowserItem* currentItem(TPluginStructure& cursor)
{
    if (cursor.state == nullptr || cursor.items == nullptr)
        return nullptr;
    const TstateOfBrowser& state = *cursor.state;
    if (cursor.folder < 1 || cursor.folder > state.folderCount)
        return nullptr;
    const TBrowserFolder& folder = cursor.folders[cursor.folder - 1];
    if (!(folder.flags & kFolderExpanded) || cursor.position < 1 || cursor.position > folder.count)
        return nullptr;
    const std::uint32_t entry =
        cursor.order[folder.firstItem + static_cast<std::uint32_t>(cursor.position) - 1];
    if (entry < 1 || entry > static_cast<std::uint32_t>(folder.count))
        return nullptr;
    const std::uint32_t index = folder.firstItem + entry - 1;
    if (index >= static_cast<std::uint32_t>(state.itemCount))
        return nullptr;
    return &cursor.items[index];
}

bool acceptableNewName(const char* name)
{
    if (name == nullptr || *name == '\0')
        return false;
    const std::string_view text(name);
    return text.find_first_of("\\/") == std::string_view::npos;
}

void freeExchange(TPluginStructure& cursor)
{
    if (cursor.exchange) {
        if (cursor.exchangePointer != nullptr)
            platform::movableUnlock(cursor.exchange);
        platform::movableFree(cursor.exchange);
    }
    cursor.exchange = platform::MovableHandle();
    cursor.exchangePointer = nullptr;
    cursor.exchangeSize = 0;
}

// Makes the exchange block hold at least `bytes` bytes.
bool fitExchange(TPluginStructure& cursor, std::size_t bytes)
{
    if (cursor.exchangePointer != nullptr && bytes <= static_cast<std::size_t>(cursor.exchangeSize))
        return true;
    const std::size_t size = std::max(bytes, static_cast<std::size_t>(kExchangeBlockSize));
    if (!cursor.exchange) {
        cursor.exchange = platform::movableAlloc(size, platform::MovableFlags::ZeroInit);
    } else {
        if (cursor.exchangePointer != nullptr)
            platform::movableUnlock(cursor.exchange);
        cursor.exchangePointer = nullptr;
        if (!platform::movableReAlloc(cursor.exchange, size, platform::MovableFlags::ZeroInit))
            return false;
    }
    cursor.exchangePointer = platform::movableLockAs<char>(cursor.exchange);
    if (cursor.exchangePointer == nullptr)
        return false;
    cursor.exchangeSize = static_cast<std::int32_t>(size);
    return true;
}

} // namespace

bool CheckOperationSelection(std::uint32_t flags)
{
    TPluginStructure& cursor = PluginStructure;
    cursor.autoSelected = 0;
    if (flags & kCheckNothing)
        return true;
    IBrowserPanel* panel = GetActivePanel();
    if (panel == nullptr)
        return false;
    TstateOfBrowser& state = cursor.state != nullptr ? *cursor.state : walkedList(*panel);
    if (state.selectedCount == 0) {
        cursor.autoSelected = 1;
        panel->SelectCursorItem(kActionMark);
        RecalcSelection(state);
    }
    int message = 0;
    if (state.selectedCount == 0)
        message = kTextNothing;
    else if ((flags & kCheckNeedsFile) && state.selectedFiles == 0)
        message = kTextNeedsFile;
    else if ((flags & kCheckNeedsFolder) && state.selectedCount == state.selectedFiles)
        message = kTextNeedsFolder;
    if (message == 0)
        return true;
    platform::showMessageBox(core::uiText(message), panel->MainCaption(), platform::MsgButtons::Ok,
                             platform::MsgIcon::Information);
    if (cursor.autoSelected) {
        panel->SelectCursorItem(kActionUnmark);
        RecalcSelection(state);
    }
    return false;
}

void ResetOperationCursor()
{
    PluginStructure.folder = 0;
    PluginStructure.position = 0;
}

bool PrepareOperationSource(std::uint32_t flags)
{
    TPluginStructure& cursor = PluginStructure;
    IBrowserPanel* panel = GetActivePanel();
    if (panel == nullptr)
        return false;
    ResetOperationCursor();
    cursor.previousFolder = 0;
    freeExchange(cursor);
    fitExchange(cursor, kExchangeBlockSize);
    BasketState.mode = panel->BasketView().mode;
    TstateOfBrowser& state = walkedList(*panel);
    cursor.state = &state;
    const std::int32_t view = panel->ViewMode();
    cursor.sourcePath = view == kViewBrief || view == kViewFull ? PanelFolderPath(*panel) : std::string();
    state.busy = 1;
    RecalcSelection(state);
    if (!CheckOperationSelection(flags)) {
        state.busy = 0;
        freeExchange(cursor);
        cursor.state = nullptr;
        return false;
    }
    for (std::int32_t folder = 1; folder <= state.folderCount; ++folder)
        SelectByTag(folder, 0, false, state);
    platform::movableLock(state.items);
    platform::movableLock(state.order);
    platform::movableLock(state.folders);
    if (state.text != nullptr)
        state.text->Lock();
    refreshAddresses(cursor);
    cursor.recalculateAll = 0;
    cursor.renamedFolders.clear();
    return true;
}

TOperationFileInfo* NextOperationFile(std::int32_t mode)
{
    TPluginStructure& cursor = PluginStructure;
    if (cursor.state == nullptr)
        return nullptr;
    refreshAddresses(cursor);
    TstateOfBrowser& state = *cursor.state;
    cursor.previousFolder = cursor.folder;
    if (cursor.folder == 0) {
        cursor.folder = 1;
        cursor.position = 1;
    } else {
        cursor.position += 1;
    }
    const std::uint32_t bit = ViewBit(state);
    TBrowserItem* found = nullptr;
    while (found == nullptr) {
        if (cursor.folder > state.folderCount || cursor.folders == nullptr)
            return nullptr;
        const TBrowserFolder& folder = cursor.folders[cursor.folder - 1];
        if (cursor.position <= folder.count && (folder.flags & kFolderExpanded)) {
            TBrowserItem* item = currentItem(cursor);
            if (item != nullptr && (item->flags & bit))
                found = item;
            else
                cursor.position += 1;
        } else {
            cursor.position = 1;
            cursor.folder += 1;
        }
    }
    const TBrowserFolder& folder = cursor.folders[cursor.folder - 1];
    TOperationFileInfo& info = operationFileInfo;
    info.attributes = found->attributes;
    info.number = found->number;
    static const char empty[] = "";
    const char* path = state.text != nullptr ? state.text->TextPtr(folder.pathOffset) : nullptr;
    const char* name = state.text != nullptr ? state.text->TextPtr(found->nameOffset) : nullptr;
    info.folderPath = path != nullptr ? path : empty;
    info.name = name != nullptr ? name : empty;
    if (mode == kNextPlugin) {
        const std::string folderText(info.folderPath);
        const std::string nameText(info.name);
        if (fitExchange(cursor, folderText.size() + nameText.size() + 2)) {
            char* block = cursor.exchangePointer;
            std::memcpy(block, folderText.c_str(), folderText.size() + 1);
            std::memcpy(block + folderText.size() + 1, nameText.c_str(), nameText.size() + 1);
            info.folderPath = block;
            info.name = block + folderText.size() + 1;
        }
    }
    return &info;
}

void SetOperationFileResult(const TOperationFileResult* result)
{
    TPluginStructure& cursor = PluginStructure;
    if (result == nullptr || cursor.state == nullptr)
        return;
    refreshAddresses(cursor);
    TstateOfBrowser& state = *cursor.state;
    TBrowserItem* item = currentItem(cursor);
    const std::uint32_t bit = ViewBit(state);
    if (item == nullptr || !(item->flags & bit))
        return;
    const std::uint32_t flags = result->flags;
    if (flags & kResultUnmark)
        item->flags &= ~bit;
    item->status = flags & kResultStatusMask;
    if (!(state.mode & 1))
        return;
    if (flags & kResultAttributes)
        item->attributes = result->attributes;
    if (flags & kResultSize)
        item->size = result->size;
    if (flags & kResultLastWrite)
        item->lastWrite = result->lastWrite;
    if ((flags & kResultNewName) && acceptableNewName(result->newName) && state.text != nullptr) {
        const std::string_view name(result->newName);
        const std::uint32_t offset = state.text->Add(name);
        item->nameOffset = offset;
        item->nameLength = static_cast<std::uint32_t>(name.size());
        item->extensionOffset =
            ExtensionOffsetOf(name, offset, (item->attributes & kDirectoryAttribute) != 0);
        if (std::find(cursor.renamedFolders.begin(), cursor.renamedFolders.end(), cursor.folder) ==
            cursor.renamedFolders.end())
            cursor.renamedFolders.push_back(cursor.folder);
    }
    if (flags & kResultRemove) {
        item->flags |= kRemovalPending;
        cursor.recalculateAll = 1;
    }
}

void EndStateHandOver()
{
    TPluginStructure& cursor = PluginStructure;
    freeExchange(cursor);
    if (cursor.state == nullptr)
        return;
    TstateOfBrowser& state = *cursor.state;
    if (state.text != nullptr)
        state.text->Unlock();
    platform::movableUnlock(state.items);
    platform::movableUnlock(state.order);
    platform::movableUnlock(state.folders);
    cursor.items = nullptr;
    cursor.order = nullptr;
    cursor.folders = nullptr;
    const bool attached = (state.mode & 1) != 0;
    // A changed name must take its sorted place again: the Basket's duplicate test is a binary search.
    if (attached && !cursor.renamedFolders.empty()) {
        for (const std::int32_t folder : cursor.renamedFolders)
            SortFolder(folder, state.sortWord, state);
        if (!cursor.recalculateAll && &state == &BasketState) {
            for (TstateOfBrowser* view : {&LeftBasketState, &RightBasketState}) {
                if (!(view->mode & 1) || !view->order)
                    continue;
                if (view->savedFolders) {
                    SortAllFolders(*view);
                } else {
                    for (const std::int32_t folder : cursor.renamedFolders)
                        SortFolder(folder, view->sortWord, *view);
                }
            }
        }
    }
    if (cursor.recalculateAll) {
        RecalcAllPanels();
    } else if (attached) {
        RecalcSelection(LeftBasketState);
        RecalcSelection(RightBasketState);
    }
    state.busy = 0;
    cursor.renamedFolders.clear();
    cursor.recalculateAll = 0;
    cursor.state = nullptr;
}

} // namespace wux::filelist
