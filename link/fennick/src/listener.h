// A listening socket that accepts links for the host's procedure: each accepted link is put in
// the table, announced with event 2 and then read like any other link.
#pragma once

#include <cstdint>
#include <memory>
#include <system_error>

#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>

#include "callback_gate.h"
#include "fennick/fennick.h"
#include "link_table.h"

namespace fleet::fennick {

class Listener final : public Endpoint, public std::enable_shared_from_this<Listener> {
  public:
    Listener(asio::ip::tcp::acceptor acceptor, uint16_t port, FennickProc proc, LinkTable& table);

    int id() const override { return id_; }
    void close(bool on_io_thread) override;

    // On the io thread, once the listener is in the table.
    void start() {
        if (gate_.is_open()) accept_next();
    }

  private:
    void accept_next();
    void on_accepted(const std::error_code& error, asio::ip::tcp::socket socket);
    void retry_later();
    void close_acceptor();

    asio::ip::tcp::acceptor acceptor_;
    asio::steady_timer retry_timer_;
    const int id_;
    const uint16_t port_;
    const FennickProc proc_;
    LinkTable& table_;
    CallbackGate gate_;
};

}  // namespace fleet::fennick
