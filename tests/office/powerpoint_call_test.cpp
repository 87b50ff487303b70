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

class PowerPointCallTest : public test::BlockTest
{
protected:
    void SetUp() override
    {
        automation::registerClass(std::string(kPowerPointApplicationClass),
                                  [s = script] { return std::make_shared<PptRecorder>("App", s); });
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

} // namespace
} // namespace wux::office
