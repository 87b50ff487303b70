// wux_screenshots [folder]: starts the program as its start-up does, over temporary drives with a
// program folder, settings and realistic files of their own, opens every window and dialog through the
// program's own commands and saves one PNG per window into folder (default "screenshots"), with an
// index.md. Ends with 1, naming each window, when a window is missing, blank or beyond the screen.
//
// Run it on a real X display of 1280x1024 (scripts/screenshots.sh starts one with xvfb-run).
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <linux/magic.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "controls/wux_string_grid.h"
#include "core/settings_path.h"
#include "filelist/copy_confirmation_form.h"
#include "filelist/drive_list.h"
#include "filelist/view_process.h"
#include "mainwindow/about.h"
#include "mainwindow/browser_form.h"
#include "mainwindow/choice_drive.h"
#include "mainwindow/favorites.h"
#include "mainwindow/main_form.h"
#include "mainwindow/options_dialog.h"
#include "mainwindow/plugin_host.h"
#include "mainwindow/settings.h"
#include "mainwindow/startup.h"
#include "mainwindow/tips.h"
#include "platform/dialogs.h"
#include "platform/drives.h"
#include "platform/fault_injection.h"
#include "platform/shell/properties_dialog.h"
#include "shots/driver.h"
#include "shots/shooter.h"
#include "support/file_builders.h"
#include "support/packages.h"
#include "tools/query_dialog.h"
#include "tools/run_window.h"
#include "tools/search_results.h"

namespace wux::shots {
namespace {

using mainwindow::TBrowserForm;
using mainwindow::TMainForm;
using test::createFileAt;
using test::makeFolder;

// ---- The files the windows show ----

constexpr std::time_t kSpring = 1775000000; // late March 2026

// A word-processing document of the given paragraphs' XML.
std::string docx(const std::string& body)
{
    test::DocxContent content;
    content.body = body;
    return test::buildDocx(content);
}

std::string letterText(int number)
{
    static const char* const kNames[] = {"Ms Alder", "Mr Birch", "Dr Cedar",
                                         "Ms Hazel", "Mr Rowan", "Mrs Willow"};
    return "Dear " + std::string(kNames[number % 6]) + ",\r\n\r\nthank you for your order no. " +
           std::to_string(4100 + number) +
           ". Acme Ltd will deliver the goods within ten working days.\r\n\r\n"
           "Should anything be missing, please write to Acme Ltd, 12 Mill Lane, Brookfield.\r\n\r\n"
           "Kind regards,\r\nAcme Ltd\r\n";
}

// The drives: c: with the program folder, documents, photos, projects and a backup; d: an archive with
// copies (the duplicates); e: a removable drive without a medium.
void makeFiles(const std::string& base)
{
    auto at = [](int days) { return kSpring - std::time_t(days) * 86400; };
    const std::string c = base + "/c/";
    makeFolder(c + "Wuxtool");
    const std::string reports = c + "Documents/Reports/";
    const std::vector<std::pair<std::string, std::string>> documents = {
        {"Quarterly report.docx",
         docx("<w:p>" + test::boldRun("Quarterly report") + "</w:p>" +
              test::para({"Acme Ltd grew by eight per cent in the first quarter."}))},
        {"Budget 2026.xlsx", test::xlsxWithText("Acme Ltd budget 2026")},
        {"Sales kick-off.pptx", test::pptxWithText("Acme Ltd: sales kick-off 2026")},
        {"Minutes of the board.odt", test::odtWithText("Minutes of the board of Acme Ltd, 12 March 2026")},
        {"Customers.csv",
         test::buildCsv(
             {{"Name", "City", "Orders"}, {"Alder", "Brookfield", "12"}, {"Birch", "Millbrook", "7"}})},
        {"Read me first.txt", "The reports of the first quarter.\r\n"},
    };
    int day = 3;
    for (const auto& [name, bytes] : documents)
        createFileAt(reports + name, bytes, at(day += 2));
    makeFolder(c + "Documents/Reports/Drafts");
    createFileAt(c + "Documents/Reports/Drafts/Outline.txt", "1. Sales\r\n2. Costs\r\n", at(30));
    for (int i = 1; i <= 600; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "Order %04d.txt", 4100 + i);
        createFileAt(c + "Documents/Letters/" + name, letterText(i), at(i % 90));
    }
    createFileAt(c + "Documents/Letters/Price list.docx",
                 docx(test::para({"Acme Ltd price list, valid from April 2026"})), at(8));
    createFileAt(c + "Documents/Letters/Offer.odt", test::odtWithText("An offer from Acme Ltd"), at(9));
    createFileAt(c + "Documents/Notes.txt", "Call Mr Birch on Monday.\r\n", at(1));
    for (int i = 1; i <= 400; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "IMG_%04d.jpg", i);
        createFileAt(c + "Photos/Holiday 2026/" + name, std::string("\xFF\xD8\xFF\xE0 photo ", 12) + name,
                     at(120) + i * 60);
    }
    createFileAt(c + "Projects/wuxtool/src/main.cpp", "int main() { return 0; }\n", at(40));
    createFileAt(c + "Projects/wuxtool/CMakeLists.txt", "project(tool)\n", at(40));
    createFileAt(c + "Projects/wuxtool/README.md", "# tool\n", at(40));
    makeFolder(c + "Projects/website");
    createFileAt(c + "Backup/Quarterly report.docx", docx(test::para({"An older draft"})), at(60));
    createFileAt(c + "Backup/Notes.txt", "Old notes.\r\n", at(70));
    makeFolder(c + "Public");
    for (const char* year : {"2024", "2025"}) {
        createFileAt(base + "/d/Archive/" + year + "/Quarterly report.docx", documents[0].second, at(200));
        createFileAt(base + "/d/Archive/" + year + "/Budget 2026.xlsx", documents[1].second, at(210));
        createFileAt(base + "/d/Archive/" + year + "/Minutes " + year + ".odt",
                     test::odtWithText(std::string("Minutes ") + year), at(220));
    }
}

