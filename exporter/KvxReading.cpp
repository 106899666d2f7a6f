#include "KvxReading.h"

#include <algorithm>

const char* GroupName(TFigureGroup group)
{
    static const char* const kNames[grpCount] = {
        "sql_area",      "library_cache", "dictionary_cache", "database_buffers", "buffer_reads",
        "redo_buffers",  "sort_area_size", "sorts",           "latches",          "shared_pool",
        "log_buffer",    "client_machines", "sessions",       "tablespaces",      "log_switches",
    };
    return group >= 0 && group < grpCount ? kNames[group] : "";
}

bool TInstanceReading::AnyGroupFailed() const
{
    return std::any_of(GroupOk.begin(), GroupOk.end(), [](bool ok) { return !ok; });
}
