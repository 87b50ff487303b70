// The program's own temporary files as a run that died would leave them, for tests of their clean-up.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_handle.h"
#include "platform/file_internal.h"
#include "platform/files.h"

namespace wux::test {

// Makes a temporary file of the program's own for a file that is to appear under windowsPath, writes
// bytes into it, gives it mode (unless mode is 0: it keeps none, as while it is written) and lets it
// go, as a writer killed before its last rename would. Returns its Windows path.
inline std::string makeLeftoverTemporary(std::string_view windowsPath, std::string_view bytes, std::uint32_t mode = 0)
{
    platform::FileHandle handle;
    std::string temp;
    EXPECT_EQ(platform::createTemporaryBeside(windowsPath, handle, temp), platform::kErrorSuccess);
    std::size_t done = 0;
    EXPECT_EQ(handle.write(bytes.data(), bytes.size(), done), platform::kErrorSuccess);
    if (mode != 0) {
        platform::FileInfo info;
        EXPECT_EQ(handle.getInfo(info), platform::kErrorSuccess);
        EXPECT_EQ(handle.setOwnerAndMode(info.owner, info.group, mode), platform::kErrorSuccess);
    }
    EXPECT_EQ(handle.close(), platform::kErrorSuccess);
    return temp;
}

// Lets the clean-up of leftovers take temporary files however young they are, while it lives.
class AnyAgeLeftovers
{
public:
    AnyAgeLeftovers() : saved_(platform::internal::leftoverGrace()) { platform::internal::setLeftoverGrace(0); }
    ~AnyAgeLeftovers() { platform::internal::setLeftoverGrace(saved_); }
    AnyAgeLeftovers(const AnyAgeLeftovers&) = delete;
    AnyAgeLeftovers& operator=(const AnyAgeLeftovers&) = delete;

private:
    std::int64_t saved_;
};

} // namespace wux::test
