#include <algorithm>
#include <cstring>

#include "format/fat_volume.h"

namespace fleet::format {

FatFile::FatFile(ByteSource& device, int64_t size, std::vector<Extent> extents)
    : device_(device), size_(size), extents_(std::move(extents)) {}

bool FatFile::read_at(int64_t offset, uint8_t* dest, size_t n) {
    if (offset < 0 || offset > size_ || n > static_cast<uint64_t>(size_ - offset)) return false;
    // Large reads gain nothing from the cache and would only push out what is in it.
    if (n >= kCacheSize) return read_direct(offset, dest, n);
    while (n > 0) {
        const Chunk* chunk = chunk_at(offset - offset % static_cast<int64_t>(kCacheSize));
        if (chunk == nullptr) return false;
        auto within = static_cast<size_t>(offset - chunk->start);
        size_t take = std::min(n, chunk->bytes.size() - within);
        std::memcpy(dest, chunk->bytes.data() + within, take);
        offset += static_cast<int64_t>(take);
        dest += take;
        n -= take;
    }
    return true;
}

// The cached chunk starting at chunk_start, read into the one used less recently on a miss.
const FatFile::Chunk* FatFile::chunk_at(int64_t chunk_start) {
    for (size_t i = 0; i < 2; ++i) {
        if (chunks_[i].start == chunk_start) {
            recent_ = i;
            return &chunks_[i];
        }
    }
    recent_ = 1 - recent_;
    Chunk& chunk = chunks_[recent_];
    chunk.start = -1;
    chunk.bytes.resize(
        static_cast<size_t>(std::min(static_cast<int64_t>(kCacheSize), size_ - chunk_start)));
    if (!read_direct(chunk_start, chunk.bytes.data(), chunk.bytes.size())) return nullptr;
    chunk.start = chunk_start;
    return &chunk;
}

// Reads straight from the device, one extent at a time; the extent holding `offset` is
// found by binary search.
bool FatFile::read_direct(int64_t offset, uint8_t* dest, size_t n) {
    auto it = std::upper_bound(extents_.begin(), extents_.end(), offset,
                               [](int64_t at, const Extent& e) { return at < e.file_offset; });
    if (it == extents_.begin()) return n == 0;
    for (--it; n > 0; ++it) {
        if (it == extents_.end()) return false;
        int64_t within = offset - it->file_offset;
        auto take =
            static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(n), it->length - within));
        if (!device_.read_at(it->device_offset + within, dest, take)) return false;
        offset += static_cast<int64_t>(take);
        dest += take;
        n -= take;
    }
    return true;
}

}  // namespace fleet::format
