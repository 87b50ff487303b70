// A Replacer run over a folder of plain files, word-processor documents, workbooks, presentations and
// OpenDocument texts: the run's thread hands each document to its replacer (made on the worker thread through
// the office layer's registered factory), and every file comes out changed and reported.
#include <gtest/gtest.h>

#include <QEventLoop>

#include <string>
#include <vector>

#include "core/user_parameters.h"
#include "engines/base_replacer.h"
#include "engines/replace_threads.h"
#include "filelist/operation_cursor.h"
#include "office/document_routes.h"
#include "office/openoffice_replacer.h"
#include "office/powerpoint_replacer.h"
#include "office/word_replacer.h"
#include "office_test_support.h"
#include "platform/automation/dispatch.h"
#include "platform/movable_memory.h"
#include "platform/thread.h"
#include "support/file_builders.h"
#include "support/packages.h"
#include "support/temp_drive.h"

namespace wux::office {

namespace {

using wux::test::odtWithText;
using wux::test::pptxWithText;
using wux::test::xlsxWithText;

// Cell A1 of a workbook's active sheet, read through the spreadsheet server.
std::string firstCell(const std::string& windowsPath)
{
    namespace automation = platform::automation;
    const auto app = automation::createObject("Excel.Application");
    const auto books = automation::asDispatch(app->get("Workbooks"));
    const auto book =
        automation::asDispatch(books->call("Add", {automation::Variant::fromUtf8(windowsPath)}));
    const auto cell =
        automation::asDispatch(automation::asDispatch(app->get("Cells"))
                                   ->get("Item", {automation::Variant(1), automation::Variant(1)}));
    const std::string value = automation::variantToUtf8(cell->get("Value"));
    book->call("Close", {automation::Variant(false)});
    app->call("Quit");
    return value;
}

class MixedRunTest : public wux::test::TempDriveTest
{
protected:
    void SetUp() override { registerOfficeServices(); }
    void TearDown() override
    {
        engines::setDocumentReplacerFactory(nullptr);
        platform::movableFree(search);
    }

