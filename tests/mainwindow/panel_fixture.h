// What the browser panel tests share: a host double that records what the panel asks of the main
// window, and a fixture with drives c: and d: in temporary folders, a removable e: without a medium,
// the Basket, and one panel shown offscreen.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

#include "controls/speed_button_new.h"
#include "controls/wux_string_grid.h"
#include "core/text_table.h"
#include "filelist/basket.h"
#include "filelist/drive_list.h"
#include "filelist/general_options.h"
#include "mainwindow/browser_form.h"
#include "mainwindow/browser_host.h"
#include "mainwindow/choice_drive.h"
#include "mainwindow/drive_bar.h"
#include "mainwindow/settings.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::mainwindow::panel_test {

class FakePanelHost : public IBrowserHost
{
public:
    QWidget* ActiveForm() const override { return active; }
    void SetActiveForm(QWidget* form) override { active = form; }
    void UpdateLaunchAction() override { ++launchUpdates; }
    void AlignToolPanelTop() override { ++alignCalls; }
    void PressSharedDriveButton(int driveIndex) override { sharedPressed.push_back(driveIndex); }
    void SyncSharedDriveButtons(const TBrowserForm&) override { ++syncCalls; }
    void ShowDriveInfo(const QString& text, int) override { infoText = text; }
    void UpdateViewButtons(bool jump, bool brief, bool full) override
    {
        jumpEnabled = jump;
        briefDown = brief;
        fullDown = full;
    }
    void SendSelectionToBasket() override { ++basketSends; }
    controls::TImageList* UpDownImages() const override { return nullptr; }
    controls::TImageList* ImageListBrowser() const override { return nullptr; }
    controls::TImageList* ImageListBrowser2() const override { return nullptr; }
    QMenu* FavoritesMenu() const override { return nullptr; }
    std::string MainCaption() const override { return "Wuxtool"; }

    QWidget* active = nullptr;
    int launchUpdates = 0;
    int alignCalls = 0;
    int syncCalls = 0;
    int basketSends = 0;
    std::vector<int> sharedPressed;
    QString infoText;
    bool jumpEnabled = false;
    bool briefDown = false;
    bool fullDown = false;
};

// Answers the drive choice dialog from a script: each entry is the index chosen (OK) or -1 (Cancel).
class ScriptedDriveChoice
{
public:
    explicit ScriptedDriveChoice(std::vector<int> answers) : answers_(std::move(answers))
    {
        previous_ = SetChooseDriveHook([this](int& index) {
            asked.push_back(index);
            if (next_ >= answers_.size())
                return false; // the user gives up
            const int answer = answers_[next_++];
            if (answer < 0)
                return false;
            index = answer;
            return true;
        });
    }
    ~ScriptedDriveChoice() { SetChooseDriveHook(previous_); }
    std::vector<int> asked; // the index preselected each time the dialog was shown

private:
    std::vector<int> answers_;
    std::size_t next_ = 0;
    ChooseDriveHook previous_;
};

class PanelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        core::registerCoreTexts();
        filelist::RegisterDriveListTexts();
        RegisterBrowserTexts();
        drives.mapDrive('e', drives.base() + "/no-medium", platform::kDriveRemovable);
        filelist::BuildDriveList(filelist::DriveList, filelist::kDriveListBasket);
        if (filelist::BasketState.folders)
            filelist::FreeBrowserState(filelist::BasketState);
        filelist::CreateBasketState(filelist::BasketState);
        DriveDirectories.clear();
        BrowserFont() = QApplication::font();
        savedOptions = filelist::GeneralCheckContainer.load();
        savedColors = MainColors;
    }
    void TearDown() override
    {
        panel.reset();
        filelist::GeneralCheckContainer = savedOptions;
        MainColors = savedColors;
    }

    // A panel on folder (a "c:\..." path), in view mode, laid out at the given size.
    TBrowserForm& open(const std::string& folder, std::int32_t mode = 2, QSize size = QSize(420, 300),
                       const QString& name = QStringLiteral("LeftBrowser"))
    {
        panel = std::make_unique<TBrowserForm>(host, name);
        panel->resize(size);
        panel->ApplyLayout(0xF1 | 0x4);
        panel->show();
        panel->InitPanel(folder, "*.*", 8);
        panel->RebuildDriveControls();
        panel->SetBrowserMode(mode);
        panel->UpdateHeader();
        panel->UpdateGrid();
        QApplication::processEvents();
        return *panel;
    }

    controls::TWUXStringGrid& grid() { return *panel->sgBrowser(); }

    // Files f01 .. fNN in a folder of c:.
    void makeFiles(const std::string& folder, int count)
    {
        for (int i = 1; i <= count; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "f%02d.txt", i);
            wux::test::createFile(drives.path(folder + "\\" + name), "x");
        }
    }

    // The name of the item under the cursor (stored spelling).
    std::string cursorName()
    {
        std::string name;
        panel->GetItemNameAt(panel->Cursor(), name);
        return name;
    }

    // Sends a key to the grid as the user would press it.
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(&grid(), Qt::Key(key), modifiers);
    }

    wux::test::TempDrive drives{"cd"};
    FakePanelHost host;
    std::unique_ptr<TBrowserForm> panel;
    std::uint32_t savedOptions = 0;
    std::array<QColor, kColorSlotCount> savedColors{};
};

} // namespace wux::mainwindow::panel_test
