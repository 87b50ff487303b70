// The OpenDocument wrapper and replacer against a recording stand-in of "com.sun.star.ServiceManager":
// every call the wrapper makes, with its arguments, in order, on scripted search hits.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engines/base_replacer.h"
#include "office/openoffice_replacer.h"
#include "office/openoffice_writer.h"
#include "office_test_support.h"
#include "platform/automation/dispatch.h"
#include "platform/text.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::office {
namespace {

namespace automation = platform::automation;
using automation::Args;
using automation::DispatchRef;
using automation::Variant;

struct OdtScript
{
    std::vector<std::string> log;
    std::vector<std::u16string> hits; // the text of each found range
    bool noDesktop = false;           // CreateInstance raises
    bool loadGivesNothing = false;
    bool loadFails = false;
    bool storeFails = false;
    std::map<const void*, std::pair<std::string, std::string>> properties; // name and value of each
    std::function<void()> changed;                                         // after each setString
};

using Access = test::ScriptedObject::Access;
using test::describe;

// The recording suite's answers on the script's state; a found range carries its index, and a property
// value shows its name and value in the log.
Variant answer(OdtScript& s, test::ScriptedObject& self, Access access, const std::string& member,
               const Args& a)
{
    const auto raise = [](const char* message) {
        throw automation::AutomationError(automation::kErrorFail, "ServiceManager", message);
    };
    if (access == Access::kPut) {
        s.log.push_back(self.kind + "." + member + "=" + describe(a[0]));
        auto& [name, value] = s.properties[&self];
        (member == "Name" ? name : value) =
            member == "Name" ? platform::utf16ToUtf8(a[0].text()) : describe(a[0]);
        self.label = "PV(" + name + "=" + value + ")";
        return {};
    }
    s.log.push_back(self.kind + "." + member + "(" + describe(a) + ")");
    if (member == "CreateInstance") {
        if (s.noDesktop)
            raise("no desktop");
        return self.child("Desktop");
    }
    if (member == "Bridge_GetStruct") {
        Variant property = self.child("PropertyValue");
        std::dynamic_pointer_cast<test::ScriptedObject>(property.dispatch())->label = "PV(=)";
        return property;
    }
    if (member == "LoadComponentFromURL") {
        if (s.loadFails)
            raise("General Error");
        return s.loadGivesNothing ? Variant() : self.child("Document");
    }
    if (member == "createSearchDescriptor")
        return self.child("Descriptor");
    if (member == "findAll")
        return self.child("Found");
    if (member == "getCount")
        return Variant(static_cast<std::int32_t>(s.hits.size()));
    if (member == "getByIndex")
        return self.child("Range", a.int32(0));
    if (member == "getString")
        return Variant(s.hits.at(static_cast<std::size_t>(self.index)));
    if (member == "setString") {
        s.hits.at(static_cast<std::size_t>(self.index)) = a.text(0);
        if (s.changed)
            s.changed();
    }
    if (member == "StoreToURL" && s.storeFails)
        raise("disk full");
    return Variant();
}

using Log = std::vector<std::string>;

class OpenOfficeCallTest : public test::BlockTest
{
protected:
    void SetUp() override
    {
        automation::registerClass(std::string(kServiceManagerClass), [s = script] {
            return std::make_shared<test::ScriptedObject>(
                "Manager", std::make_shared<const test::ScriptedObject::Answer>(
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
    std::shared_ptr<OdtScript> script = std::make_shared<OdtScript>();
    core::TUserParameters parameters = test::replacerParameters(false);
};

TEST_F(OpenOfficeCallTest, FailuresOfTheSuiteAndTheirStages)
{
    const std::string file = path("a.odt");
    wux::test::createFile(file, "scripted");
    const auto block = searchBlock("cat", "dog", 1);
    const struct
    {
        const char* name;
        bool noDesktop;
        bool loadGivesNothing;
        bool loadFails;
        bool storeFails;
        engines::TReplaceResult result;
        std::int32_t stage;
        std::int32_t matches;
        bool disposed;
    } cases[] = {
        {"no desktop", true, false, false, false, engines::kReplaceFailed, kStageOdtConnect, 0, false},
        {"load gives nothing", false, true, false, false, engines::kReplaceFailed, kStageOdtLoad, 0, false},
        {"load fails", false, false, true, false, engines::kReplaceFailed, kStageOdtLoad, 0, false},
        {"store fails", false, false, false, true, engines::kReplaceFailed, kStageOdtStore, 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        script->hits = {u"cat"};
        script->noDesktop = c.noDesktop;
        script->loadGivesNothing = c.loadGivesNothing;
        script->loadFails = c.loadFails;
        script->storeFails = c.storeFails;
        TOOWriterReplacer replacer(&owner, 1, block, &parameters);
        EXPECT_EQ(replacer.ProcessFile(file), c.result);
        EXPECT_EQ(replacer.stage(), c.stage);
        EXPECT_EQ(replacer.matchCount(), c.matches);
        const Log log = take();
        EXPECT_EQ(!log.empty() && log.back() == "Document.Dispose()", c.disposed);
        // No desktop: nothing more is asked of the suite, now or for a later file.
        if (c.noDesktop) {
            EXPECT_EQ(log, (Log{"Manager.CreateInstance('com.sun.star.frame.Desktop')"}));
            EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFailed);
            EXPECT_EQ(replacer.stage(), kStageOdtConnect);
            EXPECT_TRUE(take().empty());
        }
    }
}

TEST_F(OpenOfficeCallTest, TheWriterOnItsOwn)
{
    TOpenOfficeWriter writer;
    EXPECT_TRUE(writer.hasServiceManager());
    EXPECT_TRUE(writer.hasDesktop());
    EXPECT_FALSE(writer.hasDocument());
    EXPECT_EQ(writer.replaceMode(), 1);
    EXPECT_EQ(writer.matchCount(), 0);
    take();
    // Without a document nothing is asked of the suite.
    writer.Replace("cat", "dog", 1);
    writer.StoreDocument("c:\\a.odt");
    writer.DisposeDocument();
    EXPECT_TRUE(take().empty());
    // The document is loaded hidden, stored with overwriting.
    writer.LoadDocument("c:\\a b.odt");
    EXPECT_TRUE(writer.hasDocument());
    writer.StoreDocument("c:\\a b.odt");
    writer.DisposeDocument();
    EXPECT_FALSE(writer.hasDocument());
    EXPECT_EQ(take(),
              (Log{"Manager.Bridge_GetStruct('com.sun.star.beans.PropertyValue')",
                   "PropertyValue.Name='Hidden'", "PropertyValue.Value=T",
                   "Desktop.LoadComponentFromURL('file:///c:/a%20b.odt','_default',0,[PV(Hidden=T)])",
                   "Manager.Bridge_GetStruct('com.sun.star.beans.PropertyValue')",
                   "PropertyValue.Name='Overwrite'", "PropertyValue.Value=T",
                   "Document.StoreToURL('file:///c:/a%20b.odt',[PV(Overwrite=T)])", "Document.Dispose()"}));
}

// A stop request made while the hits are changed ends the loop before the next hit: the document fails,
// with the hits after it untouched.
TEST_F(OpenOfficeCallTest, AStopRequestEndsTheLoopOverTheHits)
{
    const std::string file = path("a.odt");
    wux::test::createFile(file, "scripted");
    script->hits = {u"cat", u"cat", u"cat", u"cat"};
    int changes = 0;
    script->changed = [&] {
        if (++changes == 2)
            owner.Terminate();
    };
    TOOWriterReplacer replacer(&owner, 1, searchBlock("cat", "dog", 1), &parameters);
    EXPECT_EQ(replacer.ProcessFile(file), engines::kReplaceFailed);
    EXPECT_EQ(replacer.stage(), kStageOdtSearch);
    EXPECT_EQ(script->hits, (std::vector<std::u16string>{u"dog", u"dog", u"cat", u"cat"}));
    const Log log = take();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Found.getByIndex(2)"), 0);
    EXPECT_EQ(log.back(), "Document.Dispose()");
}

} // namespace
} // namespace wux::office
