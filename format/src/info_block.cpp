#include "format/info_block.h"

#include <algorithm>
#include <cstring>

#include "common/le.h"

namespace fleet::format {
namespace {

using fleet::ByteReader;

// Reads a section head and returns the record count, or -1 when the head is cut off.
int read_section_count(ByteReader& in) {
    in.skip(1);
    uint16_t count = in.u16();
    return in.ok() ? count : -1;
}

// Reads a section of `count` fixed-size records. Every record is consumed; keep(i, record)
// sees those with i < N, and `kept` counts them, also when the section is cut short.
// Returns false when the records run past the block.
template <typename Keep>
bool read_section(ByteReader& in, const InfoContext& ctx, size_t size, int32_t& kept, Keep keep) {
    int count = read_section_count(in);
    if (count < 0) return false;
    kept = 0;
    for (int i = 0; i < count; ++i) {
        const uint8_t* record = in.bytes(size);
        if (record == nullptr) return false;
        if (i >= ctx.frames_per_channel) continue;
        keep(i, record);
        kept = i + 1;
    }
    return true;
}

void keep_status(const InfoContext& ctx, int i, const uint8_t* r, FrameSet& out) {
    if (i == 0) {
        std::memset(out.vehicle_id, 0, sizeof out.vehicle_id);
        std::memcpy(out.vehicle_id, r, 14);
    }
    out.temperature[i] = static_cast<int8_t>(r[14]);
    uint8_t inputs = r[15], signals = r[16];
    for (int b = 0; b < 4; ++b) {
        out.flags[i][b] = (inputs >> b) & 1;
        out.flags[i][4 + b] =
            static_cast<uint8_t>(ctx.eight_channel_v3 ? (inputs >> (4 + b)) & 1 : 0);
        out.flags[i][8 + b] = (signals >> b) & 1;
    }
}

bool parse_status(ByteReader& in, const InfoContext& ctx, FrameSet& out) {
    bool complete = read_section(in, ctx, kStatusRecordSize, out.temperature_count,
                                 [&](int i, const uint8_t* r) { keep_status(ctx, i, r, out); });
    out.flag_count = out.temperature_count;
    return complete;
}

bool parse_speed(ByteReader& in, const InfoContext& ctx, FrameSet& out) {
    return read_section(in, ctx, kSpeedRecordSize, out.speed_count, [&](int i, const uint8_t* r) {
        out.speed[i] = speed_from_word(fleet::load_u16(r));
    });
}

bool parse_position(ByteReader& in, const InfoContext& ctx, FrameSet& out) {
    return read_section(
        in, ctx, kPositionRecordSize, out.position_count,
        [&](int i, const uint8_t* r) { std::memcpy(out.position[i], r + 5, KIVRA_POSITION_SIZE); });
}

bool parse_gsensor(ByteReader& in, const InfoContext& ctx, FrameSet& out) {
    return read_section(in, ctx, kGSensorRecordSize, out.gsensor_count,
                        [&](int i, const uint8_t* r) {
                            out.gsensor[i] = {static_cast<int8_t>(r[0]), static_cast<int8_t>(r[1]),
                                              static_cast<int8_t>(r[2])};
                        });
}

bool parse_tyres(ByteReader& in, const InfoContext& ctx, FrameSet& out) {
    uint32_t head = in.u32();
    if (!in.ok()) return false;
    int groups = static_cast<int>((head >> 8) & 0xFFFF);
    int words = static_cast<int>(head >> 24);
    int kept_words = std::min(words, KIVRA_MAX_TYRES);
    out.tyres_per_group = kept_words;
    for (int g = 0; g < groups; ++g) {
        for (int w = 0; w < words; ++w) {
            uint32_t word = in.u32();
            if (!in.ok()) return false;
            if (g < ctx.frames_per_channel && w < kept_words) {
                out.tyres[g][w] = tyre_from_word(word, ctx.version);
            }
        }
        // Counted per complete group, so a cut-off section keeps the groups before the cut.
        if (g < ctx.frames_per_channel) out.tyre_group_count = g + 1;
    }
    if (ctx.version == 3) {
        uint32_t f = in.u32();
        if (!in.ok()) return false;
        out.tyre_summary[0] = static_cast<int32_t>(f & 0xFF);
        out.tyre_summary[1] = static_cast<int32_t>((f >> 8) & 0xFF);
        out.tyre_summary[2] = static_cast<int32_t>((f >> 16) & 0xFF);
        for (int k = 0; k < 3; ++k) {
            bool set = (f >> (24 + k)) & 1;
            bool high = (f >> (27 + k)) & 1;
            out.tyre_summary[3 + k] = set ? (high ? 2 : 1) : 0;
        }
    }
    return true;
}

}  // namespace

float speed_from_word(uint16_t v) {
    return static_cast<float>(v & 0x0FFF) + static_cast<float>(v >> 12) / 10.0f;
}

int tyre_state_v3(uint8_t s) {
    if (!(s & 0x04)) return 0;
    if (s & 0x10) return 2;
    if (s & 0x20) return 3;
    if (s & 0x40) return 4;
    if (s & 0x02) return 5;
    return 1;
}

TyreRecord tyre_from_word(uint32_t word, uint32_t version) {
    auto byte = [word](int i) { return static_cast<int32_t>((word >> (8 * i)) & 0xFF); };
    int32_t b0 = byte(0), b1 = byte(1), b2 = byte(2), b3 = byte(3);
    if (version == 3) {
        return {b0, static_cast<float>(b3), b2 - 40, tyre_state_v3(static_cast<uint8_t>(b1))};
    }
    return {b0 >> 3, static_cast<float>(b2) + static_cast<float>(b1) / 10.0f, b3 - 40, 0};
}

void parse_info_block(const uint8_t* data, size_t length, const InfoContext& context,
                      FrameSet& out) {
    ByteReader in(data, length);
    uint32_t w = in.u32();
    if (!in.ok() || (w & kInfoMagicMask) != kInfoMagic) return;

    using Parser = bool (*)(ByteReader&, const InfoContext&, FrameSet&);
    static constexpr struct {
        uint32_t bit;
        Parser parse;
    } kSections[] = {{kSectionStatus, parse_status},
                     {kSectionSpeed, parse_speed},
                     {kSectionPosition, parse_position},
                     {kSectionGSensor, parse_gsensor},
                     {kSectionTyres, parse_tyres}};
    for (const auto& section : kSections) {
        if ((w & section.bit) && !section.parse(in, context, out)) return;
    }
}

}  // namespace fleet::format
