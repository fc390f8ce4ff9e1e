#include "dvrsim/serve_stats.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace dvrsim {

fleet::Status write_stats(const std::string& path, const ServeCounters& counters) {
    const std::string partial = path + ".partial";
    std::FILE* file = std::fopen(partial.c_str(), "w");
    if (file == nullptr)
        return fleet::fail("cannot write " + partial + ": " + std::strerror(errno));
    std::fprintf(file, "more %lld\nslower %lld\nsent %lld\n",
                 static_cast<long long>(counters.more.load()),
                 static_cast<long long>(counters.slower.load()),
                 static_cast<long long>(counters.sent.load()));
    const bool written = std::fclose(file) == 0;
    if (!written || std::rename(partial.c_str(), path.c_str()) != 0) {
        std::remove(partial.c_str());
        return fleet::fail("cannot write " + path + ": " + std::strerror(errno));
    }
    return {};
}

}  // namespace dvrsim
