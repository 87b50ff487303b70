#include "platform/thread.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <exception>
#include <system_error>
#include <vector>

#include <QCoreApplication>
#include <QMetaObject>

#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>

namespace wux::platform {
namespace {

// How long WaitFor on the GUI thread sleeps at most before it looks at the queue again. Every
// change wakes it at once; this only bounds the cost of a missed wake-up.
constexpr std::chrono::milliseconds kWaitPoll{10};

struct SyncRequest
{
    const std::function<void()>* f = nullptr;
    const WuxThread* requester = nullptr; // the thread object of the calling worker, if any
    bool done = false;
    bool abandoned = false;
    std::exception_ptr error;
};

struct SyncState
{
    std::mutex mutex;
    // Signalled on every change: a request queued or done, a thread finished, the queue closed.
    std::condition_variable changed;
    std::deque<SyncRequest*> queue;
    bool closed = false;
    bool servePosted = false; // a serve call is posted to the event loop and has not started
};

SyncState& syncState()
{
    static SyncState instance;
    return instance;
}

// The requesters whose calls the GUI thread is running right now, innermost last (GUI thread
// only; a call can show a modal box whose event loop serves further calls).
std::vector<const WuxThread*>& servingStack()
{
    static std::vector<const WuxThread*> stack;
    return stack;
}

thread_local WuxThread* tlCurrentThread = nullptr;

std::atomic<bool> quitHookInstalled{false};

void onApplicationDestroyed()
{
    quitHookInstalled.store(false); // a later application object gets its own hook
    closeSynchronizeQueue();
}

// Makes the queue close when the application object is destroyed.
void ensureQuitHook()
{
    if (quitHookInstalled.load() || QCoreApplication::instance() == nullptr) {
        return;
    }
    bool expected = false;
    if (quitHookInstalled.compare_exchange_strong(expected, true)) {
        qAddPostRoutine(&onApplicationDestroyed);
    }
}

// Posts one serve call to the event loop unless one is waiting already. Called with the state
// locked; while it is locked the application object cannot go away (its destruction closes the
// queue under the same lock first).
void postServeLocked(SyncState& state)
{
    if (state.servePosted) {
        return;
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        return; // served only by WaitFor and explicit serve calls
    }
    QMetaObject::invokeMethod(
        app, [] { serveSynchronizeQueue(); }, Qt::QueuedConnection);
    state.servePosted = true;
}

int niceFor(ThreadPriority priority, int baseNice)
{
    int target = baseNice;
    switch (priority) {
    case ThreadPriority::Idle:
        return 19;
    case ThreadPriority::Lowest:
        target += 10;
        break;
    case ThreadPriority::Lower:
        target += 5;
        break;
    case ThreadPriority::Normal:
        break;
    case ThreadPriority::Higher:
        target -= 5;
        break;
    case ThreadPriority::Highest:
        target -= 10;
        break;
    case ThreadPriority::TimeCritical:
        target -= 20;
        break;
    }
    return std::clamp(target, -20, 19);
}

} // namespace

SynchronizeAbandoned::SynchronizeAbandoned()
    : std::runtime_error("The program is closing: a call into the main thread was abandoned.")
{
}

bool isGuiThread()
{
    return gettid() == getpid();
}

void synchronize(const std::function<void()>& f)
{
    if (isGuiThread()) {
        f();
        return;
    }
    ensureQuitHook();
    SyncState& state = syncState();
    SyncRequest request;
    request.f = &f;
    request.requester = tlCurrentThread;
    {
        std::unique_lock lock(state.mutex);
        if (state.closed) {
            throw SynchronizeAbandoned();
        }
        state.queue.push_back(&request);
        postServeLocked(state);
        state.changed.notify_all();
        state.changed.wait(lock, [&] { return request.done; });
    }
    if (request.abandoned) {
        throw SynchronizeAbandoned();
    }
    if (request.error) {
        std::rethrow_exception(request.error);
    }
}

void serveSynchronizeQueue()
{
    if (!isGuiThread()) {
        return;
    }
    SyncState& state = syncState();
    for (;;) {
        SyncRequest* request = nullptr;
        {
            std::lock_guard lock(state.mutex);
            state.servePosted = false;
            if (state.queue.empty()) {
                return;
            }
            request = state.queue.front();
            state.queue.pop_front();
        }
        servingStack().push_back(request->requester);
        try {
            (*request->f)();
        } catch (...) {
            request->error = std::current_exception();
        }
        servingStack().pop_back();
        {
            std::lock_guard lock(state.mutex);
            request->done = true; // the worker may return (and drop the request) from here on
        }
        state.changed.notify_all();
    }
}

std::size_t pendingSynchronizeCount()
{
    SyncState& state = syncState();
    std::lock_guard lock(state.mutex);
    return state.queue.size();
}

void closeSynchronizeQueue()
{
    SyncState& state = syncState();
    {
        std::lock_guard lock(state.mutex);
        state.closed = true;
        for (SyncRequest* request : state.queue) {
            request->abandoned = true;
            request->done = true;
        }
        state.queue.clear();
        state.servePosted = false;
    }
    state.changed.notify_all();
}

void reopenSynchronizeQueue()
{
    SyncState& state = syncState();
    std::lock_guard lock(state.mutex);
    state.closed = false;
}

WuxThread::WuxThread() = default;

WuxThread::~WuxThread()
{
    if (!started_.load()) {
        return;
    }
    if (thread_.joinable() && thread_.get_id() == std::this_thread::get_id()) {
        std::fprintf(stderr, "WuxThread: a thread object was destroyed by its own thread\n");
        std::abort();
    }
    Terminate();
    try {
        WaitFor();
    } catch (const std::exception& e) {
        // Destroyed inside a synchronised call that its own worker waits for: no wait can end.
        std::fprintf(stderr, "WuxThread: %s\n", e.what());
        std::abort();
    }
    if (thread_.joinable()) {
        thread_.join();
    }
}

void WuxThread::Start()
{
    bool expected = false;
    if (!started_.compare_exchange_strong(expected, true)) {
        return;
    }
    ensureQuitHook();
    {
        std::lock_guard lock(priorityMutex_);
        errno = 0;
        const int nice = getpriority(PRIO_PROCESS, 0);
        baseNice_ = (nice == -1 && errno != 0) ? 0 : nice;
    }
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error& e) {
        recordFailure(std::string("The thread could not be started: ") + e.what());
        workDone_.store(true);
        finishRun();
    }
}

