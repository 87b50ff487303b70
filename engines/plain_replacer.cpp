#include "engines/plain_replacer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <vector>

#include "engines/plain_replacer_sink.h"
#include "platform/files.h"
#include "platform/thread.h"

namespace wux::engines {

namespace {

// One attempt of the partial-match list: where it stands in the compiled find text (the node it waits
// in; the pattern's first node: waits for a start), where in the output it began, where its ending part
// began (mode 32), and whether its slot may be reused.
struct PartialMatch
{
    std::int32_t node = 0;
    std::int64_t start = 0;
    std::int64_t mark = -1;
    std::uint8_t free = 0;
};

// The partial-match list of one file: every started attempt is carried from byte to byte, so matches
// may span read blocks and overlap while they are tried.
class PlainMatcher
{
public:
    PlainMatcher(const BytePattern& pattern, bool wholeWord, bool betweenMode, std::int32_t firstPartNode)
        : pattern_(pattern), end_(pattern.end()), wholeWord_(wholeWord), between_(betweenMode),
          firstPart_(firstPartNode)
    {
        list_.reserve(8);
        list_.push_back({});
    }

    // Tries every attempt on one byte at output position pos; true when one is complete (its start, its
    // length and whether this byte belongs to it are then in the complete... fields).
    bool step(std::uint8_t byte, std::int64_t pos, bool lastByte, bool previousIsDelimiter)
    {
        if (list_[0].node > base()) {
            std::size_t slot = active_;
            for (std::size_t i = 1; i < active_; ++i) {
                if (list_[i].free != 0) {
                    slot = i;
                    break;
                }
            }
            if (slot == active_) {
                if (active_ == list_.size())
                    list_.push_back({});
                ++active_;
            }
            list_[slot] = {base(), 0, -1, 0};
        }
        std::size_t lastVisited = 0;
        for (std::size_t i = 0; i < active_; ++i) {
            PartialMatch& entry = list_[i];
            if (entry.free != 0)
                continue;
            lastVisited = i;
            const std::int32_t node = entry.node;
            std::int32_t next = -1;
            if (node >= end_) {
                if (wholeWord_ && isWordDelimiter(byte))
                    next = end_ + 1; // the delimiter after the word
            } else {
                next = pattern_.step(node, byte);
                if (next >= 0 && wholeWord_ && node == 0 && !previousIsDelimiter)
                    next = -1;
            }
            if (next < 0) {
                if (i == 0)
                    entry = {base(), 0, -1, 0};
                else
                    entry.free = 1;
                continue;
            }
            if (node == 0)
                entry.start = pos;
            if (node == firstPart_ && entry.mark < 0)
                entry.mark = pos;
            entry.node = next;
            if (between_ && !firstSeen_ && firstPart_ > 0 && next == firstPart_) {
                firstSeen_ = true;
                noted_ = pos + 1;
            }
            if (next == end_ + 1 || (next == end_ && (!wholeWord_ || lastByte))) {
                completeInMatch = next == end_;
                const std::int64_t matchEnd = completeInMatch ? pos + 1 : pos;
                completeStart = entry.start;
                completeEnding = firstPart_ >= end_ || entry.mark < 0 ? 0 : matchEnd - entry.mark;
                if (between_ && firstSeen_)
                    completeStart = noted_;
                completeLength = matchEnd - entry.start;
                return true;
            }
        }
        active_ = lastVisited + 1;
        return false;
    }

    // True when no attempt is under way: only a byte of the returned node's can change the state.
    const PatternNode* idle() const
    {
        const std::int32_t b = base();
        if (active_ != 1 || list_[0].node != b || b >= end_)
            return nullptr;
        return &pattern_.node(b);
    }

    // After a match: every attempt is dropped and the search begins anew.
    void reset()
    {
        firstSeen_ = false;
        list_[0] = {};
        active_ = 1;
    }

    // The complete attempt: where it began, its bytes (without the delimiter after a whole word),
    // whether the byte in hand is its last, and the bytes of its ending part (mode 32).
    std::int64_t completeStart = 0;
    std::int64_t completeLength = 0;
    bool completeInMatch = true;
    std::int64_t completeEnding = 0;

private:
    std::int32_t base() const { return firstSeen_ ? firstPart_ : 0; }

