#include "format/gop_header.h"

#include "common/le.h"

namespace fleet::format {

int GopHeader::channel_count() const {
    switch (version()) {
        case 0:
        case 1:
            return 4;
        case 2:
            return 8;
        default:
            break;
    }
    switch (channel_code()) {
        case 1:
            return 1;
        case 2:
            return 4;
        case 3:
            return 8;
        case 4:
            return 16;
        default:
            return 0;
    }
}

int GopHeader::default_frames_per_channel() const {
    switch (version()) {
        case 0:
        case 1:
            return 16;
        case 2:
            return 15;
        default:
            return static_cast<int>((word[7] >> 3) & 0xF);
    }
}

int GopHeader::announced_frames_per_channel() const {
    uint32_t n = frames_field();
    return static_cast<int>(version() == 3 ? n / 2 : n);
}

int GopHeader::audio_sample_bits() const {
    switch (audio_size_code()) {
        case 1:
            return 8;
        case 2:
            return 32;
        default:
            return 16;
    }
}

int GopHeader::audio_sample_rate() const {
    switch (audio_rate_code()) {
        case 1:
            return 8000;
        case 2:
            return 16000;
        case 4:
            return 32000;
        case 5:
            return 44100;
        case 6:
            return 4000;
        case 7:
            return 11025;
        default:
            return 22050;
    }
}

int GopHeader::audio_channels() const {
    switch (audio_channels_code()) {
        case 2:
            return 2;
        case 3:
            return 4;
        case 4:
            return 8;
        case 5:
            return 16;
        default:
            return 1;
    }
}

GopHeader GopHeader::read(const uint8_t* p) {
    GopHeader h;
    for (int i = 0; i < 10; ++i) h.word[i] = fleet::load_u32(p + 4 * i);
    return h;
}

void GopHeader::write(uint8_t* p) const {
    for (int i = 0; i < 10; ++i) fleet::store_u32(p + 4 * i, word[i]);
}

std::optional<GopHeader> read_gop_header(const uint8_t* data, size_t length) {
    if (data == nullptr || length < kGopHeaderSize) return std::nullopt;
    GopHeader h = GopHeader::read(data);
    if (h.magic() != kGopMagic) return std::nullopt;
    return h;
}

bool is_gop_start(const uint8_t* block, size_t length) {
    auto h = read_gop_header(block, length);
    return h && h->total_length() != 0;
}

uint32_t audio_rate_code_for(int hz) {
    switch (hz) {
        case 8000:
            return 1;
        case 16000:
            return 2;
        case 32000:
            return 4;
        case 44100:
            return 5;
        case 4000:
            return 6;
        case 11025:
            return 7;
        default:
            return 0;
    }
}

uint32_t audio_size_code_for(int bits) {
    return bits == 8 ? 1 : bits == 32 ? 2 : 0;
}

uint32_t audio_channels_code_for(int count) {
    switch (count) {
        case 2:
            return 2;
        case 4:
            return 3;
        case 8:
            return 4;
        case 16:
            return 5;
        default:
            return 0;
    }
}

uint32_t channel_code_for(int channels) {
    switch (channels) {
        case 1:
            return 1;
        case 4:
            return 2;
        case 8:
            return 3;
        case 16:
            return 4;
        default:
            return 0;
    }
}

}  // namespace fleet::format
