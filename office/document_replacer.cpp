#include "office/document_replacer.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "core/file_tests.h"
#include "engines/batch_table.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace wux::office {

namespace {

// CP437 bytes 0x80-0xFF.
constexpr std::array<char16_t, 128> kCp437High = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

std::string withoutLineFeeds(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '\n')
            out.push_back(c);
    return out;
}

// A folder counts as not existing.
bool isExistingFile(std::string_view path)
{
    if (!core::FileExists(path))
        return false;
    std::uint32_t attributes = 0;
    return platform::getAttributes(path, attributes) == platform::kErrorSuccess &&
           (attributes & platform::kAttrDirectory) == 0;
}

bool isSearchMode(std::int32_t mode)
{
    switch (mode) {
    case engines::kModeReplace:
    case engines::kModeDelete:
    case engines::kModeInsertAfter:
    case engines::kModeInsertBefore:
    case engines::kModeInsertBetween:
    case engines::kModeJustFind:
        return true;
    default:
        return false;
    }
}

} // namespace

std::u16string cp437ToUtf16(std::string_view bytes)
{
    std::u16string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.push_back(b < 0x80 ? static_cast<char16_t>(b) : kCp437High[b - 0x80]);
    }
    return out;
}

TDocumentReplacer::TDocumentReplacer(platform::WuxThread* Owner, std::int32_t TypeOfReplacing,
                                     platform::MovableHandle Block, std::int32_t sizeOfFirstPart)
    : engines::TBaseReplacer(Owner), replaceMode_(TypeOfReplacing), block_(Block),
      sizeOfFirstPart_(sizeOfFirstPart)
{
}

void TDocumentReplacer::insertHeadFoot(const std::u16string&) {}

bool TDocumentReplacer::readSearchBlock(DocumentSearch& search, bool splitBetween) const
{
    search = DocumentSearch{};
    search.mode = replaceMode_;
    const std::optional<engines::ReplacerStructureView> view = engines::readReplacerStructureBlock(block_);
    if (!view)
        return false;
    search.flags = (view->caseSensitive ? 1u : 0u) | (view->wholeWord ? 4u : 0u);
    // The split is made on the bytes as the window wrote them, before the LF bytes are left out.
    std::string_view find = view->find;
    std::string_view ending;
    if (splitBetween && replaceMode_ == engines::kModeInsertBetween) {
        const std::size_t first =
            std::min(find.size(), static_cast<std::size_t>(std::max<std::int32_t>(sizeOfFirstPart_, 0)));
        ending = find.substr(first);
        find = find.substr(0, first);
    }
    auto widen = [this](std::string_view bytes) {
        const std::string text = withoutLineFeeds(bytes);
        return oemTexts_ ? cp437ToUtf16(text) : platform::utf8ToUtf16(text);
    };
    search.find = widen(find);
    search.ending = widen(ending);
    search.replace = widen(view->replace);
    return true;
}

bool TDocumentReplacer::readTableRow(std::int32_t Index, DocumentSearch& search) const
{
    search = DocumentSearch{};
    if (!ReadTableRow(block_, Index, search.flags, search.replace, search.find))
        return false;
    std::uint32_t insertMode = kRowReplace;
    {
        platform::MovableLock lock(block_);
        if (!lock)
            return false;
        const std::optional<engines::TableRow> row =
            engines::tableRowAt({lock.as<const std::uint8_t>(), platform::movableSize(block_)}, Index);
        if (!row)
            return false;
        insertMode = row->insertMode;
    }
    // A row's insert code inserts beside the hit; it never deletes the found text.
    switch (insertMode) {
    case kRowInsertBefore:
        search.mode = engines::kModeInsertBefore;
        break;
    case kRowInsertAfter:
        search.mode = engines::kModeInsertAfter;
        break;
    default:
        search.mode = engines::kModeBatchTable;
        break;
    }
    return true;
}

