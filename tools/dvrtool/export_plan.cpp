#include "export_plan.h"

#include <algorithm>
#include <string_view>

#include "export_host/export_request.h"
#include "time_text.h"

namespace dvrtool {
namespace {

namespace eh = fleet::export_host;

struct KindFlag {
    std::string_view flag;
    ExportKind kind;
};
constexpr KindFlag kKindFlags[] = {{"--avi", ExportKind::ChannelAvi},
                                   {"--mp4", ExportKind::ChannelMp4},
                                   {"--mosaic", ExportKind::Mosaic},
                                   {"--pair", ExportKind::FilePair}};

fleet::Result<ExportKind> parse_kind(const CommandLine& line) {
    std::optional<ExportKind> kind;
    for (const KindFlag& k : kKindFlags) {
        if (!line.has(k.flag)) continue;
        if (kind) return usage_error("give one of --avi, --mp4, --mosaic and --pair");
        kind = k.kind;
    }
    if (!kind) return usage_error("missing the kind of export: --avi, --mp4, --mosaic or --pair");
    return *kind;
}

// "1,3,4": channel numbers from 1 to the export's eight, each once.
fleet::Result<std::vector<int>> parse_channels(std::string_view text) {
    std::vector<int> channels;
    for (size_t at = 0; at <= text.size();) {
        const size_t comma = std::min(text.find(',', at), text.size());
        auto channel = parse_channel_number(text.substr(at, comma - at));
        if (!channel) return channel.error();
        if (*channel > eh::kChannels) {
            return usage_error("channels above " + std::to_string(eh::kChannels) +
                               " cannot be exported");
        }
        if (std::find(channels.begin(), channels.end(), *channel) != channels.end()) {
            return usage_error("channel " + std::to_string(*channel) + " is given twice");
        }
        channels.push_back(*channel);
        at = comma + 1;
    }
    return channels;
}

fleet::Result<uint32_t> parse_time_option(const CommandLine& line, std::string_view name) {
    const auto value = line.value(name);
    if (!value) return usage_error("missing " + std::string(name) + " \"YYYY-MM-DD HH:MM:SS\"");
    const auto seconds = parse_time_text(*value);
    if (!seconds) {
        return usage_error(std::string(name) +
                           " takes a UTC time as \"YYYY-MM-DD HH:MM:SS\", not '" + *value + "'");
    }
    return *seconds;
}

}  // namespace

bool per_channel(ExportKind kind) {
    return kind == ExportKind::ChannelAvi || kind == ExportKind::ChannelMp4;
}

fleet::Result<ExportPlan> parse_plan(const CommandLine& line) {
    ExportPlan plan;
    auto kind = parse_kind(line);
    if (!kind) return kind.error();
    plan.kind = *kind;
    if (auto text = line.value("--channels")) {
        if (!per_channel(plan.kind)) return usage_error("--channels goes with --avi or --mp4");
        auto channels = parse_channels(*text);
        if (!channels) return channels.error();
        plan.channels = std::move(*channels);
    }
    auto from = parse_time_option(line, "--from");
    if (!from) return from.error();
    auto to = parse_time_option(line, "--to");
    if (!to) return to.error();
    if (*from > *to) return usage_error("--from " + time_text(*from) + " is after --to");
    plan.from = *from;
    plan.to = *to;
    auto directory = line.value("-o");
    if (!directory || directory->empty()) return usage_error("missing -o DIR");
    plan.directory = *directory;
    return plan;
}

}  // namespace dvrtool
