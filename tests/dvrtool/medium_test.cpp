// dvrtool on recorder disks and cards made by dvrsim: what it reads from an image equals the
// truth the simulator wrote beside it, and images that are no recorder's are refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "kivra/kivra.h"
#include "process.h"
#include "run_dvrtool.h"
#include "scoped_env.h"

namespace dvrtool_test {
namespace {

using fleet::test::ProcessResult;
using fleet::test::read_file;
using fleet::test::run_process;
using fleet::test::split_lines;
using fleet::test::TempDir;
using nlohmann::json;

struct ImageCase {
    const char* name;
    const char* kind;  // "disk" or "card"
    std::vector<std::string> options;
    int runs;             // the recording lies in one run, or in two around the ring
    bool stale_first;     // the stored header's first unit is no longer the oldest
    bool off_ring_units;  // some listed unit points off the recorded runs (offset -1)
};

void PrintTo(const ImageCase& c, std::ostream* os) {
    *os << c.name;
}

// A 1100K ring puts a disk's seam into the reserve past the ring end and leaves a card's
// stale tail before the device end. Units every 2 GOPs from 0xFFFF0 run over 0xFFFFF to 1,
// and over two laps one of the first lap's is left pointing between the end and the start.
const ImageCase kImages[] = {
    {"disk", "disk", {"--seconds", "20"}, 1, false, false},
    {"disk_wrapped_stale",
     "disk",
     {"--ring-size", "1100K", "--seconds", "150", "--unit-every", "2", "--first-unit", "0xFFFF0",
      "--stale-header"},
     2,
     true,
     true},
    {"card", "card", {"--seconds", "20"}, 1, false, false},
    {"card_wrapped", "card", {"--ring-size", "1100K", "--seconds", "80"}, 2, false, false},
    {"card_wrapped_stale",
     "card",
     {"--ring-size", "1100K", "--seconds", "80", "--first-unit", "0xFFFFC", "--stale-header"},
     2,
     true,
     false},
};

ProcessResult make_image(const std::string& kind, const std::string& path,
                         const std::vector<std::string>& options) {
    std::vector<std::string> args = {DVRSIM_PATH, kind, "--out", path};
    args.insert(args.end(), options.begin(), options.end());
    return run_process(args);
}

class MediumImage : public testing::TestWithParam<ImageCase> {
  protected:
    void SetUp() override {
        const ImageCase& c = GetParam();
        image_ = dir_.file(std::string(c.name) + ".img");
        ProcessResult made = make_image(c.kind, image_, c.options);
        ASSERT_EQ(made.exit_code, 0) << made.err;
        truth_ = json::parse(read_file(image_ + ".truth.json"));
        // The case covers what its name says, or it proves nothing.
        ASSERT_EQ(truth_["runs"], c.runs);
        ASSERT_EQ(truth_["header"]["first"] != truth_["oldest_unit"], c.stale_first);
        bool off_ring = false;
        for (const auto& u : truth_["time_units"]) off_ring |= u["logical"] == -1;
        ASSERT_EQ(off_ring, c.off_ring_units);
    }

    // dvrtool COMMAND --disk|--card IMAGE EXTRA..., which must succeed without a warning.
    std::string tool(const std::string& command, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {command, std::string("--") + GetParam().kind, image_};
        args.insert(args.end(), extra.begin(), extra.end());
        ProcessResult r = dvrtool(args);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(r.err, "");
        return r.out;
    }

