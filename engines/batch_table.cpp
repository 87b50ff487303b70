#include "engines/batch_table.h"

#include <algorithm>
#include <limits>
#include <mutex>
#include <new>
#include <stdexcept>

#include "core/mask_list.h"
#include "platform/files.h"
#include "platform/text.h"

namespace wux::engines {

namespace {

// ---- Flag texts ----

std::string& yesText()
{
    static std::string text = "Y";
    return text;
}
std::string& noText()
{
    static std::string text = "N";
    return text;
}

// ---- Spreadsheet loader ----

std::mutex& loaderMutex()
{
    static std::mutex mutex;
    return mutex;
}
SpreadsheetTableLoader& spreadsheetLoader()
{
    static SpreadsheetTableLoader loader;
    return loader;
}

void clearLists(TableCells& Flags, TableCells& Finds, TableCells& Replaces)
{
    Flags.clear();
    Finds.clear();
    Replaces.clear();
}

void requireSameLength(const TableCells& Flags, const TableCells& Finds, const TableCells& Replaces)
{
    if (Flags.size() != Finds.size() || Finds.size() != Replaces.size())
        throw std::invalid_argument("batch table: the three cell lists differ in length");
}

// ---- Table file ----

// Separator of find and replace inside a line being read (no byte below 32 survives the reader).
constexpr char kSeparatorMark = '\x01';

// Reads the next non-empty line from data at pos. Returns false on a malformed line; on true, line
// holds the line's characters with separator marks (empty when the data ended with empty lines).
bool readTableLine(std::string_view data, std::size_t& pos, std::string& line, bool& caseSensitive)
{
    const std::size_t n = data.size();
    line.clear();
    while (pos < n) {
        caseSensitive = false;
        while (pos < n && data[pos] == '+') {
            caseSensitive = !caseSensitive;
            if (!caseSensitive)
                line += '+';
            ++pos;
        }
        bool lineEnded = false;
        while (pos < n && !lineEnded) {
            const char c = data[pos];
            if (c == '\r') {
                if (pos + 1 >= n || data[pos + 1] != '\n')
                    return false;
                pos += 2;
                lineEnded = true;
            } else if (c == '+') {
                if (pos + 1 >= n || data[pos + 1] != '+')
                    return false;
                line += '+';
                pos += 2;
            } else if (c == '=') {
                if (pos + 1 >= n) {
                    ++pos;
                    lineEnded = true;
                } else if (data[pos + 1] == '=') {
                    line += '=';
                    pos += 2;
                } else {
                    line += kSeparatorMark;
                    ++pos;
                }
            } else if (static_cast<unsigned char>(c) < 32) {
                return false;
            } else {
                line += c;
                ++pos;
            }
        }
        if (!line.empty())
            break;
    }
    return true;
}

// Appends a cell to a table file line (nothing for an empty cell).
void writeTableCell(std::string& out, std::string_view text, bool replaceCell, bool caseSensitive)
{
    if (text.empty())
        return;
    if (replaceCell)
        out += '=';
    else if (caseSensitive)
        out += '+';
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (replaceCell && i == 0 && c == '=')
            out += "#61#";
        else if (c == '+')
            out += "++";
        else if (c == '=')
            out += "==";
        else
            out += c;
    }
}

std::size_t tableCellSize(std::string_view text, bool replaceCell, bool caseSensitive)
{
    if (text.empty())
        return 0;
    std::size_t size = (replaceCell || caseSensitive) ? 1 : 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (replaceCell && i == 0 && c == '=')
            size += 4;
        else if (c == '+' || c == '=')
            size += 2;
        else
            size += 1;
    }
    return size;
}

bool holdsControlByte(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 32; });
}

// ---- Cell syntax ----

bool endsCode(char c)
{
    return c == ',' || c == '#';
}

// Values of byte codes saturate here, far above 255, so that long digit runs never overflow.
constexpr std::uint32_t kCodeValueLimit = 0x10000;

