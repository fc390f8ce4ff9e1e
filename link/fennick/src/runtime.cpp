#include "runtime.h"

namespace fleet::fennick {
namespace {

// Trivially destructible, so it still reads true while and after the state is destroyed.
constinit bool state_gone = false;

Runtime state;

}  // namespace

// With the thread ended, nothing else touches the sockets: they are closed here. A thread
// left behind by a callback that never returned keeps them.
Runtime::~Runtime() {
    state_gone = true;
    const bool thread_ended = io.stop();
    for (const auto& endpoint : table.take_all()) {
        if (thread_ended) endpoint->close_at_exit();
    }
}

Runtime* runtime() {
    return state_gone ? nullptr : &state;
}

}  // namespace fleet::fennick
