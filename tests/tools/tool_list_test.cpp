#include "tools/tool_list.h"

#include <QAction>
#include <QLabel>
#include <QVBoxLayout>

#include <memory>
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
    RecordingForm(QWidget* parent, std::vector<std::string>* log, std::string name, QSize minimum)
        : QWidget(parent), log_(log), name_(std::move(name))
    {
        setMinimumSize(minimum);
    }

    void InitTool() override { record("InitTool"); }
    void RegisterDefaultTexts(int baseId) override
    {
        record("RegisterDefaultTexts " + std::to_string(baseId));
        const std::string title = "Title " + name_;
        const std::string hint = "Hint " + name_;
        core::registerDefaultTexts({{baseId, title.c_str()}, {baseId + 1, hint.c_str()}});
    }
    void Translate(int baseId) override { record("Translate " + std::to_string(baseId)); }
    void LoadSettings() override { record("LoadSettings"); }
    void SaveSettings() override { record("SaveSettings"); }
    bool CanStart(filelist::TstateOfBrowser* panelState) override
    {
        record("CanStart");
        lastState = panelState;
        return canStart;
    }
    void StartOperation() override { record("StartOperation"); }
    void ShowHelp() override { record("ShowHelp"); }
    void ShowTitle(bool visible) override { record(std::string("ShowTitle ") + (visible ? "1" : "0")); }
    core::TUserParameters* GetParameters() override { return nullptr; }

    bool canStart = false;
    filelist::TstateOfBrowser* lastState = nullptr;

private:
    void record(const std::string& call) { log_->push_back(name_ + ": " + call); }

    std::vector<std::string>* log_;
    std::string name_;
};

class ToolListTest : public ::testing::Test
{
protected:
    void SetUp() override { ClearToolList(); }
    void TearDown() override
    {
        ClearToolList();
        core::classTranslator().ResetTranslations();
    }

    RecordingForm* addTool(const std::string& name, int titleId, QSize minimum = QSize(0, 0))
    {
        auto* action = new QAction(&panel);
        TTool* tool = TTool::Create(
            &panel, [&](QWidget* parent) { return new RecordingForm(parent, &log, name, minimum); }, titleId,
            action);
        return static_cast<RecordingForm*>(tool->Form.data());
    }
    // A form without the interface.
    QWidget* addPlainTool(int titleId, QSize minimum = QSize(0, 0))
    {
        TTool* tool = TTool::Create(
            &panel,
            [&](QWidget* parent) {
                auto* label = new QLabel(parent);
                label->setMinimumSize(minimum);
                return label;
            },
            titleId, nullptr);
        return tool->Form.data();
    }

    QWidget panel;
    std::vector<std::string> log;
};

TEST_F(ToolListTest, CreateNumbersToolsFromTwoAndRegistersTextsBeforeSetUp)
{
    RecordingForm* finder = addTool("Finder", 800);
    addPlainTool(1800);
    RecordingForm* replacer = addTool("Replacer", 500);
    addTool("Batch", 300);

    ASSERT_EQ(ToolList().size(), 4u);
    std::vector<int> ids;
    for (const auto& tool : ToolList())
        ids.push_back(tool->Id);
    EXPECT_EQ(ids, (std::vector<int>{2, 3, 4, 5}));
    EXPECT_EQ(ToolList()[0]->TitleId, 800);
    EXPECT_EQ(ToolList()[3]->TitleId, 300);
    EXPECT_EQ(log, (std::vector<std::string>{"Finder: RegisterDefaultTexts 800", "Finder: InitTool",
                                             "Replacer: RegisterDefaultTexts 500", "Replacer: InitTool",
                                             "Batch: RegisterDefaultTexts 300", "Batch: InitTool"}));
    EXPECT_EQ(finder->parentWidget(), &panel);
    ASSERT_NE(panel.layout(), nullptr);
    EXPECT_EQ(panel.layout()->count(), 4);
    EXPECT_EQ(panel.layout()->indexOf(replacer), 2);
    EXPECT_EQ(ToolList()[1]->toolForm(), nullptr);
    EXPECT_EQ(ToolList()[0]->toolForm(), static_cast<IToolForm*>(finder));
}

TEST_F(ToolListTest, ListWideCallsReachEveryFormWithTheInterfaceInOrder)
{
    addTool("A", 800);
    addPlainTool(1800);
    addTool("B", 500);
    log.clear();

    LoadAllToolSettings();
    SaveAllToolSettings();
    ShowToolTitles(0xF1);
    ShowToolTitles(0xD1);
    RetranslateTools();
    EXPECT_EQ(log, (std::vector<std::string>{"A: LoadSettings", "B: LoadSettings", "A: SaveSettings",
                                             "B: SaveSettings", "A: ShowTitle 1", "B: ShowTitle 1",
                                             "A: ShowTitle 0", "B: ShowTitle 0", "A: Translate 800",
                                             "B: Translate 500"}));
}

