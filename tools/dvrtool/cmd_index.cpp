#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "dvrtool/commands.h"
#include "format/byte_source.h"
#include "format/index_format.h"
#include "index_rows.h"
#include "messages.h"
#include "recording.h"

namespace dvrtool {
namespace {

namespace ff = fleet::format;

// An index as listed: its header, and on a ring the oldest unit the header's first is
// replaced by (the stored one may name units written over since).
struct IndexListing {
    ff::IndexHeader header;
    std::optional<uint32_t> oldest;
    std::vector<NumberedUnit> units;
};

using UnitReader = std::function<bool(uint32_t n, ff::IndexUnit& out)>;

// Units along the ring from first to last. Stops at the first unit that cannot be read and
// returns its number, 0 when every unit was read.
uint32_t read_units(const UnitReader& read, const ff::IndexHeader& header,
                    std::vector<NumberedUnit>& out) {
    uint32_t count = ff::units_between(header.first, header.last);
    uint32_t n = header.first;
    for (uint32_t i = 0; i < count; ++i, n = ff::next_unit_number(n)) {
        NumberedUnit u{n, {}};
        if (!read(n, u.unit)) return n;
        out.push_back(u);
    }
    return 0;
}

void print_json(const IndexListing& listing) {
    const ff::IndexHeader& h = listing.header;
    nlohmann::ordered_json j{{"magic", h.magic}, {"first", listing.oldest.value_or(h.first)}};
    if (listing.oldest) j["stored_first"] = h.first;
    j["last"] = h.last;
    j["wrapped"] = h.wrapped;
    j["units"] = index_rows_json(listing.units);
    std::printf("%s\n", j.dump(2).c_str());
}

void print_text(const IndexListing& listing) {
    const ff::IndexHeader& h = listing.header;
    std::printf("magic    %s\n", hex32(h.magic).c_str());
    if (listing.oldest) {
        std::printf("first    %u (stored %u)\n", *listing.oldest, h.first);
    } else {
        std::printf("first    %u\n", h.first);
    }
    std::printf("last     %u\nwrapped  %u\n\n", h.last, h.wrapped);
    print_index_rows(listing.units, "unit");
}

// Prints what was read, then fails if a unit was missing: the listing up to it is still news.
Outcome print_listing(const IndexListing& listing, uint32_t missing, const std::string& name,
                      bool json) {
    json ? print_json(listing) : print_text(listing);
    if (missing == 0) return kExitDone;
    return fleet::fail(name + ": unit " + std::to_string(missing) + " of " +
                       std::to_string(listing.header.first) + ".." +
                       std::to_string(listing.header.last) + " cannot be read");
}

Outcome list_index_file(const std::string& path, bool json) {
    ff::FileByteSource source;
    if (!source.open(path)) {
        return fleet::fail("cannot open " + path + ": " + std::strerror(errno));
    }
    IndexListing listing;
    if (!ff::read_index_header(source, listing.header)) {
        return fleet::fail(path + ": index header cannot be read (file too short)");
    }
    if (listing.header.magic != ff::kIndexMagic) {
        return fleet::fail(not_an_index(path, listing.header.magic));
    }
    const uint32_t missing = read_units(
        [&source](uint32_t n, ff::IndexUnit& out) { return ff::read_index_unit(source, n, out); },
        listing.header, listing.units);
    return print_listing(listing, missing, path, json);
}

// Every unit the stored header spans, those written over since included: their offsets are
// logical, -1 where they lie off the recorded runs.
Outcome list_time_index(ff::RingRecording& ring, const std::string& name, bool json) {
    IndexListing listing{ring.scan().header, ring.scan().oldest_unit, {}};
    const uint32_t missing =
        read_units([&ring](uint32_t n, ff::IndexUnit& out) { return ring.time_unit(n, out); },
                   listing.header, listing.units);
    return print_listing(listing, missing, name, json);
}

Outcome list_event_index(ff::RingRecording& ring, const std::string& name, bool json) {
    IndexListing listing;
    if (!ring.event_header(listing.header)) {
        return fleet::fail(name + ": the event index header cannot be read");
    }
    const uint32_t missing =
        read_units([&ring](uint32_t n, ff::IndexUnit& out) { return ring.event_unit(n, out); },
                   listing.header, listing.units);
    return print_listing(listing, missing, name + " (event index)", json);
}

std::string hex_bytes(const ff::QuickRecord& record) {
    std::string out;
    char pair[3];
    for (uint8_t b : record) {
        std::snprintf(pair, sizeof pair, "%02x", b);
        out += pair;
    }
    return out;
}

// Quick records go with the time units of the same number; they are shown as stored.
Outcome list_quick_index(ff::RingRecording& ring, const std::string& name, bool json) {
    ff::QuickRecord header;
    if (!ring.quick_header(header)) {
        return fleet::fail(name + ": the quick index header cannot be read");
    }
    const ff::IndexHeader& time = ring.scan().header;
    nlohmann::ordered_json records = nlohmann::ordered_json::array();
    if (!json) std::printf("header   %s\n\n%7s  %s\n", hex_bytes(header).c_str(), "unit", "bytes");
    const uint32_t count = ff::units_between(time.first, time.last);
    uint32_t n = time.first;
    for (uint32_t i = 0; i < count; ++i, n = ff::next_unit_number(n)) {
        ff::QuickRecord record;
        if (!ring.quick_unit(n, record)) {
            return fleet::fail(name + ": quick record " + std::to_string(n) + " cannot be read");
        }
        if (json) {
            records.push_back({{"number", n}, {"bytes", hex_bytes(record)}});
        } else {
            std::printf("%7u  %s\n", n, hex_bytes(record).c_str());
        }
    }
    if (json) {
        nlohmann::ordered_json j{{"header", hex_bytes(header)}, {"records", records}};
        std::printf("%s\n", j.dump(2).c_str());
    }
    return kExitDone;
}

Outcome list_medium_index(const CommandLine& line) {
    auto opened = open_recording(line);
    if (!opened) return opened.error();
    Recording& recording = **opened;
    ff::RingRecording& ring = *recording.ring();
    const bool json = line.has("--json");
    if (line.has("--event")) return list_event_index(ring, recording.name(), json);
    if (line.has("--quick")) return list_quick_index(ring, recording.name(), json);
    return list_time_index(ring, recording.name(), json);
}

}  // namespace

Outcome run_index(const CommandLine& line) {
    if (line.has("--event") && line.has("--quick")) {
        return usage_error("give --event or --quick, not both");
    }
    if (names_medium(line)) return list_medium_index(line);
    if (line.has("--event") || line.has("--quick")) {
        return usage_error("--event and --quick read a disk or card: give --disk or --card");
    }
    return list_index_file(line.operands[0], line.has("--json"));
}

}  // namespace dvrtool
