// The main window as the Finder, the Renamer and the results window see it, for tests: it records
// what the windows ask of it and plays a browser panel over a test's list.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "controls/image_list.h"
#include "core/ring_list.h"
#include "core/text_table.h"
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
    TestHost() : previousPanels_(setToolPanelsHost(this))
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

// What a control shows as its caption: a button's or a label's text, a group's title, a page's tab.
inline std::string shownText(QWidget& root, const char* name)
{
    QWidget* widget = root.findChild<QWidget*>(QString::fromLatin1(name));
    if (widget == nullptr)
        return "<none>";
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text().toStdString();
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text().toStdString();
    if (auto* group = qobject_cast<QGroupBox*>(widget))
        return group->title().toStdString();
    for (auto* tabs = root.findChild<QTabWidget*>(); tabs != nullptr;)
        return tabs->tabText(tabs->indexOf(widget)).toStdString();
    return "<no caption>";
}

// Every text number base + offset translated as "#offset", then the captions of the controls.
struct CaptionCase
{
    const char* control;
    int offset;
};
template <typename Form>
void expectTranslatedCaptions(Form& form, int base, std::initializer_list<CaptionCase> cases)
{
    for (const CaptionCase& c : cases)
        core::classTranslator().SetTranslation(base + c.offset, "#" + std::to_string(c.offset));
    form.Translate(base);
    for (const CaptionCase& c : cases)
        EXPECT_EQ(shownText(form, c.control), "#" + std::to_string(c.offset)) << c.control;
    core::classTranslator().ResetTranslations();
}

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
