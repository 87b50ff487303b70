#include "engines/search_thread.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cstring>
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

// A few threads that run the jobs of one batch together with the thread that hands it out: each
// takes the next index until none is left; the batch ends when every job has ended.
class ContentReaders
{
public:
    explicit ContentReaders(std::size_t threads)
    {
        buffers_.resize(threads);
        for (std::size_t worker = 1; worker < threads; ++worker)
            threads_.emplace_back([this, worker] { serve(worker); });
    }
    ~ContentReaders()
    {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
        }
        wake_.notify_all();
        for (std::thread& thread : threads_)
            thread.join();
    }
    ContentReaders(const ContentReaders&) = delete;
    ContentReaders& operator=(const ContentReaders&) = delete;

    // Runs job(index, read buffer) for every index below count and returns when all have ended.
    void run(std::size_t count, const std::function<void(std::size_t, std::vector<std::uint8_t>&)>& job)
    {
        {
            std::lock_guard lock(mutex_);
            job_ = &job;
            count_ = count;
            next_ = 0;
            busy_ = threads_.size();
            ++batch_;
        }
        wake_.notify_all();
        work(buffers_[0]);
        std::unique_lock lock(mutex_);
        ended_.wait(lock, [this] { return busy_ == 0; });
        job_ = nullptr;
    }

private:
    void serve(std::size_t worker)
    {
        std::uint64_t seen = 0;
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [&] { return closing_ || batch_ != seen; });
                if (closing_)
                    return;
                seen = batch_;
            }
            work(buffers_[worker]);
            {
                std::lock_guard lock(mutex_);
                --busy_;
            }
            ended_.notify_all();
        }
    }

    void work(std::vector<std::uint8_t>& buffer)
    {
        for (;;) {
            const std::function<void(std::size_t, std::vector<std::uint8_t>&)>* job = nullptr;
            std::size_t index = 0;
            {
                std::lock_guard lock(mutex_);
                if (next_ >= count_)
                    return;
                index = next_++;
                job = job_;
            }
            (*job)(index, buffer);
        }
    }

    std::vector<std::thread> threads_;
    std::vector<std::vector<std::uint8_t>> buffers_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable ended_;
    const std::function<void(std::size_t, std::vector<std::uint8_t>&)>* job_ = nullptr;
    std::size_t count_ = 0;
    std::size_t next_ = 0;
    std::size_t busy_ = 0;
    std::uint64_t batch_ = 0;
    bool closing_ = false;
};

TFinder::TFinder()
    : pathDisplay_([this](const std::string& path) {
          if (view != nullptr)
              view->ShowStatusText(path);
      })
{
}

TFinder::~TFinder()
{
    Terminate();
    WaitFor();
    readers_.reset();
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
    Synchronize([this] {
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
    });
}

void TFinder::ShowFoundCount()
{
    Synchronize([this] {
        pathDisplay_.cancel(); // the count replaces any path still waiting
        if (view != nullptr)
            view->ShowStatusText(statusText);
    });
}

// ---- Folders and files ----

