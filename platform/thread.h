// Worker threads and synchronised calls into the GUI thread.
//
// The GUI thread owns every window and every file list on screen; a worker reaches them only
// through synchronize(f), which runs f on the GUI thread while the worker waits. Requests wait in
// this layer's own queue, which the GUI thread serves
//  - from the Qt event loop (also inside modal dialogs): each request posts one call to the
//    application object, which runs the whole queue;
//  - while it waits for a worker in WuxThread::WaitFor, so that stopping a worker that is itself
//    waiting on the GUI thread never deadlocks.
// WaitFor serves nothing but this queue (no other events), so no window changes under the waiting
// code's feet except through the calls that the workers make.
//
// The GUI thread is the process's main thread, where the application object lives.
//
// Quitting: when the application object is destroyed the queue is closed. Requests still waiting
// and every later synchronize from a worker are abandoned: f does not run and synchronize throws
// SynchronizeAbandoned in the worker, which ends its Execute as a failure (the thread's
// OnTerminate does not run either, since no window is left to receive it). Until then, including
// after the event loop has returned, the queue keeps working, so the shutdown code can still stop
// workers with Terminate and WaitFor.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <sys/types.h>
#include <thread>
#include <utility>

class QTimer;

namespace wux::platform {

// True on the GUI thread.
bool isGuiThread();

// Runs f on the GUI thread and returns when it has run; on the GUI thread itself f runs at once.
// An exception thrown by f is thrown again here, in the calling thread.
// Throws SynchronizeAbandoned when the queue is closed (the application is quitting).
void synchronize(const std::function<void()>& f);

// Queues f to run on the GUI thread and returns at once, without waiting for it: for updates of
// what a window shows, which need no answer. The calls of one thread run in the order they were
// made, in turn with its synchronised calls, and all of them before its OnTerminate. On the GUI
// thread itself f runs at once. Dropped without running when the queue is closed.
void queueCall(std::function<void()> f);

// Thrown in a worker whose synchronised call was abandoned because the application is quitting.
class SynchronizeAbandoned : public std::runtime_error
{
public:
    SynchronizeAbandoned();
};

// Runs every waiting request (GUI thread only; elsewhere it does nothing). The event loop and
// WaitFor call it; code that spins its own wait on the GUI thread calls it too.
void serveSynchronizeQueue();

// The number of requests waiting to be served.
std::size_t pendingSynchronizeCount();

// Closes the queue (see "Quitting" above). Registered to run when the application object is
// destroyed; reopenSynchronizeQueue opens it again (for tests that check the closing).
void closeSynchronizeQueue();
void reopenSynchronizeQueue();

// Shows the newest of a stream of values that a worker produces faster than anyone can read them
// (the path in hand in a status line). post() from any thread hands the value over without waiting;
// the GUI thread shows it at once when nothing was shown in the last interval, else when the
// interval is over, always the newest value and never one older than what it has shown. A value that
// waits is dropped by cancel() (a newer text took its place). Created and destroyed on the GUI thread;
// a worker that posts must be a WuxThread owned by the same owner (its queued calls end before it).
class CoalescedDisplay
{
public:
    explicit CoalescedDisplay(std::function<void(const std::string&)> show,
                              std::chrono::milliseconds interval = std::chrono::milliseconds(40));
    ~CoalescedDisplay();
    CoalescedDisplay(const CoalescedDisplay&) = delete;
    CoalescedDisplay& operator=(const CoalescedDisplay&) = delete;

    void post(std::string value);
    void cancel();

private:
    void showPending();

