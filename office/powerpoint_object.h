// TPowerPointObject: drives the presentation program through its automation server
// "PowerPoint.Application" with late-bound calls. The server is asked for nothing but the text of each
// shape: the wrapper reads the text of every shape that has text on every slide, runs the wildcard text
// engine over it and writes a changed text back as a whole. It opens one presentation at a time and
// quits the server only when it is left without presentations.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/automation/dispatch.h"

namespace wux::platform {
class WuxThread;
}

namespace wux::office {

inline constexpr std::string_view kPowerPointApplicationClass = "PowerPoint.Application";

class TPowerPointObject
{
public:
    // Connects to a new application object; replace mode 1, no presentation.
    TPowerPointObject();
    ~TPowerPointObject();
    TPowerPointObject(const TPowerPointObject&) = delete;
    TPowerPointObject& operator=(const TPowerPointObject&) = delete;

    // Creates the application object; a failure leaves it empty (not connected).
    void Connect();
    // With QuitIfIdle: closes the presentation and quits the application when it holds no presentations
    // (errors swallowed). Always releases both references.
    void Disconnect(bool QuitIfIdle);
    // The application's number of open presentations.
    std::int32_t PresentationCount();
    // Opens a presentation (raises when Open fails); the match count starts at 0. A presentation the
    // server does not give (Open returned nothing) leaves IsNotOpen true.
    void OpenPresentation(std::string_view Path);
    bool IsNotOpen() const { return presentation_ == nullptr; }
    // Name empty: Save; else SaveAs (Name).
    void SavePresentation(std::string_view Name);
    // Closes the presentation without saving (errors swallowed) and releases it.
    void ClosePresentation();
    // Searches the text of every shape that has text on every slide and writes a changed text back, by
    // the replace mode (Ending: the ending part of mode 32). Errors on a single shape skip that shape.
    void ReplaceInPresentation(const std::u16string& Find, const std::u16string& Ending,
                               const std::u16string& Replace, std::uint32_t Flags);

    bool connected() const { return connected_; }
    const platform::automation::DispatchRef& applicationObject() const { return application_; }
    const platform::automation::DispatchRef& presentationObject() const { return presentation_; }
    std::int32_t matchCount() const { return matchCount_; }
    std::int32_t replaceMode() const { return replaceMode_; }
    void setReplaceMode(std::int32_t mode) { replaceMode_ = mode; }
    // The run's thread, whose stop request ends the walk over the shapes (none: never).
    void setOwner(const platform::WuxThread* owner) { owner_ = owner; }

private:
    platform::automation::DispatchRef presentations();

    platform::automation::DispatchRef application_;
    platform::automation::DispatchRef presentation_;
    std::int32_t matchCount_ = 0;
    std::int32_t replaceMode_ = 1;
    const platform::WuxThread* owner_ = nullptr;
    bool connected_ = false;
};

} // namespace wux::office
