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

void StreamingWriter::write(const uint8_t* bytes, size_t n) {
    if (lead_ > 0) {
        const size_t k = std::min(lead_, n);
        std::memcpy(dest_, bytes, k);
        dest_ += k;
        lead_ -= k;
        bytes += k;
        n -= k;
    }
    if (held_ > 0) {
        const size_t k = std::min(kBlock - held_, n);
        std::memcpy(pending_ + held_, bytes, k);
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
    std::memcpy(pending_, bytes, n);
    held_ = n;
}

void StreamingWriter::finish() {
    std::memcpy(dest_, pending_, held_);
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
