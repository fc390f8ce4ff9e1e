#include "format/info_block_writer.h"

#include <algorithm>

#include "common/le.h"

namespace fleet::format {
namespace {

void put_u16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put_u32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void put_section_head(std::vector<uint8_t>& out, size_t count) {
    out.push_back(0);
    put_u16(out, static_cast<uint16_t>(count));
}

void put_status(std::vector<uint8_t>& out, const std::vector<StatusRecord>& records) {
    put_section_head(out, records.size());
    for (const auto& r : records) {
        std::array<uint8_t, kStatusRecordSize> bytes{};
        std::copy_n(r.vehicle_id.begin(), std::min<size_t>(r.vehicle_id.size(), 14), bytes.begin());
        bytes[14] = static_cast<uint8_t>(static_cast<int8_t>(r.temperature));
        bytes[15] = r.inputs;
        bytes[16] = r.signals & 0x0F;
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
}

void put_position(std::vector<uint8_t>& out, const std::vector<std::string>& records) {
    put_section_head(out, records.size());
    for (const auto& text : records) {
        std::array<uint8_t, kPositionRecordSize> bytes{};
        std::copy_n(text.begin(), std::min<size_t>(text.size(), 21), bytes.begin() + 5);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
}

void put_tyres(std::vector<uint8_t>& out, const TyreSection& tyres) {
    put_u32(out, static_cast<uint32_t>(tyres.groups.size()) << 8 |
                     static_cast<uint32_t>(tyres.words_per_group) << 24);
    for (const auto& group : tyres.groups) {
        for (int w = 0; w < tyres.words_per_group; ++w) {
            put_u32(out, w < static_cast<int>(group.size()) ? group[static_cast<size_t>(w)] : 0);
        }
    }
    if (tyres.summary) put_u32(out, *tyres.summary);
}

}  // namespace

std::vector<uint8_t> build_info_block(const InfoBlockPlan& plan) {
    uint32_t w = plan.magic;
    if (plan.status) w |= kSectionStatus;
    if (plan.speed) w |= kSectionSpeed;
    if (plan.position) w |= kSectionPosition;
    if (plan.gsensor) w |= kSectionGSensor;
    if (plan.tyres) w |= kSectionTyres;

    std::vector<uint8_t> out;
    put_u32(out, w);
    if (plan.status) put_status(out, *plan.status);
    if (plan.speed) {
        put_section_head(out, plan.speed->size());
        for (uint16_t v : *plan.speed) put_u16(out, v);
    }
    if (plan.position) put_position(out, *plan.position);
    if (plan.gsensor) {
        put_section_head(out, plan.gsensor->size());
        for (const auto& g : *plan.gsensor) {
            for (int8_t v : g) out.push_back(static_cast<uint8_t>(v));
        }
    }
    if (plan.tyres) put_tyres(out, *plan.tyres);
    return out;
}

uint16_t speed_word(int tenths_kmh) {
    int whole = std::clamp(tenths_kmh / 10, 0, 0x0FFF);
    int tenths = tenths_kmh < 0 ? 0 : tenths_kmh % 10;
    return static_cast<uint16_t>(whole | tenths << 12);
}

uint32_t tyre_word_v3(int id, uint8_t status_bits, int temperature_c, int pressure) {
    return static_cast<uint32_t>(id & 0xFF) | uint32_t{status_bits} << 8 |
           static_cast<uint32_t>((temperature_c + 40) & 0xFF) << 16 |
           static_cast<uint32_t>(pressure & 0xFF) << 24;
}

uint32_t tyre_word_v12(int id, int pressure_tenths, int temperature_c) {
    return static_cast<uint32_t>((id << 3) & 0xFF) |
           static_cast<uint32_t>(pressure_tenths % 10) << 8 |
           static_cast<uint32_t>((pressure_tenths / 10) & 0xFF) << 16 |
           static_cast<uint32_t>((temperature_c + 40) & 0xFF) << 24;
}

uint32_t tyre_summary_word(std::array<uint8_t, 3> values, std::array<int, 3> states) {
    uint32_t f = values[0] | uint32_t{values[1]} << 8 | uint32_t{values[2]} << 16;
    for (int k = 0; k < 3; ++k) {
        if (states[k] >= 1) f |= 1u << (24 + k);
        if (states[k] >= 2) f |= 1u << (27 + k);
    }
    return f;
}

}  // namespace fleet::format
