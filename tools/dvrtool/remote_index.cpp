#include "remote_index.h"

#include <array>
#include <chrono>

#include "kivra/kivra.h"

namespace dvrtool {
namespace {

using namespace std::chrono_literals;

// Mode byte 0 links directly. The engine's fallback after a failed direct link is the host's
// connector when use_connector is set, else listening for the recorder to call; dvrtool has no
// connector, so setting it ends a failed link at once instead of listening a minute.
constexpr int32_t kModeDirect = 0;
constexpr int32_t kFallbackToConnector = 1;

// The whole index comes in one message after the header's; a minute covers a slow link.
constexpr auto kIndexWait = 60s;
constexpr auto kWatchSlice = 50ms;

bool open_remote_link(const RemoteAddress& address) {
    const std::array<uint8_t, 6> no_address{};
    const std::array<uint8_t, 32> no_name{};
    const std::string text = address.engine_text();
    return zOpenRx(no_address.data(), no_name.data(), text.c_str(), kFallbackToConnector,
                   kModeDirect, nullptr) != 0;
}

}  // namespace

fleet::Result<RemoteIndex> fetch_remote_index(const RemoteAddress& address, EngineSession& state,
                                              const std::function<bool()>& interrupted) {
    const std::string recorder = address.shown();
    if (!open_remote_link(address)) {
        return fleet::fail("the engine refused to open the recorded data of " + recorder);
    }
    RemoteIndex index;
    const auto deadline = Clock::now() + kIndexWait;
    std::unique_lock guard(state.lock);
    while (!state.link.index_done && !state.link.trouble) {
        if (Clock::now() >= deadline) {
            return fleet::fail("no index came from the recorder at " + recorder +
                               " within a minute");
        }
        state.changed.wait_for(guard, kWatchSlice);
        if (interrupted()) {
            index.interrupted = true;
            return index;
        }
    }
    if (!state.link.index_done) {
        return fleet::fail(link_trouble_text(*state.link.trouble, recorder));
    }
    index.units = state.link.units;
    return index;
}

}  // namespace dvrtool
