#include "engines/batch_engine.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <numeric>
#include <tuple>

#include "engines/batch_table.h"
#include "engines/byte_pattern.h"
#include "engines/plain_replacer.h"
#include "engines/plain_replacer_sink.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/thread.h"

namespace wux::engines {

namespace {

using ByteSet = std::array<std::uint64_t, 4>;

void addByte(ByteSet& set, std::uint8_t byte)
{
    set[byte >> 6] |= std::uint64_t{1} << (byte & 63);
}
bool hasByte(const ByteSet& set, std::uint8_t byte)
{
    return (set[byte >> 6] >> (byte & 63) & 1) != 0;
}

// The members of a class text (between "[" and "]"): an optional "^" negates; characters alone or as
// ranges "a-z"; a "-" at the end stands for itself; "^" alone is the character "^".
ByteSet parseClass(std::string_view text)
{
    ByteSet set{};
    bool negate = false;
    if (text.size() > 1 && text[0] == '^') {
        negate = true;
        text.remove_prefix(1);
    }
    for (std::size_t i = 0; i < text.size();) {
        const auto low = static_cast<std::uint8_t>(text[i]);
        if (i + 2 < text.size() && text[i + 1] == '-') {
            const auto high = static_cast<std::uint8_t>(text[i + 2]);
            for (unsigned b = low; b <= high; ++b)
                addByte(set, static_cast<std::uint8_t>(b));
            i += 3;
        } else {
            addByte(set, low);
            ++i;
        }
    }
    if (negate)
        for (auto& word : set)
            word = ~word;
    return set;
}

// A plain character at pos of a row that ignores case, when one of its case forms is not a single byte:
// its UTF-8 case forms as a tree of choice elements (BytePattern's nodes of that one character), and
// the bytes it takes in the find text. 0 for any other character (an ASCII letter compares the input
// byte lower-cased).
std::size_t pushCaseForms(BatchRow& row, BatchTable& table, std::string_view find, std::size_t pos)
{
    const platform::Utf8Char ch = platform::decodeUtf8(find, pos);
    if (!ch.valid)
        return 0;
    const platform::CaseVariants variants = platform::caseVariants(ch.codePoint);
    bool multiByte = false;
    for (std::size_t k = 0; k < variants.count; ++k)
        multiByte = multiByte || variants.chars[k] >= 0x80;
    if (variants.count < 2 || !multiByte)
        return 0;
    const BytePattern pattern = BytePattern::utf8IgnoringCase(find.substr(pos, ch.length));
    const auto first = static_cast<std::int32_t>(row.elements.size());
    for (std::int32_t n = 0; n < pattern.end(); ++n) {
        const PatternNode& node = pattern.node(n);
        BatchChoice choice;
        choice.count = node.count;
        for (std::size_t k = 0; k < node.count; ++k) {
            choice.bytes[k] = node.bytes[k];
            choice.next[k] = first + node.next[k];
        }
        table.choices.push_back(choice);
        row.elements.push_back({BatchPatternElement::kChoice, 0,
                                static_cast<std::uint32_t>(table.choices.size() - 1)});
    }
    return ch.length;
}

// Compiles a find pattern into row.elements; false when it is malformed.
bool compilePattern(BatchRow& row, BatchTable& table)
{
    const std::string& f = row.find;
    const std::size_t n = f.size();
    auto push = [&row](BatchPatternElement::Kind kind, std::uint8_t byte = 0, std::uint32_t value = 0) {
        row.elements.push_back({kind, byte, value});
    };
    std::size_t i = 0;
    while (i < n) {
        const char c = f[i];
        if (c == '*') {
            if (i + 1 < n && f[i + 1] == '*') {
                push(BatchPatternElement::kLiteral, '*');
                i += 2;
                continue;
            }
            if (row.repeatPos >= 0)
                return false;
            std::size_t j = i + 1;
            std::uint64_t value = 0;
            while (j < n && platform::isAsciiDigit(f[j])) {
                value = value * 10 + static_cast<std::uint64_t>(f[j] - '0');
                if (value > std::numeric_limits<std::int32_t>::max())
                    return false;
                ++j;
            }
            if (j >= n || f[j] != '*' || j == i + 1 || value == 0 || j + 1 >= n)
                return false;
            push(BatchPatternElement::kRepeat, 0, static_cast<std::uint32_t>(value));
            row.repeatPos = static_cast<std::int32_t>(row.elements.size());
            row.repeatMin = static_cast<std::uint32_t>(value);
            row.repeatRawPos = static_cast<std::uint32_t>(j + 1);
            i = j + 1;
            continue;
        }
        if (c != '#') {
            if (!row.caseSensitive) {
                if (const std::size_t length = pushCaseForms(row, table, f, i)) {
                    i += length;
                    continue;
                }
            }
            push(BatchPatternElement::kLiteral,
                 static_cast<std::uint8_t>(row.caseSensitive ? c : platform::byteToLower(c)));
            ++i;
            continue;
        }
        if (i + 1 < n && f[i + 1] == '#') {
            push(BatchPatternElement::kLiteral, '#');
            i += 2;
            continue;
        }
        ++i;
        for (;;) {
            if (i >= n)
                return false;
            const char k = f[i];
            if (platform::isAsciiDigit(k)) {
                unsigned value = 0;
                while (i < n && platform::isAsciiDigit(f[i])) {
                    value = value * 10 + static_cast<unsigned>(f[i] - '0');
                    if (value > 255)
                        return false;
                    ++i;
                }
                push(BatchPatternElement::kByte, static_cast<std::uint8_t>(value));
            } else if (k == 'x' || k == 'X') {
                ++i;
                unsigned value = 0;
                std::size_t digits = 0;
                while (i < n && platform::hexDigitValue(f[i]) >= 0) {
                    value = value * 16 + static_cast<unsigned>(platform::hexDigitValue(f[i]));
                    if (value > 255)
                        return false;
                    ++i;
                    ++digits;
                }
                if (digits == 0)
                    return false;
                push(BatchPatternElement::kByte, static_cast<std::uint8_t>(value));
            } else if (k == '?') {
                push(BatchPatternElement::kAny);
                ++i;
            } else if (k == '[') {
                const std::size_t close = f.find(']', i + 1);
                if (close == std::string::npos || close == i + 1)
                    return false;
                table.classes.push_back(parseClass(std::string_view(f).substr(i + 1, close - i - 1)));
                push(BatchPatternElement::kClass, 0, static_cast<std::uint32_t>(table.classes.size() - 1));
                i = close + 1;
            } else if (k == '*' || k == 'B') {
                push(k == '*' ? BatchPatternElement::kRun : BatchPatternElement::kBarrier);
                ++i;
                if (i >= n || f[i] != '#')
                    return false;
            } else {
                return false;
            }
            if (i >= n)
                return false;
            if (f[i] == '#') {
                ++i;
                break;
            }
            if (f[i] != ',')
                return false;
            ++i;
        }
    }
    return true;
}

// Derived facts of a compiled row: barrier, run-first, the bytes that can begin it.
void finishRow(BatchRow& row, BatchTable& table)
{
    // What follows a barrier never takes part in a match.
    for (std::size_t e = 0; e < row.elements.size(); ++e) {
        if (row.elements[e].kind == BatchPatternElement::kBarrier) {
            row.elements.resize(e + 1);
            break;
        }
    }
    if (row.repeatPos >= static_cast<std::int32_t>(row.elements.size())) {
        row.repeatPos = -1; // the repetition code would end the pattern
        row.repeatMin = 0;
    }
    std::size_t first = 0;
    bool barrierSeen = false;
    bool consuming = false;
    for (const BatchPatternElement& element : row.elements) {
        if (element.kind == BatchPatternElement::kBarrier) {
            barrierSeen = true;
            // A barrier that no byte leads up to would stop every match at every byte.
            if (!consuming)
                row.ignored = true;
            break;
        }
        if (element.kind != BatchPatternElement::kRepeat && element.kind != BatchPatternElement::kRun)
            consuming = true;
    }
    if (row.elements.empty())
        row.ignored = true;
    if (row.ignored)
        return;
    if (barrierSeen)
        table.hasBarrier = true;
    while (first < row.elements.size() && row.elements[first].kind == BatchPatternElement::kRepeat)
        ++first;
    const BatchPatternElement& element = row.elements[first];
    switch (element.kind) {
    case BatchPatternElement::kRun:
        row.runFirst = true;
        break;
    case BatchPatternElement::kLiteral:
        for (unsigned b = 0; b < 256; ++b)
            if (static_cast<std::uint8_t>(row.caseSensitive
                                              ? static_cast<char>(b)
                                              : platform::byteToLower(static_cast<char>(b))) == element.byte)
                addByte(row.startBytes, static_cast<std::uint8_t>(b));
        break;
    case BatchPatternElement::kByte:
        addByte(row.startBytes, element.byte);
        break;
    case BatchPatternElement::kClass:
        row.startBytes = table.classes[element.value];
        break;
    case BatchPatternElement::kChoice: {
        const BatchChoice& choice = table.choices[element.value];
        for (std::size_t k = 0; k < choice.count; ++k)
            addByte(row.startBytes, choice.bytes[k]);
        break;
    }
    default: // any byte
        row.startBytes = {~std::uint64_t{0}, ~std::uint64_t{0}, ~std::uint64_t{0}, ~std::uint64_t{0}};
        break;
    }
}

// One match attempt of a row.
struct Attempt
{
    std::int32_t row = 0;
    std::int32_t pos = 0;      // element index
    std::int64_t start = 0;    // output position of its first byte
    std::int64_t repCount = 0; // bytes matched in the current repetition
    std::uint32_t reps = 0;    // repetitions completed, counted up to the row's minimum only
    bool repPassed = false;

