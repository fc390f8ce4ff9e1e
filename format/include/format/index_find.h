// Finding moments in a recording by its indexes: the time and event listings, the quick-index
// searches and the date search, with the texts an operator is shown. The reads go through
// IndexReader, so the viewer answers them from the engine and dvrtool from the files. No
// threads here: a caller that wants a worker runs these on it and stops them through `emit`.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "format/index_format.h"

namespace fleet::format {

class IndexReader {
  public:
    virtual ~IndexReader() = default;
    virtual bool time_header(IndexHeader& out) = 0;
    virtual bool time_unit(uint32_t n, IndexUnit& out) = 0;
    // A file pair has no event index: false.
    virtual bool event_header(IndexHeader& out) = 0;
    virtual bool event_unit(uint32_t n, IndexUnit& out) = 0;
    // The quick index header is a 128-byte record; its second and third u32 are first and last.
    virtual bool quick_header(QuickRecord& out) = 0;
    virtual bool quick_unit(uint32_t n, QuickRecord& out) = 0;
    // Up to `count` records from n on (never past the ring's last unit), kept by the reader
    // until its next call: a reader that reads ahead hands a whole block over without a copy
    // apiece. Empty when record n cannot be read. One record at a time unless overridden.
    virtual std::span<const QuickRecord> quick_units(uint32_t n, uint32_t count);

  private:
    QuickRecord one_{};
};

inline constexpr int kEventTypeShift = 20;
inline constexpr uint32_t kTimeUnitMask = 0xFFFFF;  // an event unit's time-unit number

// A listed time or event unit.
struct UnitRow {
    uint32_t unit = 0;  // its number in its own index
    uint32_t time = 0;
    int64_t offset = 0;
    int event_type = 0;  // tag bits 20..23
    bool operator==(const UnitRow&) const = default;
};

// Gets each row as it is found; returning false stops the walk (a closed dialog, a new view).
using UnitSink = std::function<bool(const UnitRow&)>;

// The time view: units walked along the ring from the header's first to its last; listed are
// the first, a unit exactly on an hour (it becomes the mark), a unit an hour or more after the
// mark (the mark becomes its time rounded down to the minute), and any unit with an event type.
// False when the header cannot be read or the sink stopped the walk.
bool list_time_units(IndexReader& reader, const UnitSink& emit);
// The event view: event units whose time-unit number lies in the time index's recorded range.
// False without an event index (a file pair) or a time index.
bool list_event_units(IndexReader& reader, const UnitSink& emit);

// "%04d/%02d/%02d %02d:%02d:%02d" of a unit time, as UTC.
std::string unit_time_text(uint32_t time);
// An event type's name from the fifteen names of types 0..14; type 15 shows as "15".
std::string event_type_text(int type, const std::array<std::string, 15>& names);

// The date search: the offset of the unit at exactly `time`, else of the last unit before the
// first one after it; nothing when no unit lies before `time` or the index ends before it.
std::optional<int64_t> find_time(IndexReader& reader, uint32_t time);

// One quick record as the finder reads it.
struct QuickTyre {
    int pressure_psi = 0;
    std::optional<int> temperature_c;  // nothing: the sensor reported an error (byte above 185)
    bool operator==(const QuickTyre&) const = default;
};
struct QuickPosition {
    double latitude = 0;   // degrees, negative south
    double longitude = 0;  // degrees, negative west
    bool operator==(const QuickPosition&) const = default;
};

// A record's tyres kept as stored, two bytes each (pressure, temperature + 40), so a million
// records read for searching need no allocation apiece; read back as QuickTyre values.
class QuickTyres {
  public:
    static constexpr size_t kCapacity = 34;  // the record's room

    class const_iterator {
      public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = QuickTyre;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = QuickTyre;
        const_iterator() = default;
        const_iterator(const QuickTyres* tyres, size_t i) : tyres_(tyres), i_(i) {}
        QuickTyre operator*() const { return (*tyres_)[i_]; }
        const_iterator& operator++() {
            ++i_;
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator before = *this;
            ++i_;
            return before;
        }
        bool operator==(const const_iterator& other) const { return i_ == other.i_; }

      private:
        const QuickTyres* tyres_ = nullptr;
        size_t i_ = 0;
    };
    using iterator = const_iterator;

