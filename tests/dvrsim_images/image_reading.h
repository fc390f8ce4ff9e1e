// Reading simulated device images the plain way: preads at offsets the truth names, records
// decoded with the format's own decoders, so the checks do not go through the simulator.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "format/byte_source.h"
#include "format/gop_header.h"
#include "format/index_format.h"

namespace fleet::test {

struct MadeImage {
    std::string path;
    nlohmann::json truth;
    std::vector<nlohmann::json> lines;  // IMG.truth.jsonl
};

// Runs `dvrsim KIND --out PATH ARGS...`; the exit code and messages go to the caller.
struct DvrsimRun {
    int exit_code = -1;
    std::string err;
};
DvrsimRun run_dvrsim_image(const std::string& kind, const std::string& path,
                           const std::vector<std::string>& args);
// Reads the image's truth files.
MadeImage load_made_image(const std::string& path);
// Images take seconds to make, so each is made once per test program under its name and shared
// by the tests; throws when dvrsim fails.
const MadeImage& made_once(const std::string& name, const std::string& kind,
                           const std::vector<std::string>& args);

class ImageBytes {
  public:
    explicit ImageBytes(const std::string& path);
    bool ok() const { return source_.is_open(); }
    int64_t size() const { return source_.size(); }
    // Empty when the read fails.
    std::vector<uint8_t> read(int64_t offset, size_t n);
    format::IndexHeader header_at(int64_t area);
    format::IndexUnit unit_at(int64_t area, int64_t n);
    // The GOP header when a GOP starts at `offset`.
    std::optional<format::GopHeader> gop_at(int64_t offset);

  private:
    format::FileByteSource source_;
};

// Where unit offset 0 lies in the device: the data partition (disk) or the device start.
int64_t physical_origin(const nlohmann::json& truth);

}  // namespace fleet::test
