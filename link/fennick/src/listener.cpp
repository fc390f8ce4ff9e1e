#include "listener.h"

#include <chrono>
#include <utility>

#include <asio/error.hpp>

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

void Listener::on_accepted(const std::error_code& error, asio::ip::tcp::socket socket) {
    if (!open_) return;
    if (error == asio::error::connection_aborted) return accept_next();
    if (error) return retry_later();
    std::error_code ignored;
    socket.set_option(asio::ip::tcp::no_delay(true), ignored);
    auto link = std::make_shared<Link>(std::move(socket), 0, proc_, table_);
    table_.insert(link);
    proc_(0, link->id(), nullptr, port_, FENNICK_ACCEPTED);
    if (link->is_open()) link->start();
    if (open_) accept_next();  // the callback may have closed the listener
}

void Listener::retry_later() {
    retry_timer_.expires_after(kAcceptRetryDelay);
    retry_timer_.async_wait([self = shared_from_this()](const std::error_code& error) {
        if (!error && self->open_) self->accept_next();
    });
}

void Listener::close_now() {
    if (!open_) return;
    open_ = false;
    table_.erase(id_, this);
    std::error_code ignored;
    retry_timer_.cancel();
    acceptor_.close(ignored);
}

}  // namespace fleet::fennick
