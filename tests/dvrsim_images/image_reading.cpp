#include "image_reading.h"

#include <fstream>
#include <map>
#include <stdexcept>

#include "process.h"

namespace fleet::test {

DvrsimRun run_dvrsim_image(const std::string& kind, const std::string& path,
                           const std::vector<std::string>& args) {
    std::vector<std::string> argv{DVRSIM_PATH, kind, "--out", path};
    argv.insert(argv.end(), args.begin(), args.end());
    const ProcessResult r = run_process(argv);
    return {r.exit_code, r.err};
}

MadeImage load_made_image(const std::string& path) {
    MadeImage made;
    made.path = path;
    made.truth = nlohmann::json::parse(read_file(path + ".truth.json"));
    for (const auto& line : split_lines(read_file(path + ".truth.jsonl"))) {
        made.lines.push_back(nlohmann::json::parse(line));
    }
    return made;
}

const MadeImage& made_once(const std::string& name, const std::string& kind,
                           const std::vector<std::string>& args) {
    static TempDir dir;
    static std::map<std::string, MadeImage> images;
    if (auto found = images.find(name); found != images.end()) return found->second;
    const std::string path = dir.file(name + ".img");
    const auto run = run_dvrsim_image(kind, path, args);
    if (run.exit_code != 0) throw std::runtime_error(name + ": " + run.err);
    return images.emplace(name, load_made_image(path)).first->second;
}

ImageBytes::ImageBytes(const std::string& path) {
    source_.open(path);
}

std::vector<uint8_t> ImageBytes::read(int64_t offset, size_t n) {
    std::vector<uint8_t> bytes(n);
    if (!source_.read_at(offset, bytes.data(), n)) return {};
    return bytes;
}

format::IndexHeader ImageBytes::header_at(int64_t area) {
    const auto bytes = read(area, format::kIndexRecordSize);
    return bytes.empty() ? format::IndexHeader{0, 0, 0, 0}
                         : format::IndexHeader::decode(bytes.data());
}

format::IndexUnit ImageBytes::unit_at(int64_t area, int64_t n) {
    const auto bytes =
        read(area + n * static_cast<int64_t>(format::kIndexRecordSize), format::kIndexRecordSize);
    return bytes.empty() ? format::IndexUnit{0, 0, -1} : format::IndexUnit::decode(bytes.data());
}

std::optional<format::GopHeader> ImageBytes::gop_at(int64_t offset) {
    const auto block = read(offset, format::kBlockSize);
    if (block.empty() || !format::is_gop_start(block.data(), block.size())) return std::nullopt;
    return format::read_gop_header(block.data(), block.size());
}

int64_t physical_origin(const nlohmann::json& truth) {
    return truth["kind"] == "disk" ? truth["data_offset"].get<int64_t>() : 0;
}

}  // namespace fleet::test
