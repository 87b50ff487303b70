#include "office/word_replacer.h"

#include <charconv>
#include <stdexcept>
#include <string>

#include "core/user_parameters.h"
#include "platform/text.h"

namespace wux::office {

bool parameterBool(const core::TUserParameters& parameters, std::string_view name)
{
    const std::string value = parameters.GetValue(name);
    long long number = 0;
    const char* begin = value.data();
    const char* end = begin + value.size();
    const auto [ptr, error] = std::from_chars(begin, end, number);
    if (error == std::errc() && ptr == end && !value.empty())
        return number != 0;
    if (error == std::errc::result_out_of_range && ptr == end)
        return true; // an integer, only a large one
    if (platform::equalNoCase(value, "true"))
        return true;
    if (platform::equalNoCase(value, "false"))
        return false;
    throw std::runtime_error("'" + value + "' is not a valid Boolean value.");
}

TMSWordReplacer::TMSWordReplacer(platform::WuxThread* Owner, std::int32_t TypeOfReplacing,
                                 platform::MovableHandle Block, const core::TUserParameters* Parameters)
    : TDocumentReplacer(Owner, TypeOfReplacing, Block), parameters_(Parameters)
{
    if (parameters_ == nullptr)
        throw std::invalid_argument("The word-processor replacer needs a parameter set.");
    setCreateBackUpCopy(parameterBool(*parameters_, kCreateBackUpCopyKey));
}

TMSWordReplacer::~TMSWordReplacer()
{
    if (application_)
        Disconnect();
}

bool TMSWordReplacer::Connect()
{
    if (application_)
        return true;
    try {
        application_ = std::make_unique<TWordObject>(owner());
        if (!application_->connected()) {
            application_.reset();
            return false;
        }
        application_->SetVisible(false);
        application_->setReplaceMode(replaceMode_);
    } catch (...) {
        application_.reset();
        return false;
    }
    return true;
}

bool TMSWordReplacer::Disconnect()
{
    application_.reset();
    return true;
}

std::uint32_t TMSWordReplacer::ReadWordOptions() const
{
    if (parameters_ == nullptr)
        throw std::runtime_error("No parameter set.");
    std::uint32_t bits = 0;
    if (parameterBool(*parameters_, kWordUseWildcardsKey))
        bits |= kWordWildcards;
    if (parameterBool(*parameters_, kWordWholeWordKey))
        bits |= kWordWholeWord;
    if (!parameterBool(*parameters_, kWordMainDocumentKey))
        bits |= kWordSkipMainText;
    if (!parameterBool(*parameters_, kWordHeadersFootersKey))
        bits |= kWordSkipHeadersFooters;
    if (!parameterBool(*parameters_, kWordFootnotesKey))
        bits |= kWordSkipNotes;
    if (!parameterBool(*parameters_, kWordHyperlinksKey))
        bits |= kWordSkipHyperlinks;
    return bits;
}

std::int32_t TMSWordReplacer::applicationDocumentCount()
{
    return application_->DocumentCount();
}

void TMSWordReplacer::renewApplication()
{
    application_->Disconnect(false);
    application_->Connect();
    if (!application_->connected())
        throw std::runtime_error("The word processor cannot be started again.");
}

void TMSWordReplacer::openDocument(std::string_view path)
{
    application_->OpenDocument(path);
}

bool TMSWordReplacer::documentRefused()
{
    return application_->IsProtected();
}

bool TMSWordReplacer::supportsMode(std::int32_t mode) const
{
    switch (mode) {
    case engines::kModeReplace:
    case engines::kModeDelete:
    case engines::kModeInsertHead:
    case engines::kModeInsertAfter:
    case engines::kModeInsertBefore:
    case engines::kModeInsertFoot:
    case engines::kModeJustFind:
        return true;
    default:
        return false;
    }
}

void TMSWordReplacer::searchAndChange(const DocumentSearch& search)
{
    // A table row may insert beside its hits instead of replacing them.
    const std::int32_t runMode = application_->replaceMode();
    application_->setReplaceMode(search.mode);
    try {
        application_->ReplaceAll(search.find, search.replace, search.flags);
    } catch (...) {
        application_->setReplaceMode(runMode);
        throw;
    }
    application_->setReplaceMode(runMode);
}

void TMSWordReplacer::insertHeadFoot(const std::u16string& text)
{
    application_->InsertHeadFoot(text);
}

std::int32_t TMSWordReplacer::applicationMatchCount() const
{
    return application_ ? application_->matchCount() : 0;
}

void TMSWordReplacer::saveDocument(std::string_view path, std::string_view name)
{
    // Saved in place unless an output folder gave it another name.
    application_->SaveDocument(name == path ? std::string_view() : name);
}

void TMSWordReplacer::closeDocument()
{
    if (application_)
        application_->CloseDocument();
}

} // namespace wux::office
