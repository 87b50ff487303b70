// The presentation wrapper and replacer against a recording stand-in of "PowerPoint.Application": every
// call the wrapper makes, with its arguments, in order, and the slide loop on scripted shapes.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engines/base_replacer.h"
#include "office/powerpoint_object.h"
#include "office/powerpoint_replacer.h"
#include "office_test_support.h"
#include "platform/automation/dispatch.h"
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
    std::function<void()> changed; // after each text put
};

using Access = test::ScriptedObject::Access;

// The recording application's answers on the script's state: gets and calls alike; a slide's objects
// carry its number, a shape's objects the slide's and the shape's.
Variant answer(PptScript& s, test::ScriptedObject& self, Access access, const std::string& member,
               const Args& a)
{
    const std::string& kind = self.kind;
    const auto shape = [&]() -> ScriptShape& { return s.slides[self.index - 1][self.second - 1]; };
    if (access == Access::kPut) {
        s.log.push_back(kind + "." + member + "=" + test::describe(a[0]));
        if (member == "Text") {
            if (shape().failPut)
                throw automation::AutomationError(automation::kErrorFail, "PowerPoint", "cannot hold");
            shape().text = a[0].text();
            if (s.changed)
                s.changed();
        }
        return {};
    }
    s.log.push_back(kind + "." + member + "(" + test::describe(a) + ")");
    if (member == "Presentations")
        return self.child("Presentations");
    if (member == "Count" && kind == "Presentations")
        return Variant(s.presentations);
    if (member == "Open") {
        if (s.openFails)
            throw automation::AutomationError(automation::kErrorFail, "PowerPoint", "cannot open");
        if (s.open == PptScript::Open::kEmpty)
            return Variant();
        if (s.open == PptScript::Open::kNullObject)
            return Variant(DispatchRef());
        ++s.presentations;
        return self.child("Presentation");
    }
    if (member == "Close") {
        --s.presentations;
        return Variant();
    }
    if ((member == "Save" || member == "SaveAs") && s.saveFails)
        throw automation::AutomationError(automation::kErrorFail, "PowerPoint", "disk full");
    if (member == "Slides")
        return self.child("Slides");
    if (member == "Count" && kind == "Slides") {
        if (s.slideCountFails)
            throw automation::AutomationError(automation::kErrorFail, "PowerPoint", "damaged");
        return Variant(static_cast<std::int32_t>(s.slides.size()));
    }
    if (member == "Item" && kind == "Slides")
        return self.child("Slide", a.int32(0));
    if (member == "Shapes")
        return self.child("Shapes", self.index);
    if (member == "Count" && kind == "Shapes")
        return Variant(static_cast<std::int32_t>(s.slides[self.index - 1].size()));
    if (member == "Item" && kind == "Shapes")
        return self.child("Shape", self.index, a.int32(0));
    if (member == "TextFrame") {
        if (!shape().textFrame)
            throw automation::AutomationError(automation::kErrorFail, "PowerPoint", "no text frame");
        return self.child("TextFrame", self.index, self.second);
    }
    if (member == "HasText")
        return shape().hasText;
    if (member == "TextRange")
        return self.child("TextRange", self.index, self.second);
    if (member == "Text")
        return Variant(shape().text);
    return Variant();
}

class PowerPointCallTest : public test::BlockTest
{
protected:
    void SetUp() override
    {
        automation::registerClass(std::string(kPowerPointApplicationClass), [s = script] {
            return std::make_shared<test::ScriptedObject>(
                "App", std::make_shared<const test::ScriptedObject::Answer>(
                           [s](test::ScriptedObject& self, Access access, const std::string& member,
                               const Args& a) { return answer(*s, self, access, member, a); }));
        });
    }

    std::vector<std::string> take()
    {
        std::vector<std::string> out;
        out.swap(script->log);
        return out;
    }

    automation::ScopedClassRestore restore;
    std::shared_ptr<PptScript> script = std::make_shared<PptScript>();
};

using Log = std::vector<std::string>;

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

// An open that raises leaves no presentation in hand, not even the one opened before.
TEST_F(PowerPointCallTest, AFailedOpenLeavesNoPresentationInHand)
{
    TPowerPointObject application;
    application.OpenPresentation("c:\\first.pptx");
    EXPECT_FALSE(application.IsNotOpen());
    script->openFails = true;
    EXPECT_THROW(application.OpenPresentation("c:\\second.pptx"), automation::AutomationError);
    EXPECT_TRUE(application.IsNotOpen());
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

// A stop request made while the shapes are changed ends the walk before the next shape: the presentation
// fails, unsaved, with the shapes after it unread.
TEST_F(PowerPointCallTest, AStopRequestEndsTheWalkOverTheShapes)
{
    const std::string file = path("deck.pptx");
    wux::test::createFile(file, "scripted");
    script->slides = {{withText(u"a cat"), withText(u"a cat"), withText(u"a cat")}, {withText(u"a cat")}};
    int changes = 0;
    script->changed = [&] {
        if (++changes == 2)
            owner.Terminate();
    };
    TMSPowerPointReplacer replacer(&owner, 0, 1, searchBlock("cat", "dog", 1), false);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFailed);
    EXPECT_EQ(replacer.stage(), kStageSearch);
    EXPECT_EQ(script->slides[0][2].text, u"a cat");
    const Log log = take();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Shapes.Item(3)"), 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "Slides.Item(2)"), 0);
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& l) { return l.starts_with("Presentation.Save"); }),
              0);
}

} // namespace
} // namespace wux::office
