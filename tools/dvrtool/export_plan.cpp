#include "export_plan.h"

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
        auto channels = parse_channel_list(*text, eh::kChannels, "cannot be exported");
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
