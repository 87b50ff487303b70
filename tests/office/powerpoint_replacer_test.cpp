// The presentation wrapper and replacer against the stand-in "PowerPoint.Application" server over real
// .pptx packages built here: the stage and result table, every mode the presentation supports, the
// table rows, and the saved files re-opened and checked.
#include "office/powerpoint_replacer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engines/base_replacer.h"
#include "engines/batch_table.h"
#include "office/powerpoint_object.h"
#include "office_test_support.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/docx_fixture.h"
#include "platform/fault_injection.h"
#include "platform/file_handle.h"
#include "platform/movable_memory.h"
#include "platform/text.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::office {
namespace {

namespace automation = platform::automation;
using automation::asDispatch;
using automation::DispatchRef;
using automation::Variant;
using engines::TReplaceResult;

const char* kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
const char* kNs = " xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\""
                  " xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\""
                  " xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\"";
const char* kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

// A paragraph of plain runs.
std::string para(std::initializer_list<std::string> runs)
{
    std::string out = "<a:p>";
    for (const std::string& run : runs)
        out += "<a:r><a:rPr lang=\"en-US\"/><a:t>" + run + "</a:t></a:r>";
    return out + "</a:p>";
}

// A text shape holding the given paragraphs.
std::string textShape(const std::string& paragraphs, int id = 2)
{
    return "<p:sp><p:nvSpPr><p:cNvPr id=\"" + std::to_string(id) +
           "\" name=\"Text\"/><p:cNvSpPr txBox=\"1\"/><p:nvPr/></p:nvSpPr><p:spPr/>"
           "<p:txBody><a:bodyPr/><a:lstStyle/>" +
           paragraphs + "</p:txBody></p:sp>";
}

// A shape of one paragraph per text.
std::string textBox(std::initializer_list<std::string> paragraphs, int id = 2)
{
    std::string inner;
    for (const std::string& p : paragraphs)
        inner += para({p});
    return textShape(inner, id);
}

const std::string kPlainShape =
    "<p:sp><p:nvSpPr><p:cNvPr id=\"9\" name=\"Box\"/><p:cNvSpPr/><p:nvPr/></p:nvSpPr><p:spPr/></p:sp>";
const std::string kTable =
    "<p:graphicFrame><p:nvGraphicFramePr><p:cNvPr id=\"7\" name=\"Table\"/><p:cNvGraphicFramePr/><p:nvPr/>"
    "</p:nvGraphicFramePr><p:xfrm/><a:graphic><a:graphicData><a:tbl><a:tr><a:tc><a:txBody><a:bodyPr/>"
    "<a:p><a:r><a:t>cell cat</a:t></a:r></a:p></a:txBody></a:tc></a:tr></a:tbl></a:graphicData></a:graphic>"
    "</p:graphicFrame>";
const std::string kGroup =
    "<p:grpSp><p:nvGrpSpPr><p:cNvPr id=\"8\" name=\"Group\"/><p:cNvGrpSpPr/><p:nvPr/></p:nvGrpSpPr>"
    "<p:grpSpPr/>" +
    textBox({"grouped cat"}, 10) + "</p:grpSp>";
const std::string kPicture =
    "<p:pic><p:nvPicPr><p:cNvPr id=\"5\" name=\"Pic\"/><p:cNvPicPr/><p:nvPr/></p:nvPicPr>"
    "<p:blipFill><a:blip r:embed=\"rIdImg\"/></p:blipFill><p:spPr/></p:pic>";

std::string slideXml(const std::string& shapes)
{
    return std::string(kHead) + "<p:sld" + kNs +
           "><p:cSld><p:spTree><p:nvGrpSpPr><p:cNvPr id=\"1\" name=\"\"/><p:cNvGrpSpPr/><p:nvPr/>"
           "</p:nvGrpSpPr><p:grpSpPr/>" +
           shapes + "</p:spTree></p:cSld></p:sld>";
}

struct Deck
{
    std::vector<std::string> slides; // the shapes of each slide, in list order
    std::string presentationExtra;   // inner XML of p:presentation after the slide list
};

// The package of a presentation; slide files are numbered against list order, so list order counts.
std::string buildPptx(const Deck& deck)
{
    std::vector<std::pair<std::string, std::string>> entries;
    entries.emplace_back("[Content_Types].xml",
                         std::string(kHead) +
                             "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                             "<Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>");
    entries.emplace_back("_rels/.rels",
                         std::string(kHead) +
                             "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/"
                             "2006/relationships\"><Relationship Id=\"rId1\" Type=\"" +
                             kRelNs + "officeDocument\" Target=\"ppt/presentation.xml\"/></Relationships>");
    std::string list = "<p:sldIdLst>";
    std::string rels =
        std::string(kHead) +
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    const std::size_t n = deck.slides.size();
    for (std::size_t i = 0; i < n; ++i) {
        const std::string file = "slide" + std::to_string(n - i) + ".xml";
        const std::string rid = "rId" + std::to_string(10 + i);
        list += "<p:sldId id=\"" + std::to_string(256 + i) + "\" r:id=\"" + rid + "\"/>";
        rels +=
            "<Relationship Id=\"" + rid + "\" Type=\"" + kRelNs + "slide\" Target=\"slides/" + file + "\"/>";
        entries.emplace_back("ppt/slides/" + file, slideXml(deck.slides[i]));
    }
    list += "</p:sldIdLst>";
    rels += "</Relationships>";
    entries.emplace_back("ppt/presentation.xml", std::string(kHead) + "<p:presentation" + kNs + ">" + list +
                                                     deck.presentationExtra + "</p:presentation>");
    entries.emplace_back("ppt/_rels/presentation.xml.rels", rels);
    entries.emplace_back("ppt/media/image1.png", std::string("\x89PNG\r\n\x1a\n\0\x01\x02", 11));
    return wux::test::buildZip(entries);
}

// The text of every text shape of a presentation, slide by slide ("" for a text shape without text),
// read through the server.
std::vector<std::string> shapeTexts(const std::string& windowsPath)
{
    std::vector<std::string> out;
    const DispatchRef app = automation::createObject("PowerPoint.Application");
    const DispatchRef pres =
        asDispatch(asDispatch(app->get("Presentations"))
                       ->call("Open", {Variant(platform::utf8ToUtf16(windowsPath)), Variant(true),
                                       Variant::missing(), Variant(false)}));
    const DispatchRef slides = asDispatch(pres->get("Slides"));
    for (int i = 1; i <= automation::toInt32(slides->get("Count")); ++i) {
        const DispatchRef shapes = asDispatch(asDispatch(slides->get("Item", {Variant(i)}))->get("Shapes"));
        for (int j = 1; j <= automation::toInt32(shapes->get("Count")); ++j) {
            try {
                const DispatchRef frame =
                    asDispatch(asDispatch(shapes->get("Item", {Variant(j)}))->get("TextFrame"));
                out.push_back(platform::utf16ToUtf8(
                    automation::variantToText(asDispatch(frame->get("TextRange"))->get("Text"))));
            } catch (const automation::AutomationError&) {
            }
        }
    }
    pres->call("Close");
    app->call("Quit");
    return out;
}

using Texts = std::vector<std::string>;

class PowerPointReplacerTest : public wux::test::TempDriveTest
{
protected:
    ~PowerPointReplacerTest() override
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

    // A table block written byte by byte (rows the compiler never makes, such as an empty find text).
    platform::MovableHandle rawTableBlock(const std::vector<std::pair<std::string, std::string>>& rows)
    {
        std::string bytes;
        for (const auto& [find, replace] : rows) {
            std::uint8_t head[engines::kTableRowHeadSize] = {};
            engines::storeLe32(head + engines::kTableRowFindLengthOffset,
                               static_cast<std::uint32_t>(find.size()));
            engines::storeLe32(head + engines::kTableRowReplaceLengthOffset,
                               static_cast<std::uint32_t>(replace.size()));
            engines::storeLe32(head + engines::kTableRowInsertModeOffset, 3);
            bytes.append(reinterpret_cast<const char*>(head), sizeof head);
            bytes += find + replace;
        }
        const platform::MovableHandle block =
            platform::movableAlloc(bytes.size(), platform::MovableFlags::ZeroInit);
        {
            platform::MovableLock lock(block);
            std::memcpy(lock.as<char>(), bytes.data(), bytes.size());
        }
        blocks_.push_back(block);
        return block;
    }

    std::string write(const std::string& name, const Deck& deck)
    {
        wux::test::createFile(path(name), buildPptx(deck));
        return path(name);
    }

    // One slide with one text shape of one paragraph.
    std::string writeText(const std::string& name, const std::string& text)
    {
        return write(name, Deck{{textBox({text})}, ""});
    }

    test::IdleOwner owner;

private:
    std::vector<platform::MovableHandle> blocks_;
};

TEST_F(PowerPointReplacerTest, CreationKeepsTheRunsFigures)
{
    const auto block = searchBlock("a", "b", 32);
    TMSPowerPointReplacer replacer(&owner, 3, 32, block, false);
    EXPECT_FALSE(replacer.createBackUpCopyFlag());
    EXPECT_TRUE(TMSPowerPointReplacer(&owner, 0, 1, block, true).createBackUpCopyFlag());
    EXPECT_EQ(replacer.sizeOfFirstPart(), 3);
    EXPECT_EQ(replacer.replaceMode(), 32);
    EXPECT_EQ(replacer.stage(), kStageConnect);
    EXPECT_EQ(replacer.rowCount(), 1);
    EXPECT_EQ(replacer.application(), nullptr);
    EXPECT_FALSE(replacer.connectFailed());
}

// The stage and result table of one presentation.
TEST_F(PowerPointReplacerTest, StagesAndResults)
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
    const std::string ole = std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "legacy";
    const Case cases[] = {
        {"missing", 1, [&] { return path("missing.pptx"); }, [] {}, engines::kReplaceFailed, 1, 0, false,
         false},
        {"folder", 1,
         [&] {
             wux::test::makeFolder(path("folder.pptx"));
             return path("folder.pptx");
         },
         [] {}, engines::kReplaceFailed, 1, 0, false, false},
        {"held", 1, [&] { return writeText("held.pptx", "a cat"); },
         [&] {
             ASSERT_EQ(holder.open(path("held.pptx"), platform::kAccessRead, platform::kShareRead,
                                   platform::Disposition::kOpenExisting),
                       platform::kErrorSuccess);
         },
         engines::kReplaceDocumentLocked, 1, 0, false, false},
        {"legacy", 1,
         [&] {
             wux::test::createFile(path("legacy.ppt"), ole);
             return path("legacy.ppt");
         },
         [] {}, engines::kReplaceFailed, 4, 0, false, false},
        {"encrypted", 1,
         [&] {
             wux::test::createFile(path("locked.pptx"), ole);
             return path("locked.pptx");
         },
         [] {}, engines::kReplaceFailed, 4, 0, false, false},
        {"web archive", 1,
         [&] {
             wux::test::createFile(path("page.mht"), "MIME-Version: 1.0\r\n\r\na cat");
             return path("page.mht");
         },
         [] {}, engines::kReplaceFailed, 4, 0, false, false},
        {"password to modify", 1,
         [&] {
             return write("password.pptx",
                          Deck{{textBox({"a cat"})},
                               "<p:modifyVerifier cryptProviderType=\"rsaAES\" cryptAlgorithmClass=\"hash\" "
                               "cryptAlgorithmType=\"typeAny\" cryptAlgorithmSid=\"14\" spinCount=\"100000\" "
                               "saltData=\"AAAA\" hashData=\"BBBB\"/>"});
         },
         [] {}, engines::kReplaceDocumentLocked, 5, 0, false, false},
        {"at head", 4, [&] { return writeText("head.pptx", "a cat"); }, [] {},
         engines::kReplaceModeNotSupported, 6, 0, false, false},
        {"at foot", 64, [&] { return writeText("foot.pptx", "a cat"); }, [] {},
         engines::kReplaceModeNotSupported, 6, 0, false, false},
        {"no match", 1, [&] { return writeText("nomatch.pptx", "a dog"); }, [] {},
         engines::kReplaceNothingFound, 6, 0, false, false},
        {"just find", 128, [&] { return writeText("find.pptx", "a cat, a cat"); }, [] {},
         engines::kReplaceFound, 6, 2, false, false},
        {"just find, none", 128, [&] { return writeText("findnone.pptx", "a dog"); }, [] {},
         engines::kReplaceNothingFound, 6, 0, false, false},
        {"backup fails", 1, [&] { return writeText("bak.pptx", "a cat"); },
         [&] { platform::injectFault(path("bak.pptx.bak"), platform::kErrorDiskFull, platform::kFaultOpen); },
         engines::kReplaceFailed, 7, 1, false, false},
        {"save fails", 1, [&] { return writeText("save.pptx", "a cat"); },
         [&] { platform::injectFault(path("save.pptx"), platform::kErrorDiskFull, platform::kFaultWrite); },
         engines::kReplaceFailed, 8, 1, false, true},
        {"success", 1, [&] { return writeText("ok.pptx", "a cat"); }, [] {}, engines::kReplaceFound, 8, 1,
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
        // The save failure is injected on the presentation's own path, which the backup name shares.
        TMSPowerPointReplacer replacer(&owner, 0, c.mode, block, std::string_view(c.name) != "save fails");
        EXPECT_EQ(replacer.ProcessFile(file), c.result);
        EXPECT_EQ(replacer.stage(), c.stage);
        EXPECT_EQ(replacer.matchCount(), c.matches);
        if (!wux::test::exists(file)) {
            EXPECT_EQ(replacer.fileSize(), -1);
        } else if (isFile) {
            EXPECT_EQ(replacer.fileSize(), static_cast<std::int64_t>(before.size()));
        }
        // Whatever happened, the presentation is closed again.
        ASSERT_NE(replacer.application(), nullptr);
        EXPECT_TRUE(replacer.application()->IsNotOpen());
        EXPECT_EQ(replacer.application()->PresentationCount(), 0);
        holder.close();
        platform::clearFaults();
        if (isFile) {
            EXPECT_EQ(wux::test::readFileBytes(file) != before, c.changed);
            if (c.changed) {
                EXPECT_EQ(shapeTexts(file), Texts{"a dog"});
            }
        }
        EXPECT_EQ(wux::test::exists(file + ".bak"), c.backup && c.changed);
        if (c.backup && c.changed) {
            EXPECT_EQ(wux::test::readFileBytes(file + ".bak"), before);
        }
    }
    // Only the files, the folder and the one backup of the success are left: no temporary file.
    EXPECT_EQ(wux::test::listNames(drive.root()),
              (std::vector<std::string>{"bak.pptx", "find.pptx", "findnone.pptx", "folder.pptx", "foot.pptx",
                                        "head.pptx", "held.pptx", "legacy.ppt", "locked.pptx", "nomatch.pptx",
                                        "ok.pptx", "ok.pptx.bak", "page.mht", "password.pptx", "save.pptx"}));
}

TEST_F(PowerPointReplacerTest, WithoutThePresentationProgramEveryFileFailsAtStage99)
{
    automation::ScopedClassRestore restore;
    automation::unregisterClass(kPowerPointApplicationClass);
    const std::string first = writeText("one.pptx", "a cat");
    const std::string second = writeText("two.pptx", "a cat");
    const std::string bytes = wux::test::readFileBytes(first);
    const auto block = searchBlock("cat", "dog", 1);
    TMSPowerPointReplacer replacer(&owner, 0, 1, block, true);
    EXPECT_EQ(replacer.ProcessFile(first), engines::kReplaceFailed);
    EXPECT_EQ(replacer.stage(), kStageConnect);
    EXPECT_TRUE(replacer.connectFailed());
    // Installed meanwhile: no second attempt in this run.
    automation::restoreClasses();
    EXPECT_EQ(replacer.ProcessFile(second), engines::kReplaceFailed);
    EXPECT_EQ(replacer.stage(), kStageConnect);
    EXPECT_EQ(replacer.application(), nullptr);
    EXPECT_EQ(replacer.matchCount(), 0);
    EXPECT_EQ(replacer.fileSize(), -1);
    EXPECT_EQ(wux::test::readFileBytes(first), bytes);
    EXPECT_EQ(wux::test::readFileBytes(second), bytes);

    // A server that fails to start is the same as none.
    automation::failClassCreation(kPowerPointApplicationClass, automation::kErrorServerUnavailable);
    TMSPowerPointReplacer failing(&owner, 0, 1, block, true);
    EXPECT_EQ(failing.ProcessFile(first), engines::kReplaceFailed);
    EXPECT_EQ(failing.stage(), kStageConnect);
    EXPECT_TRUE(failing.connectFailed());
}

// Slides in list order, every text shape with text; groups, tables, pictures and shapes without text
// are left alone, and the text of a changed shape keeps the formatting of what stays.
TEST_F(PowerPointReplacerTest, SearchesTheTextShapesOfEverySlide)
{
    Deck deck;
    deck.slides.push_back(textBox({"cat one", "two cat"}) + kPicture + kGroup + kTable + kPlainShape);
    deck.slides.push_back("");
    deck.slides.push_back(
        textShape("<a:p><a:pPr algn=\"ctr\"/><a:r><a:rPr lang=\"en-US\" b=\"1\"/><a:t>Bold </a:t></a:r>"
                  "<a:r><a:rPr lang=\"en-US\" i=\"1\"/><a:t>cat</a:t></a:r><a:br><a:rPr/></a:br>"
                  "<a:r><a:rPr lang=\"en-US\" u=\"sng\"/><a:t>under\tcat</a:t></a:r>"
                  "<a:endParaRPr lang=\"en-US\" sz=\"1800\"/></a:p>",
                  3) +
        textShape("<a:p><a:endParaRPr/></a:p>", 4));
    const std::string file = write("deck.pptx", deck);
    const auto before = wux::test::readZip(posix("deck.pptx"));
    const auto block = searchBlock("cat", "dog", 1);
    TMSPowerPointReplacer replacer(&owner, 0, 1, block, false);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    EXPECT_EQ(replacer.stage(), kStageSave);
    EXPECT_EQ(replacer.matchCount(), 4);
    EXPECT_EQ(shapeTexts(file), (Texts{"dog one\rtwo dog", "", "Bold dog\vunder\tdog", ""}));

    const auto after = wux::test::readZip(posix("deck.pptx"));
    // The first listed slide is stored last (slide3.xml); the empty slide is untouched.
    const std::string& first = after.at("ppt/slides/slide3.xml");
    EXPECT_NE(first.find("grouped cat"), std::string::npos);
    EXPECT_NE(first.find("cell cat"), std::string::npos);
    EXPECT_EQ(after.at("ppt/slides/slide2.xml"), before.at("ppt/slides/slide2.xml"));
    EXPECT_EQ(after.at("ppt/media/image1.png"), before.at("ppt/media/image1.png"));
    EXPECT_EQ(after.at("ppt/presentation.xml"), before.at("ppt/presentation.xml"));
    // Runs keep their properties: only the changed words are touched.
    const std::string& third = after.at("ppt/slides/slide1.xml");
    EXPECT_NE(
        third.find("<a:p><a:pPr algn=\"ctr\"/><a:r><a:rPr lang=\"en-US\" b=\"1\"/><a:t>Bold </a:t></a:r>"
                   "<a:r><a:rPr lang=\"en-US\" i=\"1\"/><a:t>dog</a:t></a:r><a:br><a:rPr/></a:br>"
                   "<a:r><a:rPr lang=\"en-US\" u=\"sng\"/><a:t>under\tdog</a:t></a:r>"
                   "<a:endParaRPr lang=\"en-US\" sz=\"1800\"/></a:p>"),
        std::string::npos)
        << third;
}

TEST_F(PowerPointReplacerTest, AHitAcrossRunsIsChangedAndTheRunsAroundItStay)
{
    const std::string file = write(
        "runs.pptx", Deck{{textShape("<a:p><a:r><a:rPr lang=\"en-US\" b=\"1\"/><a:t>Hel</a:t></a:r>"
                                     "<a:r><a:rPr lang=\"en-US\" i=\"1\"/><a:t>lo world</a:t></a:r></a:p>")},
                          ""});
    const auto block = searchBlock("hello", "Help", 1);
    TMSPowerPointReplacer replacer(&owner, 0, 1, block, false);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    EXPECT_EQ(shapeTexts(file), Texts{"Help world"});
    const std::string slide = wux::test::readZip(posix("runs.pptx")).at("ppt/slides/slide1.xml");
    EXPECT_NE(slide.find("<a:r><a:rPr lang=\"en-US\" b=\"1\"/><a:t>Hel</a:t></a:r>"
                         "<a:r><a:rPr lang=\"en-US\" i=\"1\"/><a:t>p world</a:t></a:r>"),
              std::string::npos)
        << slide;
}

TEST_F(PowerPointReplacerTest, ModesOnTheTextOfAShape)
{
    const struct
    {
        std::int32_t mode;
        std::int32_t sizeOfFirstPart;
        const char* find;
        const char* replace;
        bool caseSensitive;
        bool wholeWord;
        Texts texts;
        std::int32_t matches;
    } cases[] = {
        {1, 0, "CAT", "dog", false, false, {"a dog, a dog\rcondogenate"}, 3},
        {1, 0, "Cat", "dog", true, false, {"a cat, a dog\rconcatenate"}, 1},
        {1, 0, "cat", "dog", false, true, {"a dog, a dog\rconcatenate"}, 2},
        {2, 0, "cat", "", false, false, {"a , a \rconenate"}, 3},
        {8, 0, "cat", "!", false, false, {"a cat!, a Cat!\rconcat!enate"}, 3},
        {16, 0, "cat", "!", false, false, {"a !cat, a !Cat\rcon!catenate"}, 3},
        {1, 0, "c?t", "dog", false, false, {"a dog, a dog\rcondogenate"}, 3},
        {1, 0, "a*,", "X", false, false, {"X a Cat\rconcatenate"}, 1},
        // Paragraphs are joined by CR: a pattern may span them, and the text is split again.
        {1, 0, "cat?con", "cat con", false, false, {"a cat, a cat concatenate"}, 1},
        {1, 0, "cat?con", "cat\rand\rcon", false, false, {"a cat, a cat\rand\rconcatenate"}, 1},
        // First part "a " and ending ",": what stands between them is replaced.
        {32, 2, "a ,", "dog", false, false, {"a dog, a Cat\rconcatenate"}, 1},
        // No ending part: insert after the whole find text.
        {32, 3, "cat", "!", false, false, {"a cat!, a Cat!\rconcat!enate"}, 3},
        {128, 0, "cat", "dog", false, false, {"a cat, a Cat\rconcatenate"}, 3},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.mode) + " " + c.find);
        const std::string file =
            write("m" + std::to_string(n++) + ".pptx", Deck{{textBox({"a cat, a Cat", "concatenate"})}, ""});
        const std::string bytes = wux::test::readFileBytes(file);
        const auto block = searchBlock(c.find, c.replace, c.mode, c.caseSensitive, c.wholeWord);
        TMSPowerPointReplacer replacer(&owner, c.sizeOfFirstPart, c.mode, block, false);
        EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
        EXPECT_EQ(replacer.stage(), c.mode == 128 ? kStageSearch : kStageSave);
        EXPECT_EQ(replacer.matchCount(), c.matches);
        EXPECT_EQ(shapeTexts(file), c.texts);
        if (c.mode == 128) {
            EXPECT_EQ(wux::test::readFileBytes(file), bytes);
        }
    }
}

