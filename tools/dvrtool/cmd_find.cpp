#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "dvrtool/commands.h"
#include "find_query.h"
#include "format/find_units.h"
#include "format/index_find.h"
#include "recording.h"
#include "recording_index_reader.h"
#include "time_text.h"

namespace dvrtool {
namespace {

namespace ff = fleet::format;
using nlohmann::ordered_json;

// The recorder's event types 0..14 in English; type 4 has no name.
const std::array<std::string, 15> kEventTypeNames = {
    "NO EVENT", "POWER ON",         "POWER OFF",        "ALARM IN",  "",       "VLOSS",
    "REC_STOP", "TIME_ADJUST_BACK", "TIME_ADJUST_JUMP", "RELAY OUT", "FORMAT", "CAR SPEED",
    "TPMS",     "G-SENSOR",         "OVER HEAT"};

void print_tabbed(const std::vector<std::string>& texts) {
    std::string line;
    for (size_t i = 0; i < texts.size(); ++i) {
        if (i > 0) line += '\t';
        line += texts[i];
    }
    std::printf("%s\n", line.c_str());
}

// A time or event row: the dialog's Time, Position and Status; in JSON also the numbers.
void print_unit_row(const ff::UnitRow& row, uint32_t time_unit, bool event_view, bool json) {
    const std::string status = ff::event_type_text(row.event_type, kEventTypeNames);
    if (!json) {
        print_tabbed({ff::unit_time_text(row.time), std::to_string(row.offset), status});
        return;
    }
    ordered_json j{{"unit", time_unit}};
    if (event_view) j["event"] = row.unit;
    j["time"] = time_text(row.time);
    j["offset"] = row.offset;
    j["event_type"] = row.event_type;
    j["status"] = status;
    std::printf("%s\n", j.dump().c_str());
}

Outcome list_units(RecordingIndexReader& reader, const std::string& name, bool json) {
    const bool listed = ff::list_time_units(reader, [json](const ff::UnitRow& row) {
        print_unit_row(row, row.unit, false, json);
        return true;
    });
    if (!listed) return fleet::fail(name + ": the time index cannot be read");
    return kExitDone;
}

// A file pair has no event index: its event view is empty, as the dialog leaves it.
Outcome list_events(RecordingIndexReader& reader, const std::string& name, bool json) {
    if (!reader.has_ring()) return kExitDone;
    const bool listed = ff::list_event_units(reader, [&reader, json](const ff::UnitRow& row) {
        // A row names the event by its own number; the time unit it belongs to is in its tag.
        ff::IndexUnit unit;
        const uint32_t time_unit =
            reader.event_unit(row.unit, unit) ? unit.tag & ff::kTimeUnitMask : 0;
        print_unit_row(row, time_unit, true, json);
        return true;
    });
    if (!listed) return fleet::fail(name + ": the event index cannot be read");
    return kExitDone;
}

ordered_json quick_json(const ff::QuickEntry& entry, RecordingIndexReader& reader,
                        ff::FindUnits units) {
    const ff::QuickFields f = ff::quick_row_fields(reader, entry);
    ff::IndexUnit unit;
    ordered_json j{{"unit", f.time_unit},
                   {"record", entry.record},
                   {"time", reader.time_unit(f.time_unit, unit) ? ordered_json(time_text(unit.time))
                                                                : ordered_json(nullptr)}};
    j["speed"] = ff::shown_speed(f.speed_kmh, units);
    j["g"] = {ff::g_of_stored(f.g[0]), ff::g_of_stored(f.g[1]), ff::g_of_stored(f.g[2])};
    j["temperature"] = ff::shown_temperature(f.temperature_c, units);
    j["position"] = f.position ? ordered_json{{"longitude", f.position->longitude},
                                              {"latitude", f.position->latitude}}
                               : ordered_json(nullptr);
    ordered_json tyres = ordered_json::array();
    for (const auto& t : f.tyres) {
        tyres.push_back({{"pressure", t.pressure_psi},
                         {"temperature", t.temperature_c ? ordered_json(ff::shown_temperature(
                                                               *t.temperature_c, units))
                                                         : ordered_json(nullptr)}});
    }
    j["tyres"] = tyres;
    return j;
}

Outcome search_quick(RecordingIndexReader& reader, const std::string& name,
                     const FindRequest& request, bool json) {
    if (!reader.has_ring()) {
        return fleet::fail(name + " has no quick index: only a disk or card keeps one");
    }
    const auto entries = ff::read_quick_entries(reader);
    if (!entries) return fleet::fail(name + ": the quick index cannot be read");
    for (const ff::QuickEntry* entry : ff::search_quick_entries(*entries, *request.filter)) {
        if (json) {
            std::printf("%s\n", quick_json(*entry, reader, request.units).dump().c_str());
            continue;
        }
        const auto t =
            ff::quick_row_texts(ff::quick_row_fields(reader, *entry), reader, request.units);
        print_tabbed({t.begin(), t.end()});
    }
    return kExitDone;
}

}  // namespace

Outcome run_find(const CommandLine& line) {
    auto request = parse_find_request(line);
    if (!request) return request.error();
    auto recording = open_recording(line);
    if (!recording) return recording.error();
    RecordingIndexReader reader(**recording);
    const std::string& name = (*recording)->name();
    const bool json = line.has("--json");
    switch (request->view) {
        case FindView::Time:
            return list_units(reader, name, json);
        case FindView::Event:
            return list_events(reader, name, json);
        case FindView::Quick:
            return search_quick(reader, name, *request, json);
    }
    return kExitDone;
}

}  // namespace dvrtool