// Where the drives are made: /dev/shm when it is a writable tmpfs with room for them, else the
// system's temporary folder.
QString scratchFolder()
{
    const char* memory = "/dev/shm";
    struct statfs file_system{};
    constexpr std::uint64_t kRoom = 256ull << 20;
    if (::access(memory, W_OK | X_OK) == 0 && ::statfs(memory, &file_system) == 0 &&
        file_system.f_type == TMPFS_MAGIC && std::uint64_t(file_system.f_bavail) * file_system.f_bsize >= kRoom)
        return QString::fromLatin1(memory);
    return QDir::tempPath();
}

std::vector<Scene> mainWindowScenes(const char* suffix, const char* barsText)
{
    auto picture = [&](const std::string& what, const std::string& description) {
        static std::deque<std::string> texts; // the table keeps char pointers
        texts.push_back("main-" + what + suffix + ".png");
        const char* file = texts.back().c_str();
        texts.push_back("Main window, " + description + "; " + barsText + ".");
        return Picture{file, texts.back().c_str()};
    };
    auto shootMain = [](const Program& program, const Take& take) { take(0, program.window); };
    return {
        {{picture("full", "both panels in the full view (Documents\\Reports and Backup)")},
         [=](const Program& p, Shooter&, const Take& take) {
             p.go(p.left(), "c:\\Documents\\Reports", "Quarterly report.docx");
             p.view(2);
             shootMain(p, take);
         }},
        {{picture("brief", "the left panel in the brief view (600 letters)")},
         [=](const Program& p, Shooter&, const Take& take) {
             p.go(p.left(), "c:\\Documents\\Letters");
             p.view(1);
             shootMain(p, take);
             p.view(2);
         }},
        {{picture("tree", "the left panel in the tree view")},
         [=](const Program& p, Shooter&, const Take& take) {
             p.go(p.left(), "c:\\Documents\\Reports");
             p.view(3);
             shootMain(p, take);
             p.view(2);
         }},
        {{picture("basket-brief", "the left panel showing the Basket, brief layout")},
         [=](const Program& p, Shooter&, const Take& take) {
             p.drive(p.left(), '*');
             p.view(1);
             shootMain(p, take);
         }},
        {{picture("basket-full", "the left panel showing the Basket, full layout (grouped by folder)")},
         [=](const Program& p, Shooter&, const Take& take) {
             p.drive(p.left(), '*');
             p.view(2);
             shootMain(p, take);
             p.drive(p.left(), 'c');
             p.go(p.left(), "c:\\Documents\\Reports", "Quarterly report.docx");
         }},
        {{picture("finder", "Finder mode: the search form beside the left panel")},
         [=](const Program& p, Shooter&, const Take& take) {
             p.trigger("actFinder");
             shootMain(p, take);
         }},
        {{picture("renamer", "Renamer mode: the rename form beside the left panel")},
         [=](const Program& p, Shooter&, const Take& take) {
             p.trigger("actRenamer");
             shootMain(p, take);
         }},
        {{picture("replacer", "Replacer mode: the find and replace form beside the left panel")},
         [=](const Program& p, Shooter&, const Take& take) {
             p.trigger("actReplacer");
             shootMain(p, take);
         }},
        {{picture("batch-replacer", "Batch Replacer mode: the table of pairs beside the left panel")},
         [=](const Program& p, Shooter&, const Take& take) {
             p.trigger("actBatchReplacer");
             shootMain(p, take);
             p.trigger("actBrowser");
         }},
    };
}

