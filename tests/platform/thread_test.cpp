#include "platform/thread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <cerrno>
#include <sys/resource.h>

#include "platform/critical_section.h"

namespace wux::platform {
namespace {

// A thread whose work is a function.
class FunctionThread : public WuxThread
{
public:
    explicit FunctionThread(std::function<void(FunctionThread&)> work) : work_(std::move(work)) {}
    ~FunctionThread() override
    {
        Terminate();
        WaitFor();
    }

protected:
    void Execute() override { work_(*this); }

private:
    std::function<void(FunctionThread&)> work_;
};

// Stops the test binary with a message when a test has not finished long after it should have:
// a deadlock would otherwise hang the run until the test driver kills it without a word.
class DeadlockWatch
{
public:
    explicit DeadlockWatch(const char* what)
        : watcher_([this, what] {
              std::unique_lock lock(mutex_);
              if (!done_.wait_for(lock, std::chrono::minutes(2), [this] { return finished_; })) {
                  std::fprintf(stderr, "deadlock: %s did not finish\n", what);
                  std::abort();
              }
          })
    {
    }
    ~DeadlockWatch()
    {
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        done_.notify_all();
        watcher_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread watcher_;
};

bool onQtGuiThread()
{
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

// Spins on the GUI thread, serving nothing, until a worker waits in a synchronised call.
void waitUntilAWorkerIsBlocked(std::size_t count = 1)
{
    while (pendingSynchronizeCount() < count) {
        std::this_thread::yield();
    }
}

TEST(Thread, GuiThreadIsTheMainThread)
{
    EXPECT_TRUE(isGuiThread());
    bool onWorker = true;
    std::thread([&] { onWorker = isGuiThread(); }).join();
    EXPECT_FALSE(onWorker);
}

TEST(Thread, SynchronizeOnTheGuiThreadRunsAtOnce)
{
    DeadlockWatch watch("Synchronize on the GUI thread");
    bool ran = false;
    synchronize([&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(pendingSynchronizeCount(), 0u);
}

TEST(Thread, CreatedSuspendedAndStartedOnce)
{
    std::atomic<int> runs{0};
    FunctionThread thread([&](FunctionThread& self) {
        ++runs;
        self.setReturnValue(2);
    });
    EXPECT_TRUE(thread.Suspended());
    EXPECT_EQ(thread.WaitFor(), 0) << "waiting for a thread that never started returns at once";
    EXPECT_EQ(runs.load(), 0);
    thread.Start();
    thread.Start();
    EXPECT_FALSE(thread.Suspended());
    EXPECT_EQ(thread.WaitFor(), 2);
    EXPECT_EQ(runs.load(), 1);
    EXPECT_TRUE(thread.Finished());
    EXPECT_FALSE(thread.failed());
}

TEST(Thread, TerminateSetsTheFlagThatTheWorkTests)
{
    DeadlockWatch watch("a loop until Terminated");
    std::atomic<bool> looping{false};
    FunctionThread thread([&](FunctionThread& self) {
        while (!self.Terminated()) {
            looping = true;
            std::this_thread::yield();
        }
        self.setReturnValue(1);
    });
    thread.Start();
    while (!looping) {
        std::this_thread::yield();
    }
    EXPECT_FALSE(thread.Terminated());
    thread.Terminate();
    EXPECT_TRUE(thread.Terminated());
    EXPECT_EQ(thread.WaitFor(), 1);

    FunctionThread early([](FunctionThread& self) { self.setReturnValue(self.Terminated() ? 1 : 2); });
    early.Terminate();
    early.Start();
    EXPECT_EQ(early.WaitFor(), 1) << "a thread stopped before its start sees the flag at once";
}

TEST(Thread, SynchronizedCallRunsOnTheGuiThreadServedByTheEventLoop)
{
    DeadlockWatch watch("a synchronised call served by the event loop");
    int guiValue = 40; // touched on the GUI thread only
    std::atomic<bool> ranOnGui{false};
    FunctionThread thread([&](FunctionThread& self) {
        int seen = 0;
        self.Synchronize([&] {
            ranOnGui = isGuiThread() && onQtGuiThread();
            seen = ++guiValue;
        });
        self.setReturnValue(seen + 1);
    });
    thread.Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return thread.Finished(); }, 60000));
    EXPECT_TRUE(ranOnGui);
    EXPECT_EQ(guiValue, 41);
    EXPECT_EQ(thread.WaitFor(), 42);
}

TEST(Thread, WorkerBlockedInSynchronizeEndsWhenTheGuiThreadTerminatesAndWaits)
{
    DeadlockWatch watch("Terminate and WaitFor of a worker blocked in Synchronize");
    int served = 0;
    std::atomic<bool> allOnGui{true};
    FunctionThread thread([&](FunctionThread& self) {
        while (!self.Terminated()) {
            self.Synchronize([&] {
                ++served;
                if (!onQtGuiThread()) {
                    allOnGui = false;
                }
            });
        }
        self.setReturnValue(1);
    });
    thread.Start();
    waitUntilAWorkerIsBlocked();
    thread.Terminate();
    EXPECT_EQ(thread.WaitFor(), 1);
    EXPECT_TRUE(thread.Finished());
    EXPECT_GE(served, 1) << "the call the worker was waiting in was served by WaitFor";
    EXPECT_TRUE(allOnGui);
    EXPECT_EQ(pendingSynchronizeCount(), 0u);
}

TEST(Thread, OnTerminateRunsOnTheGuiThreadAfterTheWork)
{
    for (const bool servedByEventLoop : {false, true}) {
        SCOPED_TRACE(servedByEventLoop ? "event loop" : "WaitFor");
        DeadlockWatch watch("OnTerminate");
        std::vector<std::string> order; // GUI thread only, after the worker's entry
        std::mutex orderMutex;
        bool terminateOnGui = false;
        bool finishedDuringTerminate = true;
        FunctionThread thread([&](FunctionThread& self) {
            std::lock_guard lock(orderMutex);
            order.push_back("work");
            self.setReturnValue(2);
        });
        thread.OnTerminate = [&](WuxThread& sender) {
            std::lock_guard lock(orderMutex);
            order.push_back("terminate");
            terminateOnGui = onQtGuiThread();
            finishedDuringTerminate = sender.Finished();
            EXPECT_EQ(&sender, &thread);
            EXPECT_EQ(sender.ReturnValue(), 2);
        };
        thread.Start();
        if (servedByEventLoop) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return thread.Finished(); }, 60000));
        }
        EXPECT_EQ(thread.WaitFor(), 2);
        std::lock_guard lock(orderMutex);
        EXPECT_EQ(order, (std::vector<std::string>{"work", "terminate"}));
        EXPECT_TRUE(terminateOnGui);
        EXPECT_FALSE(finishedDuringTerminate);
    }
}

