// The word-processor server's package reader (.docx): open the fuzzed package, search the main text
// and the notes as the wrapper does, change the first hit, save into a new file and open that again.
#include <cstdint>
#include <optional>
#include <string>

#include "office_fuzz_support.h"

using namespace wux;
using fuzz::DispatchRef;
using fuzz::obj;
using fuzz::text;
using fuzz::Variant;
using platform::automation::AutomationError;
using platform::automation::toBool;
using platform::automation::toInt32;

namespace {

DispatchRef openDocument(const DispatchRef& app, const std::string& path)
{
    DispatchRef docs = obj(app->get("Documents"));
    DispatchRef doc =
        obj(docs->call("Open", {text(path), Variant(false), Variant(false), Variant(false), text(""),
                                text(""), Variant(false), text(""), text(""), Variant(0)}));
    doc->put("ShowGrammaticalErrors", Variant(false));
    doc->put("ShowSpellingErrors", Variant(false));
    return doc;
}

DispatchRef selection(const DispatchRef& doc)
{
    return obj(obj(obj(doc->get("Windows"))->call("Item", {Variant(1)}))->get("Selection"));
}

DispatchRef paneView(const DispatchRef& doc)
{
    return obj(
        obj(obj(obj(doc->get("Windows"))->call("Item", {Variant(1)}))->get("ActivePane"))->get("View"));
}

std::u16string storyText(const DispatchRef& doc)
{
    DispatchRef sel = selection(doc);
    sel->put("Start", Variant(0));
    sel->put("End", Variant(1 << 30));
    return sel->get("Text").text();
}

// The wrapper's search loop over the current story, a few hits at most; the first hit is replaced.
void searchStory(const DispatchRef& doc, const std::u16string& find, bool wildcards, std::size_t inputSize)
{
    DispatchRef sel = selection(doc);
    sel->put("Start", Variant(0));
    sel->put("End", Variant(0));
    for (int hits = 0; hits < 6; ++hits) {
        DispatchRef f = obj(sel->get("Find"));
        f->call("ClearFormatting");
        const bool found = toBool(f->call(
            "Execute", {Variant(find), Variant(false), Variant(false), Variant(wildcards), Variant(false),
                        Variant(false), Variant(true), Variant(1), Variant(false), text(""), Variant(0)}));
        if (!found)
            break;
        const std::int64_t start = sel->get("Start").integerValue();
        const std::int64_t end = sel->get("End").integerValue();
        fuzz::check(start >= 0 && end >= start, "a hit with a negative length");
        if (hits == 0)
            sel->put("Text", Variant(fuzz::changedHit(sel->get("Text").text(), inputSize)));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::OfficeRun run(fuzz::packageOf(fuzz::asText(data, size)), ".docx");
    {
        DispatchRef app = platform::automation::createObject("Word.Application");
        app->put("DisplayAlerts", Variant(0));
        bool saved = false;
        std::optional<std::u16string> mainText; // the main text as saved, when it could be read
        try {
            DispatchRef doc = openDocument(app, run.source());
            const std::u16string find = fuzz::findTextOf(storyText(doc), u"e");
            try {
                searchStory(doc, find, false, size);
                searchStory(doc, u"<?*>", true, size);
                for (const char* notes : {"FootNotes", "EndNotes"}) {
                    if (toInt32(obj(doc->get(notes))->get("Count")) == 0)
                        continue;
                    paneView(doc)->put("SeekView", Variant(notes[0] == 'F' ? 7 : 8));
                    searchStory(doc, find, false, size);
                    paneView(doc)->put("SeekView", Variant(0));
                }
            } catch (const AutomationError& e) {
                fuzz::noteError(e);
                // A refused edit (a barrier, a protected document) leaves the document as it was.
            }
            try {
                paneView(doc)->put("SeekView", Variant(0));
                mainText = storyText(doc);
            } catch (const AutomationError& e) {
                fuzz::noteError(e);
            }
            doc->call("SaveAs", {text(run.target())});
            saved = true;
            doc->call("Close", {Variant(0), Variant::missing(), Variant::missing()});
        } catch (const AutomationError& e) {
            fuzz::noteError(e);
        }
        fuzz::check(saved == run.saved(), "a saved copy that is not there, or one that should not be");
        if (saved) {
            // What was saved opens again.
            DispatchRef doc = openDocument(app, run.target());
            const std::u16string reread = storyText(doc);
            fuzz::check(!mainText || reread == *mainText, "the saved main text reads back otherwise");
            doc->call("Close", {Variant(0), Variant::missing(), Variant::missing()});
        }
        app->call("Quit", {Variant(0), Variant::missing(), Variant::missing()});
    }
    return 0;
}
