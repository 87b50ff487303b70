// The operation cursor: every operation on the selected files (copy, move, delete, send to or remove
// from the Basket, search in the selection, replace, batch replace, plug-ins) takes its files from one
// process-wide cursor over the marked items of the active panel's list (or of the Basket when the
// panel shows it).
//
// A run: PrepareOperationSource (false: stop), then NextOperationFile and, for each file,
// SetOperationFileResult; ResetOperationCursor starts another pass over the same selection;
// EndStateHandOver once at the end (also when the run did not start after a successful preparation).
// Only one run uses the cursor at a time (the callers keep runs exclusive through the busy flag).
//
// Threads: NextOperationFile and SetOperationFileResult run on the GUI thread (workers call them
// through synchronised calls), or on a worker while the GUI thread waits in the run's modal window;
// the walked list stays locked from the preparation to the end of the hand-over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "filelist/browser_state.h"
#include "platform/movable_memory.h"

namespace wux::filelist {

class IBrowserPanel;

// Flags of CheckOperationSelection and PrepareOperationSource.
inline constexpr std::uint32_t kCheckNothing = 0x1;     // no selection check at all
inline constexpr std::uint32_t kCheckNeedsFile = 0x2;   // at least one marked file
inline constexpr std::uint32_t kCheckNeedsFolder = 0x4; // at least one marked folder

// Modes of NextOperationFile.
inline constexpr std::int32_t kNextNormal = 1;
inline constexpr std::int32_t kNextPlugin = 2; // texts copied into the exchange block

// Flags of TOperationFileResult.
inline constexpr std::uint32_t kResultNewName = 0x1;
inline constexpr std::uint32_t kResultUnmark = 0x2;
inline constexpr std::uint32_t kResultAttributes = 0x4;
inline constexpr std::uint32_t kResultLastWrite = 0x8;
inline constexpr std::uint32_t kResultSize = 0x10;
inline constexpr std::uint32_t kResultRemove = 0x20;
inline constexpr std::uint32_t kResultStatusMask = 0x3C0; // FileResultStatus

// Size of the exchange block of plug-in mode (it grows when a path and name need more).
inline constexpr std::int32_t kExchangeBlockSize = 1000;

// The item under the cursor. Plug-ins receive it, so its layout is fixed: the 64-bit layout of the
// record (field order kept, natural alignment).
struct TOperationFileInfo
{
    const char* name;       // zero-terminated
    const char* folderPath; // zero-terminated, no trailing "\"
    std::uint32_t attributes;
    std::int32_t number; // the item's number field
};
static_assert(sizeof(TOperationFileInfo) == 24);
static_assert(offsetof(TOperationFileInfo, name) == 0);
static_assert(offsetof(TOperationFileInfo, folderPath) == 8);
static_assert(offsetof(TOperationFileInfo, attributes) == 16);
static_assert(offsetof(TOperationFileInfo, number) == 20);

// One file's result. Plug-ins pass it by address, so its layout is fixed.
struct TOperationFileResult
{
    std::uint32_t flags = 0;
    const char* newName = nullptr; // zero-terminated
    std::uint32_t attributes = 0;
    std::uint32_t reserved = 0;
    std::uint64_t size = 0;
    std::uint64_t lastWrite = 0; // FILETIME
};
static_assert(sizeof(TOperationFileResult) == 40);
static_assert(offsetof(TOperationFileResult, flags) == 0);
static_assert(offsetof(TOperationFileResult, newName) == 8);
static_assert(offsetof(TOperationFileResult, attributes) == 16);
static_assert(offsetof(TOperationFileResult, reserved) == 20);
static_assert(offsetof(TOperationFileResult, size) == 24);
static_assert(offsetof(TOperationFileResult, lastWrite) == 32);

// The cursor.
struct TPluginStructure
{
    std::int32_t folder = 0;         // current folder number, 0 = not started
    std::int32_t position = 0;       // current display position in that folder
    std::int32_t previousFolder = 0; // the folder before the last step
    TstateOfBrowser* state = nullptr;
    platform::MovableHandle exchange;
    char* exchangePointer = nullptr;
    std::int32_t exchangeSize = 0;
    std::uint8_t autoSelected = 0; // the check marked the panel's cursor item
    std::string sourcePath;        // the panel's folder path in the brief and full views, else ""
    std::uint32_t* order = nullptr;
    TBrowserItem* items = nullptr;
    TBrowserFolder* folders = nullptr;
    std::uint8_t recalculateAll = 0;          // a result removed an item from the Basket
    std::vector<std::int32_t> renamedFolders; // Basket folders in which a name changed
};

// The process-wide cursor.
inline TPluginStructure PluginStructure;

// Checks the selection of the list to be walked (see the flags); may mark the panel's cursor item when
// nothing is marked. Shows the reason in a message box and returns false when the selection does not
// do.
bool CheckOperationSelection(std::uint32_t flags);
// The next NextOperationFile starts at the first item.
void ResetOperationCursor();
// Takes the active panel's list (the Basket in Basket view), checks its selection and locks it for the
// run. False: no active panel, or the selection did not do (nothing is held then).
bool PrepareOperationSource(std::uint32_t flags);
// The next marked item of an expanded folder, or nullptr at the end. The texts are good until the
// next call.
TOperationFileInfo* NextOperationFile(std::int32_t mode);
// Applies a result to the item under the cursor.
void SetOperationFileResult(const TOperationFileResult* result);
// Ends the hand-over: unlocks the list and recounts the panels (the Basket's removals are settled).
void EndStateHandOver();

} // namespace wux::filelist