    // Attempts of one row at one element take the same way from here on: they complete, die and reach
    // a barrier at the same bytes, except that one with fewer repetitions may still die where the other
    // completes.
    auto state() const { return std::tie(row, pos, repPassed); }
};

// The attempt that wins at a byte.
struct Winner
{
    bool found = false;
    std::int64_t start = 0;
    std::int32_t row = 0;
    std::int64_t rescan = 0; // bytes (ending with the current one) to be scanned again

    void consider(std::int64_t candidateStart, std::int32_t candidateRow, std::int64_t candidateRescan)
    {
        if (!found || candidateStart < start || (candidateStart == start && candidateRow < row)) {
            found = true;
            start = candidateStart;
            row = candidateRow;
            rescan = candidateRescan;
        }
    }
};

// The per-file scanning state of the batch engine.
class BatchScanner
{
public:
    explicit BatchScanner(const BatchTable& table) : table_(table)
    {
        attempts_.reserve(table.rows.size() * 2 + 16);
        baseDedupeLimit_ = std::max<std::size_t>(16, table.rows.size() * 2);
        dedupeLimit_ = baseDedupeLimit_;
    }

    // True when no attempt is under way and no run waits for its start: a byte that begins no row
    // changes nothing.
    bool idle() const { return attempts_.empty() && (!seedRuns_ || table_.runFirstRows.empty()); }

