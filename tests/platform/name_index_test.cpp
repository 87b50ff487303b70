#include "platform/name_index.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/paths.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::platform {
namespace {

struct Step
{
    const char* from; // a move as a listing makes it: every name as spelled
    const char* to;
    WinError expected;
    const char* typed;  // then a path typed in any case ...
    const char* onDisk; // ... and the one it stands for
};

// A run that moves names within and between folders, names that differ only in case included, and
// looks up typed paths after each move.
const std::vector<Step> kSteps = {
    {"a.txt", "b.txt", kErrorAlreadyExists, "A.TXT", "a.txt"},
    {"a.txt", "B.TXT", 0, "b.TXT", "b.TXT"}, // another file; "b.txt" and "B.TXT": none of two
    {"B.TXT", "dir\\upper.txt", 0, "B.txt", "b.txt"}, // the index saw "B.TXT" leave
    {"dir\\upper.txt", "a.txt", 0, "DIR\\upper.TXT", "dir\\Upper.TXT"}, // ... and the other folder's too
    {"b.txt", "A.TXT", 0, "a.TXT", "a.TXT"},
    {"a.txt", "dir\\new.txt", 0, "a.TXT", "A.TXT"},
    {"A.TXT", "a.txt", 0, "DIR\\NEW.TXT", "dir\\new.txt"}, // case-only rename
    {"a.txt", "bad*name", kErrorInvalidName, "A.TXT", "a.txt"},
    {"a.txt", "dir\\..\\MOVED-BACK.TXT", 0, "moved-back.txt", "MOVED-BACK.TXT"},
};

class CaseIndexTest : public test::TempDriveTest
{
protected:
    std::vector<std::string> runSteps(bool withIndex)
    {
        test::createFile(posix("a.txt"), "a");
        test::createFile(posix("b.txt"), "b");
        test::createFile(posix("dir/Upper.TXT"), "u");
        std::vector<std::string> outcome;
        CaseIndexScope* scope = withIndex ? new CaseIndexScope : nullptr;
        for (const Step& step : kSteps) {
            EXPECT_EQ(moveFile(path(step.from), path(step.to)), step.expected)
                << step.from << " -> " << step.to << (withIndex ? " (indexed)" : "");
            EXPECT_EQ(spelledOnDisk(path(step.typed)), path(step.onDisk))
                << step.typed << (withIndex ? " (indexed)" : "");
        }
        delete scope;
        outcome = test::listNames(drive.root());
        for (const std::string& name : test::listNames(posix("dir")))
            outcome.push_back("dir/" + name + ": " + test::readFileBytes(posix("dir/" + name)));
        return outcome;
    }
};

TEST_F(CaseIndexTest, RunsGiveTheSameAnswersWithAndWithoutTheIndex)
{
    const std::vector<std::string> plain = runSteps(false);
    EXPECT_EQ(plain, (std::vector<std::string>{"MOVED-BACK.TXT", "dir", "dir/Upper.TXT: u", "dir/new.txt: a"}));
    EXPECT_EQ(test::readFileBytes(posix("MOVED-BACK.TXT")), "b");
    ASSERT_EQ(::unlink(posix("MOVED-BACK.TXT").c_str()), 0);
    ASSERT_EQ(::unlink(posix("dir/Upper.TXT").c_str()), 0);
    ASSERT_EQ(::unlink(posix("dir/new.txt").c_str()), 0);
    EXPECT_EQ(runSteps(true), plain);
    EXPECT_EQ(test::readFileBytes(posix("MOVED-BACK.TXT")), "b");
}

// The open descriptors of the process.
std::size_t openDescriptors()
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                                  std::filesystem::directory_iterator()));
}

