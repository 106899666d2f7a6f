#include "KvxListen.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "KvFd.h"

namespace {

constexpr long kMaxPort = 65535;

bool ValidPort(const std::string& port)
{
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) return false;
    return std::stol(port) <= kMaxPort;
}

struct TAddrInfo {
    addrinfo* List = nullptr;
    ~TAddrInfo()
    {
        if (List) freeaddrinfo(List);
    }
};

}  // namespace

bool ResolveListenAddress(const std::string& text, TListenAddress& address, std::string& error)
{
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos) {
        error = "\"" + text + "\" is not HOST:PORT";
        return false;
    }
    std::string host = text.substr(0, colon);
    const std::string port = text.substr(colon + 1);
    if (!ValidPort(port)) {
        error = "\"" + port + "\" is not a port number";
        return false;
    }
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    address.Port = port;
    if (host.empty()) {
        address.Host = "0.0.0.0";
        address.Listening = port;
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    TAddrInfo found;
    const int rc = getaddrinfo(host.c_str(), port.c_str(), &hints, &found.List);
    if (rc != 0 || !found.List) {
        error = "cannot resolve \"" + host + "\": " + gai_strerror(rc);
        return false;
    }
    char numeric[NI_MAXHOST] = {0};
    if (getnameinfo(found.List->ai_addr, found.List->ai_addrlen, numeric, sizeof numeric, nullptr, 0,
                    NI_NUMERICHOST) != 0) {
        error = "cannot resolve \"" + host + "\"";
        return false;
    }
    address.Host = numeric;
    address.Listening = found.List->ai_family == AF_INET6 ? "[" + address.Host + "]:" + port : address.Host + ":" + port;
    return true;
}

bool ProbeListenAddress(const TListenAddress& address, std::string& error)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
    TAddrInfo found;
    if (getaddrinfo(address.Host.c_str(), address.Port.c_str(), &hints, &found.List) != 0 || !found.List) {
        error = "not an address of this host";
        return false;
    }
    TUniqueFd fd(::socket(found.List->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.Valid()) {
        error = std::strerror(errno);
        return false;
    }
    // As the web server binds: an old connection waiting to close is no obstacle.
    const int on = 1;
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd.Get(), found.List->ai_addr, found.List->ai_addrlen) != 0 || ::listen(fd.Get(), 1) != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}
