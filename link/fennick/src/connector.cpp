#include "connector.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "fennick/fennick.h"

namespace fleet::fennick {
namespace {

using Clock = std::chrono::steady_clock;

SocketResult failed(int fd, int error) {
    if (fd >= 0) ::close(fd);
    return {-1, error};
}

int socket_error(int fd) {
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return errno;
    return error;
}

// Waits until the connect in progress on fd ends or the deadline passes.
int wait_connected(int fd, Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return ETIMEDOUT;
        pollfd entry{fd, POLLOUT, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
        if (ready > 0) return socket_error(fd);
        if (ready < 0 && errno != EINTR) return errno;
    }
}

SocketResult connect_one(const sockaddr* address, socklen_t size, Clock::time_point deadline) {
    const int fd = ::socket(address->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return failed(fd, errno);
    if (::connect(fd, address, size) != 0) {
        const int error = errno == EINPROGRESS ? wait_connected(fd, deadline) : errno;
        if (error != 0) return failed(fd, error);
    }
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return {fd, 0};
}

// A name is looked up with the system's resolver, which the deadline does not bound.
SocketResult connect_by_name(const char* host, uint16_t port, Clock::time_point deadline) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host, std::to_string(port).c_str(), &hints, &found) != 0 || !found) {
        return {-1, EHOSTUNREACH};
    }
    SocketResult result{-1, EHOSTUNREACH};
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        result = connect_one(a->ai_addr, a->ai_addrlen, deadline);
        if (result.fd >= 0 || result.error == ETIMEDOUT) break;
    }
    ::freeaddrinfo(found);
    return result;
}

}  // namespace

int connect_timeout_ms() {
    if (const char* text = std::getenv("FENNICK_CONNECT_TIMEOUT_MS")) {
        char* end = nullptr;
        const long value = std::strtol(text, &end, 10);
        if (end != text && *end == '\0' && value > 0 && value <= INT32_MAX) {
            return static_cast<int>(value);
        }
    }
    return FENNICK_CONNECT_TIMEOUT_MS;
}

SocketResult connect_tcp(const char* host, uint16_t port, int timeout_ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    sockaddr_in address{};
    if (::inet_pton(AF_INET, host, &address.sin_addr) != 1) {
        return connect_by_name(host, port, deadline);
    }
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    return connect_one(reinterpret_cast<const sockaddr*>(&address), sizeof address, deadline);
}

SocketResult listen_tcp(uint16_t port, uint16_t* bound_port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return failed(fd, errno);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    socklen_t size = sizeof address;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), size) != 0 ||
        ::listen(fd, SOMAXCONN) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return failed(fd, errno);
    }
    *bound_port = ntohs(address.sin_port);
    return {fd, 0};
}

}  // namespace fleet::fennick
