// Benchmark driver of the Renamer: lists a folder as a panel does, marks every file, copies the
// selection into the rename list as the Renamer window does and runs a Renamer thread (TRenamer) over
// it with a name mask, on the application's event loop.
//
//   wux_bench_rename FOLDER --mask MASK [--start N] [--step N] [--digits N]
//
// The mask holds the name and extension parts ("Pic[C]_[N].[E]"). Prints "files N renamed R
// unchanged U failed F".
#include <QCoreApplication>
#include <QTimer>

#include <cstdint>
#include <cstdio>
#include <string>

#include "bench/bench_common.h"
#include "engines/rename_mask.h"
#include "engines/rename_thread.h"
#include "filelist/browser_state.h"
#include "filelist/folder_reader.h"
#include "filelist/list_operations.h"

using namespace wux;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const std::string folderArg = bench::positional(argc, argv, 0);
    const std::string mask = bench::optionValue(argc, argv, "--mask");
    if (folderArg.empty() || mask.empty()) {
        std::fprintf(stderr,
                     "usage: wux_bench_rename FOLDER --mask MASK [--start N] [--step N] [--digits N]\n");
        return 2;
    }
    const std::string folder = bench::driveRootedPath(folderArg);

    filelist::TstateOfBrowser listing;
    filelist::CreateBrowserState(listing, 1, 300, "*.*", 10000);
    if (!filelist::SetStateToPath(folder, listing) ||
        !filelist::ReadFolder(1, filelist::kReadMasksFilesOnly, listing)) {
        std::fprintf(stderr, "cannot read %s\n", folderArg.c_str());
        return 1;
    }
    filelist::SortFolder(1, filelist::kSortDefault, listing);
    filelist::SelectFolderItems(1, listing, false, filelist::kActionMark);
    filelist::RecalcSelection(listing);
    if (!filelist::CopySelectedToState(engines::RenameStore, listing)) {
        std::fprintf(stderr, "no file to rename in %s\n", folderArg.c_str());
        return 1;
    }
    filelist::SortAllFolders(engines::RenameStore); // the copy has no display order yet
    engines::RenameList = &engines::RenameStore;

    engines::TRenamerFileStructure& request = engines::renamerFileStructure();
    request.mask = mask;
    request.start = std::stoi(bench::optionValue(argc, argv, "--start", "1"));
    request.step = std::stoi(bench::optionValue(argc, argv, "--step", "1"));
    request.digits = std::stoi(bench::optionValue(argc, argv, "--digits", "1"));
    request.replaceOn = false;
    request.caseMode = engines::kCaseUnchanged;

    long files = 0, renamed = 0, unchanged = 0, failed = 0;
    {
        engines::TRenamer renamer;
        renamer.mask = mask;
        renamer.start = request.start;
        renamer.step = request.step;
        renamer.sourceList = &listing;
        renamer.OnRenameItem = [&](platform::WuxThread&, std::int32_t result) {
            ++files;
            if (result == engines::kRenameDone)
                ++renamed;
            else if (result == engines::kRenameUnchanged)
                ++unchanged;
            else
                ++failed;
        };
        renamer.OnTerminate = [](platform::WuxThread&) { QCoreApplication::quit(); };
        QTimer::singleShot(0, [&renamer] { renamer.Start(); });
        QCoreApplication::exec();
        renamer.WaitFor();
        if (renamer.failed()) {
            std::fprintf(stderr, "the run failed: %s\n", renamer.failureMessage().c_str());
            return 1;
        }
    }
    engines::RenameList = nullptr;
    filelist::ReleaseStateItemIds(engines::RenameStore);
    filelist::FreeBrowserState(engines::RenameStore);
    filelist::ReleaseStateItemIds(listing);
    filelist::FreeBrowserState(listing);
    std::printf("files %ld renamed %ld unchanged %ld failed %ld\n", files, renamed, unchanged, failed);
    return failed ? 1 : 0;
}
