#include "find_query.h"

#include <charconv>
#include <cmath>
#include <string_view>
#include <vector>

#include "dvrtool/outcome.h"

namespace dvrtool {
namespace {

namespace ff = fleet::format;

enum class ValueKind { Whole, Decimal, Box };

struct SearchOption {
    const char* name;
    ff::QuickSearch search;
    ValueKind kind;
};

const SearchOption kSearches[] = {
    {"--speed-over", ff::QuickSearch::SpeedOver, ValueKind::Whole},
    {"--g-over", ff::QuickSearch::GOver, ValueKind::Decimal},
    {"--temperature-over", ff::QuickSearch::TemperatureOver, ValueKind::Whole},
    {"--tyre-temperature-over", ff::QuickSearch::TyreTemperatureOver, ValueKind::Whole},
    {"--pressure-over", ff::QuickSearch::PressureOver, ValueKind::Whole},
    {"--pressure-under", ff::QuickSearch::PressureUnder, ValueKind::Whole},
    {"--position", ff::QuickSearch::PositionBox, ValueKind::Box},
};

std::optional<double> decimal(std::string_view text) {
    double v = 0;
    const char* end = text.data() + text.size();
    auto [stop, ec] = std::from_chars(text.data(), end, v);
    if (ec != std::errc() || stop != end || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<double> whole(std::string_view text) {
    long long v = 0;
    const char* end = text.data() + text.size();
    auto [stop, ec] = std::from_chars(text.data(), end, v);
    // Beyond a million no record's value lies; the bound keeps the conversions exact.
    if (ec != std::errc() || stop != end || v < -1000000 || v > 1000000) return std::nullopt;
    return static_cast<double>(v);
}

// "LON,DLON,LAT,DLAT"
std::optional<std::array<double, 4>> box(std::string_view text) {
    std::array<double, 4> out{};
    for (size_t i = 0; i < out.size(); ++i) {
        const size_t comma = i + 1 < out.size() ? text.find(',') : text.size();
        if (comma == std::string_view::npos) return std::nullopt;
        const auto v = decimal(text.substr(0, comma));
        if (!v) return std::nullopt;
        out[i] = *v;
        text.remove_prefix(std::min(text.size(), comma + 1));
    }
    return out;
}

fleet::Result<std::array<double, 4>> values_of(const SearchOption& option,
                                               const std::string& text) {
    const std::string name = option.name;
    switch (option.kind) {
        case ValueKind::Whole:
            if (auto v = whole(text)) return std::array<double, 4>{*v};
            return usage_error(name + " takes a whole number, not '" + text + "'");
        case ValueKind::Decimal:
            if (auto v = decimal(text)) return std::array<double, 4>{*v};
            return usage_error(name + " takes a number, not '" + text + "'");
        case ValueKind::Box:
            if (auto v = box(text)) return *v;
            return usage_error(name + " takes LON,DLON,LAT,DLAT, not '" + text + "'");
    }
    return usage_error(name + ": unknown search");
}

fleet::Result<FindView> view_of(const CommandLine& line) {
    const auto view = line.value("--view");
    if (!view) return usage_error("give --view time, event or quick");
    if (*view == "time") return FindView::Time;
    if (*view == "event") return FindView::Event;
    if (*view == "quick") return FindView::Quick;
    return usage_error("--view is time, event or quick, not '" + *view + "'");
}

fleet::Result<ff::QuickFilter> quick_filter(const CommandLine& line, ff::FindUnits units) {
    std::vector<const SearchOption*> given;
    for (const auto& option : kSearches) {
        if (line.value(option.name)) given.push_back(&option);
    }
    if (given.size() != 1 || line.all(given[0]->name).size() != 1) {
        return usage_error("--view quick needs exactly one search option");
    }
    const SearchOption& option = *given[0];
    auto values = values_of(option, *line.value(option.name));
    if (!values) return values.error();
    auto filter = ff::make_quick_filter({option.search, *values, units});
    if (!filter) return usage_error(std::string(option.name) + " takes 0.1 to 2.0");
    return *filter;
}

}  // namespace

fleet::Result<FindRequest> parse_find_request(const CommandLine& line) {
    auto view = view_of(line);
    if (!view) return view.error();
    FindRequest request;
    request.view = *view;
    if (line.has("--imperial")) request.units = {1, 1};
    if (request.view != FindView::Quick) {
        for (const auto& option : kSearches) {
            if (line.value(option.name)) {
                return usage_error(std::string(option.name) + " goes with --view quick");
            }
        }
        return request;
    }
    auto filter = quick_filter(line, request.units);
    if (!filter) return filter.error();
    request.filter = *filter;
    return request;
}

}  // namespace dvrtool