TEST_F(PowerPointReplacerTest, InsertBetweenReplacesWhatStandsBetweenTheParts)
{
    const std::string file = writeText("between.pptx", "[a] and [b]");
    const auto block = searchBlock("[]", "X", 32);
    TMSPowerPointReplacer replacer(&owner, 1, 32, block, false);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    EXPECT_EQ(replacer.cachedSearch().find, u"[");
    EXPECT_EQ(replacer.cachedSearch().ending, u"]");
    EXPECT_EQ(replacer.matchCount(), 2);
    EXPECT_EQ(shapeTexts(file), Texts{"[X] and [X]"});
}

TEST_F(PowerPointReplacerTest, TableRowsApplyInOrderWithTheirInsertCodes)
{
    const auto block = tableBlock({"N", "Y", "N"}, {"cat", "Dog", "bird"}, {"lion", "#U#big ", "#D#s"});
    const std::string file =
        write("table.pptx", Deck{{textBox({"Cat and Dog and dog"}), textBox({"bird"})}, ""});
    TMSPowerPointReplacer replacer(&owner, 0, engines::kModeBatchTable, block, false);
    replacer.setRowCount(3);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    EXPECT_EQ(replacer.matchCount(), 3);
    EXPECT_EQ(shapeTexts(file), (Texts{"lion and big Dog and dog", "birds"}));

    // A row with an empty find text is skipped; a row past the end of the block fails the file.
    const auto raw = rawTableBlock({{"", "x"}, {"lion", "cat"}});
    TMSPowerPointReplacer rows(&owner, 0, engines::kModeBatchTable, raw, false);
    rows.setRowCount(2);
    EXPECT_EQ(rows.ProcessFile(file), engines::kReplaceFound);
    EXPECT_EQ(shapeTexts(file), (Texts{"cat and big Dog and dog", "birds"}));
    const std::string bytes = wux::test::readFileBytes(file);
    rows.setRowCount(3);
    EXPECT_EQ(rows.ProcessFile(file), engines::kReplaceFailed);
    EXPECT_EQ(rows.stage(), kStageSearch);
    EXPECT_EQ(wux::test::readFileBytes(file), bytes);
}

