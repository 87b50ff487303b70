// TMSExcelReplacer: the document replacer of spreadsheets, the frame of TDocumentReplacer run through a
// TExcelObject. Each file is made into a new workbook, searched over all its worksheets and, when
// something was found (and the mode is not 128), saved as a copy over the file: the source is replaced
// by the save alone, so a run that fails or stops before it leaves the file untouched.
//
// Modes 1, 2, 8, 16, 32 and 128 search; 4 and 64 are not supported (result 16); 256 applies the table
// rows. There is no protection result: protected worksheets are skipped by the walk.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "office/document_replacer.h"
#include "office/excel_object.h"

namespace wux::office {

class TMSExcelReplacer : public TDocumentReplacer
{
public:
    // Block: the search block (modes 1-128) or the table block (mode 256), not owned.
    TMSExcelReplacer(platform::WuxThread* Owner, std::int32_t sizeOfFirstPart, std::int32_t TypeOfReplacing,
                     platform::MovableHandle Block, bool BackupFlag);
    ~TMSExcelReplacer() override;

    // Makes the application object when none exists (hidden, with the run's replace mode); false when
    // the spreadsheet application is not available.
    bool Connect() override;
    // Frees the application object: a workbook still held is closed without saving and the application
    // quits when it holds no workbooks.
    bool Disconnect() override;

    TExcelObject* application() const { return application_.get(); }

protected:
    bool hasApplication() const override { return application_ != nullptr; }
    std::int32_t applicationDocumentCount() override;
    void renewApplication() override;
    void openDocument(std::string_view path) override;
    // A workbook with a password to modify is left alone, as the other kinds' protected documents are.
    bool documentRefused() override { return application_->WriteReserved(); }
    bool supportsMode(std::int32_t mode) const override;
    void searchAndChange(const DocumentSearch& search) override;
    std::int32_t applicationMatchCount() const override;
    void saveDocument(std::string_view path, std::string_view name) override;
    void closeDocument() override;

private:
    std::unique_ptr<TExcelObject> application_;
};

} // namespace wux::office