// Reads a decimal ("12") or hexadecimal ("x0D") byte code starting at i, up to its "," or "#".
// On success i is the position of that "," or "#" and value the byte; else the error position.
std::int32_t readByteCode(std::string_view cell, std::size_t& i, std::uint8_t& value)
{
    const std::size_t n = cell.size();
    std::uint32_t v = 0;
    if (platform::isAsciiDigit(cell[i])) {
        for (; i < n && !endsCode(cell[i]); ++i) {
            if (!platform::isAsciiDigit(cell[i]))
                return static_cast<std::int32_t>(i);
            v = std::min(kCodeValueLimit, v * 10 + static_cast<std::uint32_t>(cell[i] - '0'));
        }
    } else {
        ++i; // "x" or "X"
        const std::size_t digitsStart = i;
        for (; i < n && !endsCode(cell[i]); ++i) {
            const int h = platform::hexDigitValue(cell[i]);
            if (h < 0)
                return static_cast<std::int32_t>(i);
            v = std::min(kCodeValueLimit, v * 16 + static_cast<std::uint32_t>(h));
        }
        if (i < n && i == digitsStart)
            return static_cast<std::int32_t>(i); // "x" without a digit
    }
    if (i >= n)
        return static_cast<std::int32_t>(n);
    if (v > 255)
        return static_cast<std::int32_t>(i);
    value = static_cast<std::uint8_t>(v);
    return -1;
}

// ---- Block building ----

std::size_t rowSizeAt(const std::uint8_t* head)
{
    return kTableRowHeadSize + loadLe32(head + kTableRowFindLengthOffset) +
           loadLe32(head + kTableRowReplaceLengthOffset);
}

// One row in its compiled form.
struct EncodedRow
{
    bool caseSensitive = false;
    std::int32_t mode = kReplaceMatch;
    std::string find;
    std::string replace;

    std::size_t size() const { return kTableRowHeadSize + find.size() + replace.size(); }
};

EncodedRow encodeRow(std::string_view find, std::string_view replace, bool caseSensitive)
{
    EncodedRow row;
    row.caseSensitive = caseSensitive;
    row.find = std::string(find);
    std::int32_t length = 0;
    CheckFindText(find, length, caseSensitive ? nullptr : &row.find);
    CheckReplaceText(replace, length, &row.replace, row.mode);
    return row;
}

// Writes a row at head (room for row.size() bytes).
void putRow(std::uint8_t* head, const EncodedRow& row)
{
    head[kTableRowCaseOffset] = row.caseSensitive ? 1 : 0;
    storeLe32(head + kTableRowFindLengthOffset, static_cast<std::uint32_t>(row.find.size()));
    storeLe32(head + kTableRowReplaceLengthOffset, static_cast<std::uint32_t>(row.replace.size()));
    storeLe32(head + kTableRowInsertModeOffset, static_cast<std::uint32_t>(row.mode));
    std::copy(row.find.begin(), row.find.end(), head + kTableRowHeadSize);
    std::copy(row.replace.begin(), row.replace.end(), head + kTableRowHeadSize + row.find.size());
}

// Builds the block of the rows with a find text. stopAtEmptyFind: an empty find cell gives no block.
void buildBlock(TableBlock& Block, const TableCells& Flags, const TableCells& Finds,
                const TableCells& Replaces, bool stopAtEmptyFind)
{
    Block = TableBlock();
    std::size_t total = 0;
    for (std::size_t i = 0; i < Finds.size(); ++i) {
        if (stopAtEmptyFind && Finds[i].empty())
            return;
        total += Finds[i].size() + Replaces[i].size();
    }
    if (total == 0)
        return;
    std::vector<EncodedRow> rows;
    rows.reserve(Finds.size());
    std::size_t needed = 0;
    for (std::size_t i = 0; i < Finds.size(); ++i) {
        if (Finds[i].empty())
            continue;
        rows.push_back(encodeRow(Finds[i], Replaces[i], Flags[i] == yesText()));
        needed += rows.back().size();
    }
    if (rows.empty())
        return;
    // The block has the size of the cells as typed; a replace cell whose markers grow in the converting
    // (as "#C,C#") makes it larger, so nothing is ever written past its end.
    const std::size_t size = std::max(Finds.size() * kTableRowHeadSize + total, needed);
    const TableBlock block = platform::movableAlloc(size, platform::MovableFlags::ZeroInit);
    if (!block)
        throw std::bad_alloc();
    {
        platform::MovableLock lock(block);
        std::uint8_t* data = lock.as<std::uint8_t>();
        for (const EncodedRow& row : rows) {
            putRow(data, row);
            data += row.size();
        }
    }
    Block = block;
}

} // namespace

