// Ctrl-C in the middle of `dvrtool download`: a recorder scripted here serves a dvrsim pair's
// index, then sends the first GOPs of the download and holds the rest back, so the download is
// surely under way and unfinished when the test interrupts it. The stopped download keeps a
// pair that opens and holds exactly the GOPs that came.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "fennick/fennick.h"
#include "format/gop_header.h"
#include "link/recorder_messages.h"
#include "run_dvrtool.h"
#include "running_process.h"

namespace dvrtool_test {
namespace {

namespace rm = fleet::recorder;
using fleet::test::ProcessResult;
using fleet::test::read_file;
using fleet::test::run_process;
using fleet::test::RunningProcess;
using fleet::test::split_lines;
using fleet::test::TempDir;

constexpr int kRecorderPort = 2200;
constexpr size_t kGopsSent = 3;

std::vector<uint8_t> bytes_of(const std::string& text) {
    return {text.begin(), text.end()};
}

// What the scripted recorder serves: the pair's index records and the GOPs of its stream; of a
// download it sends the reply and the first kGopsSent GOPs, then nothing.
struct Script {
    std::vector<uint8_t> index;              // header and units, as in the .inx
    std::vector<std::vector<uint8_t>> gops;  // as a recorder sends them: without block padding
    std::atomic<int> data_requests{0};
};

Script* script = nullptr;

void send(int32_t link, const std::vector<uint8_t>& message) {
    int32_t error = 0;
    zSend_S(link, message.data(), static_cast<int32_t>(message.size()), &error);
}

void answer(int32_t link, const rm::Request& request) {
    switch (request.kind) {
        case rm::Request::Kind::IndexHeader: {
            std::array<uint8_t, 16> header{};
            std::copy_n(script->index.begin(), header.size(), header.begin());
            send(link, rm::encode_index_header_reply(true, header));
            break;
        }
        case rm::Request::Kind::IndexUnits: {
            const std::span<const uint8_t> index(script->index);
            const size_t from = std::min<size_t>(16 * size_t{request.first_unit}, index.size());
            const size_t count =
                std::min<size_t>(16 * size_t{request.unit_count}, index.size() - from);
            send(link, rm::encode_index_units(index.subspan(from, count)));
            break;
        }
        case rm::Request::Kind::Data:
            ++script->data_requests;
            send(link, rm::encode_reply(rm::kSubData, rm::kStatusAccepted));
            for (size_t i = 0; i < kGopsSent; ++i)
                send(link, rm::encode_video(2, 50, script->gops[i]));
            break;
        default:
            break;
    }
}

int32_t on_recorder_link(int32_t, int32_t link, const void* data, int32_t length, int32_t event) {
    if (event != FENNICK_MESSAGE) return 0;
    const auto message = rm::parse_message(
        std::span(static_cast<const uint8_t*>(data), static_cast<size_t>(length)));
    if (!message) return 0;
    if (const auto request = rm::parse_request(*message)) answer(link, *request);
    return 0;
}

class ScriptedRecorder {
  public:
    explicit ScriptedRecorder(Script& s) {
        script = &s;
        listener_ = zInitTcp_S(kRecorderPort, on_recorder_link);
    }
    ~ScriptedRecorder() {
        if (listener_ >= 0) zUninitTcp_S(listener_);  // no callback runs after it returns
        script = nullptr;
    }
    bool listening() const { return listener_ >= 0; }

  private:
    int32_t listener_ = -1;
};

// Every GOP of a stream, `padded` to whole blocks as stored or cut to its own length.
std::vector<std::vector<uint8_t>> gops_of(const std::string& dvr, bool padded) {
    const std::string stream = read_file(dvr);
    std::vector<std::vector<uint8_t>> gops;
    for (const auto& gop : json_lines(dvrtool({"gops", dvr, "--json"}).out)) {
        auto bytes = bytes_of(stream.substr(gop["offset"].get<size_t>(), gop["stored"]));
        const auto header = fleet::format::read_gop_header(bytes.data(), bytes.size());
        if (header) {
            const auto length = static_cast<size_t>(header->total_length());
            bytes.resize(padded ? static_cast<size_t>(
                                      fleet::format::round_up_block(static_cast<int64_t>(length)))
                                : length);
        }
        gops.push_back(std::move(bytes));
    }
    return gops;
}

size_t file_size(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<size_t>(st.st_size) : 0;
}

TEST(DownloadInterrupted, MidWayKeepsAPairOfTheGopsThatCame) {
    TempDir dir;
    const std::string base = dir.file("rec");
    const ProcessResult made = run_process({DVRSIM_PATH, "record", "--out", base, "--channels", "4",
                                            "--stream-version", "3", "--seconds", "12", "--fps",
                                            "4", "--unit-every", "2", "--start", "1773475200"});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    Script served;
    served.index = bytes_of(read_file(base + ".inx"));
    served.gops = gops_of(base + ".dvr", false);
    const auto padded = gops_of(base + ".dvr", true);
    ASSERT_GT(served.gops.size(), kGopsSent + 2);
    ScriptedRecorder recorder(served);
    ASSERT_TRUE(recorder.listening());

    const std::string out = dir.file("held");
    RunningProcess download({DVRTOOL_PATH, "download", "--remote", "127.0.0.1", "--from",
                             "2026-03-14 08:00:00", "--to", "2026-03-14 08:00:10", "-o", out});
    size_t before_last = 0, expected = 0;
    for (size_t i = 0; i < kGopsSent; ++i) {
        if (i + 1 < kGopsSent) before_last += padded[i].size();
        expected += padded[i].size();
    }
    // The engine's file writes are buffered: more bytes than the GOPs before the last one show
    // that the last one has come and is being written. The guard only keeps a broken engine
    // from hanging the test.
    for (int tries = 0; tries < 3000 && file_size(out + ".dvr") <= before_last; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_GT(file_size(out + ".dvr"), before_last);
    ASSERT_EQ(served.data_requests, 1);
    ASSERT_TRUE(download.signal(SIGINT));

    EXPECT_EQ(download.wait(), 130) << download.err();
    EXPECT_EQ(download.wait_for_line(out), out + ".dvr");
    EXPECT_EQ(download.wait_for_line(out), out + ".inx");
    EXPECT_EQ(download.err(),
              "dvrtool: download stopped: the pair holds what came so far and opens as a "
              "recording\n");

    const ProcessResult verified = dvrtool({"verify", out + ".dvr"});
    EXPECT_EQ(verified.exit_code, 0) << verified.out << verified.err;
    const auto kept = gops_of(out + ".dvr", true);
    ASSERT_EQ(kept.size(), kGopsSent);
    for (size_t i = 0; i < kGopsSent; ++i) EXPECT_EQ(kept[i], padded[i]) << "GOP " << i;
    const ProcessResult index = dvrtool({"index", out + ".inx", "--json"});
    ASSERT_EQ(index.exit_code, 0) << index.err;
    const auto units = nlohmann::json::parse(index.out)["units"];
    ASSERT_EQ(units.size(), 2u);  // the first GOP's unit and the closing one
    EXPECT_EQ(units[0]["offset"], 0);
    EXPECT_EQ(units[1]["offset"], expected);
}

}  // namespace
}  // namespace dvrtool_test
