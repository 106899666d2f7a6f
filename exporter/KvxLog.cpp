#include "KvxLog.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "KvCom.h"

namespace {

thread_local std::string t_instance;
std::mutex g_logMutex;

const char* LevelText(TLogLevel level)
{
    switch (level) {
    case TLogLevel::Info: return "info";
    case TLogLevel::Warn: return "warn";
    case TLogLevel::Error: return "error";
    }
    return "error";
}

std::string Timestamp()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t secs = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
    gmtime_r(&secs, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    char withMillis[40];
    std::snprintf(withMillis, sizeof withMillis, "%s.%03dZ", text, static_cast<int>(millis));
    return withMillis;
}

}  // namespace

std::string LogField(const std::string& key, const std::string& value)
{
    std::string quoted = key + "=\"";
    for (char c : value) {
        if (c == '"' || c == '\\') quoted += '\\';
        // A driver's message may span lines; an entry stays one line.
        quoted += (c == '\n' || c == '\r') ? ' ' : c;
    }
    return quoted + "\"";
}

void LogEvent(TLogLevel level, const std::string& message, const std::string& fields)
{
    std::string line = "ts=" + Timestamp() + " level=" + LevelText(level);
    if (!t_instance.empty()) line += " " + LogField("dsn", t_instance);
    line += " " + LogField("msg", message);
    if (!fields.empty()) line += " " + fields;
    line += "\n";
    std::lock_guard<std::mutex> lock(g_logMutex);
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

TLogInstanceScope::TLogInstanceScope(const std::string& name) : previous_(t_instance)
{
    t_instance = name;
}

TLogInstanceScope::~TLogInstanceScope() { t_instance = previous_; }

void RouteErrLogToExporterLog()
{
    SetErrLogSink([](const std::string& context, const std::string& detail, const std::string& message) {
        LogEvent(TLogLevel::Warn, message, LogField("context", context + "(" + detail + ")"));
    });
}
