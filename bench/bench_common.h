// What the benchmark drivers share: paths given the POSIX way on the command line turned into the
// program's drive paths, and the one-line reports that bench/run reads.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/paths.h"

namespace wux::bench {

// The program's path ("c:\tmp\data") of a POSIX path (kept as it is when it is already a drive path).
// Exits with a message when no drive holds it.
inline std::string driveRootedPath(std::string_view path)
{
    if (path.empty() || path.front() != '/')
        return std::string(path);
    std::string posix(path);
    while (posix.size() > 1 && posix.back() == '/')
        posix.pop_back();
    std::string windows = platform::toWindowsPath(posix);
    if (windows.empty()) {
        std::fprintf(stderr, "no drive holds %s (see WUX_DRIVES)\n", posix.c_str());
        std::exit(2);
    }
    return windows;
}

// The text after "--name" in argv, or fallback.
inline std::string optionValue(int argc, char** argv, std::string_view name, std::string fallback = {})
{
    for (int i = 1; i + 1 < argc; ++i)
        if (name == argv[i])
            return argv[i + 1];
    return fallback;
}

inline bool hasOption(int argc, char** argv, std::string_view name)
{
    for (int i = 1; i < argc; ++i)
        if (name == argv[i])
            return true;
    return false;
}

// The first argument that is neither an option nor an option's value (options all take one value
// except those listed in flags).
inline std::string positional(int argc, char** argv, int index, std::string_view flags = {})
{
    int seen = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.size() > 2 && arg.substr(0, 2) == "--") {
            if (flags.find(arg) == std::string_view::npos)
                ++i;
            continue;
        }
        if (seen++ == index)
            return std::string(arg);
    }
    return {};
}

} // namespace wux::bench
