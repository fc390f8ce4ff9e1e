#include "dvrsim/sparse_image.h"

#include <cstdio>
#include <fstream>
#include <string>

#include "dvrsim/gop_producer.h"
#include "dvrsim/image_session.h"
#include "format/gop_header.h"

namespace dvrsim {
namespace {

// Unit j (0 = oldest) sits in slot (newest_slots + j) mod N: the oldest units fill the ring
// from a third of the way in to its end, the newest from its start up to there.
struct SparseRing {
    int64_t units = 0;
    int64_t slot_bytes = 0;
    int64_t newest_slots = 0;  // slots 0..newest_slots-1 hold the newest lap

    int64_t slot_of(int64_t j) const { return (newest_slots + j) % units; }
    int64_t lap_of(int64_t j) const { return slot_of(j) >= newest_slots ? 0 : 1; }
    bool written(int64_t j) const {
        const int64_t seam = units - newest_slots;  // the first unit of the newest lap
        return j < kSparseWrittenUnits || j >= units - kSparseWrittenUnits ||
               (j >= seam - kSparseSeamUnits && j < seam + kSparseSeamUnits);
    }
};

class SparseRecording {
  public:
    SparseRecording(const ImageOptions& o, ImageSession& session, const SparseRing& ring)
        : o_(o),
          session_(session),
          ring_(ring),
          producer_(o.record),
          coarse_(o.record.seed, 1, o.record.origin) {}

    fleet::Status run();
    const std::vector<PlacedGop>& gops() const { return gops_; }
    int64_t written() const { return written_; }

  private:
    fleet::Status add_unit(int64_t j);

    const ImageOptions& o_;
    ImageSession& session_;
    const SparseRing& ring_;
    GopProducer producer_;
    // The vehicle at the units without GOPs, one step per unit, from the recording's origin.
    VehicleModel coarse_;
    std::vector<PlacedGop> gops_;
    int64_t written_ = 0;
};

fleet::Status SparseRecording::add_unit(int64_t j) {
    const int64_t index = j * o_.unit_every;
    const int64_t physical = ring_.slot_of(j) * ring_.slot_bytes;
    PlacedGop placed{
        index, o_.record.start_time + static_cast<uint32_t>(index), physical, 0, 0, ring_.lap_of(j),
        {}};
    VehicleSample sample = coarse_.step();
    TyreFrame tyres = recorded_tyre_frame(o_.record, index, 0, sample.speed_tenths);
    if (ring_.written(j)) {
        producer_.forget_previous();  // the GOP before it is not the one stored before it
        auto gop = producer_.next(index);
        if (!gop) return gop.error();
        placed.length = std::ssize(gop->bytes);
        placed.stored = fleet::format::round_up_block(placed.length);
        if (placed.stored > ring_.slot_bytes) {
            return fleet::fail("the ring is too small for " + std::to_string(ring_.units) +
                               " units: each has " + std::to_string(ring_.slot_bytes) +
                               " bytes, a GOP needs " + std::to_string(placed.stored));
        }
        const int64_t at = session_.plan.physical_origin + physical;
        if (auto stored = write_gop_at(session_.image, at, gop->bytes); !stored) return stored;
        sample = gop->first_sample;
        tyres = gop->first_tyres;
        ++written_;
    }
    gops_.push_back(placed);
    return session_.index->add({index, placed.time, physical, gops_.size() - 1, &sample, &tyres});
}

fleet::Status SparseRecording::run() {
    if (auto opened = producer_.open(); !opened) return opened;
    for (int64_t j = 0; j < ring_.units; ++j) {
        if (auto added = add_unit(j); !added) return added;
        if (o_.progress && (j + 1) % 10000 == 0) {
            std::fprintf(stderr, "\rdvrsim: %lld/%lld units", static_cast<long long>(j + 1),
                         static_cast<long long>(ring_.units));
        }
    }
    if (o_.progress) std::fprintf(stderr, "\r");
    return {};
}

}  // namespace

fleet::Result<ImageSummary> make_sparse_image(const ImageOptions& o) {
    const int64_t n = o.sparse_units;
    const int64_t last_time = int64_t{o.record.start_time} + (n - 1) * o.unit_every;
    if (last_time > UINT32_MAX) return fleet::fail("the units' times run past 2106");
    auto plan = plan_image(o);
    if (!plan) return plan.error();
    ImageSession session;
    if (auto begun = session.begin(o, *plan); !begun) return begun.error();

    const int64_t slot =
        session.plan.ring_end / n / fleet::format::kBlockSize * fleet::format::kBlockSize;
    const SparseRing ring{n, slot, n / 3};
    SparseRecording recording(o, session, ring);
    if (auto recorded = recording.run(); !recorded) return recorded.error();

    const RingEnd end = ring_end_of(recording.gops());
    if (auto headers = session.finish(o, recording.gops(), end); !headers) {
        return headers.error();
    }
    const std::string lines = o.record.base + ".truth.jsonl";
    std::ofstream empty(lines, std::ios::trunc);
    if (!empty) return fleet::fail("cannot create " + lines);
    session.keep();
    return ImageSummary{session.plan.device_size, recording.written(), 0, end.laps};
}

}  // namespace dvrsim
