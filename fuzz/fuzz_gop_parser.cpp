// Arbitrary bytes as one GOP, parsed with a decoder and without one. Beyond the sanitizers,
// every count, offset and length the FrameSet reports is checked against its arrays.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "format/frame_set.h"
#include "format/gop_parser.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

// Picture size comes from the access unit's first two bytes (times 16), so inputs can fill
// a channel buffer and run past it; the picture is written in full, as a decoder would.
class SizedDecoder final : public fleet::format::FrameDecoder {
  public:
    bool decode(int channel, const uint8_t* data, size_t length, uint8_t* dest, size_t capacity,
                fleet::format::DecodedPicture& out) override {
        check(channel >= 0 && channel < KIVRA_MAX_CHANNELS);
        check(capacity > 0 && capacity <= KIVRA_PICTURE_CAPACITY);
        if (length < 2) return false;
        size_t size = (size_t{data[0]} | size_t{data[1]} << 8) * 16;
        if (size == 0 || size > capacity) return false;
        std::memset(dest, data[0] ^ channel, size);
        out.size = static_cast<int32_t>(size);
        out.width = 16;
        out.height = 8;
        return true;
    }
};

void check_frame_set(const FrameSet& s) {
    int n = s.frames_per_channel;
    check(n >= 0 && n <= KIVRA_MAX_FRAMES);
    check(s.state == KIVRA_FRAMESET_READY);
    for (int c = 0; c < KIVRA_MAX_CHANNELS; ++c) {
        check(s.present[c] <= 1);
        check(s.key_frame_index[c] >= 0 && s.key_frame_index[c] < KIVRA_MAX_FRAMES);
        for (int k = 0; k < KIVRA_MAX_FRAMES; ++k) {
            int64_t offset = s.picture_offset[c][k], size = s.picture_size[c][k];
            check(offset >= 0 && size >= 0 && offset + size <= KIVRA_PICTURE_CAPACITY);
        }
    }
    if (s.has_audio) {
        check(n > 0);
        int64_t end = 0;
        for (int i = 0; i < n; ++i) {
            check(s.audio_chunk_offset[i] == end && s.audio_chunk_length[i] >= 0);
            end += s.audio_chunk_length[i];
        }
        check(end <= KIVRA_AUDIO_CAPACITY);
    }
    for (int count : {s.position_count, s.gsensor_count, s.speed_count, s.temperature_count,
                      s.flag_count, s.tyre_group_count}) {
        check(count >= 0 && count <= n);
    }
    check(s.tyres_per_group >= 0 && s.tyres_per_group <= KIVRA_MAX_TYRES);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fleet::format::FrameSetStorage storage;
    static SizedDecoder decoder;
    FrameSet& set = storage.get();

    int with_decoder = fleet::format::parse_gop(data, size, &decoder, set);
    int frames = set.frames_per_channel, has_audio = set.has_audio;
    if (with_decoder == fleet::format::kParseOk) check_frame_set(set);

    int without = fleet::format::parse_gop(data, size, nullptr, set);
    check(without == with_decoder);
    if (without == fleet::format::kParseOk) {
        check_frame_set(set);
        check(set.frames_per_channel == frames && set.has_audio == has_audio);
        for (int c = 0; c < KIVRA_MAX_CHANNELS; ++c) {
            for (int k = 0; k < KIVRA_MAX_FRAMES; ++k) check(set.picture_size[c][k] == 0);
        }
    }
    return 0;
}
