// The table file (".rtbl") reader: what it accepts, the writer writes back, the reader reads the same
// rows from that, and writing them again gives the same bytes.
#include <cstdint>
#include <string>

#include "engines/batch_table.h"
#include "fuzz_support.h"

using namespace wux;
using engines::TableCells;

namespace {

// A replace cell as the writer keeps it: a first "=" becomes the code "#61#", which compiles to "=".
std::string writtenReplace(const std::string& replace)
{
    return !replace.empty() && replace.front() == '=' ? "#61#" + replace.substr(1) : replace;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TableCells flags{"stale"}, finds{"stale"}, replaces{"stale"};
    if (!engines::parseTableFile(fuzz::asText(data, size), flags, finds, replaces)) {
        fuzz::check(flags.empty() && finds.empty() && replaces.empty(), "a refused table left rows");
        return 0;
    }
    fuzz::check(!finds.empty() && flags.size() == finds.size() && replaces.size() == finds.size(),
                "row lists of an accepted table");
    for (std::size_t i = 0; i < finds.size(); ++i) {
        fuzz::check(!finds[i].empty(), "a row without a find text");
        fuzz::check(flags[i] == engines::YesText() || flags[i] == engines::NoText(), "a flag text");
    }

    const std::optional<std::string> written = engines::serializeTable(flags, finds, replaces);
    fuzz::check(written.has_value(), "an accepted table cannot be written");
    fuzz::check(written->size() <= 4 * size + 8, "the written table grew out of proportion");

    TableCells flags2, finds2, replaces2;
    fuzz::check(engines::parseTableFile(*written, flags2, finds2, replaces2), "a written table is refused");
    fuzz::check(flags2 == flags && finds2 == finds, "a written table reads back other rows");
    fuzz::check(replaces2.size() == replaces.size(), "a written table reads back other rows");
    for (std::size_t i = 0; i < replaces.size(); ++i)
        fuzz::check(replaces2[i] == writtenReplace(replaces[i]),
                    "a written table reads back another replace");

    const std::optional<std::string> again = engines::serializeTable(flags2, finds2, replaces2);
    fuzz::check(again.has_value() && *again == *written, "writing the rows read back gives other bytes");
    return 0;
}