    size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    QuickTyre operator[](size_t i) const;
    QuickTyre back() const { return (*this)[count_ - 1]; }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, count_}; }
    // Beyond the capacity nothing is kept; values are stored as a record holds them.
    void push_back(const QuickTyre& tyre);
    // `count` entries of a record's bytes as they are (at most the capacity).
    void assign_stored(const uint8_t* entries, size_t count);

    bool operator==(const QuickTyres& other) const;
    friend bool operator==(const QuickTyres& tyres, const std::vector<QuickTyre>& values) {
        return tyres.size() == values.size() &&
               std::equal(values.begin(), values.end(), tyres.begin());
    }

  private:
    std::array<uint8_t, 2 * kCapacity> bytes_{};
    uint8_t count_ = 0;
};

struct QuickFields {
    uint32_t time_unit = 0;
    int speed_kmh = 0;
    int temperature_c = 0;                  // the low byte as a signed value
    std::array<int, 3> g{};                 // -128..127; 127 = 2 g
    QuickTyres tyres;                       // at most the 34 the record has room for
    std::optional<QuickPosition> position;  // nothing when either text is not a position
    bool operator==(const QuickFields&) const = default;
};
QuickFields decode_quick_record(const QuickRecord& record);

// The dashboard's units the searches and texts follow: 1 = mile/h, 1 = Fahrenheit.
struct FindUnits {
    int speed = 0;
    int temperature = 0;
};

enum class QuickSearch {
    SpeedOver,            // value: speed in the chosen unit
    GOver,                // value: g, accepted 0.1..2.0; any axis beyond +value or -value
    TemperatureOver,      // value: temperature in the chosen unit
    TyreTemperatureOver,  // value: tyre temperature in the chosen unit; error bytes never match
    PressureOver,         // value: psi
    PressureUnder,        // value: psi
    PositionBox,          // longitude, its tolerance, latitude, its tolerance
};

struct QuickQuery {
    QuickSearch search = QuickSearch::SpeedOver;
    std::array<double, 4> values{};  // one value, or the position box's four
    FindUnits units;
};

// A query made ready to test records: thresholds converted to the stored scale (rounding half
// away from zero). Nothing when the query is refused (a G value outside 0.1..2.0).
struct QuickFilter {
    QuickSearch search = QuickSearch::SpeedOver;
    std::array<double, 4> thresholds{};
};
std::optional<QuickFilter> make_quick_filter(const QuickQuery& query);

// A quick record as the searches test it, 28 bytes: a million of them read once stay small and
// are searched again quickly. The tyres are summed up for the searches; a row's texts read the
// whole record again (quick_row_fields).
struct QuickEntry {
    static constexpr uint8_t kNoTyreTemperature = 0xFF;

    uint32_t record = 0;  // its number in the quick index
    uint32_t time_unit = 0;
    int32_t latitude = 0;   // ten-thousandths of a minute, negative south; see has_position
    int32_t longitude = 0;  // the same, negative west
    uint16_t speed_kmh = 0;
    int8_t temperature_c = 0;
    std::array<int8_t, 3> g{};
    uint8_t tyre_count = 0;  // at most the record's room
    uint8_t least_pressure = 0, most_pressure = 0;
    uint8_t hottest_tyre = kNoTyreTemperature;  // stored temperature byte; none without a reading
    bool has_position = false;
    bool operator==(const QuickEntry&) const = default;
};
QuickEntry quick_entry_of(uint32_t record_number, const QuickRecord& record);
bool quick_matches(const QuickFilter& filter, const QuickEntry& entry);

// The quick records of a source, read once (the dialog searches them again and again): only
// those whose time-unit number lies in the time index's recorded range, walked along the ring.
// `keep_going` is asked every few thousand records with the share done (0..1); false stops.
std::optional<std::vector<QuickEntry>> read_quick_entries(
    IndexReader& reader, const std::function<bool(double done)>& keep_going = {});

// A search over the entries read; rows in index order.
std::vector<const QuickEntry*> search_quick_entries(const std::vector<QuickEntry>& entries,
                                                    const QuickFilter& filter);

// A found row's whole record, read again; where it cannot be read or no longer names the
// entry's unit (the medium changed under the finder), the entry's own values without tyres.
QuickFields quick_row_fields(IndexReader& reader, const QuickEntry& entry);

// The texts of a quick row: tindex, Time ("-" when the time unit cannot be read), speed, G,
// temperature, longitude/latitude ("-" when invalid), wheel number, pressure/temperature (each
// tyre " i:psi/temp" or " i:psi/error").
std::array<std::string, 8> quick_row_texts(const QuickFields& fields, IndexReader& reader,
                                           FindUnits units);

// Where a quick row's double click lands: the offset of its time-index unit, when that unit
// lies in the time index's recorded range and can be read.
std::optional<int64_t> quick_row_offset(IndexReader& reader, uint32_t time_unit);

}  // namespace fleet::format
