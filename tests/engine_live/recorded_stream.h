// A dvrsim recording as a recorder would send it live: its GOPs in order, what each frame
// carries, and what the engine must show for each frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace live_test {

using Bytes = std::vector<uint8_t>;

struct RecordedStream {
    int channels = 0;
    int audio_rate = 0, audio_bits = 0;
    std::vector<Bytes> gops;                    // as stored: padded to 512 bytes
    std::vector<nlohmann::ordered_json> truth;  // one per frame, in play order
};

// The recording BASE.dvr/.inx made with `audio_rate` and `audio_bits`, read GOP by GOP.
RecordedStream recorded_stream(const std::string& base, int audio_rate, int audio_bits);

// The truth of a frame as FrameInfoProc reports it: without gop, frame and channels.
nlohmann::ordered_json reported_part(nlohmann::ordered_json truth);

// The canvas hash of every frame of `gops` played one after another in a width x height video
// area: FFmpeg's own pictures of each channel (one decoder per channel for the whole run),
// composed as the engine's grid for that channel count with each channel's label.
std::vector<uint64_t> expected_canvases(const std::vector<Bytes>& gops, int channels, int width,
                                        int height);

}  // namespace live_test
