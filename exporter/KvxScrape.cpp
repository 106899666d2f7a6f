#include "KvxScrape.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <optional>

#include "KvxLog.h"

namespace {

using TClock = std::chrono::steady_clock;

double SecondsBetween(TClock::time_point from, TClock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

std::string WholeSeconds(double seconds) { return std::to_string(std::lround(seconds)) + " s"; }

}  // namespace

struct TScrapeCollectable::TSlot {
    enum class TLate { No, TimedOut, StillBusy };

    explicit TSlot(std::shared_ptr<TWatchedInstance> instance) : Instance(std::move(instance)) {}

    std::shared_ptr<TWatchedInstance> Instance;
    std::atomic<bool> Busy{false};
    std::atomic<TClock::rep> BusySince{0};
    // Kept by the one collection that runs at a time.
    double ErrorsTotal = 0;
    TLate LoggedLate = TLate::No;
};

struct TScrapeCollectable::TBatch {
    explicit TBatch(size_t n) : Readings(n), Durations(n, 0.0) {}
    std::mutex Mutex;
    std::condition_variable Done;
    int Pending = 0;
    std::vector<std::optional<TInstanceReading>> Readings;
    std::vector<double> Durations;
};

struct TScrapeCollectable::TShared {
    std::mutex Mutex;
    std::condition_variable Done;
    bool Finished = false;
    std::vector<prometheus::MetricFamily> Families;
};

TScrapeCollectable::TScrapeCollectable(std::vector<std::shared_ptr<TWatchedInstance>> instances, TMillis timeout,
                                       int workers)
    : timeout_(timeout), pool_(workers, timeout)
{
    for (auto& instance : instances) slots_.push_back(std::make_shared<TSlot>(std::move(instance)));
}

TScrapeCollectable::~TScrapeCollectable() { pool_.Shutdown(TMillis(0)); }

void TScrapeCollectable::ConnectAll()
{
    for (const std::shared_ptr<TSlot>& slot : slots_) {
        bool idle = false;
        if (!slot->Busy.compare_exchange_strong(idle, true)) continue;
        slot->BusySince = TClock::now().time_since_epoch().count();
        pool_.Submit([slot] {
            TLogInstanceScope scope(slot->Instance->Name());
            slot->Instance->ConnectIfDue();
            slot->Busy = false;
        });
    }
}

bool TScrapeCollectable::Shutdown(TMillis grace) { return pool_.Shutdown(grace); }

std::vector<TInstanceOutcome> TScrapeCollectable::CollectOutcomes() const
{
    const TClock::time_point start = TClock::now();
    const TClock::time_point deadline = start + timeout_;
    auto batch = std::make_shared<TBatch>(slots_.size());
    std::vector<TInstanceOutcome> outcomes(slots_.size());
    std::vector<TSlot::TLate> lateness(slots_.size(), TSlot::TLate::No);

    for (size_t i = 0; i < slots_.size(); ++i) {
        const std::shared_ptr<TSlot>& slot = slots_[i];
        outcomes[i].Name = slot->Instance->Name();
        bool idle = false;
        if (!slot->Busy.compare_exchange_strong(idle, true)) {
            const TClock::time_point since{TClock::duration(slot->BusySince.load())};
            outcomes[i].Error = "still busy with the collection begun " + WholeSeconds(SecondsBetween(since, start)) +
                                " ago: a statement or the driver has not returned";
            lateness[i] = TSlot::TLate::StillBusy;
            continue;
        }
        slot->BusySince = start.time_since_epoch().count();
        {
            std::lock_guard<std::mutex> lock(batch->Mutex);
            ++batch->Pending;
        }
        pool_.Submit([slot, batch, i, deadline] {
            // A job that waited past its scrape's end has nobody to answer.
            const TClock::time_point begun = TClock::now();
            if (begun < deadline) {
                TLogInstanceScope scope(slot->Instance->Name());
                TInstanceReading reading = slot->Instance->Collect();
                const double seconds = SecondsBetween(begun, TClock::now());
                std::lock_guard<std::mutex> lock(batch->Mutex);
                batch->Readings[i] = std::move(reading);
                batch->Durations[i] = seconds;
            }
            slot->Busy = false;  // before the scrape learns it is done, so the next one finds it idle
            std::lock_guard<std::mutex> lock(batch->Mutex);
            --batch->Pending;
            batch->Done.notify_all();
        });
    }

    {
        std::unique_lock<std::mutex> lock(batch->Mutex);
        batch->Done.wait_until(lock, deadline, [&] { return batch->Pending == 0; });
        for (size_t i = 0; i < slots_.size(); ++i) {
            if (batch->Readings[i]) {
                outcomes[i].Reading = std::move(batch->Readings[i]);
                outcomes[i].Error = outcomes[i].Reading->Error;
                outcomes[i].DurationSeconds = batch->Durations[i];
            } else if (lateness[i] == TSlot::TLate::No) {
                outcomes[i].Error = "no answer within the timeout of " + WholeSeconds(timeout_.count() / 1000.0);
                outcomes[i].DurationSeconds = SecondsBetween(start, TClock::now());
                lateness[i] = TSlot::TLate::TimedOut;
            }
        }
    }

    for (size_t i = 0; i < slots_.size(); ++i) {
        TSlot& slot = *slots_[i];
        TInstanceOutcome& o = outcomes[i];
        const bool up = o.Reading && o.Reading->Up;
        if (!up || o.Reading->AnyGroupFailed()) ++slot.ErrorsTotal;
        o.ErrorsTotal = slot.ErrorsTotal;
        // The instance logs its own failures; lateness is the scrape's to tell, once per spell.
        const TSlot::TLate late = lateness[i];
        if (late != slot.LoggedLate) {
            TLogInstanceScope scope(o.Name);
            if (late != TSlot::TLate::No)
                LogEvent(TLogLevel::Error, "instance down", LogField("err", o.Error));
            else
                LogEvent(TLogLevel::Info, "answering in time again");
        }
        slot.LoggedLate = late;
    }
    return outcomes;
}

std::vector<prometheus::MetricFamily> TScrapeCollectable::Collect() const
{
    std::shared_ptr<TShared> shared;
    bool leader = false;
    {
        std::lock_guard<std::mutex> lock(sharedMutex_);
        if (!inFlight_) {
            inFlight_ = std::make_shared<TShared>();
            leader = true;
        }
        shared = inFlight_;
    }
    if (leader) {
        std::vector<prometheus::MetricFamily> families;
        try {
            families = BuildFamilies(CollectOutcomes());
        } catch (const std::exception& e) {
            // The scrapes waiting on this one must not wait forever.
            LogEvent(TLogLevel::Error, "scrape failed", LogField("err", e.what()));
        }
        {
            std::lock_guard<std::mutex> lock(sharedMutex_);
            inFlight_.reset();
        }
        std::lock_guard<std::mutex> lock(shared->Mutex);
        shared->Families = std::move(families);
        shared->Finished = true;
        shared->Done.notify_all();
    }
    std::unique_lock<std::mutex> lock(shared->Mutex);
    shared->Done.wait(lock, [&] { return shared->Finished; });
    // Nobody else can join any more: the last one to leave takes the
    // families instead of a copy (many megabytes for hundreds of instances).
    if (shared.use_count() == 1) return std::move(shared->Families);
    return shared->Families;
}
