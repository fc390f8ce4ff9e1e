#include "find_fakes.h"

#include <algorithm>
#include <cstring>

#include "common/le.h"

namespace find_test {

ff::QuickRecord quick_header(uint32_t first, uint32_t last) {
    ff::QuickRecord out{};
    const auto bytes = header(first, last).encode();
    std::copy(bytes.begin(), bytes.end(), out.begin());
    return out;
}

QuickBytes& QuickBytes::unit(uint32_t n) {
    fleet::store_u32(record_.data(), n);
    return *this;
}

QuickBytes& QuickBytes::speed(uint16_t kmh) {
    fleet::store_u16(record_.data() + 4, kmh);
    return *this;
}

QuickBytes& QuickBytes::temperature(uint16_t word) {
    fleet::store_u16(record_.data() + 6, word);
    return *this;
}

QuickBytes& QuickBytes::g(int8_t x, int8_t y, int8_t z) {
    record_[8] = static_cast<uint8_t>(x);
    record_[9] = static_cast<uint8_t>(y);
    record_[10] = static_cast<uint8_t>(z);
    return *this;
}

// Entries past the 34th would overwrite the texts: the builder stops there.
QuickBytes& QuickBytes::tyres(const std::vector<TyreBytes>& tyres) {
    const size_t count = std::min<size_t>(tyres.size(), 34);
    record_[12] = static_cast<uint8_t>(count);
    for (size_t i = 0; i < count; ++i) {
        record_[16 + 2 * i] = tyres[i].pressure;
        record_[17 + 2 * i] = tyres[i].temperature;
    }
    return *this;
}

QuickBytes& QuickBytes::tyre_count(uint8_t n) {
    record_[12] = n;
    return *this;
}

QuickBytes& QuickBytes::position(const std::string& latitude, const std::string& longitude) {
    std::memcpy(record_.data() + 84, latitude.data(), std::min<size_t>(latitude.size(), 10));
    std::memcpy(record_.data() + 96, longitude.data(), std::min<size_t>(longitude.size(), 11));
    return *this;
}

}  // namespace find_test
