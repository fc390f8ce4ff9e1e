#include "link.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include <asio/buffer.hpp>
#include <asio/error.hpp>
#include <asio/post.hpp>
#include <asio/write.hpp>

namespace fleet::fennick {
namespace {

// One gather write takes at most this many queued messages.
constexpr size_t kMessagesPerWrite = 64;
// Sent messages' buffers kept for reuse.
constexpr size_t kSpareBuffers = 4;

// Asio's own "transfer all" hands the socket at most 64 KiB per call, a trip through the
// reactor each; this lets one call take whatever the socket buffer has room for.
size_t whole_batch(const std::error_code& error, size_t) {
    return error ? 0 : size_t{FENNICK_MAX_QUEUED};
}

int32_t clamp_length(size_t length) {
    return static_cast<int32_t>(std::min<size_t>(length, INT32_MAX));
}

}  // namespace

Link::Link(asio::ip::tcp::socket socket, int side, FennickProc proc, LinkTable& table)
    : socket_(std::move(socket)),
      id_(socket_.native_handle()),
      side_(side),
      proc_(proc),
      table_(table) {}

void Link::call(const void* data, size_t length, FennickEvent event) {
    proc_(side_, id_, data, clamp_length(length), event);
}

void Link::start() {
    read_more();
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
    if (!open_) return;
    if (error == asio::error::eof) return finish_orderly();
    if (error) return finish(FENNICK_CLOSED, error.value());
    reader_.commit(count);
    deliver_messages();
}

// Every whole message received so far, each in its own callback; a callback may close the
// link, after which nothing more is delivered.
void Link::deliver_messages() {
    while (open_) {
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
    if (!open_) return EBADF;
    if (message.size() > FENNICK_MAX_QUEUED - queued_bytes_) {
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
    if (open_) call(nullptr, length, FENNICK_SEND_FULL);
}

// Sends the front of the queue. The queued vectors stay in place until their write completed:
// only this thread removes them, and closing cancels the write before they go.
void Link::write_more() {
    std::vector<asio::const_buffer> buffers;
    size_t bytes = 0;
    {
        std::lock_guard lock(mutex_);
        if (!open_) return;
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
    if (!open_) return;
    if (error) return finish(FENNICK_CLOSED, error.value());
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
    }
    if (more) write_more();
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
    {
        std::lock_guard lock(mutex_);
        if (!open_) return;
        open_ = false;
        queue_.clear();
        spare_.clear();
        queued_bytes_ = 0;
    }
    call(nullptr, static_cast<size_t>(reason), event);
    table_.erase(id_, this);
    std::error_code ignored;
    socket_.close(ignored);
}

void Link::close_now() {
    {
        std::lock_guard lock(mutex_);
        if (!open_) return;  // closed already, or its close callback is running
        open_ = false;
        queue_.clear();
        spare_.clear();
        queued_bytes_ = 0;
    }
    table_.erase(id_, this);
    std::error_code ignored;
    socket_.close(ignored);
}

}  // namespace fleet::fennick
