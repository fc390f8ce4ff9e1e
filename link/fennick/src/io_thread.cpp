#include "io_thread.h"

#include <asio/post.hpp>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>

#include <pthread.h>

namespace fleet::fennick {

IoThread::IoThread() : io_(1), work_(asio::make_work_guard(io_)) {
    thread_ = std::thread([this] {
        pthread_setname_np(pthread_self(), "fennick-io");  // for debuggers and tests
        io_.run();
    });
}

IoThread::~IoThread() {
    stop();
}

bool IoThread::run_and_wait(const std::function<void()>& work) {
    if (is_current()) {
        work();
        return true;
    }
    if (io_.stopped()) return false;
    // The handler owns what it uses: the caller may stop waiting before it runs.
    struct Shared {
        std::promise<void> done;
        std::atomic<bool> started{false};
    };
    auto shared = std::make_shared<Shared>();
    auto finished = shared->done.get_future();
    asio::post(io_, [work, shared] {
        shared->started = true;
        work();
        shared->done.set_value();
    });
    // A stop before the posted work started drops it; waiting on would never end.
    while (finished.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        if (io_.stopped() && !shared->started) return false;
    }
    return true;
}

void IoThread::post(std::function<void()> work) {
    asio::post(io_, std::move(work));
}

void IoThread::stop() {
    work_.reset();
    io_.stop();
    if (!thread_.joinable()) return;
    if (is_current()) {
        thread_.detach();
    } else {
        thread_.join();
    }
}

}  // namespace fleet::fennick