    // Every attempt is dropped; rows begin anew at the next byte scanned.
    void restart()
    {
        attempts_.clear();
        seedRuns_ = true;
    }

    // Scans one byte at output position cur; the winner, if any. A barrier without a winner before it
    // drops everything and scans the byte again from a fresh start.
    Winner scan(std::uint8_t byte, std::int64_t cur, bool lastByte)
    {
        bool repeat = false;
        Winner winner = pass(byte, cur, lastByte, false, repeat);
        if (repeat) {
            restart();
            winner = pass(byte, cur, lastByte, true, repeat);
        }
        return winner;
    }

private:
    enum class Outcome
    {
        kAlive,
        kDead,
        kComplete
    };

    Winner pass(std::uint8_t byte, std::int64_t cur, bool lastByte, bool ignoreBarriers, bool& repeat)
    {
        repeat = false;
        if (seedRuns_) {
            for (std::int32_t row : table_.runFirstRows)
                attempts_.push_back(Attempt{row, 0, cur});
            seedRuns_ = false;
        }
        for (std::int32_t row : table_.rowsByFirstByte[byte])
            attempts_.push_back(Attempt{row, 0, cur});

        const auto lower = static_cast<std::uint8_t>(platform::byteToLower(static_cast<char>(byte)));
        complete_.clear();
        barrierReached_ = false;
        barrierStart_ = std::numeric_limits<std::int64_t>::max();
        std::size_t kept = 0;
        for (std::size_t i = 0; i < attempts_.size(); ++i) {
            Attempt attempt = attempts_[i];
            std::int64_t rescan = 0;
            const Outcome outcome = advance(attempt, byte, lower, ignoreBarriers, rescan);
            if (outcome == Outcome::kAlive)
                attempts_[kept++] = attempt;
            else if (outcome == Outcome::kComplete)
                complete_.push_back({attempt.start, attempt.row, rescan, false});
        }
        attempts_.resize(kept);

        if (lastByte && !ignoreBarriers) {
            // The file ends right behind a barrier's text: it still holds back what began before it.
            for (const Attempt& attempt : attempts_) {
                const BatchRow& row = table_.rows[static_cast<std::size_t>(attempt.row)];
                if (row.elements[static_cast<std::size_t>(attempt.pos)].kind ==
                    BatchPatternElement::kBarrier) {
                    barrierReached_ = true;
                    barrierStart_ = std::min(barrierStart_, attempt.start);
                }
            }
        }
        const bool barrier = barrierReached_ && !ignoreBarriers;
        if (lastByte || barrier) {
            // The rest belongs to the run: runs that end their pattern and repetitions that reached their
            // minimum are complete here.
            for (const Attempt& attempt : attempts_) {
                const BatchRow& row = table_.rows[static_cast<std::size_t>(attempt.row)];
                const auto& element = row.elements[static_cast<std::size_t>(attempt.pos)];
                if (element.kind == BatchPatternElement::kRun &&
                    static_cast<std::size_t>(attempt.pos) + 1 == row.elements.size())
                    complete_.push_back({attempt.start, attempt.row, 0, true});
                else if (attempt.repPassed && attempt.reps >= row.repeatMin)
                    complete_.push_back({attempt.start, attempt.row, attempt.repCount, false});
            }
        }
        Winner winner;
        if (barrier) {
            // Only a match that began before the barrier and can end in front of it is applied: a run
            // that ends its pattern stops at the barrier; a match that would cross it is abandoned.
            const std::int64_t barrierLength = cur - barrierStart_ + 1;
            for (const Completion& c : complete_) {
                if (c.start < barrierStart_ && (c.runEnd || cur + 1 - c.rescan <= barrierStart_))
                    winner.consider(c.start, c.row, std::max(c.rescan, barrierLength));
            }
            if (!winner.found)
                repeat = true;
            return winner;
        }
        for (const Completion& c : complete_)
            winner.consider(c.start, c.row, c.rescan);
        if (!winner.found && attempts_.size() > dedupeLimit_)
            dedupe();
        return winner;
    }

