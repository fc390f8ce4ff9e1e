#include "format/fat_volume.h"

#include <algorithm>
#include <array>
#include <limits>

#include "common/le.h"
#include "fat_names.h"
#include "format/mbr.h"

namespace fleet::format {
namespace {

constexpr uint32_t kMinFat16Clusters = 4085;
constexpr uint32_t kMinFat32Clusters = 65525;
constexpr uint32_t kMaxFat32Clusters = 0x0FFFFFF5;
constexpr int64_t kMaxClusterBytes = 0x10000;
// One page of the FAT per miss: a chain that jumps about costs a page per cluster, not more.
constexpr int64_t kFatWindow = 0x1000;
// Directories hold at most 65536 entries; a root chain longer than that is damage.
constexpr int64_t kMaxDirectoryBytes = 65536 * static_cast<int64_t>(fat::kEntrySize);
constexpr int64_t kDirectoryChunk = 0x4000;

// FAT entry values, FAT16 ones widened to the FAT32 range.
constexpr uint32_t kFirstReserved = 0x0FFFFFF0;
constexpr uint32_t kBadCluster = 0x0FFFFFF7;
constexpr uint32_t kFirstEndOfChain = 0x0FFFFFF8;

bool power_of_two(uint32_t v) {
    return v != 0 && (v & (v - 1)) == 0;
}

fleet::Error refuse(const std::string& why) {
    return fleet::fail("FAT volume: " + why);
}

// The BIOS parameter block, as the boot sector states it.
struct BootParameters {
    uint32_t bytes_per_sector, sectors_per_cluster, reserved_sectors, fat_count, root_entries;
    uint32_t total_sectors, fat_sectors16, fat_sectors32, ext_flags, version, root_cluster;

    explicit BootParameters(const uint8_t* b)
        : bytes_per_sector(load_u16(b + 11)),
          sectors_per_cluster(b[13]),
          reserved_sectors(load_u16(b + 14)),
          fat_count(b[16]),
          root_entries(load_u16(b + 17)),
          total_sectors(load_u16(b + 19) != 0 ? load_u16(b + 19) : load_u32(b + 32)),
          fat_sectors16(load_u16(b + 22)),
          fat_sectors32(load_u32(b + 36)),
          ext_flags(load_u16(b + 40)),
          version(load_u16(b + 42)),
          root_cluster(load_u32(b + 44)) {}
    uint32_t fat_sectors() const { return fat_sectors16 != 0 ? fat_sectors16 : fat_sectors32; }
};

fleet::Status check_boot_sector(const uint8_t* b) {
    if (b[510] != 0x55 || b[511] != 0xAA) return refuse("no boot sector signature");
    if (!((b[0] == 0xEB && b[2] == 0x90) || b[0] == 0xE9)) {
        return refuse("no jump at the start of the boot sector");
    }
    return {};
}

fleet::Status check_parameters(const BootParameters& p) {
    uint32_t bps = p.bytes_per_sector;
    if (bps < 512 || bps > 4096 || !power_of_two(bps)) {
        return refuse(std::to_string(bps) + " bytes per sector");
    }
    if (p.sectors_per_cluster > 128 || !power_of_two(p.sectors_per_cluster) ||
        int64_t{bps} * p.sectors_per_cluster > kMaxClusterBytes) {
        return refuse(std::to_string(p.sectors_per_cluster) + " sectors per cluster");
    }
    if (p.reserved_sectors == 0) return refuse("no reserved sectors");
    if (p.fat_count == 0 || p.fat_count > 4) return refuse(std::to_string(p.fat_count) + " FATs");
    if (p.total_sectors == 0) return refuse("no sectors");
    if (p.fat_sectors() == 0) return refuse("an empty FAT");
    return {};
}

}  // namespace

struct FatVolume::Chain {
    struct Run {
        uint32_t first, count;
    };
    std::vector<Run> runs;
    int64_t clusters = 0;

