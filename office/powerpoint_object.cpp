#include "office/powerpoint_object.h"

#include <stdexcept>

#include "office/document_replacer.h"
#include "office/wildcard_engine.h"
#include "platform/text.h"

namespace wux::office {

namespace automation = platform::automation;
using automation::asDispatch;
using automation::DispatchRef;
using automation::Variant;

TPowerPointObject::TPowerPointObject()
{
    Connect();
    replaceMode_ = 1;
}

TPowerPointObject::~TPowerPointObject()
{
    try {
        Disconnect(true);
    } catch (...) {
    }
}

void TPowerPointObject::Connect()
{
    application_.reset();
    try {
        application_ = automation::createObject(kPowerPointApplicationClass);
    } catch (...) {
        application_.reset();
    }
    connected_ = application_ != nullptr;
}

void TPowerPointObject::Disconnect(bool QuitIfIdle)
{
    if (QuitIfIdle && connected_) {
        try {
            ClosePresentation();
            if (application_ && PresentationCount() == 0)
                application_->call("Quit");
        } catch (...) {
        }
    }
    presentation_.reset();
    application_.reset();
    connected_ = false;
}

DispatchRef TPowerPointObject::presentations()
{
    if (!application_)
        throw std::runtime_error("The presentation program is not connected.");
    return asDispatch(application_->get("Presentations"), "Presentations");
}

std::int32_t TPowerPointObject::PresentationCount()
{
    return automation::toInt32(presentations()->get("Count"));
}

void TPowerPointObject::OpenPresentation(std::string_view Path)
{
    // The hits of the previous presentation are not this one's.
    matchCount_ = 0;
    presentation_.reset();
    const Variant opened = presentations()->call(
        "Open", {Variant(platform::utf8ToUtf16(Path)), Variant(false), Variant::missing(), Variant(false)});
    presentation_ = opened.isNothing() ? nullptr : asDispatch(opened, "Presentation");
}

void TPowerPointObject::SavePresentation(std::string_view Name)
{
    if (!presentation_)
        throw std::runtime_error("No presentation is open.");
    if (Name.empty())
        presentation_->call("Save");
    else
        presentation_->call("SaveAs", {Variant(platform::utf8ToUtf16(Name))});
}

void TPowerPointObject::ClosePresentation()
{
    if (!presentation_)
        return;
    try {
        presentation_->call("Close");
    } catch (...) {
    }
    presentation_.reset();
}

void TPowerPointObject::ReplaceInPresentation(const std::u16string& Find, const std::u16string& Ending,
                                              const std::u16string& Replace, std::uint32_t Flags)
{
    if (!presentation_)
        throw std::runtime_error("No presentation is open.");
    const DispatchRef slides = asDispatch(presentation_->get("Slides"), "Slides");
    const std::int32_t slideCount = automation::toInt32(slides->get("count"));
    std::u16string text;
    std::u16string result;
    for (std::int32_t i = 1; i <= slideCount; ++i) {
        const DispatchRef shapes =
            asDispatch(asDispatch(slides->get("Item", {Variant(i)}), "Slide")->get("Shapes"), "Shapes");
        const std::int32_t shapeCount = automation::toInt32(shapes->get("count"));
        for (std::int32_t j = 1; j <= shapeCount; ++j) {
            checkStopRequest(owner_);
            const std::int32_t before = matchCount_;
            try {
                // Only text shapes have a text frame; the others raise and are skipped.
                const DispatchRef frame = asDispatch(
                    asDispatch(shapes->get("Item", {Variant(j)}), "Shape")->get("TextFrame"), "TextFrame");
                if (!automation::toBool(frame->get("HasText")))
                    continue;
                const DispatchRef range = asDispatch(frame->get("TextRange"), "TextRange");
                text = automation::variantToText(range->get("Text"));
                ReplaceInText(text, Find, result, nullptr, Flags, Replace, Ending, replaceMode_, matchCount_);
                // A text that came out the same (mode 128, or a change that changes nothing) is not
                // written back.
                if (matchCount_ != before && result != text)
                    range->put("Text", Variant(result));
            } catch (...) {
                // The shape keeps its text, so its hits are not counted as changes.
                matchCount_ = before;
            }
        }
    }
}

} // namespace wux::office
