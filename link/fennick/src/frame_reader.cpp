#include "frame_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "link/link_header.h"

namespace fleet::fennick {

FrameReader::FrameReader(uint32_t max_payload) : max_payload_(max_payload) {}

int FrameReader::header_error(const uint8_t* header) const {
    const auto decoded = LinkHeader::decode(header, kLinkHeaderSize);
    if (!decoded) return EBADMSG;
    if (decoded->payload_length > max_payload_) return EMSGSIZE;
    return 0;
}

// Bytes after a refused header are never delivered, so they need not be kept either.
bool FrameReader::header_refused() const {
    return error_ != 0 ||
           (end_ - begin_ >= kLinkHeaderSize && header_error(buffer_.get() + begin_) != 0);
}

size_t FrameReader::wanted_room() const {
    const size_t held = end_ - begin_;
    if (held < kLinkHeaderSize || header_refused()) return kReadChunk;
    const auto header = LinkHeader::decode(buffer_.get() + begin_, held);
    const size_t whole = kLinkHeaderSize + header->payload_length;
    return std::max(whole > held ? whole - held : size_t{0}, kReadChunk);
}

// Moves what is held to the front, then grows the buffer when the room is still short. A
// buffer much larger than a read chunk is given back once several reads in a row needed no
// more than a chunk: a link that got one big message holds little afterwards, while a steady
// stream of big messages keeps its buffer.
void FrameReader::make_room(size_t room) {
    const size_t held = end_ - begin_;
    small_reads_ = room <= kReadChunk ? small_reads_ + 1 : 0;
    if (held == 0 && capacity_ > 4 * kReadChunk && small_reads_ >= kSmallReadsBeforeShrink) {
        buffer_.reset();
        capacity_ = 0;
    }
    if (begin_ > 0) {
        if (held > 0) std::memmove(buffer_.get(), buffer_.get() + begin_, held);
        begin_ = 0;
        end_ = held;
    }
    if (capacity_ - end_ >= room) return;
    const size_t grown = end_ + room;
    auto bigger = std::make_unique_for_overwrite<uint8_t[]>(grown);
    if (held > 0) std::memcpy(bigger.get(), buffer_.get(), held);
    buffer_ = std::move(bigger);
    capacity_ = grown;
}

std::span<uint8_t> FrameReader::write_area() {
    make_room(wanted_room());
    return {buffer_.get() + end_, capacity_ - end_};
}

void FrameReader::commit(size_t count) {
    end_ += std::min(count, capacity_ - end_);
}

void FrameReader::feed(std::span<const uint8_t> bytes) {
    while (!bytes.empty() && !header_refused()) {
        const auto area = write_area();
        const size_t count = std::min(area.size(), bytes.size());
        std::memcpy(area.data(), bytes.data(), count);
        commit(count);
        bytes = bytes.subspan(count);
    }
}

FrameReader::Next FrameReader::next() {
    if (error_ != 0) return {Status::kError, {}, error_};
    const size_t held = end_ - begin_;
    if (held < kLinkHeaderSize) return {};
    const uint8_t* start = buffer_.get() + begin_;
    error_ = header_error(start);
    if (error_ != 0) return {Status::kError, {}, error_};
    const size_t whole = kLinkHeaderSize + LinkHeader::decode(start, held)->payload_length;
    if (held < whole) return {};
    begin_ += whole;
    return {Status::kMessage, {start, whole}, 0};
}

}  // namespace fleet::fennick
