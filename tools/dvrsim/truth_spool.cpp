#include "dvrsim/truth_spool.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <nlohmann/json.hpp>

namespace dvrsim {

TruthSpool::~TruthSpool() {
    if (!path_.empty()) {
        file_.close();
        std::remove(path_.c_str());
    }
}

fleet::Status TruthSpool::open(const std::string& path) {
    path_ = path;
    file_.open(path, std::ios::in | std::ios::out | std::ios::trunc | std::ios::binary);
    if (!file_) return fleet::fail("cannot create " + path + ": " + std::strerror(errno));
    return {};
}

fleet::Result<SpooledLines> TruthSpool::append(const std::vector<std::string>& lines) {
    SpooledLines spooled{length_, static_cast<int>(lines.size())};
    for (const auto& line : lines) {
        file_ << line << '\n';
        length_ += static_cast<int64_t>(line.size()) + 1;
    }
    if (!file_) return fleet::fail("cannot write " + path_);
    return spooled;
}

fleet::Status TruthSpool::write_renumbered(const std::string& path,
                                           const std::vector<SpooledLines>& gops) {
    std::ofstream out(path, std::ios::trunc | std::ios::binary);
    if (!out) return fleet::fail("cannot create " + path + ": " + std::strerror(errno));
    file_.flush();
    std::string line;
    for (size_t place = 0; place < gops.size(); ++place) {
        file_.clear();
        file_.seekg(gops[place].at);
        for (int i = 0; i < gops[place].count; ++i) {
            if (!std::getline(file_, line)) return fleet::fail("cannot read back " + path_);
            auto frame = nlohmann::ordered_json::parse(line);
            frame["gop"] = static_cast<int64_t>(place);
            out << frame.dump() << '\n';
        }
    }
    out.close();
    if (!out) return fleet::fail("cannot write " + path);
    return {};
}

}  // namespace dvrsim
