// The statements the exporter needs beyond the collector's own.
#pragma once

namespace kvx_sql {
// STATUS, TYPE, SESSIONS: sessions counted by status and type.
extern const char* const kSessions;
// TABLESPACE_NAME, BYTES (data files), FREE (free extents, 0 when none).
extern const char* const kTablespaces;
// SWITCHES: sequence number of the newest log switch, which counts the switches.
extern const char* const kLogSwitches;
}  // namespace kvx_sql
