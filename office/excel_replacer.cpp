#include "office/excel_replacer.h"

#include <stdexcept>
#include <string>

#include "engines/base_replacer.h"

namespace wux::office {

TMSExcelReplacer::TMSExcelReplacer(platform::WuxThread* Owner, std::int32_t sizeOfFirstPart,
                                   std::int32_t TypeOfReplacing, platform::MovableHandle Block,
                                   bool BackupFlag)
    : TDocumentReplacer(Owner, TypeOfReplacing, Block, sizeOfFirstPart)
{
    setCreateBackUpCopy(BackupFlag);
}

TMSExcelReplacer::~TMSExcelReplacer()
{
    if (application_)
        Disconnect();
}

bool TMSExcelReplacer::Connect()
{
    if (application_)
        return true;
    try {
        application_ = std::make_unique<TExcelObject>();
        if (!application_->applicationPresent()) {
            application_.reset();
            return false;
        }
        application_->SetVisible(false);
        application_->setReplaceMode(replaceMode_);
        application_->setOwner(owner());
    } catch (...) {
        application_.reset();
        return false;
    }
    return true;
}

bool TMSExcelReplacer::Disconnect()
{
    application_.reset();
    return true;
}

std::int32_t TMSExcelReplacer::applicationDocumentCount()
{
    return application_->WorkbookCount();
}

void TMSExcelReplacer::renewApplication()
{
    // The user's workbooks stay open in the instance that is dropped.
    application_->ReleaseExcel(false);
    application_->ConnectExcel();
    if (!application_->applicationPresent())
        throw std::runtime_error("The spreadsheet application cannot be started again.");
}

void TMSExcelReplacer::openDocument(std::string_view path)
{
    application_->Open(std::string(path));
}

bool TMSExcelReplacer::supportsMode(std::int32_t mode) const
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

void TMSExcelReplacer::searchAndChange(const DocumentSearch& search)
{
    // A table row may insert beside its hits instead of replacing them.
    const std::int32_t runMode = application_->replaceMode();
    application_->setReplaceMode(search.mode);
    try {
        application_->SearchAndReplace(search.find, search.ending, search.flags, search.replace);
    } catch (...) {
        application_->setReplaceMode(runMode);
        throw;
    }
    application_->setReplaceMode(runMode);
}

std::int32_t TMSExcelReplacer::applicationMatchCount() const
{
    return application_ ? application_->matchCount() : 0;
}

void TMSExcelReplacer::saveDocument(std::string_view, std::string_view name)
{
    application_->SaveCopyAs(name);
}

void TMSExcelReplacer::closeDocument()
{
    if (!application_)
        return;
    try {
        application_->Close();
    } catch (...) {
    }
}

} // namespace wux::office
