// Opening a file pair: the probe, positioning with block rounding, and the index reads.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "format/index_format.h"
#include "recordings.h"
#include "source/file_source.h"

namespace kivra {
namespace {

TEST(FileSource, ProbesPositionsAndReadsTheIndex) {
    std::string base = fleet::test::recording(
        "--channels 8 --stream-version 3 --seconds 3 "
        "--fps 2 --audio-rate 16000 --audio-bits 8");
    FileSource source;
    ASSERT_TRUE(source.open(base + ".dvr", base + ".inx").ok());
    EXPECT_EQ(source.probe().channel_count, 8);
    EXPECT_STREQ(source.probe().vehicle_id, "BUS-0001");
    EXPECT_EQ(source.probe().sample_rate, 16000);
    EXPECT_EQ(source.probe().sample_bits, 8);
    EXPECT_EQ(source.tell(), 0) << "the probe leaves the position at the start";
    EXPECT_FALSE(source.open(base + ".dvr", base + ".inx").ok()) << "already open";

    struct Seek {
        int64_t to;
        int error;
        int64_t at;
    };
    for (const Seek& s :
         {Seek{1000, 0, 1024}, Seek{512, 0, 512}, Seek{source.length(), 0, source.length()},
          Seek{-1, KIVRA_ERROR_FILE_BEYOND_END, 512},
          Seek{source.length() + 1, KIVRA_ERROR_FILE_BEYOND_END, 512}}) {
        if (s.error != 0) {
            ASSERT_EQ(source.seek(512), 0);
        }
        EXPECT_EQ(source.seek(s.to), s.error) << s.to;
        EXPECT_EQ(source.tell(), s.at) << s.to;
    }

    uint8_t record[16];
    ASSERT_TRUE(source.time_index_header(record));
    EXPECT_EQ(fleet::format::IndexHeader::decode(record).magic, fleet::format::kIndexMagic);
    EXPECT_FALSE(source.time_index_unit(0, record));
    ASSERT_TRUE(source.time_index_unit(2, record));
    EXPECT_EQ(fleet::format::IndexUnit::decode(record).offset, source.length())
        << "the closing unit";

    EXPECT_EQ(source.close(), std::vector<int>{});
    EXPECT_EQ(source.close(), std::vector<int>{KIVRA_ERROR_CLOSE_NOTHING_OPEN});
    EXPECT_EQ(source.seek(0), KIVRA_ERROR_FILE_NOT_OPEN);
    EXPECT_EQ(source.tell(), -1);
}

}  // namespace
}  // namespace kivra
