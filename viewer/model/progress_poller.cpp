#include "model/progress_poller.h"

#include <chrono>
#include <utility>

namespace velmora {

int progress_position(int64_t position, int64_t total) {
    if (position < 0 || total <= 0) return 0;
    const double percent = static_cast<double>(position) * 100.0 / static_cast<double>(total);
    // The read position runs up to two GOPs ahead of the picture and may pass the end.
    return percent >= 100.0 ? 100 : static_cast<int>(percent);
}

ProgressPoller::ProgressPoller(const EngineApi& engine, std::function<bool()> dragging,
                               std::function<void(int)> publish, int interval_ms)
    : engine_(engine),
      dragging_(std::move(dragging)),
      publish_(std::move(publish)),
      interval_ms_(interval_ms) {}

ProgressPoller::~ProgressPoller() {
    stop();
}

void ProgressPoller::start() {
    std::lock_guard lock(mutex_);
    if (thread_.joinable()) return;
    stop_requested_ = false;
    thread_ = std::thread([this] { run(); });
}

void ProgressPoller::stop() {
    std::thread finished;
    {
        std::lock_guard lock(mutex_);
        stop_requested_ = true;
        finished = std::move(thread_);
    }
    wake_.notify_all();
    if (finished.joinable()) finished.join();
}

bool ProgressPoller::running() const {
    std::lock_guard lock(mutex_);
    return thread_.joinable();
}

void ProgressPoller::run() {
    std::unique_lock lock(mutex_);
    while (!stop_requested_) {
        lock.unlock();
        poll_once();
        lock.lock();
        wake_.wait_for(lock, std::chrono::milliseconds(interval_ms_),
                       [this] { return stop_requested_; });
    }
}

void ProgressPoller::poll_once() {
    if (dragging_ && dragging_()) return;
    if (engine_.zTellp == nullptr || engine_.zTellTotalLen == nullptr) return;
    const int64_t position = engine_.zTellp();
    const int64_t total = engine_.zTellTotalLen();
    if (publish_) publish_(progress_position(position, total));
}

}  // namespace velmora
