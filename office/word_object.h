// TWordObject: drives the word processor through its automation server "Word.Application" with
// late-bound calls. It opens one document at a time, searches and changes text in the main text, the
// headers and footers and the footnotes and endnotes, inserts text at the head or the foot, saves and
// closes the document, and quits the server only when it is left without documents.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/automation/dispatch.h"

namespace wux::platform {
class WuxThread;
}

namespace wux::office {

// Search flags of TWordObject::ReplaceAll.
enum WordSearchFlags : std::uint32_t
{
    kWordCaseSensitive = 1,
    kWordWildcards = 2,
    kWordWholeWord = 4,
    kWordSkipMainText = 16,
    kWordSkipHeadersFooters = 32,
    kWordSkipNotes = 64,
    kWordSkipHyperlinks = 128, // read by no pass
};

inline constexpr std::string_view kWordApplicationClass = "Word.Application";

class TWordObject
{
public:
    // Connects to a new application object; replace mode 1, no document.
    explicit TWordObject(platform::WuxThread* Owner);
    ~TWordObject();
    TWordObject(const TWordObject&) = delete;
    TWordObject& operator=(const TWordObject&) = delete;

    // Creates the application object (a failure leaves it unconnected); DisplayAlerts := 0.
    void Connect();
    // With QuitIfIdle: closes the document and quits the application when it holds no documents
    // (errors swallowed). Always releases both references.
    void Disconnect(bool QuitIfIdle);
    void SetVisible(bool Visible);
    // The application's number of open documents.
    std::int32_t DocumentCount();
    // Opens a document (raises when Open fails); the match count starts at 0.
    void OpenDocument(std::string_view Path);
    // True when the document's ProtectionType is not -1.
    bool IsProtected();
    // Name empty: Save; else SaveAs (Name).
    void SaveDocument(std::string_view Name);
    // Closes the document without saving (errors swallowed) and releases it.
    void CloseDocument();
    // The search passes (main text, headers and footers, notes) by the flags; adds their hits.
    void ReplaceAll(const std::u16string& Find, const std::u16string& Replace, std::uint32_t Flags);
    // Modes 4 and 64: inserts Text at the very start or end of the main text; counts one match.
    void InsertHeadFoot(const std::u16string& Text);

    bool connected() const { return connected_; }
    // The application and document objects (null when none).
    const platform::automation::DispatchRef& applicationObject() const { return application_; }
    const platform::automation::DispatchRef& documentObject() const { return document_; }
    bool hasDocument() const { return document_ != nullptr; }
    std::int32_t matchCount() const { return matchCount_; }
    std::int32_t replaceMode() const { return replaceMode_; }
    void setReplaceMode(std::int32_t mode) { replaceMode_ = mode; }
    platform::WuxThread* owner() const { return owner_; }

private:
    // The search loop over the story that is current in the document's first window.
    std::int32_t FindAndChange(const std::u16string& Find, const std::u16string& Replace,
                               std::uint32_t Flags);
    std::int32_t mainTextPass(const std::u16string& Find, const std::u16string& Replace, std::uint32_t Flags);
    std::int32_t headerFooterPass(const std::u16string& Find, const std::u16string& Replace,
                                  std::uint32_t Flags);
    std::int32_t notesPass(const std::u16string& Find, const std::u16string& Replace, std::uint32_t Flags);
    platform::automation::DispatchRef firstWindow();
    void checkStop() const;

    platform::automation::DispatchRef application_;
    platform::automation::DispatchRef document_;
    std::int32_t matchCount_ = 0;
    std::int32_t replaceMode_ = 1;
    platform::WuxThread* owner_ = nullptr;
    bool connected_ = false;
};

// Replace with every "^&" replaced by the found text.
std::u16string expandFoundText(std::u16string_view Replace, std::u16string_view Found);

} // namespace wux::office
