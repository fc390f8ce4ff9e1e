// What the simulated recorder makes every second, wherever it is stored: the GOP bytes (real
// H.264 per channel, audio, info block), the truth lines of its frames and the vehicle's state.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/result.h"
#include "dvrsim/damage_plan.h"
#include "dvrsim/recorder.h"
#include "dvrsim/tyre_model.h"
#include "dvrsim/vehicle_model.h"
#include "format/gop_builder.h"

namespace dvrsim {

struct ProducedGop {
    int64_t index = 0;  // seconds since the recording began
    uint32_t time = 0;
    std::vector<uint8_t> bytes;  // as built, unpadded; the header's back-link already set
    // One line per frame, with `index` as the GOP number; none for a GOP made unreadable.
    std::vector<std::string> truth_lines;
    VehicleSample first_sample;  // the vehicle at the GOP's first frame
    TyreFrame first_tyres;
};

// The tyres the recorder reads at one frame: every unit of the options' tyre layout, or the
// plain six-tyre monitor without one.
TyreFrame recorded_tyre_frame(const RecordOptions& o, int64_t gop, int frame, int speed_tenths);

class GopProducer {
  public:
    explicit GopProducer(const RecordOptions& options);
    ~GopProducer();
    GopProducer(const GopProducer&) = delete;
    GopProducer& operator=(const GopProducer&) = delete;

    fleet::Status open();  // the encoders
    // The GOP of second `index` (time = start + index). GOPs follow each other: each header
    // links back to the length of the one made before it.
    fleet::Result<ProducedGop> next(int64_t index);
    // The next GOP links back to nothing, as after a gap in the stored data.
    void forget_previous() { previous_length_ = 0; }

  private:
    struct Encoders;

    fleet::Result<std::vector<fleet::format::FrameRecord>> encode_frames(int64_t index,
                                                                         uint32_t time);
    std::vector<uint8_t> info_block(const std::vector<VehicleSample>& samples,
                                    const std::vector<TyreFrame>& tyres) const;

    const RecordOptions& o_;
    DamagePlan damage_;
    VehicleModel model_;
    std::string vehicle_id_;
    std::unique_ptr<Encoders> encoders_;
    uint32_t previous_length_ = 0;
};

// Where produced GOPs go: a file pair, or a disk or card ring.
class GopSink {
  public:
    virtual ~GopSink() = default;
    virtual fleet::Status store(const ProducedGop& gop) = 0;
};

// Makes seconds 0..count-1 and stores each; with `progress`, counts them on standard error.
fleet::Status produce_into(GopProducer& producer, int64_t count, GopSink& sink, bool progress);

}  // namespace dvrsim
