// The OpenDocument server's package reader (.odt): load the fuzzed package, search it as the wrapper
// does, change the first hit, store into a new file and load that again.
#include <cstdint>
#include <string>

#include "office_fuzz_support.h"

using namespace wux;
using fuzz::DispatchRef;
using fuzz::obj;
using fuzz::text;
using fuzz::Variant;
using platform::automation::AutomationError;
using platform::automation::toInt32;

namespace {

std::string url(const std::string& windowsPath)
{
    std::string out = "file:///";
    for (const char c : windowsPath)
        out += c == '\\' ? '/' : c;
    return out;
}

Variant property(const DispatchRef& manager, const char* name, const Variant& value)
{
    DispatchRef p = obj(manager->call("Bridge_GetStruct", {text("com.sun.star.beans.PropertyValue")}));
    p->put("name", text(name));
    p->put("value", value);
    return Variant::fromArray({Variant(p)});
}

DispatchRef load(const DispatchRef& manager, const DispatchRef& desktop, const std::string& path)
{
    return obj(desktop->call("LoadComponentFromURL", {text(url(path)), text("_default"), Variant(0),
                                                      property(manager, "Hidden", Variant(true))}));
}

// The wrapper's search: a descriptor, findAll, each range read (a few at most), the first one changed.
void search(const DispatchRef& doc, std::string_view find, bool words, bool change, std::size_t inputSize = 0)
{
    DispatchRef d = obj(doc->call("createSearchDescriptor"));
    d->call("setPropertyValue", {text("SearchCaseSensitive"), Variant(false)});
    d->call("setPropertyValue", {text("SearchWords"), Variant(words)});
    d->call("setPropertyValue", {text("SearchRegularExpression"), Variant(false)});
    d->call("setSearchString", {text(find)});
    DispatchRef found = obj(doc->call("findAll", {Variant(d)}));
    const int count = toInt32(found->call("getCount"));
    fuzz::check(count >= 0, "a negative hit count");
    for (int i = 0; i < count && i < 6; ++i) {
        DispatchRef r = obj(found->call("getByIndex", {Variant(i)}));
        const std::u16string hit = r->call("getString").text();
        if (change && i == 0)
            r->call("setString", {Variant(fuzz::changedHit(hit, inputSize))});
    }
    found->call("getCount");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzz::OfficeRun run(fuzz::packageOf(fuzz::asText(data, size)), ".odt");
    {
        DispatchRef manager = platform::automation::createObject("com.sun.star.ServiceManager");
        DispatchRef desktop = obj(manager->call("CreateInstance", {text("com.sun.star.frame.Desktop")}));
        bool saved = false;
        try {
            DispatchRef doc = load(manager, desktop, run.source());
            try {
                search(doc, "e", false, true, size);
                search(doc, "a", true, true, size);
            } catch (const AutomationError& e) {
                fuzz::noteError(e);
                // A refused change leaves the document as it was.
            }
            doc->call("StoreToURL", {text(url(run.target())), property(manager, "Overwrite", Variant(true))});
            saved = true;
            doc->call("Dispose");
        } catch (const AutomationError& e) {
            fuzz::noteError(e);
        }
        fuzz::check(saved == run.saved(), "a stored copy that is not there, or one that should not be");
        if (saved) {
            // What was stored loads again.
            DispatchRef doc = load(manager, desktop, run.target());
            search(doc, "e", false, false);
            doc->call("Dispose");
        }
    }
    return 0;
}