    Outcome advance(Attempt& a, std::uint8_t byte, std::uint8_t lower, bool ignoreBarriers,
                    std::int64_t& rescan)
    {
        const BatchRow& row = table_.rows[static_cast<std::size_t>(a.row)];
        const auto size = static_cast<std::int32_t>(row.elements.size());
        for (;;) {
            const BatchPatternElement& element = row.elements[static_cast<std::size_t>(a.pos)];
            bool match = false;
            switch (element.kind) {
            case BatchPatternElement::kRepeat:
                a.repPassed = true;
                a.reps = 0;
                a.repCount = 0;
                ++a.pos;
                continue;
            case BatchPatternElement::kRun:
            case BatchPatternElement::kBarrier:
                if (element.kind == BatchPatternElement::kBarrier && !ignoreBarriers) {
                    barrierReached_ = true;
                    barrierStart_ = std::min(barrierStart_, a.start);
                }
                if (a.pos + 1 < size) {
                    // A copy that has left the run is tried on this same byte.
                    Attempt copy = a;
                    ++copy.pos;
                    attempts_.push_back(copy);
                }
                if (a.repPassed)
                    ++a.repCount;
                return Outcome::kAlive;
            case BatchPatternElement::kLiteral:
                match = (row.caseSensitive ? byte : lower) == element.byte;
                break;
            case BatchPatternElement::kByte:
                match = byte == element.byte;
                break;
            case BatchPatternElement::kAny:
                match = true;
                break;
            case BatchPatternElement::kClass:
                match = hasByte(table_.classes[element.value], byte);
                break;
            case BatchPatternElement::kChoice: {
                // The byte leads within the character's tree: go on from the element before its target.
                const BatchChoice& choice = table_.choices[element.value];
                for (std::size_t k = 0; k < choice.count && !match; ++k) {
                    if (choice.bytes[k] == byte) {
                        match = true;
                        a.pos = choice.next[k] - 1;
                    }
                }
                break;
            }
            }
            if (!match) {
                if (a.repPassed && a.reps >= row.repeatMin) {
                    rescan = a.repCount + 1;
                    return Outcome::kComplete;
                }
                return Outcome::kDead;
            }
            ++a.pos;
            if (a.repPassed)
                ++a.repCount;
            if (a.pos < size)
                return Outcome::kAlive;
            if (!a.repPassed) {
                rescan = 0;
                return Outcome::kComplete;
            }
            // Repetitions beyond the minimum change nothing, so the count stops there.
            if (a.reps < row.repeatMin)
                ++a.reps;
            a.repCount = 0;
            a.pos = row.repeatPos;
            return Outcome::kAlive;
        }
    }

