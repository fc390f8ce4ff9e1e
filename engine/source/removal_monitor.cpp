#include "source/removal_monitor.h"

#include <atomic>
#include <system_error>

#include "playback/sync.h"

namespace kivra {

// What the monitor and its thread share; the thread holds its own reference, so it never
// needs the monitor object once started.
struct RemovalMonitor::Watch {
    ManualResetEvent ending;  // only ever stopped: cuts the wait between checks short
    std::atomic<bool> done{false};

    bool ended() { return !ending.sleep_unless_stopped(std::chrono::milliseconds(0)); }
};

void RemovalMonitor::watch_device(const std::shared_ptr<Watch>& watch,
                                  const fleet::DeviceIdentity& id, int fd,
                                  const RemovedHandler& on_removed,
                                  std::chrono::milliseconds interval) {
    while (watch->ending.sleep_unless_stopped(interval)) {
        const std::string reason = fleet::removal_reason(id, fd);
        if (reason.empty()) continue;
        // A stop() that came while the device was being checked wins over the report.
        if (!watch->ended()) on_removed(reason);
        break;
    }
    watch->done = true;
}

RemovalMonitor::~RemovalMonitor() {
    stop();
}

bool RemovalMonitor::start(fleet::DeviceIdentity id, int fd, RemovedHandler on_removed,
                           std::chrono::milliseconds interval) {
    if (interval.count() <= 0 || !on_removed) return false;
    std::thread finished;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (watch_ && !watch_->done) return false;
        // A watch that reported has ended by itself; its thread is collected here.
        finished = std::move(thread_);
        watch_.reset();
    }
    if (finished.joinable()) finished.join();

    auto watch = std::make_shared<Watch>();
    std::lock_guard<std::mutex> guard(lock_);
    if (watch_) return false;  // another start() came in between
    try {
        thread_ =
            std::thread(watch_device, watch, std::move(id), fd, std::move(on_removed), interval);
    } catch (const std::system_error&) {
        return false;
    }
    watch_ = std::move(watch);
    return true;
}

void RemovalMonitor::stop() {
    std::shared_ptr<Watch> watch;
    std::thread thread;
    {
        std::lock_guard<std::mutex> guard(lock_);
        watch = std::move(watch_);
        thread = std::move(thread_);
    }
    if (watch) watch->ending.stop();
    if (!thread.joinable()) return;
    if (thread.get_id() == std::this_thread::get_id()) {
        thread.detach();
    } else {
        thread.join();
    }
}

bool RemovalMonitor::running() const {
    std::lock_guard<std::mutex> guard(lock_);
    return watch_ && !watch_->done;
}

}  // namespace kivra
