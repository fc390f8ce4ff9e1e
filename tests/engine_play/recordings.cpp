#include "recordings.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <sstream>
#include <vector>

#include "process.h"

namespace fleet::test {

std::string recording(const std::string& options) {
    static TempDir dir;
    static std::map<std::string, std::string> made;
    if (auto it = made.find(options); it != made.end()) return it->second;
    std::string base = dir.file("r" + std::to_string(made.size()));
    std::vector<std::string> args = {DVRSIM_PATH, "record", "--out", base};
    std::istringstream words(options);
    for (std::string w; words >> w;) args.push_back(w);
    ProcessResult r = run_process(args);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    made[options] = base;
    return base;
}

}  // namespace fleet::test
