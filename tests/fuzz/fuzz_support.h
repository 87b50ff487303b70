// Shared helpers of the fuzz targets: splitting one input into fields, the check that stops a run
// with a message when a reader breaks one of its promises, a drive c: in a temporary folder for the
// readers of files, and the time and memory budget of one run.
#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "platform/drives.h"

namespace wux::fuzz {

// The input as text.
inline std::string_view asText(const std::uint8_t* data, std::size_t size)
{
    return std::string_view(reinterpret_cast<const char*>(data), size);
}

// The input cut into count fields at its first count - 1 NUL bytes; the last field is the rest (NUL bytes
// included). Missing fields are empty. Seed files write the fields with "\0" between them.
inline std::vector<std::string_view> splitFields(std::string_view input, std::size_t count)
{
    std::vector<std::string_view> fields;
    fields.reserve(count);
    while (fields.size() + 1 < count) {
        const std::size_t zero = input.find('\0');
        if (zero == std::string_view::npos)
            break;
        fields.push_back(input.substr(0, zero));
        input.remove_prefix(zero + 1);
    }
    fields.push_back(input);
    fields.resize(count);
    return fields;
}

// Lines of a field split at "\n" (a last line without one counts; an empty field gives no lines).
inline std::vector<std::string_view> splitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// A signed number at the start of text ("-12x" gives -12), clamped to [low, high]; fallback when none.
inline long long numberIn(std::string_view text, long long low, long long high, long long fallback)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    if (i >= text.size() || text[i] < '0' || text[i] > '9')
        return fallback;
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value > 1'000'000'000'000LL ? value : value * 10 + (text[i] - '0');
    if (negative)
        value = -value;
    return value < low ? low : value > high ? high : value;
}

// Words of a text separated by blanks.
inline std::vector<std::string_view> words(std::string_view text)
{
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        const std::size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t')
            ++i;
        if (i > start)
            out.push_back(text.substr(start, i - start));
    }
    return out;
}

// Stops the run (a crash that libFuzzer records with its input) when a promise is broken.
inline void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

// ---- Files ----

// The POSIX folder mapped as drive c: (set by mapTempDrive).
inline std::string& tempDriveRoot()
{
    static std::string root;
    return root;
}

// Maps drive c: onto a new folder in /dev/shm (else /tmp), removed when the process ends. Call it from
// LLVMFuzzerInitialize.
inline void mapTempDrive()
{
    std::string root = "/dev/shm/wux-fuzz-XXXXXX";
    if (::mkdtemp(root.data()) == nullptr) {
        root = "/tmp/wux-fuzz-XXXXXX";
        check(::mkdtemp(root.data()) != nullptr, "cannot create a temporary folder");
    }
    tempDriveRoot() = root;
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(tempDriveRoot(), ec);
    });
    ::setenv("WUX_DRIVES", ("c=" + root).c_str(), 1);
    platform::reloadDriveMap();
}

// The POSIX path of a file name on drive c:.
inline std::string posixOnDrive(std::string_view name)
{
    return tempDriveRoot() + "/" + std::string(name);
}

inline void writeWholeFile(const std::string& posix, std::string_view bytes)
{
    std::ofstream out(posix, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    check(out.good(), "cannot write a file");
}

inline std::string readWholeFile(const std::string& posix)
{
    std::ifstream in(posix, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Removes every file of the drive (a run starts on an empty drive).
inline void clearTempDrive()
{
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(tempDriveRoot(), ec))
        std::filesystem::remove_all(entry.path(), ec);
}

// ---- Budget ----

// One run of a reader must stay within a few seconds and within the memory cap, whatever its input
// (zip bombs, deep nesting): checked when the budget ends. libFuzzer's own -timeout and -rss_limit_mb
// are the outer fences; this one is tighter, so a reader that grows out of proportion is caught early.
class RunBudget
{
public:
    explicit RunBudget(std::chrono::milliseconds time = std::chrono::seconds(5), long maxRssMb = 1536)
        : time_(time), maxRssMb_(maxRssMb), start_(std::chrono::steady_clock::now())
    {
    }
    ~RunBudget()
    {
        check(std::chrono::steady_clock::now() - start_ <= time_, "a run took longer than its time budget");
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        check(usage.ru_maxrss / 1024 <= maxRssMb_, "a run went beyond its memory budget");
    }
    RunBudget(const RunBudget&) = delete;
    RunBudget& operator=(const RunBudget&) = delete;

private:
    std::chrono::milliseconds time_;
    long maxRssMb_;
    std::chrono::steady_clock::time_point start_;
};

} // namespace wux::fuzz
