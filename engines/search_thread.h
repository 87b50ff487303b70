// The worker thread of a Finder run (TFinder).
//
// The Finder window fills FinderStore with the run's name masks and filter, creates the results window
// and a suspended TFinder, gives it its search folders (or none: the selection of the active panel is
// searched), prepares the content patterns and starts it. The thread walks the folders, tests each
// entry against the filter and the masks, reads the content of each candidate when a text is to be
// found, and puts every hit into FinderStore, where the results window shows it while the search goes
// on. In duplicates mode it collects the files that share a name and/or a size instead.
//
// Threads: the worker writes FinderStore; the results window reads it. Every growth of the store
// (folders, items, texts) happens under FinderLock, which the window also holds whenever it reads the
// store. The window's status line and row count change only in calls run on the GUI thread, and the
// operation cursor of a search in the selection is called through synchronised calls too.
//
// The walk: a few helper threads list the folders ahead of the worker (in the order the walk takes
// them, as far as a bounded look-ahead allows), read the status of the entries that pass, and test
// the files' content, while the worker takes each folder into FinderStore strictly in the walk's
// order: depth first, sub-folders in listing order. The store therefore holds the same folders and
// items in the same order whatever the number of threads.
//
// Content search: the text is split into terms (or taken whole as one phrase); each term is searched
// in three encodings at once, the 8-bit form, UTF-16 little-endian and UTF-8, in one pass over the
// file in blocks of 256 KB, with an attempt begun at every byte, so matches may overlap and span
// blocks. Ignoring case, each character matches in every case form (byte_pattern.h). An AND search
// needs every term found in one and the same encoding.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engines/byte_pattern.h"
#include "filelist/browser_state.h"
#include "platform/critical_section.h"
#include "platform/file_handle.h"
#include "platform/file_types.h"
#include "platform/folder_listing.h"
#include "platform/movable_memory.h"
#include "platform/thread.h"

namespace wux::platform {
class StringList;
}

namespace wux::engines {

// The file list of a Finder run's hits (owned by the Finder window for the length of one run).
inline filelist::TstateOfBrowser FinderStore;
// The list the results window shows (FinderStore in a Finder run, the rename copy in a preview).
inline filelist::TstateOfBrowser* ResultListState = nullptr;
// Guards FinderStore between the search thread and the results window.
inline platform::CriticalSection FinderLock;

// Read block of the content search.
inline constexpr std::size_t kFinderBlockSize = 0x40000;
// Encodings of the patterns of one term.
inline constexpr std::int32_t kFormsPerTerm = 3;
inline constexpr std::uint32_t kPatternAnsi = 0;
inline constexpr std::uint32_t kPatternUtf16 = 1;
inline constexpr std::uint32_t kPatternUtf8 = 2;
inline constexpr std::uint32_t kPatternFound = 0x80;
// Head of one pattern in the pattern block: length, kind (+ found flag), offset of the first form in
// the block (the second form follows the first).
inline constexpr std::size_t kPatternHeadSize = 12;

// The results window as the search thread sees it; its methods run on the GUI thread.
class IFinderResultsView
{
public:
    virtual ~IFinderResultsView() = default;
    // The status line shows text (simple text).
    virtual void ShowStatusText(const std::string& text) = 0;
    // True while the window shows its full view (one header row per folder).
    virtual bool FullView() const = 0;
    // The window's row count := rows; the grid gets rows rows (3 when rows is 0) and is repainted.
    virtual void SetResultRowCount(std::int32_t rows) = 0;
};

// The helper threads of the walk, and one folder of it.
class WalkAhead;
struct WalkFolder;

class TFinder : public platform::WuxThread
{
public:
    TFinder();
    ~TFinder() override;

    // Builds the content patterns of Text; true when at least one pattern exists (stored in
    // hasPatterns). Called before the start, only for a content search.
    bool PrepareTextSearch(std::string_view Text, bool CaseSensitive, bool Phrase);

