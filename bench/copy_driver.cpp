// Benchmark driver of the file operations: a panel shows the sources' parent folder with the sources
// marked, and a copy run (TOperations) copies them into the target folder, as the copy command does; a
// stand-in progress window answers every question with Cancel and counts them.
//
//   wux_bench_copy SOURCE... TARGET-FOLDER
//
// Each SOURCE (a file or folder; all in one folder) is copied to TARGET-FOLDER/name, in the panel's name
// order; the target folder is created when missing.
// Prints "files N bytes B questions Q". The run shows the busy cursor and may show message boxes, so the
// driver is a widget application (on the offscreen platform unless QT_QPA_PLATFORM says otherwise).
#include <QApplication>
#include <QMetaObject>
#include <QTimer>

#include <sys/stat.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "bench/bench_common.h"
#include "filelist/active_panel.h"
#include "filelist/browser_state.h"
#include "filelist/file_operations.h"
#include "filelist/folder_reader.h"
#include "filelist/list_operations.h"
#include "filelist/operation_cursor.h"
#include "platform/paths.h"

using namespace wux;

namespace {

class BenchPanel : public filelist::IBrowserPanel
{
public:
    BenchPanel(filelist::TstateOfBrowser& listing, filelist::TstateOfBrowser& basketView)
        : listing_(listing), basketView_(basketView)
    {
    }
    std::int32_t ViewMode() const override { return filelist::kViewBrief; }
    filelist::TstateOfBrowser& Listing() override { return listing_; }
    filelist::TstateOfBrowser& BasketView() override { return basketView_; }
    void SelectCursorItem(std::int32_t) override {}
    void Repaint() override {}
    std::string MainCaption() const override { return "Wuxtool"; }

private:
    filelist::TstateOfBrowser& listing_;
    filelist::TstateOfBrowser& basketView_;
};

// The progress window and the question dialog: no window, every question answered with Cancel.
class HeadlessOperationUi : public filelist::IFileOperationUi
{
public:
    bool ProgressWindowShown() const override { return true; }
    void ShowProgress(std::int32_t, std::int32_t) override {}
    void ShowNames(std::string_view, std::string_view) override {}
    filelist::ConfirmationAnswer Ask(const filelist::ConfirmationQuestion& question) override
    {
        ++questions;
        std::fprintf(stderr, "question: %s %s %s\n", question.caption.c_str(), question.Name1.c_str(),
                     question.Info1.c_str());
        return filelist::ConfirmationAnswer::Cancel;
    }
    void PostCloseCommand() override
    {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    }

    std::atomic<int> questions{0};
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::vector<std::string> args;
    for (int i = 0; !bench::positional(argc, argv, i).empty(); ++i)
        args.push_back(bench::positional(argc, argv, i));
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: wux_bench_copy SOURCE... TARGET-FOLDER\n");
        return 2;
    }
    const std::string targetArg = args.back();
    args.pop_back();
    if (targetArg.front() == '/')
        ::mkdir(targetArg.c_str(), 0755);
    const std::string target = bench::driveRootedPath(targetArg);
    std::string sourceFolder;
    std::set<std::string> sourceNames;
    for (const std::string& sourceArg : args) {
        std::string folder, name;
        platform::splitWindowsPath(bench::driveRootedPath(sourceArg), folder, name);
        if (!sourceFolder.empty() && folder != sourceFolder) {
            std::fprintf(stderr, "the sources are not in one folder\n");
            return 2;
        }
        sourceFolder = folder;
        sourceNames.insert(name);
    }

    filelist::TstateOfBrowser listing;
    filelist::TstateOfBrowser basketView;
    filelist::CreateBrowserState(listing, 1, 300, "*.*", 10000);
    if (!filelist::SetStateToPath(sourceFolder, listing) ||
        !filelist::ReadFolder(1, filelist::kReadMasksFilesOnly, listing)) {
        std::fprintf(stderr, "cannot read %s\n", sourceFolder.c_str());
        return 1;
    }
    filelist::SortFolder(1, filelist::kSortDefault, listing);
    {
        // The user's marks on the sources (a mask would skip folders with the default options).
        filelist::StateAccess access(listing);
        const filelist::TBrowserFolder& folder = access.Folder(1);
        for (std::int32_t n = 0; n < folder.count; ++n) {
            filelist::TBrowserItem& item = access.items[folder.firstItem + static_cast<std::uint32_t>(n)];
            if (sourceNames.count(std::string(access.Name(item))) != 0)
                item.flags |= filelist::kMarkOwn;
        }
    }
    filelist::RecalcSelection(listing);
    if (listing.selectedCount != static_cast<std::int32_t>(sourceNames.size())) {
        std::fprintf(stderr, "a source is missing in %s\n", sourceFolder.c_str());
        return 1;
    }
    BenchPanel panel(listing, basketView);
    filelist::SetActivePanelSource([&panel] { return &panel; });

    HeadlessOperationUi ui;
    std::int32_t files = 0;
    std::uint64_t bytes = 0;
    bool ok = false;
    if (filelist::PrepareOperationSource(0)) {
        filelist::FileOperationSession session(filelist::TFileOperationKind::Copy, "Wuxtool");
        if (session.Prepare(target + "\\")) {
            std::unique_ptr<filelist::TOperations> worker = session.CreateWorker(ui);
            QTimer::singleShot(0, [&worker] { worker->Start(); });
            QCoreApplication::exec();
            worker->WaitFor();
            ok = !worker->failed() && !worker->Terminated();
            if (worker->failed())
                std::fprintf(stderr, "the run failed: %s\n", worker->failureMessage().c_str());
            files = session.run.FilesDone;
            bytes = session.run.BytesDone;
            worker.reset();
            session.Finish();
        }
        filelist::EndStateHandOver();
    }
    filelist::SetActivePanelSource(nullptr);
    filelist::ReleaseStateItemIds(listing);
    filelist::FreeBrowserState(listing);
    std::printf("files %d bytes %llu questions %d\n", files, static_cast<unsigned long long>(bytes),
                ui.questions.load());
    return ok && ui.questions == 0 ? 0 : 1;
}