TEST_F(ToolListTest, ModeCallsActOnlyOnTheToolOfThatMode)
{
    RecordingForm* a = addTool("A", 800);
    QWidget* plain = addPlainTool(1800);
    RecordingForm* b = addTool("B", 500);
    log.clear();
    auto* state = reinterpret_cast<filelist::TstateOfBrowser*>(&log);

    b->canStart = true;
    EXPECT_TRUE(CanLaunchTool(4, state));
    EXPECT_EQ(b->lastState, state);
    EXPECT_FALSE(CanLaunchTool(2, state));
    EXPECT_FALSE(CanLaunchTool(3, state)); // no interface: never asked
    LaunchToolOperation(4);
    EXPECT_TRUE(ToolHelp(2));
    EXPECT_FALSE(ToolHelp(3));
    EXPECT_EQ(log,
              (std::vector<std::string>{"B: CanStart", "A: CanStart", "B: StartOperation", "A: ShowHelp"}));

    EXPECT_EQ(ToolForm(2), a);
    EXPECT_EQ(ToolForm(3), plain);
    EXPECT_EQ(ToolForm(4), b);

    panel.show();
    ShowTool(3);
    EXPECT_FALSE(a->isVisible());
    EXPECT_TRUE(plain->isVisible());
    EXPECT_FALSE(b->isVisible());
}

struct NoToolCase
{
    int mode;
};

void PrintTo(const NoToolCase& c, std::ostream* os)
{
    *os << "mode " << c.mode;
}

class ModeWithoutToolTest : public ToolListTest, public ::testing::WithParamInterface<NoToolCase>
{
};

TEST_P(ModeWithoutToolTest, GivesNothingAndHidesEveryForm)
{
    RecordingForm* a = addTool("A", 800);
    addPlainTool(1800);
    RecordingForm* b = addTool("B", 500);
    a->canStart = b->canStart = true;
    log.clear();
    panel.show();

    const int mode = GetParam().mode;
    EXPECT_FALSE(CanLaunchTool(mode, nullptr));
    EXPECT_FALSE(ToolHelp(mode));
    EXPECT_EQ(ToolForm(mode), nullptr);
    LaunchToolOperation(mode);
    ShowTool(mode);
    EXPECT_TRUE(log.empty());
    for (const auto& tool : ToolList())
        EXPECT_FALSE(tool->Form->isVisible()) << tool->Id;
}

INSTANTIATE_TEST_SUITE_P(Modes, ModeWithoutToolTest,
                         ::testing::Values(NoToolCase{1}, NoToolCase{0}, NoToolCase{5}, NoToolCase{-2},
                                           NoToolCase{99}));

TEST_F(ToolListTest, ConstraintsTakeTheLargestMinimumsAndClearTheForms)
{
    addTool("A", 800, QSize(300, 120));
    addPlainTool(1800, QSize(250, 400));
    QWidget* b = addTool("B", 500, QSize(410, 90));
    b->setMaximumSize(500, 600);

    SetToolConstraints();
    EXPECT_EQ(ToolConstraints(), (TSizeConstraints{410, 410, 400, 0}));
    for (const auto& tool : ToolList()) {
        EXPECT_EQ(tool->Form->minimumSize(), QSize(0, 0)) << tool->Id;
        EXPECT_EQ(tool->Form->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX)) << tool->Id;
    }
}

TEST_F(ToolListTest, ConstraintsCountAFormLayoutsMinimum)
{
    QWidget* form = addPlainTool(800);
    auto* layout = new QVBoxLayout(form);
    auto* child = new QWidget(form);
    child->setMinimumSize(333, 222);
    layout->addWidget(child);
    layout->setContentsMargins(0, 0, 0, 0);

    SetToolConstraints();
    EXPECT_EQ(ToolConstraints(), (TSizeConstraints{333, 333, 222, 0}));
}

TEST_F(ToolListTest, RetranslateTakesTitleAndHintIntoTheToolAndItsAction)
{
    addTool("Finder", 800);
    addPlainTool(1800);
    core::registerDefaultTexts({{1800, "Renamer"}, {1801, "Rename files"}});
    core::classTranslator().SetTranslation(801, "Dateien suchen");

    RetranslateTools();
    const TTool& finder = *ToolList()[0];
    EXPECT_EQ(finder.Caption, "Title Finder");
    EXPECT_EQ(finder.Hint, "Dateien suchen");
    EXPECT_EQ(finder.Action->text().toStdString(), "Title Finder");
    EXPECT_EQ(finder.Action->toolTip().toStdString(), "Dateien suchen");
    EXPECT_EQ(ToolList()[1]->Caption, "Renamer"); // translated although the form has no interface
    EXPECT_EQ(ToolList()[1]->Hint, "Rename files");
}

TEST_F(ToolListTest, AFormDestroyedByItsOwnerIsSkipped)
{
    RecordingForm* a = addTool("A", 800);
    delete a;
    log.clear();
    LoadAllToolSettings();
    ShowTool(2);
    SetToolConstraints();
    EXPECT_EQ(ToolForm(2), nullptr);
    EXPECT_FALSE(ToolHelp(2));
    EXPECT_TRUE(log.empty());
}

TEST(ProgramPathsTest, HoldTheStartUpsPaths)
{
    SetSettingsFileName("c:\\prog\\wux.ini");
    SetHelpFileName("c:\\prog\\wux.chm");
    EXPECT_EQ(SettingsFileName(), "c:\\prog\\wux.ini");
    EXPECT_EQ(SettingsIni().fileName(), "c:\\prog\\wux.ini");
    EXPECT_EQ(HelpFileName(), "c:\\prog\\wux.chm");
    SetSettingsFileName("");
    SetHelpFileName("");
}

} // namespace
} // namespace wux::tools
