#include "forward_walk.h"

#include <algorithm>

#include "format/gop_header.h"
#include "messages.h"

namespace dvrtool {

ForwardWalk::ForwardWalk(Recording& recording)
    : recording_(recording), cursor_(recording.cursor()), storage_(fleet::format::kWalkBufferSize) {
    buffer_ = {storage_.data(), storage_.size(), 0};
}

ForwardWalk::Step ForwardWalk::next() {
    skipped_from_ = fleet::format::round_up_block(cursor_.position);
    int result = fleet::format::next_gop(cursor_, buffer_);
    if (result == fleet::format::kWalkRead) {
        auto stored = static_cast<int64_t>(buffer_.length);
        gop_ = {cursor_.position - stored, stored, buffer_.data, buffer_.length};
        return kGop;
    }
    if (result != fleet::format::kWalkReadError) return kEnd;
    int64_t resume = 0;
    failure_ = describe_read_failure(recording_, cursor_.position, cursor_.end, resume);
    cursor_.position = resume;
    return kFailure;
}

WalkFailure describe_read_failure(Recording& recording, int64_t at, int64_t data_end,
                                  int64_t& resume) {
    const int64_t readable = recording.readable_length();
    // A ring's walk ends where its recorded data does; a file may end before its index says.
    const std::string readable_end =
        (recording.ring() ? "the end of the recorded data at " : "the end of the file at ") +
        std::to_string(recording.shown_offset(readable));
    resume = at + fleet::format::kBlockSize;
    uint8_t block[fleet::format::kBlockSize];
    if (!recording.stream().read_at(at, block, sizeof block)) {
        if (at + fleet::format::kBlockSize <= readable) return {at, resume, "read error"};
        // Nothing further can be read: the rest of the data is missing, not damaged block
        // by block.
        resume = std::max(resume, data_end);
        return {at, resume,
                (recording.ring() ? "the recorded data ends at " : "file ends at ") +
                    std::to_string(recording.shown_offset(readable)) +
                    ", before the end of the data at " +
                    std::to_string(recording.shown_offset(data_end))};
    }
    auto header = fleet::format::read_gop_header(block, sizeof block);
    if (!header || header->total_length() == 0) return {at, resume, "read error"};
    const int64_t stored = fleet::format::round_up_block(header->total_length());
    if (stored > static_cast<int64_t>(fleet::format::kWalkBufferSize)) {
        return {at, resume,
                "GOP of " + std::to_string(header->total_length()) +
                    " bytes is larger than the 2 MiB buffer"};
    }
    if (at + stored > readable) {
        return {at, resume,
                "GOP of " + std::to_string(header->total_length()) + " bytes runs past " +
                    readable_end};
    }
    return {at, resume, "read error"};
}

void warn_skipped(const Recording& recording, const WalkFailure& failure) {
    warn(recording.name() + ": skipped bytes " +
         std::to_string(recording.shown_offset(failure.begin)) + "-" +
         std::to_string(recording.shown_offset(failure.end)) + ": " + failure.reason);
}

}  // namespace dvrtool
