// Late-bound automation objects: a base class whose members are called by name (ignoring case) with
// positional arguments, property get and put, and errors raised as AutomationError.
//
// Objects are thread-affine: they are used only on the thread that created them. Each class keeps one
// member table; a parameterised getter (Item(i)) may be called as a method and a method may be read
// as a property.
#pragma once

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/automation/variant.h"

namespace wux::platform::automation {

// How a member is called.
enum class InvokeKind
{
    kGet,
    kPut,
    kMethod,
};

// The positional arguments of a call; an index past the end reads as Missing.
class Args
{
public:
    Args(std::span<const Variant> values) : values_(values) {}
    std::size_t size() const noexcept { return values_.size(); }
    // The argument at index (Missing when not given).
    const Variant& operator[](std::size_t index) const;
    // True when the argument is not given or is Missing.
    bool missing(std::size_t index) const { return operator[](index).isMissing(); }
    // Converted arguments; a missing one raises "parameter not found" unless a fallback is given.
    std::int32_t int32(std::size_t index) const;
    std::int32_t int32(std::size_t index, std::int32_t fallback) const;
    bool boolean(std::size_t index) const;
    bool boolean(std::size_t index, bool fallback) const;
    std::u16string text(std::size_t index) const;
    std::u16string text(std::size_t index, std::u16string_view fallback) const;

private:
    std::span<const Variant> values_;
};

class Dispatch;

// One member of a class: getter, putter and method, each optional, and the allowed argument counts.
struct Member
{
    std::function<Variant(Dispatch&, const Args&)> get;
    std::function<void(Dispatch&, const Args&, const Variant&)> put;
    std::function<Variant(Dispatch&, const Args&)> method;
    std::size_t minArgs = 0;
    std::size_t maxArgs = 0;
};

// The member table of one class: names ignoring ASCII case.
class MemberTable
{
public:
    const Member* find(std::string_view name) const;
    Member& entry(std::string_view name);

private:
    std::unordered_map<std::string, Member> members_;
};

// Builds the member table of class T (a Dispatch descendant) with typed callbacks.
template <class T> class MemberTableBuilder
{
public:
    explicit MemberTableBuilder(MemberTable& table) : table_(table) {}
    // A property getter with between minArgs and maxArgs arguments (Item(i): 1, 1).
    MemberTableBuilder& get(std::string_view name, std::function<Variant(T&, const Args&)> f,
                            std::size_t minArgs = 0, std::size_t maxArgs = 0)
    {
        Member& m = table_.entry(name);
        m.get = [f = std::move(f)](Dispatch& self, const Args& a) { return f(static_cast<T&>(self), a); };
        setCounts(m, minArgs, maxArgs);
        return *this;
    }
    // A property putter (the value comes separately).
    MemberTableBuilder& put(std::string_view name, std::function<void(T&, const Variant&)> f)
    {
        Member& m = table_.entry(name);
        m.put = [f = std::move(f)](Dispatch& self, const Args&, const Variant& v) {
            f(static_cast<T&>(self), v);
        };
        return *this;
    }
    // A method with between minArgs and maxArgs arguments.
    MemberTableBuilder& method(std::string_view name, std::function<Variant(T&, const Args&)> f,
                               std::size_t minArgs = 0, std::size_t maxArgs = 0)
    {
        Member& m = table_.entry(name);
        m.method = [f = std::move(f)](Dispatch& self, const Args& a) { return f(static_cast<T&>(self), a); };
        setCounts(m, minArgs, maxArgs);
        return *this;
    }

private:
    static void setCounts(Member& m, std::size_t minArgs, std::size_t maxArgs)
    {
        m.minArgs = minArgs;
        m.maxArgs = maxArgs < minArgs ? minArgs : maxArgs;
    }
    MemberTable& table_;
};

// The base of every automation object.
class Dispatch : public std::enable_shared_from_this<Dispatch>
{
public:
    Dispatch();
    virtual ~Dispatch();
    Dispatch(const Dispatch&) = delete;
    Dispatch& operator=(const Dispatch&) = delete;

    // Calls a member by name. Errors: 0x80020003 unknown member or call kind, 0x8002000E wrong number of
    // arguments, and whatever the member raises.
    Variant invoke(std::string_view name, InvokeKind kind, std::span<const Variant> args = {});

    // Shorthands.
    Variant get(std::string_view name, std::initializer_list<Variant> args = {});
    void put(std::string_view name, const Variant& value);
    Variant call(std::string_view name, std::initializer_list<Variant> args = {});

    // The server name used as the source of this object's errors.
    virtual std::string errorSource() const { return "Automation"; }

protected:
    virtual const MemberTable& members() const = 0;
    // Raises an AutomationError with this object's source.
    [[noreturn]] void fail(std::int32_t code, std::string message) const;
};

// Follows a chain of getters: get(get(get(root, "Windows"), ...)). Raises when a link is not an object.
DispatchRef asDispatch(const Variant& value, std::string_view what = "object");

// The number of automation objects alive on the calling thread.
std::size_t liveObjectCount();

// ---- Per-thread initialisation ----

// Counts one initialisation of the calling thread; returns 0 (S_OK) for the first, 1 (S_FALSE) after.
std::int32_t coInitialize();
// Counts one uninitialisation. When the count falls to 0, every automation object of the thread must
// have been released (asserted in debug builds).
void coUninitialize();
// The calling thread's count (the GUI thread counts one more: it is always initialised).
int coInitializeCount();

// ---- Class registry ----

using ClassFactory = std::function<DispatchRef()>;

// Creates an object of a registered class (progId ignoring case). Errors: 0x800401F0 the calling
// thread is not initialised, 0x800401F3 no such class, a forced failure, or what the factory raises.
DispatchRef createObject(std::string_view progId);
// Registers (or replaces) a class.
void registerClass(std::string progId, ClassFactory factory);
// Removes a class ("not installed").
void unregisterClass(std::string_view progId);
// Makes creation of a class fail with the given code until restoreClasses (0 removes the failure).
void failClassCreation(std::string_view progId, std::int32_t code);
// Back to the built-in classes, no forced failures.
void restoreClasses();

// Restores the built-in classes when it ends (for tests).
class ScopedClassRestore
{
public:
    ScopedClassRestore() = default;
    ~ScopedClassRestore() { restoreClasses(); }
    ScopedClassRestore(const ScopedClassRestore&) = delete;
    ScopedClassRestore& operator=(const ScopedClassRestore&) = delete;
};

} // namespace wux::platform::automation
