#include "dvrtool/args.h"

#include <algorithm>
#include <charconv>

namespace dvrtool {
namespace {

const Option* find_option(std::span<const Option> options, std::string_view name) {
    auto it = std::find_if(options.begin(), options.end(),
                           [name](const Option& o) { return o.name == name; });
    return it == options.end() ? nullptr : &*it;
}

bool is_option(std::string_view arg) {
    return arg.size() > 1 && arg[0] == '-';
}

}  // namespace

std::optional<std::string> CommandLine::value(std::string_view name) const {
    auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second.back();
}

std::vector<std::string> CommandLine::all(std::string_view name) const {
    auto it = values.find(name);
    return it == values.end() ? std::vector<std::string>{} : it->second;
}

fleet::Result<CommandLine> parse_command_line(std::span<const std::string> args,
                                              std::span<const Option> options) {
    CommandLine out;
    bool options_done = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (options_done || !is_option(arg)) {
            out.operands.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            options_done = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            out.help = true;
            continue;
        }
        auto eq = arg.find('=');
        std::string_view name = arg.substr(0, eq);
        const Option* option = find_option(options, name);
        if (option == nullptr) return usage_error("unknown option '" + std::string(name) + "'");
        if (!option->takes_value) {
            if (eq != std::string_view::npos) {
                return usage_error("option '" + std::string(name) + "' takes no value");
            }
            out.flags.emplace(name);
        } else if (eq != std::string_view::npos) {
            out.values[std::string(name)].emplace_back(arg.substr(eq + 1));
        } else if (i + 1 < args.size()) {
            out.values[std::string(name)].push_back(args[++i]);
        } else {
            return usage_error("option '" + std::string(name) + "' needs a value");
        }
    }
    return out;
}

fleet::Result<int> parse_channel_number(std::string_view text) {
    int channel = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), channel);
    if (ec != std::errc() || end != text.data() + text.size() || channel < 1 || channel > 16) {
        return usage_error("channel must be a number from 1 to 16, not '" + std::string(text) +
                           "'");
    }
    return channel;
}

fleet::Result<std::vector<int>> parse_channel_list(std::string_view text, int highest,
                                                   std::string_view above_highest) {
    std::vector<int> channels;
    for (size_t at = 0; at <= text.size();) {
        const size_t comma = std::min(text.find(',', at), text.size());
        auto channel = parse_channel_number(text.substr(at, comma - at));
        if (!channel) return channel.error();
        if (*channel > highest) {
            return usage_error("channels above " + std::to_string(highest) + " " +
                               std::string(above_highest));
        }
        if (std::find(channels.begin(), channels.end(), *channel) != channels.end()) {
            return usage_error("channel " + std::to_string(*channel) + " is given twice");
        }
        channels.push_back(*channel);
        at = comma + 1;
    }
    return channels;
}

}  // namespace dvrtool
