#include "format/recorder_disk.h"

#include <array>
#include <optional>
#include <string>

#include "format/index_format.h"

namespace fleet::format {
namespace {

RecorderDisk not_recorder_disk(std::string why) {
    RecorderDisk disk;
    disk.why = std::move(why);
    return disk;
}

bool inside(const MbrPartition& p, int64_t device_size) {
    return p.offset() <= device_size && p.length() <= device_size - p.offset();
}

// The most an index can hold: every unit number of the ring and its header.
int64_t largest_index(const char* name) {
    const int64_t records = int64_t{kLastUnitNumber} + 1;
    return records * static_cast<int64_t>(std::string(name) == kQuickIndexName ? kQuickRecordSize
                                                                               : kIndexRecordSize);
}

// Opens one index file of the root; the error says which file and why it cannot be used.
fleet::Result<std::unique_ptr<FatFile>> open_index(FatVolume& volume,
                                                   const std::vector<FatEntry>& root,
                                                   const char* name) {
    const FatEntry* entry = find_entry(root, name);
    if (entry == nullptr || entry->directory) {
        return fleet::fail(std::string("no ") + name + " in the index partition");
    }
    // A larger size is damage, and following its cluster chain would only cost time.
    if (int64_t{entry->size} > largest_index(name)) {
        return fleet::fail(std::string(name) +
                           " is larger than any index: " + std::to_string(entry->size) + " bytes");
    }
    fleet::Result<std::unique_ptr<FatFile>> file = volume.open_file(*entry);
    if (!file) return fleet::fail(std::string("cannot open ") + name + ": " + file.error().message);
    return file;
}

}  // namespace

RecorderDisk recognise_recorder_disk(ByteSource& device, int64_t device_size) {
    std::array<uint8_t, kSectorSize> sector;
    if (device_size < static_cast<int64_t>(kSectorSize) ||
        !device.read_at(0, sector.data(), sector.size())) {
        return not_recorder_disk("cannot read sector 0");
    }
    std::optional<std::array<MbrPartition, 4>> table = parse_mbr(sector.data());
    if (!table) return not_recorder_disk("no partition table");
    const MbrPartition& index = (*table)[0];
    const MbrPartition& data = (*table)[1];
    if (index.empty() || data.empty()) return not_recorder_disk("fewer than two partitions");
    if (!inside(index, device_size) || !inside(data, device_size)) {
        return not_recorder_disk("a partition runs past the end of the device");
    }

    FatVolume volume;
    if (fleet::Status s = volume.open(device, index.offset(), index.length()); !s) {
        return not_recorder_disk("first partition: " + s.error().message);
    }
    fleet::Result<std::vector<FatEntry>> root = volume.root_entries();
    if (!root) return not_recorder_disk("first partition: " + root.error().message);
    const FatEntry* time_entry = find_entry(*root, kTimeIndexName);
    if (time_entry == nullptr || time_entry->directory) {
        return not_recorder_disk(std::string("no ") + kTimeIndexName + " in the first partition");
    }

    // From here on the disk is a recorder's: what is wrong with it is worth reporting.
    RecorderDisk disk;
    disk.index_partition = index;
    disk.data_partition = data;
    disk.verdict = DiskVerdict::IndexFileMissing;
    auto time_index = open_index(volume, *root, kTimeIndexName);
    auto event_index = open_index(volume, *root, kEventIndexName);
    auto quick_index = open_index(volume, *root, kQuickIndexName);
    for (const auto* file : {&time_index, &event_index, &quick_index}) {
        if (!*file) {
            disk.why = file->error().message;
            return disk;
        }
    }
    disk.verdict = DiskVerdict::RecorderDisk;
    disk.time_index = std::move(*time_index);
    disk.event_index = std::move(*event_index);
    disk.quick_index = std::move(*quick_index);
    return disk;
}

}  // namespace fleet::format