    // Fields the Finder window sets before the start.
    const std::vector<std::string>* pathList = nullptr; // nullptr: search the selection
    bool recurse = true;
    bool allTerms = false; // AND search
    IFinderResultsView* view = nullptr;

    // State of the run.
    platform::MovableHandle patternBlock;
    bool hasPatterns = false;
    bool ignoreCase = false;
    std::int32_t patternCount = 0;
    std::int32_t formsPerTerm = kFormsPerTerm;
    std::uint32_t filterFlags = 0;
    std::string statusText;
    std::string currentPath;
    bool finished = false;

    // One selected file of the operation list, copied into FinderStore on a hit.
    void CheckFile(const std::string& FolderPath, const std::string& Name);
    // Reads one folder into FinderStore, drops the entries without the text, and descends into its
    // sub-folders (never into a symbolic link). expected: the identity that the parent's listing showed
    // for Path (none for a folder the search was asked for); a folder swapped meanwhile is skipped.
    void SearchDirectory(const std::string& Path, const platform::FileId* expected = nullptr);
    // The content test. Folder: the folder of Path held open by the walk; the file is then opened there
    // by its name, without a lookup of the path.
    bool FileContainsText(const std::string& Path, const platform::HeldFolder* Folder = nullptr);
    // Test seam: the number of threads that list folders and test files (the worker among them; 1:
    // every folder and file one after the other on the worker).
    void setContentThreads(std::size_t threads) { contentThreads_ = threads < 1 ? 1 : threads; }
    // Test seam: at most this many folders are listed ahead of the one taken into the store (0: a
    // few dozen per thread).
    void setFoldersAhead(std::size_t folders) { foldersAhead_ = folders; }
    // Test seam: called on the thread that lists a folder, with its path, just before it is opened.
    void setBeforeListing(std::function<void(const std::string&)> hook) { beforeListing_ = std::move(hook); }

    // The calls into the results window. The current path and the row count are handed over without
    // waiting: the status line and the grid follow the walk without a round trip per folder or file
    // and show the newest state at most every few hundredths of a second; the closing count is
    // shown last.
    void ShowCurrentPath();
    void UpdateResultRows();
    void ShowFoundCount();

    // Test seam: the read block of the content test (kFinderBlockSize).
    void setReadBlockSize(std::size_t size) { blockSize_ = size < 1 ? 1 : size; }

protected:
    void Execute() override;

private:
    bool duplicatesMode() const;
    void searchSelection();
    void closeRun();

    // Clears the found flags of the pattern block and compiles its patterns (once per run); kindFields
    // (optional) receives where each pattern's kind lies in the locked block.
    bool preparePatterns(std::vector<std::uint8_t*>* kindFields);
    // Scans an open file for the compiled patterns with the given read buffer; the found flags are set
    // through kindFields when given.
    bool scanContent(platform::FileHandle& file, std::vector<std::uint8_t>& buffer,
                     std::uint8_t* const* kindFields) const;
    // Takes a folder of the walk into FinderStore when it is not there yet, then its sub-folders.
    void takeFolder(const std::shared_ptr<WalkFolder>& folder);
    // The results window's row count from the store (GUI thread).
    void showResultRows();

    friend class WalkAhead;

    std::size_t blockSize_ = kFinderBlockSize;
    std::size_t contentThreads_ = 0; // 0: as many as the machine has cores, at most eight
    std::size_t foldersAhead_ = 0;
    std::unique_ptr<WalkAhead> walk_;
    std::function<void(const std::string&)> beforeListing_;
    std::vector<std::uint32_t> patternKinds_;
    platform::CoalescedDisplay pathDisplay_;
    platform::CoalescedDisplay rowDisplay_;
    // The read block of the content test, made once per run.
    std::vector<std::uint8_t> readBuffer_;
    // The pattern block's patterns compiled for matching (once per run).
    std::vector<BytePattern> compiledPatterns_;
};

} // namespace wux::engines
