// The frame of every document replacer: the replacers that change documents through an office
// application's automation server instead of byte by byte. ProcessFile runs one document through the
// stages below and leaves the file size, the match count and the last stage reached for the run's
// thread; a descendant supplies the application steps (connect, count documents, open, protection,
// search and change, save, close).
//
// Stages: 99 connecting, 1 testing the file, 3 checking the application for open documents (2 passes
// at once), 4 opening, 5 protection test, 6 search and change, 7 backup copy, 8 saving.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "engines/base_replacer.h"
#include "platform/movable_memory.h"
#include "platform/thread.h"

namespace wux::office {

// Raised out of a search loop when the run's thread has been asked to stop (its message is empty).
class EOperationStopped : public std::runtime_error
{
public:
    EOperationStopped() : std::runtime_error("") {}
};

// Raises EOperationStopped when the run's thread (none: never) has been asked to stop. The loops over
// a document's parts, sheets, shapes and hits call it once a step.
inline void checkStopRequest(const platform::WuxThread* owner)
{
    if (owner != nullptr && owner->Terminated())
        throw EOperationStopped();
}

// Stages of ProcessFile.
enum DocumentStage : std::int32_t
{
    kStageTestFile = 1,
    kStagePassed = 2,
    kStageCheckApplication = 3,
    kStageOpen = 4,
    kStageProtection = 5,
    kStageSearch = 6,
    kStageBackup = 7,
    kStageSave = 8,
    kStageConnect = 99,
};

// Insert modes of a batch-table row.
enum TableRowInsertMode : std::uint32_t
{
    kRowInsertBefore = 1, // "#U#"
    kRowInsertAfter = 2,  // "#D#"
    kRowReplace = 3,
};

// The texts of one search: from the search block (modes 1-128) or from a table row (mode 256).
struct DocumentSearch
{
    std::u16string find;
    std::u16string ending; // the ending part of an insert-between search, else empty
    std::u16string replace;
    std::uint32_t flags = 0; // 1 case-sensitive, 4 whole word, plus the application's option bits
    std::int32_t mode = 0;   // the replace mode this search applies
};

class TDocumentReplacer : public engines::TBaseReplacer
{
public:
    // Block: the search block (modes 1-128) or the table block (mode 256), not owned.
    TDocumentReplacer(platform::WuxThread* Owner, std::int32_t TypeOfReplacing, platform::MovableHandle Block,
                      std::int32_t sizeOfFirstPart = 0);
    ~TDocumentReplacer() override = default;

    // One document; a TReplaceResult code. The stage, file size and match count are left for the thread.
    virtual engines::TReplaceResult ProcessFile(std::string_view Path);

    std::int32_t stage() const { return stage_; }
    std::int32_t replaceMode() const { return replaceMode_; }
    std::int32_t sizeOfFirstPart() const { return sizeOfFirstPart_; }
    bool connectFailed() const { return connectFailed_; }
    // Rows of the table block (mode 256); 1 at creation.
    std::int32_t rowCount() const { return rowCount_; }
    void setRowCount(std::int32_t rows) { rowCount_ = rows; }
    // The batch thread hands over a rebuilt table block for each file.
    platform::MovableHandle block() const { return block_; }
    void setBlock(platform::MovableHandle block) { block_ = block; }
    // Set when the search block's texts were converted to the DOS code page (the Replacer's DOS
    // charset option): they are converted back before they reach a document.
    bool oemTexts() const { return oemTexts_; }
    void setOemTexts(bool on) { oemTexts_ = on; }

    // The cached texts of modes 1-128 (empty until the first document read them).
    const DocumentSearch& cachedSearch() const { return cached_; }

protected:
    // ---- The application steps a descendant supplies ----

    // True while an application object exists.
    virtual bool hasApplication() const = 0;
    // Makes the application object when none exists; false (and no object) when that fails.
    virtual bool Connect() = 0;
    // Frees the application object (quitting the application only when it holds no documents).
    virtual bool Disconnect() = 0;
    // Stage 3: the application's number of open documents, and the renewal when it has any.
    virtual std::int32_t applicationDocumentCount() = 0;
    virtual void renewApplication() = 0;
    // Stage 4: opens the document (raises on failure).
    virtual void openDocument(std::string_view path) = 0;
    // Stage 5: true when the document must be left alone (protected, or not opened): result 64.
    virtual bool documentRefused() = 0;
    // The option bits added to the flags of every search (may raise).
    virtual std::uint32_t optionBits() { return 0; }
    // Whether the kind of document supports a mode of 1-128 (256 always is).
    virtual bool supportsMode(std::int32_t mode) const = 0;
    // Stage 6: one search pass over the open document with search.mode as the replace mode.
    virtual void searchAndChange(const DocumentSearch& search) = 0;
    // Stage 6, modes 4 and 64 when supported: inserts the text at the head or the foot.
    virtual void insertHeadFoot(const std::u16string& text);
    // Hits counted in the open document.
    virtual std::int32_t applicationMatchCount() const = 0;
    // Stage 8: saves the document opened from path under name (name is path unless an output folder
    // is set); raises on failure.
    virtual void saveDocument(std::string_view path, std::string_view name) = 0;
    // Closes a document still open without saving; errors swallowed.
    virtual void closeDocument() = 0;

    // ---- Helpers for descendants ----

    // Reads the search block into a search of the run's mode: texts widened (from the DOS code page
    // when oemTexts), LF left out, split at sizeOfFirstPart in mode 32 when splitBetween. False when
    // the block is missing or malformed.
    bool readSearchBlock(DocumentSearch& search, bool splitBetween) const;
    // Reads row Index (from 1) of the table block; the row's insert code gives the search's mode
    // (insert before, insert after, or table replace). False when the block ends before the row.
    bool readTableRow(std::int32_t Index, DocumentSearch& search) const;

    std::int32_t replaceMode_;
    platform::MovableHandle block_;
    std::int32_t rowCount_ = 1;
    std::int32_t stage_ = kStageConnect;
    std::int32_t sizeOfFirstPart_;
    bool connectFailed_ = false;
    bool oemTexts_ = false;
    DocumentSearch cached_;

private:
    engines::TReplaceResult searchDocument();
};

// A DOS code page (CP437) text widened to UTF-16.
std::u16string cp437ToUtf16(std::string_view bytes);

} // namespace wux::office