    // Drops the attempts that can never win: of the attempts of one row at one element, one that
    // started no later and has at least as many repetitions completes wherever the other does, and
    // wins there. So a run, which forks an attempt at every byte and keeps every later start alive,
    // costs no more than one attempt per element, however long the input.
    void dedupe()
    {
        std::vector<std::size_t> order(attempts_.size());
        std::iota(order.begin(), order.end(), std::size_t{0});
        std::stable_sort(order.begin(), order.end(), [this](std::size_t x, std::size_t y) {
            const Attempt& a = attempts_[x];
            const Attempt& b = attempts_[y];
            if (a.state() != b.state())
                return a.state() < b.state();
            if (a.start != b.start)
                return a.start < b.start;
            return a.reps > b.reps;
        });
        std::vector<bool> drop(attempts_.size(), false);
        std::uint32_t mostReps = 0;
        for (std::size_t i = 0; i < order.size(); ++i) {
            const Attempt& attempt = attempts_[order[i]];
            if (i == 0 || attempt.state() != attempts_[order[i - 1]].state())
                mostReps = attempt.reps;
            else if (attempt.reps <= mostReps)
                drop[order[i]] = true;
            else
                mostReps = attempt.reps;
        }
        std::size_t kept = 0;
        for (std::size_t i = 0; i < attempts_.size(); ++i)
            if (!drop[i])
                attempts_[kept++] = attempts_[i];
        attempts_.resize(kept);
        dedupeLimit_ = std::max(baseDedupeLimit_, attempts_.size() * 2);
    }

    // An attempt complete at the byte in hand; runEnd: it sits on a run that ends its pattern.
    struct Completion
    {
        std::int64_t start;
        std::int32_t row;
        std::int64_t rescan;
        bool runEnd;
    };

