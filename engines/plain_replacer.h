// The plain-file replacer: changes the bytes of any file that is not an office document. It finds a text
// and replaces or deletes it, inserts a text after, before or between occurrences, at the head or foot
// of the file, or only counts the occurrences; in mode 256 it applies a whole batch table (the batch
// engine, batch_engine.cpp). Files are read in blocks of 0x40000 bytes in one pass; matches may span
// blocks; the result goes to a temporary file that takes the file's place only when something changed.
//
// Matching: the find text of the search block, compared byte by byte; not case-sensitive means any case
// form of each of its UTF-8 characters, whatever its byte length (byte_pattern.h), or, for texts in the
// DOS code page, the byte of the lower- or the upper-case copy. A match is always a run of whole
// characters of the file, so the bytes around it stay as they are.
// Whole word: a match must begin after a delimiter (or at the file start) and be followed by a
// delimiter (or the file end); the delimiter stays in the output and may begin the next match. Every
// match ends all attempts that began inside it, so matches never overlap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engines/base_replacer.h"
#include "engines/batch_engine.h"
#include "engines/byte_pattern.h"
#include "platform/movable_memory.h"

namespace wux::engines {

// The read block of every plain-file pass.
inline constexpr std::size_t kPlainBlockSize = 0x40000;

class TTextReplacer : public TBaseReplacer
{
public:
    // Mode: the run's TypeOfReplacing; Block: its ReplacerStructure (mode 256: its TableBlock), owned by
    // the caller; Backup: keep ".bak" copies.
    TTextReplacer(platform::WuxThread* Owner, std::int32_t Mode, platform::MovableHandle Block, bool Backup);

    std::int32_t mode() const { return mode_; }
    platform::MovableHandle block() const { return block_; }
    // Mode 32: the length of the first part of the find text.
    std::int32_t sizeOfFirstPart() const { return sizeOfFirstPart_; }
    void setSizeOfFirstPart(std::int32_t size) { sizeOfFirstPart_ = size; }
    // The read block and output flush size (kPlainBlockSize; smaller values serve tests).
    void setBlockSize(std::size_t size) { blockSize_ = size < 1 ? 1 : size; }
    std::size_t blockSize() const { return blockSize_; }
    // The search block's texts are in the DOS code page (one byte per character): a search that ignores
    // case takes each byte in its two copies instead of every case form of the UTF-8 characters.
    bool oemTexts() const { return oemTexts_; }
    void setOemTexts(bool oem) { oemTexts_ = oem; }

    // Modes 1 (replace), 2 (delete), 8 (insert after).
    TReplaceResult ReplaceInFile(std::string_view Path);
    // Modes 4 (insert at head), 64 (insert at foot).
    TReplaceResult InsertHeadFoot(std::string_view Path);
    // Modes 16 (insert before), 32 (insert between).
    TReplaceResult InsertBeforeBetween(std::string_view Path);
    // Mode 128: counts the matches (as a replace run would find them); no temporary file.
    TReplaceResult FindInFile(std::string_view Path);
    // Mode 256: applies a table block of RowCount rows to the file (batch_engine.cpp). The compiled
    // table is kept for the next call: as long as the block holds the same bytes (a run hands the same
    // table for every file) it is not compiled again.
    TReplaceResult ReplaceTableInFile(std::string_view Path, platform::MovableHandle Table,
                                      std::int32_t RowCount);
    // The table's rows applied to a text (plain characters only; every winner is replaced).
    std::string ReplaceTableInString(std::string_view Text, platform::MovableHandle Table,
                                     std::int32_t RowCount);

    // The operation that belongs to the replacer's mode (1, 2, 8 / 4, 64 / 16, 32 / 128); 1 for any
    // other mode (mode 256 goes through ReplaceTableInFile, which takes the row count).
    TReplaceResult processFile(std::string_view Path);

private:
    TReplaceResult streamPass(std::string_view Path, bool changing);
    // The find text of a search block compiled for matching.
    BytePattern findPattern(const ReplacerStructureView& structure) const;

    // The first rowCount rows of a locked table block, compiled (and their work space written) unless
    // the block holds the same bytes as after the last compilation; null when the block ends before
    // its rows do.
    const BatchTable* compiledTableFor(std::span<std::uint8_t> block, std::int32_t rowCount);

    std::int32_t mode_;
    platform::MovableHandle block_;
    // The last compiled table, the block's bytes after its work space was written, and the row count.
    std::optional<BatchTable> compiledTable_;
    std::vector<std::uint8_t> compiledBytes_;
    std::int32_t compiledRows_ = -1;
    std::int32_t sizeOfFirstPart_ = 0;
    bool oemTexts_ = false;
    std::size_t blockSize_ = kPlainBlockSize;
};

} // namespace wux::engines
