// H.264 decoding for the GOP parser: one decoder per channel, pictures out as YV12 with the
// recorder's top 8 rows removed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "decode/channel_sizes.h"
#include "format/gop_parser.h"
#include "kivra/kivra.h"

namespace kivra {

inline constexpr int kCroppedRows = 8;

// One channel's decoder over FFmpeg's send/receive interface.
class H264Decoder {
  public:
    H264Decoder();
    ~H264Decoder();
    H264Decoder(const H264Decoder&) = delete;
    H264Decoder& operator=(const H264Decoder&) = delete;

    bool init();     // false when no H.264 decoder can be found or opened
    void release();  // back to the state before init()
    bool ready() const;

    // Decodes one access unit. On success dest holds Y (w x (h-8)), then V and U
    // ((w/2) x ((h-8)/2) each, halves rounded up), no row padding, and out carries size, w and
    // h-8. False when no picture came out, the picture is 8 rows high or less, or it does not
    // fit `capacity`; nothing is written then.
    bool decode(const uint8_t* data, size_t length, uint8_t* dest, size_t capacity,
                fleet::format::DecodedPicture& out);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// Eight decoders (channel c uses decoder c) behind one lock; usable by one parse at a time.
class DecoderBank final : public fleet::format::FrameDecoder {
  public:
    DecoderBank();  // initialises all eight; ready() is false when any failed
    bool ready() const { return ready_; }

    // The GOP parser with this bank's decoders, under the bank lock; rejected when not ready.
    // `sizes`, if given, receives each channel's picture size (that of its last picture).
    int parse(const uint8_t* gop, size_t length, FrameSet& out, ChannelSizes* sizes = nullptr);

    bool decode(int channel, const uint8_t* data, size_t length, uint8_t* dest, size_t capacity,
                fleet::format::DecodedPicture& out) override;

  private:
    // A picture decoded before the parser asked for it, with the request it answers.
    struct Ahead {
        const uint8_t* data = nullptr;
        size_t length = 0;
        uint8_t* dest = nullptr;
        size_t capacity = 0;
        bool decoded = false;
        fleet::format::DecodedPicture picture;
    };
    void decode_ahead(const uint8_t* gop, size_t length, FrameSet& out);

    H264Decoder decoders_[KIVRA_MAX_CHANNELS];
    std::mutex lock_;
    bool ready_ = false;
    bool answering_ = false;  // parse_gop is running on pictures decode_ahead made
    Ahead ahead_[KIVRA_MAX_CHANNELS][KIVRA_MAX_FRAMES];
    int ahead_count_[KIVRA_MAX_CHANNELS] = {};
    int asked_[KIVRA_MAX_CHANNELS] = {};
    ChannelSizes sizes_{};  // of the parse running
};

}  // namespace kivra
