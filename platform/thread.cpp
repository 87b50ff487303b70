#include "platform/thread.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <exception>
#include <memory>
#include <system_error>
#include <vector>

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>

namespace wux::platform {
namespace {

// How long WaitFor on the GUI thread sleeps at most before it looks at the queue again. Every
// change wakes it at once; this only bounds the cost of a missed wake-up.
constexpr std::chrono::milliseconds kWaitPoll{10};

// While workers keep queueing calls, the GUI thread looks for them this often instead of being
// woken for each one (a stream of status updates would otherwise wake it thousands of times a
// second); the first call after a quiet spell wakes it at once.
constexpr std::chrono::milliseconds kQueuedCallInterval{4};

// A worker whose call was just served usually comes back at once with its next one, and the handler
// of a call usually takes a few microseconds: for this long the GUI thread waits awake for the next
// request and a worker for its answer, so that neither is put to sleep and woken again for every
// call (two switches of thread per call, which cost more than a small file's whole work).
constexpr std::chrono::microseconds kAwakeWait{250};
// The GUI thread returns to its event loop at least this often while it serves calls that keep
// coming, so that windows paint and take input; and then for a while it answers without waiting
// awake, so that the event loop finds itself idle between two calls (what runs only when nothing
// else waits, timers among them, runs then).
constexpr std::chrono::milliseconds kLongestServe{8};
constexpr std::chrono::milliseconds kRestAfterServe{1};

// One spin of a wait loop.
inline void spinPause()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

struct SyncRequest
{
    const std::function<void()>* f = nullptr;
    std::function<void()> queued;         // the call of a queued request, which the queue owns
    const WuxThread* requester = nullptr; // the thread object of the calling worker, if any
    bool detached = false;                // queued: nobody waits, the server deletes it
    bool done = false;
    std::atomic<bool> served{false}; // done, for a waiter that looks without the lock
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
    bool pollArmed = false;   // queued calls were served lately: the poll timer will serve the next
    // The GUI thread waits awake for a worker's next synchronised call: it serves the queue when that
    // comes, or when the wait is over, so nothing needs to be posted meanwhile.
    bool awake = false;
    // Synchronised calls ever queued (read without the lock by the GUI thread waiting awake).
    std::atomic<std::uint64_t> waitingArrivals{0};
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
    if (state.servePosted || state.awake) {
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
    // Asked for every call into the GUI thread: the ids are read once per thread.
    static const pid_t process = getpid();
    thread_local const pid_t self = gettid();
    return self == process;
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
        state.waitingArrivals.fetch_add(1, std::memory_order_release);
        postServeLocked(state);
        state.changed.notify_all();
        // The answer usually comes within microseconds: wait awake for it first.
        lock.unlock();
        const auto until = std::chrono::steady_clock::now() + kAwakeWait;
        while (!request.served.load(std::memory_order_acquire) && std::chrono::steady_clock::now() < until)
            spinPause();
        lock.lock();
        state.changed.wait(lock, [&] { return request.done; });
    }
    if (request.abandoned) {
        throw SynchronizeAbandoned();
    }
    if (request.error) {
        std::rethrow_exception(request.error);
    }
}

void queueCall(std::function<void()> f)
{
    if (isGuiThread()) {
        f();
        return;
    }
    ensureQuitHook();
    SyncState& state = syncState();
    auto request = std::make_unique<SyncRequest>();
    request->queued = std::move(f);
    request->f = &request->queued;
    request->requester = tlCurrentThread;
    request->detached = true;
    if (tlCurrentThread != nullptr) {
        tlCurrentThread->queuedCalls_.store(true);
    }
    {
        std::lock_guard lock(state.mutex);
        if (state.closed) {
            return;
        }
        state.queue.push_back(request.release());
        if (!state.pollArmed)
            postServeLocked(state);
    }
    state.changed.notify_all();
}

namespace {

// Serves the queue again after kQueuedCallInterval (GUI thread; the timer belongs to the
// application object and goes with it).
void armQueuedCallPoll()
{
    static QPointer<QTimer> timer;
    if (timer.isNull()) {
        QCoreApplication* app = QCoreApplication::instance();
        if (app == nullptr)
            return;
        timer = new QTimer(app);
        timer->setSingleShot(true);
        QObject::connect(timer.data(), &QTimer::timeout, [] {
            {
                std::lock_guard lock(syncState().mutex);
                syncState().pollArmed = false;
            }
            serveSynchronizeQueue();
        });
    }
    {
        std::lock_guard lock(syncState().mutex);
        if (syncState().closed)
            return;
        syncState().pollArmed = true;
    }
    timer->start(kQueuedCallInterval);
}

// Requests taken off the queue in one go and not yet run, in order (GUI thread only). A call that
// runs a nested event loop serves the rest of this batch before anything queued later.
std::deque<SyncRequest*>& servingBatch()
{
    static std::deque<SyncRequest*> batch;
    return batch;
}

// Ends a request without running it (the queue was closed).
void abandon(SyncRequest* request)
{
    if (request->detached) {
        delete request;
        return;
    }
    request->abandoned = true;
    request->done = true;
    request->served.store(true, std::memory_order_release);
}

} // namespace

void serveSynchronizeQueue()
{
    if (!isGuiThread()) {
        return;
    }
    SyncState& state = syncState();
    std::deque<SyncRequest*>& batch = servingBatch();
    bool servedQueued = false;
    // Once a worker's synchronised call has been answered here, the worker is likely to come back
    // with the next one at once: the GUI thread stays awake a while for it (not past the longest
    // serve), and serves it with the calls queued before it.
    static std::chrono::steady_clock::time_point restUntil; // GUI thread only
    bool answered = false;
    const auto started = std::chrono::steady_clock::now();
    for (;;) {
        if (batch.empty() && answered && started >= restUntil) {
            answered = false;
            const auto now = std::chrono::steady_clock::now();
            if (now >= started + kLongestServe)
                restUntil = now + kRestAfterServe;
            const auto until = std::min(now + kAwakeWait, started + kLongestServe);
            std::uint64_t seen = 0;
            {
                std::lock_guard lock(state.mutex);
                state.awake = state.queue.empty() && !state.closed;
                seen = state.waitingArrivals.load(std::memory_order_relaxed);
            }
            while (state.waitingArrivals.load(std::memory_order_acquire) == seen &&
                   std::chrono::steady_clock::now() < until)
                spinPause();
        }
        if (batch.empty()) {
            std::lock_guard lock(state.mutex);
            state.servePosted = false;
            state.awake = false;
            if (state.queue.empty()) {
                if (!servedQueued || state.pollArmed)
                    return;
                break;
            }
            batch.swap(state.queue);
        }
        SyncRequest* request = batch.front();
        batch.pop_front();
        servingStack().push_back(request->requester);
        try {
            (*request->f)();
        } catch (const std::exception& e) {
            if (request->detached) {
                std::fprintf(stderr, "A queued call into the main thread failed: %s\n", e.what());
            }
            request->error = std::current_exception();
        } catch (...) {
            request->error = std::current_exception();
        }
        servingStack().pop_back();
        if (request->detached) {
            delete request;
            servedQueued = true;
            continue;
        }
        {
            std::lock_guard lock(state.mutex);
            request->done = true; // the worker may return (and drop the request) from here on
            request->served.store(true, std::memory_order_release);
        }
        state.changed.notify_all();
        answered = true;
    }
    armQueuedCallPoll(); // more are likely to follow
}

std::size_t pendingSynchronizeCount()
{
    SyncState& state = syncState();
    std::lock_guard lock(state.mutex);
    return state.queue.size() + (isGuiThread() ? servingBatch().size() : 0);
}

void closeSynchronizeQueue()
{
    SyncState& state = syncState();
    {
        std::lock_guard lock(state.mutex);
        state.closed = true;
        for (SyncRequest* request : state.queue)
            abandon(request);
        state.queue.clear();
        if (isGuiThread()) {
            for (SyncRequest* request : servingBatch())
                abandon(request);
            servingBatch().clear();
        }
        state.servePosted = false;
        state.pollArmed = false;
        state.awake = false;
    }
    state.changed.notify_all();
}

void reopenSynchronizeQueue()
{
    SyncState& state = syncState();
    std::lock_guard lock(state.mutex);
    state.closed = false;
}

CoalescedDisplay::CoalescedDisplay(std::function<void(const std::string&)> show,
                                   std::chrono::milliseconds interval)
    : show_(std::move(show)), interval_(interval), timer_(std::make_unique<QTimer>())
{
    timer_->setSingleShot(true);
    QObject::connect(timer_.get(), &QTimer::timeout, [this] { showPending(); });
}

CoalescedDisplay::~CoalescedDisplay() = default;

void CoalescedDisplay::post(std::string value)
{
    {
        std::lock_guard lock(mutex_);
        pending_ = std::move(value);
        dirty_ = true;
        if (busy_)
            return; // shown by the call already queued or when the interval is over
        busy_ = true;
    }
    queueCall([this] { showPending(); });
}

void CoalescedDisplay::cancel()
{
    std::lock_guard lock(mutex_);
    dirty_ = false;
}

void CoalescedDisplay::showPending()
{
    std::string value;
    {
        std::lock_guard lock(mutex_);
        if (!dirty_) {
            busy_ = false; // nothing new: the next value is shown at once
            return;
        }
        value = pending_;
        dirty_ = false;
    }
    if (show_)
        show_(value);
    timer_->start(interval_);
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
    if (!OnTerminate && queuedCalls_.load()) {
        // The owner may destroy this object once it has finished: its queued calls run first.
        try {
            synchronize([] {});
        } catch (...) {
            // Abandoned: the queue is closed and its calls are dropped.
        }
    }
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
