// The worker thread of a Renamer run (TRenamer).
//
// The Renamer window copies the selected items of the active list into RenameStore, shows the rename
// preview and, when the user confirms it, points RenameList at that copy and starts this thread. The
// thread walks RenameList in display order, builds each new name with BuildNewName from the
// process-wide rename request, creates the folders the new name asks for, renames the file (never
// over an existing one) and reports each file through two synchronised events. The outcome is written
// into the source list's item from which the file was copied, inside a synchronised call, so the
// source list is only ever touched on the GUI thread.
//
// Files are numbered by their display position in RenameList (the counter of the mask), exactly as the
// preview numbers its rows, so the run gives the names the user saw.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "filelist/browser_state.h"
#include "platform/thread.h"

namespace wux::engines {

// The copy of the selected files during a rename preview and run.
inline filelist::TstateOfBrowser RenameStore;
// The list that the rename thread walks (the window sets it to &RenameStore before the start).
inline filelist::TstateOfBrowser* RenameList = nullptr;

// Results of one rename.
inline constexpr std::int32_t kRenameFailed = 1;
inline constexpr std::int32_t kRenameDone = 2;
inline constexpr std::int32_t kRenameUnchanged = 8;

// Creates the folders that a new name with "\" asks for: at each "\" of NewName, Folder + the
// characters before it (results ignored). Folder ends with "\".
void CreateDirectoryChain(std::string_view Folder, std::string_view NewName);

class TRenamer : public platform::WuxThread
{
public:
    using TRenameItemEvent = std::function<void(platform::WuxThread& Sender, std::int32_t Result)>;
    using TRenameFileEvent = std::function<void(platform::WuxThread& Sender, const std::string& Text)>;

    TRenamer();
    ~TRenamer() override;

    std::int32_t endState = 0; // 0 running, 1 stopped, 2 done
    // The old full path of the file in hand, then the report: old full path + " - " + new name.
    std::string text;
    std::int32_t result = kRenameFailed;
    // Set by the window for its own record; the thread reads the rename request instead.
    std::string mask;
    std::int32_t start = 0;
    std::int32_t step = 0;
    // The list whose items receive the results (the active panel's list or the Basket).
    filelist::TstateOfBrowser* sourceList = nullptr;
    TRenameItemEvent OnRenameItem; // optional
    TRenameFileEvent OnRenameFile; // optional

    // The two events of a file, run on the GUI thread. The run queues them after each file
    // without waiting, so each carries its own copy of the report text and result (the fields
    // above may have moved on to a later file by the time a handler runs).
    void SyncRenameFile(const std::string& shown);
    void SyncRenameItem(std::int32_t outcome);

protected:
    void Execute() override;

private:
    // Writes the outcome of the file copied from source item `number` (1-based) into the source list
    // (GUI thread).
    void applyToSourceItem(std::int32_t number, const std::string& newName, bool oldFileGone,
                           std::int32_t outcome);
};

} // namespace wux::engines
