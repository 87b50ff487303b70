// The file-operation engine: copy, move, delete, send to and remove from the Basket over the items that
// the operation cursor hands out. StartFileOperation prepares a run on the GUI thread (target, name mask,
// totals), runs TOperations on its own worker thread while the modal progress window is up, and ends the
// run. The worker reaches the windows only through IFileOperationUi (gauges, labels, questions) and
// shows the message boxes of failed system calls through the platform's dialog service; the cursor and
// the lists are touched only in synchronised calls.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "filelist/browser_state.h"
#include "filelist/file_operation_ui.h"
#include "platform/errors.h"
#include "platform/file_handle.h"
#include "platform/file_types.h"
#include "platform/thread.h"

class QWidget;

namespace wux::filelist {

// True while a run's modal window is up: the main window skips panel refreshes and its shortcuts.
inline std::atomic<bool> OperationBusy{false};

// Bits of GeneralCheckContainer read by the file operations.
inline constexpr std::uint32_t kOptionDeleteNonEmptyDirsSilently = 0x2; // no non-empty directory question
inline constexpr std::uint32_t kOptionDeleteToRecycleBin = 0x4;
inline constexpr std::uint32_t kOptionConfirmOverwrite = 0x10;
inline constexpr std::uint32_t kOptionConfirmHiddenSystem = 0x20;
inline constexpr std::uint32_t kOptionConfirmReadOnly = 0x40;

// Bits of a run's OperationFlags.
inline constexpr std::uint32_t kOpHiddenGoOn = 0x1;      // hidden or system files: overwrite or delete
inline constexpr std::uint32_t kOpHiddenSkip = 0x2;      // hidden or system files: skip (No to all)
inline constexpr std::uint32_t kOpReadOnlyGoOn = 0x4;    // read-only files: overwrite or delete
inline constexpr std::uint32_t kOpReadOnlySkip = 0x8;    // read-only files: skip (No to all)
inline constexpr std::uint32_t kOpOnlyOlder = 0x10;      // overwrite only targets not newer than the source
inline constexpr std::uint32_t kOpDeleteNonEmpty = 0x20; // delete non-empty directories without asking
inline constexpr std::uint32_t kOpKeepNonEmpty = 0x40;   // leave non-empty directories (No to all)
inline constexpr std::uint32_t kOpInsideAllowed = 0x80;  // inside a non-empty directory being deleted

// Overwrite modes.
inline constexpr std::int32_t kOverwriteSkip = 1;
inline constexpr std::int32_t kOverwriteReplace = 2;
inline constexpr std::int32_t kOverwriteAutorename = 3;
inline constexpr std::int32_t kOverwriteAsk = 4;

// The copy buffer: the largest chunk read and written at a time.
inline constexpr std::size_t kCopyBufferSize = 1'650'000;

// The state of one run, shared by the GUI side and the worker.
struct TFileOperationRun
{
    TFileOperationKind Kind = TFileOperationKind::Copy;
    std::atomic<std::int32_t> FilesTotal{0};
    std::atomic<std::int32_t> FilesDone{0};
    std::atomic<std::uint64_t> BytesTotal{0};
    std::atomic<std::uint64_t> BytesDone{0};
    std::uint32_t OperationFlags = 0;
    // The main window's caption: the title of the run's message boxes.
    std::string mainCaption;
    // Send to Basket: the working copy of the Basket list that the worker fills.
    TstateOfBrowser* basketCopy = nullptr;
};

// A parsed copy or move target.
struct TOperationTarget
{
    std::string Dir;  // ends in "\", or empty: each item stays in its own folder
    std::string Name; // the target name mask, or empty
    bool renameInPlace = false;
};

// Parses the target of a copy or move. sourceDir: the cursor's source directory ("" in the Basket).
// Shows the reason (texts 126 or 125, caption as title, warning icon) and returns false when the
// operation must not start.
bool ParseOperationTarget(std::string_view Target, std::string_view sourceDir, std::int32_t selectedCount,
                          std::string_view caption, TOperationTarget& target);

// The worker of one run.
class TOperations : public platform::WuxThread
{
public:
    // How a failed step goes on after its question.
    enum class StepAnswer
    {
        Retry,
        Skip,
        Stop
    };

    TOperations(TFileOperationRun& run, IFileOperationUi& ui);
    ~TOperations() override;

    // Set before Start.
    std::string TargetDir; // with its trailing "\", or empty
    std::string Mask;
    bool SameDrive = false;
    std::int32_t OverwriteMode = kOverwriteAsk;

    // The current file and its question.
    std::string TargetName;
    std::string TargetPath;
    std::string SourcePath;
    std::string TargetInfoText;
    std::string SourceInfoText;
    std::uint32_t ErrorCode = 0;
    std::int32_t QuestionCode = 0;
    bool Proceed = true;
    std::int32_t FileOverwriteMode = kOverwriteAsk;
    platform::FileInfo SourceInfo;
    platform::FileInfo TargetInfo;
    std::int32_t OverallPercent = -1;
    std::int32_t FilePercent = 0;

    // ---- The steps on one file (SourcePath, TargetPath) ----