// Fills the tool forms as a user would before the pictures of the modes.
void fillToolForms(const Program& p, Shooter& shooter)
{
    p.go(p.left(), "c:\\Documents\\Reports", "Quarterly report.docx");
    p.trigger("mnuSelAll");
    p.trigger("mnuSendToBasket");
    p.go(p.left(), "c:\\Documents\\Letters");
    p.trigger("mnuSelAll");
    p.trigger("mnuUnselAll");
    p.go(p.left(), "c:\\Documents\\Reports", "Quarterly report.docx");

    p.trigger("actFinder");
    p.setText("TFinderForm", "cmbSearchFor", "*.docx");
    shooter.whileModal("Finder path", [&] { p.click("TFinderForm", "btnAdd"); },
                       {{[](QWidget* top) { return modalAs<tools::TStandardQuery>(top) != nullptr; },
                         [](QWidget* top) {
                             auto* query = static_cast<tools::TStandardQuery*>(top);
                             query->edInfo()->setText("c:\\Documents");
                             query->btnOK()->click();
                         }}});
    p.trigger("actRenamer");
    p.setText("TRenamerForm", "cmbFileName", "Lake Garda [C]");
    for (const char* counter : {"spStart", "spStep"}) {
        if (auto* box = p.control<QSpinBox>("TRenamerForm", counter))
            box->setValue(1);
    }
    p.trigger("actReplacer");
    p.setText("TReplacerForm", "memFind", "Acme Ltd");
    p.setText("TReplacerForm", "mmReplace", "Acme Group Ltd");
    p.trigger("actBatchReplacer");
    const std::vector<std::pair<QString, QString>> pairs = {{"Acme Ltd", "Acme Group Ltd"},
                                                            {"Mill Lane", "Mill Street"},
                                                            {"ten working days", "five working days"}};
    for (const auto& [find, replace] : pairs) {
        p.setText("TBatchReplacerForm", "cmbFindString", find);
        p.setText("TBatchReplacerForm", "cmbReplaceString", replace);
        p.click("TBatchReplacerForm", "btnAdd");
    }
    p.trigger("actBrowser");
}

