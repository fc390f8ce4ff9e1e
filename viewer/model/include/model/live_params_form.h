// The realtime parameter dialog's choices and the 56-byte LiveParams record they fill, without
// widgets: what the dialog shows for a recorder's previous parameters, which choices a shared
// recorder locks, and the record collected from the controls.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "kivra/kivra.h"

namespace velmora {

inline constexpr int kLiveChannels = 8;
inline constexpr int kAudioModes = 4;       // no audio, div1, div2, div4
inline constexpr int kResolutions = 2;      // QCIF, CIF
inline constexpr int kFrameRateItems = 16;  // "No video", then 2, 4 ... 30 frames per second
// A drop list without a selection.
inline constexpr int kNoSelection = -1;

// Field offsets of the record (little-endian).
namespace live_params {
inline constexpr std::size_t kAddress = 0;  // NUL-terminated text, 32 bytes with the NUL
inline constexpr std::size_t kAddressBytes = 32;
inline constexpr std::size_t kChannelCount = 32;
inline constexpr std::size_t kChannelMask = 36;
inline constexpr std::size_t kFrameRateClass = 40;
inline constexpr std::size_t kAudioMode = 44;
inline constexpr std::size_t kLog = 48;
inline constexpr std::size_t kFlowControl = 49;
inline constexpr std::size_t kBuffering = 50;
inline constexpr std::size_t kFilledMark = 51;
inline constexpr std::size_t kResolution = 52;
inline constexpr std::size_t kFrameRateIndex = 53;
}  // namespace live_params

// What the dialog's controls hold.
struct LiveParamsChoice {
    std::string address;  // the hidden address edit
    int channel_count = 0;
    std::array<bool, kLiveChannels> channels{};
    bool buffering = false;
    bool log = false;
    bool flow_control = false;
    int audio_mode = kNoSelection;  // the checked radio, 0..3
    int resolution = kNoSelection;  // drop list selection
    int frame_rate = kNoSelection;  // drop list selection
    bool operator==(const LiveParamsChoice&) const = default;
};

// The controls as the dialog opens for a recorder: channels, log, flow control, audio radio,
// resolution and frame rate from its previous record; buffering always off. A previous value a
// control cannot show leaves that control without a selection.
LiveParamsChoice initial_live_choice(const LiveParams& previous, const std::string& address,
                                     int channel_count);

// A recorder that already serves another viewer (capability byte non-zero, a link open) keeps
// its stream format: the channel boxes, log, flow control, both drop lists and the checked
// audio radio are locked.
bool live_choices_locked(uint8_t capability, int open_links);

// The record both Ok and Cancel collect: cleared, then filled from the controls (frame-rate
// index 15 and class 2 without a frame-rate selection; address cut to 31 bytes).
LiveParams collect_live_params(const LiveParamsChoice& choice);

// Parameters for a recorder never played before: its channels, CIF, 30 frames per second,
// audio at full rate.
LiveParams default_live_params(const std::string& address, int channel_count);

// Reading a record back.
std::string live_params_address(const LiveParams& params);
int32_t live_params_int(const LiveParams& params, std::size_t offset);

// "No video", "2", "4" ... "30".
std::string frame_rate_item(int index);

}  // namespace velmora
