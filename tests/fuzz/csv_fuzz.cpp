// The spreadsheet server's reader of comma-separated tables (.csv): add the fuzzed file as a workbook, walk
// its sheets as the spreadsheet wrapper's search does, change the first hit, save a copy and open that again.
#include <cstdint>

#include "office_fuzz_support.h"

using namespace wux;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzz::OfficeRun run(fuzz::asText(data, size), ".csv");
    fuzz::runSpreadsheet(run);
    return 0;
}
