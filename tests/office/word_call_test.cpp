// The word-processor wrapper and replacer against a recording stand-in of "Word.Application": every
// call the wrapper makes, with its arguments, in order, and the search loop on scripted Find results.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "office/word_object.h"
#include "office/word_replacer.h"
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

// The scripted state of the recording application.
struct WordScript
{
    std::vector<std::string> log;
    int documents = 0;
    int protection = -1;
    int sections = 1;
    bool differentFirstPage = false;
    bool oddAndEven = false;
    int footnotes = 0;
    int endnotes = 0;
    int windowViewType = 3;
    int paneViewType = 3;
    int splitSpecial = 0;
    int failGoToSection = 0;
    std::deque<std::pair<int, int>> hits; // what each Execute finds; none left: not found
    int selStart = 0;
    int selEnd = 0;
    std::u16string selText;
};

using test::describe;
using Access = test::ScriptedObject::Access;

// The recording application's answers on the script's state.
Variant answer(WordScript& s, test::ScriptedObject& self, Access access, const std::string& name,
               const Args& a)
{
    const std::string& kind = self.kind;
    if (access == Access::kGet && name == "Item")
        access = Access::kCall; // the application's Item is a method that may be read as a property
    if (access == Access::kGet) {
        if (name == "Count") {
            s.log.push_back(kind + ".Count");
            if (kind == "Documents")
                return Variant(s.documents);
            if (kind == "Sections")
                return Variant(s.sections);
            return Variant(kind == "FootNotes" ? s.footnotes : s.endnotes);
        }
        if (name == "Start")
            return Variant(s.selStart);
        if (name == "End")
            return Variant(s.selEnd);
        if (name == "Text") {
            s.log.push_back("get Text");
            return Variant(s.selText);
        }
        if (name == "ProtectionType") {
            s.log.push_back("ProtectionType");
            return Variant(s.protection);
        }
        if (name == "Type") {
            s.log.push_back(kind + ".Type");
            return Variant(kind == "PaneView" ? s.paneViewType : s.windowViewType);
        }
        if (name == "SplitSpecial")
            return Variant(s.splitSpecial);
        if (name == "DifferentFirstPageHeaderFooter")
            return Variant(s.differentFirstPage);
        if (name == "OddAndEvenPagesHeaderFooter")
            return Variant(s.oddAndEven);
        if (name == "View")
            return self.child(kind == "ActivePane" ? "PaneView" : "View");
        if (a.size() != 0)
            s.log.push_back("get " + name + "(" + describe(a) + ")");
        return self.child(name);
    }
    if (access == Access::kPut) {
        const Variant& v = a[0];
        if (name == "Start" || name == "End")
            s.log.push_back(kind + "." + name + "=" + describe(v));
        if (name == "Start") {
            s.selStart = static_cast<int>(v.integerValue());
            s.selEnd = std::max(s.selEnd, s.selStart);
        } else if (name == "End") {
            s.selEnd = static_cast<int>(v.integerValue());
        } else {
            s.log.push_back(kind + "." + name + "=" + describe(v));
            if (name == "Text")
                s.selEnd = s.selStart + static_cast<int>(v.text().size());
            else if (name == "Type")
                s.paneViewType = static_cast<int>(v.integerValue());
            else if (name == "SplitSpecial")
                s.splitSpecial = static_cast<int>(v.integerValue());
        }
        return {};
    }
    s.log.push_back(kind + "." + name + "(" + describe(a) + ")");
    if (name == "Open") {
        ++s.documents;
        return self.child("Document");
    }
    if (name == "Close" && kind == "Document")
        --s.documents;
    if (name == "Close" && kind == "Pane")
        s.splitSpecial = 0;
    if (name == "Item")
        return self.child(kind == "Panes" ? "Pane" : "Window");
    if (name == "GoTo" && a[2].integerValue() == s.failGoToSection)
        throw automation::AutomationError(automation::kErrorFail, "Word", "no such section");
    if (name == "InsertAfter" || name == "InsertBefore")
        s.selEnd += static_cast<int>(a[0].text().size());
    if (name == "Execute") {
        if (s.hits.empty())
            return Variant(false);
        s.selStart = s.hits.front().first;
        s.selEnd = s.hits.front().second;
        s.hits.pop_front();
        return Variant(true);
    }
    return {};
}

