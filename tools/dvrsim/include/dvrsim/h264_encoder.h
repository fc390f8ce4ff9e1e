// H.264 for simulated recordings: one Annex-B access unit per picture, at once, and every GOP
// decodable on its own, because the recorder stores and plays back GOP by GOP.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/result.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace dvrsim {

struct EncoderSettings {
    int width = 0;   // even
    int height = 0;  // even
    int frames_per_gop = 0;
    int fps = 0;
};

class H264Encoder {
  public:
    H264Encoder() = default;
    H264Encoder(const H264Encoder&) = delete;
    H264Encoder& operator=(const H264Encoder&) = delete;
    ~H264Encoder();

    // Fails with a reason, e.g. when libx264 is missing.
    fleet::Status open(const EncoderSettings& settings);

    // Encodes one YUV420P picture (planes contiguous: Y w*h, U w/2*h/2, V w/2*h/2, no padding).
    // force_key: this picture starts a GOP and must be an IDR with SPS/PPS in front; the first
    // picture after open() must be one.
    // Returns the Annex-B access unit for this very picture.
    fleet::Result<std::vector<uint8_t>> encode(const uint8_t* yuv420p, bool force_key);

  private:
    void close();
    fleet::Status load_picture(const uint8_t* yuv420p);

    AVCodecContext* context_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    int64_t next_pts_ = 0;
};

}  // namespace dvrsim
