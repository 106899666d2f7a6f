#include "ExporterHarness.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

namespace kelvx {

namespace {

using TClock = std::chrono::steady_clock;
constexpr auto kPoll = std::chrono::milliseconds(50);

long MillisLeft(TClock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
    return left > 0 ? left : 0;
}

}  // namespace

THttpReply HttpGet(int port, const std::string& target, std::chrono::milliseconds timeout)
{
    THttpReply reply;
    const TClock::time_point deadline = TClock::now() + timeout;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        reply.Error = std::strerror(errno);
        return reply;
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string raw;
    const std::string request = "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    size_t sent = 0;
    bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    if (!connected && errno != EINPROGRESS) reply.Error = std::strerror(errno);
    while (reply.Error.empty()) {
        pollfd p{fd, static_cast<short>(sent < request.size() ? POLLOUT : POLLIN), 0};
        const int ready = ::poll(&p, 1, static_cast<int>(MillisLeft(deadline)));
        if (ready <= 0) {
            reply.Error = ready == 0 ? "timed out" : std::strerror(errno);
            break;
        }
        if (sent < request.size()) {
            int soError = 0;
            socklen_t len = sizeof soError;
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len);
            if (soError != 0) {
                reply.Error = std::strerror(soError);
                break;
            }
            const ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno != EAGAIN) reply.Error = std::strerror(errno);
            if (n > 0) sent += static_cast<size_t>(n);
            continue;
        }
        char buffer[65536];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n == 0) {
            reply.Ok = true;
            break;
        }
        if (n < 0 && errno != EAGAIN) reply.Error = std::strerror(errno);
        if (n > 0) raw.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    if (!reply.Ok) return reply;
    const size_t headEnd = raw.find("\r\n\r\n");
    const size_t space = raw.find(' ');
    if (headEnd == std::string::npos || space == std::string::npos) {
        reply.Ok = false;
        reply.Error = "not an HTTP reply";
        return reply;
    }
    reply.Status = std::atoi(raw.c_str() + space + 1);
    reply.Body = raw.substr(headEnd + 4);
    return reply;
}

std::string UrlEncode(const std::string& text)
{
    static const char* const kHex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

TBusyPort::TBusyPort()
{
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && ::listen(fd_, 1) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port_ = ntohs(addr.sin_port);
}

TBusyPort::~TBusyPort()
{
    if (fd_ >= 0) ::close(fd_);
}

int FreePort() { return TBusyPort().Port(); }

void WriteFile(const std::string& path, const std::string& content, mode_t mode)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    ::chmod(path.c_str(), mode);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TProcess::~TProcess() { Stop(std::chrono::seconds(5)); }

bool TProcess::Start(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                     const std::string& outFile, const std::string& errFile)
{
    Stop();
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    // Emptied here, not in the child: what is read after Start is this run's output.
    for (const std::string& file : {outFile, errFile}) WriteFile(file, "");
    pid_ = ::fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
        for (const auto& [key, value] : env) ::setenv(key.c_str(), value.c_str(), 1);
        const int out = ::open(outFile.c_str(), O_WRONLY | O_APPEND);
        const int err = ::open(errFile.c_str(), O_WRONLY | O_APPEND);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(err, STDERR_FILENO);
        ::setpgid(0, 0);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    return true;
}

bool TProcess::Wait(std::chrono::milliseconds timeout, int& status)
{
    if (pid_ <= 0) return false;
    const TClock::time_point deadline = TClock::now() + timeout;
    for (;;) {
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            pid_ = -1;
            return true;
        }
        if (TClock::now() >= deadline) return false;
        std::this_thread::sleep_for(kPoll);
    }
}

int TProcess::Stop(std::chrono::milliseconds grace)
{
    if (pid_ <= 0) return -1;
    int status = 0;
    ::kill(pid_, SIGTERM);
    if (Wait(grace, status)) return status;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return -1;
}

TRun RunToEnd(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
              const std::string& scratchDir, std::chrono::milliseconds timeout)
{
    TRun run;
    TProcess process;
    const std::string out = scratchDir + "/run.out", err = scratchDir + "/run.err";
    if (!process.Start(argv, env, out, err)) return run;
    int status = 0;
    if (process.Wait(timeout, status) && WIFEXITED(status)) run.ExitCode = WEXITSTATUS(status);
    run.Out = ReadFile(out);
    run.Err = ReadFile(err);
    return run;
}

int ExporterPort(const std::string& logFile, std::chrono::milliseconds timeout)
{
    static const std::regex kListening(R"re(msg="listening" address="[^"]*:([0-9]+)")re");
    const TClock::time_point deadline = TClock::now() + timeout;
    do {
        std::smatch m;
        const std::string log = ReadFile(logFile);
        if (std::regex_search(log, m, kListening)) return std::stoi(m[1]);
        std::this_thread::sleep_for(kPoll);
    } while (TClock::now() < deadline);
    return 0;
}

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string ExporterProgram()
{
    const std::string bin = Env("KELV_BIN_DIR");
    return (bin.empty() ? std::string(".") : bin) + "/kelv_exporter";
}

}  // namespace kelvx
