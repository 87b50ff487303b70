// The worker threads of a Replacer run (TReplacer) and of a Batch Replacer run (TBatchReplacer).
//
// A run's thread never touches a file list or a window itself: it asks its owner (the run window) for
// the next selected file, picks the replacer that fits the file's kind, runs it, turns the replacer's
// TReplaceResult into a TOperationFileResult and hands that result and the file's statistics back,
// always on the GUI thread:
//   OnGetNextFile  -> the next file, or nullptr at the end of the selection (a synchronised call: the
//                     thread waits for the answer);
//   OnFileDone     -> the result record of the file just handled;
//   OnProgress     -> the file's result, stage, match count and sizes, and the system's error that
//                     failed it (0 when none is known).
// The last two answer nothing, so they are queued with copies of their values and the thread goes on
// at once; they still run in order before the next OnGetNextFile (and before OnTerminate), so the
// handlers see the same events in the same order, with the same cursor position, as with synchronised
// calls. An exception thrown by one of them is thrown again in the thread by its next synchronised
// call, which ends the run as a throwing synchronised call would (the handlers queued after it are
// skipped). A size that cannot be read reaches OnProgress as -1 and is never put into the result
// record.
//
// Office documents go to the document replacers of the office layer, which registers a factory here
// at start-up (setDocumentReplacerFactory); without one a document is left alone with result 16.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/user_parameters.h"
#include "engines/base_replacer.h"
#include "engines/batch_table.h"
#include "filelist/operation_cursor.h"
#include "platform/movable_memory.h"
#include "platform/thread.h"

namespace wux::engines {

// ---- File kinds ----

enum FileKind : std::int32_t
{
    kKindWordProcessor = 1,
    kKindSpreadsheet = 2,
    kKindPresentation = 3,
    kKindOpenDocumentText = 4,
    kKindPlain = 5,
};

inline constexpr const char* kWordProcessorMasks = "*.doc;*.dot;*.rtf;*.wps;*.mcw;*.docx;*.adt";
inline constexpr const char* kSpreadsheetMasks = "*.xls;*.xlsx";
inline constexpr const char* kPresentationMasks = "*.ppt;*.mht;*.pps;*.pptx";
inline constexpr const char* kOpenDocumentTextMasks = "*.odt";

// The kind of a file by its whole path (masks ignore case): the lists are tried in the order word
// processor, spreadsheet, presentation, OpenDocument text, a later match winning; no match is 5.
std::int32_t ClassifyFile(std::string_view Path);

// ---- Document replacers ----

// What a run's thread needs of a document replacer (the office layer adapts its replacers to it).
class IDocumentReplacer
{
public:
    virtual ~IDocumentReplacer() = default;
    // One document; a TReplaceResult code.
    virtual TReplaceResult ProcessFile(std::string_view Path) = 0;
    // The document's size when it was opened (-1 when unknown).
    virtual std::int64_t fileSize() const = 0;
    virtual std::int32_t matchCount() const = 0;
    // The stage reached by the last ProcessFile.
    virtual std::int32_t stage() const = 0;
    // Batch runs: the table block for the next document (a rebuilt one when the table holds file
    // markers).
    virtual void setTableBlock(platform::MovableHandle Block) = 0;
};

// How a run's thread asks for a document replacer.
struct DocumentReplacerRequest
{
    std::int32_t kind = 0;                       // kKindWordProcessor .. kKindOpenDocumentText
    platform::WuxThread* owner = nullptr;        // the run's thread
    std::int32_t mode = 0;                       // TypeOfReplacing (256 in batch runs)
    platform::MovableHandle block;               // the search block, or the table block in batch runs
    std::int32_t sizeOfFirstPart = 0;            // mode 32
    bool backup = false;                         // the run's backup box
    core::TUserParameters* parameters = nullptr; // the run window's parameter set
    std::int32_t rowCount = 1;                   // batch runs: rows of the table
    bool oemTexts = false;                       // the search block's texts are in the DOS code page
};

using DocumentReplacerFactory =
    std::function<std::unique_ptr<IDocumentReplacer>(const DocumentReplacerRequest& request)>;

// Registers (or, with an empty function, removes) the factory of the document replacers.
void setDocumentReplacerFactory(DocumentReplacerFactory factory);
// A document replacer from the registered factory; nullptr when there is none.
std::unique_ptr<IDocumentReplacer> createDocumentReplacer(const DocumentReplacerRequest& request);

// ---- Events ----

// The handler stores the next file of the run into FileInfo, or nullptr when there is none.
using TGetNextFileEvent =
    std::function<void(platform::WuxThread& Sender, filelist::TOperationFileInfo*& FileInfo)>;
// The handler applies the result to the file just handled.
using TFileDoneEvent =
    std::function<void(platform::WuxThread& Sender, filelist::TOperationFileResult& FileResult)>;
// The handler shows one file's outcome and adds it to the totals (sizes of -1 could not be read);
// Failure: the system's error that failed the file, or 0.
using TReplaceProgressEvent =
    std::function<void(platform::WuxThread& Sender, TReplaceResult Result, std::int32_t Stage,
                       std::int32_t Matches, std::int64_t SizeBefore, std::int64_t SizeAfter,
                       platform::WinError Failure)>;

// End states of a run (also the thread's ReturnValue).
inline constexpr std::int32_t kRunRunning = 0;
inline constexpr std::int32_t kRunStopped = 1;
inline constexpr std::int32_t kRunDone = 2;

// The message of the exception that ends a run without an OnGetNextFile handler.
inline constexpr const char* kNoNextFileHandlerMessage = "Please specify function";

// The result-record flags of a replacer result in a Replacer run and in a Batch Replacer run.
std::uint32_t replacerResultFlags(std::int32_t result);
std::uint32_t batchResultFlags(std::int32_t result);
// True for the results after which the file's size is read again (2, 8, 16, 64).
bool resultReadsSizeAgain(std::int32_t result);

// ---- The Replacer's thread ----

// What the Replacer's and the Batch Replacer's threads share: the run window's events, the file in
// hand with its outcome, and the synchronised calls that run the events' handlers on the GUI thread.
class TReplaceRunThread : public platform::WuxThread
{
public:
    core::TUserParameters* parameters = nullptr; // the window's set, passed to the document replacers
    bool backupFlag = false;
    TGetNextFileEvent OnGetNextFile;  // required
    TFileDoneEvent OnFileDone;        // optional
    TReplaceProgressEvent OnProgress; // optional