// ---- Flag texts ----

const std::string& YesText()
{
    return yesText();
}

const std::string& NoText()
{
    return noText();
}

void SetYesNoTexts(std::string_view Yes, std::string_view No)
{
    yesText() = std::string(Yes);
    noText() = std::string(No);
}

// ---- Table files ----

bool parseTableFile(std::string_view bytes, TableCells& Flags, TableCells& Finds, TableCells& Replaces)
{
    clearLists(Flags, Finds, Replaces);
    std::size_t pos = 0;
    std::string line;
    while (pos < bytes.size()) {
        bool caseSensitive = false;
        if (!readTableLine(bytes, pos, line, caseSensitive)) {
            clearLists(Flags, Finds, Replaces);
            return false;
        }
        const std::size_t separator = line.find(kSeparatorMark);
        if (separator != std::string::npos && line.find(kSeparatorMark, separator + 1) != std::string::npos) {
            clearLists(Flags, Finds, Replaces);
            return false;
        }
        std::string find = line.substr(0, separator);
        if (find.empty())
            continue;
        Flags.push_back(caseSensitive ? yesText() : noText());
        Finds.push_back(std::move(find));
        Replaces.push_back(separator == std::string::npos ? std::string() : line.substr(separator + 1));
    }
    return !Flags.empty();
}

std::optional<std::string> serializeTable(const TableCells& Flags, const TableCells& Finds,
                                          const TableCells& Replaces)
{
    requireSameLength(Flags, Finds, Replaces);
    if (Finds.empty())
        return std::nullopt;
    std::size_t size = 0;
    for (std::size_t i = 0; i < Finds.size(); ++i) {
        if (holdsControlByte(Finds[i]) || holdsControlByte(Replaces[i]))
            return std::nullopt;
        const bool caseSensitive = Flags[i] == yesText();
        size += (i > 0 ? 2 : 0) + tableCellSize(Finds[i], false, caseSensitive) +
                tableCellSize(Replaces[i], true, false);
    }
    std::string out;
    out.reserve(size);
    for (std::size_t i = 0; i < Finds.size(); ++i) {
        if (i > 0)
            out += "\r\n";
        writeTableCell(out, Finds[i], false, Flags[i] == yesText());
        writeTableCell(out, Replaces[i], true, false);
    }
    return out;
}

bool LoadTableFile(std::string_view FileName, TableCells& Flags, TableCells& Finds, TableCells& Replaces)
{
    std::string bytes;
    if (platform::readWholeFile(FileName, bytes) != platform::kErrorSuccess) {
        clearLists(Flags, Finds, Replaces);
        return false;
    }
    return parseTableFile(bytes, Flags, Finds, Replaces);
}

bool SaveTable(std::string_view FileName, const TableCells& Flags, const TableCells& Finds,
               const TableCells& Replaces)
{
    const std::optional<std::string> bytes = serializeTable(Flags, Finds, Replaces);
    if (!bytes)
        return false;
    // A read-only table is overwritten, as the user chose it in the save dialog; it is read-only again
    // when the new content cannot be put in place.
    std::uint32_t attributes = 0;
    const bool readOnly = platform::getAttributes(FileName, attributes) == platform::kErrorSuccess &&
                          (attributes & platform::kAttrDirectory) == 0 &&
                          (attributes & platform::kAttrReadOnly) != 0;
    if (readOnly && platform::setAttributes(FileName, platform::kAttrNormal) != platform::kErrorSuccess)
        return false;
    if (platform::atomicRewrite(FileName, *bytes) != platform::kErrorSuccess) {
        if (readOnly)
            platform::setAttributes(FileName, attributes);
        return false;
    }
    return true;
}

