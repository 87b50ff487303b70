#include "engines/search_thread.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cstring>
#include <utility>
#include <vector>

#include "core/text_table.h"
#include "engines/byte_pattern.h"
#include "filelist/basket.h"
#include "filelist/folder_reader.h"
#include "filelist/list_operations.h"
#include "filelist/operation_cursor.h"
#include "platform/file_handle.h"
#include "platform/files.h"
#include "platform/folder_listing.h"
#include "platform/string_list.h"
#include "platform/text.h"

namespace wux::engines {

namespace {

using filelist::StateAccess;
using platform::CriticalSectionLock;

// Text number of " files in finder".
constexpr int kFilesInFinderText = 107;

// Filter flags of ItemMatchesFilter for the two kinds of run, and the flag added when a folder is read.
constexpr std::uint32_t kDuplicatesFilterFlags = 2;
constexpr std::uint32_t kPlainFilterFlags = 4;
constexpr std::uint32_t kReadFolderFlag = 16;

// Sort words of a duplicates run: size, name, extension / name, extension, size.
constexpr std::uint32_t kSortSizeNameExtension = 0x42;
constexpr std::uint32_t kSortNameExtensionSize = 0x88;

// One pattern of the block as the content test reads it.
struct PatternView
{
    const BytePattern* bytes = nullptr;
    std::uint32_t kind = 0;
    std::uint8_t* kindField = nullptr;
};

// One attempt beyond the base attempts: a pattern and the node it has reached.
struct Attempt
{
    std::int32_t pattern;
    std::int32_t position;
};

constexpr std::size_t kFewStarts = 4;

// A few bytes (at most kFewStarts), compared 16 at a time.
struct ByteSet
{
    std::array<std::uint8_t, kFewStarts> bytes{};
    std::size_t count = 0;

    bool has(std::uint8_t byte) const
    {
        for (std::size_t k = 0; k < count; ++k) {
            if (bytes[k] == byte)
                return true;
        }
        return false;
    }
};

#if defined(__SSE2__)
__m128i matchMask(__m128i chunk, const ByteSet& set)
{
    __m128i hits = _mm_cmpeq_epi8(chunk, _mm_set1_epi8(static_cast<char>(set.bytes[0])));
    for (std::size_t k = 1; k < set.count; ++k)
        hits = _mm_or_si128(hits, _mm_cmpeq_epi8(chunk, _mm_set1_epi8(static_cast<char>(set.bytes[k]))));
    return hits;
}
#endif

// The first position at or after i whose byte is in first and whose next byte is in second (an
// empty second set asks nothing of the next byte; the block's last byte needs only the first), or
// done.
std::size_t nextCandidate(const std::uint8_t* data, std::size_t i, std::size_t done, const ByteSet& first,
                          const ByteSet& second)
{
#if defined(__SSE2__)
    for (; i + 17 <= done; i += 16) {
        __m128i hits = matchMask(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i)), first);
        if (second.count > 0)
            hits = _mm_and_si128(
                hits, matchMask(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + 1)), second));
        const int mask = _mm_movemask_epi8(hits);
        if (mask != 0)
            return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    }
#endif
    for (; i < done; ++i) {
        if (first.has(data[i]) && (second.count == 0 || i + 1 == done || second.has(data[i + 1])))
            return i;
    }
    return done;
}

