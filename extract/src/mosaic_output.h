// The all-channel file itself: pictures encoded to H.264 with libx264 and mono PCM, in AVI.
//
// H.264 rather than MPEG-4 Part 2: every current player, browser and the tools courts and
// insurers review evidence with play H.264, while MPEG-4 Part 2 support is fading; the
// per-channel files are H.264 too, so one decoder plays every file of an export.
#pragma once

#include <cstdint>
#include <string>

extern "C" {
struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
}

namespace ombrel {

struct MosaicVideoFormat {
    int width = 0;  // even
    int height = 0;
    int frames_per_second = 0;
};

// No audio stream when the rate is not positive or the sample size is not 8, 16 or 32 bits.
struct MosaicAudioFormat {
    int sample_rate = 0;
    int sample_bits = 0;
    bool usable() const {
        return sample_rate > 0 && (sample_bits == 8 || sample_bits == 16 || sample_bits == 32);
    }
    int bytes_per_sample() const { return sample_bits / 8; }
};

class MosaicOutput {
  public:
    MosaicOutput() = default;
    ~MosaicOutput();
    MosaicOutput(const MosaicOutput&) = delete;
    MosaicOutput& operator=(const MosaicOutput&) = delete;

    // Opens the encoder and writes the file header into `path`, a file that already exists
    // (made exclusively by the caller) and is overwritten from its start.
    bool open(const std::string& path, const MosaicVideoFormat& video,
              const MosaicAudioFormat& audio);
    bool has_audio() const { return audio_ != nullptr; }
    // One picture at the next frame time; the frame's data is only read.
    bool write_picture(AVFrame* picture);
    // Samples that follow the ones written before, in the audio format given to open().
    bool write_audio(const uint8_t* bytes, size_t length);
    // Drains the encoder, writes the trailer and the index, closes the file.
    bool finish();
    // Closes without completing the file.
    void close();
    const std::string& error() const { return error_; }

  private:
    bool open_encoder(const MosaicVideoFormat& video);
    bool add_audio_stream(const MosaicAudioFormat& audio);
    bool drain_encoder();
    bool fail(const std::string& what, int av_error);

    AVFormatContext* muxer_ = nullptr;
    AVCodecContext* encoder_ = nullptr;
    AVStream* video_ = nullptr;
    AVStream* audio_ = nullptr;
    AVPacket* packet_ = nullptr;
    int audio_block_ = 0;
    int64_t pictures_ = 0;
    int64_t samples_ = 0;
    std::string error_;
};

}  // namespace ombrel
