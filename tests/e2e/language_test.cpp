// Language files as the user switches to them in the options dialog: files saved as UTF-16 or with a
// byte-order mark, and every text of the table reaching its own control.
#include "journey.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QTabBar>
#include <QTreeWidget>

#include <algorithm>
#include <map>
#include <set>

#include "controls/vyk_header.h"
#include "core/text_table.h"
#include "mainwindow/about.h"
#include "mainwindow/options_dialog.h"
#include "mainwindow/tips.h"
#include "tools/query_dialog.h"
#include "tools/run_window.h"
#include "tools/search_results.h"
#include "tools/tool_list.h"

namespace wux::e2e {
namespace {

using mainwindow::TOptions;

class LanguageJourney : public Journey
{
protected:
    // Ctrl+O, the Language page clicked in the page tree, the language clicked in its list, OK.
    void chooseLanguage(const QString& name)
    {
        bool chosen = false;
        when<TOptions>([&, name](TOptions& options) {
            openOptionsPage(options, "tsLanguage");
            auto* list = options.findChild<QListWidget*>("lstLanguage");
            const QList<QListWidgetItem*> found = list->findItems(name, Qt::MatchExactly);
            ASSERT_EQ(found.size(), 1) << name.toStdString();
            click(list->viewport(), Qt::NoModifier, list->visualItemRect(found[0]).center());
            click(options.findChild<QWidget*>("btnOk"));
            chosen = true;
        });
        key(Qt::Key_O, Qt::ControlModifier);
        EXPECT_TRUE(chosen) << name.toStdString();
    }
};

// A text as a file holds it: UTF-8 with its mark, or UTF-16 in either byte order with or without its.
std::string encoded(const std::u16string& text, const std::string& form)
{
    if (form == "utf8-mark")
        return "\xEF\xBB\xBF" + QString::fromStdU16String(text).toStdString();
    const bool big = form.rfind("be", 0) == 0;
    std::string bytes = form.find("mark") != std::string::npos ? (big ? "\xFE\xFF" : "\xFF\xFE") : "";
    for (char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += big ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

TEST_F(LanguageJourney, LanguageFilesInUtf16OrWithAByteOrderMarkTranslateTheMenus)
{
    const std::u16string text = u"424=&Dateiën\r\n431=&Ansicht\r\n440=Alles wählen\r\n";
    const char* const forms[] = {"utf8-mark", "le-mark", "be-mark", "le", "be"};
    for (const char* form : forms)
        createFile(programFolder + "\\" + form + ".lng", encoded(text, form));
    makeFolder(drive.path("work"));
    settings(drive.path("work"), drive.path("work"));
    EXPECT_EQ(run([&] {
                  for (const char* form : forms) {
                      chooseLanguage(QString::fromLatin1(form) + ".lng");
                      EXPECT_EQ(child<QMenu>("mnuMFile")->title().toStdString() + "|" +
                                    child<QMenu>("mnuMView")->title().toStdString() + "|" +
                                    action("mnuSelAll")->text().toStdString() + "|" +
                                    action("mnuExit")->text().toStdString(),
                                "&Dateiën|&Ansicht|Alles wählen|Exit")
                          << form;
                      chooseLanguage("English language");
                      EXPECT_EQ(child<QMenu>("mnuMFile")->title().toStdString(), "&Files");
                  }
                  key(Qt::Key_F4, Qt::AltModifier);
              }),
              0);
}

// ---- Every text of the table on its own control ----

// The marker of a text: its number between two "#", then the format fields of its English default, so
// that a template still formats.
QString markerOf(int id, const std::string& english)
{
    QString marker = QStringLiteral("#%1#").arg(id);
    static const QRegularExpression field(QStringLiteral("%[-+ #0]*[0-9]*(\\.[0-9]+)?[a-zA-Z]"));
    for (const QRegularExpressionMatch& match : field.globalMatch(QString::fromStdString(english)))
        marker += ' ' + match.captured();
    return marker;
}

// Where a control lies: the form or window that owns it.
std::string ownerOf(const QObject* object)
{
    for (; object != nullptr; object = object->parent()) {
        if (qobject_cast<const TBrowserForm*>(object))
            return "panel";
        if (dynamic_cast<const tools::IToolForm*>(object))
            return object->objectName().toStdString();
        if (qobject_cast<const QDialog*>(object))
            return object->metaObject()->className();
        if (qobject_cast<const TMainForm*>(object))
            return "main";
    }
    return "main"; // the main window's menus
}

// The numbers whose texts a form or window shows, besides the general texts 1-152.
bool belongs(int id, const std::string& owner)
{
    const auto in = [id](std::initializer_list<std::pair<int, int>> ranges) {
        for (const auto& [first, last] : ranges)
            if (id >= first && id <= last)
                return true;
        return false;
    };
    if (in({{1, 152}}))
        return true;
    static const std::map<std::string, std::vector<std::pair<int, int>>> ranges = {
        {"main", {{408, 469}, {700, 704}, {1900, 1903}, {300, 301}, {500, 501}, {800, 801}, {1800, 1801}}},
        {"panel", {{700, 704}, {1900, 1903}}},
        {"TFinderForm", {{800, 844}}},
        {"TRenamerForm", {{1800, 1827}}},
        {"TReplacerForm", {{500, 518}}},
        {"TBatchReplacerForm", {{207, 236}, {300, 319}}},
        {"wux::mainwindow::TOptions", {{900, 981}}},
        {"wux::mainwindow::TfrmAbout", {{1000, 1004}}},
        {"wux::mainwindow::TDidYouKnow", {{1600, 1605}}},
        {"wux::tools::TStandardQuery", {{1200, 1204}}},
        {"wux::tools::TSrchRes", {{1100, 1113}}},
        {"wux::tools::TViewRenReplacer", {{1400, 1406}}},
    };
    const auto found = ranges.find(owner);
    if (found == ranges.end())
        return false;
    for (const auto& [first, last] : found->second)
        if (id >= first && id <= last)
            return true;
    return false;
}

// Texts that stay English after a switch: the help command has no text of the table, and the drive
// buttons show the names the drive list was given when it was built at start-up.
bool leftInEnglish(const QObject* object, const std::vector<int>& ids)
{
    if (object->objectName() == "actHelp")
        return true;
    return std::all_of(ids.begin(), ids.end(), [](int id) { return id >= 31 && id <= 33; }) &&
           qobject_cast<const QAbstractButton*>(object) != nullptr;
}

class TextCheck
{
public:
    // Every registered default becomes a marker in a language file of the program's folder.
    explicit TextCheck(const std::string& file)
    {
        std::string lines;
        const core::TClassTranslator& table = core::classTranslator();
        for (int id = 1; id < core::TClassTranslator::kTranslationBase; ++id) {
            const std::string english = table.GetDefaultText(id);
            if (english.empty())
                continue;
            english_[QString::fromStdString(english)].push_back(id);
            lines += std::to_string(id) + "=" + markerOf(id, english).toStdString() + "\r\n";
        }
        createFile(file, lines);
    }

    // Every text a user sees in the window (and the main window's menus): none is an English default,
    // and every marker lies on a control of the form its number belongs to.
    void check(QWidget* root, const char* where, std::pair<int, int> alsoOwn = {0, -1})
    {
        std::vector<std::pair<const QObject*, QString>> texts;
        const auto add = [&](const QObject* object, const QString& text) {
            if (!text.isEmpty())
                texts.emplace_back(object, text);
        };
        QList<QWidget*> widgets = root->findChildren<QWidget*>();
        widgets.prepend(root);
        for (QWidget* widget : widgets) {
            // A window of its own is checked when it is shown (it takes its texts then).
            if (widget->window() != root->window() && !qobject_cast<QMenu*>(widget))
                continue;
            if (widget->isWindow() && !qobject_cast<QMenu*>(widget))
                add(widget, widget->windowTitle());
            add(widget, widget->toolTip());
            if (auto* button = qobject_cast<QAbstractButton*>(widget))
                add(widget, button->text());
            if (auto* label = qobject_cast<QLabel*>(widget))
                add(widget, label->text());
            if (auto* group = qobject_cast<QGroupBox*>(widget))
                add(widget, group->title());
            if (auto* tabs = qobject_cast<QTabBar*>(widget))
                for (int i = 0; i < tabs->count(); ++i)
                    add(widget, tabs->tabText(i));
            if (auto* tree = qobject_cast<QTreeWidget*>(widget))
                for (int i = 0; i < tree->topLevelItemCount(); ++i)
                    add(widget, tree->topLevelItem(i)->text(0));
            if (auto* combo = qobject_cast<QComboBox*>(widget); combo && !combo->isEditable())
                for (int i = 0; i < combo->count(); ++i)
                    add(widget, combo->itemText(i));
            if (auto* grid = qobject_cast<controls::TWUXStringGrid*>(widget); grid && grid->FixedRows() > 0)
                for (int c = 0; c < grid->ColCount(); ++c)
                    add(widget, grid->Cells(c, 0)); // the title row
            if (auto* header = qobject_cast<controls::TVYKHeader*>(widget))
                for (int i = 0; i < header->HeaderItems().Count(); ++i)
                    add(widget, header->HeaderItems().Items(i).Text());
            if (auto* menu = qobject_cast<QMenu*>(widget)) {
                add(menu, menu->title());
                for (QAction* item : menu->actions()) {
                    add(item, item->text());
                    add(item, item->toolTip());
                }
            }
        }
        static const QRegularExpression marker(QStringLiteral("#([0-9]+)#"));
        checked_.push_back(where);
        for (const auto& [object, text] : texts) {
            const std::string name = object->objectName().toStdString() + " (" + where + ")";
            const auto english = english_.find(text);
            if (english != english_.end() && !leftInEnglish(object, english->second))
                problems_.insert(name + " shows the English text \"" + text.toStdString() + "\"");
            for (const QRegularExpressionMatch& match : marker.globalMatch(text)) {
                const int id = match.captured(1).toInt();
                const std::string owner = ownerOf(object);
                if (!belongs(id, owner) && (id < alsoOwn.first || id > alsoOwn.second))
                    problems_.insert(name + " in " + owner + " shows text " + std::to_string(id));
            }
        }
    }

    std::string problems() const
    {
        std::string joined;
        for (const std::string& problem : problems_)
            joined += problem + "\n";
        return joined;
    }

private:
    std::map<QString, std::vector<int>> english_;
    std::vector<std::string> checked_;

public:
    std::string checked() const
    {
        std::string joined;
        for (const std::string& where : checked_)
            joined += where + " ";
        return joined;
    }

private:
    std::set<std::string> problems_;
};

TEST_F(LanguageJourney, EveryTextOfTheTableReachesItsOwnControl)
{
    makeFolder(drive.path("work"));
    createFile(drive.path("work\\one.txt"), "1");
    settings(drive.path("work"), drive.path("work"));
    EXPECT_EQ(run([&] {
                  TextCheck texts(programFolder + "\\markers.lng");
                  chooseLanguage("markers.lng");
                  texts.check(window, "browser");
                  for (Qt::Key mode : {Qt::Key_2, Qt::Key_3, Qt::Key_4, Qt::Key_5}) {
                      key(mode, Qt::ControlModifier);
                      texts.check(window, ("mode " + std::to_string(mode - Qt::Key_0)).c_str());
                  }
                  key(Qt::Key_1, Qt::ControlModifier);
                  focus(left());
                  when<TOptions>([&](TOptions& options) {
                      texts.check(&options, "options");
                      click(options.findChild<QWidget*>("btnCancel"));
                  });
                  key(Qt::Key_O, Qt::ControlModifier);
                  when<mainwindow::TfrmAbout>([&](mainwindow::TfrmAbout& about) {
                      texts.check(&about, "about");
                      about.reject();
                  });
                  menu("mnuMHelp", "mnuAbout");
                  when<mainwindow::TDidYouKnow>([&](mainwindow::TDidYouKnow& tip) {
                      texts.check(&tip, "tip");
                      tip.reject();
                  });
                  menu("mnuMHelp", "mnuItemShowTips");
                  when<tools::TStandardQuery>([&](tools::TStandardQuery& query) {
                      texts.check(&query, "new folder");
                      click(query.btnCancel());
                  });
                  focus(left());
                  key(Qt::Key_F7);

                  // The Finder's results.
                  key(Qt::Key_2, Qt::ControlModifier);
                  QWidget* finder = child<QWidget>("TFinderForm");
                  when<tools::TStandardQuery>([&](tools::TStandardQuery& query) {
                      texts.check(&query, "search folder");
                      query.edInfo()->setText(QString::fromStdString(drive.path("work")));
                      click(query.btnOK());
                  });
                  click(child<QPushButton>("btnAdd", finder));
                  when<tools::TSrchRes>(
                      [&](tools::TSrchRes& results) {
                          texts.check(&results, "results");
                          key(Qt::Key_Escape);
                      },
                      [](tools::TSrchRes& results) {
                          return results.searchFinished() && results.isActiveWindow();
                      });
                  key(Qt::Key_S, Qt::ControlModifier);
                  // The Renamer's preview and the Replacer's run, over the marked file.
                  key(Qt::Key_3, Qt::ControlModifier);
                  focus(left());
                  key(Qt::Key_A, Qt::ControlModifier);
                  when<tools::TSrchRes>(
                      [&](tools::TSrchRes& preview) {
                          texts.check(&preview, "preview", {1800, 1827}); // the Renamer names its preview
                          click(child<QWidget>("btnExit", &preview));
                      },
                      [](tools::TSrchRes& preview) { return preview.isActiveWindow(); });
                  key(Qt::Key_S, Qt::ControlModifier);
                  key(Qt::Key_4, Qt::ControlModifier);
                  click(child<QWidget>("memFind", child<QWidget>("TReplacerForm")));
                  type("absent");
                  when<tools::TViewRenReplacer>(
                      [&](tools::TViewRenReplacer& run) {
                          texts.check(&run, "run");
                          click(run.btnCancel());
                      },
                      [](tools::TViewRenReplacer& run) { return run.finished() && run.isActiveWindow(); });
                  key(Qt::Key_S, Qt::ControlModifier);
                  key(Qt::Key_1, Qt::ControlModifier);

                  EXPECT_EQ(texts.problems(), "");
                  EXPECT_EQ(texts.checked(),
                            "browser mode 2 mode 3 mode 4 mode 5 options about tip new folder "
                            "search folder results preview run ")
                      << "every window was checked";
                  chooseLanguage("English language");
                  key(Qt::Key_F4, Qt::AltModifier);
              }),
              0);
}

} // namespace
} // namespace wux::e2e
