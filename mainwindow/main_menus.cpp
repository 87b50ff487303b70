#include "mainwindow/main_menus.h"

#include <numeric>

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QObject>
#include <QWidget>

#include "core/text_table.h"
#include "platform/text.h"

namespace wux::mainwindow {

namespace {

using T = TextTarget;

} // namespace

void registerMainWindowTexts()
{
    core::registerDefaultTexts({
        {408, "Brief"},
        {409, "Full"},
        {410, "Tree"},
        {411, "Options"},
        {412, "Invert selection"},
        {413, "Clear Basket"},
        {414, "F3 View"},
        {415, "F4 Edit"},
        {416, "F5 Copy"},
        {417, "F6 RenMov"},
        {418, "F7 MkDir"},
        {419, "F8 Delete"},
        {420, "Exit"},
        {421, "Exit"},
        {422, "Search:"},
        {423, "Tools"},
        {424, "&Files"},
        {425, "Start operation..."},
        {426, "Reread source"},
        {427, "Add network drive..."},
        {428, "Disconnect network drive..."},
        {429, "Properties..."},
        {430, "Exit"},
        {431, "&View"},
        {432, "Operations"},
        {436, "Options..."},
        {437, "&Mark"},
        {438, "Select Group..."},
        {439, "Unselect Group..."},
        {440, "Select All"},
        {441, "Unselect All"},
        {442, "Invert Selection"},
        {443, "Select Successful"},
        {444, "Select Unchanged"},
        {445, "Select Failed"},
        {446, "Sho&w"},
        {447, "Brief"},
        {448, "Full"},
        {449, "Tree"},
        {450, "All files"},
        {451, "Custom..."},
        {452, "Name"},
        {453, "Extension"},
        {454, "Date"},
        {455, "Size"},
        {456, "Reverse order"},
        {457, "&Help"},
        {458, "Contents"},
        {460, "Feedback and Technical support"},
        {461, "Tip Of The Day..."},
        {464, "About"},
        {465, "Tutorials"},
        {466, "Pl&ug-ins"},
        {467, "Get new plug-ins"},
        {468, "What is plug-in"},
        {469, "Add to Favorites..."},
    });
}

const std::vector<TextBinding>& mainWindowTextBindings()
{
    static const std::vector<TextBinding> bindings = {
        {408, "btnSetModeBrief", T::Hint},
        {409, "btnSetModeFull", T::Hint},
        {411, "btnOptions", T::Hint},
        {412, "btnInvertSel", T::Hint},
        {413, "btnClearBasket", T::Hint},
        {413, "mnuClearBasket", T::Caption},
        {414, "btnViewF3", T::Caption},
        {415, "btnEdit", T::Caption},
        {416, "btnCopy", T::Caption},
        {417, "btnRenMove", T::Caption},
        {418, "btnMkDir", T::Caption},
        {419, "btnDelete", T::Caption},
        {414, "mnuView", T::StrippedCaption},
        {415, "mnuEdit", T::StrippedCaption},
        {416, "mnuCopy", T::StrippedCaption},
        {417, "mnuRenMove", T::StrippedCaption},
        {418, "mnuMkDir", T::StrippedCaption},
        {419, "mnuDelete", T::StrippedCaption},
        {420, "btnExit", T::Hint},
        {421, "btnExit", T::Caption},
        {422, "lblSearch", T::Caption},
        {423, "mnuToolsToolbar", T::Caption},
        {424, "mnuMFile", T::Caption},
        {425, "actLaunchOperation", T::Caption},
        {426, "mnuRereadSource", T::Caption},
        {427, "mnuConDrive", T::Caption},
        {428, "mnuDisConDrive", T::Caption},
        {429, "mnuProperties", T::Caption},
        {430, "mnuExit", T::Caption},
        {431, "mnuMView", T::Caption},
        {432, "mnuOperations", T::Caption},
        {436, "mnuOptions", T::Caption},
        {437, "mnuMMark", T::Caption},
        {438, "mnuSelGroup", T::Caption},
        {439, "mnuUnselGr", T::Caption},
        {440, "mnuSelAll", T::Caption},
        {441, "mnuUnselAll", T::Caption},
        {442, "mnuInvertSel", T::Caption},
        {443, "SelectSuccessful", T::Caption},
        {444, "SelectUnchanged", T::Caption},
        {445, "SelectFailed", T::Caption},
        {446, "mnuMShow", T::Caption},
        {447, "mnuBrief", T::Caption},
        {448, "mnuFull", T::Caption},
        {450, "mnuAllFiles", T::Caption},
        {451, "mnuCustom", T::Caption},
        {452, "mnuSortName", T::Caption},
        {453, "mnuSortExt", T::Caption},
        {454, "mnuSortDate", T::Caption},
        {455, "mnuSortSize", T::Caption},
        {456, "mnuSortRevers", T::Caption},
        {457, "mnuMHelp", T::Caption},
        {458, "actHelpContents", T::Caption},
        {460, "mnuFeedbackAndTechnicalSupport", T::Caption},
        {461, "mnuItemShowTips", T::Caption},
        {464, "mnuAbout", T::Caption},
        {465, "mnuTutorials", T::Caption},
        {466, "mnuMPlugins", T::Caption},
        {467, "mnuGetnewplugins", T::Caption},
        {468, "mnuWhatisplugin", T::Caption},
        {469, "mnuAddToFavorites", T::Caption},
        {700, "actBrowser", T::Caption},
        {701, "actBrowser", T::Hint},
        {702, "mnuSendToBasket", T::Caption},
    };
    return bindings;
}

bool applyText(QObject* root, const TextBinding& binding)
{
    QObject* component = root->objectName() == QLatin1String(binding.component)
                             ? root
                             : root->findChild<QObject*>(QLatin1String(binding.component));
    if (component == nullptr) {
        return false;
    }
    std::string text = core::uiText(binding.id);
    if (binding.target == T::StrippedCaption) {
        text = StripFirstWord(text);
    }
    const QString value = platform::toQString(text);
    const bool caption = binding.target != T::Hint;
    const bool hint = binding.target == T::Hint || binding.target == T::CaptionAndHint;
    if (auto* menu = qobject_cast<QMenu*>(component)) {
        if (caption) {
            menu->setTitle(value);
        }
        if (hint) {
            menu->setToolTip(value);
        }
    } else if (auto* action = qobject_cast<QAction*>(component)) {
        if (caption) {
            action->setText(value);
        }
        if (hint) {
            action->setToolTip(value);
            action->setStatusTip(value);
        }
    } else if (auto* button = qobject_cast<QAbstractButton*>(component)) {
        if (caption) {
            button->setText(value);
        }
        if (hint) {
            button->setToolTip(value);
        }
    } else if (auto* label = qobject_cast<QLabel*>(component)) {
        if (caption) {
            label->setText(value);
        }
        if (hint) {
            label->setToolTip(value);
        }
    } else if (auto* widget = qobject_cast<QWidget*>(component)) {
        if (hint) {
            widget->setToolTip(value);
        }
    }
    return true;
}

std::string StripFirstWord(std::string_view text)
{
    if (text.size() >= 2) {
        const std::size_t blank = text.substr(0, text.size() - 1).find(' ');
        if (blank != std::string_view::npos) {
            return std::string(text.substr(blank + 1));
        }
    }
    return std::string(text);
}

std::vector<int> pnlToolsResize(int panelWidth, const std::vector<RowButton>& buttons)
{
    std::vector<int> widths;
    widths.reserve(buttons.size());
    int named = 0;
    int unnamedWidth = 0;
    for (const RowButton& button : buttons) {
        widths.push_back(button.width);
        if (button.named) {
            ++named;
        } else {
            unnamedWidth += button.width;
        }
    }
    if (named == 0) {
        return widths;
    }
    const int share = (panelWidth - unnamedWidth) / named;
    int last = -1;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (buttons[i].named) {
            widths[i] = share;
            last = static_cast<int>(i);
        }
    }
    const int total = std::accumulate(widths.begin(), widths.end(), 0);
    widths[static_cast<std::size_t>(last)] = panelWidth - total + share;
    return widths;
}

} // namespace wux::mainwindow
