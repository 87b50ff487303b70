#include "mainwindow/startup.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

#include <filesystem>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "settings_fixture.h"

namespace wux::mainwindow::test {
namespace {

TEST(CommandLineTest, TokensAndTheLineRebuiltFromArguments)
{
    // text, start, token, position after, more text follows
    for (const auto& [text, start, token, position, more] :
         std::vector<std::tuple<std::string, std::size_t, std::string, std::size_t, bool>>{
             {"\"c:\\Program Files\\wux.exe\"", 1, "c:\\Program Files\\wux.exe", 27, false},
             {"c:\\wux.exe  arg", 1, "c:\\wux.exe", 13, true},
             {"\"c:\\a b", 1, "c:\\a b", 8, false}, // no closing quote
             {"a\tb c", 1, "a\tb", 5, true},
             {"", 1, "", 1, false},
             {"\"\" x", 1, "", 4, true},
             {"a b c", 3, "b", 5, true},
             {"wux   ", 1, "wux", 7, false},
             {"a\"b c", 1, "a\"b", 5, true}}) {
        std::string read = "old";
        std::size_t at = start;
        EXPECT_EQ(ReadCommandLineToken(read, at, text), more) << text;
        EXPECT_EQ(read, token) << text;
        EXPECT_EQ(at, position) << text;
    }
    const char* const argv[] = {"/opt/wux/wux", "a b", "", "c"};
    EXPECT_EQ(CommandLineFromArguments(4, argv), "/opt/wux/wux \"a b\" \"\" c");
}

TEST_F(SettingsTest, TheCurrentFolderChangesOnlyWhenMoreFollowsTheFirstToken)
{
    const QString saved = QDir::currentPath();
    wux::test::makeFolder(posix("start"));
    ApplyCommandLine("\"" + posix("start") + "\"");
    EXPECT_EQ(QDir::currentPath(), saved);
    ApplyCommandLine("\"" + posix("start") + "\" x");
    EXPECT_EQ(QDir::currentPath(), QDir(QString::fromStdString(posix("start"))).canonicalPath());
    QDir::setCurrent(saved);
}

TEST_F(SettingsTest, LanguageAndHelpFilesLieInTheProgramFolder)
{
    const std::string folder = path("prog");
    wux::test::createFile(path("prog\\deutsch.lng.chm"), "help");
    EXPECT_EQ(HelpFilePath(folder, "deutsch.lng"), folder + "\\deutsch.lng.chm");
    EXPECT_EQ(HelpFilePath(folder + "\\", "francais.lng"), folder + "\\wux.chm");
    EXPECT_EQ(HelpFilePath(folder, ""), folder + "\\wux.chm");
    EXPECT_EQ(LanguageFilePath(folder, "deutsch.lng"), folder + "\\deutsch.lng");
    EXPECT_EQ(LanguageFilePath(folder, "d:\\lang\\x.lng"), "d:\\lang\\x.lng");
}

TEST_F(SettingsTest, ModuleTextsComeFirstThenTheLanguageOfTheRegistryAndItsHelp)
{
    WriteProgramValue(kLanguageValue, "deutsch.lng");
    wux::test::createFile(path("prog\\deutsch.lng"), "1=Keine Dateien im Korb.\r\n900=Optionen\r\n");
    wux::test::createFile(path("prog\\deutsch.lng.chm"), "");
    const QString saved = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(posix(""))); // a bare name is not looked up here
    RegisterModuleTexts();
    PrepareProgram("wux");
    QDir::setCurrent(saved);

    EXPECT_EQ(tools::SettingsFileName(), iniPath);
    EXPECT_EQ(core::classTranslator().LanguageName, "deutsch.lng");
    EXPECT_EQ(core::uiText(1) + "|" + core::uiText(900), "Keine Dateien im Korb.|Optionen");
    EXPECT_EQ(core::uiText(901) + "|" + core::uiText(31) + "|" + core::uiText(152),
              "&Ok|BASKET|Operation aborted!");
    EXPECT_EQ(core::uiText(408) + "|" + core::uiText(700), "Brief|Browser");     // main window, panel
    EXPECT_EQ(core::uiText(1203) + "|" + core::uiText(1406), "&Browse|&Failed"); // query dialog, run window
    EXPECT_EQ(tools::HelpFileName(), path("prog\\deutsch.lng.chm"));

    // An unreadable language file leaves the built-in English and the program's own help.
    core::classTranslator().ResetTranslations();
    wux::test::createFile(path("prog\\wux.chm"), "");
    platform::injectFault(path("prog\\deutsch.lng"), platform::kErrorAccessDenied, platform::kFaultOpen);
    std::filesystem::remove(posix("prog/deutsch.lng.chm"));
    PrepareProgram("wux");
    EXPECT_EQ(core::uiText(900), "Options");
    EXPECT_EQ(tools::HelpFileName(), path("prog\\wux.chm"));
}

TEST_F(SettingsTest, WithoutAMainWindowTheSettingsLoadAndTheProgramEnds)
{
    wux::test::createFile(iniPath, "[MainForm]\r\nLayout=3\r\n");
    const char* const argv[] = {"wux"};
    EXPECT_EQ(RunProgram(*qApp, 1, argv, nullptr), 0);
    EXPECT_EQ(Layout, 3u);
    EXPECT_EQ(iniBytes(), "[MainForm]\r\nLayout=3\r\n");

    std::string seen;
    const int code = RunProgram(*qApp, 1, argv, [&]() -> std::unique_ptr<QObject> {
        seen = tools::SettingsFileName();
        QTimer::singleShot(0, [] { QCoreApplication::exit(7); });
        return std::make_unique<QObject>();
    });
    EXPECT_EQ(code, 7);
    EXPECT_EQ(seen, iniPath);
}

} // namespace
} // namespace wux::mainwindow::test
