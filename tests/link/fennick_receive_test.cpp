// Receiving over real loopback sockets: whole messages however the bytes arrive, and links
// dropped over what they send.
#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

#include <unistd.h>

#include "fennick/fennick.h"
#include "fennick_host.h"

namespace fennick_test {
namespace {

class FennickReceive : public ::testing::Test {
  protected:
    void SetUp() override {
        log().reset();
        listener_ = zInitTcp_S(0, EventLog::proc);
        ASSERT_GE(listener_, 0);
        peer_ = raw_connect(local_port(listener_));
        ASSERT_TRUE(log().wait_until([](const auto& events) { return !events.empty(); }));
        link_ = log().accepted_link();
        ASSERT_GE(link_, 0);
    }
    void TearDown() override {
        zUninitTcp_S(link_);
        zUninitTcp_S(listener_);
        close(peer_);
    }
    static EventLog& log() { return EventLog::instance(); }
    std::vector<std::vector<uint8_t>> messages() const {
        std::vector<std::vector<uint8_t>> out;
        for (const auto& e : log().of(link_)) {
            if (e.event == FENNICK_MESSAGE) out.push_back(e.data);
        }
        return out;
    }

    int listener_ = -1;
    int peer_ = -1;
    int link_ = -1;
};

std::vector<std::vector<uint8_t>> split(const std::vector<uint8_t>& run, size_t count) {
    std::vector<std::vector<uint8_t>> out;
    size_t at = 0;
    for (size_t i = 0; i < count; ++i) {
        const size_t size = 12 + (run[at + 8] | run[at + 9] << 8);
        out.emplace_back(run.begin() + static_cast<long>(at),
                         run.begin() + static_cast<long>(at + size));
        at += size;
    }
    return out;
}

TEST_F(FennickReceive, AcceptedLinkIsAnnouncedWithTheListenersPort) {
    const auto events = log().of(link_);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0].event, FENNICK_ACCEPTED);
    EXPECT_EQ(events[0].side, 0);
    EXPECT_EQ(events[0].length, local_port(listener_));
}

TEST_F(FennickReceive, MessagesWrittenOneByteAtATimeArriveWhole) {
    const auto run = message_run(3);
    for (uint8_t byte : run) {
        write_all(peer_, {byte});
        std::this_thread::sleep_for(std::chrono::microseconds(200));  // one byte per read
    }
    ASSERT_TRUE(log().wait_for_count(link_, FENNICK_MESSAGE, 3));
    EXPECT_EQ(messages(), split(run, 3));
}

TEST_F(FennickReceive, ManyMessagesInOneWriteArriveEachInItsOwnCallback) {
    const auto run = message_run(500);
    write_all(peer_, run);
    ASSERT_TRUE(log().wait_for_count(link_, FENNICK_MESSAGE, 500));
    EXPECT_EQ(messages(), split(run, 500));
}

TEST_F(FennickReceive, LargestPayloadArrivesWhole) {
    const auto big = message(49, FENNICK_MAX_PAYLOAD, 0xC3);
    std::thread writer([&] { write_all(peer_, big); });
    ASSERT_TRUE(log().wait_for_count(link_, FENNICK_MESSAGE, 1));
    writer.join();
    EXPECT_EQ(messages().at(0), big);
}

struct DropCase {
    const char* name;
    std::vector<uint8_t> bytes;  // sent after one good message
    int reason;
};

void PrintTo(const DropCase& c, std::ostream* out) {
    *out << c.name;
}

class FennickDrop : public FennickReceive, public ::testing::WithParamInterface<DropCase> {};

std::vector<uint8_t> with_header_word(std::vector<uint8_t> bytes, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    return bytes;
}