    engines::ReplacerStructure search;
};

TEST_F(MixedRunTest, EveryKindOfFileIsChangedByItsReplacer)
{
    wux::test::makeFolder(path("run"));
    wux::test::createFile(path("run\\notes.txt"), "a cat sat");
    wux::test::DocxContent docx;
    docx.body = wux::test::para({"word cat"});
    wux::test::createFile(path("run\\letter.docx"), wux::test::buildDocx(docx));
    wux::test::createFile(path("run\\book.xlsx"), xlsxWithText("sheet cat"));
    wux::test::createFile(path("run\\deck.pptx"), pptxWithText("slide cat"));
    wux::test::createFile(path("run\\text 100%20.odt"), odtWithText("open cat"));
    wux::test::createFile(path("run\\none.odt"), odtWithText("no dogs"));
    search = engines::BuildReplacerStructure("cat", "dog", false, false, engines::kModeReplace);
    core::TUserParameters parameters = test::replacerParameters(true);

    const std::vector<std::string> names = {"notes.txt", "letter.docx",     "book.xlsx",
                                            "deck.pptx", "text 100%20.odt", "none.odt"};
    const std::string folder = path("run");
    std::size_t next = 0;
    filelist::TOperationFileInfo info{};
    std::vector<std::int32_t> results, stages, matches;
    const std::size_t objectsBefore = platform::automation::liveObjectCount();

    engines::TReplacer thread;
    thread.TypeOfReplacing = engines::kModeReplace;
    thread.searchBlock = search;
    thread.backupFlag = true;
    thread.parameters = &parameters;
    thread.OnGetNextFile = [&](platform::WuxThread&, filelist::TOperationFileInfo*& out) {
        if (next >= names.size()) {
            out = nullptr;
            return;
        }
        info.name = names[next].c_str();
        info.folderPath = folder.c_str();
        info.attributes = 0x20;
        info.number = static_cast<std::int32_t>(++next);
        out = &info;
    };
    thread.OnProgress = [&](platform::WuxThread&, engines::TReplaceResult result, std::int32_t stage,
                            std::int32_t count, std::int64_t, std::int64_t, platform::WinError) {
        results.push_back(result);
        stages.push_back(stage);
        matches.push_back(count);
    };
    QEventLoop loop;
    thread.OnTerminate = [&](platform::WuxThread&) { loop.quit(); };
    thread.Start();
    loop.exec();
    EXPECT_EQ(thread.WaitFor(), engines::kRunDone);

    EXPECT_EQ(results, (std::vector<std::int32_t>{2, 2, 2, 2, 2, 8}));
    EXPECT_EQ(stages, (std::vector<std::int32_t>{0, kStageSave, kStageSave, kStageSave, kStageOdtDone,
                                                 kStageOdtDone}));
    EXPECT_EQ(matches, (std::vector<std::int32_t>{1, 1, 1, 1, 1, 0}));
    EXPECT_EQ(platform::automation::liveObjectCount(), objectsBefore);

    EXPECT_EQ(wux::test::readFileBytes(path("run\\notes.txt")), "a dog sat");
    EXPECT_EQ(test::mainText(path("run\\letter.docx")), "word dog\r");
    EXPECT_EQ(firstCell(path("run\\book.xlsx")), "sheet dog");
    EXPECT_EQ(test::presentationTexts(path("run\\deck.pptx")), std::vector<std::string>{"slide dog"});
    EXPECT_EQ(test::documentParagraphs(posix("run/text 100%20.odt")), std::vector<std::string>{"open dog"});
    // Each changed document has its backup; nothing else was written.
    EXPECT_EQ(wux::test::listNames(posix("run")),
              (std::vector<std::string>{"book.xlsx", "book.xlsx.bak", "deck.pptx", "deck.pptx.bak",
                                        "letter.docx", "letter.docx.bak", "none.odt", "notes.txt",
                                        "notes.txt.bak", "text 100%20.odt", "text 100%20.odt.bak"}));
}

// A search block in the DOS code page (the Replacer's DOS charset box) reaches every kind of document
// as the text the user typed: the factory tells each replacer to convert the block's texts back.
TEST_F(MixedRunTest, DosCharsetTextsReachEveryDocumentKindIntact)
{
    wux::test::DocxContent docx;
    docx.body = wux::test::para({"na\xc3\xafve cat"});
    wux::test::createFile(path("letter.docx"), wux::test::buildDocx(docx));
    wux::test::createFile(path("book.xlsx"), xlsxWithText("na\xc3\xafve cat"));
    wux::test::createFile(path("deck.pptx"), pptxWithText("na\xc3\xafve cat"));
    wux::test::createFile(path("text.odt"), odtWithText("na\xc3\xafve cat"));
    search = engines::BuildReplacerStructure("NA\xc3\xafVE", "caf\xc3\xa9", false, false,
                                             engines::kModeReplace, true);
    core::TUserParameters parameters = test::replacerParameters(false);
    test::IdleOwner owner;
    struct Row
    {
        std::int32_t kind;
        const char* file;
    };
    for (const Row row :
         {Row{engines::kKindWordProcessor, "letter.docx"}, Row{engines::kKindSpreadsheet, "book.xlsx"},
          Row{engines::kKindPresentation, "deck.pptx"}, Row{engines::kKindOpenDocumentText, "text.odt"}}) {
        SCOPED_TRACE(row.file);
        engines::DocumentReplacerRequest request;
        request.kind = row.kind;
        request.owner = &owner;
        request.mode = engines::kModeReplace;
        request.block = search;
        request.parameters = &parameters;
        request.oemTexts = true;
        const auto replacer = createOfficeReplacer(request);
        ASSERT_NE(replacer, nullptr);
        EXPECT_EQ(replacer->ProcessFile(path(row.file)), engines::kReplaceFound);
        EXPECT_EQ(replacer->matchCount(), 1);
    }
    EXPECT_EQ(test::mainText(path("letter.docx")), "caf\xc3\xa9 cat\r");
    EXPECT_EQ(firstCell(path("book.xlsx")), "caf\xc3\xa9 cat");
    EXPECT_EQ(test::presentationTexts(path("deck.pptx")), std::vector<std::string>{"caf\xc3\xa9 cat"});
    EXPECT_EQ(test::documentParagraphs(posix("text.odt")), std::vector<std::string>{"caf\xc3\xa9 cat"});
}

} // namespace
} // namespace wux::office
