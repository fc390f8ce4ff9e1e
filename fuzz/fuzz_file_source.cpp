// Arbitrary bytes as a recording's file pair, opened the way zOpen opens one: the index
// header, its first and last units, and the probe for a GOP that parses. Whatever the files
// hold, opening either fails with a reason and leaves nothing open, or leaves a source whose
// facts are within the format's ranges and that walks, seeks and closes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include "format/gop_header.h"
#include "format/index_format.h"
#include "pair_input.h"
#include "source/file_source.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

bool one_of(int value, std::initializer_list<int> allowed) {
    for (int a : allowed) {
        if (value == a) return true;
    }
    return false;
}

void check_probe(const kivra::ProbeResult& probe) {
    check(one_of(probe.channel_count, {-1, 0, 1, 4, 8, 16}));
    check(probe.vehicle_id[sizeof probe.vehicle_id - 1] == '\0');
    check(one_of(probe.sample_rate, {4000, 8000, 11025, 16000, 22050, 32000, 44100}));
    check(one_of(probe.sample_bits, {8, 16, 32}));
}

void check_open_source(kivra::FileSource& source) {
    check(source.is_open() && source.tell() == 0 && source.length() >= 0);
    check_probe(source.probe());

    uint8_t record[fleet::format::kIndexRecordSize];
    check(source.time_index_header(record));
    check(!source.time_index_unit(0, record));

    static std::vector<uint8_t> bytes(fleet::format::kWalkBufferSize);
    fleet::format::WalkBuffer buffer{bytes.data(), bytes.size(), 0};
    const int result = source.next(buffer);
    check(one_of(result, {fleet::format::kWalkRead, fleet::format::kWalkEnd,
                          fleet::format::kWalkReadError}));
    if (result == fleet::format::kWalkRead)
        check(buffer.length > 0 && buffer.length <= bytes.size());

    check(source.seek(0) == 0 && source.tell() == 0);
    check(source.seek(-1) == KIVRA_ERROR_FILE_BEYOND_END);
    if (source.length() < std::numeric_limits<int64_t>::max() - 2 * fleet::format::kBlockSize) {
        check(source.seek(source.length() + fleet::format::kBlockSize) ==
              KIVRA_ERROR_FILE_BEYOND_END);
    }
    check(source.close().empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzz::ScratchDir dir("file-source");
    const fuzz::PairFiles files{dir.path() / "rec.dvr", dir.path() / "rec.inx"};
    const fuzz::FileCleanup cleanup{files.dvr, files.inx};
    if (!fuzz::write_pair(fuzz::split_pair_input(data, size), files)) std::abort();

    kivra::FileSource source;
    if (source.open(files.dvr, files.inx).ok()) {
        check_open_source(source);
    } else {
        check(!source.is_open() && source.tell() == -1);
    }
    check(!source.is_open() && source.close() == std::vector<int>{KIVRA_ERROR_CLOSE_NOTHING_OPEN});
    return 0;
}
