// The frame every document replacer shares, run over the four kinds of document against their stand-in
// servers and real packages: the stage and result of each way a document can fail or succeed, the
// missing application, the figures of each file, an application held by its user, backups, output
// folders, stop requests, links and read-only files. Where the kinds differ (stage numbers, the modes
// they refuse, the documents their application refuses) the difference is a field of the kind's row.
#include "office/document_replacer.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

#include "core/user_parameters.h"
#include "engines/base_replacer.h"
#include "office/excel_replacer.h"
#include "office/openoffice_replacer.h"
#include "office/powerpoint_replacer.h"
#include "office/word_replacer.h"
#include "office_test_support.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/excel_server.h"
#include "platform/automation/package.h"
#include "platform/automation/word_server.h"
#include "platform/fault_injection.h"
#include "platform/file_handle.h"
#include "platform/movable_memory.h"
#include "support/file_builders.h"
#include "support/packages.h"
#include "support/temp_drive.h"
#include "workbooks.h"

namespace wux::office {
namespace {

namespace automation = platform::automation;
using engines::TReplaceResult;
using Names = std::vector<std::string>;

const std::string kOle = std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "legacy";

// A document the kind's application refuses, with the stage and result of the refusal.
struct Refused
{
    const char* name;
    std::string bytes;
    TReplaceResult result;
    std::int32_t stage;
    std::int32_t matches = 0;
};

struct DocumentKind
{
    const char* name;
    const char* extension;
    std::string_view applicationClass;
    // The bytes of a document whose text is `text`, and the text of a stored document.
    std::function<std::string(const std::string& text)> package;
    std::function<std::string(const std::string& windowsPath)> text;
    std::function<std::unique_ptr<TDocumentReplacer>(platform::WuxThread*, std::int32_t mode,
                                                     platform::MovableHandle, const core::TUserParameters*)>
        make;
    // The application object of the run, and the name of its collection of open documents ("" when
    // the kind keeps no documents open between files).
    std::function<automation::DispatchRef(TDocumentReplacer&)> application;
    const char* documents;
    // Stages: the file test, the connection, the open, a search done, a search failed, the backup and
    // the save, a document saved, and the stage a stop request ends a document in.
    struct
    {
        std::int32_t testFile, connect, open, searched, search, backup, save, saved, stopped;
    } stages;
    // Whether the file tests come before the connection (else a failed connection fails every file).
    bool fileTestsFirst;
    const char* legacyExtension;
    std::vector<std::int32_t> unsupportedModes;
    std::vector<Refused> refused;
    // The documents the run's application holds open (0 without an application).
    std::function<std::int32_t(TDocumentReplacer&)> openDocuments;
};

void PrintTo(const DocumentKind* kind, std::ostream* os)
{
    *os << kind->name;
}

std::string docxWithText(const std::string& text)
{
    wux::test::DocxContent docx;
    docx.body = wux::test::para({text});
    return wux::test::buildDocx(docx);
}

std::string joined(const std::vector<std::string>& texts)
{
    std::string out;
    for (const std::string& t : texts)
        out += (out.empty() ? "" : "|") + t;
    return out;
}

template <typename Replacer> std::int32_t openIn(TDocumentReplacer& r)
{
    auto* application = static_cast<Replacer&>(r).application();
    if (application == nullptr)
        return 0;
    if constexpr (std::is_same_v<Replacer, TMSWordReplacer>)
        return application->DocumentCount();
    else if constexpr (std::is_same_v<Replacer, TMSExcelReplacer>)
        return application->WorkbookCount();
    else if constexpr (std::is_same_v<Replacer, TMSPowerPointReplacer>)
        return application->PresentationCount();
    else
        return application->hasDocument() ? 1 : 0;
}

const std::vector<DocumentKind>& kinds()
{
    static const std::vector<DocumentKind> all = {
        {"word processor",
         ".docx",
         automation::kWordApplicationProgId,
         docxWithText,
         [](const std::string& file) {
             std::string text = test::mainText(file);
             return text.substr(0, text.find('\r'));
         },
         [](platform::WuxThread* owner, std::int32_t mode, platform::MovableHandle block,
            const core::TUserParameters* p) -> std::unique_ptr<TDocumentReplacer> {
             return std::make_unique<TMSWordReplacer>(owner, mode, block, p);
         },
         [](TDocumentReplacer& r) {
             return static_cast<TMSWordReplacer&>(r).application()->applicationObject();
         },
         "Documents",
         {1, 99, 4, 6, kStageSearch, 7, 8, 8, 6},
         false,
         ".doc",
         {32},
         {{"protected", "", engines::kReplaceDocumentLocked, 5}},
         openIn<TMSWordReplacer>},
        {"spreadsheet",
         ".xlsx",
         automation::kExcelApplicationProgId,
         wux::test::xlsxWithText,
         [](const std::string& file) { return test::BookReader(file).value(1, 1, 1); },
         [](platform::WuxThread* owner, std::int32_t mode, platform::MovableHandle block,
            const core::TUserParameters* p) -> std::unique_ptr<TDocumentReplacer> {
             return std::make_unique<TMSExcelReplacer>(owner, 0, mode, block,
                                                       p->GetValue("CreateBackUpCopy") != "0");
         },
         [](TDocumentReplacer& r) {
             return static_cast<TMSExcelReplacer&>(r).application()->applicationObject();
         },
         "Workbooks",
         {1, 99, 4, 6, kStageSearch, 7, 8, 8, 6},
         false,
         ".xls",
         {4, 64},
         {{"damaged", "PK\x03\x04 not a zip", engines::kReplaceFailed, 4},
          {"protected sheets only", "", engines::kReplaceNothingFound, 6},
          {"cell refused", "", engines::kReplaceFailed, 6, 1},
          {"password to modify", "", engines::kReplaceDocumentLocked, 5},
          {"password to modify, hashed", "", engines::kReplaceDocumentLocked, 5}},
         openIn<TMSExcelReplacer>},
        {"presentation",
         ".pptx",
         kPowerPointApplicationClass,
         wux::test::pptxWithText,
         [](const std::string& file) { return joined(test::presentationTexts(file)); },
         [](platform::WuxThread* owner, std::int32_t mode, platform::MovableHandle block,
            const core::TUserParameters* p) -> std::unique_ptr<TDocumentReplacer> {
             return std::make_unique<TMSPowerPointReplacer>(owner, 0, mode, block,
                                                            p->GetValue("CreateBackUpCopy") != "0");
         },
         [](TDocumentReplacer& r) {
             return static_cast<TMSPowerPointReplacer&>(r).application()->applicationObject();
         },
         "Presentations",
         {1, 99, 4, 6, kStageSearch, 7, 8, 8, 6},
         false,
         ".ppt",
         {4, 64},
         {{"encrypted", kOle, engines::kReplaceFailed, 4},
          {"web archive", "MIME-Version: 1.0\r\n\r\na cat", engines::kReplaceFailed, 4},
          {"password to modify", "", engines::kReplaceDocumentLocked, 5}},
         openIn<TMSPowerPointReplacer>},
        {"OpenDocument text",
         ".odt",
         kServiceManagerClass,
         wux::test::odtWithText,
         [](const std::string& file) { return joined(test::documentParagraphs(wux::test::posixOf(file))); },
         [](platform::WuxThread* owner, std::int32_t mode, platform::MovableHandle block,
            const core::TUserParameters* p) -> std::unique_ptr<TDocumentReplacer> {
             return std::make_unique<TOOWriterReplacer>(owner, mode, block, p);
         },
         nullptr,
         "",
         {kStageOdtTestFile, kStageOdtConnect, kStageOdtLoad, kStageOdtDone, kStageOdtSearch, kStageOdtStore,
          kStageOdtStore, kStageOdtDone, kStageOdtSearch},
         true,
         ".doc",
         {4, 32, 64},
         {{"encrypted", "", engines::kReplaceFailed, kStageOdtLoad},
          {"not a text", "", engines::kReplaceFailed, kStageOdtLoad},
          {"password to modify", "", engines::kReplaceDocumentLocked, kStageOdtLoad},
          {"password to modify, foreign hash", "", engines::kReplaceDocumentLocked, kStageOdtLoad},
          {"password to modify, older hash", "", engines::kReplaceDocumentLocked, kStageOdtLoad}},
         openIn<TOOWriterReplacer>},
    };
    return all;
}

// The bytes of the kind's refused documents that are built rather than given.
std::string refusedBytes(const DocumentKind& kind, const Refused& r)
{
    if (!r.bytes.empty())
        return r.bytes;
    const std::string name = r.name;
    if (name == "protected") {
        wux::test::DocxContent docx;
        docx.body = wux::test::para({"a cat"});
        docx.settings = "<w:documentProtection w:edit=\"readOnly\" w:enforcement=\"1\"/>";
        return wux::test::buildDocx(docx);
    }
    if (name == "protected sheets only") {
        test::BookSpec book;
        book.strings = {"a cat"};
        book.sheets = {test::sheet("P", test::row(1, test::sharedCell("A1", 0)), test::kSheetProtection)};
        return test::buildBook(book);
    }
    if (name == "cell refused") {
        test::BookSpec book;
        book.sheets = {test::sheet(
            "S",
            test::row(1,
                      "<c r=\"A1\" t=\"str\"><f t=\"shared\" ref=\"A1:A2\" si=\"0\">B1</f><v>a cat</v></c>") +
                test::row(2, "<c r=\"A2\" t=\"str\"><f t=\"shared\" si=\"0\"/><v>x</v></c>"))};
        return test::buildBook(book);
    }
    if (name.starts_with("password to modify") && std::string_view(kind.extension) == ".xlsx") {
        // The file sharing element comes before workbookPr.
        wux::test::XlsxContent book;
        book.sheets.push_back(
            wux::test::sheet("One", wux::test::row(1, wux::test::inlineCell("A1", "a cat"))));
        wux::test::ZipEntries entries = wux::test::xlsxEntries(book);
        for (auto& [part, xml] : entries)
            if (part == "xl/workbook.xml")
                xml.insert(xml.find("<workbookPr"),
                           name == "password to modify"
                               ? "<fileSharing userName=\"Ann\" reservationPassword=\"CC3D\"/>"
                               : "<fileSharing userName=\"Ann\" algorithmName=\"SHA-512\" hashValue=\"AAAA\" "
                                 "saltValue=\"BBBB\" spinCount=\"100000\"/>");
        return wux::test::buildZip(entries);
    }
    if (name.starts_with("password to modify") && std::string_view(kind.extension) == ".odt") {
        const std::string item =
            name == "password to modify, older hash"
                ? "<config:config-item config:name=\"ModifyPasswordHash\" "
                  "config:type=\"int\">1234567</config:config-item>"
                : std::string("<config:config-item-set config:name=\"") +
                      (name == "password to modify" ? "ModifyPasswordInfo" : "OOXMLModifyPasswordInfo") +
                      "\"><config:config-item config:name=\"algorithm-name\" "
                      "config:type=\"string\">PBKDF2</config:config-item>"
                      "<config:config-item config:name=\"hash\" config:type=\"base64Binary\">"
                      "AAAA</config:config-item></config:config-item-set>";
        wux::test::OdtContent odt{"<text:p>a cat</text:p>"};
        odt.settings = "<config:config-item-set config:name=\"ooo:configuration-settings\">"
                       "<config:config-item config:name=\"LoadReadonly\" config:type=\"boolean\">false"
                       "</config:config-item>" +
                       item + "</config:config-item-set>";
        return wux::test::buildOdt(odt);
    }
    if (name == "password to modify")
        return wux::test::buildPptx(
            {{wux::test::pptxTextBox({"a cat"})},
             "<p:modifyVerifier cryptProviderType=\"rsaAES\" cryptAlgorithmClass=\"hash\" "
             "cryptAlgorithmType=\"typeAny\" "
             "cryptAlgorithmSid=\"14\" spinCount=\"100000\" saltData=\"AAAA\" hashData=\"BBBB\"/>"});
    if (name == "encrypted")
        return wux::test::buildOdt(
            {"<text:p>a cat</text:p>", "<manifest:encryption-data manifest:checksum-type=\"SHA1/1K\"/>"});
    if (name == "not a text")
        return wux::test::buildOdt(
            {"<text:p>a cat</text:p>", "", "application/vnd.oasis.opendocument.spreadsheet"});
    ADD_FAILURE() << kind.name << ": no bytes for " << name;
    return {};
}

class DocumentReplacerTest : public test::BlockTest, public ::testing::WithParamInterface<const DocumentKind*>
{
protected:
    const DocumentKind& kind() const { return *GetParam(); }

