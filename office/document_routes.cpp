#include "office/document_routes.h"

#include "office/excel_replacer.h"
#include "office/openoffice_replacer.h"
#include "office/powerpoint_replacer.h"
#include "office/spreadsheet_table.h"
#include "office/word_replacer.h"

namespace wux::office {

namespace {

// A document replacer as the run's thread sees it.
class DocumentReplacerAdapter : public engines::IDocumentReplacer
{
public:
    explicit DocumentReplacerAdapter(std::unique_ptr<TDocumentReplacer> replacer)
        : replacer_(std::move(replacer))
    {
    }
    engines::TReplaceResult ProcessFile(std::string_view Path) override
    {
        return replacer_->ProcessFile(Path);
    }
    std::int64_t fileSize() const override { return replacer_->fileSize(); }
    std::int32_t matchCount() const override { return replacer_->matchCount(); }
    std::int32_t stage() const override { return replacer_->stage(); }
    void setTableBlock(platform::MovableHandle Block) override { replacer_->setBlock(Block); }

private:
    std::unique_ptr<TDocumentReplacer> replacer_;
};

} // namespace

std::unique_ptr<engines::IDocumentReplacer> createOfficeReplacer(const engines::DocumentReplacerRequest& r)
{
    std::unique_ptr<TDocumentReplacer> replacer;
    switch (r.kind) {
    case engines::kKindWordProcessor:
        replacer = std::make_unique<TMSWordReplacer>(r.owner, r.mode, r.block, r.parameters);
        break;
    case engines::kKindSpreadsheet:
        replacer = std::make_unique<TMSExcelReplacer>(r.owner, r.sizeOfFirstPart, r.mode, r.block, r.backup);
        break;
    case engines::kKindPresentation:
        replacer =
            std::make_unique<TMSPowerPointReplacer>(r.owner, r.sizeOfFirstPart, r.mode, r.block, r.backup);
        break;
    case engines::kKindOpenDocumentText:
        replacer = std::make_unique<TOOWriterReplacer>(r.owner, r.mode, r.block, r.parameters);
        break;
    default:
        return nullptr;
    }
    replacer->setRowCount(r.rowCount);
    replacer->setOemTexts(r.oemTexts);
    return std::make_unique<DocumentReplacerAdapter>(std::move(replacer));
}

void registerOfficeServices()
{
    engines::setDocumentReplacerFactory(&createOfficeReplacer);
    registerSpreadsheetTableLoader();
}

} // namespace wux::office
