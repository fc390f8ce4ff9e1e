#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "dvrtool/commands.h"
#include "format/byte_source.h"
#include "format/index_format.h"
#include "messages.h"
#include "recording.h"
#include "time_text.h"

namespace dvrtool {
namespace {

struct NumberedUnit {
    uint32_t number = 0;
    fleet::format::IndexUnit unit;
};

// Units along the ring from first to last. Stops at the first unit the file does not hold
// and returns its number, 0 when every unit was read.
uint32_t read_units(fleet::format::ByteSource& source, const fleet::format::IndexHeader& header,
                    std::vector<NumberedUnit>& out) {
    uint32_t count = fleet::format::units_between(header.first, header.last);
    uint32_t n = header.first;
    for (uint32_t i = 0; i < count; ++i, n = fleet::format::next_unit_number(n)) {
        NumberedUnit u{n, {}};
        if (!fleet::format::read_index_unit(source, n, u.unit)) return n;
        out.push_back(u);
    }
    return 0;
}

void print_json(const fleet::format::IndexHeader& h, const std::vector<NumberedUnit>& units) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& u : units) {
        list.push_back({{"number", u.number},
                        {"time", u.unit.time},
                        {"time_text", time_text(u.unit.time)},
                        {"tag", u.unit.tag},
                        {"offset", u.unit.offset}});
    }
    nlohmann::ordered_json j{{"magic", h.magic},
                             {"first", h.first},
                             {"last", h.last},
                             {"wrapped", h.wrapped},
                             {"units", list}};
    std::printf("%s\n", j.dump(2).c_str());
}

void print_text(const fleet::format::IndexHeader& h, const std::vector<NumberedUnit>& units) {
    std::printf("magic    %s\nfirst    %u\nlast     %u\nwrapped  %u\n\n", hex32(h.magic).c_str(),
                h.first, h.last, h.wrapped);
    std::printf("%7s  %-19s  %-10s  %s\n", "unit", "time", "tag", "offset");
    for (const auto& u : units) {
        std::printf("%7u  %s  %s  %lld\n", u.number, time_text(u.unit.time).c_str(),
                    hex32(u.unit.tag).c_str(), static_cast<long long>(u.unit.offset));
    }
}

}  // namespace

Outcome run_index(const CommandLine& line) {
    const std::string& path = line.operands[0];
    fleet::format::FileByteSource source;
    if (!source.open(path)) {
        return fleet::fail("cannot open " + path + ": " + std::strerror(errno));
    }
    fleet::format::IndexHeader header;
    if (!fleet::format::read_index_header(source, header)) {
        return fleet::fail(path + ": index header cannot be read (file too short)");
    }
    if (header.magic != fleet::format::kIndexMagic) {
        return fleet::fail(not_an_index(path, header.magic));
    }
    std::vector<NumberedUnit> units;
    const uint32_t missing = read_units(source, header, units);
    line.has("--json") ? print_json(header, units) : print_text(header, units);
    if (missing != 0) {
        return fleet::fail(path + ": unit " + std::to_string(missing) + " of " +
                           std::to_string(header.first) + ".." + std::to_string(header.last) +
                           " cannot be read");
    }
    return kExitDone;
}

}  // namespace dvrtool
