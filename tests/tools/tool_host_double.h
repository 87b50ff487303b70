// A main window for the tool windows' tests: a fixed frame, caption and toolbar height, and
// a record of every EnableMainControls call. Installed for its lifetime.
#pragma once

#include <QRect>
#include <QWidget>

#include <string>
#include <vector>

#include "tools/tool_host.h"

namespace wux::test {

class ToolHostDouble : public tools::IToolHost
{
public:
    ToolHostDouble() : previous_(tools::setToolHost(this)) {}
    ~ToolHostDouble() override { tools::setToolHost(previous_); }
    ToolHostDouble(const ToolHostDouble&) = delete;
    ToolHostDouble& operator=(const ToolHostDouble&) = delete;

    QRect MainBounds() const override { return bounds; }
    std::string MainCaption() const override { return caption; }
    int ControlBarMainHeight() const override { return controlBarHeight; }
    void EnableMainControls(bool Enable) override { enableCalls.push_back(Enable); }
    QWidget* MainWidget() const override { return widget; }

    QRect bounds{100, 50, 900, 700};
    std::string caption = "Wuxtool - c:\\data";
    int controlBarHeight = 30;
    QWidget* widget = nullptr;
    std::vector<bool> enableCalls;

private:
    tools::IToolHost* previous_;
};

} // namespace wux::test
