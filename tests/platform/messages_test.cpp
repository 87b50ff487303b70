// Message windows (post, send, modal loop) and the sample plug-ins driven through them by a stand-in
// main window.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <QCoreApplication>
#include <QTimer>

#include <string>
#include <vector>

#include "plugins/wux_plugin.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace {

struct Delivery
{
    uint32_t message;
    WuxWParam wParam;
    WuxLParam lParam;
    bool operator==(const Delivery&) const = default;
};

std::vector<Delivery> deliveries;

intptr_t recordingProc(WuxWindow, uint32_t message, WuxWParam wParam, WuxLParam lParam, void* context)
{
    deliveries.push_back({message, wParam, lParam});
    return static_cast<intptr_t>(wParam) * 10 + reinterpret_cast<intptr_t>(context);
}

// Ends the window's modal loop with the message's WParam.
intptr_t endingProc(WuxWindow window, uint32_t message, WuxWParam wParam, WuxLParam lParam, void*)
{
    deliveries.push_back({message, wParam, lParam});
    if (message == 2)
        wuxEndModalLoop(window, static_cast<int>(wParam));
    return 0;
}

class MessagesTest : public ::testing::Test
{
protected:
    void SetUp() override { deliveries.clear(); }
};

TEST_F(MessagesTest, PostIsQueuedInOrderAndSendIsDirect)
{
    WuxWindow window = wuxCreateWindow(recordingProc, reinterpret_cast<void*>(3));
    ASSERT_NE(window, 0u);
    EXPECT_EQ(wuxIsWindow(window), 1);
    EXPECT_EQ(wuxPostMessage(window, 0x429, 1, 11), 1);
    EXPECT_EQ(wuxPostMessage(window, 0x429, 2, -12), 1);
    EXPECT_TRUE(deliveries.empty()) << "a posted message waits for the event loop";
    EXPECT_EQ(wuxSendMessage(window, 0x42A, 5, 55), 53);
    EXPECT_EQ(deliveries, (std::vector<Delivery>{{0x42A, 5, 55}}));
    QCoreApplication::processEvents();
    EXPECT_EQ(deliveries, (std::vector<Delivery>{{0x42A, 5, 55}, {0x429, 1, 11}, {0x429, 2, -12}}));
    wuxDestroyWindow(window);
}

TEST_F(MessagesTest, UnknownAndDestroyedWindowsGetNothing)
{
    EXPECT_EQ(wuxCreateWindow(nullptr, nullptr), 0u);
    WuxWindow window = wuxCreateWindow(recordingProc, nullptr);
    WuxWindow other = wuxCreateWindow(recordingProc, nullptr);
    EXPECT_NE(window, other);
    EXPECT_EQ(wuxPostMessage(window, 7, 1, 0), 1);
    wuxDestroyWindow(window);
    wuxDestroyWindow(window);
    EXPECT_EQ(wuxIsWindow(window), 0);
    EXPECT_EQ(wuxPostMessage(window, 7, 2, 0), 0);
    EXPECT_EQ(wuxSendMessage(window, 7, 3, 0), 0);
    EXPECT_EQ(wuxRunModalLoop(window), -1);
    QCoreApplication::processEvents();
    EXPECT_TRUE(deliveries.empty()) << "a message queued for a destroyed window is dropped";
    wuxDestroyWindow(other);
}

TEST_F(MessagesTest, ModalLoopDeliversUntilEnded)
{
    WuxWindow window = wuxCreateWindow(endingProc, nullptr);
    wuxEndModalLoop(window, 9); // no loop yet: ignored
    wuxPostMessage(window, 1, 4, 0);
    wuxPostMessage(window, 2, 17, 0);
    wuxPostMessage(window, 3, 0, 0);
    EXPECT_EQ(wuxRunModalLoop(window), 17);
    QCoreApplication::processEvents();
    EXPECT_EQ(deliveries, (std::vector<Delivery>{{1, 4, 0}, {2, 17, 0}, {3, 0, 0}}));

    // A nested loop of the same window is refused; destroying the window ends its loop with 0.
    int nested = 0;
    QTimer::singleShot(0, [&] {
        nested = wuxRunModalLoop(window);
        wuxDestroyWindow(window);
    });
    EXPECT_EQ(wuxRunModalLoop(window), 0);
    EXPECT_EQ(nested, -1);
}

