// The OpenDocument text wrapper and replacer against the stand-in "com.sun.star.ServiceManager" server
// over real .odt packages built here: the stage and result table, every supported mode, the table rows,
// URLs of awkward names, and the stored files re-opened and checked.
#include "office/openoffice_replacer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <pugixml.hpp>

#include "core/user_parameters.h"
#include "engines/base_replacer.h"
#include "engines/batch_table.h"
#include "office/openoffice_writer.h"
#include "office_test_support.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/docx_fixture.h"
#include "platform/automation/odt_story.h"
#include "platform/automation/package.h"
#include "platform/automation/text_story.h"
#include "platform/fault_injection.h"
#include "platform/file_handle.h"
#include "platform/movable_memory.h"
#include "platform/text.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::office {
namespace {

namespace automation = platform::automation;
using engines::TReplaceResult;

const char* kMime = "application/vnd.oasis.opendocument.text";
const char* kNs = " xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
                  " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\""
                  " xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\""
                  " xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\"";

struct Odt
{
    std::string body;               // inner XML of office:text
    std::string manifestExtra = {}; // inner XML of content.xml's manifest entry
    std::string mimetype = kMime;
};

std::string buildOdt(const Odt& odt)
{
    const std::string content =
        std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-content") + kNs +
        " office:version=\"1.3\"><office:automatic-styles><style:style style:name=\"B\" "
        "style:family=\"text\"/></office:automatic-styles><office:body><office:text>" +
        odt.body + "</office:text></office:body></office:document-content>";
    const std::string manifest =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<manifest:manifest "
        "xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" manifest:version=\"1.3\">"
        "<manifest:file-entry manifest:full-path=\"/\" manifest:media-type=\"" +
        std::string(kMime) + "\"/><manifest:file-entry manifest:full-path=\"content.xml\" " +
        "manifest:media-type=\"text/xml\">" + odt.manifestExtra +
        "</manifest:file-entry></manifest:manifest>";
    const std::string styles =
        std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-styles") + kNs +
        "><office:master-styles><style:master-page style:name=\"Standard\"><style:header>"
        "<text:p>header cat</text:p></style:header></style:master-page></office:master-styles>"
        "</office:document-styles>";
    return wux::test::buildZip({{"mimetype", odt.mimetype},
                                {"content.xml", content},
                                {"styles.xml", styles},
                                {"Pictures/image1.png", std::string("\x89PNG\r\n\x1a\n\0\x01", 10)},
                                {"META-INF/manifest.xml", manifest}},
                               {"mimetype"});
}

std::string paragraph(const std::string& text)
{
    return "<text:p>" + text + "</text:p>";
}

using Texts = std::vector<std::string>;

// The texts of the searched paragraphs of a stored file, in document order.
Texts paragraphs(const std::string& posixPath)
{
    const std::string content = wux::test::readZip(posixPath).at("content.xml");
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_buffer(content.data(), content.size(), automation::kXmlParseFlags));
    automation::OdtDialect dialect(doc.document_element());
    automation::TextStory story(dialect, nullptr);
    dialect.addParagraphs(story, "content.xml",
                          automation::child(automation::child(doc.document_element(), "body"), "text"));
    Texts out;
    for (const automation::Paragraph& p : story.paragraphs())
        out.push_back(platform::utf16ToUtf8(p.text));
    return out;
}

class OpenOfficeReplacerTest : public wux::test::TempDriveTest
{
protected:
    ~OpenOfficeReplacerTest() override
    {
        for (platform::MovableHandle block : blocks_)
            platform::movableFree(block);
    }

    platform::MovableHandle searchBlock(std::string_view find, std::string_view replace, std::int32_t mode,
                                        bool caseSensitive = false, bool wholeWord = false)
    {
        const platform::MovableHandle block =
            engines::BuildReplacerStructure(find, replace, caseSensitive, wholeWord, mode);
        blocks_.push_back(block);
        return block;
    }

    platform::MovableHandle tableBlock(const engines::TableCells& flags, const engines::TableCells& finds,
                                       const engines::TableCells& replaces)
    {
        platform::MovableHandle block{};
        EXPECT_EQ(engines::CheckAndBuildTableBlock(block, flags, finds, replaces), -1);
        blocks_.push_back(block);
        return block;
    }