engines::TReplaceResult TDocumentReplacer::ProcessFile(std::string_view Path)
{
    stage_ = kStageConnect;
    // Nothing of the previous file is left for the thread to show.
    matchCount_ = 0;
    fileSize_ = -1;

    if (!hasApplication() && !connectFailed_) {
        bool connected = false;
        try {
            connected = Connect();
        } catch (...) {
            connected = false;
        }
        connectFailed_ = !connected || !hasApplication();
    }
    if (!hasApplication())
        return engines::kReplaceFailed;

    stage_ = kStageTestFile;
    fileSize_ = core::GetFileSize64(Path);
    if (!isExistingFile(Path))
        return engines::kReplaceFailed;
    if (!core::CanOpenExclusive(Path))
        return engines::kReplaceDocumentLocked;

    engines::TReplaceResult result = engines::kReplaceFailed;
    bool opened = false;
    bool saved = false;
    std::string savedName;
    try {
        stage_ = kStagePassed;
        stage_ = kStageCheckApplication;
        // A user's application with documents is left alone: the run works in one of its own.
        if (applicationDocumentCount() != 0)
            renewApplication();
        stage_ = kStageOpen;
        openDocument(Path);
        opened = true;
        stage_ = kStageProtection;
        if (documentRefused()) {
            result = engines::kReplaceDocumentLocked;
        } else {
            result = engines::kReplaceFound;
            if (replaceMode_ != engines::kModeBatchTable && cached_.find.empty()) {
                DocumentSearch search;
                if (!readSearchBlock(search, supportsMode(engines::kModeInsertBetween)))
                    throw std::runtime_error("The search block cannot be read.");
                search.flags |= optionBits();
                cached_ = std::move(search);
            }
            result = searchDocument();
            if (result == engines::kReplaceFound && replaceMode_ != engines::kModeJustFind) {
                try {
                    if (applicationMatchCount() == 0) {
                        result = engines::kReplaceNothingFound;
                    } else {
                        stage_ = kStageBackup;
                        if (!CreateBackUpCopy(Path, fileSize_))
                            result = engines::kReplaceFailed;
                        if (result == engines::kReplaceFound) {
                            stage_ = kStageSave;
                            if (!outputFolder_.empty()) {
                                std::string folder, name;
                                platform::splitWindowsPath(Path, folder, name);
                                savedName = outputFolder_;
                                if (savedName.back() != '\\')
                                    savedName += '\\';
                                savedName += name;
                            } else {
                                savedName = std::string(Path);
                            }
                            try {
                                saveDocument(Path, savedName);
                            } catch (...) {
                                // The document keeps its content: its backup goes as well.
                                DiscardBackUpCopy(Path);
                                throw;
                            }
                            saved = true;
                        }
                    }
                } catch (...) {
                    result = engines::kReplaceFailed;
                }
            } else if (result == engines::kReplaceFound && applicationMatchCount() == 0) {
                result = engines::kReplaceNothingFound;
            }
        }
    } catch (...) {
        result = engines::kReplaceFailed;
    }

    try {
        matchCount_ = opened ? applicationMatchCount() : 0;
    } catch (...) {
        matchCount_ = 0;
    }
    try {
        closeDocument();
    } catch (...) {
    }
    if (saved && result == engines::kReplaceFound && savedName != Path)
        platform::deleteFile(Path);
    return result;
}

engines::TReplaceResult TDocumentReplacer::searchDocument()
{
    stage_ = kStageSearch;
    try {
        if (replaceMode_ != engines::kModeBatchTable) {
            if (cached_.find.empty())
                return engines::kReplaceFound;
            const bool insertion =
                replaceMode_ == engines::kModeInsertHead || replaceMode_ == engines::kModeInsertFoot;
            if (!(insertion || isSearchMode(replaceMode_)) || !supportsMode(replaceMode_))
                return engines::kReplaceModeNotSupported;
            if (insertion)
                insertHeadFoot(cached_.find);
            else
                searchAndChange(cached_);
            return engines::kReplaceFound;
        }
        for (std::int32_t i = 1; i <= rowCount_; ++i) {
            checkStopRequest(owner());
            DocumentSearch row;
            if (!readTableRow(i, row))
                throw std::runtime_error("The table block ends before its last row.");
            row.flags |= optionBits();
            if (row.find.empty())
                continue;
            searchAndChange(row);
        }
        return engines::kReplaceFound;
    } catch (...) {
        return engines::kReplaceFailed;
    }
}

} // namespace wux::office
