// The metric families of one scrape, named by Prometheus conventions:
// kelv_ prefix, _total on counters, base units, a dsn label per instance.
// Counters stay raw and cumulative: rates are Prometheus's work.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <prometheus/metric_family.h>

#include "KvxReading.h"

// What one scrape learned about one instance.
struct TInstanceOutcome {
    std::string Name;
    std::optional<TInstanceReading> Reading;  // none: no answer within the timeout
    std::string Error;                        // why the instance is down (also when Reading says so)
    double DurationSeconds = 0;
    double ErrorsTotal = 0;  // scrapes of this instance that failed so far, this one included
};

// Families in a fixed order; a family without samples is left out.
std::vector<prometheus::MetricFamily> BuildFamilies(const std::vector<TInstanceOutcome>& outcomes);

// Names of every family the exporter can write, for tests and documentation.
std::vector<std::string> FamilyNames();