    const BytePattern& pattern_;
    std::int32_t end_;
    bool wholeWord_;
    bool between_;
    std::int32_t firstPart_;
    bool firstSeen_ = false;
    std::int64_t noted_ = 0;
    std::vector<PartialMatch> list_;
    std::size_t active_ = 1;
};

// The last n + 1 input bytes (modes 16 and 32 put the found bytes back from it).
class ByteRing
{
public:
    explicit ByteRing(std::size_t size) : bytes_(size + 1) {}
    void push(char byte)
    {
        bytes_[pos_] = byte;
        pos_ = pos_ + 1 == bytes_.size() ? 0 : pos_ + 1;
    }
    // count bytes ending `skip` bytes before the newest one, oldest first.
    std::string lastBytes(std::size_t count, std::size_t skip) const
    {
        std::string out(count, '\0');
        const std::size_t size = bytes_.size();
        for (std::size_t j = 0; j < count; ++j) {
            const std::size_t back = skip + count - j; // 1 = the newest byte
            out[j] = bytes_[(pos_ + size * 2 - back) % size];
        }
        return out;
    }

private:
    std::vector<char> bytes_;
    std::size_t pos_ = 0;
};

bool stopRequested(const platform::WuxThread* owner)
{
    return owner != nullptr && owner->Terminated();
}

// How many of the size bytes at data come before one that goes on from node (size when none does).
std::size_t skipToLead(const PatternNode& node, const std::uint8_t* data, std::size_t size)
{
    if (node.count == 1) {
        const void* next = std::memchr(data, node.bytes[0], size);
        return next == nullptr ? size : static_cast<std::size_t>(static_cast<const std::uint8_t*>(next) - data);
    }
    if (node.count == 2) {
        const std::uint8_t a = node.bytes[0], b = node.bytes[1];
        std::size_t j = 0;
        while (j < size && data[j] != a && data[j] != b)
            ++j;
        return j;
    }
    std::array<bool, 256> leads{};
    for (std::size_t k = 0; k < node.count; ++k)
        leads[node.bytes[k]] = true;
    std::size_t j = 0;
    while (j < size && !leads[data[j]])
        ++j;
    return j;
}

} // namespace

BytePattern TTextReplacer::findPattern(const ReplacerStructureView& structure) const
{
    if (structure.caseSensitive)
        return BytePattern::exact(structure.find);
    // Texts in the DOS code page: one byte per character, its two case forms in the two copies.
    if (oemTexts_)
        return BytePattern::bytePairs(structure.find, structure.findUpper);
    return BytePattern::utf8IgnoringCase(structure.find);
}

TTextReplacer::TTextReplacer(platform::WuxThread* Owner, std::int32_t Mode, platform::MovableHandle Block,
                             bool Backup)
    : TBaseReplacer(Owner), mode_(Mode), block_(Block)
{
    createBackUpCopy_ = Backup;
}

TReplaceResult TTextReplacer::processFile(std::string_view Path)
{
    switch (mode_) {
    case kModeReplace:
    case kModeDelete:
    case kModeInsertAfter:
        return ReplaceInFile(Path);
    case kModeInsertHead:
    case kModeInsertFoot:
        return InsertHeadFoot(Path);
    case kModeInsertBefore:
    case kModeInsertBetween:
        return InsertBeforeBetween(Path);
    case kModeJustFind:
        return FindInFile(Path);
    default:
        return kReplaceFailed;
    }
}

TReplaceResult TTextReplacer::ReplaceInFile(std::string_view Path)
{
    if (mode_ != kModeReplace && mode_ != kModeDelete && mode_ != kModeInsertAfter)
        return kReplaceFailed;
    return streamPass(Path, true);
}

TReplaceResult TTextReplacer::InsertBeforeBetween(std::string_view Path)
{
    if (mode_ != kModeInsertBefore && mode_ != kModeInsertBetween)
        return kReplaceFailed;
    return streamPass(Path, true);
}

TReplaceResult TTextReplacer::FindInFile(std::string_view Path)
{
    return streamPass(Path, false);
}

TReplaceResult TTextReplacer::streamPass(std::string_view PathGiven, bool changing)
{
    matchCount_ = 0;
    fileSize_ = 0;
    sizeAfter_ = -1;
    sourceOpened_ = false;
    failure_ = platform::kErrorSuccess;
    const std::optional<ReplacerStructureView> structure = readReplacerStructureBlock(block_);
    if (!structure)
        return kReplaceFailed;
    const std::string& replace = structure->replace;
    const auto n = static_cast<std::int32_t>(structure->find.size());

    // The temporary file is made only at the first match: until then the output is the file's own
    // bytes, and a file without a match is only read.
    platform::FileHandle source;
    platform::FileHandle temp;
    std::int32_t tempNumber = 0;
    std::string target(PathGiven);
    const TReplaceResult opened =
        changing ? OpenSourceToRewrite(source, PathGiven, target) : OpenSource(source, PathGiven);
    if (opened != kReplaceFound)
        return opened;
    const std::string_view Path = target;

    const bool between = mode_ == kModeInsertBetween;
    const bool keepsRing = changing && (mode_ == kModeInsertBefore || between);
    const BytePattern pattern = findPattern(*structure);
    const std::size_t longest = pattern.longest();
    const std::int32_t firstPartNode =
        pattern.nodeAtOffset(static_cast<std::size_t>(std::clamp<std::int32_t>(sizeOfFirstPart_, 0, n)));
    PlainMatcher matcher(pattern, structure->wholeWord, between && changing, firstPartNode);
    ByteRing ring(keepsRing ? longest : 0);
    PlainOutputSink sink(temp, blockSize_, replace.size() + longest + 1, true);
    const platform::WuxThread* owner = owner_;

    bool ok = true;
    std::int64_t remaining = n > 0 ? fileSize_ : 0;
    std::int64_t inputPos = 0;
    std::int64_t sourcePos = 0; // the source's file position (-1: unknown)
    bool previousIsDelimiter = true;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::int64_t>(remaining, blockSize_)));
    try {
        while (remaining > 0 && ok) {
            if (stopRequested(owner)) {
                ok = false;
                break;
            }
            const auto chunk = static_cast<std::size_t>(std::min<std::int64_t>(remaining, blockSize_));
            std::size_t done = 0;
            if ((sourcePos != inputPos &&
                 source.seek(inputPos, platform::SeekOrigin::kBegin) != platform::kErrorSuccess) ||
                source.read(buffer.data(), chunk, done) != platform::kErrorSuccess || done != chunk) {
                ok = false;
                break;
            }
            sourcePos = inputPos + static_cast<std::int64_t>(chunk);
            for (std::size_t i = 0; i < chunk; ++i) {
                if (stopRequested(owner)) {
                    ok = false;
                    break;
                }
                if (const PatternNode* lead = matcher.idle()) {
                    // Bytes that cannot begin a match pass straight to the output.
                    const std::size_t j = i + skipToLead(*lead, buffer.data() + i, chunk - i);
                    if (j > i) {
                        const auto* skipped = reinterpret_cast<const char*>(buffer.data() + i);
                        if (changing)
                            sink.append(std::string_view(skipped, j - i));
                        if (keepsRing)
                            for (std::size_t k = j - std::min<std::size_t>(j - i, longest + 1); k < j; ++k)
                                ring.push(static_cast<char>(buffer[k]));
                        previousIsDelimiter = isWordDelimiter(buffer[j - 1]);
                        i = j;
                        if (i == chunk)
                            break;
                    }
                }
                const std::uint8_t byte = buffer[i];
                if (keepsRing)
                    ring.push(static_cast<char>(byte));
                const bool lastByte = inputPos + static_cast<std::int64_t>(i) == fileSize_ - 1;
                for (;;) {
                    if (!matcher.step(byte, changing ? sink.position() : 0, lastByte, previousIsDelimiter)) {
                        if (changing)
                            sink.put(static_cast<char>(byte));
                        break;
                    }
                    // The count stays positive past 2^31 matches (a huge file), so the change is kept.
                    if (matchCount_ < std::numeric_limits<std::int32_t>::max())
                        ++matchCount_;
                    const std::int64_t start = matcher.completeStart;
                    const auto length = static_cast<std::size_t>(matcher.completeLength);
                    const bool byteInMatch = matcher.completeInMatch; // else the delimiter after the word
                    if (changing && sink.pending()) {
                        // The first match: the temporary file is made and takes the bytes before.
                        if (!CreateTemp(temp, Path, tempNumber) || !sink.attach(source)) {
                            ok = false;
                            break;
                        }
                        sourcePos = -1;
                    }
                    if (changing) {
                        if (byteInMatch)
                            sink.put(static_cast<char>(byte));
                        const std::size_t skip = byteInMatch ? 0 : 1;
                        switch (mode_) {
                        case kModeInsertAfter:
                            sink.cutTo(start + static_cast<std::int64_t>(length));
                            sink.append(replace);
                            break;
                        case kModeInsertBefore: {
                            const std::string found = ring.lastBytes(length, skip);
                            sink.cutTo(start);
                            sink.append(replace);
                            sink.append(found);
                            break;
                        }
                        case kModeInsertBetween: {
                            const std::string endingBytes =
                                ring.lastBytes(static_cast<std::size_t>(matcher.completeEnding), skip);
                            sink.cutTo(start);
                            sink.append(replace);
                            sink.append(endingBytes);
                            break;
                        }
                        case kModeDelete:
                            sink.cutTo(start);
                            break;
                        default:
                            sink.cutTo(start);
                            sink.append(replace);
                            break;
                        }
                    }
                    matcher.reset();
                    if (byteInMatch)
                        break;
                    // The delimiter that ended a whole word is scanned again: it may begin the next match.
                }
                if (!ok)
                    break;
                previousIsDelimiter = isWordDelimiter(byte);
            }
            if (changing && !sink.flush())
                ok = false;
            inputPos += static_cast<std::int64_t>(chunk);
            remaining -= static_cast<std::int64_t>(chunk);
            notifyBlockDone(inputPos);
        }
    } catch (const std::bad_alloc&) {
        ok = false; // the attempt list or a buffer could not grow
    }

    if (!changing) {
        source.close();
        sizeAfter_ = ok ? fileSize_ : -1;
        if (!ok)
            return kReplaceFailed;
        return matchCount_ > 0 ? kReplaceFound : kReplaceNothingFound;
    }
    if (ok && matchCount_ > 0)
        ok = sink.finish();
    outputSize_ = sink.position();
    return CommitFile(source, temp, ok, Path, tempNumber);
}

