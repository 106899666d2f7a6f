#include "KvxFamilies.h"

#include <functional>

#include "KvgLines.h"

namespace {

using prometheus::ClientMetric;
using prometheus::MetricFamily;
using prometheus::MetricType;
using TLabels = std::vector<ClientMetric::Label>;

const char* const kDsnLabel = "dsn";

// A figure with one value per instance.
struct TScalarFigure {
    const char* Name;
    MetricType Type;
    TFigureGroup Group;
    const char* Help;
    std::function<double(const TInstanceReading&)> Value;
};

const std::vector<TScalarFigure>& ScalarFigures()
{
    static const std::vector<TScalarFigure> figures = {
        {"kelv_sql_area_pins_total", MetricType::Counter, grpSqlArea,
         "Executions (pins) in the SQL AREA namespace of the library cache.",
         [](const TInstanceReading& r) { return r.Hourly.SqlAreaPins; }},
        {"kelv_sql_area_reloads_total", MetricType::Counter, grpSqlArea,
         "Reloads (misses) in the SQL AREA namespace of the library cache.",
         [](const TInstanceReading& r) { return r.Hourly.SqlAreaReloads; }},
        {"kelv_library_cache_pins_total", MetricType::Counter, grpLibraryCache,
         "Pins of the library cache, all namespaces.",
         [](const TInstanceReading& r) { return r.Hourly.LibCachePins; }},
        {"kelv_library_cache_reloads_total", MetricType::Counter, grpLibraryCache,
         "Reloads of the library cache, all namespaces.",
         [](const TInstanceReading& r) { return r.Hourly.LibCacheReloads; }},
        {"kelv_dictionary_cache_gets_total", MetricType::Counter, grpDictionaryCache,
         "Gets of the dictionary (row) cache.", [](const TInstanceReading& r) { return r.Hourly.DictGets; }},
        {"kelv_dictionary_cache_get_misses_total", MetricType::Counter, grpDictionaryCache,
         "Get misses of the dictionary (row) cache.",
         [](const TInstanceReading& r) { return r.Hourly.DictGetMisses; }},
        {"kelv_buffer_cache_logical_reads_total", MetricType::Counter, grpBufferReads,
         "Logical reads of the buffer cache: db block gets plus consistent gets.",
         [](const TInstanceReading& r) { return r.Hourly.LogicalReads; }},
        {"kelv_buffer_cache_physical_reads_total", MetricType::Counter, grpBufferReads,
         "Physical reads: blocks not found in the buffer cache.",
         [](const TInstanceReading& r) { return r.Hourly.PhysicalReads; }},
        {"kelv_sorts_in_memory_total", MetricType::Counter, grpSorts, "Sorts done in memory.",
         [](const TInstanceReading& r) { return r.Hourly.SortsMemory; }},
        {"kelv_sorts_on_disk_total", MetricType::Counter, grpSorts, "Sorts that needed the disk.",
         [](const TInstanceReading& r) { return r.Hourly.SortsDisk; }},
        {"kelv_sort_rows_total", MetricType::Counter, grpSorts, "Rows sorted.",
         [](const TInstanceReading& r) { return r.Hourly.RowsSorted; }},
        {"kelv_log_switches_total", MetricType::Counter, grpLogSwitches,
         "Redo log switches: the sequence number of the newest one.",
         [](const TInstanceReading& r) { return r.LogSwitches; }},
        {"kelv_shared_pool_size_bytes", MetricType::Gauge, grpSharedPool, "Size of the shared pool.",
         [](const TInstanceReading& r) { return r.SharedPoolSizeBytes; }},
        {"kelv_shared_pool_free_bytes", MetricType::Gauge, grpSharedPool, "Free memory of the shared pool.",
         [](const TInstanceReading& r) { return r.SharedPoolFreeBytes; }},
        {"kelv_log_buffer_bytes", MetricType::Gauge, grpLogBuffer, "Size of the log buffer.",
         [](const TInstanceReading& r) { return r.LogBufferBytes; }},
        {"kelv_database_buffers_bytes", MetricType::Gauge, grpDatabaseBuffers,
         "Size of the database buffers (buffer cache) in the SGA.",
         [](const TInstanceReading& r) { return r.Hourly.DatabaseBuffers; }},
        {"kelv_redo_buffers_bytes", MetricType::Gauge, grpRedoBuffers, "Size of the redo buffers in the SGA.",
         [](const TInstanceReading& r) { return r.Hourly.RedoBuffers; }},
        {"kelv_sort_area_size_bytes", MetricType::Gauge, grpSortAreaSize, "The sort_area_size parameter.",
         [](const TInstanceReading& r) { return r.Hourly.SortAreaSize; }},
        {"kelv_client_machines", MetricType::Gauge, grpClientMachines,
         "Client machines with sessions other than background processes.",
         [](const TInstanceReading& r) { return r.ClientMachines; }},
    };
    return figures;
}

struct TFamilyHead {
    const char* Name;
    MetricType Type;
    const char* Help;
};

const TFamilyHead kUp = {"kelv_up", MetricType::Gauge,
                         "1 when the instance answered this scrape, 0 when it is down, refused or too slow."};
const TFamilyHead kDuration = {"kelv_scrape_duration_seconds", MetricType::Gauge,
                               "Time this scrape spent on the instance."};
const TFamilyHead kErrors = {"kelv_scrape_errors_total", MetricType::Counter,
                             "Scrapes in which the instance was down, too slow or a group of figures failed."};
const TFamilyHead kGroupSuccess = {"kelv_scrape_group_success", MetricType::Gauge,
                                   "1 when the group of figures was read in this scrape, 0 when it failed."};
const TFamilyHead kVersion = {"kelv_oracle_version", MetricType::Gauge,
                              "Major version of the instance, from its version banner."};
const TFamilyHead kLatchGets = {"kelv_latch_gets_total", MetricType::Counter,
                                "Latch gets, willing-to-wait and immediate, per latch."};
const TFamilyHead kLatchMisses = {"kelv_latch_misses_total", MetricType::Counter,
                                  "Latch misses, willing-to-wait and immediate, per latch."};
const TFamilyHead kSessions = {"kelv_sessions", MetricType::Gauge, "Sessions by status and type."};
const TFamilyHead kTablespaceSize = {"kelv_tablespace_size_bytes", MetricType::Gauge,
                                     "Size of the tablespace's data files."};
const TFamilyHead kTablespaceFree = {"kelv_tablespace_free_bytes", MetricType::Gauge,
                                     "Free space of the tablespace: its free extents."};

// The families around the per-instance figures, in the order they are written.
const TFamilyHead* const kHealthHeads[] = {&kUp, &kDuration, &kErrors, &kGroupSuccess, &kVersion};
const TFamilyHead* const kRowHeads[] = {&kLatchGets, &kLatchMisses, &kSessions, &kTablespaceSize, &kTablespaceFree};

MetricFamily Family(const TFamilyHead& head) { return MetricFamily{head.Name, head.Help, head.Type, {}}; }

void AddSample(MetricFamily& family, TLabels labels, double value)
{
    ClientMetric metric;
    metric.label = std::move(labels);
    if (family.type == MetricType::Counter)
        metric.counter.value = value;
    else
        metric.gauge.value = value;
    family.metric.push_back(std::move(metric));
}

TLabels Dsn(const std::string& name) { return {{kDsnLabel, name}}; }

TLabels DsnAnd(const std::string& name, const char* key, const std::string& value)
{
    return {{kDsnLabel, name}, {key, value}};
}

}  // namespace