TEST(Thread, ExceptionEscapingTheWorkIsRecorded)
{
    struct Case
    {
        const char* name;
        std::function<void()> raise;
        const char* message;
    };
    const Case cases[] = {
        {"runtime_error", [] { throw std::runtime_error("Please specify function"); },
         "Please specify function"},
        {"empty message", [] { throw std::runtime_error(""); }, ""},
        {"not a std::exception", [] { throw 42; }, "Unknown exception"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeadlockWatch watch("a failing worker");
        bool terminated = false;
        FunctionThread thread([&](FunctionThread& self) {
            self.setReturnValue(1);
            c.raise();
            self.setReturnValue(2);
        });
        thread.OnTerminate = [&](WuxThread&) { terminated = true; };
        thread.Start();
        EXPECT_EQ(thread.WaitFor(), 1);
        EXPECT_TRUE(thread.failed());
        EXPECT_EQ(thread.failureMessage(), c.message);
        EXPECT_TRUE(terminated) << "the owner learns of the end through OnTerminate";
    }
}

TEST(Thread, ExceptionInASynchronizedCallArrivesInTheWorker)
{
    DeadlockWatch watch("a throwing synchronised call");
    std::string caught;
    FunctionThread handled([&](FunctionThread& self) {
        try {
            self.Synchronize([] { throw std::runtime_error("no window"); });
        } catch (const std::runtime_error& e) {
            caught = e.what();
        }
    });
    handled.Start();
    handled.WaitFor();
    EXPECT_EQ(caught, "no window");
    EXPECT_FALSE(handled.failed());

    FunctionThread unhandled(
        [](FunctionThread& self) { self.Synchronize([] { throw std::runtime_error("gone"); }); });
    unhandled.Start();
    unhandled.WaitFor();
    EXPECT_TRUE(unhandled.failed());
    EXPECT_EQ(unhandled.failureMessage(), "gone");
}

TEST(Thread, ManyWorkersSynchronizingAtOnce)
{
    DeadlockWatch watch("many synchronising workers");
    constexpr int kWorkers = 8;
    constexpr int kCalls = 300;
    int total = 0; // GUI thread only: a race here shows under ThreadSanitizer
    std::atomic<int> offGui{0};
    std::vector<std::unique_ptr<FunctionThread>> threads;
    for (int w = 0; w < kWorkers; ++w) {
        threads.push_back(std::make_unique<FunctionThread>([&](FunctionThread& self) {
            int last = 0;
            for (int i = 0; i < kCalls; ++i) {
                self.Synchronize([&] {
                    if (!isGuiThread()) {
                        ++offGui;
                    }
                    last = ++total;
                });
            }
            self.setReturnValue(last);
        }));
    }
    for (auto& thread : threads) {
        thread->Start();
    }
    // Half of the calls are served by the event loop, the rest by WaitFor.
    EXPECT_TRUE(QTest::qWaitFor([&] { return total >= kWorkers * kCalls / 2; }, 60000));
    for (auto& thread : threads) {
        const int last = thread->WaitFor();
        EXPECT_GE(last, kCalls);
        EXPECT_LE(last, kWorkers * kCalls);
    }
    EXPECT_EQ(total, kWorkers * kCalls);
    EXPECT_EQ(offGui.load(), 0);
}

TEST(Thread, AWorkerWaitingForAnotherWorker)
{
    DeadlockWatch watch("a worker waiting for a worker");
    bool innerServed = false;
    FunctionThread inner([&](FunctionThread& self) {
        self.Synchronize([&] { innerServed = onQtGuiThread(); });
        self.setReturnValue(5);
    });
    FunctionThread outer([&](FunctionThread& self) {
        inner.Start();
        self.setReturnValue(inner.WaitFor() + 1);
    });
    outer.Start();
    EXPECT_EQ(outer.WaitFor(), 6)
        << "the GUI thread serves the inner worker while it waits for the outer one";
    EXPECT_TRUE(innerServed);
}

TEST(Thread, WaitingThatCouldNeverEndIsRefusedInsteadOfHanging)
{
    DeadlockWatch watch("refused waits");
    // From the thread's own OnTerminate: the work is done, so it returns at once.
    int fromTerminate = -1;
    FunctionThread thread([](FunctionThread& self) { self.setReturnValue(3); });
    thread.OnTerminate = [&](WuxThread& sender) { fromTerminate = sender.WaitFor(); };
    thread.Start();
    EXPECT_EQ(thread.WaitFor(), 3);
    EXPECT_EQ(fromTerminate, 3);

    // From a synchronised call that the same thread waits for, or on the thread itself.
    FunctionThread waitsOnItself([](FunctionThread& self) {
        WuxThread* me = &self;
        self.Synchronize([me] { me->WaitFor(); });
    });
    waitsOnItself.Start();
    waitsOnItself.WaitFor();
    EXPECT_TRUE(waitsOnItself.failed());
    EXPECT_EQ(waitsOnItself.failureMessage(),
              "A thread was waited for inside a synchronised call of its own.");

    FunctionThread selfWait([](FunctionThread& self) { self.WaitFor(); });
    selfWait.Start();
    selfWait.WaitFor();
    EXPECT_EQ(selfWait.failureMessage(), "A thread cannot wait for itself.");
}

TEST(Thread, DestroyingARunningThreadStopsItAndWaits)
{
    DeadlockWatch watch("destroying a running thread");
    std::atomic<bool> ended{false};
    int served = 0;
    {
        FunctionThread thread([&](FunctionThread& self) {
            while (!self.Terminated()) {
                self.Synchronize([&] { ++served; });
            }
            ended = true;
        });
        thread.Start();
        waitUntilAWorkerIsBlocked();
    }
    EXPECT_TRUE(ended);
    EXPECT_GE(served, 1);
}

TEST(Thread, QuittingAbandonsPendingSynchronizedCalls)
{
    DeadlockWatch watch("quitting");
    struct Reopen
    {
        ~Reopen() { reopenSynchronizeQueue(); }
    } reopen;
    bool ran = false;
    bool terminated = false;
    std::atomic<bool> laterCallThrew{false};
    FunctionThread thread([&](FunctionThread& self) {
        try {
            self.Synchronize([&] { ran = true; });
        } catch (const SynchronizeAbandoned&) {
            try {
                self.Synchronize([&] { ran = true; });
            } catch (const SynchronizeAbandoned&) {
                laterCallThrew = true;
            }
            throw;
        }
    });
    thread.OnTerminate = [&](WuxThread&) { terminated = true; };
    thread.Start();
    waitUntilAWorkerIsBlocked();
    closeSynchronizeQueue();
    thread.WaitFor();
    EXPECT_FALSE(ran);
    EXPECT_TRUE(laterCallThrew);
    EXPECT_FALSE(terminated);
    EXPECT_TRUE(thread.failed());
    EXPECT_EQ(thread.failureMessage(), SynchronizeAbandoned().what());
}

TEST(Thread, QueuedCallsRunInOrderWithSynchronizedCallsAndBeforeTheEnd)
{
    DeadlockWatch watch("queued calls");
    std::vector<std::string> events; // touched on the GUI thread only
    std::atomic<bool> allOnGui{true};
    auto onGui = [&](std::string what) {
        return [&, what] {
            if (!onQtGuiThread())
                allOnGui = false;
            events.push_back(what);
        };
    };
    {
        // Without OnTerminate: the owner may destroy the thread as soon as WaitFor returns, so its
        // queued calls must all have run by then.
        FunctionThread thread([&](FunctionThread& self) {
            self.Queue(onGui("q1"));
            self.Queue(onGui("q2"));
            self.Synchronize(onGui("s1"));
            for (int i = 0; i < 100; ++i)
                self.Queue(onGui("q" + std::to_string(3 + i)));
        });
        thread.Start();
        thread.WaitFor();
    }
    ASSERT_EQ(events.size(), 103u);
    EXPECT_EQ(events[0], "q1");
    EXPECT_EQ(events[1], "q2");
    EXPECT_EQ(events[2], "s1");
    EXPECT_EQ(events[102], "q102");
    EXPECT_TRUE(allOnGui);

    events.clear();
    FunctionThread thread([&](FunctionThread& self) { self.Queue(onGui("last")); });
    thread.OnTerminate = [&](WuxThread&) { events.push_back("terminate"); };
    thread.Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return thread.Finished(); }, 60000));
    EXPECT_EQ(events, (std::vector<std::string>{"last", "terminate"}));
    EXPECT_EQ(pendingSynchronizeCount(), 0u);

    // On the GUI thread a queued call runs at once.
    bool ran = false;
    queueCall([&] { ran = true; });
    EXPECT_TRUE(ran);
}