TEST_F(CaseIndexTest, ChangesByOthersAreSeen)
{
    for (const char* name : {"one.txt", "two.txt", "three.txt"})
        test::createFile(posix(name), name);
    const std::size_t descriptors = openDescriptors();
    auto scope = std::make_unique<CaseIndexScope>();
    ASSERT_EQ(spelledOnDisk(path("ONE.TXT")), path("one.txt")); // the folder is indexed

    // Another program adds a name and removes one.
    test::createFile(posix("Clash.txt"), "theirs");
    ASSERT_EQ(::unlink(posix("three.txt").c_str()), 0);
    EXPECT_EQ(spelledOnDisk(path("CLASH.TXT")), path("Clash.txt"));
    EXPECT_EQ(spelledOnDisk(path("THREE.txt")), path("THREE.txt"));

    // A folder removed and made again under the same path is another folder.
    test::createFile(posix("sub/two.txt"), "old folder");
    EXPECT_EQ(spelledOnDisk(path("sub\\TWO.TXT")), path("sub\\two.txt"));
    ASSERT_EQ(::unlink(posix("sub/two.txt").c_str()), 0);
    ASSERT_EQ(::rmdir(posix("sub").c_str()), 0);
    test::createFile(posix("sub/TWO.txt"), "new folder");
    EXPECT_EQ(spelledOnDisk(path("sub\\two.txt")), path("sub\\TWO.txt"));
    // The end of the scope ends its watches.
    scope.reset();
    EXPECT_EQ(openDescriptors(), descriptors);
}

TEST_F(CaseIndexTest, LookUpsOfMissingNamesSeeEveryChange)
{
    test::createFile(posix("Data.TXT"), "d");
    CaseIndexScope scope;
    EXPECT_EQ(spelledOnDisk(path("data.txt")), path("Data.TXT"));

    // Names made by this thread and by others are seen; two matches mean none.
    FileHandle created;
    ASSERT_EQ(created.open(path("Report.md"), kAccessWrite, kShareNone, Disposition::kCreateNew), 0u);
    created.close();
    EXPECT_EQ(spelledOnDisk(path("REPORT.MD")), path("Report.md"));
    test::createFile(posix("DATA.txt"), "other");
    EXPECT_EQ(spelledOnDisk(path("data.txt")), path("data.txt"));
    ASSERT_EQ(::unlink(posix("Data.TXT").c_str()), 0);
    EXPECT_EQ(spelledOnDisk(path("data.txt")), path("DATA.txt"));
    std::string bytes;
    EXPECT_EQ(readWholeFile(spelledOnDisk(path("data.txt")), bytes), 0u);
    EXPECT_EQ(bytes, "other");
}

TEST_F(CaseIndexTest, ManyRenamesInOneFolderAreSeenByEveryLookUp)
{
    constexpr int kFiles = 300;
    for (int i = 0; i < kFiles; ++i)
        test::createFile(posix("f" + std::to_string(i) + ".dat"), std::to_string(i));
    test::createFile(posix("PIC150.DAT"), "planted");
    CaseIndexScope scope;
    for (int i = 0; i < kFiles; ++i) {
        const std::string number = std::to_string(i);
        // A name that another file has in another case is free.
        ASSERT_EQ(moveFile(path("f" + number + ".dat"), path("pic" + number + ".dat")), 0u) << i;
        EXPECT_EQ(spelledOnDisk(path("F" + number + ".DAT")), path("F" + number + ".DAT")) << i;
        EXPECT_EQ(spelledOnDisk(path("PIC" + number + ".dat")),
                  path(i == 150 ? "PIC150.dat" : "pic" + number + ".dat"))
            << i;
    }
    EXPECT_EQ(test::listNames(drive.root()).size(), std::size_t{kFiles + 1});
    EXPECT_EQ(test::readFileBytes(posix("PIC150.DAT")), "planted");
    EXPECT_EQ(test::readFileBytes(posix("pic150.dat")), "150");
    EXPECT_EQ(test::readFileBytes(posix("pic299.dat")), "299");
}

