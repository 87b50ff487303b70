// Shared helpers of the fuzz targets: splitting one input into fields, and the check that stops a run
// with a message when a reader breaks one of its promises.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

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

} // namespace wux::fuzz