int WuxThread::WaitFor()
{
    if (!started_.load() || finished_.load()) {
        return ReturnValue();
    }
    if (tlCurrentThread == this) {
        throw std::logic_error("A thread cannot wait for itself.");
    }
    SyncState& state = syncState();
    if (isGuiThread()) {
        const auto& serving = servingStack();
        if (std::find(serving.begin(), serving.end(), this) != serving.end()) {
            if (workDone_.load()) {
                return ReturnValue(); // called from our own OnTerminate
            }
            throw std::logic_error("A thread was waited for inside a synchronised call of its own.");
        }
        for (;;) {
            serveSynchronizeQueue();
            std::unique_lock lock(state.mutex);
            if (finished_.load()) {
                break;
            }
            state.changed.wait_for(lock, kWaitPoll, [&] { return finished_.load() || !state.queue.empty(); });
            if (finished_.load()) {
                break;
            }
        }
    } else {
        std::unique_lock lock(state.mutex);
        state.changed.wait(lock, [&] { return finished_.load(); });
    }
    return ReturnValue();
}

ThreadPriority WuxThread::Priority() const
{
    std::lock_guard lock(priorityMutex_);
    return priority_;
}

void WuxThread::setPriority(ThreadPriority priority)
{
    std::lock_guard lock(priorityMutex_);
    priority_ = priority;
    applyPriorityLocked();
}

std::string WuxThread::failureMessage() const
{
    std::lock_guard lock(failureMutex_);
    return failureMessage_;
}

WuxThread* WuxThread::current()
{
    return tlCurrentThread;
}

void WuxThread::run()
{
    tlCurrentThread = this;
    {
        std::lock_guard lock(priorityMutex_);
        tid_ = gettid();
        applyPriorityLocked();
    }
    try {
        Execute();
    } catch (const std::exception& e) {
        recordFailure(e.what());
    } catch (...) {
        recordFailure("Unknown exception");
    }
    workDone_.store(true);
    finishRun();
    tlCurrentThread = nullptr;
}

void WuxThread::finishRun()
{
    if (OnTerminate) {
        try {
            synchronize([this] { OnTerminate(*this); });
        } catch (const std::exception& e) {
            recordFailure(e.what());
        } catch (...) {
            recordFailure("Unknown exception");
        }
    }
    {
        std::lock_guard lock(priorityMutex_);
        tid_ = 0;
    }
    SyncState& state = syncState();
    {
        std::lock_guard lock(state.mutex);
        finished_.store(true); // the owner may destroy this object from here on
    }
    state.changed.notify_all();
}

void WuxThread::recordFailure(const std::string& message)
{
    std::lock_guard lock(failureMutex_);
    if (failed_.load()) {
        return; // the first failure is the one that ended the work
    }
    failureMessage_ = message;
    failed_.store(true);
}

void WuxThread::applyPriorityLocked()
{
    if (tid_ == 0) {
        return;
    }
    // Best effort: raising the priority without the privilege fails and is ignored.
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(tid_), niceFor(priority_, baseNice_));
}

} // namespace wux::platform
