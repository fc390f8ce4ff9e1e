#include "decode/streaming_writer.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kivra {

StreamingWriter::StreamingWriter(uint8_t* dest)
    : dest_(dest), lead_((kBlock - reinterpret_cast<uintptr_t>(dest) % kBlock) % kBlock) {}

#if defined(__SSE2__)

namespace {

// Copies of at most 16 bytes as a few fixed-size moves (overlapping when need be) instead of a
// call into the C library, which costs more than the copy at these sizes.
inline void copy_small(uint8_t* dest, const uint8_t* source, size_t n) {
    if (n >= 8) {
        uint64_t head, tail;
        std::memcpy(&head, source, 8);
        std::memcpy(&tail, source + n - 8, 8);
        std::memcpy(dest, &head, 8);
        std::memcpy(dest + n - 8, &tail, 8);
    } else if (n >= 4) {
        uint32_t head, tail;
        std::memcpy(&head, source, 4);
        std::memcpy(&tail, source + n - 4, 4);
        std::memcpy(dest, &head, 4);
        std::memcpy(dest + n - 4, &tail, 4);
    } else {
        for (size_t i = 0; i < n; ++i) dest[i] = source[i];
    }
}

}  // namespace

void StreamingWriter::write(const uint8_t* bytes, size_t n) {
    if (lead_ > 0) {
        const size_t k = std::min(lead_, n);
        copy_small(dest_, bytes, k);
        dest_ += k;
        lead_ -= k;
        bytes += k;
        n -= k;
    }
    if (held_ > 0) {
        const size_t k = std::min(kBlock - held_, n);
        copy_small(pending_ + held_, bytes, k);
        held_ += k;
        bytes += k;
        n -= k;
        if (held_ < kBlock) return;
        _mm_stream_si128(reinterpret_cast<__m128i*>(dest_),
                         _mm_load_si128(reinterpret_cast<const __m128i*>(pending_)));
        dest_ += kBlock;
        held_ = 0;
    }
    for (; n >= kBlock; n -= kBlock, bytes += kBlock, dest_ += kBlock) {
        _mm_stream_si128(reinterpret_cast<__m128i*>(dest_),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)));
    }
    copy_small(pending_, bytes, n);
    held_ = n;
}

void StreamingWriter::finish() {
    copy_small(dest_, pending_, held_);
    dest_ += held_;
    held_ = 0;
    _mm_sfence();
}

#else

void StreamingWriter::write(const uint8_t* bytes, size_t n) {
    std::memcpy(dest_, bytes, n);
    dest_ += n;
}

void StreamingWriter::finish() {}

#endif

}  // namespace kivra
