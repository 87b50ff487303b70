// Review tests of the document replacers: a save that fails after the backup, files that are not what
// their extension says, empty find texts, documents reached through links and read-only documents.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "engines/base_replacer.h"
#include "excel_books_test.h"
#include "office/excel_replacer.h"
#include "office/openoffice_replacer.h"
#include "office/powerpoint_replacer.h"
#include "office/word_replacer.h"
#include "office_test_support.h"
#include "platform/automation/docx_fixture.h"
#include "platform/fault_injection.h"
#include "platform/movable_memory.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::office {
namespace {

using engines::TReplaceResult;

const char* kPptNs = " xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\""
                     " xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\""
                     " xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\"";
const char* kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
const char* kRelsNs = "http://schemas.openxmlformats.org/package/2006/relationships";

std::string pptxWith(const std::string& text)
{
    const std::string slide =
        std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><p:sld") + kPptNs +
        "><p:cSld><p:spTree><p:nvGrpSpPr><p:cNvPr id=\"1\" name=\"\"/><p:cNvGrpSpPr/><p:nvPr/></p:nvGrpSpPr>"
        "<p:grpSpPr/><p:sp><p:nvSpPr><p:cNvPr id=\"2\" name=\"T\"/><p:cNvSpPr/><p:nvPr/></p:nvSpPr><p:spPr/>"
        "<p:txBody><a:bodyPr/><a:p><a:r><a:t>" +
        text + "</a:t></a:r></a:p></p:txBody></p:sp></p:spTree></p:cSld></p:sld>";
    return wux::test::buildZip(
        {{"[Content_Types].xml",
          "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>"},
         {"_rels/.rels", std::string("<Relationships xmlns=\"") + kRelsNs +
                             "\"><Relationship Id=\"rId1\" Type=\"" + kRelNs +
                             "officeDocument\" Target=\"ppt/presentation.xml\"/></Relationships>"},
         {"ppt/presentation.xml", std::string("<p:presentation") + kPptNs +
                                      "><p:sldIdLst><p:sldId id=\"256\" r:id=\"rId2\"/></p:sldIdLst>"
                                      "</p:presentation>"},
         {"ppt/_rels/presentation.xml.rels", std::string("<Relationships xmlns=\"") + kRelsNs +
                                                 "\"><Relationship Id=\"rId2\" Type=\"" + kRelNs +
                                                 "slide\" Target=\"slides/slide1.xml\"/></Relationships>"},
         {"ppt/slides/slide1.xml", slide}});
}

std::string odtWith(const std::string& text)
{
    const char* mime = "application/vnd.oasis.opendocument.text";
    const std::string content =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-content "
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" office:version=\"1.3\">"
        "<office:body><office:text><text:p>" +
        text + "</text:p></office:text></office:body></office:document-content>";
    const std::string manifest =
        std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><manifest:manifest "
                    "xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">"
                    "<manifest:file-entry manifest:full-path=\"/\" manifest:media-type=\"") +
        mime + "\"/></manifest:manifest>";
    return wux::test::buildZip(
        {{"mimetype", mime}, {"content.xml", content}, {"META-INF/manifest.xml", manifest}}, {"mimetype"});
}

std::string xlsxWith(const std::string& text)
{
    test::BookSpec book;
    book.sheets.push_back(test::sheet("One", test::row(1, test::inlineCell("A1", text))));
    return test::buildBook(book);
}

class DocumentReviewTest : public wux::test::TempDriveTest
{
protected:
    ~DocumentReviewTest() override
    {
        for (platform::MovableHandle block : blocks_)
            platform::movableFree(block);
    }

    platform::MovableHandle searchBlock(std::string_view find, std::string_view replace, std::int32_t mode)
    {
        const platform::MovableHandle block =
            engines::BuildReplacerStructure(find, replace, false, false, mode);
        blocks_.push_back(block);
        return block;
    }

    TReplaceResult process(int kind, const std::string& file, platform::MovableHandle block,
                           std::int32_t mode, std::int32_t* matches = nullptr)
    {
        std::unique_ptr<TDocumentReplacer> replacer;
        switch (kind) {
        case 0:
            replacer = std::make_unique<TMSWordReplacer>(&owner, mode, block, &parameters);
            break;
        case 1:
            replacer = std::make_unique<TMSExcelReplacer>(&owner, 0, mode, block, true);
            break;
        case 2:
            replacer = std::make_unique<TMSPowerPointReplacer>(&owner, 0, mode, block, true);
            break;
        default:
            replacer = std::make_unique<TOOWriterReplacer>(&owner, mode, block, &parameters);
            break;
        }
        const TReplaceResult result = replacer->ProcessFile(file);
        if (matches)
            *matches = replacer->matchCount();
        return result;
    }

    std::string write(int kind, const std::string& text)
    {
        static const char* names[] = {"d.docx", "b.xlsx", "p.pptx", "o.odt"};
        std::string bytes;
        switch (kind) {
        case 0: {
            wux::test::DocxContent docx;
            docx.body = wux::test::para({text});
            bytes = wux::test::buildDocx(docx);
            break;
        }
        case 1:
            bytes = xlsxWith(text);
            break;
        case 2:
            bytes = pptxWith(text);
            break;
        default:
            bytes = odtWith(text);
            break;
        }
        wux::test::createFile(path(names[kind]), bytes);
        return path(names[kind]);
    }

    test::IdleOwner owner;
    core::TUserParameters parameters = test::replacerParameters(true);

private:
    std::vector<platform::MovableHandle> blocks_;
};

const char* kKindNames[] = {"docx", "xlsx", "pptx", "odt"};

