// Turns one GOP into a FrameSet: pictures through a caller-supplied decoder, audio cut into
// one chunk per video frame, and per-frame telemetry.
//
// Limits (a GOP may announce more than a FrameSet holds; nothing is written past its arrays):
//  - frame records of channels 8-15 are walked but dropped;
//  - frames beyond the 16th of a channel are dropped, and such a GOP plays without audio
//    (its chunks could no longer follow the pictures);
//  - a picture that would overflow its channel's 8 MiB buffer is kept with size 0;
//  - audio that would keep more than 1 MiB is dropped for that GOP;
//  - tyre words beyond 36 per group are skipped.
// A frame record whose data runs past the GOP rejects the GOP.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kivra/kivra.h"

namespace fleet::format {

struct DecodedPicture {
    int32_t size = 0;  // bytes written to the destination
    int32_t width = 0;
    int32_t height = 0;
};

// Decodes one H.264 access unit of a channel into YV12 with the top 8 rows cropped.
class FrameDecoder {
  public:
    virtual ~FrameDecoder() = default;
    // Writes at most `capacity` bytes to `dest`. Returns false when nothing usable was
    // decoded or the picture does not fit.
    virtual bool decode(int channel, const uint8_t* data, size_t length, uint8_t* dest,
                        size_t capacity, DecodedPicture& out) = 0;
};

// A GOP that announces no frame count plays as this many frames (of silence: its audio was
// not cut into chunks).
inline constexpr int kFramesWhenNoneAnnounced = 8;

inline constexpr int kParseOk = 0;
inline constexpr int kParseRejected = -1;

// `decoder` may be null: every picture size is then 0. Returns kParseOk with `out` ready,
// or kParseRejected (bad magic, buffer shorter than the GOP, version above 3, frame data
// running past the GOP).
int parse_gop(const uint8_t* data, size_t length, FrameDecoder* decoder, FrameSet& out);

}  // namespace fleet::format
