// The two-slot hand-over: which slot receives a GOP or a marker, and what the presenting side
// sees next.
#include <gtest/gtest.h>

#include "format/frame_set.h"
#include "playback/frame_set_pair.h"

namespace kivra {
namespace {

class Pair : public testing::Test {
  protected:
    // A parsed GOP with one picture byte and one audio byte that tell GOPs apart.
    FrameSet& gop(uint8_t mark) {
        FrameSet& set = source_.get();
        fleet::format::reset_frame_set(set);
        set.state = KIVRA_FRAMESET_READY;
        set.frames_per_channel = 1;
        set.present[0] = 1;
        set.picture_size[0][0] = 1;
        set.picture_buffer[0][0] = mark;
        set.has_audio = 1;
        set.audio_chunk_length[0] = 1;
        set.audio_buffer[0] = mark;
        return set;
    }
    uint8_t current_mark() {
        FrameSet* set = pair_.current();
        return set == nullptr ? 0 : set->picture_buffer[0][0];
    }

    fleet::format::FrameSetStorage source_;
    FrameSetPair pair_;
};

TEST_F(Pair, GopsComeOutInTheOrderTheyWentIn) {
    EXPECT_EQ(pair_.current(), nullptr);
    ASSERT_TRUE(pair_.put(gop(1)));
    ASSERT_TRUE(pair_.put(gop(2)));
    EXPECT_EQ(pair_.ready_count(), 2);
    EXPECT_EQ(current_mark(), 1);
    EXPECT_EQ(pair_.current()->audio_buffer[0], 1) << "audio bytes are copied too";
    pair_.release_current();
    EXPECT_EQ(current_mark(), 2);
    ASSERT_TRUE(pair_.put(gop(3)));
    pair_.release_current();
    EXPECT_EQ(current_mark(), 3);
    pair_.release_current();
    EXPECT_EQ(pair_.current(), nullptr);
}

TEST_F(Pair, APutWithBothSlotsReadyIsIgnored) {
    ASSERT_TRUE(pair_.put(gop(1)));
    ASSERT_TRUE(pair_.put(gop(2)));
    EXPECT_FALSE(pair_.put(gop(3)));
    EXPECT_EQ(current_mark(), 1);
    pair_.release_current();
    EXPECT_EQ(current_mark(), 2);
}

// New data after an end report overwrites the marker instead of waiting behind it.
TEST_F(Pair, AGopOverwritesAMarkerAtTheWriteSlot) {
    ASSERT_TRUE(pair_.put(gop(1)));
    pair_.mark(KIVRA_FRAMESET_END_OF_DATA);
    pair_.mark(KIVRA_FRAMESET_END_OF_DATA);  // a second marker does not take a slot
    EXPECT_FALSE(pair_.put(gop(2))) << "a GOP and a marker fill both slots";
    pair_.release_current();
    ASSERT_TRUE(pair_.put(gop(3)));
    ASSERT_NE(pair_.current(), nullptr);
    EXPECT_EQ(pair_.current()->state, KIVRA_FRAMESET_READY);
    EXPECT_EQ(current_mark(), 3);
    pair_.release_current();
    EXPECT_EQ(pair_.current(), nullptr) << "the marker is gone";
}

TEST_F(Pair, MarkersAndReset) {
    pair_.mark(KIVRA_FRAMESET_NO_DATA_YET);
    ASSERT_NE(pair_.current(), nullptr);
    EXPECT_EQ(pair_.current()->state, KIVRA_FRAMESET_NO_DATA_YET);
    pair_.release_current();
    EXPECT_EQ(pair_.current(), nullptr);
    ASSERT_TRUE(pair_.put(gop(1)));
    pair_.mark(KIVRA_FRAMESET_END_OF_DATA);
    pair_.reset();
    EXPECT_EQ(pair_.current(), nullptr);
    EXPECT_EQ(pair_.ready_count(), 0);
}

}  // namespace
}  // namespace kivra
