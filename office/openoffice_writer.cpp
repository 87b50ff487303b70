#include "office/openoffice_writer.h"

#include <stdexcept>

#include "engines/base_replacer.h"
#include "office/document_replacer.h"
#include "platform/text.h"

namespace wux::office {

namespace automation = platform::automation;
using automation::asDispatch;
using automation::DispatchRef;
using automation::Variant;

namespace {

constexpr std::u16string_view kFileUrlPrefix = u"file:///";
constexpr std::u16string_view kDefaultFrame = u"_default";
constexpr std::int32_t kSearchFlagsNone = 0;

} // namespace

TOpenOfficeWriter::TOpenOfficeWriter()
{
    try {
        serviceManager_ = automation::createObject(kServiceManagerClass);
    } catch (...) {
        serviceManager_.reset();
    }
    if (serviceManager_) {
        try {
            const Variant desktop =
                serviceManager_->call("CreateInstance", {Variant::fromUtf8(kDesktopService)});
            desktop_ = desktop.isNothing() ? nullptr : asDispatch(desktop, "Desktop");
        } catch (...) {
            desktop_.reset();
        }
    }
}

TOpenOfficeWriter::~TOpenOfficeWriter()
{
    document_.reset();
    desktop_.reset();
    serviceManager_.reset();
}

DispatchRef TOpenOfficeWriter::MakePropertyValue(std::string_view Name, const Variant& Value)
{
    if (!serviceManager_)
        throw std::runtime_error("The office suite is not available.");
    const DispatchRef property =
        asDispatch(serviceManager_->call("Bridge_GetStruct", {Variant::fromUtf8(kPropertyValueStruct)}),
                   "PropertyValue");
    property->put("name", Variant::fromUtf8(Name));
    property->put("value", Value);
    return property;
}

std::string TOpenOfficeWriter::ConvertToURL(std::string_view Path)
{
    std::string url;
    url.reserve(Path.size() + 8);
    for (char c : Path) {
        switch (c) {
        case ' ':
            url += "%20";
            break;
        case '%':
            url += "%25";
            break;
        case '\\':
            url += '/';
            break;
        default:
            url += c;
            break;
        }
    }
    return url;
}

std::u16string TOpenOfficeWriter::fileUrl(std::string_view Path)
{
    return std::u16string(kFileUrlPrefix) + platform::utf8ToUtf16(ConvertToURL(Path));
}

void TOpenOfficeWriter::LoadDocument(std::string_view Path)
{
    matchCount_ = 0;
    document_.reset();
    if (!desktop_)
        return;
    // The load URL is made as the store URL is, so that both name the same file.
    const Variant args = Variant::fromArray({Variant(MakePropertyValue("Hidden", Variant(true)))});
    const Variant loaded =
        desktop_->call("LoadComponentFromURL",
                       {Variant(fileUrl(Path)), Variant(kDefaultFrame), Variant(kSearchFlagsNone), args});
    document_ = loaded.isNothing() ? nullptr : asDispatch(loaded, "Document");
}

bool TOpenOfficeWriter::IsReadOnly()
{
    return document_ && automation::toBool(document_->call("isReadonly"));
}

void TOpenOfficeWriter::StoreDocument(std::string_view Name)
{
    if (!document_)
        return;
    const Variant args = Variant::fromArray({Variant(MakePropertyValue("Overwrite", Variant(true)))});
    document_->call("StoreToURL", {Variant(fileUrl(Name)), args});
}

void TOpenOfficeWriter::DisposeDocument()
{
    if (!document_)
        return;
    const DispatchRef document = std::move(document_);
    document_.reset();
    document->call("Dispose");
}

void TOpenOfficeWriter::Replace(std::string_view Find, std::string_view Replace, std::uint32_t Flags)
{
    if (!document_)
        return;
    const DispatchRef descriptor = asDispatch(document_->call("createSearchDescriptor"), "SearchDescriptor");
    // An exact search: no similarity search is asked for.
    descriptor->call("setPropertyValue",
                     {Variant(u"SearchCaseSensitive"), Variant((Flags & kOpenOfficeCaseSensitive) != 0)});
    descriptor->call("setPropertyValue",
                     {Variant(u"SearchWords"), Variant((Flags & kOpenOfficeWholeWord) != 0)});
    descriptor->call("setPropertyValue", {Variant(u"SearchRegularExpression"),
                                          Variant((Flags & kOpenOfficeRegularExpression) != 0)});
    descriptor->call("setSearchString", {Variant::fromUtf8(Find)});

    const DispatchRef found = asDispatch(document_->call("findAll", {Variant(descriptor)}), "Found");
    const std::int32_t count = automation::toInt32(found->call("getCount"));
    const Variant replacement = Variant::fromUtf8(Replace);
    for (std::int32_t i = 0; i < count; ++i) {
        checkStopRequest(owner_);
        const DispatchRef range = asDispatch(found->call("getByIndex", {Variant(i)}), "TextRange");
        switch (replaceMode_) {
        case engines::kModeReplace:
        case engines::kModeBatchTable:
            range->call("setString", {replacement});
            break;
        case engines::kModeDelete:
            range->call("setString", {Variant(u"")});
            break;
        case engines::kModeInsertAfter:
            range->call("setString",
                        {Variant(automation::variantToText(range->call("getString")) + replacement.text())});
            break;
        case engines::kModeInsertBefore:
            range->call("setString",
                        {Variant(replacement.text() + automation::variantToText(range->call("getString")))});
            break;
        default: // counting only
            break;
        }
    }
    matchCount_ += automation::toInt32(found->call("getCount"));
}

} // namespace wux::office
