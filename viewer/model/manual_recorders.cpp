#include "model/manual_recorders.h"

#include <charconv>
#include <cstring>
#include <filesystem>

#include "common/le.h"
#include "model/directories.h"
#include "model/ini_file.h"
#include "model/live_params_form.h"
#include "model/utf16_text.h"

namespace velmora {

namespace {

constexpr std::string_view kSection = "ManualRecorders";
constexpr std::string_view kCountKey = "Count";
// More than any operator types in by hand; bounds the reading of a damaged file.
constexpr int kMaxRecorders = 256;

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::optional<unsigned> whole_number(std::string_view text, unsigned maximum) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > maximum)
        return std::nullopt;
    return value;
}

std::optional<std::array<uint8_t, 4>> parse_ipv4(std::string_view text) {
    std::array<uint8_t, 4> parts{};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::size_t dot = i + 1 < parts.size() ? text.find('.') : text.size();
        if (dot == std::string_view::npos) return std::nullopt;
        const auto part = whole_number(text.substr(0, dot), 255);
        if (!part || dot > 3) return std::nullopt;
        parts[i] = static_cast<uint8_t>(*part);
        text.remove_prefix(std::min(dot + 1, text.size()));
    }
    return parts;
}

std::string key_of(int index) {
    return "Recorder" + std::to_string(index + 1);
}

// "<address>:<port>,<channels>,<name>": the name last, so it may hold commas.
std::string entry_text(const ManualRecorder& r) {
    return recorder_address_text(r.ipv4, 0) + ":" + std::to_string(r.port) + "," +
           std::to_string(r.channels) + "," + r.name;
}

std::optional<ManualRecorder> parse_entry(std::string_view text) {
    const auto first_comma = text.find(',');
    if (first_comma == std::string_view::npos) return std::nullopt;
    const auto second_comma = text.find(',', first_comma + 1);
    if (second_comma == std::string_view::npos) return std::nullopt;
    const std::string_view endpoint = text.substr(0, first_comma);
    const auto colon = endpoint.rfind(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const auto channels =
        whole_number(text.substr(first_comma + 1, second_comma - first_comma - 1), 8);
    if (!channels) return std::nullopt;
    return make_manual_recorder(endpoint.substr(0, colon), endpoint.substr(colon + 1),
                                text.substr(second_comma + 1), static_cast<int>(*channels))
        .recorder;
}

}  // namespace

RecorderEntry make_manual_recorder(std::string_view address, std::string_view port,
                                   std::string_view name, int channels) {
    using E = RecorderEntryError;
    const auto ipv4 = parse_ipv4(trimmed(address));
    if (!ipv4) return {std::nullopt, E::BadAddress};
    const auto port_number = whole_number(trimmed(port), 65535);
    if (!port_number || *port_number == 0) return {std::nullopt, E::BadPort};
    const std::string_view clean_name = trimmed(name);
    if (clean_name.empty()) return {std::nullopt, E::EmptyName};
    if (clean_name.size() > kMaxRecorderNameBytes ||
        clean_name.find_first_of("\r\n") != std::string_view::npos)
        return {std::nullopt, E::LongName};
    if (channels != 4 && channels != 8) return {std::nullopt, E::BadChannels};
    ManualRecorder recorder{std::string(clean_name), *ipv4, static_cast<uint16_t>(*port_number),
                            channels};
    return {recorder, E::BadAddress};
}

std::string recorder_address_text(const std::array<uint8_t, 4>& ipv4, uint16_t port) {
    std::string text = std::to_string(ipv4[0]) + "." + std::to_string(ipv4[1]) + "." +
                       std::to_string(ipv4[2]) + "." + std::to_string(ipv4[3]);
    if (port != 0 && port != kDefaultRecorderPort) text += ":" + std::to_string(port);
    return text;
}

std::string recorder_address_text(const VehicleRecord& record) {
    return recorder_address_text(record.ipv4, record.port);
}

std::unique_ptr<VehicleRecord> vehicle_from_recorder(const ManualRecorder& recorder) {
    auto record = std::make_unique<VehicleRecord>();
    record->name = utf16_from_utf8(recorder.name);
    std::memcpy(record->address.data(), recorder.ipv4.data(), recorder.ipv4.size());
    fleet::store_u16(record->address.data() + recorder.ipv4.size(), recorder.port);
    record->ipv4 = recorder.ipv4;
    record->port = recorder.port;
    record->state = vehicle_state::kOnline;
    record->channel_count = recorder.channels;
    record->live_params =
        default_live_params(recorder_address_text(recorder.ipv4, recorder.port), recorder.channels);
    return record;
}

bool vehicle_is_recorder(const VehicleRecord& record, const ManualRecorder& recorder) {
    const auto made = vehicle_from_recorder(recorder);
    return record.address == made->address && record.name == made->name;
}

std::vector<ManualRecorder> load_manual_recorders(const std::string& config_path) {
    const IniFile ini(config_path);
    const int count = std::min(ini.get_int(kSection, kCountKey, 0), kMaxRecorders);
    std::vector<ManualRecorder> recorders;
    for (int i = 0; i < count; ++i) {
        if (auto recorder = parse_entry(ini.get_string(kSection, key_of(i), "")))
            recorders.push_back(std::move(*recorder));
    }
    return recorders;
}

bool save_manual_recorders(const std::string& config_path,
                           const std::vector<ManualRecorder>& recorders) {
    // The first recorder may be added before the viewer has written any configuration.
    const std::string folder = std::filesystem::path(config_path).parent_path().string();
    if (!folder.empty() && !ensure_directory(folder)) return false;
    IniFile ini(config_path);
    const int old_count = std::min(ini.get_int(kSection, kCountKey, 0), kMaxRecorders);
    const int count = static_cast<int>(recorders.size());
    bool written = ini.write_string(kSection, kCountKey, std::to_string(count));
    for (int i = 0; i < count; ++i)
        written =
            ini.write_string(kSection, key_of(i), entry_text(recorders[static_cast<size_t>(i)])) &&
            written;
    for (int i = count; i < old_count; ++i)
        written = ini.write_string(kSection, key_of(i), std::nullopt) && written;
    return written;
}

}  // namespace velmora