std::string utf16Bytes(std::string_view utf8)
{
    const std::u16string wide = platform::utf8ToUtf16(utf8);
    std::string bytes;
    bytes.reserve(wide.size() * 2);
    for (char16_t c : wide) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

std::string utf8Form(std::string_view ansi)
{
    return platform::utf16ToUtf8(platform::utf8ToUtf16(ansi));
}

std::string withoutTrailingDelimiter(std::string path)
{
    while (path.size() > 1 && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    return path;
}

} // namespace

// One folder of a walk: listed, and its entries tested, on any thread of the walk; taken into the store
// by the worker in the walk's order.
struct WalkFolder
{
    enum class Stage
    {
        Waiting, // known from its parent's listing
        Listing,
        Testing, // listed; content tests still to run or running
        Done,
    };

    std::string path;
    platform::FileId expected;
    bool hasExpected = false;
    std::uint64_t walk = 0; // the walk it belongs to
    bool content = false;   // its files are tested for the text
    // Its place in the walk: the listing positions that lead to it from the walk's first folder. The
    // walk takes folders in the order of these keys.
    std::vector<std::uint32_t> key;

    // Guarded by the walk's mutex.
    Stage stage = Stage::Waiting;
    bool cancelled = false;       // no longer wanted: not listed, not tested, no sub-folders made
    bool counted = false;         // counted in the look-ahead
    std::size_t entriesCounted = 0;
    std::size_t nextEntry = 0;    // the next entry to hand out for the content test
    std::size_t testsRunning = 0; // content tests handed out and not ended
    std::vector<std::shared_ptr<WalkFolder>> children;

    // Written by the thread that lists it (and the hits by the threads that test each entry); read by
    // the worker once the stage is Done.
    filelist::FolderEntries listed;
    platform::HeldFolder held;
    std::vector<std::uint8_t> hits;
};

namespace {

struct WalkOrder
{
    bool operator()(const std::shared_ptr<WalkFolder>& a, const std::shared_ptr<WalkFolder>& b) const
    {
        return a->key < b->key;
    }
};

// At most this many folders per thread are listed ahead of the one the worker takes, holding at most
// this many entries in all (the folder the worker waits for is always listed).
constexpr std::size_t kFoldersAheadPerThread = 32;
constexpr std::size_t kEntriesAhead = 1u << 17;
// At most this many files of a folder go to one thread at a time.
constexpr std::size_t kFilesPerTurn = 16;

} // namespace

// The helper threads of a run's walks. Each takes the first piece of work in the walk's order: the
// listing of a folder (within the look-ahead) or a few content tests of a listed one. The worker
// does the work of the folder it waits for itself when no helper has taken it, so that one thread
// alone walks exactly as the order says.
class WalkAhead
{
public:
    WalkAhead(TFinder& finder, std::size_t threads)
        : finder_(finder), threads_(threads),
          foldersAhead_(finder.foldersAhead_ > 0 ? finder.foldersAhead_ : kFoldersAheadPerThread * threads),
          flags_(finder.filterFlags + kReadFolderFlag),
          filter_(FinderStore.filter), masks_(FinderStore.maskList)
    {
        buffers_.resize(threads);
        for (std::size_t helper = 1; helper < threads; ++helper)
            helpers_.emplace_back([this, helper] { serve(helper); });
    }
    ~WalkAhead()
    {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
        }
        helpersWake_.notify_all();
        for (std::thread& thread : helpers_)
            thread.join();
    }
    WalkAhead(const WalkAhead&) = delete;
    WalkAhead& operator=(const WalkAhead&) = delete;

    // Begins a walk at path (expected: the identity its parent's listing showed, if any); content:
    // the files are tested for the text (false: every file counts as not found).
    std::shared_ptr<WalkFolder> begin(const std::string& path, const platform::FileId* expected, bool content)
    {
        auto root = std::make_shared<WalkFolder>();
        root->path = path;
        if (expected != nullptr) {
            root->expected = *expected;
            root->hasExpected = true;
        }
        root->content = content;
        {
            std::lock_guard lock(mutex_);
            root->walk = ++walk_;
            root_ = root;
            toList_.insert(root);
        }
        helpersWake_.notify_one();
        return root;
    }

    // Returns when the folder is listed and tested, doing its work meanwhile when no helper does.
    void await(const std::shared_ptr<WalkFolder>& folder)
    {
        std::unique_lock lock(mutex_);
        front_ = folder.get();
        while (folder->stage != WalkFolder::Stage::Done) {
            Job job;
            if (take(job, &folder)) {
                lock.unlock();
                run(job, buffers_[0]);
                lock.lock();
                continue;
            }
            finderWake_.wait(lock);
        }
        front_ = nullptr;
    }

    // The folder is in the store: it no longer counts against the look-ahead.
    void taken(WalkFolder& folder)
    {
        bool room = false;
        {
            std::lock_guard lock(mutex_);
            uncount(folder);
            room = std::exchange(full_, false);
        }
        if (room)
            helpersWake_.notify_one();
        folder.listed = filelist::FolderEntries();
        folder.hits = std::vector<std::uint8_t>();
        folder.held.close();
    }

    // Neither the folder nor anything below it is wanted.
    void cancel(const std::shared_ptr<WalkFolder>& folder)
    {
        bool room = false;
        {
            std::lock_guard lock(mutex_);
            cancelLocked(folder);
            room = std::exchange(full_, false);
        }
        if (room)
            helpersWake_.notify_one();
    }

    // Ends the walk: what is left of it is dropped (work in hand ends with its piece, and a folder of
    // it still being listed makes no more work).
    void end()
    {
        std::lock_guard lock(mutex_);
        if (root_)
            cancelLocked(root_);
        root_.reset();
        toList_.clear();
        toTest_.clear();
        ahead_ = 0;
        entriesAhead_ = 0;
        full_ = false;
    }

private:
    struct Job
    {
        std::shared_ptr<WalkFolder> folder;
        bool listing = false;
        std::size_t first = 0; // content tests of entries [first, end)
        std::size_t end = 0;
    };

    // The first piece of work in the walk's order (of only, when given). Caller holds the mutex.
    bool take(Job& job, const std::shared_ptr<WalkFolder>* only)
    {
        std::shared_ptr<WalkFolder> listing;
        std::shared_ptr<WalkFolder> testing;
        if (only != nullptr) {
            const WalkFolder& folder = **only;
            if (folder.stage == WalkFolder::Stage::Waiting)
                listing = *only;
            else if (folder.stage == WalkFolder::Stage::Testing && !folder.cancelled &&
                     folder.nextEntry < folder.listed.entries.size())
                testing = *only;
        } else {
            if (!toList_.empty()) {
                // The folder the worker waits for is listed whatever the look-ahead holds.
                const std::shared_ptr<WalkFolder>& first = *toList_.begin();
                if (first.get() == front_ || (ahead_ < foldersAhead_ && entriesAhead_ < kEntriesAhead))
                    listing = first;
                else
                    full_ = true;
            }
            if (!toTest_.empty())
                testing = *toTest_.begin();
            if (listing && testing) {
                if (WalkOrder()(testing, listing))
                    listing.reset();
                else
                    testing.reset();
            }
        }
        if (listing) {
            listing->stage = WalkFolder::Stage::Listing;
            listing->counted = true;
            ++ahead_;
            toList_.erase(listing);
            job = Job{std::move(listing), true, 0, 0};
            return true;
        }
        if (!testing)
            return false;
        // The next few entries, fewer as the folder's end nears so that every thread gets some.
        WalkFolder& folder = *testing;
        const std::size_t count = folder.listed.entries.size();
        const std::size_t left = count - folder.nextEntry;
        const std::size_t turn = std::clamp<std::size_t>(left / (2 * threads_), 1, kFilesPerTurn);
        job = Job{testing, false, folder.nextEntry, folder.nextEntry + turn};
        folder.nextEntry += turn;
        ++folder.testsRunning;
        if (folder.nextEntry == count)
            toTest_.erase(testing);
        return true;
    }

    void run(const Job& job, std::vector<std::uint8_t>& buffer)
    {
        if (job.listing)
            list(job.folder);
        else
            test(*job.folder, job.first, job.end, buffer);
    }

    void list(const std::shared_ptr<WalkFolder>& shared)
    {
        WalkFolder& folder = *shared;
        if (finder_.beforeListing_)
            finder_.beforeListing_(folder.path);
        // The files that the content test opens take their status from the open handle.
        filelist::ListFolderEntries(folder.path, flags_, filter_, masks_,
                                    folder.hasExpected ? &folder.expected : nullptr, folder.listed,
                                    finder_.hasPatterns && folder.content);
        const std::size_t count = folder.listed.entries.size();
        // The files are opened in the folder as listed, held open: never a file reached through a
        // link put in its place (or in place of a folder above it), and no path looked up per file.
        bool testing = finder_.hasPatterns && count > 0;
        if (testing) {
            folder.hits.assign(count, 0);
            testing = folder.content && !finder_.Terminated() &&
                      folder.held.open(folder.path, folder.hasExpected ? &folder.expected : nullptr) ==
                          platform::kErrorSuccess;
        }
        std::size_t added = 0;
        bool front = false;
        {
            std::lock_guard lock(mutex_);
            if (!folder.cancelled && folder.walk == walk_) {
                folder.entriesCounted = count;
                entriesAhead_ += count;
                if (finder_.recurse) {
                    const filelist::FolderEntries& listed = folder.listed;
                    folder.children.reserve(listed.subfolders.size());
                    for (std::size_t i = 0; i < listed.subfolders.size(); ++i) {
                        auto child = std::make_shared<WalkFolder>();
                        child->path = folder.path + "\\" + listed.subfolders[i];
                        child->expected = listed.subfolderIds[i];
                        child->hasExpected = true;
                        child->walk = folder.walk;
                        child->content = folder.content;
                        child->key = folder.key;
                        child->key.push_back(static_cast<std::uint32_t>(i));
                        toList_.insert(child);
                        folder.children.push_back(std::move(child));
                        ++added;
                    }
                }
                if (testing) {
                    toTest_.insert(shared);
                    added += 2;
                }
            }
            folder.stage = testing && !folder.cancelled && folder.walk == walk_ ? WalkFolder::Stage::Testing
                                                                                : WalkFolder::Stage::Done;
            front = &folder == front_;
        }
        if (front)
            finderWake_.notify_one();
        if (added > 1)
            helpersWake_.notify_all();
        else if (added == 1)
            helpersWake_.notify_one();
    }

    void test(WalkFolder& folder, std::size_t first, std::size_t end, std::vector<std::uint8_t>& buffer)
    {
        for (std::size_t i = first; i < end; ++i) {
            // After a stop request an entry counts as not found.
            if (finder_.Terminated())
                break;
            platform::FindData& entry = folder.listed.entries[i];
            platform::FileHandle file;
            if (file.openIn(folder.held, entry.name, platform::kAccessRead,
                            platform::kShareRead | platform::kShareWrite) != platform::kErrorSuccess)
                continue;
            folder.hits[i] = finder_.scanContent(file, buffer, nullptr) &&
                                     (!entry.statusPending ||
                                      platform::fillStatusFromHandle(file, entry) == platform::kErrorSuccess)
                                 ? 1
                                 : 0;
        }
        bool front = false;
        {
            std::lock_guard lock(mutex_);
            --folder.testsRunning;
            if (folder.testsRunning == 0 &&
                (folder.cancelled || folder.nextEntry == folder.listed.entries.size())) {
                folder.stage = WalkFolder::Stage::Done;
                front = &folder == front_;
            }
        }
        if (front)
            finderWake_.notify_one();
    }

    void uncount(WalkFolder& folder)
    {
        if (!folder.counted)
            return;
        folder.counted = false;
        --ahead_;
        entriesAhead_ -= folder.entriesCounted;
        folder.entriesCounted = 0;
    }

    void cancelLocked(const std::shared_ptr<WalkFolder>& folder)
    {
        std::vector<std::shared_ptr<WalkFolder>> pending{folder};
        while (!pending.empty()) {
            const std::shared_ptr<WalkFolder> next = std::move(pending.back());
            pending.pop_back();
            if (!next->cancelled) {
                next->cancelled = true;
                uncount(*next);
                toList_.erase(next);
                toTest_.erase(next);
                if (next->stage == WalkFolder::Stage::Testing && next->testsRunning == 0)
                    next->stage = WalkFolder::Stage::Done;
            }
            pending.insert(pending.end(), next->children.begin(), next->children.end());
        }
    }

    void serve(std::size_t helper)
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            if (closing_)
                return;
            Job job;
            if (!take(job, nullptr)) {
                helpersWake_.wait(lock);
                continue;
            }
            lock.unlock();
            run(job, buffers_[helper]);
            job.folder.reset();
            lock.lock();
        }
    }

    TFinder& finder_;
    const std::size_t threads_;
    const std::size_t foldersAhead_;
    const std::uint32_t flags_;
    const filelist::TBrowserFilter filter_;
    const core::TMaskList masks_;
    std::vector<std::vector<std::uint8_t>> buffers_; // one read block per thread (0: the worker's)
    std::vector<std::thread> helpers_;

    std::mutex mutex_;
    std::condition_variable helpersWake_; // new work, room in the look-ahead, or closing
    std::condition_variable finderWake_;  // the folder the worker waits for has moved on
    // The folders to list, and those with content tests to hand out.
    std::set<std::shared_ptr<WalkFolder>, WalkOrder> toList_;
    std::set<std::shared_ptr<WalkFolder>, WalkOrder> toTest_;
    std::shared_ptr<WalkFolder> root_;
    const WalkFolder* front_ = nullptr; // the folder the worker waits for
    std::size_t ahead_ = 0;
    std::size_t entriesAhead_ = 0;
    std::uint64_t walk_ = 0; // the walk in hand
    bool full_ = false; // a folder waits for room in the look-ahead
    bool closing_ = false;
};