bool isSpreadsheetTableName(std::string_view FileName)
{
    static const core::TMaskList masks = [] {
        core::TMaskList list;
        core::ParseMaskList("*.xls;*.csv;*.xlsx", list);
        return list;
    }();
    return core::MatchMaskList(FileName, masks, false);
}

void setSpreadsheetTableLoader(SpreadsheetTableLoader loader)
{
    std::lock_guard lock(loaderMutex());
    spreadsheetLoader() = std::move(loader);
}

bool LoadTableFromSpreadsheet(std::string_view FileName, TableCells& Flags, TableCells& Finds,
                              TableCells& Replaces)
{
    SpreadsheetTableLoader loader;
    {
        std::lock_guard lock(loaderMutex());
        loader = spreadsheetLoader();
    }
    clearLists(Flags, Finds, Replaces);
    if (!loader)
        return false;
    return loader(FileName, Flags, Finds, Replaces);
}

bool LoadTable(std::string_view FileName, TableCells& Flags, TableCells& Finds, TableCells& Replaces)
{
    const bool ok = isSpreadsheetTableName(FileName)
                        ? LoadTableFromSpreadsheet(FileName, Flags, Finds, Replaces)
                        : LoadTableFile(FileName, Flags, Finds, Replaces);
    if (ok && (Flags.size() != Finds.size() || Finds.size() != Replaces.size()))
        throw std::logic_error("batch table: the spreadsheet loader gave lists of different lengths");
    if (!ok)
        clearLists(Flags, Finds, Replaces);
    return ok;
}

// ---- Cell checks ----

std::int32_t CheckFindText(std::string_view Cell, std::int32_t& Length, std::string* Buffer)
{
    Length = 0;
    const std::size_t n = Cell.size();
    if (n == 0)
        return 0;
    bool gapSeen = false;
    // True once an item that takes a byte stands before the current position (a run or a repetition
    // code takes none of its own).
    bool byteSeen = false;
    std::size_t i = 0;
    while (i < n) {
        const char c = Cell[i];
        if (c == '*') {
            if (i + 1 >= n)
                return static_cast<std::int32_t>(i); // "*" as the last character
            if (Cell[i + 1] == '*') {
                byteSeen = true;
                ++Length;
                i += 2;
                continue;
            }
            if (gapSeen)
                return static_cast<std::int32_t>(i); // a second repetition code
            std::size_t j = i + 1;
            std::uint64_t value = 0;
            for (;; ++j) {
                if (j >= n)
                    return static_cast<std::int32_t>(n);
                if (Cell[j] == '*')
                    break;
                if (!platform::isAsciiDigit(Cell[j]))
                    return static_cast<std::int32_t>(j);
                value = value * 10 + static_cast<std::uint64_t>(Cell[j] - '0');
                if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
                    return static_cast<std::int32_t>(j);
            }
            if (value == 0)
                return static_cast<std::int32_t>(j); // the minimum must be at least 1
            if (j + 1 >= n)
                return static_cast<std::int32_t>(j); // a repetition code must not end the cell
            gapSeen = true;
            ++Length;
            i = j + 1;
            continue;
        }
        if (c == '#') {
            if (i + 1 >= n)
                return static_cast<std::int32_t>(i);
            if (Cell[i + 1] == '#') {
                byteSeen = true;
                ++Length;
                i += 2;
                continue;
            }
            ++i;
            for (;;) {
                if (i >= n)
                    return static_cast<std::int32_t>(n);
                const char k = Cell[i];
                if (platform::isAsciiDigit(k) || k == 'x' || k == 'X') {
                    std::uint8_t value = 0;
                    const std::int32_t error = readByteCode(Cell, i, value);
                    if (error >= 0)
                        return error;
                    byteSeen = true;
                } else if (k == '?') {
                    if (++i >= n)
                        return static_cast<std::int32_t>(n);
                    if (!endsCode(Cell[i]))
                        return static_cast<std::int32_t>(i);
                    byteSeen = true;
                } else if (k == '*' || k == 'B') {
                    // A barrier that no byte leads up to (at the start, or behind only runs and the
                    // repetition code) would stop every match at every byte: the engine never uses it.
                    if (k == 'B' && !byteSeen)
                        return static_cast<std::int32_t>(i);
                    if (++i >= n)
                        return static_cast<std::int32_t>(n);
                    if (Cell[i] != '#')
                        return static_cast<std::int32_t>(i);
                } else if (k == '[') {
                    std::size_t j = i + 1;
                    if (j >= n)
                        return static_cast<std::int32_t>(n);
                    if (Cell[j] == ']')
                        return static_cast<std::int32_t>(j); // empty class
                    while (j < n && Cell[j] != ']')
                        ++j;
                    if (j >= n)
                        return static_cast<std::int32_t>(n);
                    i = j + 1;
                    if (i >= n)
                        return static_cast<std::int32_t>(n);
                    if (!endsCode(Cell[i]))
                        return static_cast<std::int32_t>(i);
                    byteSeen = true;
                } else {
                    return static_cast<std::int32_t>(i);
                }
                ++Length;
                if (Cell[i++] == '#')
                    break;
            }
            continue;
        }
        if (Buffer != nullptr && i < Buffer->size())
            (*Buffer)[i] = platform::byteToLower(c);
        byteSeen = true;
        ++Length;
        ++i;
    }
    return -1;
}

