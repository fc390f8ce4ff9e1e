// `dvrtool find`'s view and quick search, as the command line gives them.
#pragma once

#include <optional>
#include <string>

#include "common/result.h"
#include "dvrtool/args.h"
#include "format/index_find.h"

namespace dvrtool {

enum class FindView { Time, Event, Quick };

struct FindRequest {
    FindView view = FindView::Time;
    fleet::format::FindUnits units;                    // --imperial: mile/h and Fahrenheit
    std::optional<fleet::format::QuickFilter> filter;  // the quick view's search
};

// A usage error when the view is missing or unknown, a search goes with another view, the quick
// view lacks its one search, or a value is not what its search takes.
fleet::Result<FindRequest> parse_find_request(const CommandLine& line);

}  // namespace dvrtool
