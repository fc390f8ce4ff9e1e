#include "link.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <utility>

#include <asio/buffer.hpp>
#include <asio/error.hpp>
#include <asio/post.hpp>
#include <asio/write.hpp>

#include "runtime.h"

// A peer that went away must end a send with EPIPE, not with SIGPIPE ending the host.
#if !defined(ASIO_HAS_MSG_NOSIGNAL)
#error "Asio sends without MSG_NOSIGNAL here: a closed peer would raise SIGPIPE in the host"
#endif

namespace fleet::fennick {
namespace {

// One gather write takes at most this many queued messages.
constexpr size_t kMessagesPerWrite = 64;
// Sent messages' buffers kept for reuse.
constexpr size_t kSpareBuffers = 4;
// How long a closed link may go on sending what was queued: a peer that reads nothing must
// not hold the descriptor for ever.
constexpr auto kDrainLimit = std::chrono::seconds(5);

// Asio's own "transfer all" hands the socket at most 64 KiB per call, a trip through the
// reactor each; this lets one call take whatever the socket buffer has room for.
size_t whole_batch(const std::error_code& error, size_t) {
    return error ? 0 : size_t{FENNICK_MAX_QUEUED};
}

std::atomic<int> draining_links{0};

int32_t clamp_length(size_t length) {
    return static_cast<int32_t>(std::min<size_t>(length, INT32_MAX));
}

}  // namespace

Link::Link(asio::ip::tcp::socket socket, int side, FennickProc proc, LinkTable& table)
    : socket_(std::move(socket)),
      id_(socket_.native_handle()),
      side_(side),
      proc_(proc),
      table_(table),
      drain_deadline_(socket_.get_executor()),
      held_by_caller_(side == 1) {}

void Link::call(const void* data, size_t length, FennickEvent event) {
    if (!gate_.enter()) return;
    if (runtime() != nullptr) proc_(side_, id_, data, clamp_length(length), event);
    gate_.leave();
}

void Link::start() {
    if (gate_.is_open()) read_more();
}

void Link::announce_accepted(uint16_t port) {
    call(nullptr, port, FENNICK_ACCEPTED);
}

void Link::hand_over() {
    bool release_now = false;
    {
        std::lock_guard lock(mutex_);
        held_by_caller_ = false;
        release_now = release_waits_;
    }
    if (release_now) {
        asio::post(socket_.get_executor(), [self = shared_from_this()] { self->release_socket(); });
    }
}

void Link::read_more() {
    const auto area = reader_.write_area();
    socket_.async_read_some(
        asio::buffer(area.data(), area.size()),
        [self = shared_from_this()](const std::error_code& error, size_t count) {
            self->on_read(error, count);
        });
}

void Link::on_read(const std::error_code& error, size_t count) {
    if (!gate_.is_open()) return;
    if (error == asio::error::eof) return finish_orderly();
    if (error) return finish(FENNICK_CLOSED, error.value());
    reader_.commit(count);
    deliver_messages();
}

// Every whole message received so far, each in its own callback; a callback may close the
// link, after which nothing more is delivered.
void Link::deliver_messages() {
    while (gate_.is_open()) {
        const auto next = reader_.next();
        switch (next.status) {
            case FrameReader::Status::kMessage:
                call(next.message.data(), next.message.size(), FENNICK_MESSAGE);
                break;
            case FrameReader::Status::kNeedMore:
                return read_more();
            case FrameReader::Status::kError:
                return finish(FENNICK_DROPPED, next.error);
        }
    }
}

int Link::send(std::span<const uint8_t> message) {
    std::lock_guard lock(mutex_);
    if (!gate_.is_open()) return EBADF;
    if (message.size() > FENNICK_MAX_QUEUED - queued_bytes_) {
        // One report per full queue: a sender retrying in a loop must not flood the io thread.
        if (refusal_reported_) return ENOBUFS;
        refusal_reported_ = true;
        asio::post(socket_.get_executor(), [self = shared_from_this(), length = message.size()] {
            self->report_refused(length);
        });
        return ENOBUFS;
    }
    queue_.push_back(take_spare(message.size()));
    queue_.back().assign(message.begin(), message.end());
    queued_bytes_ += message.size();
    if (!writing_) {
        writing_ = true;
        asio::post(socket_.get_executor(), [self = shared_from_this()] { self->write_more(); });
    }
    return 0;
}

// Buffers of sent messages are kept for the next sends, up to a few: large messages then
// reuse memory that is already mapped instead of faulting in fresh pages every time.
std::vector<uint8_t> Link::take_spare(size_t size) {
    for (auto it = spare_.begin(); it != spare_.end(); ++it) {
        if (it->capacity() >= size) {
            auto buffer = std::move(*it);
            spare_.erase(it);
            return buffer;
        }
    }
    return {};
}

void Link::keep_spare(std::vector<uint8_t> buffer) {
    if (spare_.size() < kSpareBuffers && buffer.capacity() <= FENNICK_MAX_PAYLOAD + 12) {
        buffer.clear();
        spare_.push_back(std::move(buffer));
    }
}

void Link::report_refused(size_t length) {
    call(nullptr, length, FENNICK_SEND_FULL);
}

// Sends the front of the queue. The queued vectors stay in place until their write completed:
// only this thread removes them, and closing cancels the write before they go.
void Link::write_more() {
    std::vector<asio::const_buffer> buffers;
    size_t bytes = 0;
    {
        std::lock_guard lock(mutex_);
        if (released_) return;
        const size_t count = std::min(queue_.size(), kMessagesPerWrite);
        buffers.reserve(count);
        for (size_t i = 0; i < count; ++i) {
            buffers.emplace_back(queue_[i].data(), queue_[i].size());
            bytes += queue_[i].size();
        }
    }
    asio::async_write(
        socket_, buffers, whole_batch,
        [self = shared_from_this(), messages = buffers.size(), bytes](
            const std::error_code& error, size_t) { self->on_written(error, messages, bytes); });
}

void Link::on_written(const std::error_code& error, size_t messages, size_t bytes) {
    {
        std::lock_guard lock(mutex_);
        if (released_) return;
    }
    const bool open = gate_.is_open();
    if (error) return open ? finish(FENNICK_CLOSED, error.value()) : release_socket();
    bool more = false;
    {
        std::lock_guard lock(mutex_);
        for (size_t i = 0; i < messages; ++i) {
            keep_spare(std::move(queue_.front()));
            queue_.pop_front();
        }
        queued_bytes_ -= bytes;
        more = !queue_.empty();
        writing_ = more;
        if (!more) refusal_reported_ = false;
    }
    if (more) return write_more();
    if (!open) release_socket();  // closed while sending: all of it went out
}

// A reset from the peer reads as end of file when a send took its error first; that send's
// completion is already queued, so it goes first and reports the error instead.
void Link::finish_orderly() {
    bool write_pending = false;
    {
        std::lock_guard lock(mutex_);
        write_pending = writing_;
    }
    if (!write_pending) return finish(FENNICK_CLOSED, 0);
    asio::post(socket_.get_executor(),
               [self = shared_from_this()] { self->finish(FENNICK_CLOSED, 0); });
}

void Link::finish(FennickEvent event, int reason) {
    if (!gate_.enter_last()) return;
    if (runtime() != nullptr) proc_(side_, id_, nullptr, static_cast<int32_t>(reason), event);
    gate_.leave();
    table_.erase(id_, this);
    release_socket();
}

// From the io thread (a callback closing its own link or another) the socket closes at once;
// from another thread the io thread closes it, since only that thread touches the socket.
void Link::close(bool on_io_thread) {
    if (!gate_.close(!on_io_thread)) return;  // closed already; a close callback has returned
    table_.erase(id_, this);
    {
        // Counted before this returns: a program exiting right after waits for the drain.
        std::lock_guard lock(mutex_);
        if (writing_ && !released_) {
            draining_ = true;
            ++draining_links;
        }
    }
    if (on_io_thread) return drain_then_release();
    asio::post(socket_.get_executor(), [self = shared_from_this()] { self->drain_then_release(); });
}

void Link::close_at_exit() {
    if (!gate_.close(false)) return;
    table_.erase(id_, this);
    release_socket();
}

int Link::draining() {
    return draining_links.load();
}

// A host that sends its last message and closes at once (a stop, a refusal) means the message
// to arrive. The write in progress goes on; the queue running dry or the limit releases.
void Link::drain_then_release() {
    bool queued = false;
    {
        std::lock_guard lock(mutex_);
        queued = writing_ && !released_;
    }
    if (!queued) return release_socket();
    drain_deadline_.expires_after(kDrainLimit);
    drain_deadline_.async_wait([self = shared_from_this()](const std::error_code& error) {
        if (!error) self->release_socket();
    });
}

// Closing the socket cancels a write in progress; only then may its queued buffers go.
void Link::release_socket() {
    {
        std::lock_guard lock(mutex_);
        if (held_by_caller_) {
            release_waits_ = true;
            return;
        }
    }
    std::error_code ignored;
    drain_deadline_.cancel();
    socket_.close(ignored);
    std::lock_guard lock(mutex_);
    released_ = true;
    writing_ = false;
    if (std::exchange(draining_, false)) --draining_links;
    queue_.clear();
    spare_.clear();
    queued_bytes_ = 0;
}

}  // namespace fleet::fennick
