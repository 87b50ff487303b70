// The presentation wrapper and replacer against a recording stand-in of "PowerPoint.Application": every
// call the wrapper makes, with its arguments, in order, and the slide loop on scripted shapes.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engines/base_replacer.h"
#include "office/powerpoint_object.h"
#include "office/powerpoint_replacer.h"
#include "office_test_support.h"
#include "platform/automation/dispatch.h"
#include "platform/movable_memory.h"
#include "platform/text.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::office {
namespace {

namespace automation = platform::automation;
using automation::Args;
using automation::DispatchRef;
using automation::Variant;
using automation::VarType;

// One scripted shape: its text frame raises (a group, a table), or it has a text.
struct ScriptShape
{
    bool textFrame = true;
    Variant hasText = Variant(true);
    std::u16string text;
    bool failPut = false;
};

ScriptShape withText(std::u16string text, Variant hasText = Variant(true))
{
    ScriptShape shape;
    shape.hasText = std::move(hasText);
    shape.text = std::move(text);
    return shape;
}

// A group or a table: no text frame.
ScriptShape noFrame()
{
    ScriptShape shape;
    shape.textFrame = false;
    return shape;
}

struct PptScript
{
    std::vector<std::string> log;
    int presentations = 0;
    enum class Open
    {
        kObject,
        kEmpty,
        kNullObject,
    } open = Open::kObject;
    bool openFails = false;
    bool saveFails = false;
    bool slideCountFails = false;
    std::vector<std::vector<ScriptShape>> slides;
};

std::string describe(const Variant& v)
{
    switch (v.type()) {
    case VarType::kMissing:
        return "~";
    case VarType::kEmpty:
        return "E";
    case VarType::kBool:
        return v.boolValue() ? "T" : "F";
    case VarType::kBStr:
        return "'" + platform::utf16ToUtf8(v.text()) + "'";
    case VarType::kI4:
        return std::to_string(v.integerValue());
    default:
        return "?" + std::to_string(static_cast<int>(v.type()));
    }
}

class PptRecorder : public automation::Dispatch
{
public:
    PptRecorder(std::string kind, std::shared_ptr<PptScript> script, int slide = 0, int shape = 0)
        : kind_(std::move(kind)), s_(std::move(script)), slide_(slide), shape_(shape)
    {
    }

protected:
    const automation::MemberTable& members() const override
    {
        static const automation::MemberTable table = [] {
            automation::MemberTable t;
            automation::MemberTableBuilder<PptRecorder> b(t);
            for (const char* name :
                 {"Presentations", "Count", "Slides", "Shapes", "Item", "TextFrame", "HasText", "TextRange",
                  "Text", "Open", "Quit", "Save", "SaveAs", "Close"}) {
                const std::string n = name;
                b.get(
                    n, [n](PptRecorder& r, const Args& a) { return r.on(n, a); }, 0, 4);
                b.method(
                    n, [n](PptRecorder& r, const Args& a) { return r.on(n, a); }, 0, 4);
                b.put(n, [n](PptRecorder& r, const Variant& v) { r.onPut(n, v); });
            }
            return t;
        }();
        return table;
    }

private:
    Variant child(const std::string& kind, int slide = 0, int shape = 0)
    {
        return Variant(DispatchRef(std::make_shared<PptRecorder>(kind, s_, slide, shape)));
    }
    ScriptShape& shape() { return s_->slides[slide_ - 1][shape_ - 1]; }

    Variant on(const std::string& member, const Args& a)
    {
        std::string line = kind_ + "." + member + "(";
        for (std::size_t i = 0; i < a.size(); ++i)
            line += (i ? "," : "") + describe(a[i]);
        s_->log.push_back(line + ")");
        if (member == "Presentations")
            return child("Presentations");
        if (member == "Count" && kind_ == "Presentations")
            return Variant(s_->presentations);
        if (member == "Open") {
            if (s_->openFails)
                throw automation::AutomationError(automation::kErrorFail, "PowerPoint", "cannot open");
            if (s_->open == PptScript::Open::kEmpty)
                return Variant();
            if (s_->open == PptScript::Open::kNullObject)
                return Variant(DispatchRef());
            ++s_->presentations;
            return child("Presentation");
        }
        if (member == "Close") {
            --s_->presentations;
            return Variant();
        }
        if ((member == "Save" || member == "SaveAs") && s_->saveFails)
            throw automation::AutomationError(automation::kErrorFail, "PowerPoint", "disk full");
        if (member == "Slides")
            return child("Slides");
        if (member == "Count" && kind_ == "Slides") {
            if (s_->slideCountFails)
                throw automation::AutomationError(automation::kErrorFail, "PowerPoint", "damaged");
            return Variant(static_cast<std::int32_t>(s_->slides.size()));
        }
        if (member == "Item" && kind_ == "Slides")
            return child("Slide", a.int32(0));
        if (member == "Shapes")
            return child("Shapes", slide_);
        if (member == "Count" && kind_ == "Shapes")
            return Variant(static_cast<std::int32_t>(s_->slides[slide_ - 1].size()));
        if (member == "Item" && kind_ == "Shapes")
            return child("Shape", slide_, a.int32(0));
        if (member == "TextFrame") {
            if (!shape().textFrame)
                throw automation::AutomationError(automation::kErrorFail, "PowerPoint", "no text frame");
            return child("TextFrame", slide_, shape_);
        }
        if (member == "HasText")
            return shape().hasText;
        if (member == "TextRange")
            return child("TextRange", slide_, shape_);
        if (member == "Text")
            return Variant(shape().text);
        return Variant();
    }

