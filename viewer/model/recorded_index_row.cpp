#include "model/recorded_index_row.h"

#include <cinttypes>
#include <cstdio>
#include <ctime>

#include "common/le.h"

namespace velmora {

namespace {

constexpr int kEventTypeShift = 20;
constexpr uint32_t kEventTypeMask = 0x0F;

}  // namespace

IndexRow parse_index_row(const IndexRowBytes& bytes) {
    return {fleet::load_u32(bytes.data()), fleet::load_u32(bytes.data() + 4),
            fleet::load_u64(bytes.data() + 8)};
}

int index_row_event_type(const IndexRow& row) {
    return static_cast<int>((row.flags >> kEventTypeShift) & kEventTypeMask);
}

std::string index_row_time_text(uint32_t time) {
    const std::time_t seconds = static_cast<std::time_t>(time);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text;
}

std::string index_row_position_text(uint64_t position) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%02" PRIX64, position);
    return text;
}

std::string index_row_status_text(int event_type, const EventTypeNames& names) {
    if (event_type >= 0 && event_type < kEventTypeCount)
        return names[static_cast<std::size_t>(event_type)];
    return std::to_string(event_type);
}

}  // namespace velmora