    // Copies SourcePath to TargetPath with its times, attributes and mode bits (a symbolic link is made
    // again as a link). True when the copy was written in full, its times set and it was closed.
    bool CopyOneFile();
    // Settles a TargetPath that exists: asks, skips, makes room or picks a free "[N]" name. Proceed
    // tells whether the step goes on.
    // targetMissing: the caller has just found nothing at TargetPath (no second look).
    void ResolveExistingTarget(bool targetMissing = false);
    // Deletes SourcePath (to the Trash with the option), asking about hidden, system and read-only
    // files and failures.
    void DeleteOneFile();
    // Renames SourcePath to TargetPath (files and whole directories on one drive).
    void MoveOneFile();
    // The question of a step: group Copy or Delete with a stage code (1-7) asks Retry/Skip/Abort about
    // the failure ErrorCode; QuestionCode 0 asks the attribute question (ErrorCode 0 hidden/system,
    // 1 read-only) or, with ErrorCode 2, the overwrite question; group Directory asks whether to delete
    // a non-empty folder (QuestionCode 0) or to try again to create one (5). Sets Proceed and the run's
    // flags and modes from the answer; Cancel and Abort stop the run.
    StepAnswer Ask(QuestionGroup Kind, std::int32_t QuestionCode, std::uint32_t ErrorCode);

    // Progress and names through the windows.
    void UpdateGauges();
    void UpdateNames();

protected:
    void Execute() override;

private:
    void executeItems();
    void doFile(bool isFile);
    // expected: the identity that the parent folder's listing showed for sourceDir (none for a selected
    // item); the walk acts only on the folder it listed and never follows a link put in its place.
    void walkDirectory(const std::string& sourceDir, const std::string& targetDir,
                       const platform::FileId* expected = nullptr);
    // True while the folder is still the one listed (id); otherwise a copy, move or delete asks the
    // step's question about it (Retry looks again) and the Basket leaves it.
    bool stillTheListedFolder(const std::string& directory, const platform::FileId& id);
    // The question of a copy, move or delete about a listed folder that is no longer there as listed;
    // true for Retry (false at once for the Basket).
    bool askAboutSwappedFolder(const std::string& directory);
    bool makeTargetDirectory(const std::string& directory, bool& made);
    bool sendDirectoryToBasket(const std::string& sourceDir);
    bool isInsideSource(const std::string& source, const std::string& target) const;
    bool copySymbolicLink();
    // Opens the source for the copy: in a walk relative to its held folder by the listed name (a link
    // put there meanwhile by its path, so that it is copied as a link), else by its path.
    platform::WinError openSource(platform::FileHandle& source);
    // Removes what a killed run left in the current target's folder, once per folder and run (living:
    // the open temporary file of the current copy there).
    void removeLeftovers(const platform::FileHandle& living);
    void stopRun();
    bool stopped() const { return Terminated(); }
    bool attributeQuestion(std::uint32_t attributes, const std::string& path, bool deleting);
    bool moves() const { return run_.Kind == TFileOperationKind::Move; }

    TFileOperationRun& run_;
    IFileOperationUi& ui_;
    std::unique_ptr<char[]> buffer_;
    bool kernelCopyRefused_ = false; // the file systems of this run copy only through buffer_
    // The directory or file that a directory or attribute question names.
    std::string questionPath_;
    // The last MoveOneFile met a folder that cannot be renamed onto another file system.
    bool crossDeviceDirectory_ = false;
    // The user allowed the current file to replace the existing target (which stays until then).
    bool replaceTarget_ = false;
    // Target folders of this run without temporary files left by a killed run: swept once, or made
    // by the run.
    std::unordered_set<std::string> cleanFolders_;
    // The current file's gauge as last shown.
    std::int32_t shownFilePercent_ = -1;
    // In a walk, the folders it holds open while it copies a file of them: the source's (while its
    // listing showed a plain file) and the target's; entryName_ is the file's name as listed. The copy
    // reaches both files relative to them, with no path looked up from the root.
    const platform::HeldFolder* sourceFolder_ = nullptr;
    const platform::HeldFolder* targetFolder_ = nullptr;
    std::string entryName_;
};

// One run from the GUI side: Prepare (target, totals; steps that need no window), then a worker
// over a UI, then Finish. StartFileOperation puts the windows around it; tests use a scripted UI.
class FileOperationSession
{
public:
    FileOperationSession(TFileOperationKind kind, std::string mainCaption);
    ~FileOperationSession();
    FileOperationSession(const FileOperationSession&) = delete;
    FileOperationSession& operator=(const FileOperationSession&) = delete;

    // Parses the target (copy and move), measures the selection and sets the totals; false (after its
    // message box) when the operation must not start. The cursor must be prepared.
    bool Prepare(std::string_view Target);
    // The worker, created suspended with the run's options (OperationFlags and OverwriteMode from
    // GeneralCheckContainer); the busy flag is set.
    std::unique_ptr<TOperations> CreateWorker(IFileOperationUi& ui);
    // After the worker ended: the Basket takes the working copy (send to Basket) and a rename in place
    // sets the list's cursor name.
    void Finish();

    TFileOperationRun run;
    TOperationTarget target;
    bool sameDrive = false;
    std::string cursorName;

private:
    TstateOfBrowser basketCopy_;
    bool hasBasketCopy_ = false;
};

// Runs one operation over the cursor's items with the progress window and the question dialog; returns
// when the progress window has closed. Target is used for copy and move only. mainWindow: the window
// the progress window is centred on and whose caption titles the boxes (nullptr: the active window).
void StartFileOperation(std::string_view Target, TFileOperationKind Kind, QWidget* mainWindow = nullptr);

} // namespace wux::filelist