// After answering a synchronised call the GUI thread waits awake a moment for the worker's next one,
// and meanwhile nothing is posted to its event loop: a call (or a queued one) that comes at any moment
// of that wait, or just after it, is still served, in order.
TEST(Thread, CallsComingWhileTheGuiThreadWaitsAwakeAreAllServedInOrder)
{
    DeadlockWatch watch("calls around the awake wait");
    std::vector<int> events; // touched on the GUI thread only
    const std::vector<int> pausesMicroseconds = {0, 0, 50, 150, 240, 250, 260, 400, 1000, 3000};
    FunctionThread thread([&](FunctionThread& self) {
        int n = 0;
        for (int round = 0; round < 3; ++round) {
            for (const int pause : pausesMicroseconds) {
                std::this_thread::sleep_for(std::chrono::microseconds(pause));
                const int queued = n++;
                self.Queue([&events, queued] { events.push_back(queued); });
                std::this_thread::sleep_for(std::chrono::microseconds(pause));
                const int waited = n++;
                self.Synchronize([&events, waited] { events.push_back(waited); });
            }
        }
        // A queued call with nothing after it.
        std::this_thread::sleep_for(std::chrono::microseconds(100));
        const int last = n++;
        self.Queue([&events, last] { events.push_back(last); });
        self.setReturnValue(n);
    });
    std::atomic<bool> lastSeen{false};
    thread.OnTerminate = [&](WuxThread&) { lastSeen = true; };
    thread.Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return thread.Finished(); }, 60000));
    EXPECT_TRUE(lastSeen);
    const int count = thread.WaitFor();
    ASSERT_EQ(static_cast<int>(events.size()), count);
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(events[static_cast<std::size_t>(i)], i);
}

