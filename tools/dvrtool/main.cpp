// dvrtool: inspects `.dvr` + `.inx` recordings of the fleet's mobile video recorders.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "dvrtool/args.h"
#include "dvrtool/commands.h"
#include "messages.h"
#include "recording.h"

namespace dvrtool {
namespace {

constexpr Option kJson{"--json"};
constexpr Option kIndex{"--index", true};
constexpr Option kDisk{"--disk", true};
constexpr Option kCard{"--card", true};
constexpr Option kRemote{"--remote", true};

Outcome run_index_anywhere(const CommandLine& line) {
    return line.value("--remote") ? run_remote_index(line) : run_index(line);
}

struct Command {
    std::string_view name;
    std::string_view synopsis;
    std::string_view description;
    std::vector<Option> options;
    Outcome (*run)(const CommandLine&);
    size_t operands = 1;  // at most
};

const std::vector<Command>& commands() {
    static const std::vector<Command> table = {
        {"info",
         "FILE.dvr [--index PATH] [--json]",
         "Summarises a recording: versions, channels, resolution, audio, times, GOPs; on a\n"
         "disk or card also its ring.",
         {kJson, kIndex, kDisk, kCard},
         run_info},
        {"gops",
         "FILE.dvr [--index PATH] [--backward] [--json]",
         "Lists every GOP; --backward walks from the end to the beginning.",
         {kJson, kIndex, kDisk, kCard, {"--backward"}},
         run_gops},
        {"index",
         "FILE.inx [--json] | (--disk IMG | --card IMG) [--event | --quick] [--json]\n"
         "       | --remote HOST[:PORT] [--json]",
         "Lists the time index: its header and every unit from first to last. On a disk or\n"
         "card, --event lists the event index and --quick the quick index instead. --remote\n"
         "fetches a recorder's time index over the network through the engine and lists its\n"
         "rows in the recorder's order, numbered from 1 (oldest first).",
         {kJson, kDisk, kCard, kRemote, {"--event"}, {"--quick"}},
         run_index_anywhere},
        {"find",
         "FILE.dvr --view time|event|quick [--speed-over X] [--g-over X]\n"
         "       [--temperature-over X] [--tyre-temperature-over X] [--pressure-over X]\n"
         "       [--pressure-under X] [--position LON,DLON,LAT,DLAT] [--imperial] [--json]",
         "Lists index entries to jump to: the time view lists the first unit, one an hour\n"
         "and those with an event; the event view the events of recorded units (a disk or\n"
         "card); the quick view the quick records matching its one search (a disk or card).\n"
         "Speeds are km/h and temperatures Celsius, mile/h and Fahrenheit with --imperial;\n"
         "pressures psi, G 0.1 to 2.0. Rows are tab-separated; --json gives one object per\n"
         "line.",
         {kJson,
          kIndex,
          kDisk,
          kCard,
          {"--view", true},
          {"--speed-over", true},
          {"--g-over", true},
          {"--temperature-over", true},
          {"--tyre-temperature-over", true},
          {"--pressure-over", true},
          {"--pressure-under", true},
          {"--position", true},
          {"--imperial"}},
         run_find},
        {"telemetry",
         "FILE.dvr [--index PATH] [--json]",
         "Prints the telemetry of every video frame; --json gives one object per line.",
         {kJson, kIndex, kDisk, kCard},
         run_telemetry},
        {"verify",
         "FILE.dvr [--index PATH]",
         "Lists damaged regions of the stream and index; exits 1 when there are any.",
         {kIndex, kDisk, kCard},
         run_verify},
        {"extract-es",
         "FILE.dvr --channel N -o OUT.h264 [--index PATH]",
         "Writes the raw H.264 of channel N (1-16) to OUT.h264.",
         {kIndex, kDisk, kCard, {"--channel", true}, {"-o", true}},
         run_extract_es},
        {"export",
         "FILE.dvr --from \"YYYY-MM-DD HH:MM:SS\" --to \"YYYY-MM-DD HH:MM:SS\"\n"
         "       (--avi | --mp4 | --mosaic | --pair) [--channels N,N,...] -o DIR [--index PATH]",
         "Exports the time range through the engine and the extraction library, as the\n"
         "viewer's extract dialog does: --avi or --mp4 one file per channel (H.264 stream\n"
         "copy; every channel unless --channels lists some), --mosaic one AVI of all channels,\n"
         "--pair a .dvr/.inx copy. The range runs from the index unit at or before --from to\n"
         "the one at or after --to, cut to the recording where it reaches past it. Beside the\n"
         "video go the telemetry as CSV (one row per frame) and the positions as a GPX track.\n"
         "Prints each file written; nothing is overwritten and a failed export leaves no\n"
         "file. A progress bar shows on a terminal. Ctrl-C stops the export with the files\n"
         "written so far complete (exit 130).",
         {kIndex,
          kDisk,
          kCard,
          {"--from", true},
          {"--to", true},
          {"--channels", true},
          {"--avi"},
          {"--mp4"},
          {"--mosaic"},
          {"--pair"},
          {"-o", true}},
         run_export},
        {"download",
         "--remote HOST[:PORT] --from \"YYYY-MM-DD HH:MM:SS\" --to \"YYYY-MM-DD HH:MM:SS\"\n"
         "       -o BASE",
         "Downloads a span of a recorder's recording over the network through the engine into\n"
         "BASE.dvr and BASE.inx, as the viewer does: the span runs from the first row of the\n"
         "recorder's time index at or after --from to the last row at or before --to. Prints\n"
         "the two files when done. Existing files are never overwritten; a download that fails\n"
         "leaves no file. A progress bar shows on a terminal. Ctrl-C stops the download and\n"
         "keeps a pair that opens with what came so far (exit 130).",
         {kRemote, {"--from", true}, {"--to", true}, {"-o", true}},
         run_download,
         0},
        {"bench",
         "decode FILE.dvr [--index PATH]",
         "Times the engine's decoding of every GOP against FFmpeg's decoder alone.",
         {kIndex, kDisk, kCard},
         run_bench,
         2},
        {"play",
         "FILE.dvr --headless [--for SECONDS] [--do T:COMMAND[:ARG]]... "
         "[--screenshot T:PATH.png]... [--events] [--size WxH] [--index PATH]\n"
         "       | --live HOST[:PORT] [--channels N,N,...] --headless [--for SECONDS]\n"
         "         [--screenshot T:PATH.png]... [--events] [--size WxH]",
         "Plays through the engine without a window. COMMAND: pause play step stepback ff:N\n"
         "fb:N seek:OFFSET stop close full:N div:N voice:on|off volume:N snapshot:PATH.jpg.\n"
         "--events prints every callback as a JSON line; --for ends after SECONDS, else\n"
         "the end of the data ends it. Offsets on a disk or card are logical.\n"
         "--live plays a recorder's live video over the network: the channels listed (all of\n"
         "four, or of eight when one above 4 is listed), at 30 frames/s, CIF, with sound; play\n"
         "begins once the engine's prebuffering is full. Times count from the link's opening;\n"
         "without --for, Ctrl-C ends it. A link that fails or breaks, or a refusal of the\n"
         "recorder, ends it with exit 1.",
         {kIndex,
          kDisk,
          kCard,
          {"--live", true},
          {"--channels", true},
          {"--headless"},
          {"--events"},
          {"--for", true},
          {"--do", true},
          {"--screenshot", true},
          {"--size", true}},
         run_play},
    };
    return table;
}

void print_usage() {
    std::printf("usage: dvrtool COMMAND (FILE | --disk IMG | --card IMG) [options]\n\ncommands:\n");
    for (const auto& c : commands()) {
        std::printf("  %-10s %.*s\n", std::string(c.name).c_str(),
                    static_cast<int>(c.description.size()), c.description.data());
    }
    std::printf(
        "\nThe index is read from the .inx beside the .dvr unless --index names one.\n"
        "--disk IMG or --card IMG reads a recorder's hard disk or SD card (a device or an\n"
        "image of one) instead of FILE; offsets shown for them are logical, counted from the\n"
        "oldest recorded byte.\n"
        "--remote HOST[:PORT] (index, download) and --live HOST[:PORT] (play) reach a\n"
        "recorder over the network, directly, on port 2200 unless PORT is given.\n"
        "Channels are numbered from 1. Times are UTC.\n"
        "Run 'dvrtool COMMAND --help' for a command's options.\n");
}

void print_command_usage(const Command& c) {
    std::printf("usage: dvrtool %s %s\n%s\n", std::string(c.name).c_str(),
                std::string(c.synopsis).c_str(), std::string(c.description).c_str());
    const bool reads_media = std::any_of(c.options.begin(), c.options.end(),
                                         [](const Option& o) { return o.name == "--disk"; });
    if (c.name != "index" && reads_media) {
        std::printf("--disk IMG or --card IMG reads a recorder's disk or card instead of FILE.\n");
    }
}

int print_usage_error(const std::string& message, const std::string& hint) {
    std::fprintf(stderr, "dvrtool: %s\nTry '%s'.\n", message.c_str(), hint.c_str());
    return kExitBadUsage;
}

const Command* find_command(std::string_view name) {
    for (const auto& c : commands()) {
        if (c.name == name) return &c;
    }
    return nullptr;
}

// One recording at a time; a disk or card has no separate index file.
fleet::Status check_medium_options(const CommandLine& line) {
    const bool disk = line.value("--disk").has_value(), card = line.value("--card").has_value();
    if (disk && card) return usage_error("give --disk or --card, not both");
    if ((disk || card) && line.value("--index")) {
        return usage_error("--index goes with FILE, not with --disk or --card");
    }
    return {};
}

// A recorder on the network takes the place of the FILE operand and of a disk or card.
Outcome run_networked(const Command& command, const CommandLine& line) {
    if (names_medium(line) || line.value("--index")) {
        return usage_error("a recorder on the network goes without --disk, --card or --index");
    }
    if (!line.operands.empty()) {
        return usage_error("unexpected argument '" + line.operands[0] + "'");
    }
    return command.run(line);
}

Outcome run_parsed(const Command& command, const CommandLine& line) {
    if (line.help) {
        print_command_usage(command);
        return kExitDone;
    }
    if (command.operands == 0 || line.value("--remote") || line.value("--live")) {
        return run_networked(command, line);
    }
    const bool medium = names_medium(line);
    if (auto checked = check_medium_options(line); !checked) return checked.error();
    if (line.operands.empty() && !medium) return usage_error("missing FILE");
    // A disk or card takes the place of the FILE operand.
    const size_t most = command.operands - (medium ? 1 : 0);
    if (line.operands.size() > most) {
        return usage_error("unexpected argument '" + line.operands[most] + "'");
    }
    return command.run(line);
}

int run_command(const Command& command, const std::vector<std::string>& args) {
    auto line = parse_command_line(args, command.options);
    Outcome outcome = line ? run_parsed(command, *line) : Outcome(line.error());
    if (outcome) return *outcome;
    const fleet::Error& error = outcome.error();
    if (is_usage_error(error)) {
        return print_usage_error(std::string(command.name) + ": " + error.message,
                                 "dvrtool " + std::string(command.name) + " --help");
    }
    say(error.message);
    return kExitFailed;
}

int run(const std::vector<std::string>& args) {
    if (args.empty()) return print_usage_error("missing command", "dvrtool --help");
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        print_usage();
        return kExitDone;
    }
    const Command* command = find_command(args[0]);
    if (command == nullptr) {
        return print_usage_error("unknown command '" + args[0] + "'", "dvrtool --help");
    }
    return run_command(*command, {args.begin() + 1, args.end()});
}

}  // namespace
}  // namespace dvrtool

int main(int argc, char** argv) {
    // Failures come back as values; this only catches what a library throws (out of memory).
    try {
        return dvrtool::run({argv + 1, argv + argc});
    } catch (const std::exception& e) {
        dvrtool::say(e.what());
        return dvrtool::kExitFailed;
    }
}
