// The pure parts of the links: a recorder's address text (a host, and a port where one is
// named), the ring order of a remote index, the gate links wait at for their hello, and what
// counts as a whole received GOP.
#include <gtest/gtest.h>

#include "common/le.h"
#include "format/gop_header.h"
#include "net/hello_gate.h"
#include "net/link_address.h"
#include "net/received_gop.h"
#include "net/remote_index.h"

namespace engine_net {
namespace {

TEST(LinkAddress, PortIsOptionalAndChecked) {
    struct Case {
        const char* text;
        bool valid;
        const char* host;
        int32_t port;
    };
    const Case cases[] = {
        {"10.0.0.7", true, "10.0.0.7", 2200},
        {"10.0.0.7:2300", true, "10.0.0.7", 2300},
        {"recorder.example:65535", true, "recorder.example", 65535},
        {"fe80::1", true, "fe80::1", 2200},  // IPv6 text names no port
        {"", false, "", 0},
        {":2300", false, "", 0},
        {"host:", false, "", 0},
        {"host:0", false, "", 0},
        {"host:65536", false, "", 0},
        {"host:22x", false, "", 0},
    };
    for (const Case& c : cases) {
        const auto address = kivra::net::parse_link_address(c.text);
        ASSERT_EQ(address.has_value(), c.valid) << c.text;
        if (!address) continue;
        EXPECT_EQ(address->host, c.host) << c.text;
        EXPECT_EQ(address->port, c.port) << c.text;
    }
}

TEST(RemoteIndexRing, RowsFollowTheRecordersRing) {
    EXPECT_EQ(kivra::net::advance_unit(5, 0), 5u);
    EXPECT_EQ(kivra::net::advance_unit(0xFFFFE, 1), 0xFFFFFu);
    EXPECT_EQ(kivra::net::advance_unit(0xFFFFE, 2), 1u);
    EXPECT_EQ(kivra::net::advance_unit(0xFFFFF, 0x10), 0x10u);
}

// Links that never say hello are turned away past the limit; the first hello takes the link and
// hands back every other waiting one.
TEST(HelloGate, BoundsTheWaitingLinksAndTheFirstHelloWins) {
    kivra::net::HelloGate gate;
    for (int32_t link = 0; link < static_cast<int32_t>(kivra::net::HelloGate::kMostWaiting);
         ++link) {
        EXPECT_TRUE(gate.accepted(link));
    }
    EXPECT_FALSE(gate.accepted(100));
    gate.closed(3);
    EXPECT_TRUE(gate.accepted(101));
    std::vector<int32_t> to_close;
    EXPECT_TRUE(gate.hello(5, to_close));
    EXPECT_EQ(to_close.size(), kivra::net::HelloGate::kMostWaiting - 1);
    std::vector<int32_t> none;
    EXPECT_FALSE(gate.hello(6, none));
    EXPECT_FALSE(gate.accepted(102));
}

TEST(ReceivedGop, ItsOwnLengthMustAgreeWithWhatArrived) {
    struct Case {
        uint32_t total_length;
        size_t received;
        bool whole;
    };
    const Case cases[] = {
        {1000, 1000, true},  {1000, 1024, true},  // padded to 512 by the recorder
        {1000, 1536, false}, {1000, 999, false},  // a block too many, or cut short
        {0, 512, false},     {20, 512, false},    // shorter than its own header
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> gop(c.received, 0);
        fleet::store_u32(gop.data(), fleet::format::kGopMagic);
        fleet::store_u32(gop.data() + 32, c.total_length);
        EXPECT_EQ(kivra::net::is_whole_gop(gop), c.whole) << c.total_length << " in " << c.received;
    }
    std::vector<uint8_t> no_magic(1000, 0);
    fleet::store_u32(no_magic.data() + 32, 1000);
    EXPECT_FALSE(kivra::net::is_whole_gop(no_magic));
}

}  // namespace
}  // namespace engine_net
