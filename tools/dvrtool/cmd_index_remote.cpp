// dvrtool index --remote: a recorder's time index over the network, listed as a local one is.
// The recorder's own unit numbers stay inside the engine; rows are numbered from 1 in the
// order the recorder lists them (oldest first), the numbers a download is given.
#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "dvrtool/commands.h"
#include "engine_session.h"
#include "index_rows.h"
#include "remote_index.h"

namespace dvrtool {
namespace {

std::vector<NumberedUnit> numbered_rows(const std::vector<fleet::format::IndexUnit>& units) {
    std::vector<NumberedUnit> rows;
    rows.reserve(units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        rows.push_back({static_cast<uint32_t>(i + 1), units[i]});
    }
    return rows;
}

void print_remote_listing(const RemoteAddress& address, const std::vector<NumberedUnit>& rows,
                          bool json) {
    if (json) {
        nlohmann::ordered_json j{
            {"recorder", address.shown()}, {"rows", rows.size()}, {"units", index_rows_json(rows)}};
        std::printf("%s\n", j.dump(2).c_str());
        return;
    }
    std::printf("recorder %s\nrows     %zu\n\n", address.shown().c_str(), rows.size());
    print_index_rows(rows, "row");
}

}  // namespace

Outcome run_remote_index(const CommandLine& line) {
    if (line.has("--event") || line.has("--quick")) {
        return usage_error("--event and --quick read a disk or card, not a recorder");
    }
    auto address = parse_remote_address(*line.value("--remote"));
    if (!address) return address.error();
    EngineSession state;
    if (auto started = start_engine(state); !started) return started.error();
    auto index = fetch_remote_index(*address, state, [] { return false; });
    close_engine();
    if (!index) return index.error();
    print_remote_listing(*address, numbered_rows(index->units), line.has("--json"));
    return kExitDone;
}

}  // namespace dvrtool