TFinder::TFinder()
    : pathDisplay_([this](const std::string& path) {
          if (view != nullptr)
              view->ShowStatusText(path);
      }),
      rowDisplay_([this](const std::string&) { showResultRows(); })
{
}

TFinder::~TFinder()
{
    Terminate();
    WaitFor();
    walk_.reset();
    if (platform::movableIsValid(patternBlock))
        platform::movableFree(patternBlock);
}

bool TFinder::duplicatesMode() const
{
    return FinderStore.filter.findDuplicates != 0;
}

// ---- Patterns ----

bool TFinder::PrepareTextSearch(std::string_view Text, bool CaseSensitive, bool Phrase)
{
    ignoreCase = !CaseSensitive;
    if (Text.empty())
        return false;
    formsPerTerm = kFormsPerTerm;
    std::vector<std::string_view> terms;
    if (Phrase) {
        terms.push_back(Text);
    } else {
        std::size_t start = 0;
        for (std::size_t i = 0; i <= Text.size(); ++i) {
            if (i == Text.size() || Text[i] == ' ') {
                if (i > start)
                    terms.push_back(Text.substr(start, i - start));
                start = i + 1;
            }
        }
    }
    if (platform::movableIsValid(patternBlock))
        platform::movableFree(patternBlock);
    patternBlock = platform::MovableHandle();
    patternCount = 0;
    compiledPatterns_.clear();
    if (terms.empty()) {
        hasPatterns = false;
        return false;
    }
    // The forms of every pattern, sized from their conversions.
    struct Forms
    {
        std::uint32_t kind;
        std::string first;
        std::string second;
    };
    std::vector<Forms> patterns;
    for (std::string_view term : terms) {
        // Each character in its lower and upper case where that takes as many bytes (the content test
        // takes every case form of each character from the first form).
        const std::string lower = ignoreCase ? platform::simpleLower(term, true) : std::string(term);
        const std::string upper = ignoreCase ? platform::simpleUpper(term, true) : std::string(term);
        const std::array<Forms, 3> forms = {Forms{kPatternAnsi, lower, upper},
                                            Forms{kPatternUtf16, utf16Bytes(lower), utf16Bytes(upper)},
                                            Forms{kPatternUtf8, utf8Form(lower), utf8Form(upper)}};
        for (const Forms& form : forms)
            if (!form.first.empty() && form.first.size() == form.second.size())
                patterns.push_back(form);
    }
    std::size_t total = 0;
    for (const Forms& form : patterns)
        total += kPatternHeadSize + 2 * form.first.size();
    if (patterns.empty() || total == 0) {
        hasPatterns = false;
        return false;
    }
    patternBlock = platform::movableAlloc(total, platform::MovableFlags::ZeroInit);
    if (!platform::movableIsValid(patternBlock)) {
        hasPatterns = false;
        return false;
    }
    {
        platform::MovableLock lock(patternBlock);
        auto* bytes = lock.as<std::uint8_t>();
        std::size_t offset = 0;
        for (const Forms& form : patterns) {
            const auto length = static_cast<std::uint32_t>(form.first.size());
            const auto formOffset = static_cast<std::uint32_t>(offset + kPatternHeadSize);
            std::memcpy(bytes + offset, &length, 4);
            std::memcpy(bytes + offset + 4, &form.kind, 4);
            std::memcpy(bytes + offset + 8, &formOffset, 4);
            std::memcpy(bytes + formOffset, form.first.data(), length);
            std::memcpy(bytes + formOffset + length, form.second.data(), length);
            offset = formOffset + 2 * length;
            ++patternCount;
        }
    }
    hasPatterns = patternCount > 0;
    return hasPatterns;
}

