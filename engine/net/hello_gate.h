// While the engine listens for a recorder, every accepted link waits for its hello; the first
// to say it becomes the link, and every other accepted link is closed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kivra::net {

class HelloGate {
  public:
    // Anyone on the network may connect while the engine listens: links that never say hello
    // hold at most this many descriptors.
    static constexpr size_t kMostWaiting = 16;

    void reset();
    // A listener accepted `link`. False when a link was already chosen or too many wait:
    // close this one.
    bool accepted(int32_t link);
    // `link` said hello. True when it becomes the link; `to_close` then receives the other
    // waiting links. False when another link was chosen before: close this one.
    bool hello(int32_t link, std::vector<int32_t>& to_close);
    // A waiting link went away.
    void closed(int32_t link);
    bool decided() const { return chosen_ >= 0; }
    // The links still waiting, which the gate forgets.
    std::vector<int32_t> take_waiting();

  private:
    std::vector<int32_t> waiting_;
    int32_t chosen_ = -1;
};

}  // namespace kivra::net
