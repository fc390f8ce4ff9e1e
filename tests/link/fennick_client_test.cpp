// Client links over real loopback sockets: connecting, refusals and timeouts, both directions
// of traffic, and what a far end that closes or stops reading does to the sender.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <thread>

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "fennick/fennick.h"
#include "fennick_host.h"
#include "running_process.h"

namespace fennick_test {
namespace {

EventLog& log() {
    return EventLog::instance();
}

int32_t send_c(int32_t link, const std::vector<uint8_t>& m, int32_t* error) {
    return zSend_C(link, m.data(), static_cast<int32_t>(m.size()), error);
}

// Sends until a refusal other than a full queue, which only says the library has not yet
// seen the far end go; that refusal's error.
int32_t send_until_closed(int32_t link, const std::vector<uint8_t>& m) {
    for (int i = 0; i < 100000; ++i) {
        int32_t error = 0;
        if (send_c(link, m, &error) >= 0) continue;
        if (error != ENOBUFS) return error;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return 0;
}

class FennickClient : public ::testing::Test {
  protected:
    void SetUp() override {
        log().reset();
        int32_t error = 0;
        link_ = zInitTcp_C("127.0.0.1", server_.port, EventLog::proc, &error);
        ASSERT_GE(link_, 0) << error;
        peer_ = server_.accept_one();
        ASSERT_GE(peer_, 0);
    }
    void TearDown() override {
        zUninitTcp_C(link_);
        if (peer_ >= 0) close(peer_);
    }

    RawListener server_;
    int32_t link_ = -1;
    int peer_ = -1;
};

TEST_F(FennickClient, MessagesFlowBothWaysOnSideOne) {
    const auto run = message_run(40);
    write_all(peer_, run);
    ASSERT_TRUE(log().wait_for_count(link_, FENNICK_MESSAGE, 40));
    std::vector<uint8_t> received;
    for (const auto& e : log().of(link_)) {
        EXPECT_EQ(e.side, 1);
        received.insert(received.end(), e.data.begin(), e.data.end());
    }
    EXPECT_EQ(received, run);

    const auto m = message(48, 64);
    int32_t error = 0;
    EXPECT_EQ(send_c(link_, m, &error), static_cast<int32_t>(m.size()));
    EXPECT_EQ(read_bytes(peer_, m.size()), m);
}

TEST_F(FennickClient, NameResolvesToo) {
    const int32_t other = zInitTcp_C("localhost", server_.port, EventLog::proc, nullptr);
    ASSERT_GE(other, 0);
    const int peer = server_.accept_one();
    write_all(peer, message(31, 4));
    EXPECT_TRUE(log().wait_for_count(other, FENNICK_MESSAGE, 1));
    zUninitTcp_C(other);
    EXPECT_TRUE(peer_closed(peer));
    close(peer);
}

TEST_F(FennickClient, UninitClosesWithoutACallback) {
    zUninitTcp_C(link_);
    EXPECT_TRUE(peer_closed(peer_));
    EXPECT_TRUE(log().of(link_).empty());
    int32_t error = 0;
    EXPECT_EQ(send_c(link_, message(48, 0), &error), -1);
    EXPECT_EQ(error, EBADF);
}

// A last message sent right before the close (a stop, a refusal) still arrives: far more than
// the socket buffers hold is queued, then the link is closed at once.
TEST_F(FennickClient, WhatWasQueuedBeforeTheCloseStillGoesOut) {
    std::vector<uint8_t> sent;
    for (int i = 0; i < 64; ++i) {
        const auto m = message(50, 64 * 1024, static_cast<uint8_t>(i));
        ASSERT_GT(send_c(link_, m, nullptr), 0);
        sent.insert(sent.end(), m.begin(), m.end());
    }
    zUninitTcp_C(link_);
    int32_t error = 0;
    EXPECT_EQ(send_c(link_, message(48, 0), &error), -1);
    EXPECT_EQ(error, EBADF);
    EXPECT_EQ(read_bytes(peer_, sent.size()), sent);
    EXPECT_TRUE(peer_closed(peer_));
    EXPECT_TRUE(log().of(link_).empty());
}

// A program that queues far more than the socket buffers hold, closes and exits at once: what
// it queued still arrives whole before the end of the stream.
TEST(FennickExit, WhatWasQueuedBeforeExitStillArrives) {
    RawListener server;
    constexpr int kCount = 64;
    fleet::test::RunningProcess sender(
        {SEND_THEN_EXIT_PATH, std::to_string(server.port), std::to_string(kCount)});
    const int peer = server.accept_one();
    ASSERT_GE(peer, 0);
    std::vector<uint8_t> expected;
    for (int i = 0; i < kCount; ++i) {
        const auto m = message(50, 64 * 1024, static_cast<uint8_t>(i));
        expected.insert(expected.end(), m.begin(), m.end());
    }
    EXPECT_TRUE(read_bytes(peer, expected.size()) == expected);
    EXPECT_TRUE(peer_closed(peer));
    EXPECT_EQ(sender.wait(), 0) << sender.err();
    close(peer);
}

// A peer that reads nothing cannot hold a closed link's descriptor: it goes after the limit.
TEST_F(FennickClient, AClosedLinkGivesUpSendingToAPeerThatReadsNothing) {
    const auto big = message(49, 1 << 20);
    int32_t error = 0;
    for (int i = 0; i < 100 && error == 0; ++i) send_c(link_, big, &error);
    ASSERT_EQ(error, ENOBUFS);
    zUninitTcp_C(link_);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_NE(fcntl(link_, F_GETFD), -1) << "released before the limit";
    for (int i = 0; i < 100 && fcntl(link_, F_GETFD) != -1; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(fcntl(link_, F_GETFD), -1) << "still held 10 s after the close";
}

TEST_F(FennickClient, SendsAreRefusedOnceTheQueueHoldsItsBoundAndMemoryStaysBounded) {
    // The peer never reads: the kernel's buffers fill, then the link's queue.
    const auto big = message(49, 1 << 20);
    [[maybe_unused]] const size_t resident_before = resident_bytes();
    int32_t error = 0;
    size_t accepted = 0;
    for (int i = 0; i < 1000 && error == 0; ++i) {
        if (send_c(link_, big, &error) > 0) accepted += big.size();
    }
    ASSERT_EQ(error, ENOBUFS);
    ASSERT_TRUE(log().wait_for_count(link_, FENNICK_SEND_FULL, 1));
    EXPECT_GE(accepted, size_t{FENNICK_MAX_QUEUED} - big.size());

    const size_t resident = resident_bytes();
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(send_c(link_, big, &error), -1);
        EXPECT_EQ(error, ENOBUFS);
    }
    EXPECT_LT(resident_bytes(), resident + 8 * big.size());
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // Sanitizers keep shadow memory and freed blocks of their own; without them, the process
    // holds about the queue's bound.
    EXPECT_LT(resident_bytes(), resident_before + FENNICK_MAX_QUEUED + 16 * big.size());
#endif

    // The link stays open: once the peer reads, queued messages arrive whole and in order.
    const auto first = read_bytes(peer_, big.size());
    EXPECT_EQ(first, big);
    EXPECT_EQ(log().count(link_, FENNICK_CLOSED), 0u);
}

TEST_F(FennickClient, WriteAfterAnOrderlyPeerCloseDoesNotRaiseSigpipe) {
    std::signal(SIGPIPE, SIG_DFL);
    close(peer_);  // what the link sends after the close is answered with a reset
    peer_ = -1;
    EXPECT_EQ(send_until_closed(link_, message(48, 100)), EBADF);
    EXPECT_TRUE(log().wait_for_count(link_, FENNICK_CLOSED, 1));
}

struct InvalidSend {
    const char* name;
    std::vector<uint8_t> bytes;
};

void PrintTo(const InvalidSend& c, std::ostream* out) {
    *out << c.name;
}

std::vector<uint8_t> with_length(std::vector<uint8_t> m, uint32_t length) {
    for (int i = 0; i < 4; ++i) m[8 + i] = static_cast<uint8_t>(length >> (8 * i));
    return m;
}

class FennickInvalidSend : public FennickClient,
                           public ::testing::WithParamInterface<InvalidSend> {};

TEST_P(FennickInvalidSend, IsRefusedAndTheLinkStaysOpen) {
    const auto& bytes = GetParam().bytes;
    int32_t error = 0;
    const void* data = bytes.empty() ? nullptr : bytes.data();
    EXPECT_EQ(zSend_C(link_, data, static_cast<int32_t>(bytes.size()), &error), -1);
    EXPECT_EQ(error, EINVAL);
    const auto good = message(48, 8);
    EXPECT_EQ(send_c(link_, good, &error), static_cast<int32_t>(good.size()));
    EXPECT_EQ(read_bytes(peer_, good.size()), good);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, FennickInvalidSend,
    ::testing::Values(InvalidSend{"Nothing", {}},
                      InvalidSend{"ShorterThanAHeader", std::vector<uint8_t>(11, 0)},
                      InvalidSend{"WrongMagic",
                                  [] {
                                      auto m = message(48, 8);
                                      m[0] ^= 1;
                                      return m;
                                  }()},
                      InvalidSend{"LengthClaimsMore", with_length(message(48, 8), 9)},
                      InvalidSend{"LengthClaimsLess", with_length(message(48, 8), 7)},
                      InvalidSend{"TwoMessages",
                                  [] {
                                      auto m = message(48, 8);
                                      const auto n = message(48, 8);
                                      m.insert(m.end(), n.begin(), n.end());
                                      return m;
                                  }()},
                      InvalidSend{"PayloadOverTheLimit", message(49, FENNICK_MAX_PAYLOAD + 1)}),
    [](const auto& c) { return std::string(c.param.name); });

// The callback runs on the library's own thread; a connect made there must not wait for it.
TEST(FennickConnect, FromInsideACallback) {
    log().reset();
    RawListener far_end;
    std::atomic<int32_t> made{-2};
    log().set_hook([&](const Event& e) {
        if (e.event == FENNICK_ACCEPTED && made == -2) {
            made = zInitTcp_C("127.0.0.1", far_end.port, EventLog::proc, nullptr);
        }
    });
    const int32_t listener = zInitTcp_S(0, EventLog::proc);
    ASSERT_GE(listener, 0);
    const int trigger = raw_connect(local_port(listener));
    const int peer = far_end.accept_one();
    ASSERT_GE(peer, 0);
    // The store follows the connect the far end just accepted; the log has no event for it.
    for (int i = 0; i < 20000 && made == -2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_GE(made, 0);
    const auto m = message(26, 0);
    write_all(peer, m);
    EXPECT_TRUE(log().wait_for_count(made, FENNICK_MESSAGE, 1));
    EXPECT_EQ(send_c(made, m, nullptr), static_cast<int32_t>(m.size()));
    EXPECT_EQ(read_bytes(peer, m.size()), m);
    zUninitTcp_C(made);
    zUninitTcp_S(listener);
    // The accepted link outlives its listener: it ends with its far end, before the test does.
    const int accepted = log().accepted_link();
    close(trigger);
    EXPECT_TRUE(log().wait_for_count(accepted, FENNICK_CLOSED, 1));
    log().reset();
    close(peer);
}

TEST(FennickSend, UnknownLinkIsRefused) {
    const auto m = message(48, 0);
    for (int32_t link : {-1, 0, 1, 100000}) {
        int32_t error = 0;
        EXPECT_EQ(zSend_C(link, m.data(), static_cast<int32_t>(m.size()), &error), -1);
        EXPECT_EQ(error, EBADF);
        EXPECT_EQ(zSend_S(link, m.data(), static_cast<int32_t>(m.size()), nullptr), -1);
    }
}

TEST(FennickConnect, RefusedPortReportsTheError) {
    uint16_t port = 0;
    {
        RawListener closed_again;
        port = closed_again.port;
    }
    int32_t error = 0;
    EXPECT_EQ(zInitTcp_C("127.0.0.1", port, EventLog::proc, &error), -1);
    EXPECT_EQ(error, ECONNREFUSED);
}

TEST(FennickConnect, FullBacklogTimesOut) {
    // A listener with backlog 0 that never accepts: once one connection waits in its queue,
    // the kernel drops further connection requests, so a connect can only time out.
    RawListener full(0);
    std::vector<int> waiting;
    for (int i = 0; i < 2; ++i) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(full.port);
        connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        waiting.push_back(fd);
    }
    setenv("FENNICK_CONNECT_TIMEOUT_MS", "300", 1);
    int32_t error = 0;
    const int32_t link = zInitTcp_C("127.0.0.1", full.port, EventLog::proc, &error);
    unsetenv("FENNICK_CONNECT_TIMEOUT_MS");
    EXPECT_EQ(link, -1);
    EXPECT_EQ(error, ETIMEDOUT);
    for (int fd : waiting) close(fd);
}

struct BadArguments {
    const char* name;
    const char* host;
    int32_t port;
    FennickProc proc;
    int error;
};

void PrintTo(const BadArguments& c, std::ostream* out) {
    *out << c.name;
}

class FennickConnectArguments : public ::testing::TestWithParam<BadArguments> {};

TEST_P(FennickConnectArguments, AreRefused) {
    const auto& c = GetParam();
    int32_t error = 0;
    EXPECT_EQ(zInitTcp_C(c.host, c.port, c.proc, &error), -1);
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(zInitTcp_C(c.host, c.port, c.proc, nullptr), -1);  // error may be null
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, FennickConnectArguments,
    ::testing::Values(BadArguments{"NoHost", nullptr, 2200, EventLog::proc, EINVAL},
                      BadArguments{"NoProcedure", "127.0.0.1", 2200, nullptr, EINVAL},
                      BadArguments{"PortZero", "127.0.0.1", 0, EventLog::proc, EINVAL},
                      BadArguments{"PortTooHigh", "127.0.0.1", 65536, EventLog::proc, EINVAL},
                      BadArguments{"UnknownName", "no-such-host.invalid", 2200, EventLog::proc,
                                   EHOSTUNREACH}),
    [](const auto& c) { return std::string(c.param.name); });

TEST(FennickListen, PortInUseAndBadArgumentsAreRefused) {
    RawListener taken;
    EXPECT_EQ(zInitTcp_S(taken.port, EventLog::proc), -1);
    EXPECT_EQ(zInitTcp_S(0, nullptr), -1);
    EXPECT_EQ(zInitTcp_S(-1, EventLog::proc), -1);
    EXPECT_EQ(zInitTcp_S(65536, EventLog::proc), -1);
}

}  // namespace
}  // namespace fennick_test