// ---- Content test ----

bool TFinder::preparePatterns(std::vector<std::uint8_t*>* kindFields)
{
    platform::MovableLock lock(patternBlock);
    auto* block = lock.as<std::uint8_t>();
    if (block == nullptr)
        return false;
    // The found flags are cleared, and the patterns, which depend on the block alone, compiled once per
    // run. Ignoring case, every case form of each character of the first form (UTF-16 for its pattern,
    // UTF-8 for the others).
    const auto n = static_cast<std::size_t>(patternCount);
    const bool compile = compiledPatterns_.size() != n;
    if (compile) {
        compiledPatterns_.clear();
        compiledPatterns_.reserve(n);
        patternKinds_.clear();
    }
    if (kindFields != nullptr)
        kindFields->assign(n, nullptr);
    const std::size_t blockBytes = platform::movableSize(patternBlock);
    std::size_t offset = 0;
    for (std::size_t p = 0; p < n; ++p) {
        if (blockBytes - offset < kPatternHeadSize)
            return false;
        std::uint32_t length = 0;
        std::uint32_t kind = 0;
        std::uint32_t formOffset = 0;
        std::memcpy(&length, block + offset, 4);
        std::memcpy(&kind, block + offset + 4, 4);
        std::memcpy(&formOffset, block + offset + 8, 4);
        if (length == 0 || formOffset > blockBytes ||
            blockBytes - formOffset < 2 * static_cast<std::size_t>(length))
            return false;
        kind &= ~kPatternFound;
        std::memcpy(block + offset + 4, &kind, 4);
        if (compile) {
            const std::string_view first(reinterpret_cast<const char*>(block + formOffset), length);
            compiledPatterns_.push_back(!ignoreCase             ? BytePattern::exact(first)
                                        : kind == kPatternUtf16 ? BytePattern::utf16IgnoringCase(first)
                                                                : BytePattern::utf8IgnoringCase(first));
            patternKinds_.push_back(kind);
            if (compiledPatterns_.back().empty())
                return false;
        }
        if (kindFields != nullptr)
            (*kindFields)[p] = block + offset + 4;
        offset = formOffset + 2 * static_cast<std::size_t>(length);
    }
    return true;
}

