// The system-error box: the system's message text, the title, the prefix line, and boxes asked for on a
// worker thread.
#include "core/system_error.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/thread.h"

namespace wux::core {
namespace {

class SystemErrorTest : public ::testing::Test
{
protected:
    platform::ScriptedDialogService dialogs;
    platform::ScopedDialogService installed{dialogs};
};

TEST_F(SystemErrorTest, TextWithoutABox)
{
    std::string text = "old";
    ShowSystemError(false, 5, "Caption", "Prefix", text);
    EXPECT_EQ(text, "Access is denied.");
    ShowSystemError(false, 987654, "", "", text); // unknown codes have a text too
    EXPECT_EQ(text, platform::errorText(987654));
    EXPECT_FALSE(text.empty());
    EXPECT_LE(text.size(), kSystemMessageMaxLength);
    EXPECT_TRUE(dialogs.records().empty());
}

TEST_F(SystemErrorTest, BoxTitledWithTheCaptionShowingPrefixAndText)
{
    std::string text;
    ShowSystemError(true, 112, "WRITE TO FILE: Error 112", "", text);
    ShowSystemError(true, 2, "Wuxtool", "MoveFile: Error", text);
    ASSERT_EQ(dialogs.records().size(), 2U);
    EXPECT_EQ(dialogs.captions()[0], "WRITE TO FILE: Error 112");
    EXPECT_EQ(dialogs.texts()[0], platform::errorText(112));
    EXPECT_EQ(dialogs.captions()[1], "Wuxtool");
    EXPECT_EQ(dialogs.texts()[1], "MoveFile: Error\r\n" + platform::errorText(2));
    for (const auto& record : dialogs.records()) {
        EXPECT_EQ(record.request.icon, platform::MsgIcon::Warning);
        EXPECT_EQ(record.request.buttons, platform::MsgButtons::Ok);
    }
    EXPECT_EQ(text, platform::errorText(2));
}

class BoxWorker : public platform::WuxThread
{
protected:
    void Execute() override
    {
        std::string text;
        ShowSystemError(true, 32, "READ FROM FILE: Error 32", "", text);
    }
};

TEST_F(SystemErrorTest, BoxFromAWorkerIsShownByTheGuiThread)
{
    BoxWorker worker;
    worker.Start();
    worker.WaitFor();
    EXPECT_FALSE(worker.failed()) << worker.failureMessage();
    ASSERT_EQ(dialogs.records().size(), 1U);
    EXPECT_TRUE(dialogs.records()[0].onGuiThread);
    EXPECT_EQ(dialogs.captions()[0], "READ FROM FILE: Error 32");
    EXPECT_EQ(dialogs.texts()[0], platform::errorText(32));
}

} // namespace
} // namespace wux::core