    void onPut(const std::string& member, const Variant& v)
    {
        s_->log.push_back(kind_ + "." + member + "=" + describe(v));
        if (member == "Text") {
            if (shape().failPut)
                throw automation::AutomationError(automation::kErrorFail, "PowerPoint", "cannot hold");
            shape().text = v.text();
        }
    }

    std::string kind_;
    std::shared_ptr<PptScript> s_;
    int slide_;
    int shape_;
};

class PowerPointCallTest : public wux::test::TempDriveTest
{
protected:
    void SetUp() override
    {
        automation::registerClass(std::string(kPowerPointApplicationClass),
                                  [s = script] { return std::make_shared<PptRecorder>("App", s); });
    }
    ~PowerPointCallTest() override
    {
        for (platform::MovableHandle block : blocks_)
            platform::movableFree(block);
    }

    platform::MovableHandle searchBlock(std::string_view find, std::string_view replace, std::int32_t mode)
    {
        blocks_.push_back(engines::BuildReplacerStructure(find, replace, false, false, mode));
        return blocks_.back();
    }

    std::vector<std::string> take()
    {
        std::vector<std::string> out;
        out.swap(script->log);
        return out;
    }

    automation::ScopedClassRestore restore;
    std::shared_ptr<PptScript> script = std::make_shared<PptScript>();
    test::IdleOwner owner;

private:
    std::vector<platform::MovableHandle> blocks_;
};

using Log = std::vector<std::string>;

TEST_F(PowerPointCallTest, OneFileFromOpenToClose)
{
    script->slides = {{withText(u"a cat", Variant(true)), noFrame()},
                      {withText(u"", Variant(false)), withText(u"cat\rcat", Variant(-1))}};
    const std::string file = path("deck.pptx");
    wux::test::createFile(file, "scripted");
    const auto block = searchBlock("cat", "dog", 1);
    {
        TMSPowerPointReplacer replacer(&owner, 0, 1, block, false);
        EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
        EXPECT_EQ(replacer.matchCount(), 3);
        EXPECT_EQ(replacer.stage(), kStageSave);
        EXPECT_EQ(take(), (Log{
                              "App.Presentations()",
                              "Presentations.Count()",
                              "App.Presentations()",
                              "Presentations.Open('c:\\deck.pptx',F,~,F)",
                              "Presentation.Slides()",
                              "Slides.Count()",
                              "Slides.Item(1)",
                              "Slide.Shapes()",
                              "Shapes.Count()",
                              "Shapes.Item(1)",
                              "Shape.TextFrame()",
                              "TextFrame.HasText()",
                              "TextFrame.TextRange()",
                              "TextRange.Text()",
                              "TextRange.Text='a dog'",
                              "Shapes.Item(2)",
                              "Shape.TextFrame()",
                              "Slides.Item(2)",
                              "Slide.Shapes()",
                              "Shapes.Count()",
                              "Shapes.Item(1)",
                              "Shape.TextFrame()",
                              "TextFrame.HasText()",
                              "Shapes.Item(2)",
                              "Shape.TextFrame()",
                              "TextFrame.HasText()",
                              "TextFrame.TextRange()",
                              "TextRange.Text()",
                              "TextRange.Text='dog\rdog'",
                              "Presentation.Save()",
                              "Presentation.Close()",
                          }));
    }
    // Freeing the replacer quits the server: it holds no presentations.
    EXPECT_EQ(take(), (Log{"App.Presentations()", "Presentations.Count()", "App.Quit()"}));
}

TEST_F(PowerPointCallTest, NothingFromOpenIsAPresentationLeftAlone)
{
    const std::string file = path("deck.pptx");
    wux::test::createFile(file, "scripted");
    const auto block = searchBlock("cat", "dog", 1);
    for (const PptScript::Open answer : {PptScript::Open::kEmpty, PptScript::Open::kNullObject}) {
        script->open = answer;
        TMSPowerPointReplacer replacer(&owner, 0, 1, block, false);
        EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceDocumentLocked);
        EXPECT_EQ(replacer.stage(), kStageProtection);
        EXPECT_TRUE(replacer.application()->IsNotOpen());
        const Log log = take();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back(), "Presentations.Open('c:\\deck.pptx',F,~,F)");
    }
}