    void add(uint32_t cluster) {
        if (!runs.empty() && runs.back().first + runs.back().count == cluster) {
            ++runs.back().count;
        } else {
            runs.push_back({cluster, 1});
        }
        ++clusters;
    }
    bool contains(uint32_t cluster) const {
        return std::any_of(runs.begin(), runs.end(), [&](const Run& r) {
            return cluster >= r.first && cluster - r.first < r.count;
        });
    }
};

fleet::Status FatVolume::open(ByteSource& device, int64_t offset, int64_t length) {
    *this = FatVolume();
    if (offset < 0 || length < static_cast<int64_t>(kSectorSize)) {
        return refuse("no room for a boot sector");
    }
    if (length > std::numeric_limits<int64_t>::max() - offset) return refuse("past any device");
    std::array<uint8_t, kSectorSize> boot;
    if (!device.read_at(offset, boot.data(), boot.size())) {
        return refuse("cannot read the boot sector");
    }
    if (fleet::Status s = check_boot_sector(boot.data()); !s) return s;
    BootParameters p(boot.data());
    if (fleet::Status s = check_parameters(p); !s) return s;

    const int64_t bps = p.bytes_per_sector;
    if (int64_t{p.total_sectors} * bps > length) return refuse("runs past the end of its space");
    int64_t root_sectors = (int64_t{p.root_entries} * int64_t{fat::kEntrySize} + bps - 1) / bps;
    int64_t first_data =
        int64_t{p.reserved_sectors} + int64_t{p.fat_count} * p.fat_sectors() + root_sectors;
    if (first_data >= p.total_sectors) return refuse("no room for data clusters");
    int64_t clusters = (p.total_sectors - first_data) / p.sectors_per_cluster;

    // The cluster count alone says which FAT this is.
    if (clusters < kMinFat16Clusters) {
        return refuse("FAT12 (" + std::to_string(clusters) + " clusters) is not supported");
    }
    if (clusters > kMaxFat32Clusters) return refuse("too many clusters");
    bits_ = clusters < kMinFat32Clusters ? 16 : 32;
    if (bits_ == 16 && (p.root_entries == 0 || p.fat_sectors16 == 0)) {
        return refuse(std::to_string(clusters) +
                      " clusters make it FAT16, but it is laid out as FAT32");
    }
    if (bits_ == 32 && (p.root_entries != 0 || p.fat_sectors16 != 0)) {
        return refuse(std::to_string(clusters) +
                      " clusters make it FAT32, but it is laid out as FAT16");
    }
    fat_bytes_ = int64_t{p.fat_sectors()} * bps;
    if (fat_bytes_ < (clusters + 2) * (bits_ / 8))
        return refuse("the FAT is too small for its clusters");

    uint32_t active_fat = 0;
    if (bits_ == 32) {
        if (p.version != 0) return refuse("FAT32 version " + std::to_string(p.version));
        if (p.root_cluster < 2 || p.root_cluster > clusters + 1) {
            return refuse("the root directory starts outside the volume");
        }
        root_cluster_ = p.root_cluster;
        // Bit 7: only the FAT named in bits 0-3 is kept up to date.
        if ((p.ext_flags & 0x80) != 0) active_fat = p.ext_flags & 0x0F;
        if (active_fat >= p.fat_count) return refuse("the active FAT does not exist");
    }
    device_ = &device;
    offset_ = offset;
    clusters_ = static_cast<uint32_t>(clusters);
    cluster_bytes_ = int64_t{p.sectors_per_cluster} * bps;
    fat_offset_ = (int64_t{p.reserved_sectors} + int64_t{active_fat} * p.fat_sectors()) * bps;
    root_offset_ = (int64_t{p.reserved_sectors} + int64_t{p.fat_count} * p.fat_sectors()) * bps;
    root_bytes_ = int64_t{p.root_entries} * int64_t{fat::kEntrySize};
    data_offset_ = first_data * bps;
    return {};
}

int FatVolume::fat_bits() const {
    return bits_;
}

int64_t FatVolume::cluster_offset(uint32_t cluster) const {
    return data_offset_ + int64_t{cluster - 2} * cluster_bytes_;
}

fleet::Result<uint32_t> FatVolume::fat_entry(uint32_t cluster) {
    const int64_t width = bits_ / 8;
    const int64_t at = int64_t{cluster} * width;
    if (fat_cache_start_ < 0 || at < fat_cache_start_ ||
        at + width > fat_cache_start_ + static_cast<int64_t>(fat_cache_.size())) {
        int64_t start = at - at % kFatWindow;
        fat_cache_.resize(static_cast<size_t>(std::min(kFatWindow, fat_bytes_ - start)));
        fat_cache_start_ = -1;
        if (!device_->read_at(offset_ + fat_offset_ + start, fat_cache_.data(),
                              fat_cache_.size())) {
            return refuse("cannot read the FAT");
        }
        fat_cache_start_ = start;
    }
    const uint8_t* p = fat_cache_.data() + (at - fat_cache_start_);
    if (bits_ == 32) return load_u32(p) & 0x0FFFFFFF;
    uint32_t v = load_u16(p);
    return v >= 0xFFF0 ? v | 0x0FFF0000 : v;
}

// The clusters from `first` to the end-of-chain mark, at most `max_clusters` of them.
fleet::Result<FatVolume::Chain> FatVolume::follow_chain(uint32_t first, int64_t max_clusters) {
    auto where = [](uint32_t c) { return " at cluster " + std::to_string(c); };
    if (first < 2 || first > clusters_ + 1)
        return refuse("a chain starts" + where(first) + " outside the volume");
    Chain chain;
    for (uint32_t c = first;;) {
        if (chain.clusters == max_clusters) {
            if (chain.contains(c)) return refuse("a cluster chain loops" + where(c));
            return refuse("a cluster chain is longer than its file" + where(c));
        }
        chain.add(c);
        fleet::Result<uint32_t> next = fat_entry(c);
        if (!next) return next.error();
        uint32_t v = *next;
        if (v >= kFirstEndOfChain) return chain;
        if (v == 0) return refuse("a cluster chain runs into a free cluster" + where(c));
        if (v == kBadCluster) return refuse("a cluster chain runs into a bad cluster" + where(c));
        if (v == 1 || v >= kFirstReserved) return refuse("a reserved FAT value" + where(c));
        if (v > clusters_ + 1) return refuse("a cluster chain leaves the volume" + where(c));
        c = v;
    }
}

std::optional<FatEntry> FatVolume::find_in_root(const std::string& name) {
    fleet::Result<std::vector<FatEntry>> entries = root_entries();
    if (!entries) return std::nullopt;
    const FatEntry* found = find_entry(*entries, name);
    if (found == nullptr) return std::nullopt;
    return *found;
}

const FatEntry* find_entry(const std::vector<FatEntry>& entries, const std::string& name) {
    for (const FatEntry& e : entries) {
        if (fat::equal_ignoring_ascii_case(e.name, name) ||
            fat::equal_ignoring_ascii_case(e.short_name, name)) {
            return &e;
        }
    }
    return nullptr;
}

fleet::Result<std::unique_ptr<FatFile>> FatVolume::open_file(const FatEntry& entry) {
    if (device_ == nullptr) return refuse("not open");
    if (entry.directory) return refuse(entry.name + " is a directory");
    if (entry.size == 0)
        return std::make_unique<FatFile>(*device_, 0, std::vector<FatFile::Extent>{});
    int64_t needed = (int64_t{entry.size} + cluster_bytes_ - 1) / cluster_bytes_;
    fleet::Result<Chain> chain = follow_chain(entry.first_cluster, needed);
    if (!chain) return fleet::fail(chain.error().message + " (" + entry.name + ")");
    if (chain->clusters < needed) {
        return refuse(entry.name + ": " + std::to_string(entry.size) + " bytes in a chain of " +
                      std::to_string(chain->clusters) + " clusters");
    }
    std::vector<FatFile::Extent> extents;
    int64_t file_offset = 0;
    for (const Chain::Run& run : chain->runs) {
        int64_t length = int64_t{run.count} * cluster_bytes_;
        extents.push_back({file_offset, offset_ + cluster_offset(run.first), length});
        file_offset += length;
    }
    return std::make_unique<FatFile>(*device_, entry.size, std::move(extents));
}

// ---- the root directory ----

namespace {

// Collects the parts of a long name stored ahead of a short entry. A part out of order, or
// with another checksum, drops what was collected; the short entry then stands alone.
class LongNameCollector {
  public:
    void add(const uint8_t* e) {
        uint8_t order = e[0] & fat::kLongNameOrderMask;
        bool first = (e[0] & fat::kLongNameLast) != 0;
        if (first) {
            constexpr size_t kMaxParts =
                (fat::kMaxLongNameLength + fat::kLongNameCharsPerEntry - 1) /
                fat::kLongNameCharsPerEntry;
            if (order == 0 || order > kMaxParts) return reset();
            units_.assign(order * fat::kLongNameCharsPerEntry, 0xFFFF);
            checksum_ = e[fat::kLongChecksumOffset];
            expected_ = order;
        } else if (expected_ == 0 || e[0] != expected_ ||
                   e[fat::kLongChecksumOffset] != checksum_) {
            return reset();
        }
        size_t base = (order - 1u) * fat::kLongNameCharsPerEntry;
        for (size_t k = 0; k < fat::kLongNameCharsPerEntry; ++k) {
            units_[base + k] = static_cast<char16_t>(load_u16(e + fat::kLongNameCharOffsets[k]));
        }
        --expected_;
        complete_ = expected_ == 0;
    }

