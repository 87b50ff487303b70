// Benchmark driver of the Finder: searches a tree by name mask, and by content when a text is given,
// with a Finder thread (TFinder), as the Finder window does, with a stand-in results window that only
// counts.
//
//   wux_bench_search FOLDER --mask MASKS [--text TEXT [--ignore-case]] [--list FILE]
//
// Prints "folders N found H"; --list writes the found files, relative to FOLDER with "/", one a line.
#include <QCoreApplication>
#include <QTimer>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_common.h"
#include "engines/search_thread.h"
#include "filelist/browser_state.h"
#include "filelist/list_operations.h"

using namespace wux;

namespace {

class CountingResults : public engines::IFinderResultsView
{
public:
    void ShowStatusText(const std::string&) override { ++statusTexts; }
    bool FullView() const override { return false; }
    void SetResultRowCount(std::int32_t rows) override { lastRows = rows; }

    long statusTexts = 0;
    std::int32_t lastRows = 0;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const std::string folderArg = bench::positional(argc, argv, 0, "--ignore-case");
    const std::string text = bench::optionValue(argc, argv, "--text");
    const std::string mask = bench::optionValue(argc, argv, "--mask", "*.*");
    const std::string listFile = bench::optionValue(argc, argv, "--list");
    if (folderArg.empty()) {
        std::fprintf(
            stderr,
            "usage: wux_bench_search FOLDER --mask MASKS [--text TEXT [--ignore-case]] [--list FILE]\n");
        return 2;
    }
    const std::string root = bench::driveRootedPath(folderArg);
    const bool ignoreCase = bench::hasOption(argc, argv, "--ignore-case");

    // As the Finder window prepares a run: 10 folders, 300 items, the mask, 10,000 text bytes.
    filelist::CreateBrowserState(engines::FinderStore, 10, 300, mask, 10000);
    const std::vector<std::string> paths{root};
    CountingResults results;
    std::int32_t found = 0;
    std::int32_t folders = 0;
    {
        engines::TFinder finder;
        finder.pathList = &paths;
        finder.recurse = true;
        finder.view = &results;
        if (!text.empty() && !finder.PrepareTextSearch(text, !ignoreCase, true)) {
            std::fprintf(stderr, "no pattern in %s\n", text.c_str());
            return 2;
        }
        finder.OnTerminate = [](platform::WuxThread&) { QCoreApplication::quit(); };
        QTimer::singleShot(0, [&finder] { finder.Start(); });
        QCoreApplication::exec();
        finder.WaitFor();
        if (finder.failed()) {
            std::fprintf(stderr, "the search failed: %s\n", finder.failureMessage().c_str());
            return 1;
        }
    }

    FILE* out = listFile.empty() ? nullptr : std::fopen(listFile.c_str(), "w");
    {
        filelist::StateAccess access(engines::FinderStore);
        folders = engines::FinderStore.folderCount;
        for (std::int32_t folder = 1; folder <= folders; ++folder) {
            const filelist::TBrowserFolder& record = access.Folder(folder);
            std::string relative(access.Path(record));
            relative =
                relative.size() > root.size() ? relative.substr(root.size() + 1) + "\\" : std::string();
            for (char& c : relative)
                if (c == '\\')
                    c = '/';
            for (std::int32_t position = 1; position <= record.count; ++position) {
                const filelist::TBrowserItem& item = *access.ItemAt(folder, position);
                if (item.attributes & filelist::kDirectoryAttribute)
                    continue;
                ++found;
                if (out != nullptr) {
                    const std::string line = relative + std::string(access.Name(item)) + "\n";
                    std::fputs(line.c_str(), out);
                }
            }
        }
    }
    if (out != nullptr)
        std::fclose(out);
    std::printf("folders %d found %d\n", folders, found);
    filelist::ReleaseStateItemIds(engines::FinderStore);
    filelist::FreeBrowserState(engines::FinderStore);
    return 0;
}
