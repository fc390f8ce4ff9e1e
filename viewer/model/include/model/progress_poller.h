// Moves the progress slider once a second from the engine's read position, off the GUI thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "model/engine_api.h"

namespace velmora {

// Slider position 0..100 for a read position and a total length in bytes; 0 when either is
// negative or nothing has a length.
int progress_position(int64_t position, int64_t total);

class ProgressPoller {
  public:
    // publish receives each new position on the poller thread; it must not touch widgets (the
    // window posts it to the GUI thread). While dragging() is true nothing is read or published.
    ProgressPoller(const EngineApi& engine, std::function<bool()> dragging,
                   std::function<void(int)> publish, int interval_ms = 1000);
    ~ProgressPoller();
    ProgressPoller(const ProgressPoller&) = delete;
    ProgressPoller& operator=(const ProgressPoller&) = delete;

    // Polls at once, then every interval. A second start while running does nothing.
    void start();
    // Wakes the thread and joins it; returns without waiting out the interval.
    void stop();
    bool running() const;

  private:
    void run();
    void poll_once();

    const EngineApi& engine_;
    std::function<bool()> dragging_;
    std::function<void(int)> publish_;
    int interval_ms_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_requested_ = false;
    std::thread thread_;
};

}  // namespace velmora
