// The find-cell and replace-cell checks, the table compiler and the batch engine: every cell gets a
// valid answer, every find cell the check accepts compiles into a row that can match, building without
// the checks gives the same block for valid cells, and the compiled table applied to a small buffer gives
// the same result whatever the engine's read block size (and, for rows of plain characters, the same as
// the text path).
//
// Input: three fields separated by NUL bytes: the table (one row a line; "find", "find<TAB>replace" or
// "Y<TAB>find<TAB>replace" for a case-sensitive row), the read block size, the buffer.
#include <cstdint>
#include <filesystem>
#include <string>

#include "engines/base_replacer.h"
#include "engines/batch_engine.h"
#include "engines/batch_table.h"
#include "engines/plain_replacer.h"
#include "fuzz_support.h"
#include "platform/movable_memory.h"

using namespace wux;
using engines::TableCells;

namespace {

struct Run
{
    engines::TReplaceResult result;
    std::string bytes;
    std::int32_t matches;
};

// The table applied to the buffer in a file, read in blocks of blockSize bytes.
Run runOnFile(engines::TableBlock block, std::int32_t rows, std::string_view buffer, std::size_t blockSize)
{
    const std::string posix = fuzz::posixOnDrive("f.txt");
    fuzz::writeWholeFile(posix, buffer);
    engines::TTextReplacer replacer(nullptr, engines::kModeBatchTable, block, false);
    replacer.setBlockSize(blockSize);
    Run run;
    run.result = replacer.ReplaceTableInFile("c:\\f.txt", block, rows);
    run.bytes = fuzz::readWholeFile(posix);
    run.matches = replacer.matchCount();
    std::filesystem::remove(posix);
    return run;
}

void checkBlock(engines::TableBlock block, std::int32_t rows, std::string_view buffer, std::size_t blockSize,
                bool plainRows)
{
    const std::vector<std::uint8_t> bytes = engines::tableBlockBytes(block);
    fuzz::check(engines::compileBatchTable(bytes, rows).has_value(), "a built block misses rows");
    fuzz::check(!engines::tableRowAt(bytes, rows + 1).has_value() ||
                    engines::tableRowAt(bytes, rows + 1)->find.empty(),
                "a built block holds more rows");

    const Run whole = runOnFile(block, rows, buffer, engines::kPlainBlockSize);
    fuzz::check(whole.result == engines::kReplaceFound || whole.result == engines::kReplaceNothingFound,
                "the batch engine failed on a file");
    if (whole.result == engines::kReplaceNothingFound)
        fuzz::check(whole.bytes == buffer && whole.matches == 0, "a file without matches changed");
    else
        fuzz::check(whole.matches > 0, "a changed file without matches");
    const Run pieces = runOnFile(block, rows, buffer, blockSize);
    fuzz::check(pieces.result == whole.result && pieces.bytes == whole.bytes &&
                    pieces.matches == whole.matches,
                "the result depends on the read block size");

    engines::TTextReplacer replacer(nullptr, engines::kModeBatchTable, block, false);
    const std::string text = replacer.ReplaceTableInString(buffer, block, rows);
    if (replacer.matchCount() == 0)
        fuzz::check(text == buffer, "a text without matches changed");
    // Rows of plain characters mean the same to both paths.
    if (plainRows)
        fuzz::check(text == whole.bytes && replacer.matchCount() == whole.matches,
                    "the text path and the file path differ on plain rows");
}

void checkCells(const std::string& flag, const std::string& find, const std::string& replace)
{
    std::string lowered = find;
    std::int32_t length = -7;
    const std::int32_t findError = engines::CheckFindText(find, length, &lowered);
    fuzz::check(findError >= -1 && findError <= static_cast<std::int32_t>(find.size()),
                "find error position");
    fuzz::check(lowered.size() == find.size(), "the find buffer changed size");
    if (findError == -1) {
        fuzz::check(length >= 1 && length <= static_cast<std::int32_t>(find.size()), "find length");
        // A find text that the check accepts compiles into a row that can match.
        engines::TableBlock one;
        fuzz::check(engines::CheckAndBuildTableBlock(one, {flag}, {find}, {""}) == -1 && one,
                    "an accepted find cell builds no block");
        const std::vector<std::uint8_t> bytes = engines::tableBlockBytes(one);
        platform::movableFree(one);
        const std::optional<engines::BatchTable> table = engines::compileBatchTable(bytes, 1);
        fuzz::check(table && table->rows.size() == 1, "a one-row block does not compile");
        fuzz::check(!table->rows[0].ignored, "an accepted find cell compiles into a row that never matches");
    }

    std::string converted = "keep";
    std::int32_t bytesWritten = -7, mode = 0, items = -7, countMode = 0;
    const std::int32_t replaceError = engines::CheckReplaceText(replace, bytesWritten, &converted, mode);
    fuzz::check(replaceError >= -1 && replaceError <= static_cast<std::int32_t>(replace.size()),
                "replace error position");
    fuzz::check(engines::CheckReplaceText(replace, items, nullptr, countMode) == replaceError,
                "the replace check depends on its destination");
    if (replaceError == -1) {
        fuzz::check(mode == engines::kInsertBefore || mode == engines::kInsertAfter ||
                        mode == engines::kReplaceMatch,
                    "insert mode");
        fuzz::check(bytesWritten >= 0 && converted.size() == 4 + static_cast<std::size_t>(bytesWritten),
                    "replace length");
        fuzz::check(countMode == mode && items <= static_cast<std::int32_t>(replace.size()), "replace items");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::mapTempDrive();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto fields = fuzz::splitFields(fuzz::asText(data, size), 3);
    const std::size_t blockSize = static_cast<std::size_t>(fuzz::numberIn(fields[1], 1, 64, 7));
    const std::string_view buffer = fields[2];

    TableCells flags, finds, replaces;
    for (const std::string_view line : fuzz::splitLines(fields[0])) {
        std::string_view parts[3];
        std::size_t count = 0;
        std::string_view rest = line;
        while (count < 2 && rest.find('\t') != std::string_view::npos) {
            parts[count++] = rest.substr(0, rest.find('\t'));
            rest.remove_prefix(rest.find('\t') + 1);
        }
        parts[count++] = rest;
        const bool flagged = count == 3;
        flags.push_back(flagged && parts[0] == "Y" ? engines::YesText() : engines::NoText());
        finds.emplace_back(parts[flagged ? 1 : 0]);
        replaces.emplace_back(count >= 2 ? parts[count - 1] : std::string_view());
        if (finds.size() >= 16)
            break;
    }
    bool plainRows = true;
    for (std::size_t i = 0; i < finds.size(); ++i) {
        checkCells(flags[i], finds[i], replaces[i]);
        plainRows = plainRows && finds[i].find_first_of("#*") == std::string::npos &&
                    replaces[i].find('#') == std::string::npos;
    }

    const auto rows = static_cast<std::int32_t>(finds.size());
    engines::TableBlock checked;
    const std::int32_t bad = engines::CheckAndBuildTableBlock(checked, flags, finds, replaces);
    fuzz::check(bad >= -1 && bad < rows, "bad row index");
    fuzz::check(bad == -1 || !checked, "a block built for a bad table");
    engines::TableBlock unchecked;
    engines::BuildTableBlock(unchecked, flags, finds, replaces);
    if (bad == -1) {
        // Valid cells: building without the checks gives the same block.
        fuzz::check(engines::tableBlockBytes(unchecked) == engines::tableBlockBytes(checked),
                    "the block depends on the checks");
        if (checked)
            checkBlock(checked, rows, buffer, blockSize, plainRows);
    } else if (unchecked) {
        // Malformed rows compile into rows that never match; the others still apply.
        checkBlock(unchecked, rows, buffer, blockSize, false);
    }
    platform::movableFree(checked);
    platform::movableFree(unchecked);
    return 0;
}