std::vector<Scene> dialogScenes()
{
    std::vector<Scene> scenes;
    scenes.push_back({{{"options-1-layout.png", "Options, page 1: screen layout"},
                       {"options-2-display.png", "Options, page 2: display"},
                       {"options-3-language.png", "Options, page 3: language"},
                       {"options-4-browser-font.png", "Options, page 4: the file panels' font"},
                       {"options-5-viewer-editor.png", "Options, page 5: viewer and editor"},
                       {"options-6-colours.png", "Options, page 6: colours with the example"},
                       {"options-7-confirmations.png", "Options, page 7: confirmations"},
                       {"options-8-operations.png", "Options, page 8: operations"}},
                      [](const Program& p, Shooter& shooter, const Take& take) {
                          shooter.whileModal(
                              "options", [&] { p.trigger("actOptions"); },
                              {{[](QWidget* top) { return modalAs<mainwindow::TOptions>(top) != nullptr; },
                                [take](QWidget* top) {
                                    auto* tree = top->findChild<QTreeWidget*>("tvOptions");
                                    for (int page = 0; tree != nullptr && page < tree->topLevelItemCount();
                                         ++page) {
                                        tree->setCurrentItem(tree->topLevelItem(page));
                                        Shooter::settle();
                                        take(std::size_t(page), top);
                                    }
                                    static_cast<QDialog*>(top)->reject();
                                }}});
                      }});
    scenes.push_back(queryScene({"query-copy.png", "Query dialog of F5 Copy: the target of one file"},
                                [](const Program& p) {
                                    p.go(p.left(), "c:\\Documents\\Reports", "Quarterly report.docx");
                                    p.key(p.left(), Qt::Key_F5);
                                }));
    scenes.push_back(queryScene({"query-move.png", "Query dialog of F6 Rename/Move"},
                                [](const Program& p) { p.key(p.left(), Qt::Key_F6); }));
    scenes.push_back(queryScene({"query-delete.png", "Query dialog of F8 Delete (the warning)"},
                                [](const Program& p) { p.key(p.left(), Qt::Key_F8); }));
    scenes.push_back(queryScene({"query-new-folder.png", "Query dialog of F7 new folder"},
                                [](const Program& p) { p.key(p.left(), Qt::Key_F7); }));
    scenes.push_back(queryScene({"query-select-mask.png", "Query dialog of selection by mask (Mark menu)"},
                                [](const Program& p) { p.trigger("mnuSelGroup"); }));
    scenes.push_back(queryScene({"query-basket-delete.png", "Query dialog of F8 in the Basket view"},
                                [](const Program& p) {
                                    p.drive(p.left(), '*');
                                    p.key(p.left(), Qt::Key_F8);
                                }));
    scenes.push_back(
        {{{"progress-copy.png", "File-operation progress window of a copy of six files, during the run"},
          {"confirm-overwrite.png", "Confirmation window: overwrite a newer file in Backup"}},
         [](const Program& p, Shooter& shooter, const Take& take) {
             p.drive(p.left(), 'c');
             p.go(p.left(), "c:\\Documents\\Reports", "Quarterly report.docx");
             p.go(*p.window->RightBrowser(), "c:\\Backup");
             p.activate(p.left());
             p.trigger("mnuSelAll");
             shooter.whileModal(
                 "copy", [&] { p.key(p.left(), Qt::Key_F5); },
                 {{[](QWidget* top) { return modalAs<tools::TStandardQuery>(top) != nullptr; },
                   [](QWidget* top) { static_cast<tools::TStandardQuery*>(top)->btnOK()->click(); }},
                  {[](QWidget* top) { return modalAs<filelist::TCopyConfirmationForm>(top) != nullptr; },
                   [take](QWidget* top) {
                       take(0, top->parentWidget());
                       take(1, top);
                       static_cast<QDialog*>(top)->reject();
                   }}});
             p.trigger("mnuUnselAll");
         }});
    scenes.push_back(
        {{{"run-replace-during.png", "Run window of a Replacer run over 602 letters, during the run"},
          {"run-replace-after.png", "Run window of the Replacer run after its end"}},
         [](const Program& p, Shooter& shooter, const Take& take) {
             p.trigger("actReplacer");
             p.go(p.left(), "c:\\Documents\\Letters");
             p.trigger("mnuSelAll");
             // The run stops at its 31st letter until its picture is taken.
             platform::injectHold("c:\\Documents\\Letters\\Order 4130.txt", platform::kFaultOpen);
             shooter.whileModal("replace run", [&] { p.trigger("actLaunchOperation"); },
                                {whileHeld<tools::TViewRenReplacer>([take](QWidget* top) { take(0, top); }),
                                 {[](QWidget* top) {
                                      auto* run = modalAs<tools::TViewRenReplacer>(top);
                                      return run != nullptr && run->finished();
                                  },
                                  [take](QWidget* top) {
                                      take(1, top);
                                      static_cast<QDialog*>(top)->reject();
                                  }}});
             p.trigger("actBrowser");
         }});
    scenes.push_back(
        {{{"results-rename-preview.png", "Results window as the Renamer's preview of 400 photos"},
          {"run-rename-during.png", "Run window of the rename run, during the run"},
          {"run-rename-after.png", "Run window of the rename run after its end"}},
         [](const Program& p, Shooter& shooter, const Take& take) {
             p.trigger("actRenamer");
             p.go(p.left(), "c:\\Photos\\Holiday 2026");
             p.trigger("mnuSelAll");
             shooter.whileModal("rename run", [&] { p.trigger("actLaunchOperation"); },
                                {{[](QWidget* top) { return modalAs<tools::TSrchRes>(top) != nullptr; },
                                  [take](QWidget* top) {
                                      take(0, top);
                                      // The run stops at its 31st photo until its picture is taken.
                                      platform::injectHold("c:\\Photos\\Holiday 2026\\IMG_0031.jpg",
                                                           platform::kFaultRename);
                                      if (auto* start = top->findChild<QAbstractButton*>("btnStartRename"))
                                          start->click();
                                  }},
                                 whileHeld<tools::TViewRenReplacer>([take](QWidget* top) { take(1, top); }),
                                 {[](QWidget* top) {
                                      auto* run = modalAs<tools::TViewRenReplacer>(top);
                                      return run != nullptr && run->finished();
                                  },
                                  [take](QWidget* top) {
                                      take(2, top);
                                      static_cast<QDialog*>(top)->reject();
                                  }}});
             p.trigger("actBrowser");
         }});
    auto searchScene = [](Picture picture, bool duplicates) {
        return Scene{{picture}, [duplicates, picture](const Program& p, Shooter& shooter, const Take& take) {
                         p.trigger("actFinder");
                         if (duplicates) {
                             p.setText("TFinderForm", "cmbSearchFor", "*");
                             if (auto* box = p.control<QCheckBox>("TFinderForm", "chkDuplicates");
                                 box && !box->isChecked())
                                 p.click("TFinderForm", "chkDuplicates");
                             shooter.whileModal("duplicates path", [&] { p.click("TFinderForm", "btnAdd"); },
                                                {{[](QWidget* top) {
                                                      return modalAs<tools::TStandardQuery>(top) != nullptr;
                                                  },
                                                  [](QWidget* top) {
                                                      auto* query = static_cast<tools::TStandardQuery*>(top);
                                                      query->edInfo()->setText("d:\\Archive");
                                                      query->btnOK()->click();
                                                  }}});
                         }
                         shooter.whileModal(picture.file, [&] { p.trigger("actLaunchOperation"); },
                                            {{[](QWidget* top) {
                                                  auto* results = modalAs<tools::TSrchRes>(top);
                                                  return results != nullptr && results->searchFinished();
                                              },
                                              [take](QWidget* top) {
                                                  Shooter::settle(200);
                                                  take(0, top);
                                                  static_cast<QDialog*>(top)->reject();
                                              }}});
                         p.trigger("actBrowser");
                     }};
    };
    scenes.push_back(searchScene(
        {"results-search.png", "Results window after a search for *.docx in c:\\Documents"}, false));
    scenes.push_back(
        searchScene({"results-duplicates.png",
                     "Results window after a duplicates search over c:\\Documents and d:\\Archive"},
                    true));
    auto modalScene = [](Picture picture, auto type, std::function<void(const Program&)> command) {
        using T = std::remove_pointer_t<decltype(type)>;
        return Scene{{picture}, [command, picture](const Program& p, Shooter& shooter, const Take& take) {
                         shooter.whileModal(picture.file, [&] { command(p); }, {shootAndClose<T>(take, 0)});
                     }};
    };
    scenes.push_back(modalScene({"tip-of-the-day.png", "Tip of the day (Help menu)"},
                                static_cast<mainwindow::TDidYouKnow*>(nullptr),
                                [](const Program& p) { p.trigger("mnuItemShowTips"); }));
    scenes.push_back(modalScene({"about.png", "About box (Help menu)"},
                                static_cast<mainwindow::TfrmAbout*>(nullptr),
                                [](const Program& p) { p.trigger("mnuAbout"); }));
    scenes.push_back(modalScene({"drive-choice.png", "Drive choice: drive e: (removable) has no medium"},
                                static_cast<mainwindow::TChoiceDrive*>(nullptr), [](const Program& p) {
                                    p.drive(p.left(), 'c');
                                    p.go(p.left(), "c:\\Documents\\Reports", "Quarterly report.docx");
                                    p.drive(p.left(), 'e');
                                }));
    scenes.push_back(modalScene({"favourites.png", "Favourites dialog: add the current folder"},
                                static_cast<mainwindow::TfrmFavorites*>(nullptr),
                                [](const Program& p) { p.trigger("mnuAddToFavorites"); }));
    scenes.push_back({{{"properties.png", "Properties dialog of Quarterly report.docx (Alt+Enter)"}},
                      [](const Program& p, Shooter&, const Take& take) {
                          p.go(p.left(), "c:\\Documents\\Reports", "Quarterly report.docx");
                          p.trigger("mnuProperties");
                          Shooter::settle(200);
                          for (QWidget* top : QApplication::topLevelWidgets()) {
                              if (auto* dialog = qobject_cast<platform::shell::TPropertiesDialog*>(top);
                                  dialog != nullptr && dialog->isVisible()) {
                                  take(0, dialog);
                                  dialog->close();
                              }
                          }
                      }});
    scenes.push_back(
        modalScene({"plugin-failure.png", "Plug-in failure box: a plug-in that crashes when loaded"},
                   static_cast<QMessageBox*>(nullptr), [](const Program& p) {
                       QString items;
                       for (QAction* item : p.child<QMenu>("mnuMPlugins")->actions()) {
                           items += " [" + item->text() + "]";
                           if (item->text().startsWith("Damaged")) {
                               item->trigger();
                               return;
                           }
                       }
                       std::fprintf(stderr, "no damaged plug-in in the menu:%s\n", qPrintable(items));
                   }));
    scenes.push_back(
        modalScene({"system-error.png", "System-error box: the Basket list cannot be saved (access denied)"},
                   static_cast<QMessageBox*>(nullptr), [](const Program& p) {
                       platform::injectFault("c:\\Public", 5);
                       p.dialogs->files.push_back("c:\\Public\\Basket.lst");
                       p.trigger("mnuSaveBasketList");
                       platform::clearFaults();
                   }));
    return scenes;
}

