// TOOWriterReplacer: the document replacer of OpenDocument texts, run through a TOpenOfficeWriter in
// the OpenDocument variant of the document frame. Modes 1, 2, 8, 16 and 128 change the ranges the
// document's search descriptor finds, 256 applies the table rows; 4, 32 and 64 are not supported
// (result 16).
//
// Stages: 98 testing the file, 99 making the application object, 100 loading, 101 search and change,
// 102 saving, 103 done (set at the end unless the result is 1).
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "office/document_replacer.h"
#include "office/openoffice_writer.h"

namespace wux::core {
class TUserParameters;
}

namespace wux::office {

// Stages of the OpenDocument frame.
enum OpenDocumentStage : std::int32_t
{
    kStageOdtTestFile = 98,
    kStageOdtConnect = 99,
    kStageOdtLoad = 100,
    kStageOdtSearch = 101,
    kStageOdtStore = 102,
    kStageOdtDone = 103,
};

class TOOWriterReplacer : public TDocumentReplacer
{
public:
    // The backup flag comes from the parameter "CreateBackUpCopy" (raises when it is missing or not a
    // Boolean). Parameters are not owned and must outlive the replacer.
    TOOWriterReplacer(platform::WuxThread* Owner, std::int32_t TypeOfReplacing, platform::MovableHandle Block,
                      const core::TUserParameters* Parameters);
    ~TOOWriterReplacer() override;

    // One OpenDocument text; a TReplaceResult code, with the stage, file size and match count left for
    // the thread.
    engines::TReplaceResult ProcessFile(std::string_view Path) override;

    // Makes the application object when none exists (once per run); false when the suite offers no
    // desktop.
    bool Connect() override;
    // Frees the application object.
    bool Disconnect() override;

    TOpenOfficeWriter* application() const { return writer_.get(); }
    const core::TUserParameters* parameters() const { return parameters_; }

protected:
    bool hasApplication() const override { return writer_ != nullptr; }
    std::int32_t applicationDocumentCount() override { return 0; }
    void renewApplication() override {}
    void openDocument(std::string_view path) override;
    // A document with a password to modify is left alone.
    bool documentRefused() override { return writer_->IsReadOnly(); }
    bool supportsMode(std::int32_t mode) const override;
    void searchAndChange(const DocumentSearch& search) override;
    std::int32_t applicationMatchCount() const override;
    void saveDocument(std::string_view path, std::string_view name) override;
    void closeDocument() override;

private:
    // Stage 101: the search and change of the run's mode or of every table row; 2, or 16 for a mode
    // that OpenDocument texts do not support. Raises on errors.
    engines::TReplaceResult searchDocument();
    // The name a changed document is stored under: Path, or the output folder + its file name.
    std::string storeName(std::string_view Path) const;

    const core::TUserParameters* parameters_;
    std::unique_ptr<TOpenOfficeWriter> writer_;
};

} // namespace wux::office
