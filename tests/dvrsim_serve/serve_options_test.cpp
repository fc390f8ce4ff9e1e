// What `dvrsim serve` accepts on its command line and what it refuses before serving anything.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dvrsim/serve_options.h"

namespace {

using dvrsim::LiveRefusal;
using dvrsim::parse_serve_args;

TEST(ServeOptions, ReadsEveryOption) {
    const auto o = parse_serve_args({"--disk", "a.img", "--listen", "0.0.0.0:2300", "--first-unit",
                                     "0xFFFFF", "--refuse", "denied", "--cut-after", "7", "--pace",
                                     "2.5", "--stats", "s.txt"});
    ASSERT_TRUE(o) << o.error().message;
    EXPECT_EQ(o->device_path, "a.img");
    EXPECT_TRUE(o->pair_base.empty());
    EXPECT_EQ(o->listen_port, 2300);
    EXPECT_FALSE(o->dial);
    EXPECT_EQ(o->first_unit, 0xFFFFFu);
    EXPECT_EQ(o->refusal, LiveRefusal::Denied);
    EXPECT_EQ(o->cut_after, 7);
    EXPECT_DOUBLE_EQ(o->pace, 2.5);
    EXPECT_EQ(o->stats_path, "s.txt");
}

TEST(ServeOptions, DefaultsToTheRecordersPort) {
    const auto o = parse_serve_args({"--pair", "base"});
    ASSERT_TRUE(o) << o.error().message;
    EXPECT_EQ(o->listen_port, 2200);
    EXPECT_FALSE(o->first_unit);
    EXPECT_EQ(o->refusal, LiveRefusal::None);
    EXPECT_EQ(o->cut_after, 0);
    EXPECT_DOUBLE_EQ(o->pace, 1.0);
}

TEST(ServeOptions, DialsHostAndPort) {
    const auto o = parse_serve_args({"--pair", "base", "--dial", "engine.local:2201"});
    ASSERT_TRUE(o) << o.error().message;
    EXPECT_TRUE(o->dial);
    EXPECT_EQ(o->dial_host, "engine.local");
    EXPECT_EQ(o->dial_port, 2201);
}

TEST(ServeOptions, RefusesWhatCannotBeServed) {
    const std::vector<std::vector<std::string>> refused = {
        {},
        {"--pair", "a", "--disk", "b"},
        {"--pair", "a", "--listen", "127.0.0.1:2200"},  // the transport listens on every address
        {"--pair", "a", "--listen", "70000"},
        {"--pair", "a", "--dial", "host"},
        {"--pair", "a", "--dial", "host:0"},
        {"--pair", "a", "--dial", "host:2201", "--listen", "2200"},
        {"--pair", "a", "--first-unit", "0"},
        {"--pair", "a", "--first-unit", "0x100000"},
        {"--pair", "a", "--refuse", "maybe"},
        {"--pair", "a", "--cut-after", "0"},
        {"--pair", "a", "--pace", "0"},
        {"--pair", "a", "--pace", "fast"},
        {"--pair", "a", "--stats"},
        {"--pair", "a", "--unknown", "1"},
    };
    for (const auto& args : refused) {
        std::string line;
        for (const auto& a : args) line += a + " ";
        SCOPED_TRACE(line);
        EXPECT_FALSE(parse_serve_args(args));
    }
}

}  // namespace
