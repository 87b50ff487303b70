// The language-file reader: any bytes load, every text stays addressable, and every language text used
// as a message template either fits its arguments or falls back to the English default.
#include <cstdint>
#include <string>

#include "core/text_table.h"
#include "fuzz_support.h"

using namespace wux;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes = fuzz::asText(data, size);
    // A small pool and few ids, so that growing the pool and ids beyond the table are both reached.
    core::TClassTranslator table(64, 200);
    table.SetText(26, "%s of %s k in %d of %d files selected");
    table.SetText(27, "%s of %s k free");
    table.SetText(41, "Error: directory [%s]\r\nnot created!");
    table.LoadFromBytes(bytes);
    fuzz::check(table.bytesUsed() <= static_cast<std::uint32_t>(table.poolSize()), "pool overrun");

    for (int id = -1; id <= table.translationBase(); ++id) {
        const std::string text = table.GetText(id);
        fuzz::check(text.find('\0') == std::string::npos, "a text holds a zero byte");
        // A file read as UTF-16 gives at most three bytes of UTF-8 for each two of its own.
        fuzz::check(text.size() <= size + size / 2 + 40, "a text longer than its line");
    }
    for (const int id : {26, 27, 41}) {
        const std::string four = table.Format(id, {"1", "2", 3, 4});
        const std::string two = table.Format(id, {"1", "2"});
        const std::string one = table.Format(id, {"dir"});
        fuzz::check(!four.empty() && !two.empty() && !one.empty(), "a message without text");
    }
    table.ResetTranslations();
    fuzz::check(table.GetText(27) == "%s of %s k free", "a default lost by resetting the translations");
    fuzz::check(table.GetText(5).empty(), "a translation kept by resetting the translations");
    return 0;
}
