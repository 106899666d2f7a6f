// Workers and the pause between connection attempts.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "KvxInstance.h"
#include "KvxWorkerPool.h"

namespace {

using namespace std::chrono_literals;

// A gate jobs wait at until the test opens it.
class TGate {
public:
    void Wait()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        open_.wait(lock, [this] { return isOpen_; });
    }
    void Open()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        isOpen_ = true;
        open_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable open_;
    bool isOpen_ = false;
};

bool Eventually(const std::function<bool()>& holds)
{
    for (int i = 0; i < 1000; ++i) {
        if (holds()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

}  // namespace

TEST(ExporterWorkerPool, RunsEveryJobOnNoMoreWorkersThanAsked)
{
    TWorkerPool pool(2, 10s);
    std::atomic<int> done{0};
    for (int i = 0; i < 50; ++i) pool.Submit([&done] { ++done; });
    EXPECT_TRUE(Eventually([&] { return done == 50; }));
    EXPECT_LE(pool.Threads(), 2);
    EXPECT_TRUE(pool.Shutdown(5s));
}

TEST(ExporterWorkerPool, AHungJobIsReplacedAndItsWorkerRetiresOnReturn)
{
    TWorkerPool pool(1, 50ms);
    TGate gate;
    std::atomic<bool> hungReturned{false};
    pool.Submit([&] {
        gate.Wait();
        hungReturned = true;
    });
    std::this_thread::sleep_for(100ms);  // past stuckAfter: the worker no longer counts

    std::atomic<int> done{0};
    for (int i = 0; i < 3; ++i) pool.Submit([&done] { ++done; });
    EXPECT_TRUE(Eventually([&] { return done == 3; })) << "the other jobs waited for the hung one";
    EXPECT_FALSE(hungReturned);
    EXPECT_EQ(pool.Threads(), 2);

    gate.Open();
    EXPECT_TRUE(Eventually([&] { return hungReturned && pool.Threads() == 1; }));
    EXPECT_TRUE(pool.Shutdown(5s));
}

TEST(ExporterWorkerPool, ShutdownLetsAHungWorkerGo)
{
    auto gate = std::make_shared<TGate>();
    auto returned = std::make_shared<std::atomic<bool>>(false);
    {
        auto started = std::make_shared<std::atomic<bool>>(false);
        TWorkerPool pool(1, 50ms);
        pool.Submit([gate, returned, started] {
            *started = true;
            gate->Wait();
            *returned = true;
        });
        ASSERT_TRUE(Eventually([&] { return started->load(); }));
        EXPECT_FALSE(pool.Shutdown(50ms));
        pool.Submit([] { FAIL() << "a job after shutdown ran"; });
    }
    // The pool is gone; the worker finishes its call and ends without it.
    gate->Open();
    EXPECT_TRUE(Eventually([&] { return returned->load(); }));
    std::this_thread::sleep_for(50ms);
}

TEST(ExporterBackoff, DoublesFromOneSecondUpToTheLimit)
{
    const TMillis max{30000};
    EXPECT_EQ(BackoffAfter(0, max), TMillis(0));
    EXPECT_EQ(BackoffAfter(1, max), TMillis(1000));
    EXPECT_EQ(BackoffAfter(2, max), TMillis(2000));
    EXPECT_EQ(BackoffAfter(5, max), TMillis(16000));
    EXPECT_EQ(BackoffAfter(6, max), max);  // 32 s, cut
    EXPECT_EQ(BackoffAfter(1000, max), max);
    EXPECT_EQ(BackoffAfter(1, TMillis(400)), TMillis(400));
}
