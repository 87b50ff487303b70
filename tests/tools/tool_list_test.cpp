#include "tools/tool_list.h"

#include <QAction>
#include <QLabel>
#include <QVBoxLayout>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/text_table.h"

namespace wux::tools {
namespace {

// A tool form that records every call made through the interface.
class RecordingForm : public QWidget, public IToolForm
{
public:
    RecordingForm(QWidget* parent, std::vector<std::string>& log, std::string name)
        : QWidget(parent), log_(log), name_(std::move(name))
    {
    }
    void InitTool() override { record("InitTool"); }
    void RegisterDefaultTexts(int baseId) override
    {
        record("RegisterDefaultTexts " + std::to_string(baseId));
        const std::string title = "Title " + name_;
        core::registerDefaultTexts({{baseId, title.c_str()}, {baseId + 1, "Hint"}});
    }
    void Translate(int baseId) override { record("Translate " + std::to_string(baseId)); }
    void LoadSettings() override { record("LoadSettings"); }
    void SaveSettings() override { record("SaveSettings"); }
    bool CanStart(filelist::TstateOfBrowser* state) override
    {
        record("CanStart");
        return state != nullptr;
    }
    void StartOperation() override { record("StartOperation"); }
    void ShowHelp() override { record("ShowHelp"); }
    void ShowTitle(bool visible) override { record(std::string("ShowTitle ") + (visible ? "1" : "0")); }
    core::TUserParameters* GetParameters() override { return nullptr; }

private:
    void record(const std::string& call) { log_.push_back(name_ + ": " + call); }
    std::vector<std::string>& log_;
    std::string name_;
};

class ToolListTest : public ::testing::Test
{
protected:
    ToolListTest()
    {
        ClearToolList();
        // Finder (interface), Renamer (a plain widget without it), Replacer (interface).
        add(800, "A", QSize(300, 120));
        TTool::Create(
            &panel, [](QWidget* parent) { return new QLabel(parent); }, 1800, nullptr)
            ->Form->setMinimumSize(250, 400);
        add(500, "B", QSize(410, 90));
    }
    ~ToolListTest() override
    {
        ClearToolList();
        core::classTranslator().ResetTranslations();
    }
    void add(int titleId, const std::string& name, QSize minimum)
    {
        TTool::Create(
            &panel, [&](QWidget* parent) { return new RecordingForm(parent, log, name); }, titleId,
            new QAction(&panel))
            ->Form->setMinimumSize(minimum);
    }
    QWidget* form(int index) { return ToolList()[index]->Form.data(); }

    QWidget panel;
    std::vector<std::string> log;
};

TEST_F(ToolListTest, ToolsAreNumberedFromTwoAndSetUpThroughTheInterface)
{
    std::vector<int> ids;
    for (const auto& tool : ToolList())
        ids.push_back(tool->Id);
    EXPECT_EQ(ids, (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(log, (std::vector<std::string>{"A: RegisterDefaultTexts 800", "A: InitTool",
                                             "B: RegisterDefaultTexts 500", "B: InitTool"}));
    ASSERT_NE(panel.layout(), nullptr);
    EXPECT_EQ(panel.layout()->indexOf(form(2)), 2);
    EXPECT_EQ(ToolList()[1]->toolForm(), nullptr);
    // Shown with their panel, the forms stay hidden until a mode shows one of them.
    panel.show();
    EXPECT_FALSE(form(0)->isVisible() || form(1)->isVisible() || form(2)->isVisible());
    EXPECT_LT(panel.minimumSizeHint().height(), 400);
}

TEST_F(ToolListTest, CallsReachTheFormsWithTheInterfaceOfTheirMode)
{
    log.clear();
    auto* state = reinterpret_cast<filelist::TstateOfBrowser*>(&log);
    LoadAllToolSettings();
    SaveAllToolSettings();
    ShowToolTitles(0xD1);
    EXPECT_TRUE(CanLaunchTool(4, state));
    EXPECT_FALSE(CanLaunchTool(4, nullptr));
    EXPECT_FALSE(CanLaunchTool(3, state)); // no interface: never asked
    LaunchToolOperation(2);
    EXPECT_TRUE(ToolHelp(2));
    EXPECT_FALSE(ToolHelp(3));
    EXPECT_EQ(log,
              (std::vector<std::string>{"A: LoadSettings", "B: LoadSettings", "A: SaveSettings",
                                        "B: SaveSettings", "A: ShowTitle 0", "B: ShowTitle 0", "B: CanStart",
                                        "B: CanStart", "A: StartOperation", "A: ShowHelp"}));
    EXPECT_EQ(ToolForm(3), form(1));
    panel.show();
    ShowTool(3);
    EXPECT_EQ(std::vector<bool>({form(0)->isVisible(), form(1)->isVisible(), form(2)->isVisible()}),
              std::vector<bool>({false, true, false}));

    // A mode without a tool: nothing asked, nothing shown.
    log.clear();
    for (int mode : {1, 0, 5, -2}) {
        EXPECT_FALSE(CanLaunchTool(mode, state));
        EXPECT_FALSE(ToolHelp(mode));
        EXPECT_EQ(ToolForm(mode), nullptr);
        LaunchToolOperation(mode);
        ShowTool(mode);
        EXPECT_FALSE(form(0)->isVisible() || form(1)->isVisible() || form(2)->isVisible()) << mode;
    }
    EXPECT_TRUE(log.empty());
}

TEST_F(ToolListTest, ConstraintsTakeTheLargestMinimumsAndFreeTheForms)
{
    auto* inner = new QVBoxLayout(form(1));
    inner->setContentsMargins(0, 0, 0, 0);
    (new QWidget(form(1)))->setMinimumSize(433, 50);
    inner->addWidget(form(1)->findChild<QWidget*>());
    form(1)->setMinimumSize(0, 400);
    SetToolConstraints();
    EXPECT_EQ(ToolConstraints(), (TSizeConstraints{433, 433, 400, 0}));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(form(i)->minimumSize(), QSize(0, 0));
        EXPECT_EQ(form(i)->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    }
}

TEST_F(ToolListTest, RetranslateGivesEveryToolAndItsActionTheTitleAndHint)
{
    core::registerDefaultTexts({{1800, "Renamer"}, {1801, "Rename files"}});
    core::classTranslator().SetTranslation(801, "Dateien suchen");
    log.clear();
    RetranslateTools();
    EXPECT_EQ(log, (std::vector<std::string>{"A: Translate 800", "B: Translate 500"}));
    EXPECT_EQ(ToolList()[0]->Caption, "Title A");
    EXPECT_EQ(ToolList()[0]->Action->toolTip().toStdString(), "Dateien suchen");
    EXPECT_EQ(ToolList()[0]->Action->text().toStdString(), "Title A");
    EXPECT_EQ(ToolList()[1]->Hint, "Rename files"); // also without the interface
}

TEST_F(ToolListTest, AFormDestroyedByItsOwnerIsSkipped)
{
    delete form(0);
    log.clear();
    LoadAllToolSettings();
    SetToolConstraints();
    ShowTool(2);
    EXPECT_EQ(ToolForm(2), nullptr);
    EXPECT_FALSE(ToolHelp(2));
    EXPECT_EQ(log, std::vector<std::string>{"B: LoadSettings"});
}

} // namespace
} // namespace wux::tools
