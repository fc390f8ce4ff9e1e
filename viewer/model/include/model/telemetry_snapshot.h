// The newest telemetry the engine reported for a presented frame, as the dashboard reads it. The
// engine's frame callback only copies into the feed (it runs under the engine's audio lock); the
// dashboard's display cycle copies the snapshot out on the GUI thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace velmora {

inline constexpr size_t kVehicleIdBytes = 16;
inline constexpr size_t kPositionBytes = 21;  // 10 latitude then 11 longitude characters
inline constexpr size_t kFlagBytes = 12;
inline constexpr size_t kMaxTyreRecords = 36;
inline constexpr size_t kTyreRecordBytes = 16;
inline constexpr size_t kTyreSummaryCount = 6;
inline constexpr int32_t kNoGValue = 255;
inline constexpr int32_t kNoTemperatureValue = 255;
inline constexpr int32_t kLowestTemperature = -127;
inline constexpr int32_t kHighestTemperature = 128;

using TyreRecordBytes = std::array<uint8_t, kTyreRecordBytes>;

// Default-constructed: every value absent.
struct TelemetrySnapshot {
    uint32_t time = 0;                               // UTC seconds; 0 absent
    std::array<char, kVehicleIdBytes> vehicle_id{};  // first byte 0: absent
    std::array<char, kPositionBytes> position{};
    std::array<int32_t, 3> g{kNoGValue, kNoGValue, kNoGValue};
    float speed = -1.0f;                        // km/h; negative absent
    int32_t temperature = kNoTemperatureValue;  // Celsius
    std::array<uint8_t, kFlagBytes> flags{};
    int32_t tyre_count = 0;
    std::array<TyreRecordBytes, kMaxTyreRecords> tyres{};
    std::array<int32_t, kTyreSummaryCount> tyre_summary{};
    bool operator==(const TelemetrySnapshot&) const = default;
};

bool temperature_present(int32_t celsius);

// One frame's report in FrameInfoProc's argument order. A value the frame does not carry keeps
// the snapshot's last one, so a GOP without (say) a position does not blank the dashboard.
void apply_frame(TelemetrySnapshot& snapshot, uint32_t gop_time, const char* vehicle_id,
                 const void* position, const int32_t* gsensor, float speed, int32_t temperature,
                 const uint8_t* flags, int32_t tyres_per_group, const void* tyres,
                 const std::array<int32_t, kTyreSummaryCount>& summary);

// The snapshot shared between the engine's callback thread and the GUI thread.
class TelemetryFeed {
  public:
    // FrameInfoProc's arguments as they come; only copies, so the engine's lock is held briefly.
    void record(uint32_t gop_time, const char* vehicle_id, const void* position,
                const int32_t* gsensor, float speed, int32_t temperature, const uint8_t* flags,
                int32_t tyres_per_group, const void* tyres, int32_t summary1, int32_t summary2,
                int32_t summary3, int32_t summary4, int32_t summary5, int32_t summary6);
    TelemetrySnapshot snapshot() const;
    void forget();  // every value absent again
    // Frames recorded so far, so a caller can wait for the frame a step presents.
    uint64_t frames() const;

  private:
    mutable std::mutex mutex_;
    TelemetrySnapshot snapshot_;
    uint64_t frames_ = 0;
};

}  // namespace velmora
