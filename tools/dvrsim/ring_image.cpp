#include "dvrsim/ring_image.h"

#include <cstdio>

#include "dvrsim/gop_producer.h"
#include "dvrsim/image_session.h"
#include "dvrsim/sparse_image.h"

namespace dvrsim {
namespace {

fleet::Result<ImageSummary> make_full_image(const ImageOptions& o) {
    auto plan = plan_image(o);
    if (!plan) return plan.error();
    ImageSession session;
    if (auto begun = session.begin(o, *plan); !begun) return begun.error();

    TruthSpool spool;
    if (auto opened = spool.open(o.record.base + ".truth.spool"); !opened) return opened.error();
    RingSink sink(session.image, session.plan, *session.index, spool);
    GopProducer producer(o.record);
    if (auto opened = producer.open(); !opened) return opened.error();
    if (auto made = produce_into(producer, o.record.seconds, sink, o.progress); !made) {
        return made.error();
    }

    const RingEnd end = ring_end_of(sink.gops());
    auto headers = session.finish(o, sink.gops(), end);
    if (!headers) return headers.error();
    const size_t first = session.index->time_units()[headers->oldest_time].gop;
    std::vector<SpooledLines> played;
    for (size_t i = first; i < sink.gops().size(); ++i) played.push_back(sink.gops()[i].truth);
    if (auto written = spool.write_renumbered(o.record.base + ".truth.jsonl", played); !written) {
        return written.error();
    }
    session.keep();
    return ImageSummary{session.plan.device_size, std::ssize(sink.gops()), std::ssize(played),
                        end.laps};
}

}  // namespace

fleet::Result<DevicePlan> plan_image(const ImageOptions& o) {
    const IndexSchedule schedule = schedule_of(o);
    // A sparse image holds one GOP per unit at most; the others one every second.
    const int64_t count = o.sparse_units != 0 ? o.sparse_units : o.record.seconds;
    const int64_t step = o.sparse_units != 0 ? o.unit_every : 1;
    return plan_device(
        o, schedule, {time_unit_count(schedule, count, step), event_count(schedule, count, step)});
}

fleet::Result<ImageSummary> make_image(const ImageOptions& options) {
    if (auto checked = check_image_options(options); !checked) return checked.error();
    auto made = options.sparse_units != 0 ? make_sparse_image(options) : make_full_image(options);
    if (made && options.progress) {
        std::fprintf(stderr, "dvrsim: %lld laps of the ring\n", static_cast<long long>(made->laps));
    }
    return made;
}

}  // namespace dvrsim