    const BatchTable& table_;
    std::vector<Attempt> attempts_;
    std::vector<Completion> complete_;
    bool seedRuns_ = true;
    bool barrierReached_ = false;
    std::int64_t barrierStart_ = 0;
    std::size_t baseDedupeLimit_ = 16;
    std::size_t dedupeLimit_ = 16;
};

bool stopRequested(const platform::WuxThread* owner)
{
    return owner != nullptr && owner->Terminated();
}

} // namespace

std::optional<BatchTable> compileBatchTable(std::span<const std::uint8_t> block, std::int32_t rowCount)
{
    BatchTable table;
    if (rowCount < 0)
        return std::nullopt;
    table.rows.reserve(static_cast<std::size_t>(rowCount));
    std::size_t offset = 0;
    for (std::int32_t index = 1; index <= rowCount; ++index) {
        // Each row is read relative to the previous one, so the whole table costs one walk.
        const std::optional<TableRow> found = tableRowAt(block.subspan(offset), 1);
        if (!found)
            return std::nullopt;
        BatchRow row;
        row.caseSensitive = found->caseSensitive;
        row.insertMode = static_cast<std::int32_t>(found->insertMode);
        row.find.assign(found->find);
        row.replace.assign(found->replace);
        row.findOffset = static_cast<std::uint32_t>(offset + kTableRowHeadSize);
        row.replaceOffset = static_cast<std::uint32_t>(offset + kTableRowHeadSize + found->find.size());
        if (!compilePattern(row, table)) {
            row.elements.clear();
            row.ignored = true;
        }
        finishRow(row, table);
        const auto rowIndex = static_cast<std::int32_t>(table.rows.size());
        if (!row.ignored) {
            if (row.runFirst) {
                table.runFirstRows.push_back(rowIndex);
            } else {
                for (unsigned b = 0; b < 256; ++b)
                    if (hasByte(row.startBytes, static_cast<std::uint8_t>(b)))
                        table.rowsByFirstByte[b].push_back(rowIndex);
            }
        }
        table.rows.push_back(std::move(row));
        offset += kTableRowHeadSize + found->find.size() + found->replace.size();
    }
    return table;
}

void writeBatchWorkSpace(std::span<std::uint8_t> block, const BatchTable& table)
{
    for (const BatchRow& row : table.rows) {
        const std::size_t head = row.findOffset - kTableRowHeadSize;
        if (head + kTableRowHeadSize > block.size())
            return;
        std::uint8_t* space = block.data() + head + kTableRowWorkSpaceOffset;
        storeLe32(space, row.findOffset);
        storeLe32(space + 4, row.replaceOffset);
        storeLe32(space + 8, row.repeatRawPos);
        storeLe32(space + 12, row.repeatMin);
    }
}

TReplaceResult TTextReplacer::ReplaceTableInFile(std::string_view PathGiven, platform::MovableHandle Table,
                                                 std::int32_t RowCount)
{
    matchCount_ = 0;
    fileSize_ = 0;
    sizeAfter_ = -1;
    sourceOpened_ = false;
    failure_ = platform::kErrorSuccess;
    const BatchTable* table = nullptr;
    {
        platform::MovableLock lock(Table);
        if (!lock)
            return kReplaceFailed;
        table = compiledTableFor({lock.as<std::uint8_t>(), platform::movableSize(Table)}, RowCount);
        if (table == nullptr)
            return kReplaceFailed; // the block ends before its rows do
    }

    // The temporary file is made only at the first change: until then the output is the file's own
    // bytes, and a file without a match is only read.
    platform::FileHandle source;
    platform::FileHandle temp;
    std::int32_t tempNumber = 0;
    std::string target;
    const TReplaceResult opened = OpenSourceToRewrite(source, PathGiven, target);
    if (opened != kReplaceFound)
        return opened;
    const std::string_view Path = target;

    std::size_t longestReplace = 0;
    for (const BatchRow& row : table->rows)
        longestReplace = std::max(longestReplace, row.replace.size());
    PlainOutputSink sink(temp, blockSize_, longestReplace + 3, true);
    BatchScanner scanner(*table);
    std::array<bool, 256> startable{};
    int startBytes = 0;
    int onlyStart = -1; // the one byte that begins every row, if there is one
    for (unsigned b = 0; b < 256; ++b) {
        startable[b] = !table->rowsByFirstByte[b].empty();
        if (startable[b]) {
            ++startBytes;
            onlyStart = static_cast<int>(b);
        }
    }
    if (startBytes != 1)
        onlyStart = -1;
    const platform::WuxThread* owner = owner_;

    const std::int64_t size = fileSize_;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::int64_t>(size, blockSize_)));
    std::int64_t bufferStart = 0;
    std::int64_t bufferEnd = 0; // nothing read yet
    std::int64_t pos = 0;       // input position of the byte in hand
    std::int64_t sourcePos = 0; // the source's file position (-1: unknown)
    bool ok = true;
    try {
        while (ok && pos < size) {
            if (pos < bufferStart || pos >= bufferEnd) {
                // A block ends: write what has gathered and read the block that holds pos (also when
                // scanning goes back into an earlier block).
                if (bufferEnd > 0) {
                    if (!sink.flush()) {
                        ok = false;
                        break;
                    }
                    notifyBlockDone(bufferEnd);
                }
                if (stopRequested(owner)) {
                    ok = false;
                    break;
                }
                const auto chunk = static_cast<std::size_t>(std::min<std::int64_t>(size - pos, blockSize_));
                std::size_t done = 0;
                if ((sourcePos != pos &&
                     source.seek(pos, platform::SeekOrigin::kBegin) != platform::kErrorSuccess) ||
                    source.read(buffer.data(), chunk, done) != platform::kErrorSuccess || done != chunk) {
                    ok = false;
                    break;
                }
                sourcePos = pos + static_cast<std::int64_t>(chunk);
                bufferStart = pos;
                bufferEnd = pos + static_cast<std::int64_t>(chunk);
            }
            if (stopRequested(owner)) {
                ok = false;
                break;
            }
            if (scanner.idle()) {
                // Bytes that begin no row pass straight to the output.
                const std::uint8_t* data = buffer.data() + (pos - bufferStart);
                const auto available = static_cast<std::size_t>(bufferEnd - pos);
                std::size_t skip = 0;
                if (onlyStart >= 0) {
                    const void* next = std::memchr(data, onlyStart, available);
                    skip = next == nullptr
                               ? available
                               : static_cast<std::size_t>(static_cast<const std::uint8_t*>(next) - data);
                } else {
                    while (skip < available && !startable[data[skip]])
                        ++skip;
                }
                if (skip > 0) {
                    sink.append(std::string_view(reinterpret_cast<const char*>(data), skip));
                    pos += static_cast<std::int64_t>(skip);
                    continue;
                }
            }
            const std::uint8_t byte = buffer[static_cast<std::size_t>(pos - bufferStart)];
            const std::int64_t cur = sink.position();
            const Winner winner = scanner.scan(byte, cur, pos == size - 1);
            if (!winner.found) {
                sink.put(static_cast<char>(byte));
                ++pos;
                continue;
            }
            if (sink.pending()) {
                // The first change: the temporary file is made and takes the bytes before.
                if (!CreateTemp(temp, Path, tempNumber) || !sink.attach(source)) {
                    ok = false;
                    break;
                }
                sourcePos = -1;
            }
            ++matchCount_;
            const BatchRow& row = table->rows[static_cast<std::size_t>(winner.row)];
            const std::int64_t foundEnd = cur + 1 - winner.rescan;
            switch (row.insertMode) {
            case kInsertBefore:
                sink.put(static_cast<char>(byte));
                sink.cutTo(foundEnd);
                sink.insertAt(winner.start, row.replace);
                break;
            case kInsertAfter:
                sink.put(static_cast<char>(byte));
                sink.cutTo(foundEnd);
                sink.append(row.replace);
                break;
            default:
                sink.cutTo(winner.start);
                sink.append(row.replace);
                break;
            }
            if (!sink.ok())
                ok = false;
            scanner.restart();
            pos = pos + 1 - winner.rescan;
        }
    } catch (const std::bad_alloc&) {
        ok = false; // the attempt list or a buffer could not grow
    }
    if (ok && bufferEnd > 0)
        notifyBlockDone(bufferEnd);
    if (ok && matchCount_ > 0)
        ok = sink.finish();
    outputSize_ = sink.position();
    return CommitFile(source, temp, ok, Path, tempNumber);
}