TEST_F(PowerPointReplacerTest, AShapeThatCannotTakeItsNewTextKeepsItAndCountsNoHits)
{
    // "\x01" cannot stand in a presentation: that shape is skipped, the others still change.
    const std::string file = write("bad.pptx", Deck{{textBox({"a cat"}), textBox({"b cat"}, 3)}, ""});
    const auto table = rawTableBlock({{"a cat", "\x01"}, {"b cat", "b dog"}});
    TMSPowerPointReplacer replacer(&owner, 0, engines::kModeBatchTable, table, false);
    replacer.setRowCount(2);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    EXPECT_EQ(replacer.matchCount(), 1);
    EXPECT_EQ(shapeTexts(file), (Texts{"a cat", "b dog"}));

    const std::string only = writeText("only.pptx", "a cat");
    const std::string bytes = wux::test::readFileBytes(only);
    replacer.setRowCount(1);
    EXPECT_EQ(replacer.ProcessFile(only), engines::kReplaceNothingFound);
    EXPECT_EQ(replacer.matchCount(), 0);
    EXPECT_EQ(wux::test::readFileBytes(only), bytes);
}

TEST_F(PowerPointReplacerTest, OneApplicationServesTheRunAndFiguresStartAgainForEachFile)
{
    const std::string a = writeText("a.pptx", "one cat and a cat");
    const std::string b = writeText("b.pptx", "no dogs");
    const std::string c = writeText("c.pptx", "a cat");
    const auto block = searchBlock("cat", "dog", 1);
    const std::size_t objectsBefore = automation::liveObjectCount();
    auto replacer = std::make_unique<TMSPowerPointReplacer>(&owner, 0, 1, block, true);
    EXPECT_EQ(replacer->ProcessFile(a), engines::kReplaceFound);
    EXPECT_EQ(replacer->matchCount(), 2);
    TPowerPointObject* first = replacer->application();
    EXPECT_EQ(replacer->ProcessFile(b), engines::kReplaceNothingFound);
    EXPECT_EQ(replacer->matchCount(), 0);
    EXPECT_FALSE(wux::test::exists(b + ".bak"));
    EXPECT_EQ(replacer->ProcessFile(path("gone.pptx")), engines::kReplaceFailed);
    EXPECT_EQ(replacer->fileSize(), -1);
    EXPECT_EQ(replacer->ProcessFile(c), engines::kReplaceFound);
    EXPECT_EQ(replacer->matchCount(), 1);
    EXPECT_EQ(replacer->application(), first);
    // Freeing the replacer quits the server and releases every automation object of the run.
    replacer.reset();
    EXPECT_EQ(automation::liveObjectCount(), objectsBefore);
    EXPECT_EQ(shapeTexts(a), Texts{"one dog and a dog"});
    EXPECT_EQ(shapeTexts(c), Texts{"a dog"});
}

