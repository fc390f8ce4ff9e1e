#include "dvrsim/image_session.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace dvrsim {

IndexSchedule schedule_of(const ImageOptions& o) {
    return {o.unit_every, o.first_unit, o.event_every};
}

ImageSession::~ImageSession() {
    if (created_.empty()) return;
    for (const char* suffix : {"", ".truth.json", ".truth.jsonl"}) {
        std::remove((created_ + suffix).c_str());
    }
}

fleet::Status ImageSession::begin(const ImageOptions& options, const DevicePlan& device) {
    plan = device;
    auto created = image.create(options.record.base, plan.device_size);
    if (image.fd() >= 0) created_ = options.record.base;
    if (!created) return created;
    auto written = write_device_tables(image, plan, options.decoy);
    if (!written) return written.error();
    areas = *written;
    const QuickStyle quick{options.record.seed, options.quick_tyre_count};
    index = std::make_unique<IndexWriter>(image, areas, schedule_of(options), quick,
                                          options.sparse_units == 0);
    return {};
}

fleet::Result<IndexHeaders> ImageSession::finish(const ImageOptions& options,
                                                 const std::vector<PlacedGop>& gops,
                                                 const RingEnd& end) {
    auto settled = settle_headers(
        index->time_units(), index->event_units(),
        [&](size_t gop) { return is_valid(gops[gop], end); }, options.stale_header, end.laps > 0);
    if (!settled) return settled.error();
    if (auto written = index->write_headers(*settled); !written) return written.error();
    if (auto closed = image.close(); !closed) return closed.error();

    const ImageRecord record{options, plan, areas, gops, end, *index, *settled};
    const std::string path = options.record.base + ".truth.json";
    std::ofstream out(path, std::ios::trunc);
    if (!out) return fleet::fail("cannot create " + path + ": " + std::strerror(errno));
    out << image_truth(record).dump(1) << '\n';
    out.close();
    if (!out) return fleet::fail("cannot write " + path);
    return settled;
}

}  // namespace dvrsim