int run(int argc, char* argv[])
{
    QApplication app(argc, argv);
    wux::platform::useQtDialogs();
    QApplication::setApplicationName(QStringLiteral("Wuxtool"));
    const std::string folder =
        QDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots"))
            .absolutePath()
            .toStdString();
    std::filesystem::create_directories(folder);

    // The drives live in memory when a tmpfs is writable: making and removing their thousands of files
    // there takes a moment, not minutes.
    QTemporaryDir temporary(scratchFolder() + QStringLiteral("/wux-shots-XXXXXX"));
    if (!temporary.isValid()) {
        std::fprintf(stderr, "wux_screenshots: no temporary folder\n");
        return 2;
    }
    // WUX_SHOTS_KEEP=1 keeps the drives for a look after the run.
    temporary.setAutoRemove(std::getenv("WUX_SHOTS_KEEP") == nullptr);
    const std::string base = temporary.path().toStdString();
    setenv("WUX_DRIVES", ("c=" + base + "/c;d=" + base + "/d;e=" + base + "/e:removable").c_str(), 1);
    // The user's configuration (the registry store) and data (the Trash) on c: as well.
    const std::string home = base + "/c/home/user";
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    platform::reloadDriveMap();
    makeFolder(home + "/.config");
    makeFolder(home + "/.local/share");
    makeFiles(base);
    makeStateFiles(base);

    // The program folder on c:, with the tip file and the settings of a user who has started before.
    const std::string programFolder = "c:\\Wuxtool";
    core::setProgramFolder(programFolder);
    // The files installed beside the program: the tip file, the probe and the plug-ins.
    const std::filesystem::path built = QCoreApplication::applicationDirPath().toStdString();
    for (const auto& entry : std::filesystem::directory_iterator(built)) {
        const std::filesystem::path name = entry.path().filename();
        if (name == ".tip" || name == "wux_probe" || name.extension() == ".plgn")
            std::filesystem::copy_file(entry.path(), base + "/c/Wuxtool/" + name.string());
    }
    test::createFile(base + "/c/Wuxtool/wux.ini",
                     "[MainForm]\r\nShowTips=0\r\n[BROWSER_LEFT]\r\nDirectory=c:\\Documents\\Reports\r\n"
                     "[BROWSER_RIGHT]\r\nDirectory=c:\\Backup\r\n");
    mainwindow::WritePluginTitle("CrashOnLoad.plgn", "Damaged sample");

    ShotDialogService dialogs;
    platform::ScopedDialogService dialogScope(dialogs);
    mainwindow::RegisterModuleTexts();
    mainwindow::PrepareProgram("");
    std::unique_ptr<QObject> windows = mainwindow::CreateMainWindows();
    auto* window = dynamic_cast<TMainForm*>(windows.get());
    if (window == nullptr) {
        std::fprintf(stderr, "wux_screenshots: the main window was not made\n");
        return 1;
    }
    Shooter shooter(folder);
    // The quick-search line lies over the foot of its panel.
    shooter.setFloating({"pnlSearch"});
    Shooter::settle(500);
    const Program program{window, &dialogs};
    program.activate(program.left());
    fillToolForms(program, shooter);

    std::vector<Scene> scenes = mainWindowScenes("", "bars as the default layout shows them");
    scenes.push_back({{}, [](const Program& p, Shooter&, const Take&) { p.layout(kEveryBar); }});
    for (Scene& scene : mainWindowScenes("-all-bars", "every bar on"))
        scenes.push_back(std::move(scene));
    scenes.push_back(
        {{}, [](const Program& p, Shooter&, const Take&) { p.layout(mainwindow::kDefaultLayout); }});
    for (Scene& scene : dialogScenes())
        scenes.push_back(std::move(scene));
    for (Scene& scene : windowStateScenes())
        scenes.push_back(std::move(scene));

    // WUX_SHOTS_ONLY=text: only the scenes with a picture whose name holds text (while mending one window).
    const char* only = std::getenv("WUX_SHOTS_ONLY");
    for (const Scene& scene : scenes) {
        if (only != nullptr && *only != '\0' && !scene.pictures.empty() &&
            std::none_of(scene.pictures.begin(), scene.pictures.end(), [only](const Picture& picture) {
                return std::strstr(picture.file, only) != nullptr;
            }))
            continue;
        std::vector<bool> taken(scene.pictures.size(), false);
        scene.play(program, shooter, [&](std::size_t index, QWidget* shown) {
            if (index >= scene.pictures.size() || taken[index])
                return;
            taken[index] = true;
            shooter.shoot(shown, scene.pictures[index].file, scene.pictures[index].description);
        });
        for (std::size_t i = 0; i < scene.pictures.size(); ++i) {
            if (!taken[i])
                shooter.fail(scene.pictures[i].file,
                             std::string("the window never came up (") + scene.pictures[i].description + ")");
        }
    }

    windows.reset();
    if (!shooter.writeIndex())
        shooter.fail("index.md", "cannot be written in " + folder);
    std::printf("%zu pictures in %s\n", shooter.pictureCount(), folder.c_str());
    if (!temporary.autoRemove())
        std::printf("the drives are kept in %s\n", base.c_str());
    if (!shooter.knownFaults().empty())
        std::fprintf(stderr, "\n%zu known fault(s) of windows mended elsewhere (see \"known\" above)\n",
                     shooter.knownFaults().size());
    for (const Shooter::Known& mended : shooter.knownNotSeen())
        std::fprintf(stderr, "known fault no longer seen (mended): %s* \"%s\"\n", mended.file.c_str(),
                     mended.text.c_str());
    if (!shooter.failures().empty()) {
        std::fprintf(stderr, "\n%zu window(s) failed:\n", shooter.failures().size());
        for (const std::string& failure : shooter.failures())
            std::fprintf(stderr, "  %s\n", failure.c_str());
        return 1;
    }
    return 0;
}

} // namespace
} // namespace wux::shots

int main(int argc, char* argv[])
{
    return wux::shots::run(argc, argv);
}
