// The telemetry block at the end of a GOP (stream versions 1-3).
#pragma once

#include <cstddef>
#include <cstdint>

#include "kivra/kivra.h"

namespace fleet::format {

inline constexpr uint32_t kInfoMagic = 0x5A000000;
inline constexpr uint32_t kInfoMagicMask = 0xFFFFFF80;

enum InfoSection : uint32_t {
    kSectionStatus = 0x01,
    kSectionSpeed = 0x02,
    kSectionPosition = 0x04,
    kSectionGSensor = 0x08,
    kSectionTyres = 0x10,
};

inline constexpr size_t kStatusRecordSize = 18;
inline constexpr size_t kSpeedRecordSize = 2;
inline constexpr size_t kPositionRecordSize = 34;
inline constexpr size_t kGSensorRecordSize = 3;

struct InfoContext {
    uint32_t version = 0;
    bool eight_channel_v3 = false;  // input flags 4-7 are carried only then
    int frames_per_channel = 0;     // records with index >= this are consumed, not kept
};

// Fills the telemetry fields of `out` (counts, identifier, tyres). Reads nothing past
// `length`: a section that runs past the block keeps its complete records and ends parsing.
void parse_info_block(const uint8_t* data, size_t length, const InfoContext& context,
                      FrameSet& out);

// Value conversions shared with writers and tests.
float speed_from_word(uint16_t v);
TyreRecord tyre_from_word(uint32_t word, uint32_t version);
int tyre_state_v3(uint8_t status_bits);

}  // namespace fleet::format