    std::unique_ptr<TDocumentReplacer> make(std::int32_t mode, platform::MovableHandle block,
                                            bool backup = true)
    {
        return kind().make(&owner, mode, block, backup ? &withBackup : &withoutBackup);
    }

    // A document of the kind holding text, named name + the kind's extension.
    std::string write(const std::string& name, const std::string& text = "a cat")
    {
        const std::string file = path(name + kind().extension);
        wux::test::createFile(file, kind().package(text));
        return file;
    }

    std::string file(const std::string& name) const { return path(name + kind().extension); }

    // Writes the package entries as the document f and replaces "cat" by "dog" in it: a document to be
    // refused fails at the open stage, byte for byte as it was and without a backup.
    TReplaceResult replaceInEdited(const std::string& f, const wux::test::ZipEntries& entries, bool refused)
    {
        wux::test::createFile(f, wux::test::buildZip(entries, {"mimetype"}));
        const std::string before = wux::test::readFileBytes(f);
        auto replacer = make(1, searchBlock("cat", "dog", 1));
        const TReplaceResult result = replacer->ProcessFile(f);
        if (refused) {
            EXPECT_EQ(result, engines::kReplaceFailed);
            EXPECT_EQ(replacer->stage(), kind().stages.open);
            EXPECT_EQ(wux::test::readFileBytes(f), before);
            EXPECT_FALSE(wux::test::exists(f + ".bak"));
        }
        return result;
    }

