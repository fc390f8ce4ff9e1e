#include "runtime.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "link.h"

namespace fleet::fennick {
namespace {

constexpr auto kExitDrainLimit = std::chrono::seconds(2);

// Trivially destructible, so it still reads true while and after the state is destroyed.
constinit std::atomic<bool> state_gone{false};

Runtime state;

}  // namespace

// The host is going (its statics may be gone already): no callback from here on. Links closed
// just before (a program that sends its last words, closes and exits) still send what was
// queued, for a short while; then, with the thread ended, nothing else touches the sockets:
// they are closed here. A thread left behind by a callback that never returned keeps them.
Runtime::~Runtime() {
    state_gone = true;
    const auto give_up = std::chrono::steady_clock::now() + kExitDrainLimit;
    while (Link::draining() > 0 && std::chrono::steady_clock::now() < give_up) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const bool thread_ended = io.stop();
    for (const auto& endpoint : table.take_all()) {
        if (thread_ended) endpoint->close_at_exit();
    }
}

Runtime* runtime() {
    return state_gone ? nullptr : &state;
}

}  // namespace fleet::fennick
