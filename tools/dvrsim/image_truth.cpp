#include "dvrsim/image_truth.h"

#include <algorithm>
#include <string>
#include <utility>

#include "format/index_format.h"

namespace dvrsim {
namespace {

using nlohmann::ordered_json;

ordered_json header_json(const fleet::format::IndexHeader& header) {
    return {{"first", header.first}, {"last", header.last}, {"wrapped", header.wrapped}};
}

ordered_json layout_json(const ImageRecord& r) {
    ordered_json j;
    j["kind"] = r.plan.kind == ImageKind::Disk ? "disk" : "card";
    j["sparse"] = r.options.sparse_units != 0;
    j["decoy"] = r.options.decoy == Decoy::None ? ordered_json(nullptr)
                                                : ordered_json(decoy_name(r.options.decoy));
    j["device_size"] = r.plan.device_size;
    j["data_offset"] = r.plan.data_offset;
    j["data_length"] = r.plan.data_length;
    if (r.plan.kind == ImageKind::Card) {
        j["base"] = r.plan.base;
        j["card_sector_base"] = card_sector_base(r.plan, r.options.decoy);
    } else {
        j["index_partition"] = {{"offset", r.plan.index_volume_offset},
                                {"length", r.plan.index_volume_length}};
        j["index_files"] = {{"timeindex", r.plan.index_files.time},
                            {"eventindex", r.plan.index_files.event},
                            {"quickindex", r.plan.index_files.quick}};
    }
    j["index_areas"] = {{"time", r.areas.time}, {"event", r.areas.event}, {"quick", r.areas.quick}};
    j["ring_begin"] = r.plan.ring_begin;
    j["ring_end"] = r.plan.ring_end;
    return j;
}

enum class UnitKind { Time, Event };

ordered_json units_json(const ImageRecord& r, const std::vector<UnitEntry>& units, size_t from,
                        const PlayRuns& runs, UnitKind kind) {
    ordered_json list = ordered_json::array();
    for (size_t i = from; i < units.size(); ++i) {
        const UnitEntry& u = units[i];
        ordered_json unit{{"n", u.n},
                          {"time", u.unit.time},
                          {"tag", u.unit.tag},
                          {"event_type", (u.unit.tag >> kEventTypeShift) & 0xF}};
        if (kind == UnitKind::Event) {
            unit["time_unit"] = u.unit.tag & fleet::format::kLastUnitNumber;
        }
        unit["physical"] = u.unit.offset;
        unit["logical"] = runs.logical(u.unit.offset);
        unit["valid"] = is_valid(r.gops[u.gop], r.end);
        list.push_back(std::move(unit));
    }
    return list;
}

ordered_json text_or_null(const std::string& text) {
    return text.empty() ? ordered_json(nullptr) : ordered_json(text);
}

// A record's tyres as a reader takes them: as many entries as the count byte says, up to the
// room the record has; entries past the stored ones read as zero bytes.
ordered_json quick_tyres_json(const QuickContent& c) {
    ordered_json list = ordered_json::array();
    const size_t read = std::min<size_t>(c.tyre_count, kQuickMaxTyres);
    for (size_t i = 0; i < read; ++i) {
        const QuickTyreBytes t = i < c.tyres.size() ? c.tyres[i] : QuickTyreBytes{};
        const bool error = t.temperature > kQuickHighestTemperature;
        list.push_back(
            {{"pressure", t.pressure},
             {"temperature_byte", t.temperature},
             {"temperature",
              error ? ordered_json(nullptr) : ordered_json(t.temperature - kQuickTemperatureBias)},
             {"error", error}});
    }
    return list;
}

ordered_json quick_json(const QuickContent& c) {
    return {{"n", c.unit},
            {"time_unit", c.unit},
            {"speed", c.speed},
            {"temperature", c.temperature},
            {"g", {c.g[0], c.g[1], c.g[2]}},
            {"tyre_count", c.tyre_count},
            {"stored_tyres", c.tyres.size()},
            {"tyres", quick_tyres_json(c)},
            {"latitude", text_or_null(c.latitude)},
            {"longitude", text_or_null(c.longitude)}};
}

ordered_json quick_records_json(const std::vector<QuickContent>& contents, size_t from) {
    ordered_json list = ordered_json::array();
    for (size_t i = from; i < contents.size(); ++i) list.push_back(quick_json(contents[i]));
    return list;
}

ordered_json gops_json(const ImageRecord& r, const PlayRuns& runs) {
    ordered_json list = ordered_json::array();
    if (r.options.sparse_units != 0) return list;
    for (size_t i = first_played(r); i < r.gops.size(); ++i) {
        const PlacedGop& g = r.gops[i];
        list.push_back({{"time", g.time},
                        {"physical", g.physical},
                        {"logical", runs.logical(g.physical)},
                        {"length", g.length},
                        {"stored_length", g.stored}});
    }
    return list;
}

// Where the unit list of a header starts: its first unit as written.
size_t listed_from(const std::vector<UnitEntry>& units, uint32_t first) {
    for (size_t i = 0; i < units.size(); ++i) {
        if (units[i].n == first) return i;
    }
    return units.size();
}

}  // namespace

int64_t PlayRuns::length() const {
    if (two_runs) return (ring_end - start) + (end_of_data - ring_begin);
    return end_of_data - start;
}

int64_t PlayRuns::logical(int64_t physical) const {
    if (physical >= start && physical <= (two_runs ? ring_end : end_of_data)) {
        return physical - start;
    }
    if (two_runs && physical >= ring_begin && physical <= end_of_data) {
        return (ring_end - start) + (physical - ring_begin);
    }
    return -1;
}

size_t first_played(const ImageRecord& r) {
    return r.index.time_units()[r.headers.oldest_time].gop;
}

PlayRuns play_runs(const ImageRecord& r) {
    const PlacedGop& first = r.gops[first_played(r)];
    return {first.physical, r.plan.ring_begin, r.plan.ring_end, r.end.end_of_data,
            first.lap + 1 == r.end.laps};
}

nlohmann::ordered_json image_truth(const ImageRecord& r) {
    const PlayRuns runs = play_runs(r);
    const UnitEntry& oldest = r.index.time_units()[r.headers.oldest_time];
    ordered_json j = layout_json(r);
    j["wrapped"] = r.end.laps > 0;
    j["runs"] = runs.two_runs ? 2 : 1;
    j["start"] = runs.start;
    j["seam"] = r.end.seam >= 0 ? ordered_json(r.end.seam) : ordered_json(nullptr);
    j["end_of_data"] = r.end.end_of_data;
    j["length"] = runs.length();
    j["begin_time"] = oldest.unit.time;
    j["end_time"] = r.gops.back().time;
    j["laps"] = r.end.laps;
    j["oldest_unit"] = oldest.n;
    j["header"] = header_json(r.headers.time);
    j["event_header"] = header_json(r.headers.event);
    j["unit_every"] = r.options.unit_every;
    j["event_every"] = r.options.event_every;
    j["first_unit"] = r.options.first_unit;
    j["stale_header"] = r.options.stale_header;
    j["quick_tyre_count"] = r.options.quick_tyre_count != 0
                                ? ordered_json(r.options.quick_tyre_count)
                                : ordered_json(nullptr);
    j["gops"] = gops_json(r, runs);
    const auto& times = r.index.time_units();
    const auto& events = r.index.event_units();
    const size_t times_from = listed_from(times, r.headers.time.first);
    if (r.options.sparse_units != 0) {
        j["time_unit_count"] = times.size();
        j["event_unit_count"] = events.size();
    } else {
        j["time_units"] = units_json(r, times, times_from, runs, UnitKind::Time);
        j["event_units"] = units_json(r, events, listed_from(events, r.headers.event.first), runs,
                                      UnitKind::Event);
    }
    j["quick"] = {{"count", times.size()}, {"header", header_json(r.headers.time)}};
    // Beside each listed time unit, its quick record as a reader decodes it.
    if (r.options.sparse_units == 0) {
        j["quick"]["records"] = quick_records_json(r.index.quick_contents(), times_from);
    }
    return j;
}

}  // namespace dvrsim
