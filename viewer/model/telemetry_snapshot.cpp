#include "model/telemetry_snapshot.h"

#include <algorithm>
#include <cstring>

namespace velmora {

bool temperature_present(int32_t celsius) {
    return celsius >= kLowestTemperature && celsius <= kHighestTemperature;
}

namespace {

void copy_tyres(TelemetrySnapshot& snapshot, int32_t count, const void* tyres,
                const std::array<int32_t, kTyreSummaryCount>& summary) {
    snapshot.tyre_count = count;
    snapshot.tyre_summary = summary;
    if (tyres == nullptr) return;
    const size_t records = std::min(static_cast<size_t>(count), kMaxTyreRecords);
    std::memcpy(snapshot.tyres.data(), tyres, records * kTyreRecordBytes);
}

}  // namespace

void apply_frame(TelemetrySnapshot& snapshot, uint32_t gop_time, const char* vehicle_id,
                 const void* position, const int32_t* gsensor, float speed, int32_t temperature,
                 const uint8_t* flags, int32_t tyres_per_group, const void* tyres,
                 const std::array<int32_t, kTyreSummaryCount>& summary) {
    snapshot.time = gop_time;
    if (vehicle_id != nullptr) std::memcpy(snapshot.vehicle_id.data(), vehicle_id, kVehicleIdBytes);
    if (position != nullptr) std::memcpy(snapshot.position.data(), position, kPositionBytes);
    if (gsensor != nullptr) std::copy_n(gsensor, snapshot.g.size(), snapshot.g.begin());
    if (speed >= 0.0f) snapshot.speed = speed;
    if (temperature_present(temperature)) snapshot.temperature = temperature;
    if (flags != nullptr) std::memcpy(snapshot.flags.data(), flags, kFlagBytes);
    if (tyres_per_group > 0) copy_tyres(snapshot, tyres_per_group, tyres, summary);
}

void TelemetryFeed::record(uint32_t gop_time, const char* vehicle_id, const void* position,
                           const int32_t* gsensor, float speed, int32_t temperature,
                           const uint8_t* flags, int32_t tyres_per_group, const void* tyres,
                           int32_t summary1, int32_t summary2, int32_t summary3, int32_t summary4,
                           int32_t summary5, int32_t summary6) {
    const std::array<int32_t, kTyreSummaryCount> summary{summary1, summary2, summary3,
                                                         summary4, summary5, summary6};
    std::lock_guard lock(mutex_);
    apply_frame(snapshot_, gop_time, vehicle_id, position, gsensor, speed, temperature, flags,
                tyres_per_group, tyres, summary);
    ++frames_;
}

uint64_t TelemetryFeed::frames() const {
    std::lock_guard lock(mutex_);
    return frames_;
}

TelemetrySnapshot TelemetryFeed::snapshot() const {
    std::lock_guard lock(mutex_);
    return snapshot_;
}

void TelemetryFeed::forget() {
    std::lock_guard lock(mutex_);
    snapshot_ = TelemetrySnapshot{};
}

}  // namespace velmora
