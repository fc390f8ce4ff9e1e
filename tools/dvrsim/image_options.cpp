#include "dvrsim/image_options.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "format/index_format.h"

namespace dvrsim {
namespace {

constexpr int64_t kSector = 512;
constexpr int64_t kMaxUnitEvery = 3600;

int suffix_shift(char c) {
    switch (c) {
        case 'K':
        case 'k':
            return 10;
        case 'M':
        case 'm':
            return 20;
        case 'G':
        case 'g':
            return 30;
        case 'T':
        case 't':
            return 40;
        default:
            return -1;
    }
}

// Digits only, so a leading sign or space is refused rather than read by strtoll.
bool parse_unsigned(const std::string& text, int64_t& out, size_t& used) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const size_t from = hex ? 2 : 0;
    if (from >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[from]))) {
        return false;
    }
    // strtoull would take a second "0x" after ours.
    if (hex && text.size() > from + 1 && (text[from + 1] == 'x' || text[from + 1] == 'X')) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text.c_str() + from, &end, hex ? 16 : 10);
    if (errno != 0 || v > static_cast<unsigned long long>(INT64_MAX)) return false;
    out = static_cast<int64_t>(v);
    used = static_cast<size_t>(end - text.c_str());
    return used > from;
}

}  // namespace

ImageOptions default_image_options(ImageKind kind) {
    ImageOptions o;
    o.kind = kind;
    o.record.channels = 1;
    o.record.stream_version = 3;
    o.record.seconds = 60;
    return o;
}

bool parse_number(const std::string& text, int64_t lo, int64_t hi, int64_t& out) {
    int64_t v = 0;
    size_t used = 0;
    if (!parse_unsigned(text, v, used) || used != text.size() || v < lo || v > hi) return false;
    out = v;
    return true;
}

bool parse_size(const std::string& text, int64_t& out) {
    int64_t v = 0;
    size_t used = 0;
    if (!parse_unsigned(text, v, used)) return false;
    int shift = 0;
    if (used + 1 == text.size()) {
        shift = suffix_shift(text[used]);
        if (shift < 0) return false;
    } else if (used != text.size()) {
        return false;
    }
    if (v > (INT64_MAX >> shift)) return false;
    out = v << shift;
    return true;
}

bool parse_decoy(ImageKind kind, const std::string& name, Decoy& out) {
    if (kind == ImageKind::Disk) {
        if (name != "one-partition") return false;
        out = Decoy::OnePartition;
        return true;
    }
    if (name == "mark")
        out = Decoy::Mark;
    else if (name == "base-unaligned")
        out = Decoy::BaseUnaligned;
    else if (name == "data-outside")
        out = Decoy::DataOutside;
    else
        return false;
    return true;
}

const char* decoy_name(Decoy decoy) {
    switch (decoy) {
        case Decoy::OnePartition:
            return "one-partition";
        case Decoy::Mark:
            return "mark";
        case Decoy::BaseUnaligned:
            return "base-unaligned";
        case Decoy::DataOutside:
            return "data-outside";
        case Decoy::None:
            break;
    }
    return "none";
}

fleet::Status check_image_options(const ImageOptions& o) {
    using fleet::fail;
    if (auto checked = check_options(o.record); !checked) return checked;
    if (o.size != 0 && o.ring_size_given) return fail("give --size or --ring-size, not both");
    if (o.size % kSector != 0) return fail("--size must be a multiple of 512");
    if (o.ring_size <= 0 || o.ring_size % kSector != 0) {
        return fail("--ring-size must be a positive multiple of 512");
    }
    // Far beyond any disk an MBR describes, and small enough that the layout's sums of
    // sizes cannot overflow.
    constexpr int64_t kLargest = int64_t{1} << 50;
    if (o.size > kLargest || o.ring_size > kLargest || o.base > kLargest) {
        return fail("--size, --ring-size and --base must be at most 1 PiB");
    }
    if (o.unit_every < 1 || o.unit_every > kMaxUnitEvery) {
        return fail("--unit-every must be 1.." + std::to_string(kMaxUnitEvery));
    }
    if (o.event_every < 1) return fail("--event-every must be at least 1");
    if (o.quick_tyre_count < 0 || o.quick_tyre_count > 255) {
        return fail("--quick-tyre-count must be 1..255");
    }
    if (o.first_unit < 1 || o.first_unit > fleet::format::kLastUnitNumber) {
        return fail("--first-unit must be 1..0xFFFFF");
    }
    if (o.sparse_units != 0) {
        if (o.kind != ImageKind::Disk) return fail("--sparse-units applies to disks only");
        if (o.sparse_units < 3 || o.sparse_units > fleet::format::kLastUnitNumber) {
            return fail("--sparse-units must be 3..0xFFFFF");
        }
        if (o.stale_header) return fail("--stale-header cannot be combined with --sparse-units");
    }
    return {};
}

}  // namespace dvrsim