// A save that fails after the backup copy was made leaves the document as it was, and no ".bak" of a
// change that never happened (the next run's backup would otherwise go to ".bak0").
TEST_F(DocumentReviewTest, AFailedSaveRemovesTheBackupItWasMadeFor)
{
    platform::ScopedFaultClear clear;
    for (int kind = 0; kind < 4; ++kind) {
        SCOPED_TRACE(kKindNames[kind]);
        const std::string file = write(kind, "a cat here");
        const std::string before = wux::test::readFileBytes(file);
        // Only the rename of the rewritten package fails: the backup copy never renames.
        platform::injectFault(file, platform::kErrorDiskFull, platform::kFaultRename);
        EXPECT_EQ(process(kind, file, searchBlock("cat", "dog", 1), 1), engines::kReplaceFailed);
        platform::clearFaults();
        EXPECT_EQ(wux::test::readFileBytes(file), before);
        EXPECT_FALSE(wux::test::exists(file + ".bak"));
        EXPECT_EQ(wux::test::listNames(drive.root()).size(), static_cast<std::size_t>(kind + 1));
        // A later run that succeeds makes the plain ".bak".
        EXPECT_EQ(process(kind, file, searchBlock("cat", "dog", 1), 1), engines::kReplaceFound);
        EXPECT_EQ(wux::test::readFileBytes(file + ".bak"), before);
        std::remove(wux::test::posixOf(file + ".bak").c_str());
    }
}

// Files that are not what their extension says fail cleanly: unchanged, no backup, nothing beside.
TEST_F(DocumentReviewTest, FilesThatAreNotWhatTheirExtensionSaysFailUntouched)
{
    struct Case
    {
        int kind;
        const char* name;
        std::string bytes;
        bool folder;
    };
    const std::string otherZip = wux::test::buildZip({{"a.txt", "cat"}});
    const std::vector<Case> cases = {
        {0, "plain.docx", "just a cat in text", false},
        {1, "empty.xlsx", "", false},
        {2, "folder.pptx", "", true},
        {3, "text.odt", "cat cat", false},
        {0, "zip.docx", otherZip, false},
        {1, "zip.xlsx", otherZip, false},
        {2, "zip.pptx", otherZip, false},
        {3, "zip.odt", otherZip, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.folder)
            wux::test::makeFolder(path(c.name));
        else
            wux::test::createFile(path(c.name), c.bytes);
        EXPECT_EQ(process(c.kind, path(c.name), searchBlock("cat", "dog", 1), 1), engines::kReplaceFailed);
        if (!c.folder) {
            EXPECT_EQ(wux::test::readFileBytes(path(c.name)), c.bytes);
        }
    }
    EXPECT_EQ(wux::test::listNames(drive.root()),
              (std::vector<std::string>{"empty.xlsx", "folder.pptx", "plain.docx", "text.odt", "zip.docx",
                                        "zip.odt", "zip.pptx", "zip.xlsx"}));
}

// An empty find text changes nothing in any mode and makes no backup.
TEST_F(DocumentReviewTest, AnEmptyFindTextChangesNothingInAnyMode)
{
    for (int kind = 0; kind < 4; ++kind) {
        for (std::int32_t mode : {1, 2, 4, 8, 16, 32, 64, 128}) {
            SCOPED_TRACE(std::string(kKindNames[kind]) + " mode " + std::to_string(mode));
            const std::string file = write(kind, "a cat here");
            const std::string before = wux::test::readFileBytes(file);
            std::int32_t matches = -1;
            const TReplaceResult result = process(kind, file, searchBlock("", "dog", mode), mode, &matches);
            EXPECT_TRUE(result == engines::kReplaceNothingFound ||
                        result == engines::kReplaceModeNotSupported)
                << result;
            EXPECT_EQ(matches, 0);
            EXPECT_EQ(wux::test::readFileBytes(file), before);
            EXPECT_FALSE(wux::test::exists(file + ".bak"));
        }
    }
}

// A document reached through a symbolic link is rewritten where it lives and the link stays a link; a
// read-only document is refused (64) and left alone.
TEST_F(DocumentReviewTest, LinkedDocumentsStayLinksAndReadOnlyOnesAreRefused)
{
    for (int kind = 0; kind < 4; ++kind) {
        SCOPED_TRACE(kKindNames[kind]);
        const std::string file = write(kind, "a cat here");
        const std::string before = wux::test::readFileBytes(file);
        const std::string link = path("link") + file.substr(file.rfind('.'));
        ASSERT_EQ(::symlink(wux::test::posixOf(file).c_str(), wux::test::posixOf(link).c_str()), 0);
        EXPECT_EQ(process(kind, link, searchBlock("cat", "dog", 1), 1), engines::kReplaceFound);
        EXPECT_TRUE(S_ISLNK(wux::test::modeOf(link)));
        EXPECT_NE(wux::test::readFileBytes(file), before);
        EXPECT_EQ(wux::test::readFileBytes(link + ".bak"), before);

        const std::string readOnly = path("ro") + file.substr(file.rfind('.'));
        wux::test::createFile(readOnly, before, wux::test::kNoTime, 0444);
        EXPECT_EQ(process(kind, readOnly, searchBlock("cat", "dog", 1), 1), engines::kReplaceDocumentLocked);
        EXPECT_EQ(wux::test::readFileBytes(readOnly), before);
        EXPECT_FALSE(wux::test::exists(readOnly + ".bak"));
        for (const std::string& name : {file, link, link + ".bak", readOnly})
            std::remove(wux::test::posixOf(name).c_str());
        EXPECT_TRUE(wux::test::listNames(drive.root()).empty());
    }
}

} // namespace
} // namespace wux::office
