// Exit codes and messages of the command-line contract.
#include <gtest/gtest.h>

#include <fstream>

#include "pair_builder.h"
#include "run_dvrtool.h"

namespace dvrtool_test {
namespace {

using fleet::test::split_lines;

struct Case {
    std::vector<std::string> args;
    int exit_code;
    std::string message;  // expected in stdout for 0, in the first stderr line otherwise
};

void expect_outcome(const Case& c) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    auto result = dvrtool(c.args);
    ASSERT_EQ(result.exit_code, c.exit_code) << result.err;
    auto err = split_lines(result.err);
    switch (c.exit_code) {
        case 0:
            EXPECT_NE(result.out.find(c.message), std::string::npos) << result.out;
            EXPECT_TRUE(err.empty()) << result.err;
            break;
        case 1:
            ASSERT_EQ(err.size(), 1u) << result.err;
            EXPECT_EQ(err[0].rfind("dvrtool: ", 0), 0u) << err[0];
            EXPECT_NE(err[0].find(c.message), std::string::npos) << err[0];
            break;
        default:
            ASSERT_EQ(err.size(), 2u) << result.err;
            EXPECT_NE(err[0].find(c.message), std::string::npos) << err[0];
            EXPECT_EQ(err[1].rfind("Try 'dvrtool", 0), 0u) << err[1];
            EXPECT_TRUE(result.out.empty()) << result.out;
    }
}

TEST(DvrtoolCli, ExitCodesAndMessages) {
    fleet::test::TempDir dir;
    PairBuilder pair(dir.file("rec"));
    write_three_gops(pair);
    const std::string text = dir.file("notes.dvr");
    std::ofstream(text) << "these are notes, not a recording, but long enough for a header\n";
    const std::string missing = dir.file("missing.dvr");
    const std::string out = dir.file("out.h264");

    const Case cases[] = {
        {{}, 2, "missing command"},
        {{"--help"}, 0, "usage: dvrtool COMMAND"},
        {{"extract-es", "--help"}, 0, "usage: dvrtool extract-es FILE.dvr --channel N"},
        {{"frobnicate", pair.dvr()}, 2, "unknown command 'frobnicate'"},
        {{"info"}, 2, "missing FILE"},
        {{"info", pair.dvr(), "--bogus"}, 2, "unknown option '--bogus'"},
        {{"info", pair.dvr(), "--index"}, 2, "'--index' needs a value"},
        {{"gops", pair.dvr(), "extra"}, 2, "unexpected argument 'extra'"},
        {{"extract-es", pair.dvr(), "--channel", "1"}, 2, "missing -o"},
        {{"extract-es", pair.dvr(), "--channel", "17", "-o", out}, 2, "from 1 to 16"},
        {{"info", missing}, 1, "cannot open " + missing + ": No such file or directory"},
        {{"info", text}, 1, "cannot open " + dir.file("notes.inx")},
        {{"verify", text, "--index", text}, 1, text + ": not a time index"},
        {{"index", text}, 1, text + ": not a time index"},
        {{"telemetry", pair.dvr(), "--index", missing}, 1, "cannot open " + missing},
        {{"info", "--disk", text, "--card", text}, 2, "give --disk or --card, not both"},
        {{"info", pair.dvr(), "--disk", text}, 2, "unexpected argument '" + pair.dvr() + "'"},
        {{"gops", "--card", text, "--index", text}, 2, "--index goes with FILE"},
        {{"index", text, "--quick"}, 2, "--event and --quick read a disk or card"},
        {{"index", "--disk", text, "--event", "--quick"}, 2, "give --event or --quick"},
        {{"bench", "--disk", text}, 2, "missing the benchmark's name"},
        {{"info", "--disk", missing}, 1, "cannot open " + missing + ": No such file or directory"},
        {{"telemetry", "--card", text}, 1, text + " is not a recorder card"},
        {{"download"}, 2, "missing --remote HOST[:PORT]"},
        {{"download", "--help"}, 0, "usage: dvrtool download --remote HOST[:PORT]"},
        {{"download", "--remote", "h", "--from", "2024-05-01 12:00:00"}, 2, "missing --to"},
        {{"download", "--remote", "h", "--from", "2024-05-01 12:00:00", "--to",
          "2024-05-01 12:00:10"},
         2,
         "missing -o BASE"},
        {{"download", "--remote", "h", "--disk", text}, 2, "unknown option '--disk'"},
        {{"index", "--remote", "h:0"}, 2, "must be a number from 1 to 65535"},
        {{"index", "--remote", "h", pair.inx()}, 2, "unexpected argument '" + pair.inx() + "'"},
        {{"index", "--remote", "h", "--card", text}, 2, "without --disk, --card or --index"},
        {{"index", "--remote", "h", "--event"}, 2, "--event and --quick read a disk or card"},
        {{"play", "--live", "h", "--headless", "--do", "1:pause"}, 2, "--do goes with a recording"},
        {{"play", "--live", "h"}, 2, "only --headless play"},
        {{"play", "--live", "h", "--headless", "--channels", "0"}, 2, "from 1 to 16"},
        {{"play", "--live", "h", "--headless", "--channels", "2,9"}, 2, "are not sent live"},
        {{"play", "--live", "h", "--headless", "--channels", "2,2"}, 2, "given twice"},
        {{"info", pair.dvr(), "--json"}, 0, "\"gops\": 3"},
        {{"verify", pair.dvr()}, 0, "3 GOPs, 0 damaged regions"},
    };
    for (const auto& c : cases) expect_outcome(c);
}

}  // namespace
}  // namespace dvrtool_test
