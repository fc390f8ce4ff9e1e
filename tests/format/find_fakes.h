// An IndexReader held in memory, for the finder's tables: headers and units by number, quick
// records built field by field at the offsets the recorder writes them.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "format/index_find.h"

namespace find_test {

namespace ff = fleet::format;

class FakeIndexReader final : public ff::IndexReader {
  public:
    std::optional<ff::IndexHeader> time, event;
    std::optional<ff::QuickRecord> quick_head;
    std::map<uint32_t, ff::IndexUnit> time_units, event_units;
    std::map<uint32_t, ff::QuickRecord> quick;
    std::vector<uint32_t> time_reads;  // every time unit number asked for, in order

    bool time_header(ff::IndexHeader& out) override { return give(time, out); }
    bool time_unit(uint32_t n, ff::IndexUnit& out) override {
        time_reads.push_back(n);
        return give(time_units, n, out);
    }
    bool event_header(ff::IndexHeader& out) override { return give(event, out); }
    bool event_unit(uint32_t n, ff::IndexUnit& out) override { return give(event_units, n, out); }
    bool quick_header(ff::QuickRecord& out) override { return give(quick_head, out); }
    bool quick_unit(uint32_t n, ff::QuickRecord& out) override { return give(quick, n, out); }

  private:
    template <typename T>
    static bool give(const std::optional<T>& v, T& out) {
        if (v) out = *v;
        return v.has_value();
    }
    template <typename T>
    static bool give(const std::map<uint32_t, T>& m, uint32_t n, T& out) {
        auto it = m.find(n);
        if (it != m.end()) out = it->second;
        return it != m.end();
    }
};

inline ff::IndexHeader header(uint32_t first, uint32_t last) {
    return {ff::kIndexMagic, first, last, 0};
}

// A quick index header: the time index header's 16 bytes at the start of 128.
ff::QuickRecord quick_header(uint32_t first, uint32_t last);

struct TyreBytes {
    uint8_t pressure = 0;
    uint8_t temperature = 0;  // degrees + 40; above 185 a sensor error
};

// A quick record written field by field; the tyre count follows the tyres unless set.
class QuickBytes {
  public:
    QuickBytes& unit(uint32_t n);
    QuickBytes& speed(uint16_t kmh);
    QuickBytes& temperature(uint16_t word);  // the signed value is the low byte
    QuickBytes& g(int8_t x, int8_t y, int8_t z);
    QuickBytes& tyres(const std::vector<TyreBytes>& tyres);  // at most the 34 with room
    QuickBytes& tyre_count(uint8_t n);
    QuickBytes& position(const std::string& latitude, const std::string& longitude);

    const ff::QuickRecord& record() const { return record_; }

  private:
    ff::QuickRecord record_{};
};

}  // namespace find_test
