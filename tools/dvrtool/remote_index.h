// A recorder's time index fetched through the engine's remote link, as the viewer's recorded
// data dialog fetches it: zOpenRx links directly, the engine asks for the index and reports
// each unit, oldest first.
#pragma once

#include <functional>
#include <vector>

#include "common/result.h"
#include "engine_session.h"
#include "format/index_format.h"
#include "remote_address.h"

namespace dvrtool {

struct RemoteIndex {
    std::vector<fleet::format::IndexUnit> units;  // row r is units[r - 1]
    bool interrupted = false;                     // the wait was given up: units are not all
};

// The engine must have been started with `state`. The remote source stays open afterwards (a
// download goes on with it); close_engine closes it. Fails with the link's trouble, or when the
// index does not come within a minute; `interrupted` is asked while waiting.
fleet::Result<RemoteIndex> fetch_remote_index(const RemoteAddress& address, EngineSession& state,
                                              const std::function<bool()>& interrupted);

}  // namespace dvrtool
