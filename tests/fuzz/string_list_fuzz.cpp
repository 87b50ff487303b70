// The string-list loader and the hex stream decoding: lines split and join back to the same lines; the
// name=value lookups and the sorted mode find what is there; hex text decodes to at most half its length
// and encodes back to its upper-case prefix.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "platform/ini_file.h"
#include "platform/string_list.h"
#include "platform/text.h"

using namespace wux;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes = fuzz::asText(data, size);

    platform::StringList list;
    list.setText(bytes);
    for (const std::string& line : list)
        fuzz::check(line.find_first_of("\r\n") == std::string::npos, "a line holds a line break");
    platform::StringList again;
    again.setText(list.text());
    fuzz::check(again == list, "text() does not load back to the same lines");

    for (int i = 0; i < list.count() && i < 64; ++i) {
        const std::string& line = list[i];
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos) {
            const std::string name = list.name(i);
            fuzz::check(name == line.substr(0, eq), "name of a line");
            const int found = list.indexOfName(name);
            fuzz::check(found >= 0 && found <= i, "indexOfName misses a name");
        }
        const int index = list.indexOf(line);
        fuzz::check(index >= 0 && index <= i, "indexOf misses a line");
    }

    platform::StringList sorted;
    sorted.setSorted(true);
    sorted.setText(bytes);
    fuzz::check(sorted.count() == list.count(), "the sorted list lost lines");
    for (int i = 0; i + 1 < sorted.count(); ++i)
        fuzz::check(!platform::lessNoCase(sorted[i + 1], sorted[i]), "the sorted list is not in order");
    for (int i = 0; i < sorted.count() && i < 64; ++i) {
        int index = -1;
        fuzz::check(sorted.find(sorted[i], index) && index <= i, "find misses a line of a sorted list");
    }

    // Hex stream decoding.
    const std::string decoded = platform::hexToBytes(bytes);
    fuzz::check(decoded.size() <= size / 2, "hex decoding longer than its text");
    const std::string hex = platform::bytesToHex(decoded);
    fuzz::check(hex.size() == decoded.size() * 2, "hex encoding size");
    fuzz::check(platform::bytesToUpper(bytes.substr(0, hex.size())) == hex,
                "hex encoding is not the upper-case prefix of the text");
    fuzz::check(platform::hexToBytes(hex) == decoded, "hex round trip");
    return 0;
}
