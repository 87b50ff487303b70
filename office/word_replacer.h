// TMSWordReplacer: the document replacer of word-processor documents, the frame of TDocumentReplacer
// run through a TWordObject. Modes 1, 2, 8, 16 and 128 run the search passes, 4 and 64 insert at the
// head or foot, 256 applies the table rows; 32 is not supported (result 16).
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "office/document_replacer.h"
#include "office/word_object.h"

namespace wux::core {
class TUserParameters;
}

namespace wux::office {

// The parameter keys of the word processor's options, with the flag bit each adds.
inline constexpr const char* kWordUseWildcardsKey = "MSWORD_USEWILDCARDS";
inline constexpr const char* kWordWholeWordKey = "MSWORD_WHOLEWORD";
inline constexpr const char* kWordMainDocumentKey = "MSWORD_REPLACE_IN_MAINDOCUMENT";
inline constexpr const char* kWordHeadersFootersKey = "MSWORD_REPLACE_IN_HEADERSFOOTERS";
inline constexpr const char* kWordFootnotesKey = "MSWORD_REPLACE_IN_FOOTNOTES";
inline constexpr const char* kWordHyperlinksKey = "MSWORD_REPLACE_IN_HYPERLINKS";
inline constexpr const char* kCreateBackUpCopyKey = "CreateBackUpCopy";

// The Boolean value of a parameter: "0" false, "-1" or any other number true, "true"/"false"; any
// other text, or a missing name, raises.
bool parameterBool(const core::TUserParameters& parameters, std::string_view name);

class TMSWordReplacer : public TDocumentReplacer
{
public:
    // The backup flag comes from the parameter "CreateBackUpCopy" (raises when it is missing or not a
    // Boolean). Parameters are not owned and must outlive the replacer.
    TMSWordReplacer(platform::WuxThread* Owner, std::int32_t TypeOfReplacing, platform::MovableHandle Block,
                    const core::TUserParameters* Parameters);
    ~TMSWordReplacer() override;

    // Makes the application object when none exists; false when the word processor is not available.
    bool Connect() override;
    // Frees the application object (quitting the application when it holds no documents).
    bool Disconnect() override;
    // The option bits of the parameter set (raises for a missing or non-Boolean key).
    std::uint32_t ReadWordOptions() const;

    TWordObject* application() const { return application_.get(); }
    const core::TUserParameters* parameters() const { return parameters_; }

protected:
    bool hasApplication() const override { return application_ != nullptr; }
    std::int32_t applicationDocumentCount() override;
    void renewApplication() override;
    void openDocument(std::string_view path) override;
    bool documentRefused() override;
    std::uint32_t optionBits() override { return ReadWordOptions(); }
    bool supportsMode(std::int32_t mode) const override;
    void searchAndChange(const DocumentSearch& search) override;
    void insertHeadFoot(const std::u16string& text) override;
    std::int32_t applicationMatchCount() const override;
    void saveDocument(std::string_view path, std::string_view name) override;
    void closeDocument() override;

private:
    const core::TUserParameters* parameters_;
    std::unique_ptr<TWordObject> application_;
};

} // namespace wux::office
