// The exporter's log: one logfmt line per event on stderr, in the manner of
// the other Prometheus programs. A worker names the instance it works for,
// so entries written deep in shared code carry that instance's name too.
#pragma once

#include <string>

enum class TLogLevel { Info, Warn, Error };

// "ts=... level=... [dsn=...] msg=..." plus the given key=value fields.
void LogEvent(TLogLevel level, const std::string& message, const std::string& fields = {});
// key="value" with the value quoted for logfmt.
std::string LogField(const std::string& key, const std::string& value);

// Names the instance this thread collects for until the scope ends.
class TLogInstanceScope {
public:
    explicit TLogInstanceScope(const std::string& name);
    ~TLogInstanceScope();
    TLogInstanceScope(const TLogInstanceScope&) = delete;
    TLogInstanceScope& operator=(const TLogInstanceScope&) = delete;

private:
    std::string previous_;
};

// Entries of the shared collector code (its error log) go to this log.
void RouteErrLogToExporterLog();
