// The presentation wrapper and replacer against the stand-in "PowerPoint.Application" server over real
// .pptx packages built here: the stage and result table, every mode the presentation supports, the
// table rows, and the saved files re-opened and checked.
#include "office/powerpoint_replacer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engines/base_replacer.h"
#include "engines/batch_table.h"
#include "office/powerpoint_object.h"
#include "office_test_support.h"
#include "platform/automation/dispatch.h"
#include "support/file_builders.h"
#include "support/packages.h"
#include "support/temp_drive.h"

namespace wux::office {
namespace {

namespace automation = platform::automation;
using automation::asDispatch;
using automation::DispatchRef;
using automation::Variant;
using engines::TReplaceResult;

using Deck = wux::test::PptxContent;
using wux::test::buildPptx;

std::string textShape(const std::string& paragraphs, int id = 2)
{
    return wux::test::pptxShape(paragraphs, id);
}

std::string textBox(std::initializer_list<std::string> paragraphs, int id = 2)
{
    return wux::test::pptxTextBox(paragraphs, id);
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

std::vector<std::string> shapeTexts(const std::string& windowsPath)
{
    return test::presentationTexts(windowsPath);
}

using Texts = std::vector<std::string>;

class PowerPointReplacerTest : public test::BlockTest
{
protected:
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
};

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

TEST_F(PowerPointReplacerTest, AShapeThatCannotTakeItsNewTextKeepsItAndCountsNoHits)
{
    // "\x01" cannot stand in a presentation: that shape is skipped, the others still change.
    const std::string file = write("bad.pptx", Deck{{textBox({"a cat"}), textBox({"b cat"}, 3)}, ""});
    const auto table = rawTableBlock({{false, "a cat", "\x01", 3}, {false, "b cat", "b dog", 3}});
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

} // namespace
} // namespace wux::office