namespace {

// Opens a file for the content test: in the folder held open by its name, else by its path.
platform::WinError openForContent(platform::FileHandle& file, const std::string& path,
                                  const platform::HeldFolder* folder)
{
    const unsigned share = platform::kShareRead | platform::kShareWrite;
    if (folder != nullptr)
        return file.openIn(*folder, std::string_view(path).substr(folder->path().size() + 1),
                           platform::kAccessRead, share);
    return file.open(path, platform::kAccessRead, share, platform::Disposition::kOpenExisting);
}

} // namespace

bool TFinder::FileContainsText(const std::string& Path, const platform::HeldFolder* Folder)
{
    if (!hasPatterns || patternCount <= 0)
        return false;
    // A file whose attributes cannot be read cannot be opened either: the open decides both.
    platform::FileHandle file;
    if (openForContent(file, Path, Folder) != 0)
        return false;
    std::vector<std::uint8_t*> kindFields;
    if (!preparePatterns(&kindFields))
        return false;
    platform::MovableLock lock(patternBlock); // the found flags are set in the block
    return scanContent(file, readBuffer_, kindFields.data());
}

bool TFinder::scanContent(platform::FileHandle& file, std::vector<std::uint8_t>& buffer,
                          std::uint8_t* const* kindFields) const
{
    // Set-up: the patterns, one counter per kind, one base attempt each.
    const auto n = static_cast<std::size_t>(patternCount);
    if (compiledPatterns_.size() != n)
        return false;
    std::vector<PatternView> patterns(n);
    for (std::size_t p = 0; p < n; ++p)
        patterns[p] = PatternView{&compiledPatterns_[p], patternKinds_[p],
                                  kindFields != nullptr ? kindFields[p] : nullptr};
    std::array<std::int32_t, kFormsPerTerm + 1> counters{};
    std::vector<std::uint8_t> found(n, 0);
    std::vector<std::int32_t> basePositions(n, 0);
    std::vector<Attempt> added;
    added.reserve(n);
    std::size_t live = 0;
    std::vector<std::int32_t> queued(n);

    // The node a byte leads to from position, or -1.
    auto matches = [](const PatternView& pattern, std::int32_t position, std::uint8_t byte) {
        return pattern.bytes->step(position, byte);
    };
    bool completed = false;
    auto complete = [&](std::size_t p) {
        completed = true;
        if (found[p])
            return;
        found[p] = 1;
        const std::uint32_t kind = patterns[p].kind;
        if (kind < counters.size())
            ++counters[kind];
        const std::uint32_t flagged = kind | kPatternFound;
        if (patterns[p].kindField != nullptr)
            std::memcpy(patterns[p].kindField, &flagged, 4);
    };
    auto decided = [&]() {
        if (!allTerms)
            return true;
        for (std::int32_t kind = 0; kind < formsPerTerm; ++kind)
            if (counters[static_cast<std::size_t>(kind)] * formsPerTerm == patternCount)
                return true;
        return false;
    };

    // The bytes that can begin a pattern, in either form. While no attempt is in progress, a byte that
    // begins no pattern changes nothing, so the scan jumps to the next byte that does: with memchr
    // for one such byte; for a few (a term in both letter cases), 16 bytes at a time, together with
    // the bytes that can follow them when every pattern has two; else byte by byte in a table.
    std::array<std::uint8_t, 256> starts{};
    std::size_t startCount = 0;
    ByteSet firstBytes, secondBytes;
    bool fewSeconds = true;
    auto addTo = [](ByteSet& set, std::uint8_t byte) {
        if (set.has(byte))
            return true;
        if (set.count == kFewStarts)
            return false;
        set.bytes[set.count++] = byte;
        return true;
    };
    for (const PatternView& pattern : patterns) {
        const BytePattern& bytes = *pattern.bytes;
        const PatternNode& head = bytes.node(0);
        for (std::size_t k = 0; k < head.count; ++k) {
            const std::uint8_t byte = head.bytes[k];
            if (starts[byte] == 0) {
                starts[byte] = 1;
                ++startCount;
                addTo(firstBytes, byte);
            }
            const std::int32_t second = head.next[k];
            fewSeconds = fewSeconds && second < bytes.end();
            for (std::size_t j = 0; fewSeconds && j < bytes.node(second).count; ++j)
                fewSeconds = addTo(secondBytes, bytes.node(second).bytes[j]);
        }
    }
    const bool fewStartBytes = startCount <= kFewStarts;
    if (!fewSeconds)
        secondBytes.count = 0;
    std::size_t longest = 0;
    for (const PatternView& pattern : patterns)
        longest = std::max(longest, pattern.bytes->longest());
    auto matchesAt = [](const PatternView& pattern, const std::uint8_t* at, std::size_t size) {
        return pattern.bytes->matchAt(at, size) > 0;
    };
    bool idle = true;

    if (buffer.size() != blockSize_)
        buffer.assign(blockSize_, 0);
    for (;;) {
        if (Terminated())
            return false;
        std::size_t done = 0;
        if (file.read(buffer.data(), buffer.size(), done) != 0)
            return false;
        if (done == 0)
            return false;
        const std::uint8_t* const data = buffer.data();
        for (std::size_t i = 0; i < done; ++i) {
            if (idle) {
                if (startCount == 1) {
                    const void* at = std::memchr(data + i, firstBytes.bytes[0], done - i);
                    i = at == nullptr ? done
                                      : static_cast<std::size_t>(static_cast<const std::uint8_t*>(at) - data);
                } else if (fewStartBytes) {
                    i = nextCandidate(data, i, done, firstBytes, secondBytes);
                } else {
                    while (i < done && starts[data[i]] == 0)
                        ++i;
                }
                if (i == done)
                    break;
                // Every pattern that begins here ends inside the block: compare them here and now
                // instead of starting attempts (the same matches are found).
                if (done - i >= longest) {
                    completed = false;
                    for (std::size_t p = 0; p < n; ++p) {
                        if (matchesAt(patterns[p], data + i, done - i))
                            complete(p);
                    }
                    if (completed && decided())
                        return true;
                    continue;
                }
            }
            const std::uint8_t byte = data[i];
            completed = false;
            std::size_t queuedCount = 0;
            bool inProgress = false;
            // Base attempts; one in progress also queues a fresh start at this byte.
            for (std::size_t p = 0; p < n; ++p) {
                std::int32_t position = basePositions[p];
                if (position > 0)
                    queued[queuedCount++] = static_cast<std::int32_t>(p);
                position = matches(patterns[p], position, byte);
                if (position == patterns[p].bytes->end()) {
                    complete(p);
                    position = 0;
                } else if (position < 0) {
                    position = 0;
                }
                basePositions[p] = position;
                inProgress = inProgress || position > 0;
            }
            // Added attempts: advance or drop.
            std::size_t kept = 0;
            for (std::size_t a = 0; a < live; ++a) {
                Attempt attempt = added[a];
                const auto p = static_cast<std::size_t>(attempt.pattern);
                attempt.position = matches(patterns[p], attempt.position, byte);
                if (attempt.position < 0)
                    continue;
                if (attempt.position == patterns[p].bytes->end()) {
                    complete(p);
                    continue;
                }
                added[kept++] = attempt;
            }
            live = kept;
            // The queued starts, visited for the same byte.
            for (std::size_t q = 0; q < queuedCount; ++q) {
                const auto p = static_cast<std::size_t>(queued[q]);
                const std::int32_t next = matches(patterns[p], 0, byte);
                if (next < 0)
                    continue;
                if (next == patterns[p].bytes->end()) {
                    complete(p);
                    continue;
                }
                const Attempt attempt{queued[q], next};
                if (live < added.size())
                    added[live] = attempt;
                else
                    added.push_back(attempt);
                ++live;
            }
            if (completed && decided())
                return true;
            idle = !inProgress && live == 0;
        }
        if (done < buffer.size())
            return false;
    }
}