// A worker that keeps calling into the GUI thread does not keep its event loop from running: a timer
// fires while the calls go on.
TEST(Thread, TheEventLoopRunsWhileAWorkerKeepsCalling)
{
    DeadlockWatch watch("the event loop under a stream of calls");
    std::atomic<bool> fired{false};
    std::atomic<long> calls{0};
    FunctionThread thread([&](FunctionThread& self) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!fired && std::chrono::steady_clock::now() < giveUp) {
            self.Synchronize([] {});
            ++calls;
        }
    });
    QEventLoop loop;
    thread.OnTerminate = [&](WuxThread&) { loop.quit(); };
    std::chrono::steady_clock::time_point set;
    std::chrono::steady_clock::duration firedAfter{};
    // Once the worker is calling, a timer is set; it must fire while the calls go on.
    QTimer::singleShot(0, [&] {
        thread.Start();
        while (calls < 100)
            serveSynchronizeQueue();
        set = std::chrono::steady_clock::now();
        QTimer::singleShot(1, [&] {
            firedAfter = std::chrono::steady_clock::now() - set;
            fired = true;
        });
    });
    loop.exec();
    thread.WaitFor();
    EXPECT_TRUE(fired);
    // A starved event loop would fire the timer only when the worker gives up after 20 s; a loop that
    // gets its turns fires it within milliseconds, or some hundreds under a sanitizer on a busy machine.
    EXPECT_LT(firedAfter, std::chrono::seconds(2));
}

