// The type-safe formatting with fuzzed templates (language texts are outside input): a template either
// fits its arguments or is refused with a reason, and no template makes the text grow beyond its widths.
//
// Input: two fields separated by a NUL byte: the arguments (blank-separated; "d<n>" a signed number,
// "u<n>" an unsigned one, anything else a text) and the template.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/format.h"

using namespace wux;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto fields = fuzz::splitFields(fuzz::asText(data, size), 2);
    std::vector<platform::FormatArg> args;
    std::size_t argumentBytes = 0;
    for (const std::string_view word : fuzz::words(fields[0])) {
        if (args.size() >= 8)
            break;
        if (word.size() > 1 && word[0] == 'd')
            args.emplace_back(
                static_cast<std::int64_t>(fuzz::numberIn(word.substr(1), INT64_MIN / 2, INT64_MAX / 2, 0)));
        else if (word.size() > 1 && word[0] == 'u')
            args.emplace_back(
                static_cast<std::uint64_t>(fuzz::numberIn(word.substr(1), 0, INT64_MAX / 2, 0)));
        else
            args.emplace_back(word);
        argumentBytes += word.size() + 21;
    }
    const std::string_view templ = fields[1];

    platform::FormatError error = platform::FormatError::None;
    const std::optional<std::string> text = platform::formatText(templ, args, &error);
    fuzz::check(text.has_value() == (error == platform::FormatError::None), "a result with an error");
    if (text)
        fuzz::check(text->size() <= templ.size() + argumentBytes + args.size() * platform::kMaxFormatWidth,
                    "a formatted text beyond its widths");

    const std::string fallback = platform::formatOr(templ, "%s", args);
    if (text)
        fuzz::check(fallback == *text, "formatOr differs from formatText");
    return 0;
}