// ---- Calls into the results window ----

void TFinder::ShowCurrentPath()
{
    pathDisplay_.post(currentPath);
}

void TFinder::UpdateResultRows()
{
    rowDisplay_.post(std::string());
}

void TFinder::showResultRows()
{
    if (view == nullptr)
        return;
    filelist::TstateOfBrowser& list = ResultListState != nullptr ? *ResultListState : FinderStore;
    std::int32_t rows = 0;
    {
        CriticalSectionLock lock(FinderLock);
        rows = list.itemCount;
        if (view->FullView())
            rows += list.folderCount;
    }
    view->SetResultRowCount(rows);
}

void TFinder::ShowFoundCount()
{
    Synchronize([this] {
        pathDisplay_.cancel(); // the count replaces any path still waiting
        rowDisplay_.cancel();  // and the closing row count any count still waiting
        if (view != nullptr)
            view->ShowStatusText(statusText);
    });
}

// ---- Folders and files ----

void TFinder::SearchDirectory(const std::string& Path, const platform::FileId* expected)
{
    if (!walk_) {
        std::size_t threads = contentThreads_;
        if (threads == 0)
            threads = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 8);
        walk_ = std::make_unique<WalkAhead>(*this, threads);
    }
    // Several files are tested at once: each thread has its own read block and attempt lists; the
    // compiled patterns are shared and only read. The found flags of the pattern block belong to one
    // file in hand, so they are not set here.
    const bool content = hasPatterns && preparePatterns(nullptr);
    takeFolder(walk_->begin(Path, expected, content));
    walk_->end();
}