std::int32_t CheckReplaceText(std::string_view Cell, std::int32_t& Length, std::string* Destination,
                              std::int32_t& Mode)
{
    Length = 0;
    Mode = kReplaceMatch;
    const std::size_t n = Cell.size();
    std::size_t i = 0;
    std::int32_t items = 0;
    std::int32_t bytes = 0;
    auto put = [&](std::string_view text) {
        ++items;
        bytes += static_cast<std::int32_t>(text.size());
        if (Destination != nullptr)
            Destination->append(text);
    };
    auto finish = [&](std::int32_t result) {
        Length = Destination != nullptr ? bytes : items;
        return result;
    };

    if (n >= 2 && Cell[0] == '#' && (Cell[1] == 'U' || Cell[1] == 'u' || Cell[1] == 'D' || Cell[1] == 'd')) {
        if (n < 3 || Cell[2] != '#')
            return finish(2);
        Mode = (Cell[1] == 'U' || Cell[1] == 'u') ? kInsertBefore : kInsertAfter;
        i = 3;
    }
    while (i < n) {
        const char c = Cell[i];
        if (c != '#') {
            put(std::string_view(&Cell[i], 1));
            ++i;
            continue;
        }
        if (i + 1 >= n)
            return finish(static_cast<std::int32_t>(i));
        if (Cell[i + 1] == '#') {
            put("#");
            i += 2;
            continue;
        }
        ++i;
        for (;;) {
            if (i >= n)
                return finish(static_cast<std::int32_t>(n));
            const char k = Cell[i];
            if (platform::isAsciiDigit(k) || k == 'x' || k == 'X') {
                std::uint8_t value = 0;
                const std::int32_t error = readByteCode(Cell, i, value);
                if (error >= 0)
                    return finish(error);
                const char byte = static_cast<char>(value);
                put(std::string_view(&byte, 1));
            } else if (k == 'C' || k == 'c') {
                if (++i >= n)
                    return finish(static_cast<std::int32_t>(n));
                if (!endsCode(Cell[i]))
                    return finish(static_cast<std::int32_t>(i));
                put("#C#");
            } else if (k == 'F' || k == 'f') {
                if (++i >= n)
                    return finish(static_cast<std::int32_t>(n));
                const char part = platform::byteToUpper(Cell[i]);
                if (part != 'N' && part != 'E' && part != 'P')
                    return finish(static_cast<std::int32_t>(i));
                if (++i >= n)
                    return finish(static_cast<std::int32_t>(n));
                if (!endsCode(Cell[i]))
                    return finish(static_cast<std::int32_t>(i));
                const char marker[] = {'#', 'F', part, '#'};
                put(std::string_view(marker, 4));
            } else {
                return finish(static_cast<std::int32_t>(i));
            }
            if (Cell[i++] == '#')
                break;
        }
    }
    return finish(-1);
}

