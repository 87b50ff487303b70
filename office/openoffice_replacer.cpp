#include "office/openoffice_replacer.h"

#include <stdexcept>
#include <string>

#include "core/file_tests.h"
#include "core/user_parameters.h"
#include "office/word_replacer.h"
#include "platform/file_types.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace wux::office {

namespace {

// A folder counts as not existing.
bool isExistingFile(std::string_view path)
{
    if (!core::FileExists(path))
        return false;
    std::uint32_t attributes = 0;
    return platform::getAttributes(path, attributes) == platform::kErrorSuccess &&
           (attributes & platform::kAttrDirectory) == 0;
}

} // namespace

TOOWriterReplacer::TOOWriterReplacer(platform::WuxThread* Owner, std::int32_t TypeOfReplacing,
                                     platform::MovableHandle Block, const core::TUserParameters* Parameters)
    : TDocumentReplacer(Owner, TypeOfReplacing, Block), parameters_(Parameters)
{
    if (parameters_ == nullptr)
        throw std::invalid_argument("The OpenDocument replacer needs a parameter set.");
    setCreateBackUpCopy(parameterBool(*parameters_, kCreateBackUpCopyKey));
}

TOOWriterReplacer::~TOOWriterReplacer()
{
    if (writer_)
        Disconnect();
}

bool TOOWriterReplacer::Connect()
{
    if (!writer_) {
        try {
            writer_ = std::make_unique<TOpenOfficeWriter>();
        } catch (...) {
            writer_.reset();
            return false;
        }
    }
    return writer_->hasDesktop();
}

bool TOOWriterReplacer::Disconnect()
{
    writer_.reset();
    return true;
}

void TOOWriterReplacer::openDocument(std::string_view path)
{
    writer_->LoadDocument(path);
    if (!writer_->hasDocument())
        throw std::runtime_error("The office suite loaded no document.");
}

bool TOOWriterReplacer::supportsMode(std::int32_t mode) const
{
    switch (mode) {
    case engines::kModeReplace:
    case engines::kModeDelete:
    case engines::kModeInsertAfter:
    case engines::kModeInsertBefore:
    case engines::kModeJustFind:
        return true;
    default:
        return false;
    }
}

void TOOWriterReplacer::searchAndChange(const DocumentSearch& search)
{
    // A table row may insert beside its hits instead of replacing them.
    const std::int32_t runMode = writer_->replaceMode();
    writer_->setReplaceMode(search.mode);
    try {
        writer_->Replace(platform::utf16ToUtf8(search.find), platform::utf16ToUtf8(search.replace),
                         search.flags);
    } catch (...) {
        writer_->setReplaceMode(runMode);
        throw;
    }
    writer_->setReplaceMode(runMode);
}

std::int32_t TOOWriterReplacer::applicationMatchCount() const
{
    return writer_ ? writer_->matchCount() : 0;
}

void TOOWriterReplacer::saveDocument(std::string_view, std::string_view name)
{
    writer_->StoreDocument(name);
}

void TOOWriterReplacer::closeDocument()
{
    if (!writer_)
        return;
    try {
        writer_->DisposeDocument();
    } catch (...) {
    }
}

std::string TOOWriterReplacer::storeName(std::string_view Path) const
{
    if (outputFolder_.empty())
        return std::string(Path);
    std::string folder, name;
    platform::splitWindowsPath(Path, folder, name);
    std::string out = outputFolder_;
    if (out.back() != '\\')
        out += '\\';
    return out + name;
}

engines::TReplaceResult TOOWriterReplacer::searchDocument()
{
    stage_ = kStageOdtSearch;
    if (replaceMode_ == engines::kModeBatchTable) {
        for (std::int32_t i = 1; i <= rowCount_; ++i) {
            checkStopRequest(owner());
            DocumentSearch row;
            if (!readTableRow(i, row))
                throw std::runtime_error("The table block ends before its last row.");
            if (row.find.empty())
                continue;
            searchAndChange(row);
        }
        return engines::kReplaceFound;
    }
    if (cached_.find.empty()) {
        DocumentSearch search;
        if (!readSearchBlock(search, false))
            throw std::runtime_error("The search block cannot be read.");
        cached_ = std::move(search);
    }
    if (!supportsMode(replaceMode_))
        return engines::kReplaceModeNotSupported;
    if (!cached_.find.empty())
        searchAndChange(cached_);
    return engines::kReplaceFound;
}

engines::TReplaceResult TOOWriterReplacer::ProcessFile(std::string_view Path)
{
    // Nothing of the previous file is left for the thread to show.
    stage_ = kStageOdtTestFile;
    matchCount_ = 0;
    fileSize_ = -1;
    if (!isExistingFile(Path))
        return engines::kReplaceFailed;
    fileSize_ = core::GetFileSize64(Path);
    if (!core::CanOpenExclusive(Path))
        return engines::kReplaceDocumentLocked;

    // One application object serves the run; without a desktop nothing can be loaded, which fails
    // every document of the run here.
    stage_ = kStageOdtConnect;
    bool connected = false;
    try {
        connected = Connect();
    } catch (...) {
        connected = false;
    }
    connectFailed_ = !connected;
    if (!connected)
        return engines::kReplaceFailed;
    writer_->setReplaceMode(replaceMode_);
    writer_->setOwner(owner());

    engines::TReplaceResult result = engines::kReplaceFailed;
    bool stored = false;
    std::string name;
    try {
        stage_ = kStageOdtLoad;
        openDocument(Path);
        result = documentRefused() ? engines::kReplaceDocumentLocked : searchDocument();
        if (result == engines::kReplaceFound) {
            matchCount_ = writer_->matchCount();
            stage_ = kStageOdtStore;
            if (matchCount_ == 0) {
                result = engines::kReplaceNothingFound;
            } else if (replaceMode_ != engines::kModeJustFind) {
                if (!CreateBackUpCopy(Path, fileSize_)) {
                    result = engines::kReplaceFailed;
                } else {
                    name = storeName(Path);
                    try {
                        saveDocument(Path, name);
                    } catch (...) {
                        // The document keeps its content: its backup goes as well.
                        DiscardBackUpCopy(Path);
                        throw;
                    }
                    stored = true;
                }
            }
        }
    } catch (...) {
        result = engines::kReplaceFailed;
    }

    if (result != engines::kReplaceFailed && result != engines::kReplaceDocumentLocked)
        stage_ = kStageOdtDone;
    closeDocument();
    if (stored && result == engines::kReplaceFound && name != Path)
        platform::deleteFile(Path);
    return result;
}

} // namespace wux::office
