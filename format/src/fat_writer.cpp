#include "format/fat_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/le.h"
#include "fat_names.h"
#include "format/mbr.h"

namespace fleet::format {
namespace {

constexpr int64_t kSector = static_cast<int64_t>(kSectorSize);
constexpr uint32_t kReservedSectors = 32;
constexpr uint32_t kFatCopies = 2;
constexpr uint32_t kFsInfoSector = 1;
constexpr uint32_t kBackupBootSector = 6;
constexpr uint32_t kRootCluster = 2;
constexpr uint32_t kMinClusters = 65525;  // fewer would make it FAT16 by the count rule
constexpr uint32_t kMaxClusters = 0x0FFFFFF5;
constexpr uint32_t kEndOfChain = 0x0FFFFFFF;
constexpr uint8_t kMedia = 0xF8;
constexpr size_t kMaxRootEntries = 65536;
constexpr int64_t kMaxFileSize = 0xFFFFFFFF;
// Every entry carries the same stamp, so images of the same plan are byte-identical.
constexpr uint16_t kStampDate = ((2024 - 1980) << 9) | (1 << 5) | 1;  // 2024-01-01
constexpr uint16_t kStampTime = 12 << 11;                             // 12:00:00

struct Geometry {
    uint32_t total_sectors = 0;
    uint32_t sectors_per_cluster = 0;
    uint32_t fat_sectors = 0;
    uint32_t clusters = 0;

