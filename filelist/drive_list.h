// The drive list: one record per drive letter, then the network neighbourhood and the Basket as
// pseudo-drives, as the drive bar, the drive choice dialog and the panels show them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "filelist/item_id_list.h"

namespace wux::filelist {

inline constexpr std::size_t kDriveNameSize = 260;

// One drive, the network neighbourhood or the Basket.
struct TDriveRecord
{
    ItemIdList* itemIds = nullptr;  // the network neighbourhood's list (not owned), nullptr otherwise
    char letter = 0;                // "a".."z"; "\" the network neighbourhood; "*" the Basket
    std::int32_t type = 0;          // 2 removable, 3 fixed, 4 remote, 5 CD-ROM; 4 for the pseudo-drives
    char name[kDriveNameSize] = {}; // zero-terminated
    std::uint8_t realDrive = 0;     // 1 for drive letters

    std::string Name() const { return std::string(name); }
    // Copies text into name, cut at a character boundary to fit (at most maxBytes bytes).
    void SetName(std::string_view text, std::size_t maxBytes = kDriveNameSize - 1);
};

using TDriveList = std::vector<std::unique_ptr<TDriveRecord>>;

// Options of BuildDriveList and RefreshDriveList.
inline constexpr std::uint32_t kDriveListNetwork = 1; // add the network neighbourhood
inline constexpr std::uint32_t kDriveListBasket = 2;  // add the Basket
inline constexpr std::uint32_t kDriveListNoCdrom = 4; // leave out CD-ROM drives

// The process-wide list of the drive bar and the panels.
extern TDriveList DriveList;

// Registers the drive list's texts 31 "BASKET", 32 "CD-ROM", 33 "REMOVABLE".
void RegisterDriveListTexts();

// Empties and fills the list: the mapped drives in letter order, then the pseudo-drives the options ask for.
void BuildDriveList(TDriveList& list, std::uint32_t options);
// Rebuilds the list when the set of drive letters changed; true when it did.
bool RefreshDriveList(TDriveList& list, std::uint32_t options);
// Index of the first record with that letter (either case); else FirstReadyFixedDrive(list).
std::int32_t FindDriveIndex(char letter, const TDriveList& list);
// Index of the first fixed drive whose root can be read; -1 when there is none (callers then keep
// their current drive).
std::int32_t FirstReadyFixedDrive(const TDriveList& list);
// True when DriveList holds a record of that very letter that answers: a drive's root can be read,
// the network neighbourhood has a display name, the Basket always.
bool IsDriveReady(char letter);

} // namespace wux::filelist
