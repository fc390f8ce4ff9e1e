// Cuts a received byte stream into whole messages. Bytes arrive in chunks of any size; each
// complete message (12-byte header and its payload) comes out in one piece. The header alone
// decides whether a message is acceptable, so a bad magic or an oversized length is refused
// before any room is made for its payload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace fleet::fennick {

class FrameReader {
  public:
    enum class Status { kMessage, kNeedMore, kError };
    struct Next {
        Status status = Status::kNeedMore;
        std::span<const uint8_t> message;  // kMessage: valid until the next write_area or feed
        int error = 0;                     // kError: EBADMSG (wrong magic) or EMSGSIZE
    };

    explicit FrameReader(uint32_t max_payload);

    // Room for the next received bytes, at least one byte; commit() says how many were
    // written. Sized to the rest of the message in progress when its header is known and
    // acceptable, else to one read chunk.
    std::span<uint8_t> write_area();
    void commit(size_t count);
    // write_area + copy + commit, for bytes that are already somewhere else.
    void feed(std::span<const uint8_t> bytes);

    // The next whole message, or what is missing for it. An error stays: the stream cannot be
    // resynchronised after a bad header.
    Next next();

    size_t buffered() const { return end_ - begin_; }
    size_t capacity() const { return capacity_; }

    static constexpr size_t kReadChunk = 64 * 1024;
    static constexpr int kSmallReadsBeforeShrink = 8;

  private:
    bool header_refused() const;
    size_t wanted_room() const;
    void make_room(size_t room);
    int header_error(const uint8_t* header) const;

    uint32_t max_payload_;
    std::unique_ptr<uint8_t[]> buffer_;
    size_t capacity_ = 0;
    size_t begin_ = 0;  // first byte not yet handed out
    size_t end_ = 0;    // one past the last received byte
    int error_ = 0;
    int small_reads_ = 0;  // write areas in a row that needed no more than a read chunk
};

}  // namespace fleet::fennick
