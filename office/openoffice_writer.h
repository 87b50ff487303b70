// TOpenOfficeWriter: drives the office suite's OpenDocument text program through its automation
// bridge. It creates the service manager "com.sun.star.ServiceManager", asks it for the desktop, loads a
// document hidden from a "file:///" URL, lets the document's search descriptor find all hits, changes
// the found ranges by the replace mode, stores the document back to its URL and disposes of it. The
// suite itself is never told to end.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/automation/dispatch.h"

namespace wux::platform {
class WuxThread;
}

namespace wux::office {

inline constexpr std::string_view kServiceManagerClass = "com.sun.star.ServiceManager";
inline constexpr std::string_view kDesktopService = "com.sun.star.frame.Desktop";
inline constexpr std::string_view kPropertyValueStruct = "com.sun.star.beans.PropertyValue";

// Search flags of TOpenOfficeWriter::Replace.
enum OpenOfficeSearchFlags : std::uint32_t
{
    kOpenOfficeCaseSensitive = 1,
    kOpenOfficeRegularExpression = 2, // never set by the replacer
    kOpenOfficeWholeWord = 4,
};

class TOpenOfficeWriter
{
public:
    // Creates the service manager (a failure leaves it empty) and, when there is one, the desktop (a
    // failure leaves it empty too); no document, replace mode 1, match count 0.
    TOpenOfficeWriter();
    // Releases the references; the suite is neither disposed of nor told to end.
    ~TOpenOfficeWriter();
    TOpenOfficeWriter(const TOpenOfficeWriter&) = delete;
    TOpenOfficeWriter& operator=(const TOpenOfficeWriter&) = delete;

    // A property value struct of the service manager with its name and value set.
    platform::automation::DispatchRef MakePropertyValue(std::string_view Name,
                                                        const platform::automation::Variant& Value);
    // Loads a document hidden (raises when the suite reports an error). The match count starts at 0.
    // Nothing is loaded when there is no desktop; a load that gives no document leaves none.
    void LoadDocument(std::string_view Path);
    // The URL form of a path: every blank "%20", every "%" "%25", every backslash "/"; all other
    // characters stay as they are.
    static std::string ConvertToURL(std::string_view Path);
    // Stores the loaded document to Name, overwriting it (raises on failure).
    void StoreDocument(std::string_view Name);
    // Disposes of the loaded document and releases it.
    void DisposeDocument();
    // Finds every hit of Find (UTF-8) in the loaded document and changes the found ranges by the replace
    // mode; the match count grows by the hits. Nothing happens when no document is loaded.
    void Replace(std::string_view Find, std::string_view Replace, std::uint32_t Flags);

    bool hasServiceManager() const { return serviceManager_ != nullptr; }
    bool hasDesktop() const { return desktop_ != nullptr; }
    bool hasDocument() const { return document_ != nullptr; }
    // True when the loaded document is read-only (its file has a password to modify).
    bool IsReadOnly();
    const platform::automation::DispatchRef& serviceManager() const { return serviceManager_; }
    const platform::automation::DispatchRef& desktop() const { return desktop_; }
    const platform::automation::DispatchRef& document() const { return document_; }
    std::int32_t replaceMode() const { return replaceMode_; }
    void setReplaceMode(std::int32_t mode) { replaceMode_ = mode; }
    // The run's thread, whose stop request ends the loop over the hits (none: never).
    void setOwner(const platform::WuxThread* owner) { owner_ = owner; }
    std::int32_t matchCount() const { return matchCount_; }

private:
    // "file:///" + the URL form of a path.
    static std::u16string fileUrl(std::string_view Path);

    platform::automation::DispatchRef serviceManager_;
    platform::automation::DispatchRef desktop_;
    platform::automation::DispatchRef document_;
    std::int32_t replaceMode_ = 1;
    const platform::WuxThread* owner_ = nullptr;
    std::int32_t matchCount_ = 0;
};

} // namespace wux::office