    core::TUserParameters& withBackup = parameters;
    core::TUserParameters withoutBackup = test::replacerParameters(false);
};

// The stage and result of each way one document can end, and what is left on disk.
TEST_P(DocumentReplacerTest, StagesAndResults)
{
    platform::ScopedFaultClear clearFaults;
    const DocumentKind& k = kind();
    struct Case
    {
        std::string name;
        std::int32_t mode;
        std::function<std::string()> prepare; // writes the file, returns its path
        std::function<void(const std::string&)> arrange;
        TReplaceResult result;
        std::int32_t stage;
        std::int32_t matches;
        bool changed;
    };
    platform::FileHandle holder;
    const auto none = [](const std::string&) {};
    std::vector<Case> cases = {
        {"missing", 1, [&] { return file("missing"); }, none, engines::kReplaceFailed, k.stages.testFile, 0,
         false},
        {"folder", 1,
         [&] {
             wux::test::makeFolder(file("folder"));
             return file("folder");
         },
         none, engines::kReplaceFailed, k.stages.testFile, 0, false},
        {"held", 1, [&] { return write("held"); },
         [&](const std::string& f) {
             ASSERT_EQ(holder.open(f, platform::kAccessRead, platform::kShareRead,
                                   platform::Disposition::kOpenExisting),
                       platform::kErrorSuccess);
         },
         engines::kReplaceDocumentLocked, k.stages.testFile, 0, false},
        {"legacy", 1,
         [&] {
             wux::test::createFile(path(std::string("legacy") + k.legacyExtension), kOle);
             return path(std::string("legacy") + k.legacyExtension);
         },
         none, engines::kReplaceFailed, k.stages.open, 0, false},
        {"no match", 1, [&] { return write("nomatch", "a dog"); }, none, engines::kReplaceNothingFound,
         k.stages.searched, 0, false},
        {"just find", 128, [&] { return write("find", "a cat, a cat"); }, none, engines::kReplaceFound,
         k.stages.searched, 2, false},
        {"just find, none", 128, [&] { return write("findnone", "a dog"); }, none,
         engines::kReplaceNothingFound, k.stages.searched, 0, false},
        {"backup fails", 1, [&] { return write("bak"); },
         [&](const std::string& f) {
             // (the backup is made under a hidden temporary name first)
             const std::size_t slash = f.rfind('\\');
             platform::injectFault(f.substr(0, slash + 1) + "." + f.substr(slash + 1) + ".bak",
                                   platform::kErrorDiskFull, platform::kFaultOpen);
         },
         engines::kReplaceFailed, k.stages.backup, 1, false},
        // Injected on the document's own path, which the backup name shares: run without a backup.
        {"save fails", 1, [&] { return write("save"); },
         [&](const std::string& f) {
             platform::injectFault(f, platform::kErrorDiskFull, platform::kFaultWrite);
         },
         engines::kReplaceFailed, k.stages.save, 1, false},
        {"success", 1, [&] { return write("ok"); }, none, engines::kReplaceFound, k.stages.saved, 1, true},
    };
    for (std::int32_t mode : k.unsupportedModes)
        cases.push_back({"mode " + std::to_string(mode), mode,
                         [&, mode] { return write("mode" + std::to_string(mode)); }, none,
                         engines::kReplaceModeNotSupported, k.stages.searched, 0, false});
    for (const Refused& r : k.refused)
        cases.push_back({r.name, 1,
                         [&, r] {
                             const std::string f = path(std::string("refused ") + r.name + k.extension);
                             wux::test::createFile(f, refusedBytes(k, r));
                             return f;
                         },
                         none, r.result, r.stage, r.matches, false});
    Names expected;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string f = c.prepare();
        const bool isFile = wux::test::exists(f) && !std::filesystem::is_directory(wux::test::posixOf(f));
        const std::string before = isFile ? wux::test::readFileBytes(f) : std::string();
        c.arrange(f);
        auto replacer = make(c.mode, searchBlock("cat", "dog", c.mode), c.name != "save fails");
        EXPECT_EQ(replacer->ProcessFile(f), c.result);
        EXPECT_EQ(replacer->stage(), c.stage);
        EXPECT_EQ(replacer->matchCount(), c.matches);
        EXPECT_EQ(replacer->fileSize(), isFile ? static_cast<std::int64_t>(before.size()) : -1);
        // Whatever happened, no document is left open.
        EXPECT_EQ(k.openDocuments(*replacer), 0);
        replacer.reset();
        holder.close();
        platform::clearFaults();
        if (isFile) {
            EXPECT_EQ(wux::test::readFileBytes(f) != before, c.changed);
            if (c.changed) {
                EXPECT_EQ(k.text(f), "a dog");
                EXPECT_EQ(wux::test::readFileBytes(f + ".bak"), before);
                expected.push_back(f.substr(3) + ".bak");
            }
        }
        if (wux::test::exists(f))
            expected.push_back(f.substr(3));
    }
    // Only the documents, the folder and the one backup of the success are left: no temporary file.
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(wux::test::listNames(drive.root()), expected);
}

TEST_P(DocumentReplacerTest, WithoutTheApplicationEveryDocumentFailsAtTheConnection)
{
    automation::ScopedClassRestore restore;
    automation::unregisterClass(kind().applicationClass);
    const std::string first = write("one");
    const std::string second = write("two");
    const std::string bytes = wux::test::readFileBytes(first);
    auto replacer = make(1, searchBlock("cat", "dog", 1));
    EXPECT_EQ(replacer->ProcessFile(first), engines::kReplaceFailed);
    EXPECT_EQ(replacer->stage(), kind().stages.connect);
    EXPECT_TRUE(replacer->connectFailed());
    // Installed meanwhile: no second attempt in this run.
    automation::restoreClasses();
    EXPECT_EQ(replacer->ProcessFile(second), engines::kReplaceFailed);
    EXPECT_EQ(replacer->stage(), kind().stages.connect);
    EXPECT_EQ(replacer->matchCount(), 0);
    EXPECT_EQ(wux::test::readFileBytes(first), bytes);
    EXPECT_EQ(wux::test::readFileBytes(second), bytes);
    EXPECT_EQ(replacer->ProcessFile(file("gone")), engines::kReplaceFailed);
    EXPECT_EQ(replacer->stage(), kind().fileTestsFirst ? kind().stages.testFile : kind().stages.connect);
    EXPECT_EQ(replacer->fileSize(), -1);

    // A server that fails to start is the same as none.
    automation::failClassCreation(kind().applicationClass, automation::kErrorServerUnavailable);
    auto failing = make(1, searchBlock("cat", "dog", 1));
    EXPECT_EQ(failing->ProcessFile(first), engines::kReplaceFailed);
    EXPECT_EQ(failing->stage(), kind().stages.connect);
    EXPECT_TRUE(failing->connectFailed());
    EXPECT_EQ(wux::test::readFileBytes(first), bytes);
}

// One application object serves the run; texts are read once; the figures of each file start again;
// freeing the replacer releases every automation object of the run.
TEST_P(DocumentReplacerTest, OneApplicationServesTheRunAndFiguresStartAgainForEachFile)
{
    const std::string a = write("a", "one cat and a cat");
    const std::string b = write("b", "no dogs");
    const std::string c = write("c", "a cat");
    const std::size_t objectsBefore = automation::liveObjectCount();
    auto replacer = make(1, searchBlock("cat", "dog", 1));
    EXPECT_EQ(replacer->ProcessFile(a), engines::kReplaceFound);
    EXPECT_EQ(replacer->matchCount(), 2);
    EXPECT_EQ(replacer->fileSize(), static_cast<std::int64_t>(kind().package("one cat and a cat").size()));
    EXPECT_EQ(replacer->cachedSearch().find, u"cat");
    EXPECT_EQ(replacer->cachedSearch().replace, u"dog");
    EXPECT_EQ(replacer->ProcessFile(b), engines::kReplaceNothingFound);
    EXPECT_EQ(replacer->matchCount(), 0);
    EXPECT_EQ(replacer->ProcessFile(file("gone")), engines::kReplaceFailed);
    EXPECT_EQ(replacer->fileSize(), -1);
    EXPECT_EQ(replacer->matchCount(), 0);
    EXPECT_EQ(replacer->ProcessFile(c), engines::kReplaceFound);
    EXPECT_EQ(replacer->matchCount(), 1);
    automation::DispatchRef application;
    if (kind().application) {
        application = kind().application(*replacer);
        EXPECT_EQ(replacer->ProcessFile(b), engines::kReplaceNothingFound);
        EXPECT_EQ(kind().application(*replacer), application);
    }
    replacer.reset();
    if (application) {
        // An application that holds no document of its user is quit.
        EXPECT_THROW(application->get(kind().documents), automation::AutomationError);
        application.reset();
    }
    EXPECT_EQ(automation::liveObjectCount(), objectsBefore);
    EXPECT_EQ(kind().text(a), "one dog and a dog");
    EXPECT_EQ(kind().text(c), "a dog");
    EXPECT_TRUE(wux::test::exists(a + ".bak"));
    EXPECT_FALSE(wux::test::exists(b + ".bak"));
}

// A user who opens a document in the run's application keeps it: the run leaves that application to
// its user and goes on in a new one.
// The kinds whose application keeps documents open between files.
class HeldApplicationTest : public DocumentReplacerTest
{
};

TEST_P(HeldApplicationTest, AnApplicationHoldingDocumentsIsLeftToItsUser)
{
    const std::string users = write("user", "user cat");
    const std::string f = write("run", "run cat");
    auto replacer = make(1, searchBlock("cat", "dog", 1), false);
    EXPECT_EQ(replacer->ProcessFile(f), engines::kReplaceFound);
    const automation::DispatchRef app = kind().application(*replacer);
    const automation::DispatchRef documents = automation::asDispatch(app->get(kind().documents));
    const char* open = std::string_view(kind().documents) == "Workbooks" ? "Add" : "Open";
    documents->call(open, {automation::Variant::fromUtf8(users)});
    const std::string other = write("other", "other cat");
    EXPECT_EQ(replacer->ProcessFile(other), engines::kReplaceFound);
    EXPECT_EQ(replacer->stage(), kind().stages.saved);
    EXPECT_NE(kind().application(*replacer), app);
    EXPECT_EQ(automation::toInt32(documents->get("Count")), 1); // still open in the user's application
    replacer.reset();
    // Freed, the run quits its own application but not the user's.
    EXPECT_EQ(automation::toInt32(documents->get("Count")), 1);
    EXPECT_EQ(kind().text(other), "other dog");
    EXPECT_EQ(kind().text(users), "user cat");
}

// The backup takes the first free name; a save that fails after the backup copy leaves the document
// as it was and removes that backup again.
TEST_P(DocumentReplacerTest, BackupsTakeTheFirstFreeNameAndGoWithAFailedSave)
{
    platform::ScopedFaultClear clear;
    const std::string f = write("b");
    const std::string before = wux::test::readFileBytes(f);
    wux::test::createFile(f + ".bak", "older backup");
    EXPECT_EQ(make(1, searchBlock("cat", "dog", 1))->ProcessFile(f), engines::kReplaceFound);
    EXPECT_EQ(wux::test::readFileBytes(f + ".bak"), "older backup");
    EXPECT_EQ(wux::test::readFileBytes(f + ".bak0"), before);
    EXPECT_EQ(kind().text(f), "a dog");

    // Only the rename of the rewritten package fails: the backup copy never renames.
    const std::string g = write("g");
    const std::string original = wux::test::readFileBytes(g);
    platform::injectFault(g, platform::kErrorDiskFull, platform::kFaultRename);
    EXPECT_EQ(make(1, searchBlock("cat", "dog", 1))->ProcessFile(g), engines::kReplaceFailed);
    platform::clearFaults();
    EXPECT_EQ(wux::test::readFileBytes(g), original);
    const std::string ext = kind().extension;
    EXPECT_EQ(wux::test::listNames(drive.root()),
              (Names{"b" + ext, "b" + ext + ".bak", "b" + ext + ".bak0", "g" + ext}));
    // A later run that succeeds makes the plain ".bak".
    EXPECT_EQ(make(1, searchBlock("cat", "dog", 1))->ProcessFile(g), engines::kReplaceFound);
    EXPECT_EQ(wux::test::readFileBytes(g + ".bak"), original);
}

TEST_P(DocumentReplacerTest, AnOutputFolderReceivesTheChangedDocument)
{
    const std::string f = write("moved");
    const std::string bytes = wux::test::readFileBytes(f);
    wux::test::makeFolder(path("out"));
    auto replacer = make(1, searchBlock("cat", "dog", 1), false);
    replacer->setOutputFolder(path("out"));
    EXPECT_EQ(replacer->ProcessFile(f), engines::kReplaceFound);
    EXPECT_EQ(replacer->stage(), kind().stages.saved);
    replacer.reset();
    EXPECT_FALSE(wux::test::exists(f));
    EXPECT_EQ(kind().text(path(std::string("out\\moved") + kind().extension)), "a dog");
    EXPECT_EQ(wux::test::listNames(drive.root()), (Names{"out"}));
}

// A stop request fails the document in the search, also a table whose rows find nothing: the loop over
// the rows asks before each row.
TEST_P(DocumentReplacerTest, AStopRequestFailsTheDocumentAndLeavesItUntouched)
{
    owner.Terminate();
    for (const bool table : {false, true}) {
        SCOPED_TRACE(table ? "table" : "search");
        const std::string f = write(table ? "stoptable" : "stop");
        const std::string bytes = wux::test::readFileBytes(f);
        auto replacer = table ? make(engines::kModeBatchTable,
                                     rawTableBlock({{false, "bird", "x", 3}, {false, "fish", "y", 3}}))
                              : make(1, searchBlock("cat", "dog", 1));
        replacer->setRowCount(2);
        EXPECT_EQ(replacer->ProcessFile(f), engines::kReplaceFailed);
        EXPECT_EQ(replacer->stage(), kind().stages.stopped);
        EXPECT_EQ(wux::test::readFileBytes(f), bytes);
        EXPECT_FALSE(wux::test::exists(f + ".bak"));
    }
}

// Files that are not what their extension says fail cleanly: unchanged, no backup, nothing beside.
TEST_P(DocumentReplacerTest, FilesThatAreNotWhatTheirExtensionSaysFailUntouched)
{
    const std::string otherZip = wux::test::buildZip({{"a.txt", "cat"}});
    for (const std::string& bytes : {std::string("just a cat in text"), std::string(), otherZip}) {
        const std::string f = file("not");
        wux::test::createFile(f, bytes);
        EXPECT_EQ(make(1, searchBlock("cat", "dog", 1))->ProcessFile(f), engines::kReplaceFailed)
            << bytes.size();
        EXPECT_EQ(wux::test::readFileBytes(f), bytes);
        EXPECT_EQ(wux::test::listNames(drive.root()), (Names{std::string("not") + kind().extension}));
    }
}

// An empty find text changes nothing in any mode and makes no backup.
TEST_P(DocumentReplacerTest, AnEmptyFindTextChangesNothingInAnyMode)
{
    for (std::int32_t mode : {1, 2, 4, 8, 16, 32, 64, 128}) {
        SCOPED_TRACE(mode);
        const std::string f = write("empty");
        const std::string before = wux::test::readFileBytes(f);
        auto replacer = make(mode, searchBlock("", "dog", mode));
        const TReplaceResult result = replacer->ProcessFile(f);
        EXPECT_TRUE(result == engines::kReplaceNothingFound || result == engines::kReplaceModeNotSupported)
            << result;
        EXPECT_EQ(replacer->matchCount(), 0);
        EXPECT_EQ(wux::test::readFileBytes(f), before);
        EXPECT_FALSE(wux::test::exists(f + ".bak"));
    }
}

// Table rows apply in order with their insert modes (raw rows: an empty find text is skipped; compiled
// rows: the insert codes); a row count past the end of the block fails the document at the search,
// unchanged.
TEST_P(DocumentReplacerTest, TableRowsApplyInOrderWithTheirInsertModes)
{
    const struct
    {
        platform::MovableHandle block;
        std::int32_t rows;
        const char* text;
        const char* expected;
    } tables[] = {
        {rawTableBlock({{false, "cat", "lion", 3},
                        {true, "dog", "big ", 1},
                        {false, "", "x", 3},
                        {false, "bird", "s", 2}}),
         4, "Cat and dog and bird", "lion and big dog and birds"},
        {tableBlock({"N", "Y", "N"}, {"cat", "Dog", "bird"}, {"lion", "#U#big ", "#D#s"}), 3,
         "Cat and Dog and dog bird", "lion and big Dog and dog birds"},
    };
    int n = 0;
    for (const auto& t : tables) {
        SCOPED_TRACE(t.text);
        auto replacer = make(engines::kModeBatchTable, t.block, false);
        replacer->setRowCount(t.rows);
        const std::string f = write("table" + std::to_string(++n), t.text);
        EXPECT_EQ(replacer->ProcessFile(f), engines::kReplaceFound);
        EXPECT_EQ(replacer->matchCount(), 3);
        EXPECT_EQ(kind().text(f), t.expected);

        const std::string other = write("past" + std::to_string(n), "cat");
        const std::string bytes = wux::test::readFileBytes(other);
        replacer->setRowCount(t.rows + 1);
        EXPECT_EQ(replacer->ProcessFile(other), engines::kReplaceFailed);
        EXPECT_EQ(replacer->stage(), kind().stages.search);
        // The hit of the rows before is counted, except by the OpenDocument text, which counts on success.
        EXPECT_EQ(replacer->matchCount(), kind().stages.search == kStageOdtSearch ? 0 : 1);
        EXPECT_EQ(wux::test::readFileBytes(other), bytes);
    }
}

// A document reached through a symbolic link is rewritten where it lives and the link stays a link; a
// read-only document is refused (64) and left alone.
TEST_P(DocumentReplacerTest, LinkedDocumentsStayLinksAndReadOnlyOnesAreRefused)
{
    const std::string f = write("doc", "a cat here");
    const std::string before = wux::test::readFileBytes(f);
    const std::string link = file("link");
    ASSERT_EQ(::symlink(wux::test::posixOf(f).c_str(), wux::test::posixOf(link).c_str()), 0);
    EXPECT_EQ(make(1, searchBlock("cat", "dog", 1))->ProcessFile(link), engines::kReplaceFound);
    EXPECT_TRUE(S_ISLNK(wux::test::modeOf(link)));
    EXPECT_EQ(kind().text(f), "a dog here");
    EXPECT_EQ(wux::test::readFileBytes(link + ".bak"), before);

    const std::string readOnly = file("ro");
    wux::test::createFile(readOnly, before, wux::test::kNoTime, 0444);
    EXPECT_EQ(make(1, searchBlock("cat", "dog", 1))->ProcessFile(readOnly), engines::kReplaceDocumentLocked);
    EXPECT_EQ(wux::test::readFileBytes(readOnly), before);
    EXPECT_FALSE(wux::test::exists(readOnly + ".bak"));
}

// A part that declares entities of its own or refers to any but the five predefined ones could not be
// saved as it was read: it is refused at the open stage, unchanged and without a backup. Character
// references and the predefined entities are plain text.
TEST_P(DocumentReplacerTest, PartsWithEntitiesOfTheirOwnAreRefusedAtOpen)
{
    const struct
    {
        const char* name;
        const char* doctype;
        const char* text;
        bool refused;
    } variants[] = {
        {"declared and used", "<!DOCTYPE x [<!ENTITY e \"cat\">]>", "a cat &e; here", true},
        {"declared only", "<!DOCTYPE x [ <!ENTITY e 'cat'> ]>", "a cat here", true},
        {"used without a declaration", "", "a cat &nbsp; here", true},
        {"predefined and character references", "", "a cat &amp; &#233; here", false},
    };
    int n = 0;
    for (const auto& variant : variants) {
        SCOPED_TRACE(variant.name);
        const std::string f = write("e" + std::to_string(++n), "a cat here");
        const std::string posix = wux::test::posixOf(f);
        std::map<std::string, std::string> parts = wux::test::readZip(posix);
        wux::test::ZipEntries entries;
        bool edited = false;
        for (const std::string& name : wux::test::zipNames(posix)) {
            std::string bytes = parts[name];
            if (const std::size_t at = bytes.find("a cat here"); at != std::string::npos) {
                bytes.replace(at, 10, variant.text);
                const std::size_t declaration = bytes.starts_with("<?xml") ? bytes.find("?>") + 2 : 0;
                bytes.insert(declaration, variant.doctype);
                edited = true;
            }
            entries.emplace_back(name, bytes);
        }
        ASSERT_TRUE(edited);
        const TReplaceResult result = replaceInEdited(f, entries, variant.refused);
        if (!variant.refused) {
            EXPECT_EQ(result, engines::kReplaceFound);
        }
    }
}

// A part whose elements nest deeper than the bound is refused at the open stage, unchanged and without a
// backup, before its tree is built: taking such a tree apart would recurse as deep. The nesting is the
// last child of the document element of the part that holds the text (one level of its own).
TEST_P(DocumentReplacerTest, PartsNestedTooDeeplyAreRefusedAtOpen)
{
    const struct
    {
        std::size_t depth;
        bool refused;
    } variants[] = {
        {200000, true},
        {automation::kMaxXmlDepth, true},
        {automation::kMaxXmlDepth - 1, false},
    };
    int n = 0;
    for (const auto& variant : variants) {
        SCOPED_TRACE(variant.depth);
        const std::string f = write("deep" + std::to_string(++n), "a cat here");
        const std::string posix = wux::test::posixOf(f);
        std::map<std::string, std::string> parts = wux::test::readZip(posix);
        wux::test::ZipEntries entries;
        for (const std::string& name : wux::test::zipNames(posix)) {
            std::string bytes = parts[name];
            if (bytes.find("a cat here") != std::string::npos) {
                std::string nest;
                for (std::size_t i = 0; i < variant.depth; ++i)
                    nest += "<x>";
                for (std::size_t i = 0; i < variant.depth; ++i)
                    nest += "</x>";
                bytes.insert(bytes.rfind("</"), nest);
            }
            entries.emplace_back(name, bytes);
        }
        const TReplaceResult result = replaceInEdited(f, entries, variant.refused);
        if (!variant.refused) {
            EXPECT_EQ(result, engines::kReplaceFound);
            EXPECT_EQ(kind().text(f), "a dog here");
        }
    }
}

std::vector<const DocumentKind*> kindsWhere(bool (*keep)(const DocumentKind&))
{
    std::vector<const DocumentKind*> out;
    for (const DocumentKind& k : kinds())
        if (keep(k))
            out.push_back(&k);
    return out;
}

std::string kindName(const ::testing::TestParamInfo<const DocumentKind*>& info)
{
    return std::string(info.param->extension + 1);
}

INSTANTIATE_TEST_SUITE_P(Kinds, DocumentReplacerTest,
                         ::testing::ValuesIn(kindsWhere([](const DocumentKind&) { return true; })), kindName);
INSTANTIATE_TEST_SUITE_P(
    Kinds, HeldApplicationTest,
    ::testing::ValuesIn(kindsWhere([](const DocumentKind& k) { return bool(k.application); })), kindName);

} // namespace
} // namespace wux::office