TReplaceResult TTextReplacer::InsertHeadFoot(std::string_view PathGiven)
{
    if (mode_ != kModeInsertHead && mode_ != kModeInsertFoot)
        return kReplaceFailed;
    matchCount_ = 1; // the file always counts as changed
    fileSize_ = 0;
    sizeAfter_ = -1;
    sourceOpened_ = false;
    failure_ = platform::kErrorSuccess;
    const std::optional<ReplacerStructureView> structure = readReplacerStructureBlock(block_);
    if (!structure)
        return kReplaceFailed;
    const std::string& insert = structure->find;
    platform::FileHandle source;
    platform::FileHandle temp;
    std::int32_t tempNumber = 0;
    std::string target;
    const TReplaceResult opened = OpenSourceToRewrite(source, PathGiven, target);
    if (opened != kReplaceFound)
        return opened;
    const std::string_view Path = target;
    if (!CreateTemp(temp, Path, tempNumber)) {
        source.close();
        return kReplaceFailed;
    }

    auto writeAll = [&temp](const char* data, std::size_t size) {
        std::size_t done = 0;
        return temp.write(data, size, done) == platform::kErrorSuccess && done == size;
    };
    bool ok = true;
    if (mode_ == kModeInsertHead)
        ok = writeAll(insert.data(), insert.size());
    std::int64_t remaining = fileSize_;
    std::int64_t copied = 0;
    std::vector<char> buffer(static_cast<std::size_t>(std::min<std::int64_t>(remaining, blockSize_)));
    while (ok && remaining > 0) {
        const auto chunk = static_cast<std::size_t>(std::min<std::int64_t>(remaining, blockSize_));
        std::size_t done = 0;
        if (source.read(buffer.data(), chunk, done) != platform::kErrorSuccess || done != chunk ||
            !writeAll(buffer.data(), chunk)) {
            ok = false;
            break;
        }
        remaining -= static_cast<std::int64_t>(chunk);
        copied += static_cast<std::int64_t>(chunk);
        notifyBlockDone(copied);
        if (IsTerminated())
            ok = false;
    }
    // A stop request fails the file also when there was no block to copy (an empty file).
    if (ok && IsTerminated())
        ok = false;
    if (ok && mode_ == kModeInsertFoot)
        ok = writeAll(insert.data(), insert.size());
    outputSize_ = fileSize_ + static_cast<std::int64_t>(insert.size());
    return CommitFile(source, temp, ok, Path, tempNumber);
}

} // namespace wux::engines
