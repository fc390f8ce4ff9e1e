#include "serve_fixture.h"

#include <stdexcept>

#include "common/le.h"
#include "format/gop_header.h"

namespace fleet::test {

namespace {

std::vector<uint8_t> file_bytes(const std::string& path) {
    const std::string text = read_file(path);
    return {text.begin(), text.end()};
}

void run_dvrsim(const std::vector<std::string>& args) {
    std::vector<std::string> argv{DVRSIM_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    const ProcessResult made = run_process(argv);
    if (made.exit_code != 0) throw std::runtime_error("dvrsim failed: " + made.err);
}

}  // namespace

std::string record_pair(const TempDir& dir, const std::string& name, int seconds, int unit_every) {
    const std::string base = dir.file(name);
    run_dvrsim({"record", "--out", base, "--channels", "1", "--stream-version", "3", "--fps", "1",
                "--no-audio", "--seconds", std::to_string(seconds), "--unit-every",
                std::to_string(unit_every)});
    return base;
}

std::string make_wrapped_image(const TempDir& dir, const std::string& kind,
                               const std::vector<std::string>& extra) {
    const std::string image = dir.file(kind + ".img");
    std::vector<std::string> all{kind, "--out",        image,    "--seconds",
                                 "90", "--ring-size",  "1M",     "--unit-every",
                                 "4",  "--first-unit", "0xFFFF0"};
    all.insert(all.end(), extra.begin(), extra.end());
    run_dvrsim(all);
    return image;
}

std::vector<nlohmann::json> listed_units(const nlohmann::json& truth) {
    const auto oldest = truth["oldest_unit"].get<uint32_t>();
    std::vector<nlohmann::json> units;
    for (const auto& unit : truth["time_units"]) {
        if (unit["n"].get<uint32_t>() == oldest || !units.empty()) units.push_back(unit);
    }
    return units;
}

int64_t physical_origin(const nlohmann::json& truth) {
    return truth["kind"] == "disk" ? truth["data_offset"].get<int64_t>() : 0;
}

const ImageCase kImageCases[2] = {
    {"disk", "disk", {}},
    // The stored header still names units the ring has overwritten since.
    {"card_with_stale_header", "card", {"--stale-header"}},
};

void PrintTo(const ImageCase& c, std::ostream* os) {
    *os << c.name;
}

nlohmann::json read_truth(const std::string& image) {
    return nlohmann::json::parse(read_file(image + ".truth.json"));
}

ServedRecorder::ServedRecorder(const std::vector<std::string>& args)
    : process_([&] {
          std::vector<std::string> argv{DVRSIM_PATH, "serve"};
          argv.insert(argv.end(), args.begin(), args.end());
          return argv;
      }()) {
    const std::string first = process_.wait_for_line("");
    if (first.rfind("serving on ", 0) == 0 || first.rfind("dialled ", 0) == 0) ready_line_ = first;
}

int ServedRecorder::stop(int signal_number) {
    process_.signal(signal_number);
    return process_.wait();
}

std::vector<StoredGop> pair_gops(const std::string& base) {
    const auto stream = file_bytes(base + ".dvr");
    std::vector<StoredGop> gops;
    size_t at = 0;
    while (at < stream.size()) {
        const auto header = format::read_gop_header(stream.data() + at, stream.size() - at);
        if (!header || header->total_length() == 0) break;
        const size_t length = header->total_length();
        if (length > stream.size() - at) break;
        gops.push_back(
            {static_cast<int64_t>(at), {stream.begin() + at, stream.begin() + at + length}});
        at += static_cast<size_t>(format::round_up_block(static_cast<int64_t>(length)));
    }
    return gops;
}

format::IndexHeader pair_header(const std::string& base) {
    const auto index = file_bytes(base + ".inx");
    if (index.size() < 16) return {0, 0, 0, 0};
    return format::IndexHeader::decode(index.data());
}

std::vector<std::array<uint8_t, 16>> pair_records(const std::string& base) {
    const auto index = file_bytes(base + ".inx");
    std::vector<std::array<uint8_t, 16>> records;
    for (size_t at = 16; at + 16 <= index.size(); at += 16) {
        std::array<uint8_t, 16> record;
        std::copy_n(index.begin() + at, 16, record.begin());
        records.push_back(record);
    }
    return records;
}

std::optional<recorder::Reply> next_reply(EngineLink& link) {
    const auto received = link.next();
    if (!received) return std::nullopt;
    return recorder::parse_reply(received->message());
}

namespace {

// Takes video messages while `more` says so; false when something else came.
template <class More>
bool read_video(EngineLink& link, VideoRun& run, More more) {
    while (more()) {
        const auto received = link.next();
        if (!received) return false;
        const auto video = recorder::parse_video(received->message());
        if (!video) return false;
        if (video->gop.empty()) {
            run.ended = true;
            return true;
        }
        run.gops.emplace_back(video->gop.begin(), video->gop.end());
        run.flags.push_back(video->frame_flags);
        run.remaining.push_back(video->remaining_percent);
    }
    return true;
}

}  // namespace

VideoRun read_download(EngineLink& link) {
    VideoRun run;
    read_video(link, run, [&] { return !run.ended; });
    return run;
}

VideoRun read_live(EngineLink& link, size_t count) {
    VideoRun run;
    read_video(link, run, [&] { return !run.ended && run.gops.size() < count; });
    return run;
}

}  // namespace fleet::test
