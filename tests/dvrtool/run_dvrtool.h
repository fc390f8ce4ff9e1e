// Runs the built dvrtool as a process, the way scripts use it.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "process.h"

namespace dvrtool_test {

inline fleet::test::ProcessResult dvrtool(std::vector<std::string> args) {
    args.insert(args.begin(), DVRTOOL_PATH);
    return fleet::test::run_process(args);
}

inline std::vector<nlohmann::json> json_lines(const std::string& text) {
    std::vector<nlohmann::json> out;
    for (const auto& line : fleet::test::split_lines(text))
        out.push_back(nlohmann::json::parse(line));
    return out;
}

}  // namespace dvrtool_test