TEST(Thread, QueuedCallsAreDroppedWhenQuitting)
{
    DeadlockWatch watch("queued calls when quitting");
    struct Reopen
    {
        ~Reopen() { reopenSynchronizeQueue(); }
    } reopen;
    std::atomic<int> ran{0};
    std::atomic<bool> queued{false};
    FunctionThread thread([&](FunctionThread& self) {
        self.Queue([&] { ++ran; });
        self.Queue([&] { ++ran; });
        queued = true;
        while (!self.Terminated())
            std::this_thread::yield();
    });
    thread.Start();
    while (!queued)
        std::this_thread::yield();
    closeSynchronizeQueue();
    thread.Queue([&] { ++ran; }); // from the GUI thread: runs at once even now
    thread.Terminate();
    thread.WaitFor();
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(pendingSynchronizeCount(), 0u);
    EXPECT_FALSE(thread.failed());
}

TEST(Thread, CoalescedDisplayShowsTheNewestValueWithoutWaitingAndDropsCancelledOnes)
{
    DeadlockWatch watch("coalesced display");
    std::vector<std::string> shown; // GUI thread only
    std::atomic<bool> allOnGui{true};
    CoalescedDisplay display(
        [&](const std::string& value) {
            if (!onQtGuiThread())
                allOnGui = false;
            shown.push_back(value);
        },
        std::chrono::milliseconds(20));
    constexpr int kCount = 20000;
    FunctionThread thread([&](FunctionThread&) {
        for (int i = 1; i <= kCount; ++i)
            display.post(std::to_string(i));
    });
    thread.Start();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !shown.empty() && shown.back() == std::to_string(kCount); }, 60000));
    thread.WaitFor();
    EXPECT_TRUE(allOnGui);
    for (std::size_t i = 1; i < shown.size(); ++i)
        EXPECT_LT(std::stoi(shown[i - 1]), std::stoi(shown[i]));

    // A value still waiting for the interval is dropped by cancel; the next one shows.
    QTest::qWait(60); // the interval of the last value ends
    shown.clear();
    std::thread([&] {
        display.post("a");
        display.post("b");
    }).join();
    serveSynchronizeQueue(); // "b" is shown (at once, or when a late interval ends), then an interval runs
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shown.empty(); }, 60000));
    ASSERT_EQ(shown, std::vector<std::string>{"b"});
    std::thread([&] { display.post("c"); }).join(); // waits: no event was served since "b"
    display.cancel();
    QTest::qWait(60);
    EXPECT_EQ(shown, std::vector<std::string>{"b"});
    display.post("d");
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.size() == 2; }, 60000));
    EXPECT_EQ(shown, (std::vector<std::string>{"b", "d"}));
}