    // The long name belonging to this short entry, if one was collected whole.
    std::optional<std::string> take(const uint8_t* short_entry) {
        bool matches = complete_ && fat::short_name_checksum(short_entry) == checksum_;
        std::u16string name = units_.substr(0, units_.find(u'\0'));
        reset();
        if (!matches || name.empty()) return std::nullopt;
        return fat::utf16_to_utf8(name);
    }

    void reset() {
        units_.clear();
        expected_ = 0;
        complete_ = false;
    }

  private:
    std::u16string units_;
    uint8_t checksum_ = 0;
    size_t expected_ = 0;  // order of the next part; 0 when none is expected
    bool complete_ = false;
};

// Where a directory's bytes lie, from the volume start.
struct Region {
    int64_t offset, length;
};

}  // namespace

fleet::Result<std::vector<FatEntry>> FatVolume::root_entries() {
    if (device_ == nullptr) return refuse("not open");
    std::vector<Region> regions;
    if (bits_ == 16) {
        regions.push_back({root_offset_, root_bytes_});
    } else {
        int64_t max_clusters = std::max<int64_t>(1, kMaxDirectoryBytes / cluster_bytes_);
        fleet::Result<Chain> chain = follow_chain(root_cluster_, max_clusters);
        if (!chain) return fleet::fail(chain.error().message + " (root directory)");
        for (const Chain::Run& run : chain->runs) {
            regions.push_back({cluster_offset(run.first), int64_t{run.count} * cluster_bytes_});
        }
    }

    std::vector<FatEntry> out;
    LongNameCollector long_name;
    std::vector<uint8_t> chunk;
    for (const Region& region : regions) {
        for (int64_t at = 0; at < region.length; at += kDirectoryChunk) {
            chunk.resize(static_cast<size_t>(std::min(kDirectoryChunk, region.length - at)));
            if (!device_->read_at(offset_ + region.offset + at, chunk.data(), chunk.size())) {
                return refuse("cannot read the root directory");
            }
            for (size_t i = 0; i + fat::kEntrySize <= chunk.size(); i += fat::kEntrySize) {
                const uint8_t* e = chunk.data() + i;
                uint8_t attributes = e[fat::kAttrOffset];
                if (e[0] == fat::kEntryFree) return out;
                if (e[0] == fat::kEntryDeleted) {
                    long_name.reset();
                } else if ((attributes & fat::kAttrLongNameMask) == fat::kAttrLongName) {
                    long_name.add(e);
                } else if ((attributes & fat::kAttrVolumeLabel) != 0 || e[0] == '.') {
                    long_name.reset();
                } else {
                    FatEntry entry;
                    entry.short_name = fat::short_name_text(e);
                    entry.name = long_name.take(e).value_or(
                        fat::short_name_text(e, e[fat::kCaseFlagsOffset]));
                    entry.directory = (attributes & fat::kAttrDirectory) != 0;
                    uint32_t high = bits_ == 32 ? load_u16(e + fat::kClusterHighOffset) : 0;
                    entry.first_cluster = high << 16 | load_u16(e + fat::kClusterLowOffset);
                    entry.size = load_u32(e + fat::kSizeOffset);
                    out.push_back(std::move(entry));
                }
            }
        }
    }
    return out;
}

}  // namespace fleet::format