void TFinder::takeFolder(const std::shared_ptr<WalkFolder>& folder)
{
    const std::string& Path = folder->path;
    currentPath = Path;
    ShowCurrentPath();
    // Every look at the store takes the lock: even reading locks its blocks and text storage.
    std::int32_t position = -1;
    {
        CriticalSectionLock lock(FinderLock);
        position = filelist::FolderInsertPosition(Path, FinderStore);
    }
    if (position == -1) {
        walk_->cancel(folder); // no folder is searched twice in one run
        return;
    }
    walk_->await(folder);
    std::vector<platform::FindData>& entries = folder->listed.entries;
    if (hasPatterns && !entries.empty()) {
        currentPath = Path + "\\" + entries.back().name;
        ShowCurrentPath();
        // The entries without the text leave the folder (a folder entry never has it).
        std::size_t kept = 0;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (folder->hits[i] == 0)
                continue;
            if (kept != i)
                entries[kept] = std::move(entries[i]);
            ++kept;
        }
        entries.resize(kept);
    }
    const bool duplicates = duplicatesMode();
    bool kept = false;
    {
        CriticalSectionLock lock(FinderLock);
        const std::int32_t remembered = FinderStore.itemCount;
        const std::int32_t number = FinderStore.folderCount + 1;
        filelist::AddFolderRecord(Path, FinderStore);
        filelist::AppendFolderEntries(number, entries, FinderStore);
        if (!entries.empty()) {
            if (duplicates)
                filelist::SortItems(0, remembered, FinderStore.itemCount, FinderStore, FinderStore.sortWord);
            else
                filelist::SortFolder(number, FinderStore.sortWord, FinderStore);
        }
        kept = filelist::CommitFolderRecord(position, FinderStore);
    }
    walk_->taken(*folder);
    if (kept && !duplicates)
        UpdateResultRows();
    if (!recurse)
        return;
    for (const std::shared_ptr<WalkFolder>& child : folder->children) {
        if (Terminated())
            break;
        takeFolder(child);
    }
    folder->children = {}; // done with: only the folders on the way down to the one in hand stay

}

