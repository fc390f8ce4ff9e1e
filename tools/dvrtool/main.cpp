// dvrtool: inspects `.dvr` + `.inx` recordings of the fleet's mobile video recorders.
#include <cstddef>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "dvrtool/args.h"
#include "dvrtool/commands.h"
#include "messages.h"

namespace dvrtool {
namespace {

constexpr Option kJson{"--json"};
constexpr Option kIndex{"--index", true};

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
         "Summarises a recording: versions, channels, resolution, audio, times, GOPs.",
         {kJson, kIndex},
         run_info},
        {"gops",
         "FILE.dvr [--index PATH] [--backward] [--json]",
         "Lists every GOP; --backward walks from the end to the beginning.",
         {kJson, kIndex, {"--backward"}},
         run_gops},
        {"index",
         "FILE.inx [--json]",
         "Lists the time index: its header and every unit from first to last.",
         {kJson},
         run_index},
        {"telemetry",
         "FILE.dvr [--index PATH] [--json]",
         "Prints the telemetry of every video frame; --json gives one object per line.",
         {kJson, kIndex},
         run_telemetry},
        {"verify",
         "FILE.dvr [--index PATH]",
         "Lists damaged regions of the stream and index; exits 1 when there are any.",
         {kIndex},
         run_verify},
        {"extract-es",
         "FILE.dvr --channel N -o OUT.h264 [--index PATH]",
         "Writes the raw H.264 of channel N (1-16) to OUT.h264.",
         {kIndex, {"--channel", true}, {"-o", true}},
         run_extract_es},
        {"bench",
         "decode FILE.dvr [--index PATH]",
         "Times the engine's decoding of every GOP against FFmpeg's decoder alone.",
         {kIndex},
         run_bench,
         2},
        {"play",
         "FILE.dvr --headless [--for SECONDS] [--do T:COMMAND[:ARG]]... "
         "[--screenshot T:PATH.png]... [--events] [--size WxH] [--index PATH]",
         "Plays through the engine without a window. COMMAND: pause play step stepback ff:N\n"
         "fb:N seek:OFFSET stop close full:N div:N voice:on|off volume:N snapshot:PATH.jpg.\n"
         "--events prints every callback as a JSON line; --for ends after SECONDS, else\n"
         "the end of the data ends it.",
         {kIndex,
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
    std::printf("usage: dvrtool COMMAND FILE [options]\n\ncommands:\n");
    for (const auto& c : commands()) {
        std::printf("  %-10s %.*s\n", std::string(c.name).c_str(),
                    static_cast<int>(c.description.size()), c.description.data());
    }
    std::printf(
        "\nThe index is read from the .inx beside the .dvr unless --index names one.\n"
        "Channels are numbered from 1. Times are UTC.\n"
        "Run 'dvrtool COMMAND --help' for a command's options.\n");
}

void print_command_usage(const Command& c) {
    std::printf("usage: dvrtool %s %s\n%s\n", std::string(c.name).c_str(),
                std::string(c.synopsis).c_str(), std::string(c.description).c_str());
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

Outcome run_parsed(const Command& command, const CommandLine& line) {
    if (line.help) {
        print_command_usage(command);
        return kExitDone;
    }
    if (line.operands.empty()) return usage_error("missing FILE");
    if (line.operands.size() > command.operands) {
        return usage_error("unexpected argument '" + line.operands[command.operands] + "'");
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
