#include "platform/help.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/shell/program_starter.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::platform {
namespace {

using shell::RecordingProgramStarter;

class HelpTest : public test::TempDriveTest
{
protected:
    RecordingProgramStarter starter;
    shell::ScopedProgramStarter scope{starter};
};

TEST_F(HelpTest, RecordsEveryRequestAndOpensOnlyAPageInAHelpFolder)
{
    test::createFile(path("help\\BROWSER.htm"), "<html></html>");
    test::createFile(path("wux.chm"), "compiled");
    test::makeFolder(path("help\\FOLDER.htm"));
    struct Case
    {
        std::string helpPath;
        std::string page;
        std::string opened; // the POSIX page handed to the desktop, "" for none
    };
    const Case cases[] = {
        {path("help"), "BROWSER.htm", posix("help/BROWSER.htm")},
        {path("help\\"), "BROWSER.htm", posix("help/BROWSER.htm")},
        {path("HELP"), "browser.htm", posix("help/BROWSER.htm")}, // names ignore case as everywhere
        {path("help"), "RENAME_WINDOW.htm", ""},                  // no such page
        {path("help"), "FOLDER.htm", ""},                         // a folder is no page
        {path("help"), "..\\wux.chm", ""},                        // a page never leaves the folder
        {path("wux.chm"), "BROWSER.htm", ""},                     // a compiled help file opens nothing
        {path("missing\\wux.chm"), "BROWSER.htm", ""},            // a missing file is not reported
        {"", "BROWSER.htm", ""},
    };
    int count = helpRequestCount();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.helpPath + " " + c.page);
        starter.clear();
        EXPECT_EQ(showHelpTopic(c.helpPath, c.page), !c.opened.empty());
        EXPECT_EQ(lastHelpRequest(), c.helpPath + "::/" + c.page);
        EXPECT_EQ(helpRequestCount(), ++count);
        if (c.opened.empty()) {
            EXPECT_TRUE(starter.calls().empty());
        } else {
            ASSERT_EQ(starter.calls().size(), 1u);
            EXPECT_EQ(starter.calls()[0].url.toLocalFile().toStdString(), c.opened);
        }
    }
}

TEST_F(HelpTest, ADesktopThatCannotOpenThePageIsNotAnError)
{
    test::createFile(path("help\\CONTENTS.htm"), "x");
    starter.succeed = false;
    EXPECT_FALSE(showHelpTopic(path("help"), "CONTENTS.htm"));
    EXPECT_EQ(starter.calls().size(), 1u);
    EXPECT_EQ(lastHelpRequest(), path("help") + "::/CONTENTS.htm");
}

} // namespace
} // namespace wux::platform
