// Arbitrary bytes as a stored stream walked in both directions, and as a time index.
//
// Input: the stream, then up to kScript bytes of script at the end. Script byte 0 picks the
// beginning of the recorded data (0-3 blocks in) and, with its top bit, a read that fails;
// bytes 1-2 place that read; every later byte is one walk: low 3 bits 0-1 next, 2-3 previous,
// 4 skip forward, 5 skip backward (n = the rest - 8), 6-7 a seek to (the rest) / 31 of the data.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "format/gop_header.h"
#include "format/index_format.h"
#include "format/stream_walker.h"

namespace {

constexpr size_t kScript = 16;
constexpr size_t kCapacity = 64 * 1024;

void check(bool ok) {
    if (!ok) std::abort();
}

class InputSource final : public fleet::format::ByteSource {
  public:
    InputSource(const uint8_t* data, size_t size, int64_t failing)
        : data_(data), size_(size), failing_(failing) {}
    bool read_at(int64_t offset, uint8_t* dest, size_t n) override {
        if (offset < 0 || static_cast<uint64_t>(offset) > size_ ||
            n > size_ - static_cast<size_t>(offset)) {
            return false;
        }
        if (failing_ >= offset && failing_ < offset + static_cast<int64_t>(n)) return false;
        std::memcpy(dest, data_ + offset, n);
        return true;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    int64_t failing_;
};

void walk_stream(const uint8_t* data, size_t size, const uint8_t* script, size_t script_size) {
    int64_t end = static_cast<int64_t>(size);
    int64_t begin = script_size > 0 ? (script[0] & 3) * fleet::format::kBlockSize : 0;
    if (begin > end) begin = 0;
    int64_t failing = -1;
    if (script_size > 2 && (script[0] & 0x80)) failing = script[1] * 512 + script[2];
    InputSource source(data, size, failing);

    std::vector<uint8_t> storage(kCapacity);
    fleet::format::WalkBuffer buffer{storage.data(), storage.size(), 0};
    fleet::format::StreamCursor cursor{&source, begin, end, begin};
    for (size_t i = 3; i < script_size; ++i) {
        int n = (script[i] >> 3) - 8;
        int64_t before = cursor.position;
        int result = 0;
        bool forward = false;
        switch (script[i] & 7) {
            case 0:
            case 1:
                result = fleet::format::next_gop(cursor, buffer);
                forward = true;
                break;
            case 2:
            case 3:
                result = fleet::format::previous_gop(cursor, buffer);
                break;
            case 4:
                result = fleet::format::skip_forward(cursor, n, buffer);
                forward = true;
                break;
            case 5:
                result = fleet::format::skip_backward(cursor, n, buffer);
                break;
            default:  // a seek: 0 is the beginning, 31 the end
                cursor.position = begin + (end - begin) * (script[i] >> 3) / 31;
                continue;
        }
        check(result == fleet::format::kWalkRead || result == fleet::format::kWalkEnd ||
              result == fleet::format::kWalkBeginning || result == fleet::format::kWalkNotOpen ||
              result == fleet::format::kWalkReadError);
        check(cursor.position >= begin && cursor.position <= end + fleet::format::kBlockSize);
        if (result == fleet::format::kWalkNotOpen) check(cursor.position == before);
        if (result == fleet::format::kWalkBeginning) check(cursor.position == begin);
        if (result == fleet::format::kWalkRead) {
            check(buffer.length > 0 && buffer.length <= kCapacity);
            check(buffer.length % fleet::format::kBlockSize == 0);
            if (forward) check(fleet::format::is_gop_start(storage.data(), buffer.length));
        }
    }
}

void read_index(const uint8_t* data, size_t size, const uint8_t* script, size_t script_size) {
    InputSource source(data, size, -1);
    fleet::format::IndexHeader header;
    if (!fleet::format::read_index_header(source, header)) {
        check(size < fleet::format::kIndexRecordSize);
        return;
    }
    auto expect_unit = [&](int64_t n) {
        fleet::format::IndexUnit unit;
        bool inside = n > 0 && static_cast<uint64_t>(n) < size / fleet::format::kIndexRecordSize;
        check(fleet::format::read_index_unit(source, n, unit) == inside);
    };
    expect_unit(header.first);
    expect_unit(header.last);
    uint32_t first = header.first;
    check(fleet::format::units_between(first, header.last) <= fleet::format::kLastUnitNumber);
    if (first >= 1 && first <= fleet::format::kLastUnitNumber) {
        check(fleet::format::next_unit_number(fleet::format::previous_unit_number(first)) == first);
        check(fleet::format::previous_unit_number(fleet::format::next_unit_number(first)) == first);
        check(fleet::format::units_between(first, first) == 1);
    }
    for (size_t i = 0; i < script_size; ++i) {
        fleet::format::QuickRecord quick;
        int64_t n = static_cast<int8_t>(script[i]);
        bool inside = n > 0 && static_cast<uint64_t>(n) < size / fleet::format::kQuickRecordSize;
        check(fleet::format::read_quick_record(source, n, quick) == inside);
        expect_unit(n);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t script_size = std::min(size, kScript);
    size_t stream_size = size - script_size;
    walk_stream(data, stream_size, data + stream_size, script_size);
    read_index(data, size, data + stream_size, script_size);
    return 0;
}
