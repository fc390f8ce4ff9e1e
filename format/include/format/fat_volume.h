// Read-only access to a FAT16 or FAT32 file system inside a device or an image: the root
// directory and the files in it. Every byte read from the device is untrusted; whatever does
// not add up is refused with a reason instead of being read around.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/result.h"
#include "format/byte_source.h"

namespace fleet::format {

struct FatEntry {
    // The long name when the entry has one, else "NAME.EXT"/"NAME" (parts in lower case where
    // the entry's case flags say so, as other systems show them).
    std::string name;
    std::string short_name;  // the 8.3 name as "NAME.EXT"
    bool directory = false;
    uint32_t first_cluster = 0;
    uint32_t size = 0;
};

class FatFile;  // a ByteSource over one file's bytes (cluster chain resolved into extents once)

class FatVolume {
  public:
    // Reads the boot sector at `offset` of `device`; `length` bounds the volume. Refuses, with
    // a reason, anything that is not a sane FAT16/FAT32 volume (FAT type by cluster count;
    // FAT12 refused; bytes per sector 512..4096 power of two, etc.). `device` must outlive
    // the volume and the files opened from it.
    fleet::Status open(ByteSource& device, int64_t offset, int64_t length);
    int fat_bits() const;  // 16 or 32
    // Deleted entries and volume labels left out; long names (VFAT LFN, checksum verified,
    // UCS-2 -> UTF-8) included.
    fleet::Result<std::vector<FatEntry>> root_entries();
    // Root entry by name, matched without case (ASCII) against the long and the short name;
    // nullopt also when the root cannot be read.
    std::optional<FatEntry> find_in_root(const std::string& name);
    fleet::Result<std::unique_ptr<FatFile>> open_file(const FatEntry& entry);

    uint32_t cluster_count() const { return clusters_; }
    int64_t cluster_size() const { return cluster_bytes_; }  // bytes

  private:
    struct Chain;
    fleet::Result<uint32_t> fat_entry(uint32_t cluster);
    fleet::Result<Chain> follow_chain(uint32_t first, int64_t max_clusters);
    int64_t cluster_offset(uint32_t cluster) const;

    ByteSource* device_ = nullptr;
    int64_t offset_ = 0;  // of the volume in the device
    int bits_ = 0;
    uint32_t clusters_ = 0;  // data clusters, numbered 2..clusters_+1
    int64_t cluster_bytes_ = 0;
    int64_t fat_offset_ = 0;  // of the FAT in use, from the volume start
    int64_t fat_bytes_ = 0;
    int64_t root_offset_ = 0;  // FAT16: the fixed root directory
    int64_t root_bytes_ = 0;
    uint32_t root_cluster_ = 0;  // FAT32
    int64_t data_offset_ = 0;    // cluster 2, from the volume start
    // One window of the FAT, so walking a chain costs few reads.
    std::vector<uint8_t> fat_cache_;
    int64_t fat_cache_start_ = -1;
};

// The first entry whose long or short name is `name`, without ASCII case; null when none is.
const FatEntry* find_entry(const std::vector<FatEntry>& entries, const std::string& name);

class FatFile final : public ByteSource {
  public:
    // A run of clusters that lie one after another on the device.
    struct Extent {
        int64_t file_offset = 0;
        int64_t device_offset = 0;
        int64_t length = 0;
    };
    static constexpr size_t kCacheSize = 0x10000;  // bytes per cached chunk

    FatFile(ByteSource& device, int64_t size, std::vector<Extent> extents);
    int64_t size() const { return size_; }
    size_t extent_count() const { return extents_.size(); }
    bool read_at(int64_t offset, uint8_t* dest, size_t n) override;  // fails past size

  private:
    // An aligned chunk of the file. Two are kept, so records that straddle a chunk edge do
    // not reload the chunk a walk is in.
    struct Chunk {
        int64_t start = -1;
        std::vector<uint8_t> bytes;
    };
    bool read_direct(int64_t offset, uint8_t* dest, size_t n);
    const Chunk* chunk_at(int64_t chunk_start);

    ByteSource& device_;
    int64_t size_;
    std::vector<Extent> extents_;
    Chunk chunks_[2];
    size_t recent_ = 0;  // the chunk used last
};

}  // namespace fleet::format
