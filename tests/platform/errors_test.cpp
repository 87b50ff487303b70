#include <cerrno>

#include <gtest/gtest.h>
#include <thread>
#include <chrono>
#include <atomic>

#include "platform/errors.h"
#include "platform/fault_injection.h"

namespace wux::platform {
namespace {

TEST(ErrorsTest, ErrnoMapsToWindowsNumbers)
{
    const struct
    {
        int errnoValue;
        WinError expected;
    } cases[] = {
        {0, 0},        {ENOENT, 2},   {ENOTDIR, 3},     {EACCES, 5},         {EPERM, 5},   {EISDIR, 5},
        {EROFS, 5},    {EBADF, 6},    {ENOMEM, 8},      {EXDEV, 17},         {EEXIST, 80}, {EINVAL, 87},
        {ENOSPC, 112}, {EDQUOT, 112}, {ENOTEMPTY, 145}, {ENAMETOOLONG, 206}, {EMFILE, 4},  {EIO, 1117},
        {ELOOP, 1921}, {EAGAIN, 33},  {-12345, 31},
    };
    for (const auto& c : cases)
        EXPECT_EQ(winErrorFromErrno(c.errnoValue), c.expected) << "errno " << c.errnoValue;
}

TEST(ErrorsTest, EveryCodeHasItsEnglishText)
{
    const struct
    {
        WinError code;
        const char* text;
    } cases[] = {
        {0, "The operation completed successfully."},
        {2, "The system cannot find the file specified."},
        {3, "The system cannot find the path specified."},
        {5, "Access is denied."},
        {6, "The handle is invalid."},
        {8, "Not enough memory resources are available to process this command."},
        {17, "The system cannot move the file to a different disk drive."},
        {18, "There are no more files."},
        {32, "The process cannot access the file because it is being used by another process."},
        {33, "The process cannot access the file because another process has locked a portion of the file."},
        {80, "The file exists."},
        {87, "The parameter is incorrect."},
        {112, "There is not enough space on the disk."},
        {123, "The filename, directory name, or volume label syntax is incorrect."},
        {145, "The directory is not empty."},
        {183, "Cannot create a file when that file already exists."},
        {206, "The filename or extension is too long."},
        {267, "The directory name is invalid."},
        {1006,
         "The volume for a file has been externally altered so that the opened file is no longer valid."},
        {1117, "The request could not be performed because of an I/O device error."},
        {1142, "An attempt was made to create more links on a file than the file system supports."},
        {1921, "The name of the file cannot be resolved by the system."},
        {99999, "Unknown error 99999."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(errorText(c.code), c.text) << "code " << c.code;
}

TEST(ErrorsTest, EveryMappedErrnoHasAText)
{
    for (int e = 1; e < 134; ++e)
        EXPECT_EQ(errorText(winErrorFromErrno(e)).rfind("Unknown error", 0), std::string::npos)
            << "errno " << e;
}

TEST(FaultInjectionTest, PrefixIgnoresCaseAndSeparatorAndFiltersOperations)
{
    ScopedFaultClear clear;
    EXPECT_EQ(injectedFault("c:\\any", kFaultOpen), 0u);
    injectFault("C:\\Data\\", kErrorAccessDenied, kFaultOpen | kFaultDelete);
    EXPECT_EQ(injectedFault("c:\\data\\x.txt", kFaultOpen), 5u);
    EXPECT_EQ(injectedFault("c:/DATA/x.txt", kFaultDelete), 5u);
    EXPECT_EQ(injectedFault("c:\\data\\x.txt", kFaultWrite), 0u);
    EXPECT_EQ(injectedFault("c:\\dat", kFaultOpen), 0u);
    EXPECT_EQ(injectedFault("d:\\data\\x.txt", kFaultOpen), 0u);
    injectFault("c:\\other", kErrorDiskFull, kFaultWrite);
    EXPECT_EQ(injectedFault("c:\\other\\y", kFaultWrite), 112u);
    clearFaults();
    EXPECT_EQ(injectedFault("c:\\data\\x.txt", kFaultOpen), 0u);
    EXPECT_EQ(injectedFault("c:\\other\\y", kFaultWrite), 0u);
}

// A hold stops another thread at a matching operation until it is released; the thread that set it,
// other operations and other paths go on.
TEST(FaultInjectionTest, AHoldStopsAnotherThreadUntilReleased)
{
    ScopedFaultClear clear;
    injectHold("C:\\Run\\b", kFaultOpen);
    EXPECT_EQ(injectedFault("c:\\run\\b.txt", kFaultOpen), 0u) << "the caller's thread is never held";
    std::atomic<int> passed{0};
    std::thread worker([&] {
        injectedFault("c:\\run\\a.txt", kFaultOpen);
        injectedFault("c:\\run\\b.txt", kFaultWrite);
        passed = 1;
        injectedFault("c:/RUN/b.txt", kFaultOpen);
        passed = 2;
    });
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (heldThreads() == 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(heldThreads(), 1);
    EXPECT_EQ(passed.load(), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(passed.load(), 1) << "still held";
    releaseHolds();
    worker.join();
    EXPECT_EQ(passed.load(), 2);
    EXPECT_EQ(heldThreads(), 0);
    EXPECT_EQ(injectedFault("c:\\run\\b.txt", kFaultOpen), 0u);
}

TEST(FileTimeTypeTest, UnixEpochAndBack)
{
    EXPECT_EQ(fileTimeFromUnix(0), 116444736000000000ULL);
    EXPECT_EQ(fileTimeFromUnix(1, 500), 116444736010000005ULL);
    EXPECT_EQ(fileTimeFromUnix(-11644473601LL), 0u);
    const FileTime t = fileTimeFromUnix(1700000000, 123456700);
    EXPECT_EQ(unixSecondsOf(t), 1700000000);
    EXPECT_EQ(unixNanosecondsOf(t), 123456700);
    EXPECT_EQ(unixSecondsOf(fileTimeFromUnix(-86400)), -86400);
}

} // namespace
} // namespace wux::platform
