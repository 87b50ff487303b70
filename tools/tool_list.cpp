#include "tools/tool_list.h"

#include <QAction>
#include <QLayout>
#include <QVBoxLayout>

#include <algorithm>

#include "core/text_table.h"

namespace wux::tools {

namespace {

struct ToolGlobals
{
    std::vector<std::unique_ptr<TTool>> tools;
    TSizeConstraints constraints;
    std::string settingsFile;
    std::string helpFile;
};

ToolGlobals& globals()
{
    static ToolGlobals instance;
    return instance;
}

// Calls f(tool, form interface) for every tool of mode (every tool when mode is 0) that provides the
// interface, first to last.
template <typename F> void forEachToolForm(int mode, F&& f)
{
    for (const std::unique_ptr<TTool>& tool : ToolList()) {
        if (mode != 0 && tool->Id != mode)
            continue;
        if (IToolForm* form = tool->toolForm())
            f(*tool, *form);
    }
}

} // namespace

TTool* TTool::Create(QWidget* parent, const ToolFormFactory& factory, int titleId, QAction* action)
{
    auto tool = std::make_unique<TTool>();
    QWidget* form = factory(parent);
    if (form) {
        if (form->parentWidget() != parent)
            form->setParent(parent);
        form->setWindowFlags(Qt::Widget);
        form->move(0, 0);
        if (parent) {
            QLayout* layout = parent->layout();
            if (!layout) {
                layout = new QVBoxLayout(parent);
                layout->setContentsMargins(0, 0, 0, 0);
                layout->setSpacing(0);
            }
            layout->addWidget(form);
        }
        // A tool form stays hidden until its mode shows it: the four forms share one panel, and
        // forms shown together would ask the main window for the height of all of them at once.
        form->hide();
    }
    tool->TitleId = titleId;
    tool->Form = form;
    tool->Id = static_cast<int>(ToolList().size()) + 2;
    if (IToolForm* toolForm = tool->toolForm()) {
        toolForm->RegisterDefaultTexts(titleId);
        toolForm->InitTool();
    }
    tool->Action = action;
    ToolList().push_back(std::move(tool));
    return ToolList().back().get();
}

IToolForm* TTool::toolForm() const
{
    return dynamic_cast<IToolForm*>(Form.data());
}

std::vector<std::unique_ptr<TTool>>& ToolList()
{
    return globals().tools;
}

void ClearToolList()
{
    ToolList().clear();
    ToolConstraints() = TSizeConstraints();
}

TSizeConstraints& ToolConstraints()
{
    return globals().constraints;
}

void SetToolConstraints()
{
    int width = 0;
    int height = 0;
    for (const std::unique_ptr<TTool>& tool : ToolList()) {
        QWidget* form = tool->Form.data();
        if (!form)
            continue;
        // Measured as the form will be shown: the style's sizes of its controls count.
        form->ensurePolished();
        const QSize hint = form->layout() ? form->layout()->minimumSize() : QSize(0, 0);
        width = std::max({width, form->minimumWidth(), hint.width()});
        height = std::max({height, form->minimumHeight(), hint.height()});
    }
    ToolConstraints() = TSizeConstraints{width, width, height, 0};
    for (const std::unique_ptr<TTool>& tool : ToolList()) {
        if (QWidget* form = tool->Form.data()) {
            form->setMinimumSize(0, 0);
            form->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        }
    }
}

void RetranslateTools()
{
    for (const std::unique_ptr<TTool>& tool : ToolList()) {
        if (IToolForm* form = tool->toolForm())
            form->Translate(tool->TitleId);
        tool->Caption = core::uiText(tool->TitleId);
        tool->Hint = core::uiText(tool->TitleId + 1);
        if (tool->Action) {
            tool->Action->setText(QString::fromStdString(tool->Caption));
            tool->Action->setToolTip(QString::fromStdString(tool->Hint));
            tool->Action->setStatusTip(QString::fromStdString(tool->Hint));
        }
    }
}

void LoadAllToolSettings()
{
    forEachToolForm(0, [](TTool&, IToolForm& form) { form.LoadSettings(); });
}

void SaveAllToolSettings()
{
    forEachToolForm(0, [](TTool&, IToolForm& form) { form.SaveSettings(); });
}

bool CanLaunchTool(int mode, filelist::TstateOfBrowser* panelState)
{
    bool result = false;
    if (mode == 0)
        return false;
    forEachToolForm(mode, [&](TTool&, IToolForm& form) { result = form.CanStart(panelState); });
    return result;
}

void ShowTool(int mode)
{
    for (const std::unique_ptr<TTool>& tool : ToolList())
        if (QWidget* form = tool->Form.data())
            form->setVisible(tool->Id == mode);
}

void LaunchToolOperation(int mode)
{
    if (mode == 0)
        return;
    forEachToolForm(mode, [](TTool&, IToolForm& form) { form.StartOperation(); });
}

QWidget* ToolForm(int mode)
{
    QWidget* result = nullptr;
    for (const std::unique_ptr<TTool>& tool : ToolList())
        if (tool->Id == mode)
            result = tool->Form.data();
    return result;
}

bool ToolHelp(int mode)
{
    bool result = false;
    if (mode == 0)
        return false;
    forEachToolForm(mode, [&](TTool&, IToolForm& form) {
        form.ShowHelp();
        result = true;
    });
    return result;
}

void ShowToolTitles(std::uint32_t layout)
{
    const bool visible = (layout & 0x20) != 0;
    forEachToolForm(0, [&](TTool&, IToolForm& form) { form.ShowTitle(visible); });
}

const std::string& SettingsFileName()
{
    return globals().settingsFile;
}

void SetSettingsFileName(std::string path)
{
    globals().settingsFile = std::move(path);
}

platform::IniFile SettingsIni()
{
    return platform::IniFile(SettingsFileName());
}

const std::string& HelpFileName()
{
    return globals().helpFile;
}

void SetHelpFileName(std::string path)
{
    globals().helpFile = std::move(path);
}

} // namespace wux::tools
