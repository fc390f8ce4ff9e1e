// Gives up on a recorder that does not connect: runs an action once a time has passed unless
// the timer was disarmed before. The action runs on the timer's own thread, so it may close
// links; disarming never blocks, so the transport's io thread may do it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace kivra::net {

class ListenTimer {
  public:
    ListenTimer() = default;
    ~ListenTimer() { stop(); }
    ListenTimer(const ListenTimer&) = delete;
    ListenTimer& operator=(const ListenTimer&) = delete;

    // Replaces a timer armed before; also from the action itself (a host trying again from
    // inside the report the action made).
    void arm(std::chrono::milliseconds after, std::function<void()> action);
    void disarm();
    // Disarms and waits for the timer's thread. Not from the action or the io thread.
    void stop();

  private:
    void run(std::chrono::steady_clock::time_point deadline, std::function<void()> action,
             unsigned armed);
    // Joins a timer thread that ended or is ending; one that is the caller is kept for the
    // next arm or stop, as no thread can join itself.
    void join_or_keep(std::thread thread);

    std::mutex lock_;
    std::condition_variable changed_;
    unsigned armed_ = 0;  // which arming is live; 0 none
    unsigned arms_ = 0;
    std::thread thread_;
    std::thread ending_;  // a thread that armed again from its own action
};

}  // namespace kivra::net
