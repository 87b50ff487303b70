#include "platform/shell/program_starter.h"

#include <gtest/gtest.h>

#include <string>

#include "qt_printers.h"
#include "support/env_guard.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::platform::shell {
namespace {

using Kind = RecordingProgramStarter::Kind;

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

class ProgramStarterTest : public test::TempDriveTest
{
protected:
    void SetUp() override
    {
        // No text editor of the system's name on the PATH unless a test puts one there.
        test::makeFolder(posix("bin"));
        env.set("PATH", posix("bin"));
    }

    RecordingProgramStarter starter;
    ScopedProgramStarter scope{starter};
    test::EnvGuard env;
};

TEST_F(ProgramStarterTest, ParameterLinesBecomeArguments)
{
    struct Case
    {
        std::string line;
        QStringList expected;
    };
    test::makeFolder(path("a b"));
    test::makeFolder(path("dir"));
    ASSERT_TRUE(drive.addDrive('a'));
    const Case cases[] = {
        {"\"c:\\a b\\x.txt\"", {q(posix("a b/x.txt"))}},
        {"c:\\x.txt /p plain", {q(posix("x.txt")), "/p", "plain"}},
        {"C:/dir/new.txt", {q(posix("dir/new.txt"))}},
        {"\"say hi\" z:\\unmapped c:\\missing\\x.txt", {"say hi", "z:\\unmapped", "c:\\missing\\x.txt"}},
        {"", {}},
        {"c: a:\\ c:x.txt", {q(drive.root()), q(drive.root('a')), "c:x.txt"}}, // drive roots; no path
    };
    for (const Case& c : cases)
        EXPECT_EQ(commandArguments(c.line), c.expected) << c.line;
}

TEST_F(ProgramStarterTest, OpenGivesFilesAndFoldersToTheDesktop)
{
    test::createFile(path("docs\\a.txt"), "x");
    EXPECT_EQ(openWithDesktop(path("docs\\a.txt")), kErrorSuccess);
    EXPECT_EQ(openWithDesktop("\"" + path("docs") + "\""), kErrorSuccess);
    ASSERT_EQ(starter.calls().size(), 2u);
    EXPECT_EQ(starter.calls()[0].kind, Kind::kOpenUrl);
    EXPECT_EQ(starter.calls()[0].url, QUrl::fromLocalFile(q(posix("docs/a.txt"))));
    EXPECT_EQ(starter.calls()[1].url, QUrl::fromLocalFile(q(posix("docs"))));

    starter.clear();
    EXPECT_EQ(openWithDesktop(path("docs\\missing.txt")), kErrorFileNotFound);
    EXPECT_EQ(openWithDesktop(path("nowhere\\a.txt")), kErrorPathNotFound);
    EXPECT_TRUE(starter.calls().empty());

    starter.succeed = false;
    EXPECT_EQ(openWithDesktop(path("docs\\a.txt")), kErrorNoAssociation);
}

TEST_F(ProgramStarterTest, ExecutingRunsProgramsAndOpensEverythingElse)
{
    test::createFile(path("tools\\build"), "#!/bin/sh\nexit 0\n", test::kNoTime, 0755);
    test::createFile(path("tools\\notes.txt"), "plain text", test::kNoTime, 0755);  // executable bit only
    test::createFile(path("tools\\script.sh"), "#!/bin/sh\n", test::kNoTime, 0644); // not executable

    EXPECT_EQ(executeFile(path("tools\\build"), path("tools\\")), kErrorSuccess);
    EXPECT_EQ(executeFile(path("tools\\notes.txt"), path("tools\\")), kErrorSuccess);
    EXPECT_EQ(executeFile(path("tools\\script.sh"), path("tools\\")), kErrorSuccess);
    EXPECT_EQ(executeFile(path("tools\\gone"), path("tools\\")), kErrorFileNotFound);

    ASSERT_EQ(starter.calls().size(), 3u);
    EXPECT_EQ(starter.calls()[0].kind, Kind::kStart);
    EXPECT_EQ(starter.calls()[0].program, q(posix("tools/build")));
    EXPECT_TRUE(starter.calls()[0].arguments.isEmpty());
    EXPECT_EQ(starter.calls()[0].workingFolder, q(posix("tools")));
    EXPECT_EQ(starter.calls()[1].kind, Kind::kOpenUrl);
    EXPECT_EQ(starter.calls()[1].url, QUrl::fromLocalFile(q(posix("tools/notes.txt"))));
    EXPECT_EQ(starter.calls()[2].kind, Kind::kOpenUrl);
}

TEST_F(ProgramStarterTest, ProgramsStartWithTheirArgumentsInTheWorkingFolder)
{
    test::createFile(path("work\\a.txt"), "x");
    test::createFile(posix("bin/myeditor"), "#!/bin/sh\n", test::kNoTime, 0755);
    test::createFile(posix("bin/ed"), "#!/bin/sh\n", test::kNoTime, 0755);
    EXPECT_EQ(startProgram("myeditor", "\"" + path("work\\a.txt") + "\"", "\"" + path("work\\") + "\""),
              kErrorSuccess);
    EXPECT_EQ(startProgram("\"c:\\bin\\ed\"", "-n", ""), kErrorSuccess);
    ASSERT_EQ(starter.calls().size(), 2u);
    EXPECT_EQ(starter.calls()[0].kind, Kind::kStart);
    EXPECT_EQ(starter.calls()[0].program, "myeditor");
    EXPECT_EQ(starter.calls()[0].arguments, QStringList{q(posix("work/a.txt"))});
    EXPECT_EQ(starter.calls()[0].workingFolder, q(posix("work")));
    EXPECT_EQ(starter.calls()[1].program, q(posix("bin/ed")));
    EXPECT_EQ(starter.calls()[1].arguments, QStringList{"-n"});
    EXPECT_EQ(starter.calls()[1].workingFolder, QString());

    starter.clear();
    EXPECT_EQ(startProgram("", "x", ""), kErrorFileNotFound);
    EXPECT_EQ(startProgram("q:\\bin\\ed", "x", ""), kErrorPathNotFound);
    EXPECT_TRUE(starter.calls().empty());
    starter.succeed = false;
    EXPECT_EQ(startProgram("myeditor", "x", ""), kErrorFileNotFound);
}

TEST_F(ProgramStarterTest, TheDefaultEditorFallsBackToTheDesktop)
{
    test::createFile(path("a.txt"), "x");
    const std::string quoted = "\"" + path("a.txt") + "\"";
    // The stored default, any program not on the PATH, a program path with no program there.
    for (const char* name : {"notepad.exe", "NotePad.EXE", "absent-editor", "c:\\bin\\absent"}) {
        starter.clear();
        EXPECT_EQ(startProgram(name, quoted, "\"c:\\\""), kErrorSuccess) << name;
        ASSERT_EQ(starter.calls().size(), 1u) << name;
        EXPECT_EQ(starter.calls()[0].kind, Kind::kOpenUrl);
        EXPECT_EQ(starter.calls()[0].url, QUrl::fromLocalFile(q(posix("a.txt"))));
    }

    // The desktop has nothing that opens it.
    starter.clear();
    starter.succeed = false;
    EXPECT_EQ(startProgram("notepad.exe", quoted, ""), kErrorNoAssociation);
    starter.succeed = true;

    // Nothing to open: the file is missing, or a folder, or the parameter names no file.
    starter.clear();
    EXPECT_EQ(startProgram("notepad.exe", "\"" + path("gone.txt") + "\"", ""), kErrorFileNotFound);
    EXPECT_EQ(startProgram("notepad.exe", path("bin"), ""), kErrorFileNotFound);
    EXPECT_EQ(startProgram("notepad.exe", "/p", ""), kErrorFileNotFound);
    EXPECT_TRUE(starter.calls().empty());

    // A program of that name on the PATH is started as any other.
    test::createFile(posix("bin/notepad.exe"), "#!/bin/sh\n", test::kNoTime, 0755);
    EXPECT_EQ(startProgram("notepad.exe", quoted, ""), kErrorSuccess);
    ASSERT_EQ(starter.calls().size(), 1u);
    EXPECT_EQ(starter.calls()[0].kind, Kind::kStart);
    EXPECT_EQ(starter.calls()[0].program, "notepad.exe");
    EXPECT_EQ(starter.calls()[0].arguments, QStringList{q(posix("a.txt"))});
}

TEST_F(ProgramStarterTest, WebAddresses)
{
    EXPECT_EQ(openWebAddress("https://example.com/help"), kErrorSuccess);
    EXPECT_EQ(openWebAddress(" www.example.com "), kErrorSuccess);
    EXPECT_EQ(openWebAddress(""), kErrorInvalidParameter);
    ASSERT_EQ(starter.calls().size(), 2u);
    EXPECT_EQ(starter.calls()[0].url, QUrl("https://example.com/help"));
    EXPECT_EQ(starter.calls()[1].url, QUrl("http://www.example.com"));
}

TEST(ProgramStarter, TheDesktopStarterIsTheDefault)
{
    EXPECT_NE(dynamic_cast<DesktopProgramStarter*>(&programStarter()), nullptr);
    RecordingProgramStarter fake;
    {
        ScopedProgramStarter scope(fake);
        EXPECT_EQ(&programStarter(), &fake);
    }
    EXPECT_NE(dynamic_cast<DesktopProgramStarter*>(&programStarter()), nullptr);
}

} // namespace
} // namespace wux::platform::shell
