// A fuzz input as a large device that is mostly zeros, so a FAT32 volume (32 MiB at least)
// or a whole disk fits in a few kilobytes of input:
//   u32 device size in sectors (little-endian), then pieces until the input ends, each
//   u32 first sector, u16 length in bytes (cut to what follows), the bytes.
// Bytes no piece covers read as zero; a later piece wins where pieces overlap.
// make_fuzz_seeds writes real images in this form.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "common/le.h"
#include "format/byte_source.h"

namespace fuzz {

inline constexpr int64_t kSparseSector = 512;
inline constexpr size_t kSparseHeader = 4;
inline constexpr size_t kSparsePieceHeader = 6;

class SparseImage final : public fleet::format::ByteSource {
  public:
    SparseImage(const uint8_t* data, size_t size) {
        if (size < kSparseHeader) return;
        size_ = int64_t{fleet::load_u32(data)} * kSparseSector;
        for (size_t at = kSparseHeader; at + kSparsePieceHeader <= size;) {
            int64_t offset = int64_t{fleet::load_u32(data + at)} * kSparseSector;
            size_t length =
                std::min<size_t>(fleet::load_u16(data + at + 4), size - at - kSparsePieceHeader);
            pieces_.push_back({offset, data + at + kSparsePieceHeader, length});
            at += kSparsePieceHeader + length;
        }
    }

    int64_t size() const { return size_; }

    bool read_at(int64_t offset, uint8_t* dest, size_t n) override {
        if (offset < 0 || offset > size_ || static_cast<int64_t>(n) > size_ - offset) return false;
        std::memset(dest, 0, n);
        const int64_t end = offset + static_cast<int64_t>(n);
        for (const Piece& p : pieces_) {
            int64_t from = std::max(offset, p.offset);
            int64_t to = std::min(end, p.offset + static_cast<int64_t>(p.length));
            if (from >= to) continue;
            std::memcpy(dest + (from - offset), p.bytes + (from - p.offset),
                        static_cast<size_t>(to - from));
        }
        return true;
    }

  private:
    struct Piece {
        int64_t offset;
        const uint8_t* bytes;
        size_t length;
    };
    int64_t size_ = 0;
    std::vector<Piece> pieces_;
};

// The sparse form of a device image: every run of sectors that are not all zero.
inline std::vector<uint8_t> encode_sparse_image(fleet::format::ByteSource& device, int64_t size) {
    constexpr int64_t kMaxPiece = 127 * kSparseSector;  // fits the u16 length
    std::vector<uint8_t> out(kSparseHeader);
    fleet::store_u32(out.data(), static_cast<uint32_t>(size / kSparseSector));
    std::vector<uint8_t> sector(kSparseSector);
    size_t piece = 0;  // header of the piece being extended; 0 = none
    for (int64_t at = 0; at + kSparseSector <= size; at += kSparseSector) {
        if (!device.read_at(at, sector.data(), sector.size())) break;
        bool zero = std::all_of(sector.begin(), sector.end(), [](uint8_t b) { return b == 0; });
        if (zero) {
            piece = 0;
            continue;
        }
        if (piece == 0 || fleet::load_u16(&out[piece + 4]) + kSparseSector > kMaxPiece) {
            piece = out.size();
            out.resize(out.size() + kSparsePieceHeader);
            fleet::store_u32(&out[piece], static_cast<uint32_t>(at / kSparseSector));
        }
        fleet::store_u16(&out[piece + 4],
                         static_cast<uint16_t>(fleet::load_u16(&out[piece + 4]) + kSparseSector));
        out.insert(out.end(), sector.begin(), sector.end());
    }
    return out;
}

}  // namespace fuzz