// A stand-in main window that serves the plug-in requests over a list of files.
struct FakeHost
{
    std::vector<std::string> names;
    std::string folder = "c:\\data";
    std::string settings;
    size_t next = 0;
    std::vector<std::string> requests;
    std::vector<std::string> results; // "name:flags"
    TOperationFileInfo info{};
    TOperationCounts counts{};
};

intptr_t hostProc(WuxWindow, uint32_t message, WuxWParam wParam, WuxLParam lParam, void* context)
{
    auto& host = *static_cast<FakeHost*>(context);
    if (message != WUX_MSG_PLUGIN_REQUEST)
        return 0;
    auto code = static_cast<uint32_t>(wParam & 0xFFFF);
    host.requests.push_back(std::to_string(code));
    auto plugin = static_cast<WuxWindow>(lParam);
    switch (code) {
    case WUX_REQUEST_NEXT_FILE:
        if (host.next < host.names.size()) {
            host.info = {host.names[host.next].c_str(), host.folder.c_str(), 0x20,
                         static_cast<int32_t>(host.next)};
            ++host.next;
            wuxPostMessage(plugin, WUX_MSG_PLUGIN_REPLY, 1, reinterpret_cast<WuxLParam>(&host.info));
        } else {
            wuxPostMessage(plugin, WUX_MSG_PLUGIN_REPLY, 1, 0);
        }
        break;
    case WUX_REQUEST_SET_RESULT: {
        auto* result = reinterpret_cast<const TOperationFileResult*>(lParam);
        host.results.push_back(host.names[host.next - 1] + ":" + std::to_string(result->flags));
        break;
    }
    case WUX_REQUEST_COUNTS:
        host.counts = {static_cast<uint32_t>(host.names.size()), 1, 0, 0};
        wuxPostMessage(plugin, WUX_MSG_PLUGIN_REPLY, 3, reinterpret_cast<WuxLParam>(&host.counts));
        break;
    case WUX_REQUEST_RESTART:
        host.next = 0;
        break;
    case WUX_REQUEST_SETTINGS:
        wuxSendMessage(plugin, WUX_MSG_PLUGIN_REPLY, 5, reinterpret_cast<WuxLParam>(host.settings.c_str()));
        break;
    }
    return 0;
}

struct SampleCase
{
    const char* name;
    const char* library;
    const char* ini;
    std::vector<std::string> files;
    bool returned;
    const char* logName;
    std::string log; // "<settings>" stands for the settings path
    std::vector<std::string> requests;
    std::vector<std::string> results;
};

void PrintTo(const SampleCase& c, std::ostream* os)
{
    *os << c.name;
}

class SamplePluginTest : public ::testing::TestWithParam<SampleCase>
{
protected:
    wux::test::TempDrive drive{"c"};
};

TEST_P(SamplePluginTest, RunsAgainstAHost)
{
    const SampleCase& c = GetParam();
    wux::test::createFile(drive.path("cfg\\wux.ini"), c.ini);
    std::string library = std::string(WUX_PLUGIN_DIR) + "/" + c.library;
    void* module = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    auto parameters = reinterpret_cast<WuxPluginParameters>(dlsym(module, "PluginParameters"));
    auto start = reinterpret_cast<WuxStartPlugin>(dlsym(module, "StartPlugin"));
    ASSERT_TRUE(parameters && start);

    FakeHost host;
    host.names = c.files;
    host.settings = drive.path("cfg\\wux.ini");
    WuxWindow main = wuxCreateWindow(hostProc, &host);
    parameters(1, "german.lng");
    parameters(2, host.settings.c_str());
    EXPECT_EQ(start(1, main) != 0, c.returned);
    wuxDestroyWindow(main);
    dlclose(module);

    std::string expected = c.log;
    for (size_t at; (at = expected.find("<settings>")) != std::string::npos;)
        expected.replace(at, 10, host.settings);
    EXPECT_EQ(wux::test::readFileBytes(drive.path(std::string("cfg\\") + c.logName)), expected);
    EXPECT_EQ(host.requests, c.requests);
    EXPECT_EQ(host.results, c.results);
}

