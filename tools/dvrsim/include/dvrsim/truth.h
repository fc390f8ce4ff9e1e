// The ground-truth sidecar: what a correct reader reports for each frame, written from the
// simulator's own values rather than from the encoded bytes.
#pragma once

#include <cstdint>
#include <string>

#include "dvrsim/tyre_model.h"
#include "dvrsim/vehicle_model.h"

namespace dvrsim {

struct TruthContext {
    int64_t gop = 0;
    uint32_t time = 0;
    int stream_version = 3;
    int channels = 4;
    std::string vehicle_id;
    bool gps_fix = true;                 // the GOP carries positions
    const TyreFrame* summary = nullptr;  // the frame whose summary the GOP carries
};

// One JSON line in the schema of `dvrtool telemetry --json`.
std::string truth_line(const TruthContext& gop, int frame, const VehicleSample& sample,
                       const TyreFrame& tyres);

}  // namespace dvrsim