std::vector<MetricFamily> BuildFamilies(const std::vector<TInstanceOutcome>& outcomes)
{
    MetricFamily up = Family(kUp), duration = Family(kDuration), errors = Family(kErrors),
                 groups = Family(kGroupSuccess), version = Family(kVersion);
    MetricFamily latchGets = Family(kLatchGets), latchMisses = Family(kLatchMisses),
                 sessions = Family(kSessions), tsSize = Family(kTablespaceSize), tsFree = Family(kTablespaceFree);
    std::vector<MetricFamily> scalars;
    for (const TScalarFigure& f : ScalarFigures()) scalars.push_back(MetricFamily{f.Name, f.Help, f.Type, {}});

    for (const TInstanceOutcome& o : outcomes) {
        const bool isUp = o.Reading && o.Reading->Up;
        AddSample(up, Dsn(o.Name), isUp ? 1 : 0);
        AddSample(duration, Dsn(o.Name), o.DurationSeconds);
        AddSample(errors, Dsn(o.Name), o.ErrorsTotal);
        if (!isUp) continue;
        const TInstanceReading& r = *o.Reading;
        for (int g = 0; g < grpCount; ++g)
            AddSample(groups, DsnAnd(o.Name, "group", GroupName(static_cast<TFigureGroup>(g))),
                      r.GroupOk[g] ? 1 : 0);
        if (r.OracleVersion > 0) AddSample(version, Dsn(o.Name), r.OracleVersion);
        const std::vector<TScalarFigure>& figures = ScalarFigures();
        for (size_t i = 0; i < figures.size(); ++i)
            if (r.GroupOk[figures[i].Group]) AddSample(scalars[i], Dsn(o.Name), figures[i].Value(r));
        if (r.GroupOk[grpLatches])
            for (const TLatchRow& latch : r.Latches) {
                AddSample(latchGets, DsnAnd(o.Name, "latch", latch.Name), TextToNumber(latch.Gets));
                AddSample(latchMisses, DsnAnd(o.Name, "latch", latch.Name), TextToNumber(latch.Misses));
            }
        if (r.GroupOk[grpSessions])
            for (const TSessionCount& s : r.Sessions)
                AddSample(sessions, {{kDsnLabel, o.Name}, {"status", s.Status}, {"type", s.Type}}, s.Sessions);
        if (r.GroupOk[grpTablespaces])
            for (const TTablespaceSpace& t : r.Tablespaces) {
                AddSample(tsSize, DsnAnd(o.Name, "tablespace", t.Name), t.SizeBytes);
                AddSample(tsFree, DsnAnd(o.Name, "tablespace", t.Name), t.FreeBytes);
            }
    }

    std::vector<MetricFamily> all = {std::move(up), std::move(duration), std::move(errors), std::move(groups),
                                     std::move(version)};
    for (MetricFamily& f : scalars) all.push_back(std::move(f));
    for (MetricFamily* f : {&latchGets, &latchMisses, &sessions, &tsSize, &tsFree}) all.push_back(std::move(*f));
    std::vector<MetricFamily> nonEmpty;
    for (MetricFamily& f : all)
        if (!f.metric.empty()) nonEmpty.push_back(std::move(f));
    return nonEmpty;
}

std::vector<std::string> FamilyNames()
{
    std::vector<std::string> names;
    for (const TFamilyHead* h : kHealthHeads) names.push_back(h->Name);
    for (const TScalarFigure& f : ScalarFigures()) names.push_back(f.Name);
    for (const TFamilyHead* h : kRowHeads) names.push_back(h->Name);
    return names;
}
