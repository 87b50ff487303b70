// The OpenDocument wrapper and replacer against a recording stand-in of "com.sun.star.ServiceManager":
// every call the wrapper makes, with its arguments, in order, on scripted search hits.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engines/base_replacer.h"
#include "office/openoffice_replacer.h"
#include "office/openoffice_writer.h"
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

struct OdtScript
{
    std::vector<std::string> log;
    std::vector<std::u16string> hits; // the text of each found range
    bool noDesktop = false;           // CreateInstance raises
    bool loadGivesNothing = false;
    bool loadFails = false;
    bool storeFails = false;
};

class OdtRecorder;
std::string describe(const Variant& v);

class OdtRecorder : public automation::Dispatch
{
public:
    OdtRecorder(std::string kind, std::shared_ptr<OdtScript> script, int index = -1)
        : kind_(std::move(kind)), s_(std::move(script)), index_(index)
    {
    }
    // A property value shows its name and value.
    std::string label() const
    {
        return kind_ == "PropertyValue" ? "PV(" + name_ + "=" + value_ + ")" : kind_;
    }

protected:
    const automation::MemberTable& members() const override
    {
        static const automation::MemberTable table = [] {
            automation::MemberTable t;
            automation::MemberTableBuilder<OdtRecorder> b(t);
            for (const char* name :
                 {"CreateInstance", "Bridge_GetStruct", "LoadComponentFromURL", "createSearchDescriptor",
                  "setPropertyValue", "setSearchString", "findAll", "getCount", "getByIndex", "getString",
                  "setString", "StoreToURL", "Dispose"}) {
                const std::string n = name;
                b.method(
                    n, [n](OdtRecorder& r, const Args& a) { return r.on(n, a); }, 0, 4);
            }
            for (const char* name : {"Name", "Value"}) {
                const std::string n = name;
                b.put(n, [n](OdtRecorder& r, const Variant& v) { r.onPut(n, v); });
            }
            return t;
        }();
        return table;
    }

private:
    Variant child(const std::string& kind, int index = -1)
    {
        return Variant(DispatchRef(std::make_shared<OdtRecorder>(kind, s_, index)));
    }
    [[noreturn]] void raise(const char* message)
    {
        throw automation::AutomationError(automation::kErrorFail, "ServiceManager", message);
    }

    Variant on(const std::string& member, const Args& a)
    {
        std::string line = kind_ + "." + member + "(";
        for (std::size_t i = 0; i < a.size(); ++i)
            line += (i ? "," : "") + describe(a[i]);
        s_->log.push_back(line + ")");
        if (member == "CreateInstance") {
            if (s_->noDesktop)
                raise("no desktop");
            return child("Desktop");
        }
        if (member == "Bridge_GetStruct")
            return child("PropertyValue");
        if (member == "LoadComponentFromURL") {
            if (s_->loadFails)
                raise("General Error");
            return s_->loadGivesNothing ? Variant() : child("Document");
        }
        if (member == "createSearchDescriptor")
            return child("Descriptor");
        if (member == "findAll")
            return child("Found");
        if (member == "getCount")
            return Variant(static_cast<std::int32_t>(s_->hits.size()));
        if (member == "getByIndex")
            return child("Range", a.int32(0));
        if (member == "getString")
            return Variant(s_->hits.at(static_cast<std::size_t>(index_)));
        if (member == "setString")
            s_->hits.at(static_cast<std::size_t>(index_)) = a.text(0);
        if (member == "StoreToURL" && s_->storeFails)
            raise("disk full");
        return Variant();
    }

    void onPut(const std::string& member, const Variant& v)
    {
        s_->log.push_back(kind_ + "." + member + "=" + describe(v));
        if (member == "Name")
            name_ = platform::utf16ToUtf8(v.text());
        else
            value_ = describe(v);
    }

    std::string kind_;
    std::shared_ptr<OdtScript> s_;
    int index_;
    std::string name_;
    std::string value_;
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
    case VarType::kDispatch: {
        const auto recorder = std::dynamic_pointer_cast<OdtRecorder>(v.dispatch());
        return recorder ? recorder->label() : "?dispatch";
    }
    case VarType::kArray: {
        std::string out = "[";
        for (std::size_t i = 0; i < v.items().size(); ++i)
            out += (i ? "," : "") + describe(v.items()[i]);
        return out + "]";
    }
    default:
        return "?" + std::to_string(static_cast<int>(v.type()));
    }
}

using Log = std::vector<std::string>;

class OpenOfficeCallTest : public test::BlockTest
{
protected:
    void SetUp() override
    {
        automation::registerClass(std::string(kServiceManagerClass),
                                  [s = script] { return std::make_shared<OdtRecorder>("Manager", s); });
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
    writer.LoadDocument("c:\\a b.odt");
    EXPECT_TRUE(writer.hasDocument());
    writer.DisposeDocument();
    EXPECT_FALSE(writer.hasDocument());
    EXPECT_EQ(take().back(), "Document.Dispose()");
}

} // namespace
} // namespace wux::office
