// Links coming and going: descriptors given back, nothing called after a close returned, and
// a descriptor kept while its close callback runs.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>
#include <thread>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "fennick/fennick.h"
#include "fennick_host.h"

namespace fennick_test {
namespace {

EventLog& log() {
    return EventLog::instance();
}

// Hooks use the tests' own state: they go before a failed test's state does.
class FennickLifecycle : public ::testing::Test {
  protected:
    void SetUp() override { log().reset(); }
    void TearDown() override { log().reset(); }
};

TEST_F(FennickLifecycle, ThousandLinksOpenAndCloseAndGiveBackTheirDescriptors) {
    log().reset();
    const int32_t listener = zInitTcp_S(0, EventLog::proc);
    ASSERT_GE(listener, 0);
    const uint16_t port = local_port(listener);
    const size_t before = open_descriptor_count();

    constexpr size_t kBatch = 200;  // both ends of every link are in this process
    for (size_t done = kBatch; done <= 1000; done += kBatch) {
        std::vector<int32_t> links;
        for (size_t i = 0; i < kBatch; ++i) {
            int32_t error = 0;
            links.push_back(zInitTcp_C("127.0.0.1", port, EventLog::proc, &error));
            ASSERT_GE(links.back(), 0) << error;
        }
        ASSERT_TRUE(log().wait_until(
            [&](const auto& events) { return count_of(events, FENNICK_ACCEPTED) >= done; }));
        for (int32_t link : links) zUninitTcp_C(link);
        // The accepted ends see the closes and are closed by the library.
        ASSERT_TRUE(log().wait_until(
            [&](const auto& events) { return count_of(events, FENNICK_CLOSED) >= done; }));
    }
    EXPECT_EQ(log().total(FENNICK_CLOSED), 1000u);
    EXPECT_EQ(log().total(FENNICK_DROPPED), 0u);
    zUninitTcp_S(listener);
    EXPECT_TRUE(wait_for_descriptor_count(before - 1));
}

TEST_F(FennickLifecycle, DescriptorStaysOpenWhileTheCloseCallbackRuns) {
    log().reset();
    const int32_t listener = zInitTcp_S(0, EventLog::proc);
    ASSERT_GE(listener, 0);
    const uint16_t port = local_port(listener);
    std::atomic<int> port_seen_in_close{-1};
    log().set_hook([&](const Event& e) {
        if (e.event == FENNICK_CLOSED && fcntl(e.link, F_GETFD) != -1) {
            port_seen_in_close = local_port(e.link);  // a host reads its link's ports here
        }
    });
    const int peer = raw_connect(port);
    ASSERT_TRUE(log().wait_until(
        [](const auto& events) { return count_of(events, FENNICK_ACCEPTED) == 1; }));
    close(peer);
    EXPECT_TRUE(wait_for([&] { return port_seen_in_close != -1; }));
    EXPECT_EQ(port_seen_in_close, port);
    zUninitTcp_S(listener);
}

TEST_F(FennickLifecycle, UninitFromAnotherThreadWaitsForTheRunningCallback) {
    log().reset();
    const int32_t listener = zInitTcp_S(0, EventLog::proc);
    ASSERT_GE(listener, 0);
    std::atomic<bool> in_callback{false}, callback_returned{false};
    log().set_hook([&](const Event& e) {
        if (e.event != FENNICK_MESSAGE) return;
        in_callback = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        callback_returned = true;
    });
    const int peer = raw_connect(local_port(listener));
    write_all(peer, message(48, 4));
    ASSERT_TRUE(log().wait_until(
        [](const auto& events) { return count_of(events, FENNICK_MESSAGE) == 1; }));
    while (!in_callback) std::this_thread::yield();
    zUninitTcp_S(log().accepted_link());
    EXPECT_TRUE(callback_returned);
    zUninitTcp_S(listener);
    log().reset();
    close(peer);
}

// A far end floods the link with messages tagged with the link's generation; the host closes
// it at a random moment. A message of a closed generation reaching the host is a violation.
TEST_F(FennickLifecycle, NoCallbackAfterUninitReturns) {
    log().reset();
    const int32_t listener = zInitTcp_S(0, EventLog::proc);
    ASSERT_GE(listener, 0);
    const uint16_t port = local_port(listener);
    std::atomic<uint32_t> closed_generation{0};
    std::atomic<int> violations{0}, messages{0};
    log().keep_messages(false);  // a flood: only the hook looks at them
    log().set_hook([&](const Event& e) {
        if (e.event != FENNICK_MESSAGE) return;
        uint32_t generation = 0;
        std::memcpy(&generation, e.data.data() + 12, sizeof generation);
        if (generation <= closed_generation) ++violations;
        if (++messages % 16 == 0) std::this_thread::sleep_for(std::chrono::microseconds(50));
    });

    std::mt19937 random(7);
    for (uint32_t generation = 1; generation <= 200; ++generation) {
        const int peer = raw_connect(port);
        std::thread flood([peer, generation] {
            auto m = message(49, 64);
            std::memcpy(m.data() + 12, &generation, sizeof generation);
            std::vector<uint8_t> burst;
            for (int i = 0; i < 32; ++i) burst.insert(burst.end(), m.begin(), m.end());
            while (send(peer, burst.data(), burst.size(), MSG_NOSIGNAL) > 0) {
            }
        });
        int link = -1;
        ASSERT_TRUE(log().wait_until([&](const auto& events) {
            if (count_of(events, FENNICK_ACCEPTED) < generation) return false;
            link = events.back().link;  // messages are not kept: the last event is the accept
            return true;
        }));
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 2000));
        zUninitTcp_S(link);
        closed_generation = generation;
        flood.join();  // the far end sees the close and stops
        close(peer);
    }
    zUninitTcp_S(listener);
    EXPECT_EQ(log().total(FENNICK_CLOSED) + log().total(FENNICK_DROPPED), 0u);
    log().reset();
    EXPECT_GT(messages, 0);
    EXPECT_EQ(violations, 0);
}

}  // namespace
}  // namespace fennick_test
