#include "office/powerpoint_replacer.h"

#include <stdexcept>

namespace wux::office {

TMSPowerPointReplacer::TMSPowerPointReplacer(platform::WuxThread* Owner, std::int32_t sizeOfFirstPart,
                                             std::int32_t TypeOfReplacing, platform::MovableHandle Block,
                                             bool BackupFlag)
    : TDocumentReplacer(Owner, TypeOfReplacing, Block, sizeOfFirstPart)
{
    setCreateBackUpCopy(BackupFlag);
}

TMSPowerPointReplacer::~TMSPowerPointReplacer()
{
    if (application_)
        Disconnect();
}

bool TMSPowerPointReplacer::Connect()
{
    if (application_)
        return true;
    try {
        application_ = std::make_unique<TPowerPointObject>();
        if (!application_->connected()) {
            application_.reset();
            return false;
        }
        application_->setReplaceMode(replaceMode_);
        application_->setOwner(owner());
    } catch (...) {
        application_.reset();
        return false;
    }
    return true;
}

bool TMSPowerPointReplacer::Disconnect()
{
    application_.reset();
    return true;
}

std::int32_t TMSPowerPointReplacer::applicationDocumentCount()
{
    return application_->PresentationCount();
}

void TMSPowerPointReplacer::renewApplication()
{
    application_->Disconnect(false);
    application_->Connect();
    if (!application_->connected())
        throw std::runtime_error("The presentation program cannot be started again.");
}

void TMSPowerPointReplacer::openDocument(std::string_view path)
{
    application_->OpenPresentation(path);
}

bool TMSPowerPointReplacer::documentRefused()
{
    return application_->IsNotOpen();
}

bool TMSPowerPointReplacer::supportsMode(std::int32_t mode) const
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

void TMSPowerPointReplacer::searchAndChange(const DocumentSearch& search)
{
    // A table row may insert beside its hits instead of replacing them.
    const std::int32_t runMode = application_->replaceMode();
    application_->setReplaceMode(search.mode);
    try {
        application_->ReplaceInPresentation(search.find, search.ending, search.replace, search.flags);
    } catch (...) {
        application_->setReplaceMode(runMode);
        throw;
    }
    application_->setReplaceMode(runMode);
}

std::int32_t TMSPowerPointReplacer::applicationMatchCount() const
{
    return application_ ? application_->matchCount() : 0;
}

void TMSPowerPointReplacer::saveDocument(std::string_view path, std::string_view name)
{
    // Saved in place unless an output folder gave it another name.
    application_->SavePresentation(name == path ? std::string_view() : name);
}

void TMSPowerPointReplacer::closeDocument()
{
    if (application_)
        application_->ClosePresentation();
}

} // namespace wux::office
