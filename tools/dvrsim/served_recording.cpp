#include "dvrsim/served_recording.h"

#include <utility>
#include <vector>

namespace dvrsim {

namespace ff = fleet::format;

namespace {

std::vector<ServedUnit> pair_units(ff::FilePair& pair) {
    std::vector<ServedUnit> units;
    const ff::IndexHeader& header = pair.header();
    for (uint32_t n = header.first; n <= header.last; ++n) {
        ff::IndexUnit unit;
        if (!ff::read_index_unit(pair.index(), n, unit)) break;
        units.push_back({unit.encode(), unit.offset});
    }
    return units;
}

// The stored records of the time index as listed (from the oldest unit), with their GOPs' walk
// offsets. `stored` is a second opening of the same medium: the ring reader hands out offsets
// already made logical, while the recorder lists them as its index stores them.
fleet::Result<std::vector<ServedUnit>> ring_units(ff::RingRecording& ring, ff::ByteSource& stored) {
    const ff::IndexHeader header = ring.time_header();
    const uint32_t count = ff::units_between(header.first, header.last);
    std::vector<ServedUnit> units;
    units.reserve(count);
    for (uint32_t i = 0, n = header.first; i < count; ++i, n = ff::next_unit_number(n)) {
        ff::IndexUnit as_stored, logical;
        if (!ff::read_index_unit(stored, n, as_stored) || !ring.time_unit(n, logical)) {
            return fleet::fail("time index unit " + std::to_string(n) + " cannot be read");
        }
        const int64_t walk =
            logical.offset < 0 ? -1 : ring.layout().walk_of_logical(logical.offset);
        units.push_back({as_stored.encode(), walk});
    }
    return units;
}

// A disk, else a card; the first that is one of them decides.
fleet::Result<ff::MediumKind> medium_kind_at(const std::string& path) {
    std::string why;
    for (ff::MediumKind kind : {ff::MediumKind::Disk, ff::MediumKind::Card}) {
        ff::MediumFound found = ff::find_medium_at(kind, path);
        if (found.verdict == ff::MediumFound::Usable) return kind;
        if (found.verdict == ff::MediumFound::Unusable) return fleet::fail(path + ": " + found.why);
        if (why.empty()) why = found.why;
    }
    return fleet::fail(path + ": neither a recorder disk nor a card" +
                       (why.empty() ? "" : " (" + why + ")"));
}

}  // namespace

fleet::Result<std::unique_ptr<ServedRecording>> ServedRecording::open_pair(
    const std::string& base, std::optional<uint32_t> first_unit) {
    auto served = std::make_unique<ServedRecording>();
    if (auto why = served->pair_.open(base + ".dvr", base + ".inx"); !why.empty()) {
        return fleet::fail(why);
    }
    const ff::IndexHeader& header = served->pair_.header();
    served->walk_bytes_ = &served->pair_.stream();
    served->index_ = ServedIndex(header, pair_units(served->pair_), served->pair_.length(),
                                 first_unit.value_or(header.first));
    return served;
}

fleet::Result<std::unique_ptr<ServedRecording>> ServedRecording::open_device(
    const std::string& path, std::optional<uint32_t> first_unit) {
    auto kind = medium_kind_at(path);
    if (!kind) return kind.error();
    auto served = std::make_unique<ServedRecording>();
    if (auto opened = served->ring_.open(*kind, path); !opened) return opened.error();
    ff::MediumFound stored = ff::find_medium_at(*kind, path);
    if (stored.verdict != ff::MediumFound::Usable || !stored.medium.time_index) {
        return fleet::fail(path + ": time index cannot be opened again: " + stored.why);
    }
    auto units = ring_units(served->ring_, *stored.medium.time_index);
    if (!units) return fleet::fail(path + ": " + units.error().message);
    const ff::IndexHeader header = served->ring_.time_header();
    served->walk_bytes_ = served->ring_.cursor().source;
    served->index_ = ServedIndex(header, std::move(*units), served->ring_.layout().walk_length(),
                                 first_unit.value_or(header.first));
    return served;
}

ff::StreamCursor ServedRecording::cursor(const WalkRange& range) const {
    return {walk_bytes_, range.begin, range.end, range.begin};
}

}  // namespace dvrsim
