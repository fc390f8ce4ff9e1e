#include "index_rows.h"

#include <cstdio>
#include <string>

#include "messages.h"
#include "time_text.h"

namespace dvrtool {

nlohmann::ordered_json index_rows_json(std::span<const NumberedUnit> units) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& u : units) {
        list.push_back({{"number", u.number},
                        {"time", u.unit.time},
                        {"time_text", time_text(u.unit.time)},
                        {"tag", u.unit.tag},
                        {"offset", u.unit.offset}});
    }
    return list;
}

void print_index_rows(std::span<const NumberedUnit> units, std::string_view number_heading) {
    std::printf("%7s  %-19s  %-10s  %s\n", std::string(number_heading).c_str(), "time", "tag",
                "offset");
    for (const auto& u : units) {
        std::printf("%7u  %s  %s  %lld\n", u.number, time_text(u.unit.time).c_str(),
                    hex32(u.unit.tag).c_str(), static_cast<long long>(u.unit.offset));
    }
}

}  // namespace dvrtool
