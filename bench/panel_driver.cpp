// Benchmark driver of a browser panel: opens a folder in a real panel (offscreen), paints it, and pages
// through it to its end, as a user holding Page Down does.
//
//   wux_bench_panel FOLDER [--width W] [--height H] [--view 1|2]   (2 full, the default; 1 brief)
//
// Prints "entries N listing_ms L open_ms O page_median_ms P page_max_ms M pages K":
//   listing_ms  the listing alone (point a file list at the folder, read, sort, count), as wux_bench_list;
//   open_ms     ChangeDirectory in the panel until its grid is painted;
//   page_*      one Page Down key on the grid until it is painted again.
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_common.h"
#include "controls/wux_string_grid.h"
#include "core/text_table.h"
#include "filelist/basket.h"
#include "filelist/drive_list.h"
#include "filelist/folder_reader.h"
#include "filelist/list_operations.h"
#include "mainwindow/browser_form.h"
#include "mainwindow/browser_host.h"

using namespace wux;

namespace {

class BenchHost : public mainwindow::IBrowserHost
{
public:
    QWidget* ActiveForm() const override { return active; }
    void SetActiveForm(QWidget* form) override { active = form; }
    void UpdateLaunchAction() override {}
    void AlignToolPanelTop() override {}
    void PressSharedDriveButton(int) override {}
    void SyncSharedDriveButtons(const mainwindow::TBrowserForm&) override {}
    void ShowDriveInfo(const QString&, int) override {}
    void UpdateViewButtons(bool, bool, bool) override {}
    void SendSelectionToBasket() override {}
    controls::TImageList* UpDownImages() const override { return nullptr; }
    controls::TImageList* ImageListBrowser() const override { return nullptr; }
    controls::TImageList* ImageListBrowser2() const override { return nullptr; }
    QMenu* FavoritesMenu() const override { return nullptr; }
    std::string MainCaption() const override { return "bench"; }
    QWidget* active = nullptr;
};

double listingAlone(const std::string& folder)
{
    QElapsedTimer timer;
    timer.start();
    filelist::TstateOfBrowser state;
    filelist::CreateBrowserState(state, 1, 300, "*.*", 10000);
    if (!filelist::SetStateToPath(folder, state) ||
        !filelist::ReadFolder(1, filelist::kReadMasksFilesOnly, state))
        return -1;
    filelist::SortFolder(1, state.sortWord, state);
    filelist::RecalcSelection(state);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    filelist::ReleaseStateItemIds(state);
    filelist::FreeBrowserState(state);
    return ms;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string folderArg = bench::positional(argc, argv, 0);
    if (folderArg.empty()) {
        std::fprintf(stderr, "usage: wux_bench_panel FOLDER [--width W] [--height H]\n");
        return 2;
    }
    const std::string folder = bench::driveRootedPath(folderArg);
    const int width = std::stoi(bench::optionValue(argc, argv, "--width", "800"));
    const int height = std::stoi(bench::optionValue(argc, argv, "--height", "600"));
    const int view = std::stoi(bench::optionValue(argc, argv, "--view", "2")) == 1 ? 1 : 2;

    core::registerCoreTexts();
    filelist::RegisterDriveListTexts();
    mainwindow::RegisterBrowserTexts();
    filelist::BuildDriveList(filelist::DriveList, filelist::kDriveListBasket);
    filelist::CreateBasketState(filelist::BasketState);
    filelist::InitIconReader();

    const double listingMs = listingAlone(folder);
    if (listingMs < 0) {
        std::fprintf(stderr, "cannot read %s\n", folderArg.c_str());
        return 1;
    }

    BenchHost host;
    mainwindow::TBrowserForm panel(host, "LeftBrowser");
    panel.resize(width, height);
    panel.ApplyLayout(0xF1);
    panel.show();
    // Start on the folder's parent, so that the timed change reads the folder itself.
    std::string parent = folder;
    parent.erase(parent.find_last_of('\\') == std::string::npos ? 0 : parent.find_last_of('\\'));
    panel.InitPanel(parent.size() > 2 ? parent : folder.substr(0, 2) + "\\", "*.*", 8);
    panel.SetBrowserMode(view);
    panel.UpdateHeader();
    panel.UpdateGrid();
    QApplication::processEvents();
    controls::TWUXStringGrid* grid = panel.sgBrowser();
    grid->setFocus();

    QElapsedTimer timer;
    timer.start();
    panel.ChangeDirectory(folder, "");
    grid->viewport()->repaint();
    const double openMs = double(timer.nsecsElapsed()) / 1e6;

    std::vector<double> steps;
    const std::int32_t last = panel.Listing().rowCount - 1;
    while (panel.Cursor() < last && steps.size() < 1000000) {
        timer.restart();
        QKeyEvent key(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
        QApplication::sendEvent(grid, &key);
        grid->viewport()->repaint();
        steps.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    panel.StopWorker();
    std::vector<double> sorted = steps;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted.empty() ? 0 : sorted[sorted.size() / 2];
    const double worst = sorted.empty() ? 0 : sorted.back();
    std::printf("entries %d listing_ms %.2f open_ms %.2f page_median_ms %.3f page_max_ms %.3f pages %zu\n",
                panel.Listing().rowCount, listingMs, openMs, median, worst, steps.size());
    return panel.Cursor() == last ? 0 : 1;
}
