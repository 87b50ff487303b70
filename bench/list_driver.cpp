// Benchmark driver of a panel's listing: points a file list at a folder, reads it, sorts it by name and
// counts the totals, as a panel does when it shows a folder.
//
//   wux_bench_list FOLDER [--sort WORD] [--mask MASKS] [--names FILE]
//
// Prints "entries N files F folders D bytes B"; --names writes every name in display order, one a line.
#include <cstdint>
#include <cstdio>
#include <string>

#include "bench/bench_common.h"
#include "filelist/browser_state.h"
#include "filelist/folder_reader.h"
#include "filelist/list_operations.h"

using namespace wux;

int main(int argc, char** argv)
{
    const std::string folder = bench::positional(argc, argv, 0);
    if (folder.empty()) {
        std::fprintf(stderr, "usage: wux_bench_list FOLDER [--sort WORD] [--mask MASKS] [--names FILE]\n");
        return 2;
    }
    const std::uint32_t sortWord = filelist::MaskSortWord(
        static_cast<std::uint32_t>(std::stoul(bench::optionValue(argc, argv, "--sort", "8"))));
    const std::string mask = bench::optionValue(argc, argv, "--mask", "*.*");
    const std::string namesFile = bench::optionValue(argc, argv, "--names");

    // As a panel sets itself up: 1 folder, 300 items, 10,000 text bytes; the blocks grow while reading.
    filelist::TstateOfBrowser state;
    filelist::CreateBrowserState(state, 1, 300, mask, 10000);
    state.sortWord = sortWord;
    if (!filelist::SetStateToPath(bench::driveRootedPath(folder), state) ||
        !filelist::ReadFolder(1, filelist::kReadMasksFilesOnly, state)) {
        std::fprintf(stderr, "cannot read %s\n", folder.c_str());
        return 1;
    }
    filelist::SortFolder(1, state.sortWord, state);
    filelist::RecalcSelection(state);

    std::int32_t count = 0;
    {
        filelist::StateAccess access(state);
        count = access.Folder(1).count;
        if (!namesFile.empty()) {
            FILE* out = std::fopen(namesFile.c_str(), "w");
            if (out == nullptr) {
                std::perror(namesFile.c_str());
                return 1;
            }
            for (std::int32_t position = 1; position <= count; ++position) {
                const std::string_view name = access.Name(*access.ItemAt(1, position));
                std::fwrite(name.data(), 1, name.size(), out);
                std::fputc('\n', out);
            }
            std::fclose(out);
        }
    }
    std::printf("entries %d files %d folders %d bytes %llu\n", count, state.fileCount,
                count - state.fileCount, static_cast<unsigned long long>(state.totalBytes));
    filelist::ReleaseStateItemIds(state);
    filelist::FreeBrowserState(state);
    return 0;
}
