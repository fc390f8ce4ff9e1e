// What the served recorder's tests share: recordings made by dvrsim, the recorder running as
// its own process, and the recordings read back the plain way to compare with what it sends.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine_side.h"
#include "format/index_format.h"
#include "process.h"
#include "running_process.h"

namespace fleet::test {

// A one-channel file pair of `seconds` one-second GOPs with a unit every `unit_every`; BASE.
std::string record_pair(const TempDir& dir, const std::string& name, int seconds, int unit_every);
// A disk or card image (kind "disk" or "card") that has wrapped its ring and its unit numbers;
// IMG. Its truth is IMG.truth.json.
std::string make_wrapped_image(const TempDir& dir, const std::string& kind,
                               const std::vector<std::string>& extra);
nlohmann::json read_truth(const std::string& image);
// The truth's time units from the oldest still recorded: the index a recorder lists.
std::vector<nlohmann::json> listed_units(const nlohmann::json& truth);
// Where physical offset 0 lies in the image: the data partition (disk) or the device start.
int64_t physical_origin(const nlohmann::json& truth);

// The images the tests serve, by name.
struct ImageCase {
    const char* name;
    const char* kind;
    std::vector<std::string> extra;
};
void PrintTo(const ImageCase& c, std::ostream* os);
extern const ImageCase kImageCases[2];

// `dvrsim serve ARGS...`, ready once it said so.
class ServedRecorder {
  public:
    explicit ServedRecorder(const std::vector<std::string>& args);
    bool ready() const { return !ready_line_.empty(); }
    const std::string& ready_line() const { return ready_line_; }
    // Sends the signal and returns the exit code.
    int stop(int signal_number);
    int wait() { return process_.wait(); }
    std::string err() const { return process_.err(); }

  private:
    RunningProcess process_;
    std::string ready_line_;
};

// A GOP of a recording: where it starts and its bytes without the block padding.
struct StoredGop {
    int64_t offset = 0;
    std::vector<uint8_t> bytes;
};
// Every GOP of BASE.dvr, from its headers' total lengths.
std::vector<StoredGop> pair_gops(const std::string& base);
// Header and units of BASE.inx, straight from the file.
format::IndexHeader pair_header(const std::string& base);
std::vector<std::array<uint8_t, 16>> pair_records(const std::string& base);

// The recorder's answer to one request: the next message, parsed.
std::optional<recorder::Reply> next_reply(EngineLink& link);
// The GOPs of video messages up to the end of a download (an empty GOP), with their flags and
// remaining percentages; stops early when anything else comes or the link closes.
struct VideoRun {
    std::vector<std::vector<uint8_t>> gops;
    std::vector<uint32_t> flags;
    std::vector<uint32_t> remaining;
    bool ended = false;  // the zero-length end came
};
VideoRun read_download(EngineLink& link);
// Reads `count` video messages (live picture).
VideoRun read_live(EngineLink& link, size_t count);

}  // namespace fleet::test