const BatchTable* TTextReplacer::compiledTableFor(std::span<std::uint8_t> block, std::int32_t rowCount)
{
    // The compiled table depends on nothing but the block's bytes (the work space is written, never
    // read), so equal bytes give the same table and the same work space.
    if (compiledTable_ && compiledRows_ == rowCount && compiledBytes_.size() == block.size() &&
        std::equal(block.begin(), block.end(), compiledBytes_.begin()))
        return &*compiledTable_;
    compiledTable_.reset();
    compiledBytes_.clear();
    compiledRows_ = -1;
    std::optional<BatchTable> table = compileBatchTable(block, rowCount);
    if (!table)
        return nullptr;
    writeBatchWorkSpace(block, *table);
    compiledTable_ = std::move(table);
    compiledBytes_.assign(block.begin(), block.end());
    compiledRows_ = rowCount;
    return &*compiledTable_;
}

std::string TTextReplacer::ReplaceTableInString(std::string_view Text, platform::MovableHandle Table,
                                                std::int32_t RowCount)
{
    matchCount_ = 0;
    std::string result;
    if (Text.empty())
        return result;
    struct TextRow
    {
        bool caseSensitive;
        std::string find;
        std::string replace;
    };
    std::vector<TextRow> rows;
    {
        platform::MovableLock lock(Table);
        if (!lock)
            return std::string(Text);
        const std::span<const std::uint8_t> bytes(lock.as<const std::uint8_t>(),
                                                  platform::movableSize(Table));
        std::size_t offset = 0;
        for (std::int32_t index = 1; index <= RowCount; ++index) {
            const std::optional<TableRow> row = tableRowAt(bytes.subspan(offset), 1);
            if (!row)
                break; // the block ends here: the rows before still apply
            rows.push_back({row->caseSensitive, std::string(row->find), std::string(row->replace)});
            offset += kTableRowHeadSize + row->find.size() + row->replace.size();
        }
    }
    struct TextAttempt
    {
        std::int32_t row;
        std::size_t length;
        std::size_t start;
    };
    std::vector<TextAttempt> attempts;
    attempts.reserve(rows.size() * 2 + 4);
    result.reserve(Text.size());
    for (const char c : Text) {
        const char lower = platform::byteToLower(c);
        for (std::size_t r = 0; r < rows.size(); ++r)
            if (!rows[r].find.empty())
                attempts.push_back({static_cast<std::int32_t>(r), 0, result.size()});
        bool found = false;
        TextAttempt best{};
        std::size_t kept = 0;
        for (TextAttempt attempt : attempts) {
            const TextRow& row = rows[static_cast<std::size_t>(attempt.row)];
            if ((row.caseSensitive ? c : lower) != row.find[attempt.length])
                continue;
            if (++attempt.length == row.find.size()) {
                if (!found || attempt.start < best.start ||
                    (attempt.start == best.start && attempt.row < best.row)) {
                    found = true;
                    best = attempt;
                }
                continue;
            }
            attempts[kept++] = attempt;
        }
        attempts.resize(kept);
        if (!found) {
            result.push_back(c);
            continue;
        }
        ++matchCount_;
        result.resize(best.start);
        result += rows[static_cast<std::size_t>(best.row)].replace;
        attempts.clear();
    }
    return result;
}

} // namespace wux::engines
