#include "listener.h"

#include <chrono>
#include <utility>

#include <asio/error.hpp>
#include <asio/post.hpp>

#include <fcntl.h>

#include "link.h"

namespace fleet::fennick {
namespace {

// After an accept failed for want of descriptors or memory, the next try waits this long
// instead of spinning on the same failure.
constexpr auto kAcceptRetryDelay = std::chrono::milliseconds(50);

}  // namespace

Listener::Listener(asio::ip::tcp::acceptor acceptor, uint16_t port, FennickProc proc,
                   LinkTable& table)
    : acceptor_(std::move(acceptor)),
      retry_timer_(acceptor_.get_executor()),
      id_(acceptor_.native_handle()),
      port_(port),
      proc_(proc),
      table_(table) {}

void Listener::accept_next() {
    acceptor_.async_accept(
        [self = shared_from_this()](const std::error_code& error, asio::ip::tcp::socket socket) {
            self->on_accepted(error, std::move(socket));
        });
}

// The accept callback is this listener's: a close of the listener from another thread waits
// for it, and none starts once that close returned.
void Listener::on_accepted(const std::error_code& error, asio::ip::tcp::socket socket) {
    if (!gate_.is_open()) return;
    if (error == asio::error::connection_aborted) return accept_next();
    if (error) return retry_later();
    // Asio accepts without SOCK_CLOEXEC; a program the host starts must not inherit links.
    ::fcntl(socket.native_handle(), F_SETFD, FD_CLOEXEC);
    std::error_code ignored;
    socket.set_option(asio::ip::tcp::no_delay(true), ignored);
    if (!gate_.enter()) return;
    auto link = std::make_shared<Link>(std::move(socket), 0, proc_, table_);
    table_.insert(link);
    link->announce_accepted(port_);
    link->start();
    gate_.leave();
    if (gate_.is_open()) accept_next();  // the callback may have closed the listener
}

void Listener::retry_later() {
    retry_timer_.expires_after(kAcceptRetryDelay);
    retry_timer_.async_wait([self = shared_from_this()](const std::error_code& error) {
        if (!error && self->gate_.is_open()) self->accept_next();
    });
}

void Listener::close(bool on_io_thread) {
    if (!gate_.close(!on_io_thread)) return;
    table_.erase(id_, this);
    if (on_io_thread) return close_acceptor();
    asio::post(acceptor_.get_executor(), [self = shared_from_this()] { self->close_acceptor(); });
}

void Listener::close_acceptor() {
    std::error_code ignored;
    retry_timer_.cancel();
    acceptor_.close(ignored);
}

}  // namespace fleet::fennick