    std::function<void(const std::string&)> show_;
    std::chrono::milliseconds interval_;
    std::unique_ptr<QTimer> timer_;
    std::mutex mutex_;
    std::string pending_; // guarded by mutex_
    bool dirty_ = false;  // guarded by mutex_: pending_ is not shown yet
    bool busy_ = false;   // guarded by mutex_: a call is queued or the interval runs
};

// Thread priorities. Best effort: they set the thread's nice value relative to the thread that
// starts it (Idle the lowest, Lowest +10, Lower +5, Normal 0, Higher -5, Highest -10,
// TimeCritical -20); a change that the system refuses (raising without privilege) is ignored.
enum class ThreadPriority
{
    Idle,
    Lowest,
    Lower,
    Normal,
    Higher,
    Highest,
    TimeCritical
};

// A worker thread. It is created suspended: the owner sets its fields and events, then calls
// Start. Execute runs once on the new thread; then OnTerminate runs on the GUI thread; then the
// thread is finished. A thread never frees itself: its owner destroys it after WaitFor.
//
// An exception that escapes Execute ends it: the thread is then failed(), failureMessage() holds
// the exception's text, and OnTerminate still runs, so the owner always learns that the work
// has ended.
//
// Destroying a thread that is still running sets Terminated and waits for it. A derived class
// whose Execute uses its own members must do that in its own destructor already (Terminate();
// WaitFor();), since those members are gone before this class's destructor runs.
class WuxThread
{
public:
    WuxThread();
    virtual ~WuxThread();
    WuxThread(const WuxThread&) = delete;
    WuxThread& operator=(const WuxThread&) = delete;

    // Starts the thread; later calls do nothing. When no thread can be created, the thread
    // ends at once as failed (OnTerminate runs, WaitFor returns).
    void Start();
    void Resume() { Start(); }

    // Asks the work to stop: sets the flag that the work's loops test. Never waits.
    void Terminate() { terminated_.store(true); }
    bool Terminated() const { return terminated_.load(); }

    // Waits until the thread has finished (Execute and OnTerminate have run) and returns
    // ReturnValue. On the GUI thread it serves the synchronised calls of every worker while it
    // waits. Returns at once for a thread that was never started or has finished. Called from
    // the thread's own OnTerminate it returns at once (the work is done). Throws std::logic_error
    // when it could never return: called on the thread itself, or from a synchronised call that
    // the same thread is waiting for.
    int WaitFor();

    // True until Start.
    bool Suspended() const { return !started_.load(); }
    // True once Execute and OnTerminate have run.
    bool Finished() const { return finished_.load(); }

    // The work's result, set by Execute; 0 until set.
    int ReturnValue() const { return returnValue_.load(); }
    void setReturnValue(int value) { returnValue_.store(value); }

    ThreadPriority Priority() const;
    void setPriority(ThreadPriority priority);

    // An exception escaped Execute (or OnTerminate); failureMessage() is its what() text, or
    // "Unknown exception" for an exception that is not a std::exception. The first one counts.
    bool failed() const { return failed_.load(); }
    std::string failureMessage() const;

    // Runs f on the GUI thread while this thread waits (see synchronize).
    static void Synchronize(const std::function<void()>& f) { synchronize(f); }
    // Queues f for the GUI thread without waiting (see queueCall).
    static void Queue(std::function<void()> f) { queueCall(std::move(f)); }

    // The thread object whose Execute runs on the calling thread; nullptr elsewhere.
    static WuxThread* current();

    // Runs on the GUI thread after Execute. Set it before Start.
    std::function<void(WuxThread& sender)> OnTerminate;

protected:
    // The thread's work; it tests Terminated() in its loops.
    virtual void Execute() = 0;

private:
    friend void queueCall(std::function<void()> f);
    void run();
    void finishRun();
    void recordFailure(const std::string& message);
    void applyPriorityLocked();

    std::thread thread_;
    std::atomic<bool> started_{false};
    std::atomic<bool> terminated_{false};
    std::atomic<bool> workDone_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> failed_{false};
    std::atomic<bool> queuedCalls_{false}; // Queue was called from Execute
    std::atomic<int> returnValue_{0};

    mutable std::mutex failureMutex_;
    std::string failureMessage_;

    mutable std::mutex priorityMutex_;
    ThreadPriority priority_ = ThreadPriority::Normal;
    int baseNice_ = 0;
    pid_t tid_ = 0;
};

} // namespace wux::platform
