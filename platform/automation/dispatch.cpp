#include "platform/automation/dispatch.h"

#include <cassert>
#include <map>
#include <mutex>

#include "platform/automation/excel_server.h"
#include "platform/automation/odt_server.h"
#include "platform/automation/pptx_server.h"
#include "platform/automation/word_server.h"
#include "platform/thread.h"

namespace wux::platform::automation {

namespace {

std::string lowerAscii(std::string_view name)
{
    std::string out(name);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return out;
}

thread_local std::size_t tLiveObjects = 0;
thread_local int tInitCount = 0;

} // namespace

// ---- Args ----

const Variant& Args::operator[](std::size_t index) const
{
    static const Variant kMissing = Variant::missing();
    return index < values_.size() ? values_[index] : kMissing;
}

namespace {
[[noreturn]] void parameterNotFound()
{
    throw AutomationError(kErrorParamNotFound, "Automation", "Parameter not found.");
}
} // namespace

std::int32_t Args::int32(std::size_t index) const
{
    if (missing(index))
        parameterNotFound();
    return toInt32((*this)[index]);
}

std::int32_t Args::int32(std::size_t index, std::int32_t fallback) const
{
    return missing(index) ? fallback : toInt32((*this)[index]);
}

bool Args::boolean(std::size_t index) const
{
    if (missing(index))
        parameterNotFound();
    return toBool((*this)[index]);
}

bool Args::boolean(std::size_t index, bool fallback) const
{
    return missing(index) ? fallback : toBool((*this)[index]);
}

std::u16string Args::text(std::size_t index) const
{
    if (missing(index))
        parameterNotFound();
    return variantToText((*this)[index]);
}

std::u16string Args::text(std::size_t index, std::u16string_view fallback) const
{
    return missing(index) ? std::u16string(fallback) : variantToText((*this)[index]);
}

// ---- MemberTable ----

const Member* MemberTable::find(std::string_view name) const
{
    auto it = members_.find(lowerAscii(name));
    return it == members_.end() ? nullptr : &it->second;
}

Member& MemberTable::entry(std::string_view name)
{
    return members_[lowerAscii(name)];
}

// ---- Dispatch ----

Dispatch::Dispatch()
{
    ++tLiveObjects;
}

Dispatch::~Dispatch()
{
    --tLiveObjects;
}

Variant Dispatch::invoke(std::string_view name, InvokeKind kind, std::span<const Variant> args)
{
    const Member* member = members().find(name);
    if (!member)
        fail(kErrorMemberNotFound, "Unknown name: " + std::string(name) + ".");
    const Args a(args);
    if (kind == InvokeKind::kPut) {
        if (!member->put || args.empty())
            fail(kErrorMemberNotFound, "The property " + std::string(name) + " cannot be set.");
        const Args index(args.first(args.size() - 1));
        member->put(*this, index, args.back());
        return {};
    }
    const auto& f = kind == InvokeKind::kGet ? (member->get ? member->get : member->method)
                                             : (member->method ? member->method : member->get);
    if (!f)
        fail(kErrorMemberNotFound, "The member " + std::string(name) + " cannot be called this way.");
    if (args.size() < member->minArgs || args.size() > member->maxArgs)
        fail(kErrorBadParamCount, "Wrong number of arguments for " + std::string(name) + ".");
    return f(*this, a);
}

Variant Dispatch::get(std::string_view name, std::initializer_list<Variant> args)
{
    return invoke(name, InvokeKind::kGet, std::span<const Variant>(args.begin(), args.size()));
}

void Dispatch::put(std::string_view name, const Variant& value)
{
    invoke(name, InvokeKind::kPut, std::span<const Variant>(&value, 1));
}

Variant Dispatch::call(std::string_view name, std::initializer_list<Variant> args)
{
    return invoke(name, InvokeKind::kMethod, std::span<const Variant>(args.begin(), args.size()));
}

void Dispatch::fail(std::int32_t code, std::string message) const
{
    throw AutomationError(code, errorSource(), std::move(message));
}

DispatchRef asDispatch(const Variant& value, std::string_view what)
{
    if (value.type() != VarType::kDispatch || !value.dispatch())
        throw AutomationError(kErrorTypeMismatch, "Automation", "Not an object: " + std::string(what) + ".");
    return value.dispatch();
}

std::size_t liveObjectCount()
{
    return tLiveObjects;
}

// ---- Initialisation ----

std::int32_t coInitialize()
{
    return tInitCount++ == 0 ? 0 : 1;
}

void coUninitialize()
{
    if (tInitCount == 0)
        return;
    --tInitCount;
    // Every automation object of a run is released before its thread uninitialises.
    assert(tInitCount > 0 || isGuiThread() || tLiveObjects == 0);
}

int coInitializeCount()
{
    return tInitCount + (isGuiThread() ? 1 : 0);
}

// ---- Class registry ----

namespace {

struct ClassEntry
{
    ClassFactory factory;
    std::int32_t failure = 0;
};

std::mutex gRegistryMutex;

std::map<std::string, ClassEntry>& registry()
{
    static std::map<std::string, ClassEntry> classes;
    return classes;
}

bool gBuiltInsLoaded = false;

void loadBuiltIns()
{
    auto& classes = registry();
    classes.clear();
    classes[lowerAscii(kWordApplicationProgId)] = ClassEntry{&createWordApplication, 0};
    classes[lowerAscii(kExcelApplicationProgId)] = ClassEntry{&createExcelApplication, 0};
    classes[lowerAscii(kPowerPointApplicationProgId)] = ClassEntry{&createPowerPointApplication, 0};
    classes[lowerAscii(kServiceManagerProgId)] = ClassEntry{&createServiceManager, 0};
    gBuiltInsLoaded = true;
}

void ensureBuiltIns()
{
    if (!gBuiltInsLoaded)
        loadBuiltIns();
}

} // namespace

DispatchRef createObject(std::string_view progId)
{
    if (coInitializeCount() == 0)
        throw AutomationError(kErrorNotInitialized, "Automation", "CoInitialize has not been called.");
    ClassFactory factory;
    {
        std::lock_guard lock(gRegistryMutex);
        ensureBuiltIns();
        auto it = registry().find(lowerAscii(progId));
        if (it == registry().end() || !it->second.factory)
            throw AutomationError(kErrorInvalidClassString, "Automation", "Invalid class string.");
        if (it->second.failure != 0)
            throw AutomationError(it->second.failure, "Automation", "The server could not be started.");
        factory = it->second.factory;
    }
    DispatchRef object = factory();
    if (!object)
        throw AutomationError(kErrorFail, "Automation", "The server could not be started.");
    return object;
}

void registerClass(std::string progId, ClassFactory factory)
{
    std::lock_guard lock(gRegistryMutex);
    ensureBuiltIns();
    registry()[lowerAscii(progId)] = ClassEntry{std::move(factory), 0};
}

void unregisterClass(std::string_view progId)
{
    std::lock_guard lock(gRegistryMutex);
    ensureBuiltIns();
    registry().erase(lowerAscii(progId));
}

void failClassCreation(std::string_view progId, std::int32_t code)
{
    std::lock_guard lock(gRegistryMutex);
    ensureBuiltIns();
    auto it = registry().find(lowerAscii(progId));
    if (it != registry().end())
        it->second.failure = code;
}

void restoreClasses()
{
    std::lock_guard lock(gRegistryMutex);
    loadBuiltIns();
}

} // namespace wux::platform::automation
