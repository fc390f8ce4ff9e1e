// The marked sector of an SD card: 512 bytes of input, then the device size (u64, the input
// zero-padded). The verdict is checked against the rule itself, both ways, and an accepted
// base must come back from a sector built for it.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/le.h"
#include "format/card_layout.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

// The rule without the parser's code: the mark with its zero, a base on a sector boundary,
// data starting inside the device.
bool is_card(const uint8_t* sector, int64_t device_size) {
    static const char kMark[14] = {'S', 'D', ' ', 'R', 'A', 'W', ' ',
                                   'F', 'O', 'R', 'M', 'A', 'T', '\0'};
    if (std::memcmp(sector, kMark, sizeof kMark) != 0) return false;
    uint64_t base = fleet::load_u64(sector + 144);
    if (base % 512 != 0 || device_size <= 0) return false;
    // Below the size first, so adding the areas cannot overflow.
    return base < static_cast<uint64_t>(device_size) &&
           base + 0xA000000 < static_cast<uint64_t>(device_size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::array<uint8_t, 512 + 8> input{};
    std::copy(data, data + std::min(size, input.size()), input.begin());
    const uint8_t* sector = input.data();
    auto device_size = static_cast<int64_t>(fleet::load_u64(input.data() + 512));

    auto card = fleet::format::parse_card_sector(sector, device_size);
    check(card.has_value() == is_card(sector, device_size));
    if (!card) return 0;
    check(card->base >= 0 && card->base % 512 == 0);
    check(card->data_start() < device_size && card->data_length() > 0);
    check(card->event_index() - card->time_index() == fleet::format::kCardTimeIndexSize);
    check(card->data_start() - card->quick_index() == fleet::format::kCardQuickIndexSize);
    auto built = fleet::format::build_card_sector(card->base);
    auto again = fleet::format::parse_card_sector(built.data(), device_size);
    check(again && again->base == card->base);
    return 0;
}
