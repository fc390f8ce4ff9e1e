// Walking a stored GOP stream forwards and backwards, finding GOP starts again after damage.
// Positions are byte offsets in the source's logical addressing; every GOP starts on a
// 512-byte boundary and occupies its total length rounded up to 512.
#pragma once

#include <cstddef>
#include <cstdint>

#include "format/byte_source.h"

namespace fleet::format {

inline constexpr size_t kWalkBufferSize = 0x200000;  // the engine's GOP buffer, 2 MiB

enum WalkResult : int {
    kWalkRead = 0,        // a GOP was read; `length` is its stored (rounded) length
    kWalkEnd = 1,         // forward walkers: the end of the data was reached
    kWalkBeginning = 2,   // backward walkers: the beginning was reached
    kWalkNotOpen = -1,    // no source, or n <= 0 for the skipping walkers
    kWalkReadError = -3,  // a read failed, or the GOP is larger than the buffer
};

struct StreamCursor {
    ByteSource* source = nullptr;
    int64_t begin = 0;     // first byte of the recorded data
    int64_t end = 0;       // end of the recorded data
    int64_t position = 0;  // where the next walk starts
};

struct WalkBuffer {
    uint8_t* data = nullptr;
    size_t capacity = 0;
    size_t length = 0;  // set by a successful walk
};

// Reads the GOP at or after the position; the position moves past it.
int next_gop(StreamCursor& cursor, WalkBuffer& buffer);
// Passes over n GOPs, then reads the next one.
int skip_forward(StreamCursor& cursor, int n, WalkBuffer& buffer);
// Reads the GOP that ends at the position; the position moves to its start.
int previous_gop(StreamCursor& cursor, WalkBuffer& buffer);
// Follows n back-links, then reads the GOP the next one leads to.
int skip_backward(StreamCursor& cursor, int n, WalkBuffer& buffer);

}  // namespace fleet::format
