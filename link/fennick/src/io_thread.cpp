#include "io_thread.h"

#include <asio/post.hpp>
#include <chrono>

#include <pthread.h>

namespace fleet::fennick {
namespace {

// How long stopping waits for a callback that is still running.
constexpr auto kStopPatience = std::chrono::seconds(5);

}  // namespace

IoThread::IoThread() : io_(1), work_(asio::make_work_guard(io_)) {}

IoThread::~IoThread() {
    stop();
}

void IoThread::ensure_running() {
    std::lock_guard lock(mutex_);
    if (running_ || finished_) return;
    running_ = true;
    thread_ = std::thread([this] {
        io_.run();
        {
            std::lock_guard done(mutex_);
            finished_ = true;
        }
        ended_.notify_all();
    });
    id_ = thread_.get_id();
    pthread_setname_np(thread_.native_handle(), "fennick-io");  // for debuggers and tests
}

void IoThread::post(std::function<void()> work) {
    asio::post(io_, std::move(work));
}

bool IoThread::stop() {
    work_.reset();
    io_.stop();
    std::unique_lock lock(mutex_);
    if (!thread_.joinable()) return true;
    const bool ended =
        !is_current() && ended_.wait_for(lock, kStopPatience, [this] { return finished_; });
    if (ended) {
        thread_.join();
    } else {
        thread_.detach();
    }
    return ended;
}

}  // namespace fleet::fennick