    std::string write(const std::string& name, const Odt& odt)
    {
        wux::test::createFile(path(name), buildOdt(odt));
        return path(name);
    }

    std::string writeText(const std::string& name, const std::string& text)
    {
        return write(name, Odt{paragraph(text)});
    }

    test::IdleOwner owner;
    core::TUserParameters parameters = test::replacerParameters(true);

private:
    std::vector<platform::MovableHandle> blocks_;
};

TEST_F(OpenOfficeReplacerTest, ConvertToUrlEscapesBlanksAndPercentAndTurnsBackslashes)
{
    const struct
    {
        const char* path;
        const char* url;
    } cases[] = {
        {"c:\\my docs\\letter.odt", "c:/my%20docs/letter.odt"},
        {"c:\\100%20 final.odt", "c:/100%2520%20final.odt"},
        {"c:\\a%b\\\xC3\xA9t\xC3\xA9.odt", "c:/a%25b/\xC3\xA9t\xC3\xA9.odt"},
        {"\\\\server\\share\\x.odt", "//server/share/x.odt"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TOpenOfficeWriter::ConvertToURL(c.path), c.url) << c.path;
}

TEST_F(OpenOfficeReplacerTest, CreationTakesTheBackupFlagFromTheParameters)
{
    const auto block = searchBlock("a", "b", 1);
    TOOWriterReplacer replacer(&owner, 1, block, &parameters);
    EXPECT_TRUE(replacer.createBackUpCopyFlag());
    EXPECT_EQ(replacer.application(), nullptr); // made at the first document
    EXPECT_EQ(replacer.rowCount(), 1);
    core::TUserParameters off = test::replacerParameters(false);
    EXPECT_FALSE(TOOWriterReplacer(&owner, 1, block, &off).createBackUpCopyFlag());
    core::TUserParameters none("Replacer");
    EXPECT_THROW(TOOWriterReplacer(&owner, 1, block, &none), core::EParameterAbsent);
}

// The stage and result table of one document.
TEST_F(OpenOfficeReplacerTest, StagesAndResults)
{
    platform::ScopedFaultClear clearFaults;
    struct Case
    {
        const char* name;
        std::int32_t mode;
        std::function<std::string()> prepare; // writes the file, returns its path
        std::function<void()> arrange;        // faults, holders
        TReplaceResult result;
        std::int32_t stage;
        std::int32_t matches;
        bool changed;
        bool backup;
    };
    platform::FileHandle holder;
    Odt encrypted{paragraph("a cat")};
    encrypted.manifestExtra = "<manifest:encryption-data manifest:checksum-type=\"SHA1/1K\"/>";
    Odt sheet{paragraph("a cat")};
    sheet.mimetype = "application/vnd.oasis.opendocument.spreadsheet";
    const Case cases[] = {
        {"missing", 1, [&] { return path("missing.odt"); }, [] {}, engines::kReplaceFailed, 98, 0, false,
         false},
        {"folder", 1,
         [&] {
             wux::test::makeFolder(path("folder.odt"));
             return path("folder.odt");
         },
         [] {}, engines::kReplaceFailed, 98, 0, false, false},
        {"held", 1, [&] { return writeText("held.odt", "a cat"); },
         [&] {
             ASSERT_EQ(holder.open(path("held.odt"), platform::kAccessRead, platform::kShareRead,
                                   platform::Disposition::kOpenExisting),
                       platform::kErrorSuccess);
         },
         engines::kReplaceDocumentLocked, 98, 0, false, false},
        {"legacy", 1,
         [&] {
             wux::test::createFile(path("legacy.doc"),
                                   std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "x");
             return path("legacy.doc");
         },
         [] {}, engines::kReplaceFailed, 100, 0, false, false},
        {"encrypted", 1, [&] { return write("secret.odt", encrypted); }, [] {}, engines::kReplaceFailed, 100,
         0, false, false},
        {"not a text", 1, [&] { return write("sheet.odt", sheet); }, [] {}, engines::kReplaceFailed, 100, 0,
         false, false},
        {"at head", 4, [&] { return writeText("head.odt", "a cat"); }, [] {},
         engines::kReplaceModeNotSupported, 103, 0, false, false},
        {"between", 32, [&] { return writeText("between.odt", "a cat"); }, [] {},
         engines::kReplaceModeNotSupported, 103, 0, false, false},
        {"at foot", 64, [&] { return writeText("foot.odt", "a cat"); }, [] {},
         engines::kReplaceModeNotSupported, 103, 0, false, false},
        {"no match", 1, [&] { return writeText("nomatch.odt", "a dog"); }, [] {},
         engines::kReplaceNothingFound, 103, 0, false, false},
        {"just find", 128, [&] { return writeText("find.odt", "a cat, a cat"); }, [] {},
         engines::kReplaceFound, 103, 2, false, false},
        {"just find, none", 128, [&] { return writeText("findnone.odt", "a dog"); }, [] {},
         engines::kReplaceNothingFound, 103, 0, false, false},
        {"backup fails", 1, [&] { return writeText("bak.odt", "a cat"); },
         [&] { platform::injectFault(path("bak.odt.bak"), platform::kErrorDiskFull, platform::kFaultOpen); },
         engines::kReplaceFailed, 102, 1, false, false},
        {"store fails", 1, [&] { return writeText("save.odt", "a cat"); },
         [&] { platform::injectFault(path("save.odt"), platform::kErrorDiskFull, platform::kFaultWrite); },
         engines::kReplaceFailed, 102, 1, false, true},
        {"success", 1, [&] { return writeText("ok.odt", "a cat"); }, [] {}, engines::kReplaceFound, 103, 1,
         true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = c.prepare();
        const bool isFile =
            wux::test::exists(file) && !std::filesystem::is_directory(wux::test::posixOf(file));
        const std::string before = isFile ? wux::test::readFileBytes(file) : std::string();
        c.arrange();
        const auto block = searchBlock("cat", "dog", c.mode);
        // The store failure is injected on the document's own path, which the backup name shares.
        core::TUserParameters caseParameters =
            test::replacerParameters(std::string_view(c.name) != "store fails");
        TOOWriterReplacer replacer(&owner, c.mode, block, &caseParameters);
        EXPECT_EQ(replacer.ProcessFile(file), c.result);
        EXPECT_EQ(replacer.stage(), c.stage);
        EXPECT_EQ(replacer.matchCount(), c.matches);
        if (isFile) {
            EXPECT_EQ(replacer.fileSize(), static_cast<std::int64_t>(before.size()));
        } else {
            EXPECT_EQ(replacer.fileSize(), -1);
        }
        // Whatever happened, no document is left loaded.
        if (replacer.application() != nullptr) {
            EXPECT_FALSE(replacer.application()->hasDocument());
        }
        holder.close();
        platform::clearFaults();
        if (isFile) {
            EXPECT_EQ(wux::test::readFileBytes(file) != before, c.changed);
            if (c.changed) {
                EXPECT_EQ(paragraphs(wux::test::posixOf(file)), Texts{"a dog"});
            }
        }
        EXPECT_EQ(wux::test::exists(file + ".bak"), c.backup && c.changed);
        if (c.backup && c.changed) {
            EXPECT_EQ(wux::test::readFileBytes(file + ".bak"), before);
        }
    }
    // Only the files, the folder and the one backup of the success are left: no temporary file.
    EXPECT_EQ(wux::test::listNames(drive.root()),
              (std::vector<std::string>{"bak.odt", "between.odt", "find.odt", "findnone.odt", "folder.odt",
                                        "foot.odt", "head.odt", "held.odt", "legacy.doc", "nomatch.odt",
                                        "ok.odt", "ok.odt.bak", "save.odt", "secret.odt", "sheet.odt"}));
}

TEST_F(OpenOfficeReplacerTest, WithoutTheSuiteEveryDocumentFailsAtStage99)
{
    automation::ScopedClassRestore restore;
    automation::unregisterClass(kServiceManagerClass);
    const std::string first = writeText("one.odt", "a cat");
    const std::string second = writeText("two.odt", "a cat");
    const std::string bytes = wux::test::readFileBytes(first);
    const auto block = searchBlock("cat", "dog", 1);
    TOOWriterReplacer replacer(&owner, 1, block, &parameters);
    EXPECT_EQ(replacer.ProcessFile(first), engines::kReplaceFailed);
    EXPECT_EQ(replacer.stage(), kStageOdtConnect);
    EXPECT_TRUE(replacer.connectFailed());
    ASSERT_NE(replacer.application(), nullptr);
    EXPECT_FALSE(replacer.application()->hasServiceManager());
    EXPECT_FALSE(replacer.application()->hasDesktop());
    // Installed meanwhile: the run keeps the one application object it made.
    automation::restoreClasses();
    const TOpenOfficeWriter* writer = replacer.application();
    EXPECT_EQ(replacer.ProcessFile(second), engines::kReplaceFailed);
    EXPECT_EQ(replacer.stage(), kStageOdtConnect);
    EXPECT_EQ(replacer.application(), writer);
    EXPECT_EQ(replacer.matchCount(), 0);
    EXPECT_EQ(wux::test::readFileBytes(first), bytes);
    EXPECT_EQ(wux::test::readFileBytes(second), bytes);
    // The file tests still come first.
    EXPECT_EQ(replacer.ProcessFile(path("gone.odt")), engines::kReplaceFailed);
    EXPECT_EQ(replacer.stage(), kStageOdtTestFile);
}

// Paragraphs and headings of lists, tables, sections, frames and notes are searched; headers in the
// styles are not. Formatting spans around and inside hits stay.
TEST_F(OpenOfficeReplacerTest, ModesOnTheBody)
{
    const std::string body =
        "<text:h text:outline-level=\"1\">The cat</text:h>"
        "<text:p>A <text:span text:style-name=\"B\">cat</text:span> and a Cat.</text:p>"
        "<text:list><text:list-item><text:p>listed cat</text:p></text:list-item></text:list>"
        "<table:table><table:table-row><table:table-cell><text:p>cell cat</text:p></table:table-cell>"
        "</table:table-row></table:table>"
        "<text:p>concatenate<text:note><text:note-body><text:p>note cat</text:p></text:note-body>"
        "</text:note></text:p>";
    const struct
    {
        std::int32_t mode;
        const char* find;
        const char* replace;
        bool caseSensitive;
        bool wholeWord;
        Texts texts;
        std::int32_t matches;
        const char* xml; // a piece of the stored content
    } cases[] = {
        {1,
         "cat",
         "dog",
         false,
         false,
         {"The dog", "A dog and a dog.", "listed dog", "cell dog", "condogenate\xEF\xBF\xBF", "note dog"},
         7,
         "<text:span text:style-name=\"B\">dog</text:span>"},
        {1,
         "Cat",
         "dog",
         true,
         false,
         {"The cat", "A cat and a dog.", "listed cat", "cell cat", "concatenate\xEF\xBF\xBF", "note cat"},
         1,
         "<text:span text:style-name=\"B\">cat</text:span>"},
        {1,
         "cat",
         "dog",
         false,
         true,
         {"The dog", "A dog and a dog.", "listed dog", "cell dog", "concatenate\xEF\xBF\xBF", "note dog"},
         6,
         "<text:p>concatenate<text:note>"},
        {2,
         "cat",
         "",
         false,
         true,
         {"The ", "A  and a .", "listed ", "cell ", "concatenate\xEF\xBF\xBF", "note "},
         6,
         "<text:p>A <text:s/>and a .</text:p>"},
        {8,
         "cat",
         "!",
         false,
         true,
         {"The cat!", "A cat! and a Cat!.", "listed cat!", "cell cat!", "concatenate\xEF\xBF\xBF",
          "note cat!"},
         6,
         "<text:span text:style-name=\"B\">cat!</text:span>"},
        {16,
         "cat",
         "big ",
         false,
         true,
         {"The big cat", "A big cat and a big Cat.", "listed big cat", "cell big cat",
          "concatenate\xEF\xBF\xBF", "note big cat"},
         6,
         "<text:span text:style-name=\"B\">big cat</text:span>"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.mode) + " " + c.find);
        const std::string name = "m" + std::to_string(n++) + ".odt";
        const std::string file = write(name, Odt{body});
        const auto before = wux::test::readZip(posix(name));
        const auto block = searchBlock(c.find, c.replace, c.mode, c.caseSensitive, c.wholeWord);
        core::TUserParameters noBackup = test::replacerParameters(false);
        TOOWriterReplacer replacer(&owner, c.mode, block, &noBackup);
        EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
        EXPECT_EQ(replacer.stage(), kStageOdtDone);
        EXPECT_EQ(replacer.matchCount(), c.matches);
        EXPECT_EQ(paragraphs(posix(name)), c.texts);
        const auto after = wux::test::readZip(posix(name));
        EXPECT_NE(after.at("content.xml").find(c.xml), std::string::npos) << after.at("content.xml");
        for (const auto& [part, bytes] : before) {
            if (part != "content.xml") {
                EXPECT_EQ(after.at(part), bytes) << part;
            }
        }
        // "mimetype" stays the first entry, stored.
        const std::string raw = wux::test::readFileBytes(file);
        EXPECT_EQ(wux::test::zipNames(posix(name)).front(), "mimetype");
        EXPECT_EQ(raw.substr(38, std::string(kMime).size()), kMime);
    }
}

TEST_F(OpenOfficeReplacerTest, AHitAcrossSpansIsChangedAndTheTextAroundItStays)
{
    const std::string file = write(
        "spans.odt", Odt{"<text:p>The <text:span text:style-name=\"B\">big ca</text:span>t sat</text:p>"});
    const auto block = searchBlock("cat", "dog", 1);
    TOOWriterReplacer replacer(&owner, 1, block, &parameters);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    EXPECT_EQ(paragraphs(posix("spans.odt")), Texts{"The big dog sat"});
    const std::string content = wux::test::readZip(posix("spans.odt")).at("content.xml");
    EXPECT_NE(content.find("<text:p>The <text:span text:style-name=\"B\">big dog</text:span> sat</text:p>"),
              std::string::npos)
        << content;
}

TEST_F(OpenOfficeReplacerTest, JustFindCountsAndChangesNothing)
{
    const std::string file = write("find.odt", Odt{paragraph("cat cat") + paragraph("Cat")});
    const std::string bytes = wux::test::readFileBytes(file);
    const auto block = searchBlock("cat", "dog", 128);
    TOOWriterReplacer replacer(&owner, 128, block, &parameters);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    EXPECT_EQ(replacer.matchCount(), 3);
    EXPECT_EQ(wux::test::readFileBytes(file), bytes);
    EXPECT_FALSE(wux::test::exists(file + ".bak"));
}

TEST_F(OpenOfficeReplacerTest, NamesWithBlanksAndPercentAreReplacedInPlace)
{
    wux::test::makeFolder(path("my docs"));
    const std::string file = write("my docs\\report 100%20 final.odt", Odt{paragraph("draft cat")});
    const std::string before = wux::test::readFileBytes(file);
    const auto block = searchBlock("cat", "dog", 1);
    TOOWriterReplacer replacer(&owner, 1, block, &parameters);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    EXPECT_EQ(replacer.stage(), kStageOdtDone);
    // The document and its backup, and no other file.
    EXPECT_EQ(wux::test::listNames(posix("my docs")),
              (std::vector<std::string>{"report 100%20 final.odt", "report 100%20 final.odt.bak"}));
    EXPECT_EQ(wux::test::listNames(drive.root()), (std::vector<std::string>{"my docs"}));
    EXPECT_EQ(paragraphs(posix("my docs/report 100%20 final.odt")), Texts{"draft dog"});
    EXPECT_EQ(wux::test::readFileBytes(file + ".bak"), before);
}

TEST_F(OpenOfficeReplacerTest, TableRowsApplyInOrderWithTheirInsertCodes)
{
    const auto block = tableBlock({"N", "Y", "N"}, {"cat", "Dog", "bird"}, {"lion", "#U#big ", "#D#s"});
    const std::string file = write("table.odt", Odt{paragraph("Cat and Dog and dog") + paragraph("bird")});
    TOOWriterReplacer replacer(&owner, engines::kModeBatchTable, block, &parameters);
    replacer.setRowCount(3);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    EXPECT_EQ(replacer.matchCount(), 3);
    EXPECT_EQ(paragraphs(posix("table.odt")), (Texts{"lion and big Dog and dog", "birds"}));

    // A row past the end of the block fails the document at the search stage, unchanged.
    const std::string other = writeText("table2.odt", "cat");
    const std::string bytes = wux::test::readFileBytes(other);
    replacer.setRowCount(4);
    EXPECT_EQ(replacer.ProcessFile(other), engines::kReplaceFailed);
    EXPECT_EQ(replacer.stage(), kStageOdtSearch);
    EXPECT_EQ(replacer.matchCount(), 0);
    EXPECT_EQ(wux::test::readFileBytes(other), bytes);
}

TEST_F(OpenOfficeReplacerTest, OneApplicationServesTheRunAndFiguresStartAgainForEachFile)
{
    const std::string a = writeText("a.odt", "one cat and a cat");
    const std::string b = writeText("b.odt", "no dogs");
    const auto block = searchBlock("cat", "dog", 1);
    const std::size_t objectsBefore = automation::liveObjectCount();
    auto replacer = std::make_unique<TOOWriterReplacer>(&owner, 1, block, &parameters);
    EXPECT_EQ(replacer->ProcessFile(a), engines::kReplaceFound);
    EXPECT_EQ(replacer->matchCount(), 2);
    const TOpenOfficeWriter* writer = replacer->application();
    EXPECT_EQ(replacer->cachedSearch().find, u"cat");
    EXPECT_EQ(replacer->ProcessFile(b), engines::kReplaceNothingFound);
    EXPECT_EQ(replacer->matchCount(), 0);
    EXPECT_FALSE(wux::test::exists(b + ".bak"));
    EXPECT_EQ(replacer->ProcessFile(path("gone.odt")), engines::kReplaceFailed);
    EXPECT_EQ(replacer->fileSize(), -1);
    EXPECT_EQ(replacer->application(), writer);
    replacer.reset();
    EXPECT_EQ(automation::liveObjectCount(), objectsBefore);
    EXPECT_EQ(paragraphs(posix("a.odt")), Texts{"one dog and a dog"});
}

TEST_F(OpenOfficeReplacerTest, AStopRequestEndsTheFileInItsBackupCopy)
{
    const std::string file = writeText("stop.odt", "a cat");
    const std::string bytes = wux::test::readFileBytes(file);
    const auto block = searchBlock("cat", "dog", 1);
    TOOWriterReplacer replacer(&owner, 1, block, &parameters);
    owner.Terminate();
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFailed);
    EXPECT_EQ(replacer.stage(), kStageOdtStore);
    EXPECT_EQ(wux::test::readFileBytes(file), bytes);
    EXPECT_FALSE(wux::test::exists(file + ".bak"));
}