TEST_F(PowerPointCallTest, ErrorsOfTheServerAndTheirStages)
{
    const std::string file = path("deck.pptx");
    wux::test::createFile(file, "scripted");
    script->slides = {{withText(u"a cat", Variant(true))}};
    const auto block = searchBlock("cat", "dog", 1);
    const struct
    {
        const char* name;
        bool openFails;
        bool slideCountFails;
        bool saveFails;
        bool failPut;
        engines::TReplaceResult result;
        std::int32_t stage;
        std::int32_t matches;
    } cases[] = {
        {"open", true, false, false, false, engines::kReplaceFailed, kStageOpen, 0},
        {"slides", false, true, false, false, engines::kReplaceFailed, kStageSearch, 0},
        {"save", false, false, true, false, engines::kReplaceFailed, kStageSave, 1},
        // A shape that refuses its new text keeps it; its hits are not changes.
        {"shape", false, false, false, true, engines::kReplaceNothingFound, kStageSearch, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        script->openFails = c.openFails;
        script->slideCountFails = c.slideCountFails;
        script->saveFails = c.saveFails;
        script->slides[0][0].failPut = c.failPut;
        script->slides[0][0].text = u"a cat";
        TMSPowerPointReplacer replacer(&owner, 0, 1, block, false);
        EXPECT_EQ(replacer.ProcessFile(file), c.result);
        EXPECT_EQ(replacer.stage(), c.stage);
        EXPECT_EQ(replacer.matchCount(), c.matches);
        EXPECT_EQ(script->presentations, 0);
        take();
    }
}

TEST_F(PowerPointCallTest, JustFindWritesNothingAndSavesNothing)
{
    script->slides = {{withText(u"cat cat", Variant(true))}};
    const std::string file = path("deck.pptx");
    wux::test::createFile(file, "scripted");
    const auto block = searchBlock("cat", "", 128);
    TMSPowerPointReplacer replacer(&owner, 0, 128, block, true);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
    EXPECT_EQ(replacer.matchCount(), 2);
    for (const std::string& line : take()) {
        EXPECT_EQ(line.find("Text="), std::string::npos) << line;
        EXPECT_EQ(line.find("Save"), std::string::npos) << line;
    }
    EXPECT_FALSE(wux::test::exists(file + ".bak"));
}

TEST_F(PowerPointCallTest, AServerHoldingPresentationsIsRenewedAndNeverQuit)
{
    script->presentations = 1; // the user's
    script->slides = {{withText(u"a cat", Variant(true))}};
    const std::string file = path("deck.pptx");
    wux::test::createFile(file, "scripted");
    const auto block = searchBlock("cat", "dog", 1);
    {
        TMSPowerPointReplacer replacer(&owner, 0, 1, block, false);
        EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
        const Log log = take();
        // Counted, dropped without quitting, made anew, then opened.
        ASSERT_GE(log.size(), 4u);
        EXPECT_EQ(Log(log.begin(), log.begin() + 4),
                  (Log{"App.Presentations()", "Presentations.Count()", "App.Presentations()",
                       "Presentations.Open('c:\\deck.pptx',F,~,F)"}));
    }
    EXPECT_EQ(take(), (Log{"App.Presentations()", "Presentations.Count()"}));

    // A server that cannot be made again fails the file at the check for open presentations.
    script->slides[0][0].text = u"a cat";
    {
        TMSPowerPointReplacer replacer(&owner, 0, 1, block, false);
        EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFound);
        automation::failClassCreation(kPowerPointApplicationClass, automation::kErrorServerUnavailable);
        EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFailed);
        EXPECT_EQ(replacer.stage(), kStageCheckApplication);
        EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFailed);
        EXPECT_EQ(replacer.stage(), kStageCheckApplication);
        automation::failClassCreation(kPowerPointApplicationClass, 0);
    }
    take();

    TPowerPointObject object;
    EXPECT_TRUE(object.connected());
    EXPECT_EQ(object.replaceMode(), 1);
    EXPECT_TRUE(object.IsNotOpen());
    EXPECT_THROW(object.SavePresentation(""), std::runtime_error);
    EXPECT_THROW(object.ReplaceInPresentation(u"a", u"", u"b", 0), std::runtime_error);
    object.ClosePresentation(); // nothing open: no call
    EXPECT_TRUE(take().empty());
}

} // namespace
} // namespace wux::office