int currentNice()
{
    errno = 0;
    return getpriority(PRIO_PROCESS, 0);
}

TEST(Thread, PrioritySetsTheWorkersNiceValue)
{
    DeadlockWatch watch("priorities");
    const int base = currentNice();
    std::atomic<bool> proceed{false};
    std::atomic<bool> started{false};
    std::atomic<int> atStart{0};
    std::atomic<int> afterChange{0};
    FunctionThread thread([&](FunctionThread&) {
        atStart = currentNice();
        started = true;
        while (!proceed) {
            std::this_thread::yield();
        }
        afterChange = currentNice();
    });
    thread.setPriority(ThreadPriority::Lower);
    thread.Start();
    while (!started) {
        std::this_thread::yield();
    }
    thread.setPriority(ThreadPriority::Lowest);
    EXPECT_EQ(thread.Priority(), ThreadPriority::Lowest);
    proceed = true;
    thread.WaitFor();
    EXPECT_EQ(atStart.load(), std::min(base + 5, 19));
    EXPECT_EQ(afterChange.load(), std::min(base + 10, 19));
    EXPECT_EQ(currentNice(), base) << "the GUI thread keeps its own priority";
}

TEST(CriticalSection, OneHolderAtATimeAndReentrantForTheHolder)
{
    CriticalSection section;
    {
        CriticalSectionLock outer(section);
        CriticalSectionLock inner(section); // the holder enters again without deadlock
        bool otherGotIt = true;
        std::thread([&] { otherGotIt = section.TryEnter(); }).join();
        EXPECT_FALSE(otherGotIt);
    }
    bool freeAgain = false;
    std::thread([&] {
        freeAgain = section.TryEnter();
        if (freeAgain) {
            section.Leave();
        }
    }).join();
    EXPECT_TRUE(freeAgain);

    long counter = 0; // guarded by the section only: a missing exclusion shows as a wrong sum
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                CriticalSectionLock lock(section);
                ++counter;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(counter, 80000);
}

} // namespace
} // namespace wux::platform
