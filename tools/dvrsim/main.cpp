// dvrsim: writes recordings as a vehicle's recorder would, for tests and demos.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "dvrsim/command_line.h"
#include "dvrsim/recorder.h"
#include "dvrsim/ring_image.h"
#include "dvrsim/serve_options.h"
#include "dvrsim/serve_run.h"

namespace {

int print_usage_error(const std::string& message) {
    std::fprintf(stderr, "dvrsim: %s\n(see 'dvrsim --help')\n", message.c_str());
    return 2;
}

int fail(const fleet::Error& error) {
    std::fprintf(stderr, "dvrsim: %s\n", error.message.c_str());
    return 1;
}

int run_record(const std::vector<std::string>& args) {
    auto parsed = dvrsim::parse_record_args(args);
    if (!parsed) return print_usage_error(parsed.error().message);
    dvrsim::RecordOptions& options = *parsed;
    options.progress = isatty(STDERR_FILENO) != 0;
    auto recorded = dvrsim::record(options);
    if (!recorded) return fail(recorded.error());
    const dvrsim::RecordSummary& summary = *recorded;
    std::printf(
        "dvrsim: wrote %s.dvr, %s.inx, %s.truth.jsonl: %lld GOPs, %lld bytes, %d channels, "
        "version %d\n",
        options.base.c_str(), options.base.c_str(), options.base.c_str(),
        static_cast<long long>(summary.gops), static_cast<long long>(summary.stream_bytes),
        options.channels, options.stream_version);
    return 0;
}

int run_image(dvrsim::ImageKind kind, const std::vector<std::string>& args) {
    auto parsed = dvrsim::parse_image_args(kind, args);
    if (!parsed) return print_usage_error(parsed.error().message);
    const dvrsim::ImageOptions& options = *parsed;
    auto made = dvrsim::make_image(options);
    if (!made) return fail(made.error());
    const std::string& image = options.record.base;
    std::printf(
        "dvrsim: wrote %s, %s.truth.json, %s.truth.jsonl: %lld bytes, %lld GOPs written, "
        "%lld played, %lld laps\n",
        image.c_str(), image.c_str(), image.c_str(), static_cast<long long>(made->device_size),
        static_cast<long long>(made->gops_written), static_cast<long long>(made->gops_played),
        static_cast<long long>(made->laps));
    return 0;
}

int run_serve(const std::vector<std::string>& args) {
    auto parsed = dvrsim::parse_serve_args(args);
    if (!parsed) return print_usage_error(parsed.error().message);
    return dvrsim::run_serve(*parsed);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return print_usage_error("missing command");
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::fputs(dvrsim::kUsage, stdout);
        return 0;
    }
    const std::string command = args[0];
    if (command != "record" && command != "disk" && command != "card" && command != "serve") {
        return print_usage_error("unknown command " + command);
    }
    args.erase(args.begin());
    for (const auto& a : args) {
        if (a == "--help" || a == "-h") {
            std::fputs(dvrsim::kUsage, stdout);
            return 0;
        }
    }
    av_log_set_level(AV_LOG_ERROR);  // the encoder's statistics are noise here
    if (command == "record") return run_record(args);
    if (command == "serve") return run_serve(args);
    if (command == "disk") return run_image(dvrsim::ImageKind::Disk, args);
    return run_image(dvrsim::ImageKind::Card, args);
}
