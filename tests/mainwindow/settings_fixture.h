// A main window double and a program folder "c:\prog" with its own settings file, registry and dialog
// service, for the settings, start-up and options tests.
#pragma once

#include <QWidget>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/settings_path.h"
#include "core/text_table.h"
#include "filelist/general_options.h"
#include "filelist/item_actions.h"
#include "mainwindow/settings.h"
#include "platform/dialogs.h"
#include "platform/fault_injection.h"
#include "platform/registry.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"
#include "tools/tool_list.h"

namespace wux::mainwindow::test {

// Records what the settings ask of the main window.
class FakeHost : public MainWindowHost
{
public:
    QWidget* hostWindow() override { return &window; }
    int modeActionCount() const override { return 5; }
    int splitterRatio() const override { return ratio; }
    void setSplitterRatio(int value) override { ratio = value; }
    bool leftBrowserIsActive() const override { return leftActive; }
    bool panelsSwapped() const override { return swapped; }
    void savePanelSettings() override { calls.push_back("savePanelSettings"); }
    void applyMainWindowLayout(std::uint32_t layout) override
    {
        calls.push_back("window " + std::to_string(layout));
    }
    void applyPanelLayout(std::uint32_t layout) override
    {
        calls.push_back("panels " + std::to_string(layout));
    }
    void alignToolPanelTop() override { calls.push_back("alignToolPanelTop"); }
    void refreshPanels() override { calls.push_back("refreshPanels"); }
    void updatePanelGrids() override { calls.push_back("updatePanelGrids"); }
    void applyLanguage() override { calls.push_back("applyLanguage"); }

    QWidget window;
    int ratio = 5000;
    bool leftActive = false;
    bool swapped = false;
    std::vector<std::string> calls;
};

// Sets an environment variable for the length of a scope.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

// Every process-wide setting back to its first-start value.
inline void resetSettings()
{
    Layout = kDefaultLayout;
    ToolsInRightSide = true;
    CurrentMode = 0;
    SavedMode = 1;
    MustSwapPanels = false;
    ShowTips = 1;
    OptionsApplied = 0;
    filelist::GeneralCheckContainer = filelist::kDefaultGeneralCheckContainer;
    filelist::ViewerProgram = filelist::EditorProgram = "notepad.exe";
    for (int slot = 1; slot <= kColorSlotCount; ++slot) {
        MainColorIndexes[slot - 1] = 0;
        MainColors[slot - 1] = colorFromBgr(ColorOfIndex(0, slot));
    }
    BrowserFont() = defaultBrowserFont();
    MaskSelectionHistory().FreeStrings();
    FilterHistory().FreeStrings();
    FavoriteNames().clear();
    FavoriteDirectories().clear();
    core::classTranslator().ResetTranslations();
    core::classTranslator().LanguageName.clear();
}

class SettingsTest : public wux::test::TempDriveTest
{
protected:
    SettingsTest()
    {
        static const bool textsRegistered = (core::registerCoreTexts(), true);
        (void)textsRegistered;
        wux::test::makeFolder(path("prog"));
        core::setProgramFolder(path("prog"));
        tools::SetSettingsFileName(iniPath);
        resetSettings();
    }
    ~SettingsTest() override
    {
        tools::ClearToolList();
        tools::SetSettingsFileName("");
        tools::SetHelpFileName("");
        core::setProgramFolder("");
        resetSettings();
    }

    std::string iniBytes() const
    {
        return wux::test::exists(iniPath) ? wux::test::readFileBytes(iniPath) : std::string("<missing>");
    }
    std::string languageValue() const
    {
        platform::Registry registry(platform::RegistryRoot::kLocalMachine);
        std::string value = "<missing>";
        if (registry.openKeyReadOnly(kProgramKey) == platform::kErrorSuccess)
            registry.readString(kLanguageValue, value);
        return value;
    }

    platform::ScopedFaultClear faults;
    ScopedEnv config{"XDG_CONFIG_HOME", posix("config")};
    platform::ScriptedDialogService dialogs;
    platform::ScopedDialogService dialogScope{dialogs};
    std::string iniPath = path("prog\\wux.ini");
    FakeHost host;
};

} // namespace wux::mainwindow::test
