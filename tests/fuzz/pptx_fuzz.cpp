// The presentation server's package reader (.pptx): open the fuzzed package, read every text shape as
// the presentation wrapper does, change the first shape with a hit through the wildcard engine, save
// into a new file and open that again.
#include <cstdint>
#include <string>
#include <vector>

#include "office/wildcard_engine.h"
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

Variant openPresentation(const DispatchRef& app, const std::string& path)
{
    return obj(app->get("Presentations"))
        ->call("Open", {text(path), Variant(false), Variant::missing(), Variant(false)});
}

// The wrapper's slide loop, bounded: the texts of the shapes with a text frame; the first one with text
// and a hit is written back changed, and reads back as written.
std::vector<std::u16string> walkSlides(const DispatchRef& pres, bool change, std::size_t inputSize = 0)
{
    DispatchRef slides = obj(pres->get("Slides"));
    const int count = toInt32(slides->get("count"));
    bool changed = !change;
    std::vector<std::u16string> texts;
    for (int i = 1; i <= count && i <= 8; ++i) {
        DispatchRef shapes = obj(obj(slides->get("Item", {Variant(i)}))->get("Shapes"));
        const int shapeCount = toInt32(shapes->get("count"));
        for (int j = 1; j <= shapeCount && j <= 16; ++j) {
            try {
                DispatchRef frame = obj(obj(shapes->get("Item", {Variant(j)}))->get("TextFrame"));
                const bool hasText = toBool(frame->get("HasText"));
                DispatchRef range = obj(frame->get("TextRange"));
                const std::u16string before = range->get("Text").text();
                texts.push_back(before);
                if (changed || !hasText)
                    continue;
                std::u16string after;
                std::int32_t matches = 0;
                office::ReplaceInText(before, fuzz::findTextOf(before, u"e"), after, nullptr, 0,
                                      fuzz::changedHit(u"", inputSize), u"", 1, matches);
                if (after == before)
                    continue;
                changed = true;
                range->put("Text", Variant(after));
                fuzz::check(range->get("Text").text() == after,
                            "a shape's text does not read back as written");
                texts.back() = after;
            } catch (const AutomationError& e) {
                fuzz::noteError(e);
                // Shapes without a text frame raise; the wrapper skips them.
            }
        }
    }
    return texts;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzz::OfficeRun run(fuzz::packageOf(fuzz::asText(data, size)), ".pptx");
    {
        DispatchRef app = platform::automation::createObject("PowerPoint.Application");
        bool saved = false;
        std::vector<std::u16string> texts; // the texts as saved
        try {
            const Variant opened = openPresentation(app, run.source());
            // A presentation with a password to modify opens as nothing.
            if (!opened.isNothing()) {
                DispatchRef pres = obj(opened);
                texts = walkSlides(pres, true, size);
                pres->call("SaveAs", {text(run.target())});
                saved = true;
                pres->call("Close");
            }
        } catch (const AutomationError& e) {
            fuzz::noteError(e);
        }
        fuzz::check(saved == run.saved(), "a saved copy that is not there, or one that should not be");
        if (saved) {
            // What was saved opens again.
            DispatchRef pres = obj(openPresentation(app, run.target()));
            fuzz::check(walkSlides(pres, false) == texts, "the saved texts read back otherwise");
            pres->call("Close");
        }
        app->call("Quit");
    }
    return 0;
}
