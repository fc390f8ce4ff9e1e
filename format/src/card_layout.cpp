#include "format/card_layout.h"

#include <cstring>
#include <limits>

#include "common/le.h"

namespace fleet::format {
namespace {

// The mark includes its terminating zero, so "SD RAW FORMATX" is not a card.
constexpr char kCardMark[] = "SD RAW FORMAT";

}  // namespace

std::optional<CardLayout> parse_card_sector(const uint8_t* sector, int64_t device_size) {
    if (std::memcmp(sector, kCardMark, sizeof kCardMark) != 0) return std::nullopt;
    uint64_t base = load_u64(sector + kCardBaseField);
    if (base % kSectorSize != 0) return std::nullopt;
    if (base > static_cast<uint64_t>(std::numeric_limits<int64_t>::max() - kCardDataOffset)) {
        return std::nullopt;
    }
    CardLayout layout{static_cast<int64_t>(base), device_size};
    if (layout.data_start() >= device_size) return std::nullopt;
    return layout;
}

std::array<uint8_t, kSectorSize> build_card_sector(int64_t base) {
    std::array<uint8_t, kSectorSize> sector{};
    std::memcpy(sector.data(), kCardMark, sizeof kCardMark);
    store_u64(sector.data() + kCardBaseField, static_cast<uint64_t>(base));
    return sector;
}

}  // namespace fleet::format
