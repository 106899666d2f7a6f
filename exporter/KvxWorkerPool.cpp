#include "KvxWorkerPool.h"

#include <condition_variable>
#include <deque>
#include <list>
#include <mutex>
#include <thread>

namespace {
using TClock = std::chrono::steady_clock;
}

struct TWorkerPool::TState {
    struct TWorker {
        std::thread Thread;
        bool Busy = false;
        bool Ended = false;
        TClock::time_point Since{};
    };

    TState(int target, std::chrono::milliseconds stuckAfter) : Target(target), StuckAfter(stuckAfter) {}

    // Workers that can take a job now or soon: all but the stuck ones.
    int Available(TClock::time_point now) const
    {
        int available = 0;
        for (const TWorker& w : Workers)
            if (!w.Ended && !(w.Busy && now - w.Since > StuckAfter)) ++available;
        return available;
    }

    void JoinEnded()
    {
        for (auto it = Workers.begin(); it != Workers.end();) {
            if (it->Ended) {
                // It has left its loop: this returns at once.
                if (it->Thread.joinable()) it->Thread.join();
                it = Workers.erase(it);
            } else {
                ++it;
            }
        }
    }

    static void Loop(const std::shared_ptr<TState>& state, TWorker& self)
    {
        TState& s = *state;
        std::unique_lock<std::mutex> lock(s.Mutex);
        for (;;) {
            ++s.Idle;
            s.Work.wait(lock, [&s] { return s.Stopping || !s.Queue.empty(); });
            --s.Idle;
            if (s.Stopping) break;
            TJob job = std::move(s.Queue.front());
            s.Queue.pop_front();
            self.Busy = true;
            self.Since = TClock::now();
            lock.unlock();
            job();
            job = nullptr;  // what the job holds is released outside the lock
            lock.lock();
            self.Busy = false;
            // A worker back from a hung call finds its replacement at work.
            if (s.Available(TClock::now()) > s.Target) break;
        }
        self.Ended = true;
        s.EndedCv.notify_all();
    }

    void Spawn(const std::shared_ptr<TState>& self)
    {
        TWorker& worker = Workers.emplace_back();
        worker.Thread = std::thread([self, &worker] { Loop(self, worker); });
    }

    const int Target;
    const std::chrono::milliseconds StuckAfter;
    mutable std::mutex Mutex;
    std::condition_variable Work;
    std::condition_variable EndedCv;
    std::deque<TJob> Queue;
    std::list<TWorker> Workers;  // a list: a worker's entry stays where it is
    int Idle = 0;
    bool Stopping = false;
};

TWorkerPool::TWorkerPool(int target, std::chrono::milliseconds stuckAfter)
    : state_(std::make_shared<TState>(target > 0 ? target : 1, stuckAfter))
{
}

TWorkerPool::~TWorkerPool() { Shutdown(std::chrono::milliseconds(0)); }

void TWorkerPool::Submit(TJob job)
{
    TState& s = *state_;
    std::lock_guard<std::mutex> lock(s.Mutex);
    if (s.Stopping) return;
    s.JoinEnded();
    s.Queue.push_back(std::move(job));
    if (static_cast<int>(s.Queue.size()) > s.Idle && s.Available(TClock::now()) < s.Target) s.Spawn(state_);
    s.Work.notify_one();
}

bool TWorkerPool::Shutdown(std::chrono::milliseconds grace)
{
    TState& s = *state_;
    std::unique_lock<std::mutex> lock(s.Mutex);
    s.Stopping = true;
    s.Queue.clear();
    s.Work.notify_all();
    const bool allEnded = s.EndedCv.wait_for(lock, grace, [&s] {
        for (const TState::TWorker& w : s.Workers)
            if (!w.Ended) return false;
        return true;
    });
    s.JoinEnded();
    for (TState::TWorker& w : s.Workers)
        if (w.Thread.joinable()) w.Thread.detach();
    return allEnded;
}

int TWorkerPool::Threads() const
{
    std::lock_guard<std::mutex> lock(state_->Mutex);
    int alive = 0;
    for (const TState::TWorker& w : state_->Workers)
        if (!w.Ended) ++alive;
    return alive;
}
