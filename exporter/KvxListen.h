// Where /metrics is served: "HOST:PORT", "[IPv6]:PORT" or ":PORT" (every
// interface), checked before the web server starts so that a port in use
// is reported as such.
#pragma once

#include <string>

struct TListenAddress {
    std::string Host;      // numeric address
    std::string Port;
    std::string Listening;  // the web server's form ("127.0.0.1:9733", "[::1]:9733", "9733")
};

// False with the reason when text is not an address this host can bind.
bool ResolveListenAddress(const std::string& text, TListenAddress& address, std::string& error);
// Binds and releases the address once; false with the system's reason (such as "Address already in use").
bool ProbeListenAddress(const TListenAddress& address, std::string& error);