void TFinder::CheckFile(const std::string& FolderPath, const std::string& Name)
{
    currentPath = FolderPath + "\\" + Name;
    ShowCurrentPath();
    platform::FileInfo info;
    if (platform::getFileInfo(currentPath, info) != 0)
        return;
    platform::FindData data;
    data.attributes = info.attributes;
    data.creationTime = info.times.creation;
    data.lastAccessTime = info.times.lastAccess;
    data.lastWriteTime = info.times.lastWrite;
    data.size = info.size;
    data.name = Name;
    if (!filelist::ItemMatchesFilter(filterFlags, FinderStore.filter, FinderStore.maskList, data))
        return;
    if (hasPatterns && !FileContainsText(currentPath))
        return;
    const bool duplicates = duplicatesMode();
    Synchronize([&] {
        filelist::TPluginStructure& cursor = filelist::PluginStructure;
        if (cursor.state == nullptr)
            return;
        CriticalSectionLock lock(FinderLock);
        const std::int32_t folder = filelist::FindOrAddFolder(FolderPath, FinderStore);
        if (folder > 0)
            filelist::AppendItemFromState(cursor.folder, cursor.position, folder, !duplicates, FinderStore,
                                          *cursor.state);
    });
    if (!duplicates)
        UpdateResultRows();
}

// ---- The run ----

void TFinder::searchSelection()
{
    bool prepared = false;
    Synchronize([&] { prepared = filelist::PrepareOperationSource(filelist::kCheckNothing); });
    if (!prepared)
        return;

    std::string folderPath;
    std::string name;
    std::uint32_t attributes = 0;
    auto next = [&]() {
        bool valid = false;
        Synchronize([&] {
            const filelist::TOperationFileInfo* info = filelist::NextOperationFile(filelist::kNextNormal);
            if (info == nullptr)
                return;
            valid = true;
            folderPath = info->folderPath ? info->folderPath : "";
            name = info->name ? info->name : "";
            attributes = info->attributes;
        });
        return valid;
    };
    auto unselect = [&]() {
        Synchronize([] {
            filelist::TOperationFileResult result;
            result.flags = filelist::kResultUnmark;
            filelist::SetOperationFileResult(&result);
        });
    };
    auto reset = [&]() { Synchronize([] { filelist::ResetOperationCursor(); }); };

    // 1. Selected folders are searched whole.
    while (!Terminated() && next()) {
        if ((attributes & filelist::kDirectoryAttribute) && !(attributes & platform::kAttrReparsePoint)) {
            SearchDirectory(folderPath + "\\" + name);
            unselect();
        }
    }
    // 2. Files in a folder already searched are not checked again.
    reset();
    while (!Terminated() && next()) {
        bool covered = false;
        if (!folderPath.empty()) {
            CriticalSectionLock lock(FinderLock);
            covered = filelist::FolderInsertPosition(folderPath, FinderStore) == -1;
        }
        if (covered)
            unselect();
    }
    // 3. The remaining selected files.
    const std::int32_t remembered = FinderStore.itemCount;
    reset();
    while (!Terminated() && next()) {
        CheckFile(folderPath, name);
        unselect();
    }
    if (duplicatesMode() && FinderStore.itemCount > remembered) {
        CriticalSectionLock lock(FinderLock);
        filelist::SortItems(0, remembered, FinderStore.itemCount, FinderStore, FinderStore.sortWord);
    }
    Synchronize([] { filelist::EndStateHandOver(); });
}

void TFinder::closeRun()
{
    std::int32_t rows = 0;
    if (duplicatesMode()) {
        {
            CriticalSectionLock lock(FinderLock);
            rows = filelist::CollectDuplicates(FinderStore.filter.duplicateMode, FinderStore);
            filelist::BeginFlatView(FinderStore, rows);
        }
        statusText = std::to_string(rows) + core::uiText(kFilesInFinderText);
        ShowFoundCount();
        Synchronize([&] {
            if (view != nullptr)
                view->SetResultRowCount(rows);
        });
        return;
    }
    std::int32_t files = 0;
    {
        CriticalSectionLock lock(FinderLock);
        filelist::RecalcSelection(FinderStore);
        rows = FinderStore.itemCount;
        files = FinderStore.fileCount;
    }
    statusText = std::to_string(files) + core::uiText(kFilesInFinderText);
    ShowFoundCount();
    Synchronize([&] {
        if (view == nullptr)
            return;
        if (view->FullView()) {
            CriticalSectionLock lock(FinderLock);
            rows += FinderStore.folderCount;
        }
        view->SetResultRowCount(rows);
    });
}

void TFinder::Execute()
{
    finished = false;
    if (duplicatesMode()) {
        CriticalSectionLock lock(FinderLock);
        FinderStore.sortWord =
            (FinderStore.filter.duplicateMode & 2) ? kSortSizeNameExtension : kSortNameExtensionSize;
        filterFlags = kDuplicatesFilterFlags;
    } else {
        filterFlags = kPlainFilterFlags;
    }
    if (pathList != nullptr) {
        for (const std::string& entry : *pathList) {
            SearchDirectory(withoutTrailingDelimiter(entry));
            if (Terminated())
                break;
        }
    } else {
        searchSelection();
    }
    closeRun();
    finished = true;
    readBuffer_ = std::vector<std::uint8_t>();
    walk_.reset();
    compiledPatterns_.clear();
    if (hasPatterns && platform::movableIsValid(patternBlock)) {
        platform::movableFree(patternBlock);
        patternBlock = platform::MovableHandle();
    }
}

} // namespace wux::engines