TEST_P(FennickDrop, LinkIsDroppedWithTheReasonAndClosed) {
    const auto good = message(26, 20);
    auto bytes = good;
    bytes.insert(bytes.end(), GetParam().bytes.begin(), GetParam().bytes.end());
    write_all(peer_, bytes);

    ASSERT_TRUE(log().wait_for_count(link_, FENNICK_DROPPED, 1));
    const auto events = log().of(link_);
    ASSERT_EQ(events.size(), 3u);  // accepted, the good message, dropped
    EXPECT_EQ(events[1].data, good);
    EXPECT_EQ(events[2].length, GetParam().reason);
    EXPECT_TRUE(peer_closed(peer_));
    int error = 0;
    EXPECT_EQ(zSend_S(link_, good.data(), static_cast<int32_t>(good.size()), &error), -1);
    EXPECT_EQ(error, EBADF);
}

INSTANTIATE_TEST_SUITE_P(
    Header, FennickDrop,
    ::testing::Values(
        DropCase{"WrongMagic", with_header_word(message(26, 4), 0, 0xABCD0430), EBADMSG},
        DropCase{"PayloadOverTheLimit",
                 // Only the header: the refusal must not wait for (or make room for) the payload.
                 with_header_word(std::vector<uint8_t>(message(49, 0)), 8, FENNICK_MAX_PAYLOAD + 1),
                 EMSGSIZE},
        DropCase{"LengthNearFourGigabytes",
                 with_header_word(std::vector<uint8_t>(message(49, 0)), 8, 0xFFFFFFF0), EMSGSIZE}),
    [](const auto& c) { return std::string(c.param.name); });

TEST_F(FennickReceive, OrderlyPeerCloseReportsZero) {
    close(peer_);
    peer_ = -1;
    ASSERT_TRUE(log().wait_for_count(link_, FENNICK_CLOSED, 1));
    EXPECT_EQ(log().of(link_).back().length, 0);
}

TEST_F(FennickReceive, PeerResetReportsTheError) {
    reset_close(peer_);
    peer_ = -1;
    ASSERT_TRUE(log().wait_for_count(link_, FENNICK_CLOSED, 1));
    EXPECT_EQ(log().of(link_).back().length, ECONNRESET);
}

TEST_F(FennickReceive, ClosingFromTheMessageCallbackStopsDelivery) {
    const int link = link_;
    log().set_hook([link](const Event& e) {
        if (e.link == link && e.event == FENNICK_MESSAGE) zUninitTcp_S(link);
    });
    write_all(peer_, message_run(20));  // likely one read: the rest must not be delivered
    EXPECT_TRUE(peer_closed(peer_));
    EXPECT_EQ(log().count(link_, FENNICK_MESSAGE), 1u);
    EXPECT_EQ(log().count(link_, FENNICK_CLOSED), 0u);
}

TEST_F(FennickReceive, SendingFromTheMessageCallbackEchoes) {
    log().set_hook([](const Event& e) {
        if (e.event != FENNICK_MESSAGE) return;
        int error = 0;
        if (zSend_S(e.link, e.data.data(), static_cast<int32_t>(e.data.size()), &error) < 0) {
            ADD_FAILURE() << "send from the callback: " << error;
        }
    });
    const auto run = message_run(50);
    write_all(peer_, run);
    EXPECT_EQ(read_bytes(peer_, run.size()), run);
}

TEST_F(FennickReceive, EitherFunctionPairServesAnAcceptedLink) {
    const auto m = message(31, 4);
    EXPECT_EQ(zSend_C(link_, m.data(), static_cast<int32_t>(m.size()), nullptr),
              static_cast<int32_t>(m.size()));
    EXPECT_EQ(read_bytes(peer_, m.size()), m);
    zUninitTcp_C(link_);
    EXPECT_TRUE(peer_closed(peer_));
    EXPECT_EQ(log().count(link_, FENNICK_CLOSED), 0u);
}

TEST_F(FennickReceive, ClosingTheListenerKeepsItsAcceptedLinks) {
    zUninitTcp_S(listener_);
    listener_ = -1;
    const auto m = message(48, 8);
    write_all(peer_, m);
    ASSERT_TRUE(log().wait_for_count(link_, FENNICK_MESSAGE, 1));
    EXPECT_EQ(zSend_S(link_, m.data(), static_cast<int32_t>(m.size()), nullptr),
              static_cast<int32_t>(m.size()));
    EXPECT_EQ(read_bytes(peer_, m.size()), m);
}

}  // namespace
}  // namespace fennick_test
