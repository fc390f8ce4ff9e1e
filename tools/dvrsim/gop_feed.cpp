#include "dvrsim/gop_feed.h"

#include <algorithm>

#include "format/gop_header.h"

namespace dvrsim {

namespace ff = fleet::format;

namespace {

// Longest gap between two GOPs that is played as recorded; longer ones are recording pauses.
constexpr uint32_t kLongestGapSeconds = 10;

// The GOP just walked, cut to its header's total length.
std::optional<FedGop> walked_gop(const std::vector<uint8_t>& buffer, size_t stored) {
    const auto header = ff::read_gop_header(buffer.data(), stored);
    if (!header) return std::nullopt;
    const size_t length = std::min<size_t>(header->total_length(), stored);
    FedGop gop;
    gop.bytes.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(length));
    gop.time = header->time();
    return gop;
}

std::optional<FedGop> walk_next(ff::StreamCursor& cursor, std::vector<uint8_t>& buffer) {
    ff::WalkBuffer walk{buffer.data(), buffer.size(), 0};
    if (ff::next_gop(cursor, walk) != ff::kWalkRead) return std::nullopt;
    return walked_gop(buffer, walk.length);
}

}  // namespace

DownloadFeed::DownloadFeed(const ff::StreamCursor& cursor)
    : cursor_(cursor), buffer_(ff::kWalkBufferSize) {}

std::optional<FedGop> DownloadFeed::next() {
    auto gop = walk_next(cursor_, buffer_);
    if (!gop) return std::nullopt;
    const int64_t total = cursor_.end - cursor_.begin;
    const int64_t left = std::max<int64_t>(cursor_.end - cursor_.position, 0);
    gop->remaining_percent = total > 0 ? static_cast<uint32_t>(left * 100 / total) : 0;
    return gop;
}

LiveFeed::LiveFeed(const ff::StreamCursor& cursor)
    : cursor_(cursor), buffer_(ff::kWalkBufferSize) {}

std::optional<FedGop> LiveFeed::next(std::chrono::duration<double>& gap) {
    auto gop = walk_next(cursor_, buffer_);
    if (!gop) {
        cursor_.position = cursor_.begin;
        gop = walk_next(cursor_, buffer_);
        if (!gop) return std::nullopt;
    }
    uint32_t seconds = 1;
    if (!previous_time_) {
        seconds = 0;
    } else if (gop->time >= *previous_time_ && gop->time - *previous_time_ <= kLongestGapSeconds) {
        seconds = gop->time - *previous_time_;
    }
    previous_time_ = gop->time;
    gap = std::chrono::duration<double>(seconds);
    return gop;
}

}  // namespace dvrsim
