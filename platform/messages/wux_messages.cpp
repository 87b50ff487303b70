// Message windows: the registry, queued and direct delivery, and the modal loop.
#include "platform/messages/wux_messages.h"
#include "platform/messages/wux_messages_host.h"

#include <dlfcn.h>
#include <link.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QPointer>
#include <QThread>

#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

struct WindowEntry
{
    WuxWindowProc proc = nullptr;
    void* context = nullptr;
    QEventLoop* modalLoop = nullptr; // the loop the window runs, on the GUI thread only
};

std::mutex registryMutex;
std::unordered_map<WuxWindow, WindowEntry>& windows()
{
    static std::unordered_map<WuxWindow, WindowEntry> map;
    return map;
}
WuxWindow lastHandle = 0;

bool lookUp(WuxWindow window, WindowEntry& entry)
{
    std::lock_guard lock(registryMutex);
    auto it = windows().find(window);
    if (it == windows().end())
        return false;
    entry = it->second;
    return true;
}

bool onGuiThread()
{
    QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

// Delivers a message to a window that may have been destroyed meanwhile.
WuxLParam deliver(WuxWindow window, uint32_t message, WuxWParam wParam, WuxLParam lParam)
{
    WindowEntry entry;
    if (!lookUp(window, entry))
        return 0;
    return entry.proc(window, message, wParam, lParam, entry.context);
}

} // namespace

extern "C" {

WuxWindow wuxCreateWindow(WuxWindowProc proc, void* context)
{
    if (proc == nullptr)
        return 0;
    std::lock_guard lock(registryMutex);
    WuxWindow handle = ++lastHandle;
    windows()[handle] = WindowEntry{proc, context, nullptr};
    return handle;
}

void wuxDestroyWindow(WuxWindow window)
{
    QEventLoop* loop = nullptr;
    {
        std::lock_guard lock(registryMutex);
        auto it = windows().find(window);
        if (it == windows().end())
            return;
        loop = it->second.modalLoop;
        windows().erase(it);
    }
    if (loop != nullptr)
        loop->exit(0);
}

int wuxIsWindow(WuxWindow window)
{
    std::lock_guard lock(registryMutex);
    return windows().count(window) != 0 ? 1 : 0;
}

int wuxPostMessage(WuxWindow window, uint32_t message, WuxWParam wParam, WuxLParam lParam)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || wuxIsWindow(window) == 0)
        return 0;
    bool queued = QMetaObject::invokeMethod(
        app, [=] { deliver(window, message, wParam, lParam); }, Qt::QueuedConnection);
    return queued ? 1 : 0;
}

WuxLParam wuxSendMessage(WuxWindow window, uint32_t message, WuxWParam wParam, WuxLParam lParam)
{
    if (wuxIsWindow(window) == 0)
        return 0;
    if (onGuiThread() || QCoreApplication::instance() == nullptr)
        return deliver(window, message, wParam, lParam);
    WuxLParam result = 0;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { result = deliver(window, message, wParam, lParam); },
        Qt::BlockingQueuedConnection);
    return result;
}

int wuxRunModalLoop(WuxWindow window)
{
    if (!onGuiThread())
        return -1;
    QEventLoop loop;
    {
        std::lock_guard lock(registryMutex);
        auto it = windows().find(window);
        if (it == windows().end() || it->second.modalLoop != nullptr)
            return -1;
        it->second.modalLoop = &loop;
    }
    int result = loop.exec(QEventLoop::DialogExec);
    std::lock_guard lock(registryMutex);
    auto it = windows().find(window);
    if (it != windows().end() && it->second.modalLoop == &loop)
        it->second.modalLoop = nullptr;
    return result;
}

int wuxDestroyWindowsOfLibrary(void* library)
{
    link_map* libraryMap = nullptr;
    if (library == nullptr || dlinfo(library, RTLD_DI_LINKMAP, &libraryMap) != 0 || libraryMap == nullptr)
        return 0;
    std::vector<WuxWindow> owned;
    {
        std::lock_guard lock(registryMutex);
        for (const auto& [handle, entry] : windows()) {
            Dl_info info;
            link_map* owner = nullptr;
            if (dladdr1(reinterpret_cast<void*>(entry.proc), &info, reinterpret_cast<void**>(&owner),
                        RTLD_DL_LINKMAP) != 0 &&
                owner == libraryMap)
                owned.push_back(handle);
        }
    }
    for (WuxWindow handle : owned)
        wuxDestroyWindow(handle);
    return static_cast<int>(owned.size());
}

void wuxEndModalLoop(WuxWindow window, int result)
{
    std::lock_guard lock(registryMutex);
    auto it = windows().find(window);
    if (it == windows().end() || it->second.modalLoop == nullptr)
        return;
    it->second.modalLoop->exit(result);
    it->second.modalLoop = nullptr;
}

} // extern "C"
