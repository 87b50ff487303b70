#include "mainwindow/startup.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

#include <string>

#include <gtest/gtest.h>

#include "settings_fixture.h"

namespace wux::mainwindow::test {
namespace {

struct TokenCase
{
    const char* name;
    std::string text;
    std::size_t start;
    std::string token;
    std::size_t position;
    bool more;
};

void PrintTo(const TokenCase& c, std::ostream* os)
{
    *os << c.name;
}

class CommandLineTokenTest : public ::testing::TestWithParam<TokenCase>
{
};

TEST_P(CommandLineTokenTest, ReadsOneTokenAndTheBlanksAfterIt)
{
    const TokenCase& c = GetParam();
    std::string token = "old";
    std::size_t position = c.start;
    EXPECT_EQ(ReadCommandLineToken(token, position, c.text), c.more);
    EXPECT_EQ(token, c.token);
    EXPECT_EQ(position, c.position);
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, CommandLineTokenTest,
    ::testing::Values(TokenCase{"quoted_path_with_blanks", "\"c:\\Program Files\\wux.exe\"", 1,
                                "c:\\Program Files\\wux.exe", 27, false},
                      TokenCase{"unquoted_then_two_blanks", "c:\\wux.exe  arg", 1, "c:\\wux.exe", 13, true},
                      TokenCase{"unclosed_quote_runs_to_the_end", "\"c:\\a b", 1, "c:\\a b", 8, false},
                      TokenCase{"tab_is_no_separator", "a\tb c", 1, "a\tb", 5, true},
                      TokenCase{"empty_text", "", 1, "", 1, false},
                      TokenCase{"empty_quotes_then_argument", "\"\" x", 1, "", 4, true},
                      TokenCase{"from_the_middle", "a b c", 3, "b", 5, true},
                      TokenCase{"trailing_blanks_only", "wux   ", 1, "wux", 7, false},
                      TokenCase{"quote_inside_unquoted_token", "a\"b c", 1, "a\"b", 5, true},
                      TokenCase{"lone_quote", "\"", 1, "", 2, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CommandLineTest, RebuiltFromArgumentsQuotesBlanksAndEmptyOnes)
{
    const char* const argv[] = {"/opt/wux/wux", "a b", "", "c"};
    EXPECT_EQ(CommandLineFromArguments(4, argv), "/opt/wux/wux \"a b\" \"\" c");
    const char* const only[] = {"/opt/my programs/wux"};
    EXPECT_EQ(CommandLineFromArguments(1, only), "\"/opt/my programs/wux\"");
}

class CurrentFolderTest : public SettingsTest
{
protected:
    QString saved = QDir::currentPath();
    ~CurrentFolderTest() override { QDir::setCurrent(saved); }
};

TEST_F(CurrentFolderTest, TheCommandLineSetsTheCurrentFolderOnlyWhenMoreFollows)
{
    wux::test::makeFolder(posix("start"));
    const std::string folder = posix("start");
    ApplyCommandLine("\"" + folder + "\"");
    EXPECT_EQ(QDir::currentPath(), saved);
    ApplyCommandLine("\"" + folder + "\" argument");
    EXPECT_EQ(QDir::currentPath().toStdString(),
              QDir(QString::fromStdString(folder)).canonicalPath().toStdString());

    // The usual case: the program's own file, which is no folder; the failure is not looked at.
    QDir::setCurrent(saved);
    wux::test::createFile(posix("prog/wux"), "");
    ApplyCommandLine(posix("prog/wux") + " x");
    EXPECT_EQ(QDir::currentPath(), saved);
}

TEST_F(SettingsTest, HelpFileFollowsTheLanguageWhenItsFileExists)
{
    const std::string folder = path("prog");
    wux::test::createFile(path("prog\\deutsch.lng.chm"), "help");
    EXPECT_EQ(HelpFilePath(folder, "deutsch.lng"), folder + "\\deutsch.lng.chm");
    EXPECT_EQ(HelpFilePath(folder, "francais.lng"), folder + "\\wux.chm");
    EXPECT_EQ(HelpFilePath(folder, ""), folder + "\\wux.chm");
    EXPECT_EQ(HelpFilePath(folder + "\\", "deutsch.lng"), folder + "\\deutsch.lng.chm");
}

TEST(LanguageFileTest, BareNamesLieInTheProgramFolder)
{
    EXPECT_EQ(LanguageFilePath("c:\\prog", "deutsch.lng"), "c:\\prog\\deutsch.lng");
    EXPECT_EQ(LanguageFilePath("c:\\prog\\", "deutsch.lng"), "c:\\prog\\deutsch.lng");
    EXPECT_EQ(LanguageFilePath("c:\\prog", "d:\\lang\\x.lng"), "d:\\lang\\x.lng");
    EXPECT_EQ(LanguageFilePath("c:\\prog", "sub\\x.lng"), "sub\\x.lng");
}

TEST_F(SettingsTest, ModuleTextsAreRegisteredBeforeTheLanguageFileOverridesThem)
{
    WriteProgramValue(kLanguageValue, "deutsch.lng");
    wux::test::createFile(path("prog\\deutsch.lng"), "1=Keine Dateien im Korb.\r\n900=Optionen\r\n");
    wux::test::createFile(path("prog\\deutsch.lng.chm"), "");
    const QString saved = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(posix("")));

    RegisterModuleTexts();
    PrepareProgram("wux");
    QDir::setCurrent(saved);

    EXPECT_EQ(tools::SettingsFileName(), path("prog\\wux.ini"));
    EXPECT_EQ(core::classTranslator().LanguageName, "deutsch.lng");
    EXPECT_EQ(core::uiText(1), "Keine Dateien im Korb.");
    EXPECT_EQ(core::uiText(900), "Optionen");
    EXPECT_EQ(core::uiText(901), "&Ok");   // the options dialog's own default
    EXPECT_EQ(core::uiText(31), "BASKET"); // the drive list's
    EXPECT_EQ(core::uiText(152), "Operation aborted!");
    EXPECT_EQ(core::uiText(1203), "&Browse"); // the query dialog's
    EXPECT_EQ(core::uiText(1406), "&Failed"); // the run window's
    EXPECT_EQ(tools::HelpFileName(), path("prog\\deutsch.lng.chm"));
}

TEST_F(SettingsTest, WithoutARegistryValueTheTextsStayEnglishAndHelpIsTheProgramsOwn)
{
    RegisterModuleTexts();
    PrepareProgram("wux");
    EXPECT_EQ(core::classTranslator().LanguageName, "");
    EXPECT_EQ(core::uiText(1), "There are no items in the Basket.");
    EXPECT_EQ(tools::HelpFileName(), path("prog\\wux.chm"));
}

TEST_F(SettingsTest, AnUnreadableLanguageFileLeavesTheBuiltInEnglish)
{
    WriteProgramValue(kLanguageValue, "deutsch.lng");
    wux::test::createFile(path("prog\\deutsch.lng"), "900=Optionen\r\n");
    platform::injectFault(path("prog\\deutsch.lng"), platform::kErrorAccessDenied, platform::kFaultOpen);
    RegisterModuleTexts();
    PrepareProgram("wux");
    EXPECT_EQ(core::uiText(900), "Options");
    EXPECT_EQ(tools::HelpFileName(), path("prog\\wux.chm"));
}

TEST_F(SettingsTest, WithoutAMainWindowTheProgramLoadsItsSettingsAndEnds)
{
    wux::test::createFile(iniPath, "[MainForm]\r\nLayout=3\r\nViewer=less\r\n");
    const std::string before = iniBytes();
    const char* const argv[] = {"wux"};
    EXPECT_EQ(RunProgram(*qApp, 1, argv, nullptr), 0);
    EXPECT_EQ(Layout, 3u);
    EXPECT_EQ(filelist::ViewerProgram, "less");
    EXPECT_EQ(iniBytes(), before);
}

TEST_F(SettingsTest, TheWindowsAreMadeAfterThePreparationAndTheLoopRunsUntilItEnds)
{
    WriteProgramValue(kLanguageValue, "deutsch.lng");
    wux::test::createFile(path("prog\\deutsch.lng"), "900=Optionen\r\n");
    std::string seen;
    const char* const argv[] = {"wux"};
    const int code = RunProgram(*qApp, 1, argv, [&]() -> std::unique_ptr<QObject> {
        seen = core::uiText(900) + " " + tools::SettingsFileName();
        QTimer::singleShot(0, [] { QCoreApplication::exit(7); });
        return std::make_unique<QObject>();
    });
    EXPECT_EQ(code, 7);
    EXPECT_EQ(seen, "Optionen " + iniPath);
}

} // namespace
} // namespace wux::mainwindow::test