    // The file in hand and its outcome (read by the handlers through the events' arguments).
    std::int32_t result = kReplaceFailed;
    filelist::TOperationFileInfo* fileInfo = nullptr;
    filelist::TOperationFileResult fileResult;
    std::int32_t stage = 0;
    std::int32_t matches = 0;
    std::int64_t sizeBefore = 0;
    std::int64_t sizeAfter = 0;
    // Why a plain file failed: another user's link not followed (5), lines written to the file by
    // another program during the replace (32), an open or a swap that failed; 0 when not known.
    platform::WinError failure = 0;
    std::int32_t endState = kRunRunning;
    std::string filePath;

    // The calls of the events (each runs its handler on the GUI thread). SyncGetNextFile waits for the
    // answer; SyncFileDone and SyncProgress queue their handler with the current values.
    void SyncGetNextFile();
    void SyncFileDone();
    void SyncProgress();
    // SyncGetNextFile, unless a stop has been asked for by the time the GUI thread gets to it (after
    // the handlers queued before it, one of which may have asked for it).
    void SyncGetNextFileUnlessTerminated();

private:
    // The synchronised call of OnGetNextFile (skipped when unlessTerminated and a stop was asked for).
    void askNextFile(bool unlessTerminated);
    // GUI thread only: throws the exception of a queued handler, if one threw.
    void throwQueuedFailure();

    std::exception_ptr queuedFailure_; // the first exception of a queued handler (GUI thread only)
};

class TReplacer : public TReplaceRunThread
{
public:
    TReplacer();
    ~TReplacer() override;

    // Fields the Replacer window fills before Start (with parameters, backupFlag and the events).
    ReplacerStructure searchBlock; // built and freed by the window
    std::int32_t TypeOfReplacing = 0;
    std::int32_t sizeOfFirstPart = 0;
    // The search block's texts were converted to the DOS code page (the window's DOS charset box): the
    // document replacers convert them back before they reach a document.
    bool oemTexts = false;

protected:
    void Execute() override;
};

// ---- The Batch Replacer's thread ----

class TBatchReplacer : public TReplaceRunThread
{
public:
    TBatchReplacer();
    ~TBatchReplacer() override;

    // Fields the Batch Replacer window fills before Start (with parameters, backupFlag and the events).
    // The compiled table of the run. The window frees the block found here after the run: marker
    // expansion replaces it per file (freeing the one it replaces).
    TableBlock tableBlock;
    std::int32_t rowCount = 0;
    // The table's cells, one entry per row; Execute empties them at its end.
    TableCells Flags;
    TableCells Finds;
    TableCells Replaces;

    // Besides the file in hand:
    std::int32_t fileCounter = 0; // the value of "#C#" for the next file with markers
    bool markersPresent = false;
    std::uint32_t attributes = 0;

    // True when some replace cell holds a file marker ("#C#", "#FN#", "#FE#", "#FP#", any letter case).
    bool HasFileMarkers() const;
    // Rebuilds the table block with the markers of Path expanded; false (the previous block kept) when
    // the expanded table cannot be built.
    bool ExpandFileMarkers(std::string_view Path);

protected:
    void Execute() override;
};

// The table block of up to four marker rows (F1, R1) .. (F4, R4), as far as the finds are not empty;
// the rows are not case-sensitive. The null handle when no find is given or the block cannot be built.
TableBlock BuildMarkerTable(std::string_view F1, std::string_view F2, std::string_view F3,
                            std::string_view F4, std::string_view R1, std::string_view R2,
                            std::string_view R3, std::string_view R4);

} // namespace wux::engines
