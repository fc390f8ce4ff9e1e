#include "format/stream_walker.h"

#include <algorithm>

#include "common/le.h"
#include "format/gop_header.h"

namespace fleet::format {
namespace {

struct Block {
    uint8_t bytes[kBlockSize];
    bool gop_start() const { return is_gop_start(bytes, sizeof bytes); }
    int64_t stored_length() const { return round_up_block(fleet::load_u32(bytes + 32)); }
    int64_t back_link() const { return round_up_block(fleet::load_u32(bytes + 16) & 0xFFFFF); }
};

bool read_block(StreamCursor& cursor, int64_t at, Block& block) {
    return cursor.source->read_at(at, block.bytes, sizeof block.bytes);
}

bool usable(const StreamCursor& cursor, const WalkBuffer& buffer) {
    return cursor.source != nullptr && buffer.data != nullptr;
}

int read_gop_at(StreamCursor& cursor, int64_t start, int64_t stored, WalkBuffer& buffer) {
    cursor.position = start;
    if (stored > static_cast<int64_t>(buffer.capacity)) return kWalkReadError;
    if (!cursor.source->read_at(start, buffer.data, static_cast<size_t>(stored))) {
        return kWalkReadError;
    }
    cursor.position = start + stored;
    buffer.length = static_cast<size_t>(stored);
    return kWalkRead;
}

// Forward scan: passes over `skip` GOP starts, then reads the next one. Blocks that do not
// start a GOP (padding, damage) are stepped over one at a time.
int walk_forward(StreamCursor& cursor, int skip, WalkBuffer& buffer) {
    int64_t p = round_up_block(cursor.position);
    Block block;
    while (p < cursor.end) {
        if (!read_block(cursor, p, block)) {
            cursor.position = p;
            return kWalkReadError;
        }
        if (!block.gop_start()) {
            p += kBlockSize;
        } else if (skip > 0) {
            p += block.stored_length();
            --skip;
        } else {
            return read_gop_at(cursor, p, block.stored_length(), buffer);
        }
    }
    // A passed-over header whose length runs past the data must not leave the cursor there.
    cursor.position = std::min(p, cursor.end);
    return kWalkEnd;
}

struct Located {
    int result;         // kWalkRead when found
    int64_t start = 0;  // start of the GOP ending at the position
    int64_t stored = 0;
};

// At the end of the data there is no following block to carry a back-link, so the GOP
// ending there is found by scanning back to the nearest GOP start. GOPs start on block
// boundaries, so the scan does too, also when the end itself does not lie on one.
Located locate_last(StreamCursor& cursor, int64_t p) {
    Block block;
    for (int64_t at = round_up_block(p) - kBlockSize; at >= cursor.begin; at -= kBlockSize) {
        if (!read_block(cursor, at, block)) return {kWalkReadError, at};
        if (block.gop_start()) return {kWalkRead, at, block.stored_length()};
    }
    return {kWalkBeginning, cursor.begin};
}

// Finds the GOP that ends at p through the back-link of the GOP starting at p; blocks that
// do not start a GOP, or start one without a back-link, are stepped back over.
Located locate_previous(StreamCursor& cursor, int64_t p) {
    p = round_up_block(p);
    if (p >= cursor.end) return locate_last(cursor, cursor.end);
    Block block;
    for (; p >= cursor.begin; p -= kBlockSize) {
        if (!read_block(cursor, p, block)) return {kWalkReadError, p};
        int64_t b = block.gop_start() ? block.back_link() : 0;
        if (b == 0) continue;
        if (p - cursor.begin < b) break;
        return {kWalkRead, p - b, b};
    }
    return {kWalkBeginning, cursor.begin};
}

int walk_backward(StreamCursor& cursor, int skip, WalkBuffer& buffer) {
    for (;;) {
        Located found = locate_previous(cursor, cursor.position);
        cursor.position = found.start;
        if (found.result != kWalkRead) return found.result;
        if (skip-- == 0) {
            int result = read_gop_at(cursor, found.start, found.stored, buffer);
            // A backward walk leaves the position at the GOP's start, where the next one
            // goes on from; reading it must not move the position past it again.
            cursor.position = found.start;
            return result;
        }
    }
}

}  // namespace

int next_gop(StreamCursor& cursor, WalkBuffer& buffer) {
    if (!usable(cursor, buffer)) return kWalkNotOpen;
    return walk_forward(cursor, 0, buffer);
}

int skip_forward(StreamCursor& cursor, int n, WalkBuffer& buffer) {
    if (!usable(cursor, buffer) || n <= 0) return kWalkNotOpen;
    return walk_forward(cursor, n, buffer);
}

int previous_gop(StreamCursor& cursor, WalkBuffer& buffer) {
    if (!usable(cursor, buffer)) return kWalkNotOpen;
    return walk_backward(cursor, 0, buffer);
}

int skip_backward(StreamCursor& cursor, int n, WalkBuffer& buffer) {
    if (!usable(cursor, buffer) || n <= 0) return kWalkNotOpen;
    return walk_backward(cursor, n, buffer);
}

}  // namespace fleet::format
