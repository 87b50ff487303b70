// TMSPowerPointReplacer: the document replacer of presentations, the frame of TDocumentReplacer run
// through a TPowerPointObject. Modes 1, 2, 8, 16, 32 and 128 run the wildcard text engine over the text
// of every shape, 256 applies the table rows; 4 and 64 are not supported (result 16). A presentation
// that the server does not open (a password to modify) gives 64 at the protection stage.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "office/document_replacer.h"
#include "office/powerpoint_object.h"

namespace wux::office {

class TMSPowerPointReplacer : public TDocumentReplacer
{
public:
    // sizeOfFirstPart: the length of the first part of the find text in mode 32 (bytes of the search
    // block's find text). BackupFlag: keep a ".bak" copy of every changed presentation.
    TMSPowerPointReplacer(platform::WuxThread* Owner, std::int32_t sizeOfFirstPart,
                          std::int32_t TypeOfReplacing, platform::MovableHandle Block, bool BackupFlag);
    ~TMSPowerPointReplacer() override;

    // Makes the application object when none exists; false when the presentation program is not
    // available.
    bool Connect() override;
    // Frees the application object (quitting the application when it holds no presentations).
    bool Disconnect() override;

    TPowerPointObject* application() const { return application_.get(); }

protected:
    bool hasApplication() const override { return application_ != nullptr; }
    std::int32_t applicationDocumentCount() override;
    void renewApplication() override;
    void openDocument(std::string_view path) override;
    bool documentRefused() override;
    bool supportsMode(std::int32_t mode) const override;
    void searchAndChange(const DocumentSearch& search) override;
    std::int32_t applicationMatchCount() const override;
    void saveDocument(std::string_view path, std::string_view name) override;
    void closeDocument() override;

private:
    std::unique_ptr<TPowerPointObject> application_;
};

} // namespace wux::office
