// A host's own lock: callbacks that take it, and the six functions called while holding it.
// Opening never waits for the io thread, and closing waits only for the callback of the link
// or listener being closed, so neither can deadlock against another link's callback.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

#include <unistd.h>

#include "fennick/fennick.h"
#include "fennick_host.h"

namespace fennick_test {
namespace {

EventLog& log() {
    return EventLog::instance();
}

// A callback gives up on the host's lock after this long instead of hanging the test when
// the library makes the lock's holder wait for it.
constexpr auto kLockPatience = std::chrono::seconds(20);

// The host's lock. Waiting with a limit polls: the thread sanitizer does not follow timed
// waits on a mutex.
class HostLock {
  public:
    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }
    bool try_lock() { return mutex_.try_lock(); }
    bool try_lock_for(std::chrono::seconds patience) {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (!mutex_.try_lock()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

  private:
    std::mutex mutex_;
};

class FennickHostLock : public ::testing::Test {
  protected:
    void SetUp() override {
        log().reset();
        listener_ = zInitTcp_S(0, EventLog::proc);
        ASSERT_GE(listener_, 0);
    }
    void TearDown() override {
        if (held_.owns_lock()) held_.unlock();
        zUninitTcp_S(listener_);
        if (parked_link_ >= 0) zUninitTcp_S(parked_link_);
        log().reset();  // the hook uses this fixture's members
        if (parked_peer_ >= 0) close(parked_peer_);
    }

    // Takes the host's lock, then lets a message on an accepted link park the io thread in its
    // callback, waiting for that lock.
    void park_io_thread() {
        held_.lock();
        log().set_hook([this](const Event& e) {
            if (e.event != FENNICK_MESSAGE) return;
            parked_ = true;
            std::unique_lock lock(host_lock_, std::defer_lock);
            if (!lock.try_lock_for(kLockPatience)) gave_up_ = true;
        });
        parked_peer_ = raw_connect(local_port(listener_));
        write_all(parked_peer_, message(48, 4));
        ASSERT_TRUE(log().wait_until(
            [](const auto& events) { return count_of(events, FENNICK_MESSAGE) == 1; }));
        parked_link_ = log().accepted_link();
        while (!parked_) std::this_thread::yield();  // the hook follows the recorded event
    }

    int32_t listener_ = -1;
    HostLock host_lock_;
    std::unique_lock<HostLock> held_{host_lock_, std::defer_lock};
    std::atomic<bool> parked_{false}, gave_up_{false};
    int32_t parked_link_ = -1;
    int parked_peer_ = -1;
};

// What a call made under the lock may use; a handle it closes is set to -1.
struct Handles {
    int32_t& listener;
    int32_t& other_link;
    const RawListener& far_end;
};

struct LockedCall {
    const char* name;
    std::function<void(Handles&)> call;
};

void PrintTo(const LockedCall& c, std::ostream* out) {
    *out << c.name;
}

class FennickLockedCall : public FennickHostLock,
                          public ::testing::WithParamInterface<LockedCall> {};

TEST_P(FennickLockedCall, DoesNotWaitForAnotherLinksCallback) {
    RawListener far_end;
    int32_t other = zInitTcp_C("127.0.0.1", far_end.port, EventLog::proc, nullptr);
    ASSERT_GE(other, 0);
    const int other_peer = far_end.accept_one();
    park_io_thread();
    Handles handles{listener_, other, far_end};
    GetParam().call(handles);
    held_.unlock();
    EXPECT_FALSE(gave_up_);
    // A link closed under the lock is closed for its far end too, once the io thread is free.
    if (other < 0) {
        EXPECT_TRUE(peer_closed(other_peer));
    }
    zUninitTcp_C(other);
    close(other_peer);
}

INSTANTIATE_TEST_SUITE_P(Calls, FennickLockedCall,
                         ::testing::Values(LockedCall{"Connect",
                                                      [](Handles& h) {
                                                          const int32_t link = zInitTcp_C(
                                                              "127.0.0.1", h.far_end.port,
                                                              EventLog::proc, nullptr);
                                                          EXPECT_GE(link, 0);
                                                          zUninitTcp_C(link);
                                                      }},
                                           LockedCall{"Listen",
                                                      [](Handles&) {
                                                          const int32_t handle =
                                                              zInitTcp_S(0, EventLog::proc);
                                                          EXPECT_GE(handle, 0);
                                                          zUninitTcp_S(handle);
                                                      }},
                                           LockedCall{"CloseAnotherLink",
                                                      [](Handles& h) {
                                                          zUninitTcp_C(h.other_link);
                                                          h.other_link = -1;
                                                      }},
                                           LockedCall{"CloseTheListenerOfTheParkedLink",
                                                      [](Handles& h) {
                                                          zUninitTcp_S(h.listener);
                                                          h.listener = -1;
                                                      }}),
                         [](const auto& c) { return std::string(c.param.name); });

// A host that holds its lock while it connects and stores the id, and takes it in the close
// callback, never sees a close for an id it does not know, nor an id it holds already, even
// when the far end closes every link at once and two threads connect.
TEST_F(FennickHostLock, ConnectsAndImmediateClosesKeepEveryIdDistinct) {
    RawListener closing_end(64);
    std::atomic<bool> closing{true};
    std::thread closer([&] {
        while (closing) {
            const int fd = closing_end.accept_one();
            if (fd >= 0) close(fd);
        }
    });
    std::set<int32_t> live;
    std::atomic<int> unknown_closes{0}, reused_ids{0}, closes{0};
    std::condition_variable_any closed;
    log().set_hook([&](const Event& e) {
        if (e.event != FENNICK_CLOSED || e.side != 1) return;
        std::unique_lock lock(host_lock_, std::defer_lock);
        if (gave_up_ || !lock.try_lock_for(kLockPatience)) {
            gave_up_ = true;
            return;
        }
        unknown_closes += live.erase(e.link) == 0;
        ++closes;
        closed.notify_all();
    });
    constexpr int kRounds = 300;
    auto connect_rounds = [&] {
        for (int i = 0; i < kRounds && !gave_up_; ++i) {
            std::lock_guard lock(host_lock_);
            const int32_t link = zInitTcp_C("127.0.0.1", closing_end.port, EventLog::proc, nullptr);
            if (link >= 0) reused_ids += !live.insert(link).second;
        }
    };
    std::thread second(connect_rounds);
    connect_rounds();
    second.join();
    {
        std::unique_lock lock(host_lock_);
        EXPECT_TRUE(closed.wait_for(lock, kLockPatience, [&] { return closes == 2 * kRounds; }));
        EXPECT_TRUE(live.empty());
    }
    log().set_hook(nullptr);  // it uses this test's locals
    closing = false;
    close(raw_connect(closing_end.port));  // wakes the closer's accept
    closer.join();
    EXPECT_FALSE(gave_up_);
    EXPECT_EQ(unknown_closes, 0);
    EXPECT_EQ(reused_ids, 0);
}

}  // namespace
}  // namespace fennick_test