TEST_F(PowerPointReplacerTest, AnApplicationHoldingPresentationsIsLeftToItsUser)
{
    const std::string mine = writeText("user.pptx", "user cat");
    const std::string file = writeText("run.pptx", "run cat");
    const auto block = searchBlock("cat", "dog", 1);
    TMSPowerPointReplacer replacer(&owner, 0, 1, block, false);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    // The user opens a presentation in the run's application.
    const DispatchRef app = replacer.application()->applicationObject();
    const DispatchRef presentations = asDispatch(app->get("Presentations"));
    presentations->call("Open", {Variant(u"c:\\user.pptx")});
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceNothingFound);
    EXPECT_NE(replacer.application()->applicationObject(), app);
    EXPECT_EQ(automation::toInt32(presentations->get("Count")), 1); // still open in the user's application
    EXPECT_EQ(shapeTexts(mine), Texts{"user cat"});
}

TEST_F(PowerPointReplacerTest, AStopRequestEndsTheFileInItsBackupCopy)
{
    // The slide loop does not ask; the backup copy does, and nothing is saved.
    const std::string file = writeText("stop.pptx", "a cat");
    const std::string bytes = wux::test::readFileBytes(file);
    const auto block = searchBlock("cat", "dog", 1);
    TMSPowerPointReplacer replacer(&owner, 0, 1, block, true);
    owner.Terminate();
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFailed);
    EXPECT_EQ(replacer.stage(), kStageBackup);
    EXPECT_EQ(wux::test::readFileBytes(file), bytes);
    EXPECT_FALSE(wux::test::exists(file + ".bak"));
}

TEST_F(PowerPointReplacerTest, AnOutputFolderReceivesTheChangedPresentation)
{
    const std::string file = writeText("moved.pptx", "a cat");
    wux::test::makeFolder(path("out"));
    const auto block = searchBlock("cat", "dog", 1);
    TMSPowerPointReplacer replacer(&owner, 0, 1, block, false);
    replacer.setOutputFolder(path("out"));
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    EXPECT_FALSE(wux::test::exists(file));
    EXPECT_EQ(shapeTexts(path("out\\moved.pptx")), Texts{"a dog"});
}

} // namespace

// A presentation of one slide with one text box of one paragraph, and the texts of a presentation's
// text shapes (for the run tests).
namespace test {
std::string pptxWithText(const std::string& text)
{
    return buildPptx(Deck{{textBox({text})}, ""});
}
std::vector<std::string> presentationTexts(const std::string& windowsPath)
{
    return shapeTexts(windowsPath);
}
} // namespace test

} // namespace wux::office
