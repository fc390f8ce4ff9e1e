// One framed link over a connected socket: reads into a FrameReader and hands every whole
// message to the host's procedure; queues whole messages for sending, up to a byte bound.
// Reading, writing, closing and every callback happen on the io thread; send() may be called
// from any thread.
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

#include "fennick/fennick.h"
#include "frame_reader.h"
#include "link_table.h"

namespace fleet::fennick {

class Link final : public Endpoint, public std::enable_shared_from_this<Link> {
  public:
    Link(asio::ip::tcp::socket socket, int side, FennickProc proc, LinkTable& table);

    int id() const override { return id_; }
    Link* as_link() override { return this; }
    void close_now() override;
    bool is_open() const { return open_; }

    // On the io thread, once the link is in the table.
    void start();
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

    asio::ip::tcp::socket socket_;
    const int id_;
    const int side_;
    const FennickProc proc_;
    LinkTable& table_;
    FrameReader reader_{FENNICK_MAX_PAYLOAD};

    std::mutex mutex_;  // guards what follows; open_ is also read without it on the io thread
    std::atomic<bool> open_{true};
    std::deque<std::vector<uint8_t>> queue_;
    std::vector<std::vector<uint8_t>> spare_;
    size_t queued_bytes_ = 0;
    bool writing_ = false;
};

}  // namespace fleet::fennick
