#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include <fstream>

#include <gtest/gtest.h>

#include <functional>

#include "platform/fault_injection.h"
#include "platform/files.h"
#include "platform/folder_listing.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::platform {
namespace {

using FileHandleTest = test::TempDriveTest;

TEST_F(FileHandleTest, DispositionsOnExistingAndMissingFiles)
{
    test::createFile(posix("old.txt"), "old data");
    const struct
    {
        const char* name;
        Disposition disposition;
        WinError error;
        bool existed;
        const char* contentAfter; // null: no file afterwards
    } cases[] = {
        {"old.txt", Disposition::kCreateNew, kErrorFileExists, false, "old data"},
        {"new1.txt", Disposition::kCreateNew, 0, false, ""},
        {"old.txt", Disposition::kCreateAlways, 0, true, ""},
        {"new2.txt", Disposition::kCreateAlways, 0, false, ""},
        {"old.txt", Disposition::kOpenExisting, 0, true, ""},
        {"new3.txt", Disposition::kOpenExisting, kErrorFileNotFound, false, nullptr},
        {"new4.txt", Disposition::kOpenAlways, 0, false, ""},
        {"new5.txt", Disposition::kTruncateExisting, kErrorFileNotFound, false, nullptr},
    };
    for (const auto& c : cases) {
        FileHandle file;
        EXPECT_EQ(file.open(path(c.name), kAccessReadWrite, kShareNone, c.disposition), c.error) << c.name;
        EXPECT_EQ(file.isOpen(), c.error == 0);
        EXPECT_EQ(file.alreadyExisted(), c.existed) << c.name;
        file.close();
        if (c.contentAfter == nullptr)
            EXPECT_FALSE(test::exists(posix(c.name))) << c.name;
        else
            EXPECT_EQ(test::readFileBytes(posix(c.name)), c.contentAfter) << c.name;
    }
    test::createFile(posix("trunc.txt"), "12345");
    FileHandle file;
    EXPECT_EQ(file.open(path("trunc.txt"), kAccessWrite, kShareNone, Disposition::kTruncateExisting), 0u);
    file.close();
    EXPECT_EQ(test::readFileBytes(posix("trunc.txt")), "");
    EXPECT_EQ(file.open(path("missing\\x.txt"), kAccessWrite, kShareNone, Disposition::kCreateAlways),
              kErrorPathNotFound);
    EXPECT_EQ(file.open(path("trunc.txt"), kAccessRead, kShareNone, Disposition::kTruncateExisting),
              kErrorInvalidParameter);
    EXPECT_EQ(file.open(path("trunc.txt"), 0, kShareNone, Disposition::kOpenExisting),
              kErrorInvalidParameter);
    EXPECT_EQ(file.open("", kAccessRead, kShareNone, Disposition::kOpenExisting), kErrorPathNotFound);
    EXPECT_EQ(file.open("q:\\x", kAccessRead, kShareNone, Disposition::kOpenExisting), kErrorPathNotFound);
    EXPECT_EQ(file.open("c:\\a|b", kAccessRead, kShareNone, Disposition::kOpenAlways), kErrorInvalidName);
}

TEST_F(FileHandleTest, ReadWriteSeekSizeAndEndOfFile)
{
    FileHandle file;
    ASSERT_EQ(file.open(path("data.bin"), kAccessReadWrite, kShareRead, Disposition::kCreateNew), 0u);
    std::size_t done = 0;
    EXPECT_EQ(file.write("hello world", 11, done), 0u);
    EXPECT_EQ(done, 11u);
    std::uint64_t position = 0, size = 0;
    EXPECT_EQ(file.seek(-5, SeekOrigin::kEnd, &position), 0u);
    EXPECT_EQ(position, 6u);
    char buffer[16] = {};
    EXPECT_EQ(file.read(buffer, sizeof buffer, done), 0u);
    EXPECT_EQ(std::string(buffer, done), "world");
    EXPECT_EQ(file.read(buffer, sizeof buffer, done), 0u);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(file.seek(5, SeekOrigin::kBegin), 0u);
    EXPECT_EQ(file.setEndOfFile(), 0u);
    EXPECT_EQ(file.size(size), 0u);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(file.seek(-1, SeekOrigin::kBegin), kErrorNegativeSeek);
    EXPECT_EQ(file.flush(), 0u);
    EXPECT_EQ(file.close(), 0u);
    EXPECT_EQ(test::readFileBytes(posix("data.bin")), "hello");
    EXPECT_EQ(file.read(buffer, 1, done), kErrorInvalidHandle);
    EXPECT_EQ(file.size(size), kErrorInvalidHandle);

    FileHandle reader;
    ASSERT_EQ(reader.open(path("data.bin"), kAccessRead, kShareAll, Disposition::kOpenExisting), 0u);
    EXPECT_EQ(reader.write("x", 1, done), kErrorAccessDenied);
    EXPECT_EQ(reader.setEndOfFile(), kErrorAccessDenied);
    FileHandle writer;
    ASSERT_EQ(writer.open(path("data.bin"), kAccessWrite, kShareAll, Disposition::kOpenExisting), 0u);
    EXPECT_EQ(writer.read(buffer, 1, done), kErrorAccessDenied);
    // A moved handle stays open and registered once.
    FileHandle moved(std::move(writer));
    EXPECT_FALSE(writer.isOpen());
    EXPECT_TRUE(moved.isOpen());
}

TEST_F(FileHandleTest, TimesThroughTheHandle)
{
    FileHandle file;
    ASSERT_EQ(file.open(path("t.txt"), kAccessWrite, kShareNone, Disposition::kCreateNew), 0u);
    const FileTime written = fileTimeFromUnix(1000000000, 700);
    const FileTime accessed = fileTimeFromUnix(1100000000);
    const FileTime creation = fileTimeFromUnix(5);
    EXPECT_EQ(file.setTimes(&creation, &accessed, &written), 0u);
    file.close();
    FileTimes times;
    ASSERT_EQ(getFileTimes(path("t.txt"), times), 0u);
    EXPECT_EQ(times.lastWrite, written);
    EXPECT_EQ(times.lastAccess, accessed);
}

TEST_F(FileHandleTest, InformationOfTheOpenFile)
{
    const FileTime time = fileTimeFromUnix(1250000000, 100);
    test::createFile(posix(".Hidden.txt"), "abcdef", time, 0640);
    FileHandle file;
    FileInfo info;
    EXPECT_EQ(file.getInfo(info), kErrorInvalidHandle);
    ASSERT_EQ(file.open(path(".Hidden.txt"), kAccessRead, kShareAll, Disposition::kOpenExisting), 0u);
    ASSERT_EQ(file.getInfo(info), 0u);
    EXPECT_EQ(info.attributes, kAttrHidden | kAttrArchive);
    EXPECT_EQ(info.size, 6u);
    EXPECT_EQ(info.times.lastWrite, time);
    EXPECT_EQ(info.mode & 07777, 0640u);
    FileInfo byPath;
    ASSERT_EQ(getFileInfo(path(".Hidden.txt"), byPath), 0u);
    EXPECT_EQ(info.id, byPath.id);
    EXPECT_EQ(info.times.creation, byPath.times.creation);
}

TEST_F(FileHandleTest, ReadOnlyFilesAndCreatedReadOnly)
{
    test::createFile(posix("ro.txt"), "keep", test::kNoTime, 0444);
    FileHandle file;
    EXPECT_EQ(file.open(path("ro.txt"), kAccessWrite, kShareAll, Disposition::kOpenExisting),
              kErrorAccessDenied);
    EXPECT_EQ(file.open(path("ro.txt"), kAccessWrite, kShareAll, Disposition::kCreateAlways),
              kErrorAccessDenied);
    EXPECT_EQ(test::readFileBytes(posix("ro.txt")), "keep");
    EXPECT_EQ(file.open(path("ro.txt"), kAccessRead, kShareAll, Disposition::kOpenExisting), 0u);
    file.close();

    ASSERT_EQ(
        file.open(path("made-ro.txt"), kAccessWrite, kShareNone, Disposition::kCreateNew, kAttrReadOnly), 0u);
    std::size_t done = 0;
    EXPECT_EQ(file.write("abc", 3, done), 0u);
    file.close();
    EXPECT_EQ(test::readFileBytes(posix("made-ro.txt")), "abc");
    std::uint32_t attributes = 0;
    EXPECT_EQ(getAttributes(path("made-ro.txt"), attributes), 0u);
    EXPECT_EQ(attributes, kAttrReadOnly | kAttrArchive);
}

TEST_F(FileHandleTest, NonRegularFilesAreAccessDenied)
{
    test::makeFolder(posix("folder"));
    ASSERT_EQ(::mkfifo(posix("fifo").c_str(), 0644), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = posix("sock");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    drive.mapDrive('d', "/dev");
    const struct
    {
        std::string path;
        unsigned access;
        Disposition disposition;
    } cases[] = {
        {path("folder"), kAccessRead, Disposition::kOpenExisting},
        {path("folder"), kAccessWrite, Disposition::kOpenAlways},
        {path("folder"), kAccessWrite, Disposition::kCreateAlways},
        {path("fifo"), kAccessRead, Disposition::kOpenExisting},
        {path("fifo"), kAccessWrite, Disposition::kOpenExisting},
        {path("sock"), kAccessRead, Disposition::kOpenExisting},
        {"d:\\null", kAccessReadWrite, Disposition::kOpenExisting},
        {"d:\\zero", kAccessRead, Disposition::kOpenAlways},
    };
    for (const auto& c : cases) {
        FileHandle file;
        EXPECT_EQ(file.open(c.path, c.access, kShareAll, c.disposition), kErrorAccessDenied) << c.path;
        EXPECT_FALSE(file.isOpen());
    }
    std::string bytes;
    EXPECT_EQ(readWholeFile(path("fifo"), bytes), kErrorAccessDenied);
    ::close(sock);
    // A link to itself names nothing that can be opened.
    ASSERT_EQ(::symlink("loop", posix("loop").c_str()), 0);
    FileHandle loop;
    EXPECT_EQ(loop.open(path("loop"), kAccessRead, kShareAll, Disposition::kOpenAlways),
              kErrorCantResolveFilename);
    EXPECT_FALSE(loop.isOpen());
}

TEST_F(FileHandleTest, SharingBetweenTheProgramsOwnHandles)
{
    test::createFile(posix("shared.txt"), "x");
    const struct
    {
        unsigned access1, share1, access2, share2;
        WinError expected;
    } cases[] = {
        {kAccessRead, kShareRead, kAccessRead, kShareRead, 0},
        {kAccessRead, kShareRead, kAccessWrite, kShareAll, kErrorSharingViolation},
        {kAccessRead, kShareRead | kShareWrite, kAccessWrite, kShareAll, 0},
        {kAccessRead, kShareAll, kAccessRead, kShareRead, 0},
        {kAccessWrite, kShareAll, kAccessRead, kShareRead, kErrorSharingViolation},
        {kAccessWrite, kShareRead, kAccessRead, kShareAll, 0},
        {kAccessWrite, kShareRead, kAccessWrite, kShareAll, kErrorSharingViolation},
        {kAccessRead, kShareNone, kAccessRead, kShareAll, kErrorSharingViolation},
        {kAccessReadWrite, kShareAll, kAccessReadWrite, kShareAll, 0},
        {kAccessReadWrite, kShareRead | kShareWrite, kAccessRead, kShareRead, kErrorSharingViolation},
    };
    for (const auto& c : cases) {
        FileHandle first, second;
        ASSERT_EQ(first.open(path("shared.txt"), c.access1, c.share1, Disposition::kOpenExisting), 0u);
        EXPECT_EQ(second.open(path("shared.txt"), c.access2, c.share2, Disposition::kOpenExisting),
                  c.expected)
            << c.access1 << "/" << c.share1 << " then " << c.access2 << "/" << c.share2;
        second.close();
        first.close();
        // Once the first handle is closed, the second open succeeds.
        EXPECT_EQ(second.open(path("shared.txt"), c.access2, c.share2, Disposition::kOpenExisting), 0u);
    }
    // A conflicting create-always does not truncate the file.
    test::createFile(posix("busy.txt"), "content");
    FileHandle holder, other;
    ASSERT_EQ(holder.open(path("busy.txt"), kAccessRead, kShareRead, Disposition::kOpenExisting), 0u);
    EXPECT_EQ(other.open(path("busy.txt"), kAccessWrite, kShareAll, Disposition::kCreateAlways),
              kErrorSharingViolation);
    EXPECT_EQ(test::readFileBytes(posix("busy.txt")), "content");
}

// Another process holding the file open with the given access and sharing until the object goes.
class HeldInChild
{
public:
    HeldInChild(const std::string& windowsPath, unsigned access, unsigned share)
    {
        if (::pipe(toParent_) != 0 || ::pipe(toChild_) != 0)
            return;
        child_ = ::fork();
        if (child_ == 0) {
            FileHandle file;
            const char result =
                file.open(windowsPath, access, share, Disposition::kOpenExisting) == 0 ? 'o' : 'e';
            (void)!::write(toParent_[1], &result, 1);
            char go = 0;
            (void)!::read(toChild_[0], &go, 1);
            ::_exit(0);
        }
        if (child_ > 0 && ::read(toParent_[0], &result_, 1) != 1)
            result_ = 0;
    }
    ~HeldInChild()
    {
        if (child_ > 0) {
            (void)!::write(toChild_[1], "g", 1);
            int status = 0;
            ::waitpid(child_, &status, 0);
        }
        for (int fd : {toParent_[0], toParent_[1], toChild_[0], toChild_[1]}) {
            if (fd >= 0)
                ::close(fd);
        }
    }
    HeldInChild(const HeldInChild&) = delete;
    HeldInChild& operator=(const HeldInChild&) = delete;

    // True once the child has the file open.
    bool holds() const { return result_ == 'o'; }

private:
    int toParent_[2] = {-1, -1};
    int toChild_[2] = {-1, -1};
    pid_t child_ = -1;
    char result_ = 0;
};

TEST_F(FileHandleTest, LocksHoldAgainstOtherProcesses)
{
    test::createFile(posix("locked.txt"), "x");
    FileHandle file;
    {
        HeldInChild other(path("locked.txt"), kAccessRead, kShareRead);
        ASSERT_TRUE(other.holds());
        EXPECT_EQ(file.open(path("locked.txt"), kAccessWrite, kShareAll, Disposition::kOpenExisting),
                  kErrorSharingViolation);
        EXPECT_EQ(file.open(path("locked.txt"), kAccessRead, kShareRead, Disposition::kOpenExisting), 0u);
        file.close();
        EXPECT_EQ(file.open(path("locked.txt"), kAccessRead, kShareNone, Disposition::kOpenExisting),
                  kErrorSharingViolation);
        EXPECT_EQ(deleteFile(path("locked.txt")), kErrorSharingViolation);
        EXPECT_EQ(atomicRewrite(path("locked.txt"), "new"), kErrorSharingViolation);
    }
    EXPECT_EQ(file.open(path("locked.txt"), kAccessWrite, kShareNone, Disposition::kOpenExisting), 0u);
    file.close();
}

TEST_F(FileHandleTest, EveryAccessAndSharingPairHoldsAgainstOtherProcesses)
{
    test::createFile(posix("pair.txt"), "x");
    const unsigned accesses[] = {kAccessRead, kAccessWrite, kAccessReadWrite};
    // The rule of the system: a second handle conflicts when either handle's access is not shared
    // by the other.
    auto conflicts = [](unsigned access1, unsigned share1, unsigned access2, unsigned share2) {
        return ((access2 & kAccessRead) && !(share1 & kShareRead)) ||
               ((access2 & kAccessWrite) && !(share1 & kShareWrite)) ||
               ((access1 & kAccessRead) && !(share2 & kShareRead)) ||
               ((access1 & kAccessWrite) && !(share2 & kShareWrite));
    };
    for (unsigned access1 : accesses) {
        for (unsigned share1 = 0; share1 <= kShareAll; ++share1) {
            HeldInChild other(path("pair.txt"), access1, share1);
            ASSERT_TRUE(other.holds()) << access1 << "/" << share1;
            for (unsigned access2 : accesses) {
                for (unsigned share2 = 0; share2 <= kShareAll; ++share2) {
                    FileHandle file;
                    EXPECT_EQ(file.open(path("pair.txt"), access2, share2, Disposition::kOpenExisting),
                              conflicts(access1, share1, access2, share2) ? kErrorSharingViolation : 0u)
                        << "held " << access1 << "/" << share1 << ", asked " << access2 << "/" << share2;
                }
            }
            if (!(share1 & kShareDelete)) {
                EXPECT_EQ(deleteFile(path("pair.txt")), kErrorSharingViolation) << access1 << "/" << share1;
                EXPECT_EQ(moveFile(path("pair.txt"), path("moved.txt")), kErrorSharingViolation);
            }
        }
    }
    EXPECT_EQ(test::readFileBytes(posix("pair.txt")), "x");
}

TEST_F(FileHandleTest, AReadThatReachesTheEndStopsThereAndTheNextReadsWhatFollows)
{
    test::createFile(posix("growing.txt"), "0123456789");
    FileHandle file;
    ASSERT_EQ(file.open(path("growing.txt"), kAccessRead, kShareAll, Disposition::kOpenExisting), 0u);
    char buffer[32] = {};
    std::size_t done = 0;
    ASSERT_EQ(file.read(buffer, 4, done), 0u);
    EXPECT_EQ(std::string(buffer, done), "0123");
    ASSERT_EQ(file.read(buffer, sizeof buffer, done), 0u);
    EXPECT_EQ(std::string(buffer, done), "456789");
    std::ofstream(posix("growing.txt"), std::ios::binary | std::ios::app) << "abc";
    ASSERT_EQ(file.read(buffer, sizeof buffer, done), 0u);
    EXPECT_EQ(std::string(buffer, done), "abc");
    ASSERT_EQ(file.read(buffer, sizeof buffer, done), 0u);
    EXPECT_EQ(done, 0u);
    std::uint64_t position = 0;
    ASSERT_EQ(file.seek(2, SeekOrigin::kBegin, &position), 0u);
    ASSERT_EQ(file.read(buffer, sizeof buffer, done), 0u);
    EXPECT_EQ(std::string(buffer, done), "23456789abc");
}

TEST_F(FileHandleTest, InjectedFaultsOnOpenReadAndWrite)
{
    ScopedFaultClear clear;
    test::createFile(posix("dir/file.txt"), "content");
    FileHandle file;
    injectFault(path("DIR\\"), kErrorAccessDenied, kFaultOpen);
    EXPECT_EQ(file.open(path("dir\\file.txt"), kAccessRead, kShareAll, Disposition::kOpenExisting),
              kErrorAccessDenied);
    clearFaults();
    injectFault(path("dir"), kErrorDiskFull, kFaultWrite);
    injectFault(path("dir"), kErrorReadFault, kFaultRead);
    ASSERT_EQ(file.open(path("dir\\file.txt"), kAccessReadWrite, kShareAll, Disposition::kOpenExisting), 0u);
    std::size_t done = 7;
    EXPECT_EQ(file.write("zz", 2, done), kErrorDiskFull);
    EXPECT_EQ(done, 0u);
    char buffer[8];
    EXPECT_EQ(file.read(buffer, sizeof buffer, done), kErrorReadFault);
    EXPECT_EQ(file.flush(), kErrorDiskFull);
    file.close();
    EXPECT_EQ(test::readFileBytes(posix("dir/file.txt")), "content");
}

TEST_F(FileHandleTest, CreateNewTellsWhatHoldsTheName)
{
    test::createFile(posix("taken.txt"), "keep");
    test::createFile(posix("Upper.TXT"), "upper");
    test::makeFolder(posix("folder"));
    test::createFile(posix("plain"), "not a folder");
    ASSERT_EQ(::symlink("nowhere", posix("dangling").c_str()), 0);
    const struct
    {
        const char* name;
        WinError error;
    } cases[] = {
        {"taken.txt", kErrorFileExists},
        {"folder", kErrorAccessDenied},
        {"dangling", kErrorFileExists},
        {"missing\\new.txt", kErrorPathNotFound},
        {"plain\\new.txt", kErrorPathNotFound},
        // Another letter case of an existing file is another, free name.
        {"upper.txt", 0},
    };
    for (const auto& c : cases) {
        FileHandle file;
        EXPECT_EQ(file.open(path(c.name), kAccessReadWrite, kShareNone, Disposition::kCreateNew), c.error)
            << c.name;
        EXPECT_EQ(file.isOpen(), c.error == 0) << c.name;
        EXPECT_FALSE(file.alreadyExisted()) << c.name;
    }
    // Nothing that held a name was touched; the new file stands beside the other spelling.
    EXPECT_EQ(test::readFileBytes(posix("taken.txt")), "keep");
    EXPECT_EQ(test::readFileBytes(posix("Upper.TXT")), "upper");
    EXPECT_EQ(test::readFileBytes(posix("upper.txt")), "");
    struct stat st = {};
    EXPECT_EQ(::lstat(posix("dangling").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_FALSE(test::exists(posix("nowhere")));
}

TEST_F(FileHandleTest, OwnerAndModeThroughTheHandle)
{
    ScopedFaultClear clear;
    test::createFile(posix("m.txt"), "m", test::kNoTime, 0600);
    FileHandle file;
    ASSERT_EQ(file.open(path("m.txt"), kAccessReadWrite, kShareAll, Disposition::kOpenExisting), 0u);
    EXPECT_EQ(file.setOwnerAndMode(::getuid(), ::getgid(), S_IFREG | 04751), 0u);
    EXPECT_EQ(test::modeOf(posix("m.txt")) & 07777, 04751u);
    // A fault leaves the mode as it was.
    injectFault(path("m.txt"), kErrorAccessDenied, kFaultAttributes);
    EXPECT_EQ(file.setOwnerAndMode(::getuid(), ::getgid(), 0644), kErrorAccessDenied);
    EXPECT_EQ(test::modeOf(posix("m.txt")) & 07777, 04751u);
    file.close();
    EXPECT_EQ(file.setOwnerAndMode(0, 0, 0644), kErrorInvalidHandle);
}

} // namespace
} // namespace wux::platform

namespace wux::platform {
namespace {

// Another program's writes to a file: bytes added at its end, or bytes written over its start in a
// later tick of the file system's clock (so that the change time moves).
void appendTo(const std::string& posixPath, const std::string& bytes)
{
    std::ofstream(posixPath, std::ios::binary | std::ios::app) << bytes;
}

void rewriteAt(const std::string& posixPath, const std::string& bytes)
{
    ::usleep(20000);
    const int fd = ::open(posixPath.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::pwrite(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}

// A folder held open: its files are opened there by the names the listing gave, whatever happens to
// the folder's path meanwhile, with the rules of an open by path.
TEST_F(FileHandleTest, FilesOfAHeldFolderOpenByTheirListedNames)
{
    test::createFile(posix("held/a.txt"), "alpha");
    test::createFile(posix("held/ro.txt"), "r", 0, 0444);
    test::createFile(posix("held/odd\x01name"), "odd");
    test::makeFolder(posix("held/sub"));
    test::createFile(posix("other/a.txt"), "other");
    FileId id;
    ASSERT_EQ(getFileId(path("held"), id), kErrorSuccess);
    HeldFolder folder;
    ASSERT_EQ(folder.open(path("held"), &id), kErrorSuccess);
    EXPECT_EQ(folder.path(), path("held"));
    // The path now leads elsewhere; the held folder is still the one opened.
    ASSERT_EQ(::rename(posix("held").c_str(), posix("moved").c_str()), 0);
    ASSERT_EQ(::symlink(posix("other").c_str(), posix("held").c_str()), 0);
    struct Case
    {
        std::string name;
        unsigned access;
        WinError error;
        std::string bytes;
    };
    const Case cases[] = {
        {"a.txt", kAccessRead, kErrorSuccess, "alpha"},
        {"odd\xEF\x80\x81name", kAccessRead, kErrorSuccess, "odd"}, // the listing's spelling of byte 1
        {"ro.txt", kAccessRead, kErrorSuccess, "r"},
        {"ro.txt", kAccessReadWrite, kErrorAccessDenied, ""},
        {"sub", kAccessRead, kErrorAccessDenied, ""},
        {"none.txt", kAccessRead, kErrorFileNotFound, ""},
        {"bad|name", kAccessRead, kErrorInvalidName, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FileHandle file;
        ASSERT_EQ(file.openIn(folder, c.name, c.access, kShareRead), c.error);
        if (c.error != kErrorSuccess)
            continue;
        char bytes[16] = {};
        std::size_t got = 0;
        ASSERT_EQ(file.read(bytes, sizeof bytes, got), kErrorSuccess);
        EXPECT_EQ(std::string(bytes, got), c.bytes);
    }
    // The sharing rules hold as for an open by path.
    FileHandle holder;
    ASSERT_EQ(holder.open(path("moved\\a.txt"), kAccessRead, kShareNone, Disposition::kOpenExisting),
              kErrorSuccess);
    FileHandle second;
    EXPECT_EQ(second.openIn(folder, "a.txt", kAccessRead, kShareRead), kErrorSharingViolation);

    // A folder swapped for a link since it was listed is not opened.
    HeldFolder swapped;
    EXPECT_EQ(swapped.open(path("held"), &id), kErrorFileInvalid);
    EXPECT_FALSE(swapped.isOpen());
    FileHandle none;
    EXPECT_EQ(none.openIn(swapped, "a.txt", kAccessRead, kShareRead), kErrorInvalidHandle);
    // Without an identity, the folder is where the path leads.
    HeldFolder followed;
    ASSERT_EQ(followed.open(path("held")), kErrorSuccess);
    FileHandle there;
    ASSERT_EQ(there.openIn(followed, "a.txt", kAccessRead, kShareRead), kErrorSuccess);
    char bytes[16] = {};
    std::size_t got = 0;
    ASSERT_EQ(there.read(bytes, sizeof bytes, got), kErrorSuccess);
    EXPECT_EQ(std::string(bytes, got), "other");
}

// A rewrite inside a held folder: a link is opened only when asked to follow it; a new file is made
// only under a free name, with the permission bits asked for; it takes the name of the file it was
// made from only while that name still holds that file, never over anything put there meanwhile.
TEST_F(FileHandleTest, RewriteInAHeldFolderReplacesOnlyTheFileThatWasRead)
{
    const mode_t mask = ::umask(022);
    ::umask(mask);
    test::createFile(posix("d/a.txt"), "old");
    test::createFile(posix("d/outside.txt"), "outside");
    ASSERT_EQ(::symlink("outside.txt", posix("d/link.txt").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", posix("d/dangling").c_str()), 0);
    HeldFolder folder;
    ASSERT_EQ(folder.open(path("d")), kErrorSuccess);
    EXPECT_EQ(folder.flush(), kErrorSuccess);

    FileHandle link;
    EXPECT_EQ(link.openIn(folder, "link.txt", kAccessRead, kShareRead, false), kErrorFileInvalid);
    EXPECT_EQ(link.openIn(folder, "link.txt", kAccessRead, kShareRead), kErrorSuccess);
    FileHandle taken;
    for (const char* name : {"a.txt", "link.txt", "dangling"})
        EXPECT_EQ(taken.createIn(folder, name, kShareRead, 0644), kErrorFileExists) << name;
    EXPECT_EQ(taken.createIn(folder, "bad|name", kShareRead, 0644), kErrorInvalidName);
    EXPECT_EQ(test::readFileBytes(posix("d/a.txt")), "old");

    struct Case
    {
        const char* name;
        std::function<void()> meanwhile; // done to "a.txt" between the reading and the rename
        WinError error;
        const char* bytes;           // what a.txt holds afterwards
    };
    const Case cases[] = {
        {"nothing changed", [] {}, kErrorSuccess, "new"},
        {"made a link", [&] { ::rename(posix("d/a.txt").c_str(), posix("d/aside").c_str());
                              ::symlink("outside.txt", posix("d/a.txt").c_str()); },
         kErrorFileInvalid, "outside"},
        {"another file put there", [&] { ::unlink(posix("d/a.txt").c_str());
                                         test::createFile(posix("d/a.txt"), "theirs"); },
         kErrorFileInvalid, "theirs"},
        {"removed", [&] { ::unlink(posix("d/a.txt").c_str()); }, kErrorFileInvalid, nullptr},
        {"lines appended", [&] { appendTo(posix("d/a.txt"), " and more"); }, kErrorSharingViolation,
         "old and more"},
        {"rewritten in place, same size", [&] { rewriteAt(posix("d/a.txt"), "OLD"); }, kErrorSharingViolation,
         "OLD"},
        {"mode changed", [&] { ::chmod(posix("d/a.txt").c_str(), 0600); }, kErrorSharingViolation, "old"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ::unlink(posix("d/a.txt").c_str());
        ::unlink(posix("d/aside").c_str());
        test::createFile(posix("d/a.txt"), "old", 0, 0666);
        FileHandle source, temp;
        ASSERT_EQ(source.openIn(folder, "a.txt", kAccessRead, kShareRead | kShareWrite, false), kErrorSuccess);
        ASSERT_EQ(temp.createIn(folder, "a.txt0", kShareRead | kShareWrite, 0666), kErrorSuccess);
        EXPECT_EQ(test::modeOf(posix("d/a.txt0")) & 0777, 0666u & ~mask);
        std::size_t done = 0;
        ASSERT_EQ(temp.write("new", 3, done), kErrorSuccess);
        c.meanwhile();
        EXPECT_EQ(putRewriteInPlace(folder, temp, "a.txt0", source, "a.txt"), c.error);
        if (c.bytes != nullptr)
            EXPECT_EQ(test::readFileBytes(posix("d/a.txt")), c.bytes);
        else
            EXPECT_FALSE(test::exists(posix("d/a.txt")));
        EXPECT_EQ(test::readFileBytes(posix("d/outside.txt")), "outside");
        temp.close();
        ::unlink(posix("d/a.txt0").c_str());
    }

    // Held by another handle without delete sharing: both stay open and nothing is renamed.
    test::createFile(posix("d/b.txt"), "old");
    FileHandle holder, source, temp;
    ASSERT_EQ(holder.open(path("d\\b.txt"), kAccessRead, kShareRead | kShareWrite, Disposition::kOpenExisting),
              kErrorSuccess);
    ASSERT_EQ(source.openIn(folder, "b.txt", kAccessRead, kShareRead | kShareWrite, false), kErrorSuccess);
    ASSERT_EQ(temp.createIn(folder, "b.txt0", kShareRead | kShareWrite, 0644), kErrorSuccess);
    EXPECT_EQ(putRewriteInPlace(folder, temp, "b.txt0", source, "b.txt"), kErrorSharingViolation);
    EXPECT_TRUE(temp.isOpen());
    EXPECT_TRUE(source.isOpen());
    EXPECT_EQ(test::readFileBytes(posix("d/b.txt")), "old");

    folder.close();
    EXPECT_EQ(folder.flush(), kErrorInvalidHandle);
}

// The attributes of the entries of a held folder are those that getAttributes gives for their paths,
// links judged by their targets.
TEST_F(FileHandleTest, AttributesInAHeldFolderAreThoseOfThePath)
{
    test::createFile(posix("f/plain.txt"), "x");
    test::createFile(posix("f/ro.txt"), "x", 0, 0444);
    test::createFile(posix("f/.hidden"), "x");
    test::makeFolder(posix("f/sub"));
    ASSERT_EQ(::symlink("sub", posix("f/to-sub").c_str()), 0);
    ASSERT_EQ(::symlink("ro.txt", posix("f/to-ro").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", posix("f/dangling").c_str()), 0);
    HeldFolder folder;
    ASSERT_EQ(folder.open(path("f")), kErrorSuccess);
    for (const char* name : {"plain.txt", "ro.txt", ".hidden", "sub", "to-sub", "to-ro", "dangling", "missing"}) {
        SCOPED_TRACE(name);
        std::uint32_t byPath = 0, inFolder = 0;
        const WinError error = getAttributes(path(std::string("f\\") + name), byPath);
        EXPECT_EQ(getAttributesIn(folder, name, inFolder), error);
        EXPECT_EQ(inFolder, byPath);
    }
    std::uint32_t attributes = 0;
    EXPECT_EQ(getAttributesIn(folder, "sub", attributes), kErrorSuccess);
    EXPECT_NE(attributes & kAttrDirectory, 0u);
    injectFault(path("f\\plain.txt"), kErrorAccessDenied, kFaultAttributes);
    EXPECT_EQ(getAttributesIn(folder, "plain.txt", attributes), kErrorAccessDenied);
    clearFaults();
}

} // namespace
} // namespace wux::platform

namespace wux::platform {
namespace {

std::string writtenTemporary(const HeldFolder& folder, std::string_view name, std::string_view bytes,
                             FileHandle& handle)
{
    std::string temp;
    EXPECT_EQ(createTemporaryIn(folder, name, handle, temp), kErrorSuccess);
    std::size_t done = 0;
    EXPECT_EQ(handle.write(bytes.data(), bytes.size(), done), kErrorSuccess);
    EXPECT_EQ(handle.close(), kErrorSuccess);
    return temp;
}

// A copy's steps in a folder held open: the entry looked at, the hidden temporary file made, put in
// place (never over a name taken meanwhile unless replacing; a held file or a folder is refused) and
// removed, all in the folder opened whatever its path leads to now.
TEST_F(FileHandleTest, TemporaryFilesOfAHeldFolder)
{
    test::createFile(posix("held/a.txt"), "alpha");
    test::makeFolder(posix("held/sub"));
    ASSERT_EQ(::symlink("a.txt", posix("held/link").c_str()), 0);
    test::createFile(posix("other/a.txt"), "other");
    HeldFolder folder;
    ASSERT_EQ(folder.open(path("held")), kErrorSuccess);
    ASSERT_EQ(::rename(posix("held").c_str(), posix("moved").c_str()), 0);
    ASSERT_EQ(::symlink(posix("other").c_str(), posix("held").c_str()), 0);

    // Looked at by the listed name: a link shows the file it points to, with its own mark.
    FileInfo alpha, link;
    ASSERT_EQ(getFileInfoIn(folder, "a.txt", alpha), kErrorSuccess);
    EXPECT_EQ(alpha.size, 5U);
    ASSERT_EQ(getFileInfoIn(folder, "link", link), kErrorSuccess);
    EXPECT_EQ(link.id, alpha.id);
    EXPECT_TRUE(link.attributes & kAttrReparsePoint);
    FileInfo none;
    EXPECT_EQ(getFileInfoIn(folder, "none.txt", none), kErrorFileNotFound);
    EXPECT_EQ(getFileInfoIn(folder, "bad|name", none), kErrorInvalidName);

    // The temporary file: hidden, without permission bits while it is written, in the held folder.
    FileHandle temp;
    const std::string first = writtenTemporary(folder, "a.txt", "new a", temp);
    EXPECT_EQ(first.rfind(path("held\\.a.txt.wux"), 0), 0U) << first;
    const std::string firstName = first.substr(path("held\\").size());
    EXPECT_EQ(test::modeOf(posix("moved/" + firstName)) & 07777, 0U);
    struct Case
    {
        const char* title;
        const char* name;
        bool replace;
        WinError error;
    };
    const Case cases[] = {
        {"a taken name", "a.txt", false, kErrorAlreadyExists},
        {"a folder", "sub", true, kErrorAccessDenied},
        {"not a name", "bad|name", false, kErrorInvalidName},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        EXPECT_EQ(putTemporaryInPlace(temp, folder, c.name, c.replace), c.error);
    }
    // A file held without delete sharing is not replaced; let go, it is.
    FileHandle holder;
    ASSERT_EQ(holder.open(path("moved\\a.txt"), kAccessRead, kShareRead, Disposition::kOpenExisting), 0U);
    EXPECT_EQ(putTemporaryInPlace(temp, folder, "a.txt", true), kErrorSharingViolation);
    EXPECT_EQ(test::readFileBytes(posix("moved/a.txt")), "alpha");
    holder.close();
    ASSERT_EQ(putTemporaryInPlace(temp, folder, "a.txt", true), kErrorSuccess);
    EXPECT_EQ(test::readFileBytes(posix("moved/a.txt")), "new a");
    FileHandle second;
    writtenTemporary(folder, "b.txt", "new b", second);
    ASSERT_EQ(putTemporaryInPlace(second, folder, "b.txt", false), kErrorSuccess);
    EXPECT_EQ(test::readFileBytes(posix("moved/b.txt")), "new b");
    EXPECT_EQ(test::listNames(posix("moved")), (std::vector<std::string>{"a.txt", "b.txt", "link", "sub"}));
    EXPECT_EQ(test::listNames(posix("other")), std::vector<std::string>{"a.txt"});

    // A temporary file that will not be used goes; nothing else is removed that way.
    FileHandle third;
    const std::string unused = writtenTemporary(folder, "c.txt", "c", third);
    EXPECT_EQ(removeTemporary(folder, path("held\\a.txt")), kErrorInvalidParameter);
    EXPECT_EQ(removeTemporary(folder, path("other\\" + unused.substr(path("held\\").size()))),
              kErrorInvalidParameter);
    EXPECT_EQ(removeTemporary(folder, unused), kErrorSuccess);
    EXPECT_EQ(removeTemporary(folder, unused), kErrorFileNotFound);
    EXPECT_EQ(test::listNames(posix("moved")), (std::vector<std::string>{"a.txt", "b.txt", "link", "sub"}));

    // A folder that is not open.
    FileHandle made;
    HeldFolder closed;
    std::string temporary;
    EXPECT_EQ(createTemporaryIn(closed, "a.txt", made, temporary), kErrorInvalidHandle);
    EXPECT_TRUE(temporary.empty());
}

} // namespace
} // namespace wux::platform
