// The icons of the file lists: a cheap icon at once (the icon of a file's extension from a
// per-extension cache, or the standard folder icon) and the real icon of every item read in the
// background by one thread per panel, which stores it in the item records and repaints the panel.
//
// Icon values of an item: -1 not yet known; 0 or more an index of the system image list; -2 a file
// whose icon could not be had; the negative of the default folder icon for such a folder (no icon is
// drawn for negative values).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "filelist/browser_state.h"
#include "platform/string_list.h"
#include "platform/thread.h"

namespace wux::filelist {

class IBrowserPanel;

// Icon value of a file whose icon could not be had.
inline constexpr std::int32_t kNoFileIcon = -2;

// ---- Module data (LoadExtensionList and LoadDefaultIcons fill it at start-up) ----

// Every registered extension (".txt"), sorted ignoring case.
inline platform::StringList ExtensionList;
// One icon per entry of ExtensionList, -1 until asked. Filled on the GUI thread only.
inline std::vector<std::int32_t> ExtensionIconCache;
// The small icon of a folder, and its open icon (the ".." row).
inline std::int32_t DefaultFolderIcon = -1;
inline std::int32_t OpenFolderIcon = -1;

// Fills list with the registered extensions (the class keys beginning with "."), sorted, and makes
// the icon cache one entry per name, all -1.
void LoadExtensionList(platform::StringList& list);
// The folder and open folder icons.
void LoadDefaultIcons();
// LoadExtensionList(ExtensionList) and LoadDefaultIcons.
void InitIconReader();

// The icon of an extension (without the dot); -1 when it is not a registered one or the shell gave
// none. Asks the shell at most once per extension (by name only, no disk access).
std::int32_t ExtensionIconIndex(std::string_view extension);

// Reads the real icon of every item of a list (expanded folders only) and repaints the panel when
// done. Created suspended, started by ItemIconIndex; stopped with StopIconReader.
class ThreadForReadIcons : public platform::WuxThread
{
public:
    ThreadForReadIcons(TstateOfBrowser& list, IBrowserPanel* window);
    ~ThreadForReadIcons() override;

    TstateOfBrowser& List() const { return *list_; }

protected:
    void Execute() override;

private:
    struct Wanted
    {
        std::uint32_t index = 0;
        bool open = false;
        bool directory = false;
        std::string name;
        std::unique_ptr<ItemIdList, void (*)(ItemIdList*)> itemIds{nullptr, releaseItemIdList};
        // In a flat view: the item's own folder (else the folder being read).
        bool ownFolder = false;
        std::string folderPath;
        std::unique_ptr<ItemIdList, void (*)(ItemIdList*)> folderIds{nullptr, releaseItemIdList};
        std::int32_t icon = -1;
    };

    void readFolder(std::int32_t folder);

    std::string itemName_; // texts fetched for the worker through synchronised calls
    std::string folderPath_;
    std::int32_t nameFetched_ = 0;
    TstateOfBrowser* list_;
    IBrowserPanel* window_;
};

// The icon to draw now for the item at a display position (position 0, the ".." row: -1). An unknown
// icon starts the list's reader (once: thread keeps it) and gives the interim icon: the extension's
// icon (-2 when none) for a file, the folder icon (the open one for an expanded folder whose open icon
// is known) for a folder.
std::int32_t ItemIconIndex(std::int32_t folder, std::int32_t position, TstateOfBrowser& state,
                           IBrowserPanel* window, std::unique_ptr<ThreadForReadIcons>& thread);

// The icon computed at once, without a thread: position 0 the open folder icon, a folder the folder
// icon, a file with an unknown icon its extension's icon, stored in the item (-2, nothing stored, when
// there is none).
std::int32_t ItemIconIndexNow(std::int32_t folder, std::int32_t position, TstateOfBrowser& state);

// Stops a reader (higher priority, terminate, wait: the wait serves the reader's synchronised calls)
// and frees it. Nothing when there is none.
void StopIconReader(std::unique_ptr<ThreadForReadIcons>& thread);

} // namespace wux::filelist