TEST_F(OpenOfficeReplacerTest, AnOutputFolderReceivesTheChangedDocument)
{
    const std::string file = writeText("moved.odt", "a cat");
    wux::test::makeFolder(path("out dir"));
    const auto block = searchBlock("cat", "dog", 1);
    core::TUserParameters noBackup = test::replacerParameters(false);
    TOOWriterReplacer replacer(&owner, 1, block, &noBackup);
    replacer.setOutputFolder(path("out dir"));
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    EXPECT_FALSE(wux::test::exists(file));
    EXPECT_EQ(paragraphs(posix("out dir/moved.odt")), Texts{"a dog"});
}

TEST_F(OpenOfficeReplacerTest, TextsThatADocumentCannotHoldFailTheDocument)
{
    const std::string file = writeText("bad.odt", "a cat");
    const std::string bytes = wux::test::readFileBytes(file);
    const auto block = searchBlock("cat", "\x01", 1);
    TOOWriterReplacer replacer(&owner, 1, block, &parameters);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFailed);
    EXPECT_EQ(replacer.stage(), kStageOdtSearch);
    EXPECT_EQ(wux::test::readFileBytes(file), bytes);
    EXPECT_FALSE(wux::test::exists(file + ".bak"));
}

} // namespace

// A document of one paragraph, and the texts of a stored document's paragraphs (for the run tests).
namespace test {
std::string odtWithText(const std::string& text)
{
    return buildOdt(Odt{paragraph(text)});
}
std::vector<std::string> documentParagraphs(const std::string& posixPath)
{
    return paragraphs(posixPath);
}
} // namespace test

} // namespace wux::office
