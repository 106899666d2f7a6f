// Workers for the collections. A driver call may never return; a worker
// caught in one longer than stuckAfter stops counting, and a new worker takes
// its place, so a hung instance never holds up the others. When the hung
// call returns at last, the spare worker retires.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

class TWorkerPool {
public:
    using TJob = std::function<void()>;

    TWorkerPool(int target, std::chrono::milliseconds stuckAfter);
    ~TWorkerPool();
    TWorkerPool(const TWorkerPool&) = delete;
    TWorkerPool& operator=(const TWorkerPool&) = delete;

    void Submit(TJob job);
    // Takes no more jobs, drops the queued ones and waits up to grace for
    // the running ones. True when every worker has ended; a worker still in
    // a call is let go and ends when the call returns (or with the process).
    bool Shutdown(std::chrono::milliseconds grace);
    // Threads alive, the stuck ones included.
    int Threads() const;

private:
    struct TState;
    std::shared_ptr<TState> state_;  // shared with the workers, which may outlive the pool
};
