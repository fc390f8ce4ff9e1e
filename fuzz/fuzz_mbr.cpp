// A disk from the input (fuzz/sparse_image.h): its partition table read and built again, and
// the disk searched for a recorder's index files. Beyond the sanitizers: a table read back
// from what was built is the same table, and the verdict agrees with what it carries.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "format/mbr.h"
#include "format/recorder_disk.h"
#include "sparse_image.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

void check_table(fleet::format::ByteSource& image) {
    std::array<uint8_t, fleet::format::kSectorSize> sector{};
    if (!image.read_at(0, sector.data(), sector.size())) return;
    auto table = fleet::format::parse_mbr(sector.data());
    if (!table) return;
    std::vector<fleet::format::MbrPartition> entries(table->begin(), table->end());
    auto built = fleet::format::build_mbr(entries);
    auto again = fleet::format::parse_mbr(built.data());
    check(again.has_value());
    for (size_t i = 0; i < 4; ++i) {
        const auto &a = (*table)[i], &b = (*again)[i];
        check(a.empty() == b.empty());
        if (!a.empty()) {
            check(a.type == b.type && a.first_sector == b.first_sector &&
                  a.sector_count == b.sector_count);
        }
        check(a.offset() >= 0 && a.length() >= 0);
    }
}

void check_file(fleet::format::FatFile* file) {
    check(file != nullptr);
    uint8_t record[16];
    // Every byte of the image reads, so only a read outside the partition could fail.
    if (file->size() >= 16) check(file->read_at(file->size() - 16, record, sizeof record));
    check(!file->read_at(file->size(), record, 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::SparseImage image(data, size);
    check_table(image);
    auto disk = fleet::format::recognise_recorder_disk(image, image.size());
    if (disk.verdict != fleet::format::DiskVerdict::RecorderDisk) {
        check(!disk.why.empty());
        check(!disk.time_index && !disk.event_index && !disk.quick_index);
        return 0;
    }
    for (const auto* p : {&disk.index_partition, &disk.data_partition}) {
        check(!p->empty());
        check(p->offset() + p->length() <= image.size());
    }
    check_file(disk.time_index.get());
    check_file(disk.event_index.get());
    check_file(disk.quick_index.get());
    return 0;
}