TEST_F(CaseIndexTest, RunsOverMoreFoldersThanAreWatchedReadEachFolderOncePerStay)
{
    constexpr int kFolders = 1100; // more than one scope watches
    constexpr int kBigFiles = 400;
    for (int i = 0; i < kFolders; ++i)
        test::createFile(posix("d" + std::to_string(i) + "/x.txt"), "x");
    for (int i = 0; i < kBigFiles; ++i)
        test::createFile(posix("big/f" + std::to_string(i)), "f");
    test::createFile(posix("big/G7"), "planted");
    CaseIndexScope scope;
    const std::size_t before = internal::folderReadsOnThisThread();
    for (int i = 0; i < kFolders; ++i) {
        const std::string folder = "d" + std::to_string(i) + "\\";
        ASSERT_EQ(moveFile(path(folder + "x.txt"), path(folder + "y.txt")), 0u) << i;
        ASSERT_EQ(spelledOnDisk(path(folder + "Y.TXT")), path(folder + "y.txt")) << i;
    }
    for (int i = 0; i < kBigFiles; ++i) {
        const std::string number = std::to_string(i);
        ASSERT_EQ(moveFile(path("big\\f" + number), path("big\\g" + number)), 0u) << i;
        EXPECT_EQ(spelledOnDisk(path("big\\G" + number)), path((i == 7 ? "big\\G" : "big\\g") + number)) << i;
    }
    EXPECT_EQ(internal::folderReadsOnThisThread() - before, std::size_t{kFolders + 1});

    // Changes by another program: in a folder still watched (no new read) and in the first folder,
    // which has left the index by now and is read once more.
    test::createFile(posix("big/Other"), "theirs");
    test::createFile(posix("d0/Clash.txt"), "theirs");
    const std::size_t afterRun = internal::folderReadsOnThisThread();
    EXPECT_EQ(spelledOnDisk(path("big\\OTHER")), path("big\\Other"));
    EXPECT_EQ(internal::folderReadsOnThisThread(), afterRun);
    EXPECT_EQ(spelledOnDisk(path("d0\\CLASH.TXT")), path("d0\\Clash.txt"));
    EXPECT_EQ(spelledOnDisk(path("d0\\Y.txt")), path("d0\\y.txt"));
    EXPECT_EQ(internal::folderReadsOnThisThread(), afterRun + 1);
    EXPECT_EQ(test::listNames(posix("d0")), (std::vector<std::string>{"Clash.txt", "y.txt"}));
    EXPECT_EQ(test::readFileBytes(posix("big/G7")), "planted");
    EXPECT_EQ(test::readFileBytes(posix("big/g7")), "f");
}

// More changes than the system's notification queue holds: the folder is read again, and the
// look-ups give the answers a scan of the folder gives.
TEST_F(CaseIndexTest, AfterTheNotificationQueueOverflowsTheFolderIsReadAgain)
{
    std::size_t queued = 0;
    {
        std::ifstream limit("/proc/sys/fs/inotify/max_queued_events");
        limit >> queued;
    }
    if (queued == 0 || queued > 200000)
        GTEST_SKIP() << "queue of " << queued << " events";
    test::createFile(posix("dir/Data.TXT"), "old");
    CaseIndexScope scope;
    ASSERT_EQ(spelledOnDisk(path("dir\\DATA.TXT")), path("dir\\Data.TXT")); // the folder is indexed
    const std::size_t reads = internal::folderReadsOnThisThread();
    // Another program fills the queue, then removes the name and makes another spelling of it.
    for (std::size_t i = 0; i <= queued; ++i)
        test::createFile(posix("dir/f" + std::to_string(i)), "");
    ASSERT_EQ(::unlink(posix("dir/Data.TXT").c_str()), 0);
    test::createFile(posix("dir/DATA.txt"), "new");
    EXPECT_EQ(spelledOnDisk(path("dir\\data.txt")), path("dir\\DATA.txt"));
    EXPECT_EQ(internal::folderReadsOnThisThread(), reads + 1);
    EXPECT_EQ(spelledOnDisk(path("dir\\F7")), path("dir\\f7"));
    EXPECT_EQ(internal::folderReadsOnThisThread(), reads + 1);
    std::string bytes;
    EXPECT_EQ(readWholeFile(spelledOnDisk(path("dir\\data.TXT")), bytes), 0u);
    EXPECT_EQ(bytes, "new");
}

TEST_F(CaseIndexTest, NewNamesInTheSameFolderAreCheckedLikeAnyOther)
{
    test::createFile(posix("keep.txt"), "k");
    EXPECT_EQ(moveFile(path("keep.txt"), path(std::string(256, 'n'))), kErrorFilenameExcedRange);
    EXPECT_EQ(moveFile(path("keep.txt"), path("a\x01"
                                              "b")),
              kErrorInvalidName);
    EXPECT_EQ(moveFile(path("keep.txt"), path(".")), kErrorAlreadyExists);
    EXPECT_EQ(test::listNames(drive.root()), std::vector<std::string>{"keep.txt"});
    EXPECT_EQ(moveFile(path("keep.txt"), path(std::string(255, 'n'))), 0u);
}

} // namespace
} // namespace wux::platform