    TempDir dir_;
    std::string image_;
    json truth_;
};

TEST_P(MediumImage, TelemetryIsTheTruthLineForLine) {
    const std::vector<json> reported = json_lines(tool("telemetry", {"--json"}));
    const std::vector<json> truth = json_lines(read_file(image_ + ".truth.jsonl"));
    ASSERT_FALSE(truth.empty());
    ASSERT_EQ(reported.size(), truth.size());
    for (size_t i = 0; i < truth.size(); ++i) ASSERT_EQ(reported[i], truth[i]) << "line " << i;
}

// number, time, tag and the offset a host sees, from dvrtool's listing or from the truth.
json listed_units(const json& units, const char* number, const char* offset) {
    json out = json::array();
    for (const auto& u : units) out.push_back({u[number], u["time"], u["tag"], u[offset]});
    return out;
}

uint32_t le32_of_hex(const std::string& hex) {
    uint32_t v = 0;
    for (size_t i = 4; i-- > 0;) {
        v = v << 8 | static_cast<uint32_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
    }
    return v;
}

TEST_P(MediumImage, IndexesListWhatTheRecorderWrote) {
    const json time = json::parse(tool("index", {"--json"}));
    EXPECT_EQ(time["first"], truth_["oldest_unit"]);
    EXPECT_EQ(time["stored_first"], truth_["header"]["first"]);
    EXPECT_EQ(time["last"], truth_["header"]["last"]);
    EXPECT_EQ(time["wrapped"], truth_["header"]["wrapped"]);
    EXPECT_EQ(listed_units(time["units"], "number", "offset"),
              listed_units(truth_["time_units"], "n", "logical"));

    const json event = json::parse(tool("index", {"--event", "--json"}));
    EXPECT_EQ(event["first"], truth_["event_header"]["first"]);
    EXPECT_EQ(event["last"], truth_["event_header"]["last"]);
    EXPECT_EQ(listed_units(event["units"], "number", "offset"),
              listed_units(truth_["event_units"], "n", "logical"));

    // The recorder keeps a quick record beside each time unit, its number in the first four
    // bytes (little-endian).
    const json quick = json::parse(tool("index", {"--quick", "--json"}));
    ASSERT_EQ(quick["records"].size(), time["units"].size());
    for (size_t i = 0; i < quick["records"].size(); ++i) {
        const json& record = quick["records"][i];
        const uint32_t n = time["units"][i]["number"];
        EXPECT_EQ(record["number"], n);
        const std::string bytes = record["bytes"];
        ASSERT_EQ(bytes.size(), 256u);
        EXPECT_EQ(le32_of_hex(bytes), n);
    }
}

TEST_P(MediumImage, InfoGivesTheTimesAndTheRing) {
    const json info = json::parse(tool("info", {"--json"}));
    EXPECT_EQ(info["begin_time"], truth_["begin_time"]);
    EXPECT_EQ(info["end_time"], truth_["end_time"]);
    EXPECT_EQ(info["length"], truth_["length"]);
    EXPECT_EQ(info["gops"], truth_["gops"].size());
    const json& ring = info["ring"];
    EXPECT_EQ(ring["wrapped"], truth_["runs"] == 2);
    EXPECT_EQ(ring["oldest_unit"], truth_["oldest_unit"]);
    EXPECT_EQ(ring["start"], truth_["start"]);
    EXPECT_EQ(ring["end_of_data"], truth_["end_of_data"]);
    EXPECT_EQ(ring["length"], truth_["length"]);
    EXPECT_EQ(ring["seam"], truth_["runs"] == 2 ? truth_["seam"] : json(nullptr));
}

// logical offset, time and stored length of each GOP in play order.
json gop_rows(const std::vector<json>& gops, const char* offset, const char* stored) {
    json out = json::array();
    for (const auto& g : gops) out.push_back({g[offset], g["time"], g[stored]});
    return out;
}

TEST_P(MediumImage, GopsInPlayOrderBothWays) {
    const json truth = gop_rows(truth_["gops"], "logical", "stored_length");
    ASSERT_FALSE(truth.empty());
    EXPECT_EQ(gop_rows(json_lines(tool("gops", {"--json"})), "offset", "stored"), truth);
    std::vector<json> backward = json_lines(tool("gops", {"--backward", "--json"}));
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(gop_rows(backward, "offset", "stored"), truth);
}

TEST_P(MediumImage, VerifyFindsNoDamage) {
    EXPECT_EQ(tool("verify"), std::to_string(truth_["gops"].size()) + " GOPs, 0 damaged regions\n");
}

INSTANTIATE_TEST_SUITE_P(Images, MediumImage, testing::ValuesIn(kImages),
                         [](const auto& image) { return std::string(image.param.name); });

struct Refusal {
    const char* kind;       // what dvrsim makes
    const char* decoy;      // how it is spoiled; nullptr for a good image
    const char* read_as;    // the option dvrtool is given
    const char* complaint;  // follows the image's path
};

TEST(DvrtoolMedium, ImagesThatAreNoRecordersAreRefused) {
    const Refusal refusals[] = {
        {"disk", "one-partition", "--disk", " is not a recorder disk"},
        {"card", "mark", "--card", " is not a recorder card"},
        {"card", "base-unaligned", "--card", " is not a recorder card"},
        {"card", "data-outside", "--card", " is not a recorder card"},
        {"card", nullptr, "--disk", " is not a recorder disk"},
        {"disk", nullptr, "--card", " is not a recorder card"},
    };
    TempDir dir;
    for (const Refusal& r : refusals) {
        const std::string image =
            dir.file(std::string(r.kind) + "-" + (r.decoy ? r.decoy : "good") + ".img");
        SCOPED_TRACE(image + " read with " + r.read_as);
        std::vector<std::string> options = {"--seconds", "3"};
        if (r.decoy) options.insert(options.end(), {"--decoy", r.decoy});
        ProcessResult made = make_image(r.kind, image, options);
        ASSERT_EQ(made.exit_code, 0) << made.err;
        for (const char* command : {"info", "telemetry", "index"}) {
            ProcessResult refused = dvrtool({command, r.read_as, image});
            EXPECT_EQ(refused.exit_code, 1);
            EXPECT_EQ(refused.out, "");
            const auto err = split_lines(refused.err);
            ASSERT_EQ(err.size(), 1u) << refused.err;
            EXPECT_EQ(err[0].rfind("dvrtool: " + image + r.complaint, 0), 0u) << err[0];
        }
    }
}

std::vector<json> of_kind(const std::vector<json>& events, const std::string& cb) {
    std::vector<json> out;
    for (const auto& e : events) {
        if (e["cb"] == cb) out.push_back(e);
    }
    return out;
}

// The engine opens the disk on its own thread; play starts once it reports the disk opened,
// at the oldest frame on the ring.
TEST(DvrtoolMedium, PlayOpensADiskThroughTheEngine) {
    fleet::test::ScopedEnv clock("KIVRA_AUDIO", "clock");
    TempDir dir;
    const std::string image = dir.file("disk.img");
    ProcessResult made = make_image("disk", image, {"--ring-size", "1100K", "--seconds", "80"});
    ASSERT_EQ(made.exit_code, 0) << made.err;

    ProcessResult played =
        dvrtool({"play", "--disk", image, "--headless", "--events", "--for", "1"});
    ASSERT_EQ(played.exit_code, 0) << played.err;
    const std::vector<json> events = json_lines(played.out);
    const std::vector<json> disk = of_kind(events, "disk");
    ASSERT_EQ(disk.size(), 1u);
    EXPECT_EQ(disk[0]["event"], KIVRA_DISK_OPENED);
    EXPECT_EQ(disk[0]["type"], KIVRA_SOURCE_DISK);
    EXPECT_EQ(disk[0]["path"], image);
    const std::vector<json> frames = of_kind(events, "frame");
    ASSERT_FALSE(frames.empty());
    json first = json_lines(read_file(image + ".truth.jsonl")).at(0);
    for (const char* key : {"gop", "frame", "channels"}) first.erase(key);
    json shown = frames[0];
    for (const char* key : {"t", "cb"}) shown.erase(key);
    EXPECT_EQ(shown, first);

    const std::string decoy = dir.file("decoy.img");
    made = make_image("disk", decoy, {"--seconds", "3", "--decoy", "one-partition"});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    ProcessResult refused = dvrtool({"play", "--disk", decoy, "--headless", "--events"});
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_EQ(refused.err.rfind("dvrtool: " + decoy + " is not a recorder disk", 0), 0u)
        << refused.err;
    const std::vector<json> failed = of_kind(json_lines(refused.out), "disk");
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0]["event"], KIVRA_DISK_OPEN_FAILED);
    EXPECT_TRUE(of_kind(json_lines(refused.out), "frame").empty());
}

}  // namespace
}  // namespace dvrtool_test
