// Benchmark driver of the Replacer and the Batch Replacer over plain files: lists a folder as a panel
// does, then runs a Replacer (TReplacer) or Batch Replacer (TBatchReplacer) thread over every regular
// file of it, without backups. The driver stands in for the run window: on the application's event
// loop it hands the thread one file after the other and adds up the results the thread reports.
//
//   wux_bench_replace FOLDER --find TEXT --replace TEXT [--per-file]   mode 1 (replace), case-sensitive
//   wux_bench_replace FOLDER --table FILE [--per-file]                 mode 256; FILE: "find<TAB>replace"
//                                                                      lines, every row case-sensitive
//
// --per-file calls the plain-file replacer directly on this thread instead (the engine alone).
// Prints "files N changed M hits H failed F".
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QTimer>

#include "bench/bench_common.h"
#include "engines/base_replacer.h"
#include "engines/batch_table.h"
#include "engines/plain_replacer.h"
#include "engines/replace_threads.h"
#include "filelist/browser_state.h"
#include "filelist/folder_reader.h"
#include "filelist/list_operations.h"
#include "platform/movable_memory.h"
#include "platform/paths.h"

using namespace wux;

namespace {

// The paths of the regular files directly in folder, in name order.
std::vector<std::string> filesOf(const std::string& folder)
{
    filelist::TstateOfBrowser state;
    filelist::CreateBrowserState(state, 1, 300, "*.*", 10000);
    std::vector<std::string> files;
    if (filelist::SetStateToPath(folder, state) &&
        filelist::ReadFolder(1, filelist::kReadMasksFilesOnly, state)) {
        filelist::SortFolder(1, filelist::kSortDefault, state);
        filelist::StateAccess access(state);
        const filelist::TBrowserFolder& record = access.Folder(1);
        for (std::int32_t position = 1; position <= record.count; ++position) {
            const filelist::TBrowserItem& item = *access.ItemAt(1, position);
            if (!(item.attributes & filelist::kDirectoryAttribute))
                files.push_back(platform::joinWindowsPath(folder, access.Name(item)));
        }
    }
    filelist::ReleaseStateItemIds(state);
    filelist::FreeBrowserState(state);
    return files;
}

struct Totals
{
    long changed = 0;
    long hits = 0;
    long failed = 0;

    void add(std::int32_t result, std::int32_t matches)
    {
        if (result & engines::kReplaceFound) {
            ++changed;
            hits += matches;
        } else if (!(result & engines::kReplaceNothingFound)) {
            ++failed;
        }
    }
};

// The run window's side of a run: hands out the files in order and collects each file's outcome.
class RunFeeder
{
public:
    explicit RunFeeder(const std::vector<std::string>& files) : files_(files) {}

    void next(filelist::TOperationFileInfo*& info)
    {
        if (index_ >= files_.size()) {
            info = nullptr;
            return;
        }
        std::string folder;
        platform::splitWindowsPath(files_[index_++], folder, name_);
        folder_ = folder;
        info_ = {name_.c_str(), folder_.c_str(), 0, static_cast<std::int32_t>(index_)};
        info = &info_;
    }

    Totals totals;

private:
    const std::vector<std::string>& files_;
    std::size_t index_ = 0;
    std::string name_;
    std::string folder_;
    filelist::TOperationFileInfo info_{};
};

// Starts the thread on the event loop, quits the loop when the thread has ended; false when it failed.
bool runOnEventLoop(platform::WuxThread& thread)
{
    thread.OnTerminate = [](platform::WuxThread&) { QCoreApplication::quit(); };
    QTimer::singleShot(0, [&thread] { thread.Start(); });
    QCoreApplication::exec();
    thread.WaitFor();
    if (thread.failed())
        std::fprintf(stderr, "the run failed: %s\n", thread.failureMessage().c_str());
    return !thread.failed();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const std::string folderArg = bench::positional(argc, argv, 0, "--per-file");
    const std::string find = bench::optionValue(argc, argv, "--find");
    const std::string replace = bench::optionValue(argc, argv, "--replace");
    const std::string tableFile = bench::optionValue(argc, argv, "--table");
    if (folderArg.empty() || (find.empty() && tableFile.empty())) {
        std::fprintf(
            stderr,
            "usage: wux_bench_replace FOLDER (--find TEXT --replace TEXT | --table FILE) [--per-file]\n");
        return 2;
    }
    const std::string folder = bench::driveRootedPath(folderArg);

    platform::MovableHandle block;
    std::int32_t rows = 0;
    engines::TableCells flags, finds, replaces;
    std::int32_t mode = engines::kModeReplace;
    if (!tableFile.empty()) {
        mode = engines::kModeBatchTable;
        std::ifstream in(tableFile);
        for (std::string line; std::getline(in, line);) {
            const std::size_t tab = line.find('\t');
            flags.push_back(engines::YesText());
            finds.push_back(line.substr(0, tab));
            replaces.push_back(tab == std::string::npos ? std::string() : line.substr(tab + 1));
        }
        rows = static_cast<std::int32_t>(finds.size());
        const std::int32_t bad = engines::CheckAndBuildTableBlock(block, flags, finds, replaces);
        if (bad >= 0 || !block) {
            std::fprintf(stderr, "bad table row %d\n", bad + 1);
            return 2;
        }
    } else {
        block = engines::BuildReplacerStructure(find, replace, true, false, mode);
    }

    const std::vector<std::string> files = filesOf(folder);
    Totals totals;
    if (bench::hasOption(argc, argv, "--per-file")) {
        engines::TTextReplacer replacer(nullptr, mode, block, false);
        replacer.setCreateBackUpCopy(false);
        for (const std::string& file : files) {
            const engines::TReplaceResult result = mode == engines::kModeBatchTable
                                                       ? replacer.ReplaceTableInFile(file, block, rows)
                                                       : replacer.ReplaceInFile(file);
            totals.add(result, replacer.matchCount());
        }
    } else if (mode == engines::kModeBatchTable) {
        RunFeeder feeder(files);
        engines::TBatchReplacer thread;
        thread.tableBlock = block;
        thread.rowCount = rows;
        thread.backupFlag = false;
        thread.Flags = flags;
        thread.Finds = finds;
        thread.Replaces = replaces;
        thread.OnGetNextFile = [&](platform::WuxThread&, filelist::TOperationFileInfo*& info) {
            feeder.next(info);
        };
        thread.OnProgress = [&](platform::WuxThread&, engines::TReplaceResult result, std::int32_t,
                                std::int32_t matches, std::int64_t, std::int64_t,
                                platform::WinError) { feeder.totals.add(result, matches); };
        if (!runOnEventLoop(thread))
            return 1;
        block = thread.tableBlock; // marker expansion may have replaced it
        totals = feeder.totals;
    } else {
        RunFeeder feeder(files);
        engines::TReplacer thread;
        thread.searchBlock = block;
        thread.TypeOfReplacing = mode;
        thread.backupFlag = false;
        thread.OnGetNextFile = [&](platform::WuxThread&, filelist::TOperationFileInfo*& info) {
            feeder.next(info);
        };
        thread.OnProgress = [&](platform::WuxThread&, engines::TReplaceResult result, std::int32_t,
                                std::int32_t matches, std::int64_t, std::int64_t,
                                platform::WinError) { feeder.totals.add(result, matches); };
        if (!runOnEventLoop(thread))
            return 1;
        totals = feeder.totals;
    }
    platform::movableFree(block);
    std::printf("files %zu changed %ld hits %ld failed %ld\n", files.size(), totals.changed, totals.hits,
                totals.failed);
    return totals.failed ? 1 : 0;
}
