// dvrsim: writes recordings as a vehicle's recorder would, for tests and demos.
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "dvrsim/recorder.h"

namespace {

constexpr const char* kUsage =
    "usage: dvrsim record --out BASE --channels N --stream-version V --seconds S\n"
    "                     [--resolution R[,R]...] [--fps F] [--audio-rate HZ]\n"
    "                     [--audio-bits 8|16] [--audio-channels 1|2] [--no-audio]\n"
    "                     [--seed K] [--start EPOCH] [--vehicle-id TEXT]\n"
    "                     [--scene flat|camera]\n"
    "                     [--damage garbage|corrupt-header|truncate|zero-length-magic|\n"
    "                               broken-pictures|undecodable]...\n"
    "\n"
    "Writes BASE.dvr (GOP stream), BASE.inx (time index) and BASE.truth.jsonl (what each\n"
    "frame carries, in the schema of 'dvrtool telemetry --json'). One GOP per second with F\n"
    "frames per channel of real H.264; the same seed gives the same files.\n"
    "  --channels       1, 4, 8 or 16 (16 needs stream version 3)\n"
    "  --stream-version 0 (no telemetry), 1, 2 or 3\n"
    "  --resolution     cif (default), d1 or 720p; a list gives channel 1, 2, ... its own\n"
    "                   size and the last one to the channels after it (d1,cif: D1 first,\n"
    "                   CIF the rest)\n"
    "  --fps            frames per channel per second, 1..16 (1..15 for version 3; default 8)\n"
    "  --audio-rate     4000 8000 11025 16000 22050 32000 44100 (default 8000)\n"
    "  --scene          flat: flat colours, small and quick to decode (default);\n"
    "                   camera: detail and grain, the bitrate and decoding cost of footage\n";

int print_usage_error(const std::string& message) {
    std::fprintf(stderr, "dvrsim: %s\n(see 'dvrsim --help')\n", message.c_str());
    return 2;
}

bool parse_int(const char* text, long long lo, long long hi, long long& out) {
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < lo || v > hi) return false;
    out = v;
    return true;
}

// The options of `record`, or why they do not describe a recording.
fleet::Result<dvrsim::RecordOptions> parse_record(const std::vector<std::string>& args) {
    dvrsim::RecordOptions o;
    bool have_channels = false, have_version = false, have_seconds = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--no-audio") {
            o.audio = false;
            continue;
        }
        if (i + 1 >= args.size()) return fleet::fail(name + " needs a value");
        const std::string& value = args[++i];
        long long n = 0;
        auto number = [&](long long lo, long long hi, auto& field) {
            if (!parse_int(value.c_str(), lo, hi, n)) return false;
            field = static_cast<std::remove_reference_t<decltype(field)>>(n);
            return true;
        };
        bool ok = true;
        if (name == "--out")
            o.base = value;
        else if (name == "--channels")
            ok = have_channels = number(1, 64, o.channels);
        else if (name == "--stream-version")
            ok = have_version = number(0, 255, o.stream_version);
        else if (name == "--seconds")
            ok = have_seconds = number(1, 86400, o.seconds);
        else if (name == "--fps")
            ok = number(1, 64, o.fps);
        else if (name == "--audio-rate")
            ok = number(1, 1000000, o.audio_rate);
        else if (name == "--audio-bits")
            ok = number(1, 64, o.audio_bits);
        else if (name == "--audio-channels")
            ok = number(1, 64, o.audio_channels);
        else if (name == "--seed")
            ok = number(0, INT64_MAX, o.seed);
        else if (name == "--start")
            ok = number(0, UINT32_MAX, o.start_time);
        else if (name == "--vehicle-id")
            o.vehicle_id = value;
        else if (name == "--resolution")
            ok = dvrsim::parse_resolutions(value, o.resolutions);
        else if (name == "--scene")
            ok = dvrsim::parse_scene(value, o.scene);
        else if (name == "--damage") {
            dvrsim::Damage d;
            ok = dvrsim::parse_damage(value, d);
            if (ok) o.damage.push_back(d);
        } else {
            return fleet::fail("unknown option " + name);
        }
        if (!ok) return fleet::fail("bad value for " + name + ": " + value);
    }
    if (o.base.empty() || !have_channels || !have_version || !have_seconds) {
        return fleet::fail("record needs --out, --channels, --stream-version and --seconds");
    }
    if (auto checked = dvrsim::check_options(o); !checked) return checked.error();
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return print_usage_error("missing command");
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args[0] != "record") return print_usage_error("unknown command " + args[0]);
    args.erase(args.begin());
    for (const auto& a : args) {
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }

    auto parsed = parse_record(args);
    if (!parsed) return print_usage_error(parsed.error().message);
    dvrsim::RecordOptions& options = *parsed;
    options.progress = isatty(STDERR_FILENO) != 0;
    av_log_set_level(AV_LOG_ERROR);  // the encoder's statistics are noise here

    auto recorded = dvrsim::record(options);
    if (!recorded) {
        std::fprintf(stderr, "dvrsim: %s\n", recorded.error().message.c_str());
        return 1;
    }
    const dvrsim::RecordSummary& summary = *recorded;
    std::printf(
        "dvrsim: wrote %s.dvr, %s.inx, %s.truth.jsonl: %lld GOPs, %lld bytes, %d channels, "
        "version %d\n",
        options.base.c_str(), options.base.c_str(), options.base.c_str(),
        static_cast<long long>(summary.gops), static_cast<long long>(summary.stream_bytes),
        options.channels, options.stream_version);
    return 0;
}
