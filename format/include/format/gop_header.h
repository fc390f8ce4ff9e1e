// The 40-byte header that starts a GOP and every frame record inside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace fleet::format {

inline constexpr uint32_t kGopMagic = 0x1FF;
inline constexpr size_t kGopHeaderSize = 40;
inline constexpr int64_t kBlockSize = 512;
inline constexpr uint32_t kMaxStreamVersion = 3;

// Raw words with the bit fields named; which fields count depends on whether the header
// starts the GOP or a later frame record.
struct GopHeader {
    uint32_t word[10] = {};

    uint32_t magic() const { return word[0]; }
    uint32_t version() const { return word[1] & 0xFFFFFF; }
    int channel() const { return static_cast<int>(word[2] & 0xF); }
    uint32_t channel_code() const { return (word[2] >> 4) & 0xF; }
    uint32_t time() const { return word[3]; }
    uint32_t previous_length() const { return word[4] & 0xFFFFF; }
    void set_previous_length(uint32_t n) { word[4] = (word[4] & ~0xFFFFFu) | (n & 0xFFFFF); }
    uint32_t data_length() const { return word[5] & 0xFFFFF; }
    uint32_t audio_size_code() const { return (word[5] >> 22) & 0x3; }
    uint32_t audio_rate_code() const { return (word[5] >> 25) & 0x7; }
    uint32_t audio_channels_code() const { return (word[5] >> 28) & 0x7; }
    uint32_t info_length_field() const { return word[6] >> 16; }
    uint32_t frame_kind() const { return word[7] & 0x3; }
    uint32_t frames_field() const { return (word[7] >> 2) & 0x1F; }
    uint32_t total_length() const { return word[8]; }
    uint32_t audio_length() const { return word[9]; }

    // GOP-wide values derived from the fields.
    int channel_count() const;
    int default_frames_per_channel() const;
    int announced_frames_per_channel() const;  // word 7 bits 2-6, halved for version 3
    uint32_t info_length() const { return version() == 0 ? 0 : info_length_field(); }
    int audio_sample_bits() const;
    int audio_sample_rate() const;
    int audio_channels() const;
    bool is_key_frame() const { return frame_kind() == 1; }

    static GopHeader read(const uint8_t* p);  // p holds at least kGopHeaderSize bytes
    void write(uint8_t* p) const;
};

// Decodes the header at the start of a buffer; empty when it is too short or has no magic.
std::optional<GopHeader> read_gop_header(const uint8_t* data, size_t length);

// A 512-byte block starts a GOP when it has the magic and a non-zero total length.
bool is_gop_start(const uint8_t* block, size_t length);

inline int64_t round_up_block(int64_t n) {
    return (n + kBlockSize - 1) / kBlockSize * kBlockSize;
}

// Header field codes, for writers.
uint32_t audio_rate_code_for(int hz);         // returns 0 (22050) for unsupported rates
uint32_t audio_size_code_for(int bits);       // 8 -> 1, 32 -> 2, else 0 (16)
uint32_t audio_channels_code_for(int count);  // 2 -> 2, 4 -> 3, 8 -> 4, 16 -> 5, else 0
uint32_t channel_code_for(int channels);      // 1 -> 1, 4 -> 2, 8 -> 3, 16 -> 4, else 0

}  // namespace fleet::format
