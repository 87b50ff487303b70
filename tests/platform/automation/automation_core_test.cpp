#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "platform/automation/dispatch.h"
#include "platform/automation/variant.h"
#include "platform/automation/word_server.h"
#include "platform/text.h"

namespace wux::platform::automation {
namespace {

std::string text(const Variant& v)
{
    return variantToUtf8(v);
}

TEST(AutomationVariant, KeepsEmptyNullAndMissingApart)
{
    EXPECT_EQ(Variant().type(), VarType::kEmpty);
    EXPECT_EQ(Variant::null().type(), VarType::kNull);
    EXPECT_EQ(Variant::missing().type(), VarType::kMissing);
    EXPECT_EQ(Variant(u"").type(), VarType::kBStr);
    EXPECT_TRUE(Variant().isNothing());
    EXPECT_TRUE(Variant(DispatchRef()).isNothing());
    EXPECT_FALSE(Variant::null().isNothing());
    EXPECT_FALSE(Variant::missing().isNothing());
    EXPECT_EQ(Variant(true).integerValue(), -1);
    EXPECT_EQ(Variant(false).integerValue(), 0);
}

TEST(AutomationVariant, ConvertsToText)
{
    const struct
    {
        Variant value;
        const char* expected;
    } cases[] = {
        {Variant(), ""},
        {Variant::null(), ""},
        {Variant(true), "True"},
        {Variant(false), "False"},
        {Variant(42), "42"},
        {Variant::fromInt(VarType::kI8, -9000000000LL), "-9000000000"},
        {Variant::fromInt(VarType::kUI1, 300), "44"},
        {Variant(2.5), "2.5"},
        {Variant(0.1 + 0.2), "0.3"},
        {Variant(1.0 / 3.0), "0.333333333333333"},
        {Variant(123456789012345678.0), "1.23456789012346E+17"},
        {Variant(1e20), "1E+20"},
        {Variant(-1.5e-7), "-1.5E-07"},
        {Variant(0.0), "0"},
        {Variant(100.0), "100"},
        {Variant::fromR4(0.1f), "0.1"},
        {Variant::fromCurrency(12345000), "1234.5"},
        {Variant::fromCurrency(-5), "-0.0005"},
        {Variant::fromDate(45000.0), "2023-03-15"},
        {Variant::fromDate(45000.75), "2023-03-15 18:00:00"},
        {Variant::fromDate(0.5), "12:00:00"},
        {Variant(u"caf\u00e9"), "caf\xc3\xa9"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(text(c.value), c.expected);
    EXPECT_THROW(variantToText(Variant::fromError(0x800A07FA)), AutomationError);
    EXPECT_THROW(variantToText(Variant::missing()), AutomationError);
    EXPECT_THROW(variantToText(Variant::fromArray({})), AutomationError);
}

TEST(AutomationVariant, ConvertsToBooleanIntegerAndDouble)
{
    EXPECT_TRUE(toBool(Variant(true)));
    EXPECT_TRUE(toBool(Variant(-1)));
    EXPECT_TRUE(toBool(Variant(2)));
    EXPECT_FALSE(toBool(Variant(0)));
    EXPECT_FALSE(toBool(Variant()));
    EXPECT_TRUE(toBool(Variant(u"TRUE")));
    EXPECT_FALSE(toBool(Variant(u"false")));
    EXPECT_TRUE(toBool(Variant(u" -1 ")));
    EXPECT_FALSE(toBool(Variant(u"0")));
    EXPECT_THROW(toBool(Variant(u"yes")), AutomationError);
    EXPECT_THROW(toBool(Variant::null()), AutomationError);

    EXPECT_EQ(toInt32(Variant(true)), -1);
    EXPECT_EQ(toInt32(Variant(2.5)), 2); // half to even
    EXPECT_EQ(toInt32(Variant(3.5)), 4);
    EXPECT_EQ(toInt32(Variant(u"17")), 17);
    EXPECT_EQ(toInt32(Variant::fromCurrency(25000)), 2);
    EXPECT_EQ(toInt32(Variant()), 0);
    EXPECT_THROW(toInt32(Variant(u"12a")), AutomationError);
    EXPECT_THROW(toInt32(Variant(1e12)), AutomationError);
    try {
        toInt32(Variant::fromInt(VarType::kI8, 1LL << 40));
        FAIL();
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.code(), kErrorOverflow);
    }
    EXPECT_DOUBLE_EQ(toDouble(Variant(u"2.25")), 2.25);
    EXPECT_DOUBLE_EQ(toDouble(Variant(true)), -1);
    EXPECT_DOUBLE_EQ(toDouble(Variant::fromR4(1.5f)), 1.5);
    EXPECT_THROW(toDouble(Variant(u"1,5")), AutomationError);
}

class Counter : public Dispatch
{
public:
    int value = 0;
    const MemberTable& members() const override
    {
        static const MemberTable table = [] {
            MemberTable t;
            MemberTableBuilder<Counter>(t)
                .get("Value", [](Counter& c, const Args&) { return Variant(c.value); })
                .put("Value", [](Counter& c, const Variant& v) { c.value = toInt32(v); })
                .get(
                    "Item", [](Counter& c, const Args& a) { return Variant(c.value * a.int32(0)); }, 1, 1)
                .method(
                    "Add",
                    [](Counter& c, const Args& a) {
                        c.value += a.int32(0, 1);
                        return Variant(a.missing(1));
                    },
                    0, 2);
            return t;
        }();
        return table;
    }
};

TEST(AutomationDispatch, CallsMembersByNameIgnoringCase)
{
    auto c = std::make_shared<Counter>();
    c->put("VALUE", Variant(u"5"));
    EXPECT_EQ(c->get("value").integerValue(), 5);
    EXPECT_EQ(c->call("ITEM", {Variant(3)}).integerValue(), 15); // a parameterised getter called as a method
    EXPECT_TRUE(c->get("add").boolValue());                      // a method read as a property
    EXPECT_EQ(c->value, 6);
    EXPECT_TRUE(c->call("Add", {Variant(2), Variant::missing()}).boolValue());
    EXPECT_FALSE(c->call("Add", {Variant(2), Variant(u"")}).boolValue());
    const struct
    {
        const char* name;
        InvokeKind kind;
        std::vector<Variant> args;
        std::int32_t code;
    } failures[] = {
        {"Nope", InvokeKind::kGet, {}, kErrorMemberNotFound},
        {"Item", InvokeKind::kGet, {}, kErrorBadParamCount},
        {"Add", InvokeKind::kMethod, {Variant(1), Variant(1), Variant(1)}, kErrorBadParamCount},
        {"Add", InvokeKind::kPut, {Variant(1)}, kErrorMemberNotFound},
        {"Value", InvokeKind::kPut, {Variant(u"x")}, kErrorTypeMismatch},
    };
    for (const auto& f : failures) {
        try {
            c->invoke(f.name, f.kind, f.args);
            ADD_FAILURE() << f.name;
        } catch (const AutomationError& e) {
            EXPECT_EQ(e.code(), f.code) << f.name;
        }
    }
}

TEST(AutomationRegistry, CreatesRemovesAndFailsClasses)
{
    ScopedClassRestore restore;
    DispatchRef word = createObject("word.application");
    ASSERT_TRUE(word);
    EXPECT_EQ(word->get("Documents").dispatch()->get("Count").integerValue(), 0);
    try {
        createObject("Nothing.Here");
        FAIL();
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.code(), kErrorInvalidClassString);
    }
    unregisterClass("Word.Application");
    EXPECT_THROW(createObject("Word.Application"), AutomationError);
    restoreClasses();
    EXPECT_TRUE(createObject("Word.Application"));
    failClassCreation("Word.Application", kErrorClassNotRegistered);
    try {
        createObject("Word.Application");
        FAIL();
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.code(), kErrorClassNotRegistered);
    }
    restoreClasses();
    for (const char* builtIn :
         {"Word.Application", "Excel.Application", "PowerPoint.Application", "com.sun.star.ServiceManager"})
        EXPECT_TRUE(createObject(builtIn)) << builtIn;
    registerClass("Test.Counter", [] { return std::make_shared<Counter>(); });
    EXPECT_EQ(createObject("TEST.COUNTER")->get("Value").integerValue(), 0);
}

TEST(AutomationRegistry, WorkerThreadsMustInitialise)
{
    EXPECT_GE(coInitializeCount(), 1); // the GUI thread always counts as initialised
    std::int32_t before = 0, first = 0, second = 0, afterCount = -1;
    bool created = false;
    std::size_t liveAtEnd = 1;
    std::thread worker([&] {
        try {
            createObject("Word.Application");
        } catch (const AutomationError& e) {
            before = e.code();
        }
        first = coInitialize();
        second = coInitialize();
        {
            DispatchRef app = createObject("Word.Application");
            created = static_cast<bool>(app);
        }
        liveAtEnd = liveObjectCount();
        coUninitialize();
        coUninitialize();
        afterCount = coInitializeCount();
    });
    worker.join();
    EXPECT_EQ(before, kErrorNotInitialized);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    EXPECT_TRUE(created);
    EXPECT_EQ(liveAtEnd, 0u);
    EXPECT_EQ(afterCount, 0);
}

} // namespace
} // namespace wux::platform::automation