INSTANTIATE_TEST_SUITE_P(
    Samples, SamplePluginTest,
    ::testing::Values(SampleCase{"WalkDefault",
                                 "SampleWalk.plgn",
                                 "",
                                 {"a.txt", "b.txt"},
                                 true,
                                 "SampleWalk.log",
                                 "parameters=12 language=german.lng\nsettings=<settings>\ncounts=2 1 0 0\n"
                                 "file=c:\\data\\a.txt 32 0\nfile=c:\\data\\b.txt 32 1\nend 2\n",
                                 {"5", "3", "1", "2", "1", "2", "1"},
                                 {"a.txt:66", "b.txt:66"}},
                      SampleCase{"WalkRestartFlagsReturn",
                                 "SampleWalk.plgn",
                                 "[Other]\nResult=1\n[ sample walk ]\n Result = 0x82 \nRestart=1\nReturn=0\n",
                                 {"x"},
                                 false,
                                 "SampleWalk.log",
                                 "parameters=12 language=german.lng\nsettings=<settings>\ncounts=1 1 0 0\n"
                                 "file=c:\\data\\x 32 0\nrestart\nfile=c:\\data\\x 32 0\nend 2\n",
                                 {"5", "3", "1", "2", "1", "4", "1", "2", "1"},
                                 {"x:130", "x:130"}},
                      SampleCase{
                          "WalkNoFiles",
                          "SampleWalk.plgn",
                          "[Sample Walk]\nResult=junk\n",
                          {},
                          true,
                          "SampleWalk.log",
                          "parameters=12 language=german.lng\nsettings=<settings>\ncounts=0 1 0 0\nend 0\n",
                          {"5", "3", "1"},
                          {}},
                      SampleCase{"CountsReturnsFalse",
                                 "SampleCounts.plgn",
                                 "[Sample Walk]\nReturn=1\n",
                                 {"a", "b", "c"},
                                 false,
                                 "SampleCounts.log",
                                 "parameters=12 language=german.lng\nsettings=<settings>\ncounts=3 1 0 0\n",
                                 {"5", "3"},
                                 {}},
                      SampleCase{"CountsSteeredToTrue",
                                 "SampleCounts.plgn",
                                 "[Sample Counts]\nReturn=1\n",
                                 {},
                                 true,
                                 "SampleCounts.log",
                                 "parameters=12 language=german.lng\nsettings=<settings>\ncounts=0 1 0 0\n",
                                 {"5", "3"},
                                 {}}),
    [](const ::testing::TestParamInfo<SampleCase>& info) { return std::string(info.param.name); });

TEST(SamplePluginExports, VariantsDifferOnlyWhereBuiltTo)
{
    struct Row
    {
        const char* library;
        bool hasStart;
        int32_t magic;
        const char* title; // nullptr: a null title
    };
    const Row rows[] = {
        {"NoStart.plgn", false, 26, "Sample Walk"},
        {"Magic27.plgn", true, 27, "Sample Walk"},
        {"NullTitle.plgn", true, 26, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.library);
        std::string path = std::string(WUX_PLUGIN_VARIANT_DIR) + "/" + row.library;
        void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module, nullptr) << dlerror();
        EXPECT_EQ(dlsym(module, "StartPlugin") != nullptr, row.hasStart);
        auto magic = reinterpret_cast<WuxGetMagicNumber>(dlsym(module, "getMagicNumber"));
        auto title = reinterpret_cast<WuxGetPluginTitle>(dlsym(module, "GetPluginTitle"));
        auto info = reinterpret_cast<WuxGetPluginInfo>(dlsym(module, "getPluginInfo"));
        ASSERT_TRUE(magic && title && info);
        EXPECT_EQ(magic(), row.magic);
        EXPECT_EQ(info(), WUX_PLUGIN_NEEDS_FILE);
        if (row.title == nullptr)
            EXPECT_EQ(title(), nullptr);
        else
            EXPECT_STREQ(title(), row.title);
        dlclose(module);
    }
}

} // namespace
