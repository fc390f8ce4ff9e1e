// The texts of a quick row, in the units the operator picked.
#include <cstdio>
#include <string>

#include "format/find_units.h"
#include "format/index_find.h"

namespace fleet::format {
namespace {

std::string number_text(long long v) {
    return std::to_string(v);
}

std::string time_text(IndexReader& reader, uint32_t time_unit) {
    IndexUnit unit;
    return reader.time_unit(time_unit, unit) ? unit_time_text(unit.time) : std::string("-");
}

std::string g_text(const std::array<int, 3>& g) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f/%.2f/%.2f", g_of_stored(g[0]), g_of_stored(g[1]),
                  g_of_stored(g[2]));
    return text;
}

std::string position_text(const std::optional<QuickPosition>& position) {
    if (!position) return "-";
    char longitude[32], latitude[32];
    std::snprintf(longitude, sizeof longitude, "%10f", position->longitude);
    std::snprintf(latitude, sizeof latitude, "%9f", position->latitude);
    return std::string(longitude) + "/" + latitude;
}

std::string tyres_text(const std::vector<QuickTyre>& tyres, const FindUnits& units) {
    std::string out;
    char entry[48];
    for (size_t i = 0; i < tyres.size(); ++i) {
        const QuickTyre& t = tyres[i];
        const int number = static_cast<int>(i) + 1;
        if (t.temperature_c) {
            std::snprintf(entry, sizeof entry, " %d:%d/%d", number, t.pressure_psi,
                          shown_temperature(*t.temperature_c, units));
        } else {
            std::snprintf(entry, sizeof entry, " %d:%d/error", number, t.pressure_psi);
        }
        out += entry;
    }
    return out;
}

}  // namespace

std::array<std::string, 8> quick_row_texts(const QuickFields& fields, IndexReader& reader,
                                           FindUnits units) {
    return {number_text(fields.time_unit),
            time_text(reader, fields.time_unit),
            number_text(shown_speed(fields.speed_kmh, units)),
            g_text(fields.g),
            number_text(shown_temperature(fields.temperature_c, units)),
            position_text(fields.position),
            number_text(static_cast<long long>(fields.tyres.size())),
            tyres_text(fields.tyres, units)};
}

}  // namespace fleet::format