void TFinder::SearchDirectory(const std::string& Path, const platform::FileId* expected)
{
    const std::int32_t remembered = FinderStore.itemCount;
    currentPath = Path;
    ShowCurrentPath();
    // Every look at the store takes the lock: even reading locks its blocks and text storage.
    std::int32_t position = -1;
    {
        CriticalSectionLock lock(FinderLock);
        position = filelist::FolderInsertPosition(Path, FinderStore);
    }
    if (position == -1)
        return;
    const bool duplicates = duplicatesMode();
    const std::int32_t folder = FinderStore.folderCount + 1;
    platform::StringList subfolders;
    std::vector<platform::FileId> subfolderIds;
    std::int32_t count = 0;
    {
        CriticalSectionLock lock(FinderLock);
        filelist::AddFolderRecord(Path, FinderStore);
        filelist::ReadFolderItems(folder, filterFlags + kReadFolderFlag, FinderStore, &subfolders, expected,
                                  &subfolderIds);
        StateAccess access(FinderStore);
        if (access.HasRecord(folder))
            count = access.Folder(folder).count;
    }
    if (count > 0 && hasPatterns) {
        std::vector<std::string> paths(static_cast<std::size_t>(count));
        {
            CriticalSectionLock lock(FinderLock);
            std::string name;
            for (std::int32_t n = 1; n <= count; ++n) {
                filelist::GetItemName(folder, n, FinderStore, name);
                paths[static_cast<std::size_t>(n - 1)] = Path + "\\" + name;
            }
        }
        std::vector<std::uint8_t> hits;
        testContents(Path, expected, paths, hits);
        std::vector<std::int32_t> removals;
        for (std::int32_t n = 1; n <= count; ++n)
            if (hits[static_cast<std::size_t>(n - 1)] == 0)
                removals.push_back(n);
        if (!removals.empty()) {
            CriticalSectionLock lock(FinderLock);
            for (std::int32_t n : removals)
                filelist::MarkItemForRemoval(folder, n, FinderStore);
            filelist::RemovePendingFolderItems(folder, FinderStore);
            StateAccess access(FinderStore);
            count = access.HasRecord(folder) ? access.Folder(folder).count : 0;
        }
    }
    bool kept = false;
    {
        CriticalSectionLock lock(FinderLock);
        if (count > 0) {
            if (duplicates)
                filelist::SortItems(0, remembered, FinderStore.itemCount, FinderStore, FinderStore.sortWord);
            else
                filelist::SortFolder(folder, FinderStore.sortWord, FinderStore);
        }
        kept = filelist::CommitFolderRecord(position, FinderStore);
    }
    if (kept && !duplicates)
        UpdateResultRows();
    if (!recurse)
        return;
    for (int i = 0; i < subfolders.count() && !Terminated(); ++i)
        SearchDirectory(Path + "\\" + subfolders[i], &subfolderIds[static_cast<std::size_t>(i)]);
}

void TFinder::testContents(const std::string& folder, const platform::FileId* expected,
                           const std::vector<std::string>& paths, std::vector<std::uint8_t>& hits)
{
    hits.assign(paths.size(), 0);
    // The files are opened in the folder as listed, held open: never a file reached through a link put
    // in its place (or in place of a folder above it), and no path looked up per file.
    platform::HeldFolder held;
    if (held.open(folder, expected) != platform::kErrorSuccess)
        return;
    std::size_t threads = contentThreads_;
    if (threads == 0)
        threads = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 8);
    // One file, or one thread: in order on this thread, as the folder lists them.
    if (paths.size() < 2 || threads < 2) {
        for (std::size_t i = 0; i < paths.size() && !Terminated(); ++i) {
            currentPath = paths[i];
            ShowCurrentPath();
            hits[i] = FileContainsText(paths[i], &held);
        }
        return;
    }
    // Several files at once: each reader has its own read buffer and attempt lists; the compiled
    // patterns are shared and only read. The found flags of the pattern block belong to one file in
    // hand, so they are not set here. The hits land by their index: the store's order is the listing's.
    if (!preparePatterns(nullptr))
        return;
    if (!readers_)
        readers_ = std::make_unique<ContentReaders>(threads);
    const std::function<void(std::size_t, std::vector<std::uint8_t>&)> job =
        [&](std::size_t i, std::vector<std::uint8_t>& buffer) {
            if (Terminated())
                return;
            platform::FileHandle file;
            if (openForContent(file, paths[i], &held) != 0)
                return;
            hits[i] = scanContent(file, buffer, nullptr) ? 1 : 0;
        };
    currentPath = paths.front();
    ShowCurrentPath();
    readers_->run(paths.size(), job);
    currentPath = paths.back();
    ShowCurrentPath();
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
    readers_.reset();
    compiledPatterns_.clear();
    if (hasPatterns && platform::movableIsValid(patternBlock)) {
        platform::movableFree(patternBlock);
        patternBlock = platform::MovableHandle();
    }
}

} // namespace wux::engines