class WordCallTest : public wux::test::TempDriveTest
{
protected:
    WordCallTest()
    {
        automation::registerClass("Word.Application", [this] {
            script->log.push_back("create");
            return std::make_shared<test::ScriptedObject>(
                "Application",
                std::make_shared<const test::ScriptedObject::Answer>(
                    [s = script](test::ScriptedObject& self, Access access, const std::string& name,
                                 const Args& a) { return answer(*s, self, access, name, a); }));
        });
    }

    // The log lines that start with one of the prefixes, in order.
    std::vector<std::string> calls(std::initializer_list<const char*> prefixes) const
    {
        std::vector<std::string> out;
        for (const std::string& line : script->log)
            for (const char* p : prefixes)
                if (line.starts_with(p)) {
                    out.push_back(line);
                    break;
                }
        return out;
    }

    automation::ScopedClassRestore restore;
    std::shared_ptr<WordScript> script = std::make_shared<WordScript>();
    test::IdleOwner owner;
};

// The search loop on scripted hits: what is changed and counted.
TEST_F(WordCallTest, SearchLoopChangesEachPositionOnce)
{
    const struct
    {
        const char* name;
        std::int32_t mode;
        std::vector<std::pair<int, int>> hits;
        int count;
        std::vector<std::string> changes;
    } cases[] = {
        {"wrap ends the loop",
         1,
         {{4, 7}, {10, 13}, {2, 5}},
         2,
         {"Selection.Text='dog'", "Selection.Text='dog'"}},
        // (0,3) becomes "dog!" (0,4): a hit ending at or before 4 is inside it, not counted.
        {"inside the change",
         1,
         {{0, 3}, {1, 3}, {5, 8}, {0, 3}},
         2,
         {"Selection.Text='dog'", "Selection.Text='dog'"}},
        {"same start twice", 128, {{2, 5}, {2, 5}, {2, 5}, {7, 9}}, 1, {}},
        {"stall then progress", 128, {{2, 5}, {2, 5}, {7, 9}, {1, 2}}, 2, {}},
        {"delete", 2, {{2, 5}, {2, 5}}, 2, {"Selection.Text=''", "Selection.Text=''"}},
        {"insert after", 8, {{2, 5}, {6, 8}}, 1, {"Selection.InsertAfter('dog')"}},
        {"insert before", 16, {{2, 5}}, 1, {"Selection.InsertBefore('dog')"}},
        {"nothing", 1, {}, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        script->log.clear();
        script->hits.assign(c.hits.begin(), c.hits.end());
        TWordObject word(&owner);
        word.setReplaceMode(c.mode);
        word.OpenDocument("c:\\a.docx");
        word.ReplaceAll(u"cat", c.mode == 1 && std::string(c.name) == "inside the change" ? u"dog!" : u"dog",
                        kWordSkipHeadersFooters | kWordSkipNotes);
        EXPECT_EQ(word.matchCount(), c.count);
        std::vector<std::string> changes = calls({"Selection.Text=", "Selection.Insert"});
        if (std::string(c.name) == "inside the change") {
            EXPECT_EQ(changes, (std::vector<std::string>{"Selection.Text='dog!'", "Selection.Text='dog!'"}));
        } else {
            EXPECT_EQ(changes, c.changes);
        }
    }
}

TEST_F(WordCallTest, FoundTextIsReadOnlyForTheFoundTextCode)
{
    script->hits = {{0, 3}};
    script->selText = u"abc";
    TWordObject word(&owner);
    word.OpenDocument("c:\\a.docx");
    word.ReplaceAll(u"abc", u"[^&]", kWordSkipHeadersFooters | kWordSkipNotes);
    EXPECT_EQ(calls({"get Text", "Selection.Text"}),
              (std::vector<std::string>{"get Text", "Selection.Text='[abc]'"}));
    EXPECT_EQ(calls({"Selection.Start", "Selection.End"}),
              (std::vector<std::string>{"Selection.Start=0", "Selection.End=0"}));
    // Each search clears the formatting of the find and the replacement first.
    EXPECT_EQ(calls({"Find.", "Replacement."}),
              (std::vector<std::string>{"Find.ClearFormatting()", "Replacement.ClearFormatting()",
                                        "Find.Execute('abc',F,F,F,F,F,T,1,F,'',0)", "Find.ClearFormatting()",
                                        "Replacement.ClearFormatting()",
                                        "Find.Execute('abc',F,F,F,F,F,T,1,F,'',0)"}));
}

// The head insert goes before the first character, the foot insert after the end of the story.
TEST_F(WordCallTest, HeadAndFootInsertsGoToTheStorysEnds)
{
    for (const std::int32_t mode : {4, 64}) {
        script->log.clear();
        script->selStart = script->selEnd = 5;
        TWordObject word(&owner);
        word.setReplaceMode(mode);
        word.OpenDocument("c:\\a.docx");
        word.InsertHeadFoot(u">>");
        const std::vector<std::string> expected =
            mode == 4 ? std::vector<std::string>{"Selection.Start=0", "Selection.End=0",
                                                 "Selection.InsertBefore('>>')"}
                      : std::vector<std::string>{"Selection.EndKey(6,0)", "Selection.InsertAfter('>>')"};
        EXPECT_EQ(calls({"Selection."}), expected) << mode;
    }
}

TEST_F(WordCallTest, HeaderPassWithoutSectionsSeeksEveryHeaderAndFooterKind)
{
    script->sections = 0;
    script->differentFirstPage = true;
    script->oddAndEven = true;
    script->splitSpecial = 7;
    script->windowViewType = 1;
    TWordObject word(&owner);
    word.OpenDocument("c:\\a.docx");
    word.ReplaceAll(u"cat", u"dog", kWordSkipMainText | kWordSkipNotes);
    EXPECT_EQ(calls({"Pane.", "Panes.Item", "PaneView.", "Sections.Count"}),
              (std::vector<std::string>{"Panes.Item(2)", "Pane.Close()", "PaneView.Type=5", "Sections.Count",
                                        "PaneView.SeekView=2", "PaneView.SeekView=5", "PaneView.SeekView=3",
                                        "PaneView.SeekView=6", "PaneView.SeekView=1", "PaneView.SeekView=4",
                                        "PaneView.SeekView=0"}));
    EXPECT_EQ(calls({"Find.Execute"}).size(), 6u);
}

TEST_F(WordCallTest, HeaderPassVisitsEachSectionAndSkipsOneThatFails)
{
    script->sections = 3;
    script->failGoToSection = 2;
    script->windowViewType = 3;
    script->paneViewType = 2; // outline: switched to page view
    TWordObject word(&owner);
    word.OpenDocument("c:\\a.docx");
    word.ReplaceAll(u"cat", u"dog", kWordSkipMainText | kWordSkipNotes);
    EXPECT_EQ(
        calls({"PaneView.", "Selection.GoTo"}),
        (std::vector<std::string>{"PaneView.Type", "PaneView.Type=5", "Selection.GoTo(0,1,1)",
                                  "PaneView.SeekView=9", "PaneView.SeekView=10", "PaneView.SeekView=0",
                                  "Selection.GoTo(0,1,2)", "Selection.GoTo(0,1,3)", "PaneView.SeekView=9",
                                  "PaneView.SeekView=10", "PaneView.SeekView=0"}));
    EXPECT_EQ(calls({"Find.Execute"}).size(), 4u);
}

TEST_F(WordCallTest, NotesPassUsesSeekViewOrSplitSpecialByTheViewType)
{
    for (int type : {3, 1}) {
        script->log.clear();
        script->footnotes = 1;
        script->endnotes = 2;
        script->paneViewType = type;
        TWordObject word(&owner);
        word.OpenDocument("c:\\a.docx");
        word.ReplaceAll(u"cat", u"dog", kWordSkipMainText | kWordSkipHeadersFooters);
        const std::string put = type == 3 ? "PaneView.SeekView=" : "PaneView.SplitSpecial=";
        EXPECT_EQ(calls({"PaneView.S", "FootNotes", "EndNotes"}),
                  (std::vector<std::string>{"FootNotes.Count", put + "7", "EndNotes.Count", put + "8",
                                            "PaneView.SeekView=0"}))
            << type;
    }
    script->log.clear();
    script->footnotes = 0;
    script->endnotes = 0;
    TWordObject word(&owner);
    word.OpenDocument("c:\\a.docx");
    word.ReplaceAll(u"cat", u"dog", kWordSkipMainText | kWordSkipHeadersFooters);
    EXPECT_TRUE(calls({"Find.Execute"}).empty());
}

} // namespace
} // namespace wux::office
