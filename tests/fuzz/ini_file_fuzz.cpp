// The ini class in memory: any bytes parse; writing back every value that was read, into the same
// document and into a new one, reads back the same sections and values.
#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_support.h"
#include "platform/ini_file.h"
#include "platform/text.h"

using namespace wux;

namespace {

using Values = std::vector<std::pair<std::string, std::string>>;
using Contents = std::vector<std::pair<std::string, Values>>;

Contents contentsOf(const platform::IniDocument& document)
{
    Contents contents;
    for (const std::string& section : document.sectionNames())
        contents.emplace_back(section, document.sectionValues(section));
    return contents;
}

bool sameNames(const std::string& a, const std::string& b)
{
    return platform::equalNoCase(a, b);
}

// Values that the format writes verbatim and reads back as they are: no surrounding blanks and not
// wrapped in a pair of double quotes.
bool roundTrips(std::string_view value)
{
    if (!value.empty() &&
        (value.front() == ' ' || value.front() == '\t' || value.back() == ' ' || value.back() == '\t'))
        return false;
    return !(value.size() >= 2 && value.front() == '"' && value.back() == '"');
}

void checkSame(const Contents& expected, const Contents& actual, const char* what)
{
    fuzz::check(expected.size() == actual.size(), what);
    for (std::size_t s = 0; s < expected.size(); ++s) {
        fuzz::check(sameNames(expected[s].first, actual[s].first), what);
        const Values& a = expected[s].second;
        const Values& b = actual[s].second;
        fuzz::check(a.size() == b.size(), what);
        for (std::size_t k = 0; k < a.size(); ++k) {
            fuzz::check(sameNames(a[k].first, b[k].first), what);
            if (roundTrips(a[k].second))
                fuzz::check(a[k].second == b[k].second, what);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    platform::IniDocument document{std::string(fuzz::asText(data, size))};
    const Contents read = contentsOf(document);
    for (const auto& [section, values] : read) {
        fuzz::check(document.sectionExists(section), "a listed section does not exist");
        for (const auto& [key, value] : values) {
            std::string found;
            fuzz::check(document.findValue(section, key, found) && found == value,
                        "findValue differs from sectionValues");
            // The hex stream decoding of every value.
            const std::string decoded = platform::hexToBytes(found);
            fuzz::check(decoded.size() <= found.size() / 2, "hex decoding longer than its text");
            fuzz::check(platform::hexToBytes(platform::bytesToHex(decoded)) == decoded, "hex round trip");
        }
    }

    // Into a new document.
    platform::IniDocument fresh;
    for (const auto& [section, values] : read) {
        fuzz::check(fresh.addSection(section) == platform::kErrorSuccess, "a read section refused");
        for (const auto& [key, value] : values)
            fuzz::check(fresh.writeString(section, key, value) == platform::kErrorSuccess,
                        "a read key refused");
    }
    checkSame(read, contentsOf(platform::IniDocument(fresh.bytes())), "new document differs");

    // Into the same document: the values of round-tripping keys are rewritten in place.
    for (const auto& [section, values] : read)
        for (const auto& [key, value] : values)
            if (roundTrips(value))
                fuzz::check(document.writeString(section, key, value) == platform::kErrorSuccess,
                            "a read key refused in place");
    checkSame(read, contentsOf(platform::IniDocument(document.bytes())), "rewritten document differs");

    // A new key in every section and a new section read back, and leave every other value as it was.
    platform::IniDocument grown{std::string(fuzz::asText(data, size))};
    for (const auto& [section, values] : read)
        fuzz::check(grown.writeString(section, "wux fuzz key", "new value") == platform::kErrorSuccess,
                    "a new key refused");
    const bool newSection = !grown.sectionExists("wux fuzz section");
    if (newSection)
        fuzz::check(grown.writeString("wux fuzz section", "k", "v") == platform::kErrorSuccess,
                    "a new section refused");
    const platform::IniDocument grownAgain(grown.bytes());
    for (const auto& [section, values] : read) {
        std::string value;
        const bool existed = std::any_of(values.begin(), values.end(),
                                         [](const auto& kv) { return sameNames(kv.first, "wux fuzz key"); });
        fuzz::check(grownAgain.findValue(section, "wux fuzz key", value) && value == "new value",
                    "a new key does not read back");
        const Values after = grownAgain.sectionValues(section);
        fuzz::check(after.size() == values.size() + (existed ? 0 : 1), "a new key changed the other keys");
        for (std::size_t k = 0; k < values.size(); ++k)
            if (!sameNames(values[k].first, "wux fuzz key"))
                fuzz::check(sameNames(after[k].first, values[k].first) && after[k].second == values[k].second,
                            "a new key changed another value");
    }
    std::string newValue;
    if (newSection)
        fuzz::check(grownAgain.findValue("wux fuzz section", "k", newValue) && newValue == "v",
                    "a new section does not read back");

    // Removing keys and sections leaves the others.
    if (!read.empty()) {
        const std::string& first = read.front().first;
        if (!read.front().second.empty()) {
            document.deleteKey(first, read.front().second.front().first);
            std::string value;
            fuzz::check(!document.findValue(first, read.front().second.front().first, value),
                        "key not deleted");
        }
        document.eraseSection(first);
        fuzz::check(!document.sectionExists(first), "section not erased");
        const Contents rest = contentsOf(platform::IniDocument(document.bytes()));
        fuzz::check(rest.size() + 1 == read.size(), "erasing a section changed the others");
    }
    return 0;
}