    int64_t cluster_bytes() const { return int64_t{sectors_per_cluster} * kSector; }
    int64_t fat_offset(uint32_t copy) const {
        return (int64_t{kReservedSectors} + int64_t{copy} * fat_sectors) * kSector;
    }
    int64_t cluster_offset(uint32_t cluster) const {
        return fat_offset(kFatCopies) + int64_t{cluster - 2} * cluster_bytes();
    }
};

// The smallest FAT that holds an entry for every cluster the rest of the volume leaves room
// for; growing the FAT shrinks the data area, so this settles after a step or two.
Geometry settle_fat(uint32_t total_sectors, uint32_t sectors_per_cluster) {
    Geometry g{total_sectors, sectors_per_cluster, 1, 0};
    for (;;) {
        int64_t data =
            int64_t{total_sectors} - kReservedSectors - int64_t{kFatCopies} * g.fat_sectors;
        g.clusters = data > 0 ? static_cast<uint32_t>(data / sectors_per_cluster) : 0;
        int64_t needed = ((int64_t{g.clusters} + 2) * 4 + kSector - 1) / kSector;
        if (needed <= g.fat_sectors) return g;
        g.fat_sectors = static_cast<uint32_t>(needed);
    }
}

// Cluster size as volumes of this size commonly get it, made smaller where that would leave
// too few clusters for FAT32.
uint32_t preferred_sectors_per_cluster(int64_t length) {
    constexpr int64_t kMiB = 1 << 20, kGiB = int64_t{1} << 30;
    if (length <= 260 * kMiB) return 1;
    if (length <= 8 * kGiB) return 8;
    if (length <= 16 * kGiB) return 16;
    if (length <= 32 * kGiB) return 32;
    return 64;
}

fleet::Result<Geometry> plan_geometry(int64_t length) {
    int64_t sectors = length / kSector;
    if (sectors > 0xFFFFFFFF) return fleet::fail("FAT32 volume: larger than 2 TiB");
    auto total = static_cast<uint32_t>(sectors);
    for (uint32_t spc = preferred_sectors_per_cluster(length); spc >= 1; spc /= 2) {
        Geometry g = settle_fat(total, spc);
        if (g.clusters >= kMinClusters && g.clusters <= kMaxClusters) return g;
    }
    return fleet::fail("FAT32 volume: " + std::to_string(length) +
                       " bytes hold fewer than 65525 clusters");
}

// ---- names ----

bool valid_long_name(const std::u16string& name) {
    if (name.empty() || name.size() > fat::kMaxLongNameLength) return false;
    if (name == u"." || name == u"..") return false;
    if (name.back() == u'.' || name.back() == u' ') return false;
    for (char16_t c : name) {
        if (c < 0x20 || std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos) {
            return false;
        }
    }
    return true;
}

bool allowed_in_short_name(char16_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::u16string_view(u"!#$%&'()-@^_`{}~").find(c) != std::u16string_view::npos;
}

char16_t ascii_upper(char16_t c) {
    return c >= 'a' && c <= 'z' ? static_cast<char16_t>(c - 'a' + 'A') : c;
}

// The 8.3 basis of a long name: spaces and leading dots dropped, the last dot splitting name
// from extension, characters a short name cannot hold replaced by '_'. `lossy` tells whether
// the basis stands for the long name only approximately.
struct ShortBasis {
    std::string base, ext;
    bool lossy = false;
};

std::string short_part(std::u16string_view part, size_t limit, bool& lossy) {
    std::string out;
    for (char16_t c : part) {
        if (c == u' ' || c == u'.') {
            lossy = true;
            continue;
        }
        char16_t u = ascii_upper(c);
        if (!allowed_in_short_name(u)) lossy = true;
        out += allowed_in_short_name(u) ? static_cast<char>(u) : '_';
    }
    if (out.size() > limit) {
        out.resize(limit);
        lossy = true;
    }
    return out;
}

ShortBasis short_basis(const std::u16string& name) {
    ShortBasis b;
    std::u16string_view view(name);
    size_t lead = view.find_first_not_of(u'.');
    if (lead != 0) b.lossy = true;
    view.remove_prefix(std::min(lead, view.size()));
    size_t dot = view.rfind(u'.');
    b.base = short_part(view.substr(0, dot), 8, b.lossy);
    if (dot != std::u16string_view::npos) b.ext = short_part(view.substr(dot + 1), 3, b.lossy);
    if (b.base.empty()) {
        b.base = "_";
        b.lossy = true;
    }
    return b;
}

using ShortName = std::array<uint8_t, fat::kShortNameLength>;

ShortName pack_short(const std::string& base, const std::string& ext) {
    ShortName out;
    out.fill(' ');
    std::copy(base.begin(), base.end(), out.begin());
    std::copy(ext.begin(), ext.end(), out.begin() + 8);
    return out;
}

// The basis itself when it stands for the name exactly and is free, else the basis with a
// numeric tail ("TIMEIN~1"), the first one not taken.
fleet::Result<ShortName> unique_short_name(const ShortBasis& basis, std::set<ShortName>& taken) {
    if (!basis.lossy && taken.insert(pack_short(basis.base, basis.ext)).second) {
        return pack_short(basis.base, basis.ext);
    }
    for (int n = 1; n <= 999999; ++n) {
        std::string tail = "~" + std::to_string(n);
        std::string base = basis.base.substr(0, 8 - tail.size()) + tail;
        ShortName candidate = pack_short(base, basis.ext);
        if (taken.insert(candidate).second) return candidate;
    }
    return fleet::fail("FAT32 volume: no free short name for " + basis.base);
}

// ---- directory entries ----

using Entry = std::array<uint8_t, fat::kEntrySize>;

Entry short_entry(const ShortName& name, uint8_t attributes, uint32_t cluster, uint32_t size) {
    Entry e{};
    std::copy(name.begin(), name.end(), e.begin());
    e[fat::kAttrOffset] = attributes;
    store_u16(&e[14], kStampTime);  // created
    store_u16(&e[16], kStampDate);
    store_u16(&e[18], kStampDate);  // accessed
    store_u16(&e[fat::kClusterHighOffset], static_cast<uint16_t>(cluster >> 16));
    store_u16(&e[22], kStampTime);  // written
    store_u16(&e[24], kStampDate);
    store_u16(&e[fat::kClusterLowOffset], static_cast<uint16_t>(cluster));
    store_u32(&e[fat::kSizeOffset], size);
    return e;
}

// Long-name entries as they are stored: the last part of the name first, each tied to the
// short entry that follows them by its checksum.
std::vector<Entry> long_name_entries(const std::u16string& name, const ShortName& alias) {
    size_t count = (name.size() + fat::kLongNameCharsPerEntry - 1) / fat::kLongNameCharsPerEntry;
    uint8_t checksum = fat::short_name_checksum(alias.data());
    std::vector<Entry> out;
    for (size_t order = count; order >= 1; --order) {
        Entry e{};
        e[0] = static_cast<uint8_t>(order | (order == count ? fat::kLongNameLast : 0));
        e[fat::kAttrOffset] = fat::kAttrLongName;
        e[fat::kLongChecksumOffset] = checksum;
        for (size_t k = 0; k < fat::kLongNameCharsPerEntry; ++k) {
            size_t at = (order - 1) * fat::kLongNameCharsPerEntry + k;
            // The name ends with one zero unit, then the entry is padded with 0xFFFF.
            uint16_t unit = at < name.size() ? name[at] : at == name.size() ? 0 : 0xFFFF;
            store_u16(&e[fat::kLongNameCharOffsets[k]], unit);
        }
        out.push_back(e);
    }
    return out;
}

struct PlannedFile {
    std::u16string long_name;
    ShortName alias;
    bool needs_long_name = false;
    uint32_t first_cluster = 0;
    uint32_t clusters = 0;
    int64_t size = 0;
};

fleet::Result<std::vector<PlannedFile>> plan_names(const std::vector<FatFilePlan>& files) {
    std::vector<PlannedFile> out;
    std::set<ShortName> aliases;
    std::set<std::u16string> folded;  // long names without ASCII case, for duplicates
    for (const FatFilePlan& file : files) {
        std::optional<std::u16string> name = fat::utf8_to_utf16(file.name);
        if (!name || !valid_long_name(*name)) {
            return fleet::fail("FAT32 volume: not a valid file name: \"" + file.name + "\"");
        }
        std::u16string key = *name;
        std::transform(key.begin(), key.end(), key.begin(), ascii_upper);
        if (!folded.insert(key).second) {
            return fleet::fail("FAT32 volume: two files named \"" + file.name + "\"");
        }
        if (file.size < 0 || file.size > kMaxFileSize) {
            return fleet::fail("FAT32 volume: size of \"" + file.name + "\" out of range");
        }
        ShortBasis basis = short_basis(*name);
        fleet::Result<ShortName> alias = unique_short_name(basis, aliases);
        if (!alias) return alias.error();
        PlannedFile planned;
        planned.long_name = *name;
        planned.alias = *alias;
        // An exact basis still needs a long name when the name was not all upper case.
        std::string exact = basis.ext.empty() ? basis.base : basis.base + "." + basis.ext;
        planned.needs_long_name = basis.lossy || fat::utf16_to_utf8(*name) != exact;
        planned.size = file.size;
        out.push_back(std::move(planned));
    }
    return out;
}

fleet::Result<ShortName> label_name(const std::string& label) {
    std::string upper;
    for (char c : label) {
        char16_t u = ascii_upper(static_cast<unsigned char>(c));
        if (u != u' ' && !allowed_in_short_name(u)) {
            return fleet::fail("FAT32 volume: a label holds A-Z, 0-9, spaces and !#$%&'()-@^_`{}~");
        }
        upper += static_cast<char>(u);
    }
    if (upper.size() > fat::kShortNameLength) {
        return fleet::fail("FAT32 volume: a label has at most 11 characters");
    }
    ShortName out;
    out.fill(' ');
    std::copy(upper.begin(), upper.end(), out.begin());
    return out;
}

std::vector<Entry> root_directory(const std::optional<ShortName>& label,
                                  const std::vector<PlannedFile>& files) {
    std::vector<Entry> out;
    if (label) out.push_back(short_entry(*label, fat::kAttrVolumeLabel, 0, 0));
    for (const PlannedFile& f : files) {
        if (f.needs_long_name) {
            std::vector<Entry> long_entries = long_name_entries(f.long_name, f.alias);
            out.insert(out.end(), long_entries.begin(), long_entries.end());
        }
        out.push_back(short_entry(f.alias, fat::kAttrArchive, f.first_cluster,
                                  static_cast<uint32_t>(f.size)));
    }
    return out;
}

// ---- allocation ----

// Root directory clusters first, then each file on its own run; returns the first cluster
// left free.
fleet::Result<uint32_t> allocate(const Geometry& g, uint32_t root_clusters,
                                 std::vector<PlannedFile>& files) {
    int64_t next = int64_t{kRootCluster} + root_clusters;
    const int64_t end = int64_t{g.clusters} + 2;
    for (PlannedFile& f : files) {
        int64_t clusters = (f.size + g.cluster_bytes() - 1) / g.cluster_bytes();
        if (clusters == 0) continue;
        if (clusters > end - next) return fleet::fail("FAT32 volume: the files do not fit");
        f.first_cluster = static_cast<uint32_t>(next);
        f.clusters = static_cast<uint32_t>(clusters);
        next += clusters;
    }
    return static_cast<uint32_t>(next);
}

std::vector<uint8_t> fat_prefix(uint32_t root_clusters, const std::vector<PlannedFile>& files,
                                uint32_t first_free) {
    std::vector<uint32_t> table(first_free, 0);
    table[0] = 0x0FFFFF00 | kMedia;
    table[1] = kEndOfChain;  // clean, no errors
    auto chain = [&](uint32_t first, uint32_t count) {
        for (uint32_t c = first; c + 1 < first + count; ++c) table[c] = c + 1;
        table[first + count - 1] = kEndOfChain;
    };
    chain(kRootCluster, root_clusters);
    for (const PlannedFile& f : files) {
        if (f.clusters > 0) chain(f.first_cluster, f.clusters);
    }
    std::vector<uint8_t> bytes(table.size() * 4);
    for (size_t i = 0; i < table.size(); ++i) store_u32(&bytes[i * 4], table[i]);
    return bytes;
}

// ---- boot sectors ----

uint32_t volume_id(int64_t offset, int64_t length) {
    uint64_t h =
        static_cast<uint64_t>(offset) * 0x9E3779B97F4A7C15ULL ^ static_cast<uint64_t>(length);
    return static_cast<uint32_t>(h ^ (h >> 32));
}

std::array<uint8_t, kSectorSize> boot_sector(const Geometry& g, int64_t offset, int64_t length,
                                             const ShortName& label) {
    std::array<uint8_t, kSectorSize> s{};
    uint8_t* p = s.data();
    p[0] = 0xEB, p[1] = 0x58, p[2] = 0x90;  // jump over the parameters
    std::memcpy(p + 3, "FLEETFMT", 8);
    store_u16(p + 11, static_cast<uint16_t>(kSector));
    p[13] = static_cast<uint8_t>(g.sectors_per_cluster);
    store_u16(p + 14, kReservedSectors);
    p[16] = kFatCopies;
    p[21] = kMedia;
    store_u16(p + 24, 63);                                       // sectors per track
    store_u16(p + 26, 255);                                      // heads
    store_u32(p + 28, static_cast<uint32_t>(offset / kSector));  // hidden sectors before us
    store_u32(p + 32, g.total_sectors);
    store_u32(p + 36, g.fat_sectors);
    store_u32(p + 44, kRootCluster);
    store_u16(p + 48, kFsInfoSector);
    store_u16(p + 50, kBackupBootSector);
    p[64] = 0x80;  // drive number
    p[66] = 0x29;  // the id, label and type fields follow
    store_u32(p + 67, volume_id(offset, length));
    std::copy(label.begin(), label.end(), p + 71);
    std::memcpy(p + 82, "FAT32   ", 8);
    // Not bootable: stop the machine if it is ever tried.
    p[90] = 0xFA, p[91] = 0xF4, p[92] = 0xEB, p[93] = 0xFD;
    p[510] = 0x55, p[511] = 0xAA;
    return s;
}

std::array<uint8_t, kSectorSize> fs_info_sector(uint32_t free_clusters, uint32_t next_free) {
    std::array<uint8_t, kSectorSize> s{};
    store_u32(&s[0], 0x41615252);
    store_u32(&s[484], 0x61417272);
    store_u32(&s[488], free_clusters);
    store_u32(&s[492], next_free);
    store_u32(&s[508], 0xAA550000);
    return s;
}

// ---- output ----

bool write_all(int fd, const uint8_t* data, size_t n, int64_t at) {
    size_t done = 0;
    while (done < n) {
        ssize_t put =
            ::pwrite(fd, data + done, n - done, static_cast<off_t>(at) + static_cast<off_t>(done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

// Zeros [from, to) without writing where zeros already are, so the holes of a sparse image
// stay holes; where the bytes cannot be read they are written.
bool clear(int fd, int64_t from, int64_t to) {
    constexpr int64_t kChunk = 1 << 20;
    std::vector<uint8_t> zeros(kChunk, 0), seen(kChunk);
    for (int64_t at = from; at < to; at += kChunk) {
        auto n = static_cast<size_t>(std::min(kChunk, to - at));
        ssize_t got = ::pread(fd, seen.data(), n, static_cast<off_t>(at));
        bool zero = got >= 0 &&
                    std::all_of(seen.begin(), seen.begin() + got, [](uint8_t b) { return b == 0; });
        // Past the end of a file reads as zeros once the file is extended.
        if (!zero && !write_all(fd, zeros.data(), n, at)) return false;
    }
    return true;
}

// A regular file is extended to hold the whole volume, still without writing its contents.
bool cover_volume(int fd, int64_t end) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return false;
    if (!S_ISREG(st.st_mode) || st.st_size >= end) return true;
    return ::ftruncate(fd, static_cast<off_t>(end)) == 0;
}

fleet::Status fail_io(const char* what) {
    int code = errno;
    return fleet::fail(
        std::string("FAT32 volume: cannot write ") + what + ": " + std::strerror(code), code);
}

fleet::Status write_reserved(int fd, int64_t offset, const Geometry& g, int64_t length,
                             const ShortName& label, uint32_t first_free) {
    std::vector<uint8_t> reserved(kReservedSectors * kSectorSize, 0);
    auto boot = boot_sector(g, offset, length, label);
    uint32_t free_clusters = g.clusters + 2 - first_free;
    auto info = fs_info_sector(free_clusters, free_clusters > 0 ? first_free : 0xFFFFFFFF);
    for (uint32_t base : {0u, kBackupBootSector}) {
        std::copy(boot.begin(), boot.end(), reserved.begin() + base * kSectorSize);
        std::copy(info.begin(), info.end(),
                  reserved.begin() + (base + kFsInfoSector) * kSectorSize);
    }
    if (!write_all(fd, reserved.data(), reserved.size(), offset)) return fail_io("boot sectors");
    return {};
}

fleet::Status write_fats(int fd, int64_t offset, const Geometry& g,
                         const std::vector<uint8_t>& prefix) {
    for (uint32_t copy = 0; copy < kFatCopies; ++copy) {
        int64_t at = offset + g.fat_offset(copy);
        if (!write_all(fd, prefix.data(), prefix.size(), at) ||
            !clear(fd, at + static_cast<int64_t>(prefix.size()), offset + g.fat_offset(copy + 1))) {
            return fail_io("the FAT");
        }
    }
    return {};
}

fleet::Status write_root(int fd, int64_t offset, const Geometry& g, uint32_t root_clusters,
                         const std::vector<Entry>& entries) {
    std::vector<uint8_t> bytes(static_cast<size_t>(root_clusters * g.cluster_bytes()), 0);
    for (size_t i = 0; i < entries.size(); ++i) {
        std::copy(entries[i].begin(), entries[i].end(), bytes.begin() + i * fat::kEntrySize);
    }
    if (!write_all(fd, bytes.data(), bytes.size(), offset + g.cluster_offset(kRootCluster))) {
        return fail_io("the root directory");
    }
    return {};
}

size_t root_entry_count(bool has_label, const std::vector<PlannedFile>& files) {
    size_t n = has_label ? 1 : 0;
    for (const PlannedFile& f : files) {
        n += 1;
        if (f.needs_long_name) {
            n += (f.long_name.size() + fat::kLongNameCharsPerEntry - 1) /
                 fat::kLongNameCharsPerEntry;
        }
    }
    return n;
}

}  // namespace

fleet::Result<std::vector<FatFilePlaced>> write_fat32_volume(int fd, int64_t offset, int64_t length,
                                                             const std::vector<FatFilePlan>& files,
                                                             const std::string& label) {
    if (offset < 0 || offset % kSector != 0) {
        return fleet::fail("FAT32 volume: the offset must be a multiple of 512");
    }
    fleet::Result<Geometry> geometry = plan_geometry(length);
    if (!geometry) return geometry.error();
    const Geometry& g = *geometry;
    fleet::Result<ShortName> label_field = label_name(label);
    if (!label_field) return label_field.error();
    bool has_label = label.find_first_not_of(' ') != std::string::npos;
    fleet::Result<std::vector<PlannedFile>> planned = plan_names(files);
    if (!planned) return planned.error();

    size_t entries = root_entry_count(has_label, *planned);
    if (entries > kMaxRootEntries) return fleet::fail("FAT32 volume: too many files for a root");
    auto root_clusters = static_cast<uint32_t>(std::max<int64_t>(
        1, (static_cast<int64_t>(entries * fat::kEntrySize) + g.cluster_bytes() - 1) /
               g.cluster_bytes()));
    fleet::Result<uint32_t> first_free = allocate(g, root_clusters, *planned);
    if (!first_free) return first_free.error();

    ShortName boot_label = has_label ? *label_field : pack_short("NO NAME", "");
    std::optional<ShortName> label_entry;
    if (has_label) label_entry = *label_field;
    if (!cover_volume(fd, offset + length)) return fail_io("the image").error();
    fleet::Status written = write_reserved(fd, offset, g, length, boot_label, *first_free);
    if (written) {
        written = write_fats(fd, offset, g, fat_prefix(root_clusters, *planned, *first_free));
    }
    if (written) {
        written = write_root(fd, offset, g, root_clusters, root_directory(label_entry, *planned));
    }
    if (!written) return written.error();

    std::vector<FatFilePlaced> placed;
    for (size_t i = 0; i < files.size(); ++i) {
        const PlannedFile& f = (*planned)[i];
        int64_t data = f.clusters > 0 ? g.cluster_offset(f.first_cluster) : 0;
        placed.push_back({files[i].name, data, f.size});
    }
    return placed;
}

}  // namespace fleet::format
