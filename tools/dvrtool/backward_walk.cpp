#include "backward_walk.h"

#include "format/gop_header.h"

namespace dvrtool {

BackwardWalk::BackwardWalk(Recording& recording)
    : recording_(recording), cursor_(recording.cursor()), storage_(fleet::format::kWalkBufferSize) {
    buffer_ = {storage_.data(), storage_.size(), 0};
    // Data the index claims beyond the end of the file cannot be read, and stepping back
    // over it block by block could take as long as the claim is large.
    const int64_t readable =
        recording.readable_length() / fleet::format::kBlockSize * fleet::format::kBlockSize;
    if (readable < cursor_.end) cursor_.end = readable;
    cursor_.position = cursor_.end;
}

BackwardWalk::Step BackwardWalk::next() {
    if (cursor_.position <= cursor_.begin) return kBeginning;
    const int64_t before = cursor_.position;
    const int result = fleet::format::previous_gop(cursor_, buffer_);
    if (result == fleet::format::kWalkRead) {
        // The position is the GOP's start; one that did not move back would list it forever.
        if (cursor_.position >= before) return kBeginning;
        gop_ = {cursor_.position, static_cast<int64_t>(buffer_.length), buffer_.data,
                buffer_.length};
        return kGop;
    }
    if (result != fleet::format::kWalkReadError) return kBeginning;
    const int64_t at = cursor_.position;
    int64_t ignored = 0;
    failure_ = describe_read_failure(recording_, at, cursor_.end, ignored);
    failure_.end = at + fleet::format::kBlockSize;
    // A failed block stays where the next search would start; step over it.
    if (cursor_.position >= before)
        cursor_.position = fleet::format::round_up_block(before) - fleet::format::kBlockSize;
    return kFailure;
}

}  // namespace dvrtool
