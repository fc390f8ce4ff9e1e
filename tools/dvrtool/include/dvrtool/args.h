// Command-line parsing shared by the subcommands: long options with or without a value,
// positional operands, and usage errors that end the program with exit code 2.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dvrtool/outcome.h"

namespace dvrtool {

struct Option {
    std::string_view name;  // "--json", "-o"
    bool takes_value = false;
};

struct CommandLine {
    std::vector<std::string> operands;
    std::map<std::string, std::vector<std::string>, std::less<>> values;  // in given order
    std::set<std::string, std::less<>> flags;
    bool help = false;

    bool has(std::string_view flag) const { return flags.contains(flag); }
    std::optional<std::string> value(std::string_view name) const;  // the last one given
    std::vector<std::string> all(std::string_view name) const;      // options that repeat
};

// Accepts "--name value" and "--name=value"; "--" ends the options. A usage error for an
// unknown option or a missing value.
fleet::Result<CommandLine> parse_command_line(std::span<const std::string> args,
                                              std::span<const Option> options);

// A user's 1-based channel number, 1..16; a usage error otherwise.
fleet::Result<int> parse_channel_number(std::string_view text);

// "1,3,4": channel numbers, each once, none above `highest`; a usage error otherwise, which
// ends "channels above <highest> <above_highest>" for a number the caller cannot take.
fleet::Result<std::vector<int>> parse_channel_list(std::string_view text, int highest,
                                                   std::string_view above_highest);

}  // namespace dvrtool
