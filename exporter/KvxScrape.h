// The exporter's Collectable: every scrape collects all instances in
// parallel, each bounded by the timeout. An instance that does not answer in
// time is reported down and never delays the others; while its worker is
// still caught in a call, later scrapes report it down at once. Scrapes that
// arrive together share one collection.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include <prometheus/collectable.h>

#include "KvxConfig.h"
#include "KvxFamilies.h"
#include "KvxInstance.h"
#include "KvxWorkerPool.h"

class TScrapeCollectable : public prometheus::Collectable {
public:
    TScrapeCollectable(std::vector<std::shared_ptr<TWatchedInstance>> instances, TMillis timeout, int workers);
    ~TScrapeCollectable() override;

    std::vector<prometheus::MetricFamily> Collect() const override;
    // Connects every instance in the background, so the first scrape finds them ready.
    void ConnectAll();
    // Ends the workers; false when some are still caught in a driver call after grace.
    bool Shutdown(TMillis grace);
    // One collection of every instance, as a scrape makes it.
    std::vector<TInstanceOutcome> CollectOutcomes() const;

private:
    struct TSlot;
    struct TBatch;
    struct TShared;

    std::vector<std::shared_ptr<TSlot>> slots_;
    TMillis timeout_;
    mutable TWorkerPool pool_;
    mutable std::mutex sharedMutex_;
    mutable std::shared_ptr<TShared> inFlight_;  // the collection scrapes arriving now join
};