// ---- Compiled table block ----

std::optional<TableRow> tableRowAt(std::span<const std::uint8_t> Bytes, std::int32_t Index)
{
    if (Index < 1)
        return std::nullopt;
    std::size_t offset = 0;
    for (std::int32_t k = 1;; ++k) {
        if (Bytes.size() - offset < kTableRowHeadSize)
            return std::nullopt;
        const std::uint8_t* head = Bytes.data() + offset;
        const std::size_t size = rowSizeAt(head);
        if (Bytes.size() - offset < size)
            return std::nullopt;
        if (k == Index) {
            TableRow row;
            row.headOffset = offset;
            row.caseSensitive = head[kTableRowCaseOffset] != 0;
            row.insertMode = loadLe32(head + kTableRowInsertModeOffset);
            const auto* text = reinterpret_cast<const char*>(head + kTableRowHeadSize);
            const std::uint32_t f = loadLe32(head + kTableRowFindLengthOffset);
            row.find = std::string_view(text, f);
            row.replace = std::string_view(text + f, loadLe32(head + kTableRowReplaceLengthOffset));
            return row;
        }
        offset += size;
    }
}

std::vector<std::uint8_t> tableBlockBytes(TableBlock Block)
{
    platform::MovableLock lock(Block);
    if (!lock)
        return {};
    const auto* data = lock.as<const std::uint8_t>();
    return std::vector<std::uint8_t>(data, data + platform::movableSize(Block));
}

std::int32_t WriteTableRow(std::string_view Find, std::string_view Replace, TableBlock Block,
                           bool CaseSensitive, std::int32_t RowIndex)
{
    if (Find.empty())
        return RowIndex;
    const EncodedRow row = encodeRow(Find, Replace, CaseSensitive);
    std::size_t offset = 0;
    {
        platform::MovableLock lock(Block);
        if (!lock)
            throw std::invalid_argument("WriteTableRow: no block");
        const std::size_t size = platform::movableSize(Block);
        const auto* data = lock.as<const std::uint8_t>();
        for (std::int32_t k = 0; k < RowIndex; ++k) {
            if (size - offset < kTableRowHeadSize || size - offset < rowSizeAt(data + offset))
                throw std::out_of_range("WriteTableRow: the block holds fewer rows than RowIndex");
            offset += rowSizeAt(data + offset);
        }
    }
    if (platform::movableSize(Block) < offset + row.size() &&
        !platform::movableReAlloc(Block, offset + row.size(), platform::MovableFlags::ZeroInit))
        throw std::bad_alloc();
    platform::MovableLock lock(Block);
    putRow(lock.as<std::uint8_t>() + offset, row);
    return RowIndex + 1;
}

std::int32_t CheckAndBuildTableBlock(TableBlock& Block, const TableCells& Flags, const TableCells& Finds,
                                     const TableCells& Replaces)
{
    requireSameLength(Flags, Finds, Replaces);
    Block = TableBlock();
    for (std::size_t i = 0; i < Finds.size(); ++i) {
        std::int32_t length = 0;
        std::int32_t mode = 0;
        if (CheckFindText(Finds[i], length) != -1 ||
            CheckReplaceText(Replaces[i], length, nullptr, mode) != -1)
            return static_cast<std::int32_t>(i);
    }
    buildBlock(Block, Flags, Finds, Replaces, false);
    return -1;
}

void BuildTableBlock(TableBlock& Block, const TableCells& Flags, const TableCells& Finds,
                     const TableCells& Replaces)
{
    requireSameLength(Flags, Finds, Replaces);
    buildBlock(Block, Flags, Finds, Replaces, true);
}

} // namespace wux::engines
