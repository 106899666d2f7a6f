// The collector's daily error log "KVErr" + yyyymmdd + ".LOG" and its clean-up.
#include "KvCom.h"
#include "KvIni.h"
#include "KvText.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <unistd.h>

namespace {

constexpr const char* kErrLogPrefix = "KVErr";
constexpr const char* kErrLogExtension = ".LOG";
constexpr int kErrLogKeepDays = 7;
constexpr int kDateDigits = 8;

std::mutex g_dirMutex;
std::string g_overrideDir;
std::string g_programDir;  // found on first use
TErrLogSink g_sink;

std::string ErrLogDir() {
    std::lock_guard<std::mutex> lock(g_dirMutex);
    if (!g_overrideDir.empty())
        return g_overrideDir;
    if (g_programDir.empty())
        g_programDir = ProgramDir();
    return g_programDir;
}

void ReportToStderr(const std::string& what) noexcept {
    std::fprintf(stderr, "Kelv: %s\n", what.c_str());
}

}  // namespace

void SetErrLogDir(const std::string& dir) {
    std::lock_guard<std::mutex> lock(g_dirMutex);
    g_overrideDir = dir;
}

void SetErrLogSink(TErrLogSink sink) {
    std::lock_guard<std::mutex> lock(g_dirMutex);
    g_sink = std::move(sink);
}

namespace {
TErrLogSink CurrentSink() {
    std::lock_guard<std::mutex> lock(g_dirMutex);
    return g_sink;
}
}  // namespace

std::string ErrLogLine(std::time_t when, const std::string& context, const std::string& detail,
                       const std::string& message) {
    // A driver's message may span lines; an entry must stay one line.
    std::string oneLine = message;
    for (char& c : oneLine)
        if (c == '\r' || c == '\n')
            c = ' ';
    return FormatDate(when, "%y/%m/%d %H:%M:%S ") + "<<" + context + "(" + detail + ")>> " + oneLine;
}

void WriteErrLog(const std::string& context, const std::string& detail, const std::string& message) {
    // The log is where failures end up; a failure of the log itself must not
    // stop the collector's tick, so it is reported on stderr instead.
    try {
        if (const TErrLogSink sink = CurrentSink()) {
            sink(context, detail, message);
            return;
        }
        const std::time_t now = std::time(nullptr);
        const std::string fileName =
            ErrLogDir() + "/" + kErrLogPrefix + FormatDate(now, "%Y%m%d") + kErrLogExtension;
        const std::string line = ErrLogLine(now, context, detail, message);
        if (!AppendLine(fileName, line))
            ReportToStderr("cannot write the error log " + fileName + ": " + std::strerror(errno) +
                           "; entry: " + line);
    } catch (const std::exception& e) {
        ReportToStderr(std::string("cannot write the error log: ") + e.what());
    } catch (...) {
        ReportToStderr("cannot write the error log");
    }
}

void DeleteOldErrLogs() {
    try {
        const std::string dir = ErrLogDir();
        const int threshold =
            std::stoi(AddDaysToDate(FormatDate(std::time(nullptr), "%Y%m%d"), -kErrLogKeepDays));
        const size_t prefixLength = std::strlen(kErrLogPrefix);
        for (const std::string& name :
             ListMatchingFiles(dir, std::string(kErrLogPrefix) + "*" + kErrLogExtension)) {
            // A name without a date after the prefix is not one of ours: keep it.
            const std::string digits = name.substr(prefixLength, kDateDigits);
            bool allDigits = digits.size() == static_cast<size_t>(kDateDigits);
            for (char c : digits)
                allDigits = allDigits && c >= '0' && c <= '9';
            if (!allDigits)
                continue;
            const int date = std::stoi(digits);
            if (threshold >= date && ::unlink((dir + "/" + name).c_str()) != 0)
                ReportToStderr("cannot delete the old error log " + dir + "/" + name + ": " +
                               std::strerror(errno));
        }
    } catch (const std::exception& e) {
        ReportToStderr(std::string("cannot clean up the error logs: ") + e.what());
    }
}
