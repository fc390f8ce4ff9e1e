// A FAT volume from the input (fuzz/sparse_image.h): opened, its root listed, every file read.
// Beyond the sanitizers: what the volume reports must hold together, a file's cached small
// reads must give the bytes of one large read, and no read may reach past a file's size.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "format/fat_volume.h"
#include "sparse_image.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

// Enough to compare both read paths without reading gigabytes a chain may claim.
constexpr int64_t kCompared = 0x24000;
constexpr size_t kMaxFiles = 64;

void read_file(fleet::format::FatFile& file) {
    int64_t size = file.size();
    int64_t n = std::min(size, kCompared);
    std::vector<uint8_t> whole(static_cast<size_t>(n)), step(16);
    // Every byte of the image reads, so only a read outside the volume could fail.
    check(file.read_at(0, whole.data(), whole.size()));
    for (int64_t at = n - 16; at >= 0; at -= 16) {
        check(file.read_at(at, step.data(), step.size()));
        check(std::equal(step.begin(), step.end(), whole.begin() + at));
    }
    uint8_t byte;
    check(!file.read_at(size, &byte, 1));
    check(!file.read_at(-1, &byte, 1));
    if (size > 0) check(file.read_at(size - 1, &byte, 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::SparseImage image(data, size);
    fleet::format::FatVolume volume;
    if (!volume.open(image, 0, image.size()).ok()) return 0;
    check(volume.fat_bits() == 16 || volume.fat_bits() == 32);
    check(volume.cluster_count() >= 4085);
    check(volume.cluster_size() >= 512 && volume.cluster_size() <= 0x10000);

    auto entries = volume.root_entries();
    if (!entries.ok()) return 0;
    for (size_t i = 0; i < entries->size() && i < kMaxFiles; ++i) {
        const fleet::format::FatEntry& entry = (*entries)[i];
        check(!entry.name.empty() && !entry.short_name.empty());
        auto file = volume.open_file(entry);
        check(!entry.directory || !file.ok());
        if (!file.ok()) continue;
        check((*file)->size() == int64_t{entry.size});
        read_file(**file);
    }
    return 0;
}
