// The program as a whole: options saved and in force at the next start, a language switched to and back,
// a plug-in run.
#include "journey.h"

#include <QListWidget>
#include <QStackedWidget>
#include <QTreeWidget>

#include <filesystem>

#include "filelist/general_options.h"
#include "mainwindow/options_dialog.h"
#include "mainwindow/settings.h"
#include "mainwindow/settings_fixture.h"
#include "platform/ini_file.h"

namespace wux::e2e {
namespace {

using mainwindow::TOptions;


TEST_F(Journey, AnOptionAppliedSavedAndInForceAtTheNextStart)
{
    createFile(drive.path("work\\.secret"), "s");
    createFile(drive.path("work\\seen.txt"), "t");
    settings(drive.path("work"), drive.path("work"));
    EXPECT_EQ(run([&] {
                  EXPECT_EQ(rows(left()), "[..]|seen.txt");
                  std::string during;
                  when<TOptions>([&](TOptions& options) {
                      openOptionsPage(options, "tsDisplay");
                      click(options.findChild<QWidget*>("chkShowHidden"));
                      click(options.findChild<QWidget*>("btnApply"));
                      during = rows(left()) + "|" + rows(right());
                      click(options.findChild<QWidget*>("btnSaveSettings"));
                      click(options.findChild<QWidget*>("btnOk"));
                  });
                  key(Qt::Key_O, Qt::ControlModifier);
                  EXPECT_EQ(during, "[..]|.secret|seen.txt|[..]|.secret|seen.txt");
                  const std::string ini = readFileBytes(iniPath);
                  EXPECT_NE(ini.find("\r\nGeneralCheckContainer=" +
                                     std::to_string(filelist::kDefaultGeneralCheckContainer | 0x80) + "\r\n"),
                            std::string::npos)
                      << ini;
                  key(Qt::Key_F4, Qt::AltModifier);
              }),
              0);
    // The program started again from the saved file: a new main window with the option in force.
    mainwindow::test::resetSettings();
    EXPECT_EQ(run([&] {
                  EXPECT_EQ(rows(left()), "[..]|.secret|seen.txt");
                  key(Qt::Key_F4, Qt::AltModifier);
              }),
              0);
}

TEST_F(Journey, ALanguageSwitchedToAndBackToEnglish)
{
    createFile(programFolder + "\\deutsch.lng",
               "424=&Dateien\r\n431=&Ansicht\r\n416=F5 Kopieren\r\n"
               "25= Dateien im Korb\r\n26=%s von %s k in %d von %d Dateien markiert\r\n");
    createFile(drive.path("work\\one.txt"), "1");
    settings(drive.path("work"), drive.path("work"));
    const auto chooseLanguage = [&](int row) {
        when<TOptions>([&, row](TOptions& options) {
            openOptionsPage(options, "tsLanguage");
            auto* list = options.findChild<QListWidget*>("lstLanguage");
            click(list->viewport(), Qt::NoModifier, list->visualItemRect(list->item(row)).center());
            click(options.findChild<QWidget*>("btnOk"));
        });
        key(Qt::Key_O, Qt::ControlModifier);
    };
    const auto texts = [&] {
        return child<QMenu>("mnuMFile")->title().toStdString() + "|" +
               child<QMenu>("mnuMView")->title().toStdString() + "|" +
               child<QAction>("mnuCopy")->text().toStdString() + "|" +
               child<QWidget>("btnCopy")->property("text").toString().toStdString() + "|" +
               left().lblBasketInfo()->text().toStdString() + "|" + status(left());
    };
    EXPECT_EQ(run([&] {
                  EXPECT_EQ(texts(),
                            "&Files|&View|Copy|F5 Copy|0 Files in Basket|0 of 0 k in 0 of 1 files selected");
                  chooseLanguage(1);
                  EXPECT_EQ(texts(), "&Dateien|&Ansicht|Kopieren|F5 Kopieren|0 Dateien im Korb|"
                                     "0 von 0 k in 0 von 1 Dateien markiert");
                  chooseLanguage(0);
                  EXPECT_EQ(texts(),
                            "&Files|&View|Copy|F5 Copy|0 Files in Basket|0 of 0 k in 0 of 1 files selected");
                  key(Qt::Key_F4, Qt::AltModifier);
              }),
              0);
}

TEST_F(Journey, APlugInRunOverTheMarkedFilesThenSelectSuccessful)
{
    for (const char* file : {"SampleWalk.plgn", "wux_probe"})
        std::filesystem::copy_file(std::string(WUX_PLUGIN_DIR) + "/" + file,
                                   drive.posix(std::string("prog/") + file));
    createFile(drive.path("p\\a.txt"), "a");
    createFile(drive.path("p\\b.txt"), "b");
    createFile(drive.path("p\\c.txt"), "c");
    settings(drive.path("p"), drive.path("p"));
    EXPECT_EQ(
        run([&] {
            QMenu* plugins = child<QMenu>("mnuMPlugins");
            std::string items;
            for (QAction* item : plugins->actions())
                items += item->text().toStdString() + "|";
            EXPECT_EQ(items, "Get new plug-ins|What is plug-in||Sample Walk...|");
            cursorTo(left(), "a.txt");
            keys({Qt::Key_Insert, Qt::Key_Down, Qt::Key_Insert});
            EXPECT_EQ(marked(left()), "a.txt|c.txt");
            // The plug-in's item in its menu: it walks the marked files, unmarks them and reports success.
            QAction* walk = plugins->actions().last();
            auto* bar = child<QMenuBar>("tbMenu");
            click(bar, Qt::NoModifier, bar->actionGeometry(plugins->menuAction()).center());
            ASSERT_TRUE(QTest::qWaitFor([plugins] { return plugins->isVisible(); }, 1000));
            QTest::mouseClick(plugins, Qt::LeftButton, Qt::NoModifier,
                              plugins->actionGeometry(walk).center());
            const std::string log = programFolder + "\\SampleWalk.log";
            EXPECT_TRUE(QTest::qWaitFor(
                [&] { return exists(log) && readFileBytes(log).find("end 2") != std::string::npos; }, 5000));
            EXPECT_EQ(readFileBytes(log), "parameters=12 language=\nsettings=" + iniPath +
                                              "\ncounts=2 2 0 0\n"
                                              "file=" +
                                              drive.path("p\\a.txt") +
                                              " 32 1\nfile=" + drive.path("p\\c.txt") + " 32 1\nend 2\n");
            EXPECT_EQ(marked(left()), "");
            menu("mnuMMark", "SelectSuccessful");
            EXPECT_EQ(marked(left()), "a.txt|c.txt");
            key(Qt::Key_F4, Qt::AltModifier);
        }),
        0);
}

} // namespace
} // namespace wux::e2e
