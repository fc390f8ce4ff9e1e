// The address text of a recorder: a host, and a port where one is named.
#include <gtest/gtest.h>

#include "net/link_address.h"
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

}  // namespace
}  // namespace engine_net
