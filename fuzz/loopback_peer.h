// The far end of the engine's links in fuzz_engine_receive: a listener on an ephemeral
// loopback port that accepts every link and reads and drops whatever the engine sends, so the
// engine's requests and controls go out on real links. It sends nothing: what the engine
// receives is delivered by the target itself. Lives until the process ends.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <thread>
#include <vector>

namespace engine_fuzz {

class LoopbackPeer {
  public:
    LoopbackPeer() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            ::listen(listener_, 64) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            std::abort();
        }
        port_ = ntohs(address.sin_port);
        std::thread([this] { serve(); }).detach();
    }
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    uint16_t port() const { return port_; }

  private:
    [[noreturn]] void serve() {
        std::vector<pollfd> fds{{listener_, POLLIN, 0}};
        std::vector<uint8_t> sink(1 << 16);
        for (;;) {
            if (::poll(fds.data(), fds.size(), -1) < 0) continue;
            for (size_t i = fds.size(); i-- > 1;) {
                if (fds[i].revents == 0) continue;
                if (::read(fds[i].fd, sink.data(), sink.size()) <= 0) {
                    ::close(fds[i].fd);
                    fds.erase(fds.begin() + static_cast<std::ptrdiff_t>(i));
                }
            }
            if ((fds[0].revents & POLLIN) != 0) {
                const int link = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
                if (link >= 0) fds.push_back({link, POLLIN, 0});
            }
        }
    }

    int listener_ = -1;
    uint16_t port_ = 0;
};

}  // namespace engine_fuzz
