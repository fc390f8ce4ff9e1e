// One framed link over a connected socket: reads into a FrameReader and hands every whole
// message to the host's procedure; queues whole messages for sending, up to a byte bound.
// Reading, writing, closing the socket and every callback happen on the io thread; send() and
// close() may be called from any thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <system_error>
#include <vector>

#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>

#include "callback_gate.h"
#include "fennick/fennick.h"
#include "frame_reader.h"
#include "link_table.h"

namespace fleet::fennick {

class Link final : public Endpoint, public std::enable_shared_from_this<Link> {
  public:
    // A client link (side 1) keeps its descriptor, even after it ended, until hand_over():
    // the id has reached the one who opened it.
    Link(asio::ip::tcp::socket socket, int side, FennickProc proc, LinkTable& table);

    int id() const override { return id_; }
    Link* as_link() override { return this; }
    // What was queued before the close still goes out, for up to kDrainLimit.
    void close(bool on_io_thread) override;
    // The io thread has ended: nothing can go out any more.
    void close_at_exit() override;
    // Closed links still sending what was queued, in the whole process.
    static int draining();
    bool is_open() const { return gate_.is_open(); }

    // On the io thread, once the link is in the table.
    void start();
    // On the io thread: event 2 for a link a listener accepted.
    void announce_accepted(uint16_t port);
    // Any thread, once: the opener has the id; a link that ended meanwhile lets its
    // descriptor go now.
    void hand_over();
    // Any thread: 0, EBADF (closed) or ENOBUFS (queue at its bound; event 3 follows).
    int send(std::span<const uint8_t> message);

  private:
    void read_more();
    void on_read(const std::error_code& error, size_t count);
    void deliver_messages();
    void write_more();
    void on_written(const std::error_code& error, size_t messages, size_t bytes);
    void report_refused(size_t length);
    std::vector<uint8_t> take_spare(size_t size);
    void keep_spare(std::vector<uint8_t> buffer);
    // Ends the link for a reason of its own: the close callback, then the socket is closed.
    void finish(FennickEvent event, int reason);
    void finish_orderly();
    void call(const void* data, size_t length, FennickEvent event);
    // On the io thread, once closed: the descriptor goes when the queue has gone out.
    void drain_then_release();
    // On the io thread: closes the descriptor unless the opener still waits for the id.
    void release_socket();

    asio::ip::tcp::socket socket_;
    const int id_;
    const int side_;
    const FennickProc proc_;
    LinkTable& table_;
    FrameReader reader_{FENNICK_MAX_PAYLOAD};
    CallbackGate gate_;
    asio::steady_timer drain_deadline_;

    std::mutex mutex_;  // guards what follows
    std::deque<std::vector<uint8_t>> queue_;
    std::vector<std::vector<uint8_t>> spare_;
    size_t queued_bytes_ = 0;
    bool writing_ = false;
    bool released_ = false;          // the socket is closed: nothing more is written
    bool draining_ = false;          // counted in draining()
    bool refusal_reported_ = false;  // one event 3 until the queue drains
    bool held_by_caller_;            // client links until hand_over()
    bool release_waits_ = false;     // ended while held: hand_over() lets the descriptor go
};

}  // namespace fleet::fennick
