// What the tests and the benchmark of kelv_exporter share: the program as a
// process with its own environment and log, a plain HTTP GET, free ports,
// and files with a given mode.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace kelvx {

struct THttpReply {
    bool Ok = false;  // a whole reply came
    int Status = 0;
    std::string Body;
    std::string Error;
};

// GET http://127.0.0.1:port<target> (HTTP/1.0, the whole reply).
THttpReply HttpGet(int port, const std::string& target, std::chrono::milliseconds timeout);
std::string UrlEncode(const std::string& text);
// A socket listening on 127.0.0.1 at a port of the kernel's choice while it lives.
class TBusyPort {
public:
    TBusyPort();
    ~TBusyPort();
    TBusyPort(const TBusyPort&) = delete;
    TBusyPort& operator=(const TBusyPort&) = delete;
    int Port() const { return port_; }  // 0 when no socket could be had

private:
    int fd_ = -1;
    int port_ = 0;
};
// A port nobody listens on now.
int FreePort();
void WriteFile(const std::string& path, const std::string& content, mode_t mode = 0644);
std::string ReadFile(const std::string& path);

// A program started with extra environment variables, stdout and stderr
// into files; stopped with SIGTERM (SIGKILL when it does not end).
class TProcess {
public:
    TProcess() = default;
    TProcess(const TProcess&) = delete;
    TProcess& operator=(const TProcess&) = delete;
    ~TProcess();

    bool Start(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
               const std::string& outFile, const std::string& errFile);
    // Waits up to timeout for the program's end; true with its wait status.
    bool Wait(std::chrono::milliseconds timeout, int& status);
    // SIGTERM, then SIGKILL after grace; the wait status (-1 when it was killed).
    int Stop(std::chrono::milliseconds grace = std::chrono::seconds(20));
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
};

// Runs a program to its end: exit code and what it wrote on stdout and stderr.
struct TRun {
    int ExitCode = -1;
    std::string Out;
    std::string Err;
};
TRun RunToEnd(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
              const std::string& scratchDir, std::chrono::milliseconds timeout = std::chrono::seconds(60));

// The port of a running exporter, from the "listening" line of its log; 0 when
// it has not said so within timeout.
int ExporterPort(const std::string& logFile, std::chrono::milliseconds timeout);

// kelv_exporter in the build's program directory (KELV_BIN_DIR).
std::string ExporterProgram();
// An environment variable's value, "" when unset.
std::string Env(const char* name);

}  // namespace kelvx
