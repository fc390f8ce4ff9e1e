// Watches an opened disk, card or image file on its own thread and says once when it went
// away: pulled out, detached, or replaced by another under the same name.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "common/block_devices.h"

namespace kivra {

class RemovalMonitor {
  public:
    using RemovedHandler = std::function<void(const std::string& reason)>;

    RemovalMonitor() = default;
    ~RemovalMonitor();  // stops
    RemovalMonitor(const RemovalMonitor&) = delete;
    RemovalMonitor& operator=(const RemovalMonitor&) = delete;

    // Checks fleet::removal_reason every `interval` on its own thread; on the first reason it
    // calls on_removed(reason) once, on that thread, and ends. `fd` is only read from and must
    // stay open until stop() has returned or running() is false. False when a watch is already
    // running, the interval is not positive, or the thread cannot start.
    bool start(fleet::DeviceIdentity id, int fd, RemovedHandler on_removed,
               std::chrono::milliseconds interval = std::chrono::milliseconds(250));

    // Ends the watch at once: the wait between checks is cut short and the thread joined
    // without a time limit. Once it returns, on_removed is not running and never will be.
    // From another thread, stop() waits for an on_removed in progress to return, so
    // on_removed must not wait for a thread that may be calling stop(). From inside
    // on_removed (stop() or the destructor), the thread is let go instead of joined: it ends
    // as soon as on_removed returns and touches neither this object nor fd again.
    void stop();

    // True from a successful start() until on_removed has returned or stop() was called.
    bool running() const;

  private:
    struct Watch;
    static void watch_device(const std::shared_ptr<Watch>& watch, const fleet::DeviceIdentity& id,
                             int fd, const RemovedHandler& on_removed,
                             std::chrono::milliseconds interval);

    mutable std::mutex lock_;
    std::shared_ptr<Watch> watch_;
    std::thread thread_;
};

}  // namespace kivra
