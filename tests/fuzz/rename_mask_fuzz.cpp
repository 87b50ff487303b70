// The rename-mask engine with fuzzed masks, names, folders and find/replace texts: every request gives
// a name, and the pieces of the mask never take it beyond the length cap.
//
// Input: six fields separated by NUL bytes: the numbers (running number, start, digits, step, case mode,
// replace on, year, month, day, hour, minute, second; blank-separated), the mask, the file name, the
// folder path, the find text and the replace text.
#include <cstdint>
#include <string>

#include "engines/rename_mask.h"
#include "fuzz_support.h"
#include "platform/text.h"

using namespace wux;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto fields = fuzz::splitFields(fuzz::asText(data, size), 6);
    const auto numbers = fuzz::words(fields[0]);
    const auto number = [&](std::size_t i, long long low, long long high, long long fallback) {
        return i < numbers.size() ? fuzz::numberIn(numbers[i], low, high, fallback) : fallback;
    };
    constexpr long long kMin = INT32_MIN, kMax = INT32_MAX;

    engines::TRenamerFileStructure request;
    request.runningNumber = static_cast<std::int32_t>(number(0, kMin, kMax, 1));
    request.start = static_cast<std::int32_t>(number(1, kMin, kMax, 1));
    request.digits = static_cast<std::int32_t>(number(2, kMin, kMax, 1));
    request.step = static_cast<std::int32_t>(number(3, kMin, kMax, 1));
    request.caseMode = static_cast<std::int32_t>(number(4, kMin, kMax, 1));
    request.replaceOn = number(5, 0, 1, 0) != 0;
    request.mask = std::string(fields[1]);
    request.find = std::string(fields[4]);
    request.replace = std::string(fields[5]);
    platform::CalendarTime time;
    time.year = static_cast<int>(number(6, 1601, 30828, 2024));
    time.month = static_cast<int>(number(7, 1, 12, 5));
    time.day = static_cast<int>(number(8, 1, 31, 17));
    time.hour = static_cast<int>(number(9, 0, 23, 8));
    time.minute = static_cast<int>(number(10, 0, 59, 30));
    time.second = static_cast<int>(number(11, 0, 59, 5));

    const std::string name = engines::buildNewName(request, fields[3], fields[2], time);
    if (!request.replaceOn &&
        (request.caseMode < engines::kCaseLower || request.caseMode > engines::kCaseEachWord))
        fuzz::check(name.size() <= engines::kMaxNewNameLength, "a built name beyond the length cap");
    if (platform::isValidUtf8(request.mask) && platform::isValidUtf8(fields[2]) &&
        platform::isValidUtf8(fields[3]) && !request.replaceOn)
        fuzz::check(platform::isValidUtf8(name), "a built name cuts a character");

    const std::string counter = engines::counterText(request.start, request.digits);
    fuzz::check(counter.size() >= 1 && counter.size() <= 11, "counter width");
    return 0;
}
