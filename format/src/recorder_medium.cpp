#include "format/recorder_medium.h"

#include <cerrno>
#include <system_error>

#include "format/card_layout.h"
#include "format/mbr.h"
#include "format/recorder_disk.h"
#include "format/ring_scan.h"

namespace fleet::format {
namespace {

namespace ff = fleet::format;

MediumFound find_disk(std::unique_ptr<ff::FileByteSource> device) {
    MediumFound found;
    ff::RecorderDisk disk = ff::recognise_recorder_disk(*device, device->size());
    found.why = disk.why;
    if (disk.verdict == ff::DiskVerdict::NotRecorderDisk) return found;
    if (disk.verdict == ff::DiskVerdict::IndexFileMissing) {
        found.verdict = MediumFound::Unusable;
        return found;
    }
    const ff::MbrPartition& data = disk.data_partition;
    found.medium.data =
        std::make_unique<ff::WindowByteSource>(*device, data.offset(), data.length());
    found.medium.time_index = std::move(disk.time_index);
    found.medium.event_index = std::move(disk.event_index);
    found.medium.quick_index = std::move(disk.quick_index);
    found.medium.bounds = ff::disk_ring_bounds(data.length());
    found.medium.device = std::move(device);
    found.verdict = MediumFound::Usable;
    return found;
}

// Card unit offsets are device offsets, so the data is read from the whole device.
MediumFound find_card(std::unique_ptr<ff::FileByteSource> device) {
    MediumFound found;
    const int64_t size = device->size();
    uint8_t sector[ff::kSectorSize];
    if (!device->read_at(ff::kCardMarkOffset, sector, sizeof sector)) return found;
    auto card = ff::parse_card_sector(sector, size);
    if (!card) return found;
    ff::FileByteSource& d = *device;
    found.medium.data = std::make_unique<ff::WindowByteSource>(d, 0, size);
    found.medium.time_index = std::make_unique<ff::WindowByteSource>(
        d, card->time_index(), card->event_index() - card->time_index());
    found.medium.event_index = std::make_unique<ff::WindowByteSource>(
        d, card->event_index(), card->quick_index() - card->event_index());
    found.medium.quick_index = std::make_unique<ff::WindowByteSource>(
        d, card->quick_index(), card->data_start() - card->quick_index());
    found.medium.bounds = ff::card_ring_bounds(card->data_start(), size);
    found.medium.device = std::move(device);
    found.verdict = MediumFound::Usable;
    return found;
}

}  // namespace

MediumFound find_medium(MediumKind kind, std::unique_ptr<ff::FileByteSource> device) {
    if (!device || !device->is_open() || device->size() <= 0) return {};
    return kind == MediumKind::Disk ? find_disk(std::move(device)) : find_card(std::move(device));
}

MediumFound find_medium_at(MediumKind kind, const std::string& path) {
    auto device = std::make_unique<ff::FileByteSource>();
    if (!device->open(path)) {
        MediumFound found;
        found.why = "cannot open " + path + ": " + std::generic_category().message(errno);
        return found;
    }
    return find_medium(kind, std::move(device));
}

}  // namespace fleet::format
