#include "dvrsim/serve_options.h"

#include <cmath>
#include <cstdlib>

#include "dvrsim/image_options.h"
#include "format/index_format.h"

namespace dvrsim {
namespace {

bool parse_port(const std::string& text, int& out) {
    int64_t n = 0;
    if (!parse_number(text, 0, 65535, n)) return false;
    out = static_cast<int>(n);
    return true;
}

// ADDR:PORT or PORT. The transport listens on every address, so that is the only one taken.
bool parse_listen(const std::string& text, int& port) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos) return parse_port(text, port);
    const std::string address = text.substr(0, colon);
    if (!address.empty() && address != "0.0.0.0" && address != "*") return false;
    return parse_port(text.substr(colon + 1), port);
}

bool parse_dial(const std::string& text, std::string& host, int& port) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) return false;
    host = text.substr(0, colon);
    return parse_port(text.substr(colon + 1), port) && port != 0;
}

bool parse_refusal(const std::string& text, LiveRefusal& out) {
    if (text == "busy")
        out = LiveRefusal::Busy;
    else if (text == "denied")
        out = LiveRefusal::Denied;
    else
        return false;
    return true;
}

bool parse_pace(const std::string& text, double& out) {
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(v) || v <= 0 || v > 1e6) return false;
    out = v;
    return true;
}

bool take_option(const std::string& name, const std::string& value, ServeOptions& o) {
    int64_t n = 0;
    if (name == "--pair") {
        o.pair_base = value;
        return !value.empty();
    }
    if (name == "--disk") {
        o.device_path = value;
        return !value.empty();
    }
    if (name == "--listen") return parse_listen(value, o.listen_port);
    if (name == "--dial") {
        o.dial = true;
        return parse_dial(value, o.dial_host, o.dial_port);
    }
    if (name == "--first-unit") {
        if (!parse_number(value, 1, fleet::format::kLastUnitNumber, n)) return false;
        o.first_unit = static_cast<uint32_t>(n);
        return true;
    }
    if (name == "--refuse") return parse_refusal(value, o.refusal);
    if (name == "--cut-after") return parse_number(value, 1, INT64_MAX, o.cut_after);
    if (name == "--pace") return parse_pace(value, o.pace);
    if (name == "--stats") {
        o.stats_path = value;
        return !value.empty();
    }
    return false;
}

bool known_option(const std::string& name) {
    for (const char* known : {"--pair", "--disk", "--listen", "--dial", "--first-unit", "--refuse",
                              "--cut-after", "--pace", "--stats"}) {
        if (name == known) return true;
    }
    return false;
}

}  // namespace

fleet::Result<ServeOptions> parse_serve_args(const std::vector<std::string>& args) {
    ServeOptions o;
    bool listen_given = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (!known_option(name)) return fleet::fail("unknown option " + name);
        if (i + 1 >= args.size()) return fleet::fail(name + " needs a value");
        const std::string& value = args[++i];
        if (!take_option(name, value, o))
            return fleet::fail("bad value for " + name + ": " + value);
        listen_given |= name == "--listen";
    }
    if (o.pair_base.empty() == o.device_path.empty()) {
        return fleet::fail("serve needs one of --pair BASE and --disk IMG");
    }
    if (o.dial && listen_given) return fleet::fail("--listen and --dial exclude each other");
    return o;
}

}  // namespace dvrsim
