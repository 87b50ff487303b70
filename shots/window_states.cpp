// The states the windows pass through, each reached through the program's own commands: the menus and
// popups, the quick-search line, the confirmation questions and the one-gauge progress window, the
// query dialogs of the other commands, the tool forms' other pages and modes, the results and run
// windows in their other states, and the error boxes.
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "controls/wux_string_grid.h"
#include "filelist/copy_confirmation_form.h"
#include "filelist/view_process.h"
#include "platform/fault_injection.h"
#include "shots/driver.h"
#include "support/file_builders.h"
#include "tools/run_window.h"
#include "tools/search_results.h"

namespace wux::shots {

namespace {

// A letter of the large mail folder, which a run needs a while to go through.
std::string mailText(int number)
{
    return "Dear customer,\r\n\r\nyour order no. " + std::to_string(9000 + number) +
           " of Acme Ltd has left our store at 12 Mill Lane.\r\n\r\nKind regards,\r\nAcme Ltd\r\n";
}

// Clicks a widget where a user would: at its centre, or at a point of it.
void clickAt(QWidget* widget, Qt::MouseButton button = Qt::LeftButton, QPoint at = QPoint())
{
    if (widget == nullptr)
        return;
    QTest::mouseClick(widget, button, Qt::NoModifier, at.isNull() ? widget->rect().center() : at);
}

// The picture of a modal window of type T, answered by answer (Escape's Cancel when not given).
template <typename T>
ModalStep shootThen(const Take& take, std::size_t index, std::function<void(T*)> answer = {})
{
    return {[](QWidget* top) { return modalAs<T>(top) != nullptr; },
            [take, index, answer](QWidget* top) {
                take(index, top);
                if (answer)
                    answer(static_cast<T*>(top));
                else if (auto* dialog = qobject_cast<QDialog*>(top))
                    dialog->reject();
            }};
}

// A step that only answers a modal window of type T.
template <typename T> ModalStep answerWith(std::function<void(T*)> answer)
{
    return {[](QWidget* top) { return modalAs<T>(top) != nullptr; },
            [answer](QWidget* top) { answer(static_cast<T*>(top)); }};
}

// A message box: its picture, then OK (or the button given).
ModalStep shootBox(const Take& take, std::size_t index, QMessageBox::StandardButton button = QMessageBox::Ok)
{
    return shootThen<QMessageBox>(take, index, [button](QMessageBox* box) {
        if (QAbstractButton* answer = box->button(button))
            answer->click();
        else
            box->reject();
    });
}

// The confirmation question of the running file operation: the progress window behind it (when
// progress is a picture index) and the question, then Cancel, which ends the operation.
ModalStep shootQuestion(const Take& take, std::size_t question, std::size_t progress = std::size_t(-1))
{
    return shootThen<filelist::TCopyConfirmationForm>(
        take, question, [take, progress](filelist::TCopyConfirmationForm* form) {
            if (progress != std::size_t(-1))
                take(progress, form->parentWidget());
            form->reject();
        });
}

// The query dialog answered with OK.
ModalStep confirmQuery()
{
    return answerWith<tools::TStandardQuery>([](tools::TStandardQuery* query) { query->btnOK()->click(); });
}

// The main window's picture with the scene's state.
Scene mainScene(Picture picture, std::function<void(const Program&)> before,
                std::function<void(const Program&)> after = {})
{
    return {{picture}, [=](const Program& p, Shooter&, const Take& take) {
                before(p);
                take(0, p.window);
                if (after)
                    after(p);
            }};
}

// A search of the Finder over c:\ (the path list replaced) for mask, with text inside when given;
// act takes its pictures of the results window.
void search(const Program& p, Shooter& shooter, const char* what, const QString& mask, const QString& text,
            std::vector<ModalStep> steps)
{
    p.trigger("actFinder");
    if (auto* box = p.control<QCheckBox>("TFinderForm", "chkDuplicates"); box && box->isChecked())
        p.click("TFinderForm", "chkDuplicates");
    p.setText("TFinderForm", "cmbSearchFor", mask);
    if (auto* box = p.control<QCheckBox>("TFinderForm", "chkFindText");
        box && box->isChecked() != !text.isEmpty())
        p.click("TFinderForm", "chkFindText");
    if (!text.isEmpty())
        p.setText("TFinderForm", "cmbTextToFind", text);
    shooter.whileModal(
        what, [&] { p.trigger("actLaunchOperation"); }, std::move(steps));
    if (auto* box = p.control<QCheckBox>("TFinderForm", "chkFindText"); box && box->isChecked())
        p.click("TFinderForm", "chkFindText");
    p.setText("TFinderForm", "cmbSearchFor", "*.docx");
    p.trigger("actBrowser");
}

bool searchDone(QWidget* top)
{
    auto* results = modalAs<tools::TSrchRes>(top);
    return results != nullptr && results->searchFinished();
}

// A Just Find run of the Replacer over the letters of folder for find; steps act on its windows.
void justFind(const Program& p, Shooter& shooter, const char* what, const std::string& folder,
              const QString& find, std::vector<ModalStep> steps)
{
    p.trigger("actReplacer");
    p.click("TReplacerForm", "rbJustFind");
    p.setText("TReplacerForm", "memFind", find);
    p.go(p.left(), folder);
    p.trigger("mnuSelAll");
    shooter.whileModal(
        what, [&] { p.trigger("actLaunchOperation"); }, std::move(steps));
    p.trigger("mnuUnselAll");
    p.click("TReplacerForm", "rbReplace");
    p.setText("TReplacerForm", "memFind", "Acme Ltd");
    p.trigger("actBrowser");
}

bool runFinished(QWidget* top)
{
    auto* run = modalAs<tools::TViewRenReplacer>(top);
    return run != nullptr && run->finished();
}

const char* const kReports = "c:\\Documents\\Reports";

std::vector<Scene> menuScenes()
{
    std::vector<Scene> scenes;
    const std::pair<const char*, Picture> menus[] = {
        {"mnuMFile", {"menu-files.png", "The Files menu open"}},
        {"mnuMView", {"menu-view.png", "The View menu open"}},
        {"mnuOperations", {"menu-operations.png", "The Operations menu open"}},
        {"mnuMMark", {"menu-mark.png", "The Mark menu open"}},
        {"mnuMPlugins", {"menu-plugins.png", "The Plug-ins menu open (the sample plug-ins)"}},
        {"mnuMHelp", {"menu-help.png", "The Help menu open"}},
    };
    for (const auto& [name, picture] : menus) {
        scenes.push_back(
            {{picture}, [name, picture](const Program& p, Shooter& shooter, const Take& take) {
                 p.go(p.left(), kReports, "Quarterly report.docx");
                 auto* bar = p.child<QMenuBar>("tbMenu");
                 auto* menu = p.child<QMenu>(name);
                 if (bar == nullptr || menu == nullptr) {
                     shooter.fail(picture.file, "no menu bar or menu");
                     return;
                 }
                 shooter.whilePopup(
                     picture.file,
                     [&] { clickAt(bar, Qt::LeftButton, bar->actionGeometry(menu->menuAction()).center()); },
                     [&](QWidget* popup) { take(0, popup); });
             }});
    }
    scenes.push_back(
        {{{"popup-favourites.png", "The favourites popup of the drive bar's star button"}},
         [](const Program& p, Shooter& shooter, const Take& take) {
             auto* bar = p.child<QWidget>("pnlWithImgDrives");
             auto* button = bar != nullptr ? bar->findChild<QToolButton*>("btnFavorites") : nullptr;
             shooter.whilePopup(
                 "popup-favourites.png", [&] { clickAt(button); }, [&](QWidget* popup) { take(0, popup); });
         }});
    scenes.push_back({{{"popup-toolbars.png", "The toolbars popup (a right click on the toolbar band)"}},
                      [](const Program& p, Shooter& shooter, const Take& take) {
                          auto* band = p.child<QWidget>("ControlBarMain");
                          shooter.whilePopup(
                              "popup-toolbars.png",
                              [&] {
                                  const QPoint at(band->width() - 20, band->height() / 2);
                                  QContextMenuEvent event(QContextMenuEvent::Mouse, at,
                                                          band->mapToGlobal(at));
                                  QApplication::sendEvent(band, &event);
                              },
                              [&](QWidget* popup) { take(0, popup); });
                      }});
    scenes.push_back(
        {{{"popup-file-context.png", "The context menu of a file (right button held on it)"}},
         [](const Program& p, Shooter& shooter, const Take& take) {
             p.go(p.left(), kReports, "Quarterly report.docx");
             controls::TWUXStringGrid* grid = p.left().sgBrowser();
             const QPoint at = grid->CellRect(grid->Col(), grid->Row()).center();
             shooter.whilePopup(
                 "popup-file-context.png",
                 [&] { QTest::mousePress(grid->viewport(), Qt::RightButton, Qt::NoModifier, at); },
                 [&](QWidget* popup) { take(0, popup); });
             QTest::mouseRelease(grid->viewport(), Qt::RightButton, Qt::NoModifier, at);
             // The right button marked the file: the mark goes again.
             p.trigger("mnuUnselAll");
         }});
    return scenes;
}

std::vector<Scene> mainStateScenes()
{
    std::vector<Scene> scenes;
    scenes.push_back(mainScene(
        {"main-quick-search.png", "Main window with the quick-search line (Ctrl+Alt+O)"},
        [](const Program& p) {
            p.go(p.left(), "c:\\Documents\\Letters");
            p.keyHeld(p.left().sgBrowser(), Qt::Key_O, Qt::ControlModifier | Qt::AltModifier,
                      QStringLiteral("\x0f"));
            if (QWidget* line = QApplication::focusWidget())
                QTest::keyClicks(line, QStringLiteral("Order 41"));
            Shooter::settle();
        },
        [](const Program& p) {
            if (QWidget* line = QApplication::focusWidget())
                QTest::keyClick(line, Qt::Key_Escape);
            Shooter::settle();
            p.activate(p.left());
        }));
    scenes.push_back(mainScene(
        {"main-marked.png", "Main window, a listing with marked files (Insert)"},
        [](const Program& p) {
            p.go(p.left(), "c:\\Documents\\Letters");
            p.key(p.left(), Qt::Key_Home);
            for (int i = 0; i < 4; ++i)
                p.key(p.left(), Qt::Key_Down);
            for (int i = 0; i < 5; ++i)
                p.key(p.left(), Qt::Key_Insert);
            Shooter::settle();
        },
        [](const Program& p) { p.trigger("mnuUnselAll"); }));
    scenes.push_back(mainScene(
        {"main-tools-left.png", "Main window, the Finder on the left (opened from the "
                                "right panel)"},
        [](const Program& p) {
            p.go(p.left(), kReports, "Quarterly report.docx");
            p.activate(*p.window->RightBrowser());
            p.trigger("actFinder");
        },
        [](const Program& p) {
            p.trigger("actBrowser");
            p.activate(p.left());
        }));
    auto finderPage = [](int page) {
        return [page](const Program& p) {
            p.trigger("actFinder");
            if (auto* pages = p.control<QTabWidget>("TFinderForm", "pcFinder")) {
                clickAt(pages->tabBar(), Qt::LeftButton, pages->tabBar()->tabRect(page).center());
                Shooter::settle();
            }
        };
    };
    auto finderBack = [](const Program& p) {
        if (auto* pages = p.control<QTabWidget>("TFinderForm", "pcFinder"))
            pages->setCurrentIndex(0);
        p.trigger("actBrowser");
    };
    scenes.push_back(
        mainScene({"main-finder-advanced.png", "Finder mode, the Advanced page"}, finderPage(1), finderBack));
    scenes.push_back(mainScene(
        {"main-finder-by-content.png", "Finder mode, the By Content page (text ticked)"},
        [=](const Program& p) {
            finderPage(2)(p);
            p.click("TFinderForm", "chkFindText");
            p.setText("TFinderForm", "cmbTextToFind", "Acme Ltd");
        },
        [=](const Program& p) {
            p.click("TFinderForm", "chkFindText");
            finderBack(p);
        }));
    scenes.push_back(mainScene(
        {"main-replacer-insert-between.png", "Replacer mode, \"Insert between\""},
        [](const Program& p) {
            p.trigger("actReplacer");
            p.click("TReplacerForm", "rbInsBeetween");
            p.setText("TReplacerForm", "memEnding", "Lane");
        },
        [](const Program& p) {
            p.click("TReplacerForm", "rbReplace");
            p.trigger("actBrowser");
        }));
    scenes.push_back(mainScene(
        {"main-replacer-just-find.png", "Replacer mode, \"Just Find\""},
        [](const Program& p) {
            p.trigger("actReplacer");
            p.click("TReplacerForm", "rbJustFind");
        },
        [](const Program& p) {
            p.click("TReplacerForm", "rbReplace");
            p.trigger("actBrowser");
        }));
    scenes.push_back(mainScene(
        {"main-panel-drive-bars.png", "Main window, each panel with its own drive bar and no drive box"},
        [](const Program& p) {
            p.layout(mainwindow::kLayoutMainToolbar | mainwindow::kLayoutFunctionKeys |
                     mainwindow::kLayoutPanelDriveBars | mainwindow::kLayoutHeader |
                     mainwindow::kLayoutCurrentDirectory | mainwindow::kLayoutStatusLine);
        },
        [](const Program& p) { p.layout(mainwindow::kDefaultLayout); }));
    return scenes;
}

std::vector<Scene> queryScenes()
{
    std::vector<Scene> scenes;
    scenes.push_back(
        queryScene({"query-new-file.png", "Query dialog of Shift+F4: a file to edit"}, [](const Program& p) {
            p.go(p.left(), kReports, "Quarterly report.docx");
            p.keyHeld(p.left().sgBrowser(), Qt::Key_F4, Qt::ShiftModifier);
        }));
    scenes.push_back(queryScene(
        {"query-file-types.png", "Query dialog of Ctrl+F12: the panel's file types"},
        [](const Program& p) { p.keyHeld(p.left().sgBrowser(), Qt::Key_F12, Qt::ControlModifier); }));
    scenes.push_back(queryScene({"query-unselect-mask.png", "Query dialog of keypad minus: unselect by mask"},
                                [](const Program& p) {
                                    p.activate(p.left());
                                    QTest::keyClick(p.left().sgBrowser(), Qt::Key_Minus, Qt::KeypadModifier);
                                }));
    scenes.push_back(queryScene({"query-basket-copy.png", "Query dialog of F5 in the Basket view (no target, "
                                                          "\"Send to Basket\" disabled)"},
                                [](const Program& p) {
                                    p.drive(p.left(), '*');
                                    p.trigger("mnuSelAll");
                                    p.key(p.left(), Qt::Key_F5);
                                }));
    scenes.push_back({{}, [](const Program& p, Shooter&, const Take&) {
                          p.trigger("mnuUnselAll");
                          p.drive(p.left(), 'c');
                          p.go(p.left(), kReports, "Quarterly report.docx");
                      }});
    scenes.push_back(queryScene({"query-finder-add-path.png", "Query dialog of the Finder's Add: a folder to "
                                                              "search"},
                                [](const Program& p) {
                                    p.trigger("actFinder");
                                    p.click("TFinderForm", "btnAdd");
                                }));
    scenes.push_back(
        queryScene({"query-finder-edit-path.png", "Query dialog of the Finder's Edit: the selected "
                                                  "folder"},
                   [](const Program& p) {
                       p.click("TFinderForm", "btnEdit");
                       p.trigger("actBrowser");
                   }));
    return scenes;
}

std::vector<Scene> confirmationScenes()
{
    std::vector<Scene> scenes;
    scenes.push_back(
        {{{"confirm-step-failed.png", "Confirmation window: a copy step failed (Retry, Skip, Abort)"}},
         [](const Program& p, Shooter& shooter, const Take& take) {
             p.go(*p.window->RightBrowser(), "c:\\Backup");
             p.go(p.left(), kReports, "Customers.csv");
             platform::injectFault("c:\\Documents\\Reports\\Customers.csv", platform::WinError(5),
                                   platform::kFaultOpen | platform::kFaultRead);
             shooter.whileModal("copy failing", [&] { p.key(p.left(), Qt::Key_F5); },
                                {confirmQuery(), shootQuestion(take, 0)});
             platform::clearFaults();
         }});
    scenes.push_back(
        {{{"confirm-folder-not-created.png", "Confirmation window: a folder cannot be created (Yes, No)"}},
         [](const Program& p, Shooter& shooter, const Take& take) {
             p.go(p.left(), "c:\\Projects", "wuxtool");
             platform::injectFault("c:\\Backup\\wuxtool", platform::WinError(5),
                                   platform::kFaultCreateFolder);
             shooter.whileModal("folder copy failing", [&] { p.key(p.left(), Qt::Key_F5); },
                                {confirmQuery(), shootQuestion(take, 0)});
             platform::clearFaults();
         }});
    scenes.push_back({{{"confirm-read-only.png", "Confirmation window: delete a READ ONLY file anyway?"},
                       {"progress-delete.png", "File-operation progress window of a delete (one gauge)"}},
                      [](const Program& p, Shooter& shooter, const Take& take) {
                          p.go(p.left(), "c:\\Public", "Price list (read-only).txt");
                          shooter.whileModal("read-only delete", [&] { p.key(p.left(), Qt::Key_F8); },
                                             {confirmQuery(), shootQuestion(take, 0, 1)});
                      }});
    scenes.push_back(
        {{{"confirm-folder-not-empty.png", "Confirmation window: delete a folder that is not empty?"},
          {"progress-delete-folder.png", "File-operation progress window naming the folder asked about"}},
         [](const Program& p, Shooter& shooter, const Take& take) {
             p.go(p.left(), "c:\\Projects", "wuxtool");
             shooter.whileModal("folder delete", [&] { p.key(p.left(), Qt::Key_F8); },
                                {confirmQuery(), shootQuestion(take, 0, 1)});
             p.go(p.left(), kReports, "Quarterly report.docx");
         }});
    return scenes;
}

std::vector<Scene> resultScenes()
{
    std::vector<Scene> scenes;
    scenes.push_back({{{"results-mask-selection.png",
                        "Results window: keypad plus asks for a mask to select (the query over it)"},
                       {"results-brief.png", "Results window in the brief view"}},
                      [](const Program& p, Shooter& shooter, const Take& take) {
                          search(p, shooter, "results states", "*.docx", {},
                                 {{searchDone, [take, &shooter](QWidget* top) {
                                       auto* results = static_cast<tools::TSrchRes*>(top);
                                       auto* grid = results->findChild<controls::TWUXStringGrid*>("sgFinder");
                                       grid->setFocus();
                                       shooter.seenOver(top);
                                       shooter.whileModal(
                                           "results mask",
                                           [&] { QTest::keyClick(grid, Qt::Key_Plus, Qt::KeypadModifier); },
                                           {shootAndClose<tools::TStandardQuery>(take, 0)});
                                       clickAt(results->findChild<QWidget*>("btnSetModeBrief"));
                                       Shooter::settle(200);
                                       take(1, top);
                                       static_cast<QDialog*>(top)->reject();
                                   }}});
                      }});
    scenes.push_back({{{"results-not-found.png", "Results window of a search that found nothing"}},
                      [](const Program& p, Shooter& shooter, const Take& take) {
                          search(p, shooter, "search without hits", "*.nothing", {},
                                 {{searchDone, [take](QWidget* top) {
                                       Shooter::settle(200);
                                       take(0, top);
                                       static_cast<QDialog*>(top)->reject();
                                   }}});
                      }});
    scenes.push_back(
        {{{"results-searching.png", "Results window while a search for text in 3 000 letters still runs"}},
         [](const Program& p, Shooter& shooter, const Take& take) {
             p.trigger("actFinder");
             shooter.whileModal("mail path", [&] { p.click("TFinderForm", "btnAdd"); },
                                {answerWith<tools::TStandardQuery>([](tools::TStandardQuery* query) {
                                    query->edInfo()->setText("c:\\Mail");
                                    query->btnOK()->click();
                                })});
             if (auto* chosen = p.control<QCheckBox>("TFinderForm", "chkFindInSelDirs");
                 chosen && chosen->isChecked())
                 p.click("TFinderForm", "chkFindInSelDirs");
             // The search stops at the letters in the sub-folder until the picture is taken: the hits
             // of the folder itself, which the walk takes first, are in.
             platform::injectHold("c:\\Mail\\Replies\\", platform::kFaultOpen);
             search(p, shooter, "long search", "*.txt", "Mill Lane",
                    {{[](QWidget* top) {
                          auto* results = modalAs<tools::TSrchRes>(top);
                          auto* grid = results != nullptr
                                           ? results->findChild<controls::DrawGrid*>("sgFinder")
                                           : nullptr;
                          return grid != nullptr && platform::heldThreads() > 0 && grid->RowCount() > 20;
                      },
                      [take](QWidget* top) {
                          Shooter::settle(150);
                          take(0, top);
                          platform::releaseHolds();
                      }},
                     {searchDone, [](QWidget* top) { static_cast<QDialog*>(top)->reject(); }}});
             p.trigger("actFinder");
             p.click("TFinderForm", "btnDelete");
             p.trigger("actBrowser");
         }});
    return scenes;
}

std::vector<Scene> runScenes()
{
    std::vector<Scene> scenes;
    scenes.push_back(
        {{{"run-find-filtered.png", "Run window of a Just Find run, filtered to the successful files"}},
         [](const Program& p, Shooter& shooter, const Take& take) {
             justFind(p, shooter, "find run", "c:\\Documents\\Letters", "no. 45",
                      {{runFinished, [take](QWidget* top) {
                            auto* run = static_cast<tools::TViewRenReplacer*>(top);
                            clickAt(run->rbSuccess());
                            Shooter::settle();
                            take(0, top);
                            run->reject();
                        }}});
         }});
    scenes.push_back(
        {{{"run-find-abort-question.png", "Run window: Escape during the run asks \"Abort operation?\""},
          {"run-find-stopped.png", "Run window of a run stopped by the user (\"Operation aborted!\")"}},
         [](const Program& p, Shooter& shooter, const Take& take) {
             // The run stops at its 31st letter until the question has been answered.
             platform::injectHold("c:\\Mail archive\\Mail 00031.txt", platform::kFaultOpen);
             ModalStep answered = shootBox(take, 0, QMessageBox::Yes);
             answered.act = [act = answered.act](QWidget* top) {
                 act(top);
                 platform::releaseHolds();
             };
             justFind(p, shooter, "stopped run", "c:\\Mail archive", "Mill Lane",
                      {whileHeld<tools::TViewRenReplacer>(
                           [&shooter](QWidget* top) {
                               shooter.seenOver(top);
                               QTest::keyClick(top, Qt::Key_Escape);
                           },
                           true),
                       answered,
                       {runFinished, [take, &shooter](QWidget* top) {
                            auto* run = static_cast<tools::TViewRenReplacer*>(top);
                            Shooter::settle();
                            if (!run->pnlFilesComment()->text().contains(QStringLiteral("aborted")))
                                shooter.fail("run-find-stopped.png", "the run ended before it was stopped");
                            else
                                take(1, top);
                            run->reject();
                        }}});
         }});
    return scenes;
}

std::vector<Scene> basketAndErrorScenes()
{
    std::vector<Scene> scenes;
    scenes.push_back({{{"error-no-files-selected.png",
                        "Error box: F5 on \"..\" with nothing marked (\"No files selected!\")"}},
                      [](const Program& p, Shooter& shooter, const Take& take) {
                          p.go(p.left(), kReports);
                          p.key(p.left(), Qt::Key_Home);
                          shooter.whileModal("nothing selected", [&] { p.key(p.left(), Qt::Key_F5); },
                                             {shootBox(take, 0)});
                      }});
    scenes.push_back(
        {{{"error-table-load.png", "Error box of the Batch Replacer: a table file without a pair"}},
         [](const Program& p, Shooter& shooter, const Take& take) {
             p.trigger("actBatchReplacer");
             p.dialogs->files.push_back("c:\\Public\\Empty table.rtbl");
             shooter.whileModal("table load", [&] { p.click("TBatchReplacerForm", "btnLoad"); },
                                {shootBox(take, 0)});
         }});
    scenes.push_back(
        {{{"error-table-save.png", "Error box of the Batch Replacer: the table cannot be saved"}},
         [](const Program& p, Shooter& shooter, const Take& take) {
             platform::injectFault("c:\\Public", platform::WinError(5));
             p.dialogs->files.push_back("c:\\Public\\Pairs.rtbl");
             shooter.whileModal("table save", [&] { p.click("TBatchReplacerForm", "btnSave"); },
                                {shootBox(take, 0)});
             platform::clearFaults();
         }});
    scenes.push_back({{{"error-pattern.png", "Error box of the Batch Replacer: a find text that is no valid "
                                             "pattern (#B#)"}},
                      [](const Program& p, Shooter& shooter, const Take& take) {
                          p.setText("TBatchReplacerForm", "cmbFindString", "#B#");
                          p.setText("TBatchReplacerForm", "cmbReplaceString", "x");
                          shooter.whileModal("bad pattern", [&] { p.click("TBatchReplacerForm", "btnAdd"); },
                                             {shootBox(take, 0)});
                          p.setText("TBatchReplacerForm", "cmbFindString", "");
                          p.setText("TBatchReplacerForm", "cmbReplaceString", "");
                          p.trigger("actBrowser");
                      }});
    scenes.push_back(mainScene(
        {"main-basket-empty.png", "Main window, the left panel on the empty Basket"},
        [](const Program& p) {
            p.trigger("mnuClearBasket");
            p.drive(p.left(), '*');
        },
        [](const Program& p) {
            p.drive(p.left(), 'c');
            p.go(p.left(), kReports, "Quarterly report.docx");
        }));
    return scenes;
}

} // namespace

void makeStateFiles(const std::string& base)
{
    const std::string c = base + "/c/";
    // 3,000 letters, the last hundred in a sub-folder.
    for (int i = 1; i <= 3000; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "Mail/%sMail %05d.txt", i > 2900 ? "Replies/" : "", i);
        test::createFile(c + name, mailText(i));
    }
    // The letters of the stopped run (it is held at its 31st until it has been stopped).
    for (int i = 1; i <= 200; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "Mail archive/Mail %05d.txt", i);
        test::createFile(c + name, mailText(i));
    }
    const std::string locked = c + "Public/Price list (read-only).txt";
    test::createFile(locked, "Prices of 2025.\r\n");
    ::chmod(locked.c_str(), 0444);
    test::createFile(c + "Public/Empty table.rtbl", "");
}

std::vector<Scene> windowStateScenes()
{
    std::vector<Scene> scenes;
    for (auto* part : {&menuScenes, &mainStateScenes, &queryScenes, &confirmationScenes, &resultScenes,
                       &runScenes, &basketAndErrorScenes})
        for (Scene& scene : (*part)())
            scenes.push_back(std::move(scene));
    return scenes;
}

} // namespace wux::shots
