// Plain socket calls made on the caller's thread before a socket is handed to the io thread:
// connecting with a timeout (poll, so it also works when called from a callback on the io
// thread) and opening a listening socket.
#pragma once

#include <cstdint>

namespace fleet::fennick {

struct SocketResult {
    int fd = -1;    // -1 on failure
    int error = 0;  // errno of the failure
};

// The connect timeout in milliseconds: FENNICK_CONNECT_TIMEOUT_MS from the environment when it
// holds a positive number, else the library's default.
int connect_timeout_ms();

// A connected IPv4 TCP socket to host:port with TCP_NODELAY, or the failure: ETIMEDOUT once
// timeout_ms have passed, EHOSTUNREACH when host resolves to no address. A dotted address is
// used as it is; a name goes through the system's resolver first, which the timeout does not
// bound.
SocketResult connect_tcp(const char* host, uint16_t port, int timeout_ms);

// A socket listening on 0.0.0.0:port with SO_REUSEADDR; *bound_port tells the port it got.
SocketResult listen_tcp(uint16_t port, uint16_t* bound_port);

}  // namespace fleet::fennick
