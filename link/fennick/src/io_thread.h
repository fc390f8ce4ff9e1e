// The one thread that owns every socket and makes every callback. It starts with the first
// link or listener and is stopped when the library's state is destroyed.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>

namespace fleet::fennick {

class IoThread {
  public:
    IoThread();
    ~IoThread();
    IoThread(const IoThread&) = delete;
    IoThread& operator=(const IoThread&) = delete;

    asio::io_context& context() { return io_; }
    bool is_current() const { return std::this_thread::get_id() == id_.load(); }

    // Starts the thread unless it runs already.
    void ensure_running();
    void post(std::function<void()> work);
    // Ends the thread after the handler running now and returns once it ended, or after
    // a bounded wait when a callback does not return (the thread is then left behind, as it
    // is when a callback itself ends the process). True when no thread is left running.
    bool stop();

  private:
    asio::io_context io_;
    asio::executor_work_guard<asio::io_context::executor_type> work_;
    std::mutex mutex_;
    std::condition_variable ended_;
    bool running_ = false;
    bool finished_ = false;
    std::thread thread_;
    std::atomic<std::thread::id> id_;
};

}  // namespace fleet::fennick
