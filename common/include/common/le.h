// Little-endian reads and writes over byte buffers. Readers never touch bytes past the
// length they were given: callers check `fits` (or use ByteReader) before reading.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace fleet {

inline bool fits(size_t length, size_t offset, size_t count) {
    return offset <= length && count <= length - offset;
}

inline uint16_t load_u16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t load_u32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
inline uint64_t load_u64(const uint8_t* p) {
    return uint64_t{load_u32(p)} | (uint64_t{load_u32(p + 4)} << 32);
}

inline void store_u16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void store_u32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void store_u64(uint8_t* p, uint64_t v) {
    store_u32(p, static_cast<uint32_t>(v));
    store_u32(p + 4, static_cast<uint32_t>(v >> 32));
}

// Sequential bounds-checked reader. A read past the end fails and leaves the reader
// exhausted, so a parser can read a record and check `ok()` once afterwards.
class ByteReader {
  public:
    ByteReader(const uint8_t* data, size_t length) : data_(data), length_(length) {}
    explicit ByteReader(std::span<const uint8_t> bytes) : ByteReader(bytes.data(), bytes.size()) {}

    bool ok() const { return ok_; }
    size_t offset() const { return offset_; }
    size_t remaining() const { return ok_ ? length_ - offset_ : 0; }

    bool skip(size_t n) {
        if (!take(n)) return false;
        offset_ += n;
        return true;
    }
    // Returns a pointer to the next n bytes and advances, or null when fewer remain.
    const uint8_t* bytes(size_t n) {
        if (!take(n)) return nullptr;
        const uint8_t* p = data_ + offset_;
        offset_ += n;
        return p;
    }
    uint8_t u8() {
        const uint8_t* p = bytes(1);
        return p ? *p : 0;
    }
    uint16_t u16() {
        const uint8_t* p = bytes(2);
        return p ? load_u16(p) : 0;
    }
    uint32_t u32() {
        const uint8_t* p = bytes(4);
        return p ? load_u32(p) : 0;
    }
    uint64_t u64() {
        const uint8_t* p = bytes(8);
        return p ? load_u64(p) : 0;
    }

  private:
    bool take(size_t n) {
        if (ok_ && fits(length_, offset_, n)) return true;
        ok_ = false;
        offset_ = length_;
        return false;
    }

    const uint8_t* data_;
    size_t length_;
    size_t offset_ = 0;
    bool ok_ = true;
};

}  // namespace fleet
