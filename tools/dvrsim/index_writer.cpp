#include "dvrsim/index_writer.h"

#include <utility>

namespace dvrsim {
namespace {

using fleet::format::IndexHeader;
using fleet::format::kIndexRecordSize;
using fleet::format::kQuickRecordSize;

std::optional<size_t> oldest_valid(const std::vector<UnitEntry>& units,
                                   const std::function<bool(size_t)>& valid) {
    for (size_t i = 0; i < units.size(); ++i) {
        if (valid(units[i].gop)) return i;
    }
    return std::nullopt;
}

}  // namespace

fleet::Status IndexWriter::write_record(int64_t area, uint32_t n,
                                        const fleet::format::IndexUnit& unit) {
    const auto bytes = unit.encode();
    return image_.write_at(area + int64_t{n} * int64_t{kIndexRecordSize}, bytes.data(),
                           bytes.size());
}

fleet::Status IndexWriter::write_quick(uint32_t unit_number, const IndexedGop& gop) {
    const int64_t sequence = gop.index / schedule_.unit_every;
    QuickContent content = quick_content(unit_number, sequence, *gop.sample, *gop.tyres, quick_);
    const auto quick = encode_quick(content);
    if (keep_quick_) quick_contents_.push_back(std::move(content));
    const int64_t at = areas_.quick + int64_t{unit_number} * int64_t{kQuickRecordSize};
    return image_.write_at(at, quick.data(), quick.size());
}

fleet::Status IndexWriter::add(const IndexedGop& gop) {
    const int type = event_type(schedule_, gop.index);
    const uint32_t tag = static_cast<uint32_t>(type) << kEventTypeShift;
    const uint32_t unit_number = time_unit_number(schedule_, gop.index);
    if (carries_time_unit(schedule_, gop.index)) {
        const fleet::format::IndexUnit unit{gop.time, tag, gop.physical};
        time_units_.push_back({unit_number, unit, gop.position});
        if (auto written = write_record(areas_.time, unit_number, unit); !written) return written;
        if (auto written = write_quick(unit_number, gop); !written) return written;
    }
    if (type != 0) {
        const uint32_t n =
            event_units_.empty() ? 1 : fleet::format::next_unit_number(event_units_.back().n);
        const fleet::format::IndexUnit unit{gop.time, tag | unit_number, gop.physical};
        event_units_.push_back({n, unit, gop.position});
        if (auto written = write_record(areas_.event, n, unit); !written) return written;
    }
    return {};
}

fleet::Status IndexWriter::write_headers(const IndexHeaders& headers) {
    const auto time = headers.time.encode();
    const auto event = headers.event.encode();
    fleet::format::QuickRecord quick{};
    std::copy(time.begin(), time.end(), quick.begin());
    if (auto written = image_.write_at(areas_.time, time.data(), time.size()); !written) {
        return written;
    }
    if (auto written = image_.write_at(areas_.event, event.data(), event.size()); !written) {
        return written;
    }
    return image_.write_at(areas_.quick, quick.data(), quick.size());
}

fleet::Result<IndexHeaders> settle_headers(const std::vector<UnitEntry>& time_units,
                                           const std::vector<UnitEntry>& event_units,
                                           const std::function<bool(size_t)>& valid, bool stale,
                                           bool wrapped) {
    const auto oldest_time = oldest_valid(time_units, valid);
    if (!oldest_time) {
        return fleet::fail("no time unit survived: the ring holds fewer GOPs than --unit-every");
    }
    IndexHeaders headers;
    headers.oldest_time = *oldest_time;
    headers.oldest_event = oldest_valid(event_units, valid);
    const uint32_t wrapped_flag = wrapped ? 1 : 0;
    const size_t time_first = stale ? 0 : *oldest_time;
    headers.time = IndexHeader{fleet::format::kIndexMagic, time_units[time_first].n,
                               time_units.back().n, wrapped_flag};
    if (event_units.empty()) {
        headers.event = IndexHeader{fleet::format::kIndexMagic, 1, 0, wrapped_flag};
    } else if (stale || headers.oldest_event) {
        const size_t first = stale ? 0 : *headers.oldest_event;
        headers.event = IndexHeader{fleet::format::kIndexMagic, event_units[first].n,
                                    event_units.back().n, wrapped_flag};
    } else {
        // Every event's GOP is gone; the header still names the newest event.
        const uint32_t last = event_units.back().n;
        headers.event = IndexHeader{fleet::format::kIndexMagic, last, last, wrapped_flag};
    }
    return headers;
}

}  // namespace dvrsim
