// Moving past a stretch that cannot be read: how far each failure moves the position, how long
// the reader waits, and that one report covers the stretch.
#include <gtest/gtest.h>

#include <iterator>

#include "format/gop_header.h"
#include "kivra/kivra.h"
#include "playback/read_recovery.h"

namespace kivra {
namespace {

// A source that only positions: every read of a stretch fails where it stands.
class Positions final : public StoredSource {
  public:
    explicit Positions(int64_t length) : length_(length) {}
    bool is_open() const override { return true; }
    int next(fleet::format::WalkBuffer&) override { return fleet::format::kWalkReadError; }
    int skip_forward(int, fleet::format::WalkBuffer&) override {
        return fleet::format::kWalkReadError;
    }
    int previous(fleet::format::WalkBuffer&) override { return fleet::format::kWalkReadError; }
    int skip_backward(int, fleet::format::WalkBuffer&) override {
        return fleet::format::kWalkReadError;
    }
    // As the file source: positions round up to a block and stay within the length.
    int seek(int64_t logical) override {
        const int64_t at = fleet::format::round_up_block(logical);
        if (logical < 0 || at > length_) return KIVRA_ERROR_FILE_BEYOND_END;
        at_ = at;
        return 0;
    }
    int64_t tell() const override { return at_; }
    int64_t length() const override { return length_; }
    uint32_t begin_time() const override { return 0; }
    uint32_t end_time() const override { return 0; }
    const ProbeResult& probe() const override { return probe_; }
    bool time_index_header(uint8_t*) override { return false; }
    bool time_index_unit(int64_t, uint8_t*) override { return false; }

  private:
    int64_t length_;
    int64_t at_ = 0;
    ProbeResult probe_;
};

TEST(ReadRecovery, EachFailureInARowMovesTwiceAsFarAndIsReportedOnce) {
    Positions source(int64_t{8} << 20);
    ASSERT_EQ(source.seek(4096), 0);
    ReadRecovery recovery;
    const int64_t forward[] = {4608, 5632, 7680, 11776, 19968};
    const long waits[] = {1, 2, 4, 8, 16};
    for (size_t i = 0; i < std::size(forward); ++i) {
        EXPECT_EQ(recovery.failed(), i == 0) << "failure " << i;
        ASSERT_TRUE(recovery.move_past(source, true));
        EXPECT_EQ(source.tell(), forward[i]) << "failure " << i;
        EXPECT_EQ(recovery.backoff().count(), waits[i]) << "failure " << i;
    }
    // On to the end, where no position is left: the caller ends play there.
    for (int moves = 0; recovery.move_past(source, true); ++moves) {
        EXPECT_FALSE(recovery.failed());
        ASSERT_LT(moves, 40) << "stuck at " << source.tell();
    }
    EXPECT_EQ(source.tell(), source.length()) << "never past the end";
    EXPECT_EQ(recovery.backoff().count(), 100) << "the longest wait";

    recovery.ended();
    EXPECT_TRUE(recovery.failed()) << "a new stretch after a read that did not fail";
    ASSERT_TRUE(recovery.move_past(source, false));
    EXPECT_EQ(source.tell(), source.length() - 512);
    for (int moves = 0; recovery.move_past(source, false); ++moves) {
        recovery.failed();
        ASSERT_LT(moves, 40) << "stuck at " << source.tell();
    }
    EXPECT_EQ(source.tell(), 0) << "never before the beginning";
}

// A damaged index may give a length that is not a whole number of blocks; the last step
// stops at the last whole block instead of asking for a position the source refuses.
TEST(ReadRecovery, StopsAtTheLastWholeBlockOfAnUnevenLength) {
    Positions source((int64_t{1} << 20) + 100);
    ASSERT_EQ(source.seek((int64_t{1} << 19) + 512), 0);
    ReadRecovery recovery;
    for (int moves = 0; recovery.move_past(source, true); ++moves) {
        recovery.failed();
        ASSERT_LT(moves, 40) << "stuck at " << source.tell();
    }
    EXPECT_EQ(source.tell(), int64_t{1} << 20);
}

}  // namespace
}  // namespace kivra
