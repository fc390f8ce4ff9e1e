// The one thread that owns every socket and makes every callback. It starts with the first
// use of the library and is stopped and joined when the library's state is destroyed.
#pragma once

#include <functional>
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
    bool is_current() const { return std::this_thread::get_id() == thread_.get_id(); }

    // Runs work on the io thread and returns once it ran; runs it at once when called there.
    // False (work not run) once the thread has stopped.
    bool run_and_wait(const std::function<void()>& work);
    void post(std::function<void()> work);
    // Ends the thread after the handler running now; from the io thread itself (a callback
    // that ends the process) the thread is left to finish on its own.
    void stop();

  private:
    asio::io_context io_;
    asio::executor_work_guard<asio::io_context::executor_type> work_;
    std::thread thread_;
};

}  // namespace fleet::fennick
