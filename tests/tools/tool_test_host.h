// The main window as the Finder, the Renamer and the results window see it, for tests: it records
// what the windows ask of it and plays a browser panel over a test's list.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "controls/image_list.h"
#include "core/ring_list.h"
#include "filelist/active_panel.h"
#include "filelist/basket.h"
#include "tools/search_results.h"
#include "tools/tool_host.h"
#include "tools/tool_host_double.h"

namespace wux::tools::test {

class TestPanel : public filelist::IBrowserPanel
{
public:
    std::int32_t ViewMode() const override { return viewMode; }
    filelist::TstateOfBrowser& Listing() override { return *listing; }
    filelist::TstateOfBrowser& BasketView() override { return filelist::LeftBasketState; }
    void SelectCursorItem(std::int32_t) override {}
    void Repaint() override { ++repaints; }
    std::string MainCaption() const override { return "Wuxtool"; }

    std::int32_t viewMode = filelist::kViewBrief;
    filelist::TstateOfBrowser* listing = nullptr;
    int repaints = 0;
};

// The tool host double with the panels of the main window.
class TestHost : public wux::test::ToolHostDouble, public IToolPanelsHost
{
public:
    TestHost()
        : previousPanels_(setToolPanelsHost(this))
    {
        previousActive_ = [this]() -> filelist::IBrowserPanel* { return panelVisible ? &panel : nullptr; };
        filelist::SetActivePanelSource(previousActive_);
    }
    ~TestHost() override
    {
        setToolPanelsHost(previousPanels_);
        filelist::SetActivePanelSource(nullptr);
    }

    // IToolPanelsHost
    void RefreshPanels() override { ++refreshes; }
    void UpdateLaunchAction() override { ++launchUpdates; }
    void SetActiveForm(QWidget* form) override { activeForm = form; }
    filelist::IBrowserPanel* PanelBesideTools() override { return panelVisible ? &panel : nullptr; }
    bool GoToFile(const std::string& folder, const std::string& name) override
    {
        if (!panelVisible)
            return false;
        goTo.emplace_back(folder, name);
        return true;
    }
    void ShowBasketInActivePanel() override { ++basketShown; }
    core::TVYK_RingList& SelectionMaskHistory() override { return masks; }
    controls::TImageList* HeaderImages() override { return nullptr; }

    TestPanel panel;
    bool panelVisible = true;
    int refreshes = 0;
    int launchUpdates = 0;
    QWidget* activeForm = nullptr;
    std::vector<std::pair<std::string, std::string>> goTo;
    int basketShown = 0;
    core::TVYK_RingList masks;

private:
    IToolPanelsHost* previousPanels_;
    filelist::ActivePanelSource previousActive_;
};

// Runs f on the next modal dialog that opens (polling the event loop), e.g. to answer a query.
inline void onNextModal(std::function<void(QDialog&)> f)
{
    auto* timer = new QTimer();
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, f = std::move(f)] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr)
            return;
        timer->stop();
        timer->deleteLater();
        f(*dialog);
    });
    timer->start();
}

} // namespace wux::tools::test
