// Arbitrary bytes as one GOP; every frame the parser accepts becomes the JSON line that
// `dvrtool telemetry --json` prints and dvrsim's sidecar holds. Writing it must not fail on
// any recorded text (JSON wants UTF-8), and the line must read back as the same values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <nlohmann/json.hpp>

#include "format/frame_set.h"
#include "format/gop_parser.h"
#include "report/json_text.h"
#include "report/telemetry_json.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

// Recorded bytes as JSON text: valid UTF-8 (nlohmann's writer is strict), no byte lost.
void check_text(const std::string& bytes) {
    const std::string text = fleet::utf8_text(bytes);
    check(text.size() >= bytes.size() && text.size() <= 2 * bytes.size());
    check(nlohmann::json::parse(nlohmann::json(text).dump()).get<std::string>() == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fleet::format::FrameSetStorage storage;
    FrameSet& set = storage.get();
    if (fleet::format::parse_gop(data, size, nullptr, set) != fleet::format::kParseOk) return 0;
    for (int k = 0; k < set.frames_per_channel; ++k) {
        const fleet::FrameTelemetry t = fleet::telemetry_of_frame(set, 0, k);
        if (t.car_id) check_text(*t.car_id);
        if (t.position) check_text(*t.position);
        const nlohmann::ordered_json j = fleet::to_json(t);
        const std::string line = j.dump();
        check(line.find('\n') == std::string::npos);
        check(nlohmann::ordered_json::parse(line) == j);
    }
    return 0;
}
