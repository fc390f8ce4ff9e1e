// The reader thread: keeps the frame pair filled with decoded GOPs while normal play runs.
#include <chrono>
#include <thread>
#include <vector>

#include "common/le.h"
#include "decode/decoder_bank.h"
#include "format/gop_header.h"
#include "kivra/kivra.h"
#include "playback/player.h"

namespace kivra {

bool Player::ensure_reader() {
    if (reader_.joinable()) return true;
    reader_wake_.restart();
    reader_run_ = true;
    try {
        reader_ = std::thread([this] { reader_loop(); });
    } catch (const std::system_error&) {
        reader_run_ = false;
        return false;
    }
    return true;
}

void Player::end_reader() {
    if (!reader_.joinable()) return;
    reader_run_ = false;
    reader_wake_.stop();
    reader_.join();
    reader_wake_.restart();
}

int Player::read_for_reader(WalkBuffer& buffer) {
    std::lock_guard<std::mutex> guard(engine_lock_);
    if (source_ == nullptr) return kWalkNotOpen;
    switch (jump_.exchange(KIVRA_JUMP_NEXT)) {
        case KIVRA_JUMP_BACK: return source_->skip_backward(kJumpGops, buffer);
        case KIVRA_JUMP_AHEAD: return source_->skip_forward(kJumpGops, buffer);
        default: return source_->next(buffer);
    }
}

void Player::reader_loop() {
    std::vector<uint8_t> bytes(kWalkBufferSize);
    WalkBuffer buffer{bytes.data(), bytes.size(), 0};
    DecoderBank bank;
    FrameSetStorage set;
    ChannelSizes sizes;
    for (;;) {
        if (!reader_wake_.wait() || !reader_run_) return;
        std::lock_guard<std::mutex> busy(reader_busy_);
        // The output may have stopped while this thread waited for the busy lock.
        if (!reader_run_ || !reader_wake_.is_set() || !pair_) continue;

        int result = read_for_reader(buffer);
        if (result == kWalkRead) {
            if (bank.parse(buffer.data, buffer.length, set.get(), &sizes) != 0) {
                events_.play_event(KIVRA_EVENT_READ_FAILED, 1);
                continue;
            }
            if (!pair_->put(set.get(), sizes)) {
                // No free slot after all: give the GOP back to the source for later.
                std::lock_guard<std::mutex> guard(engine_lock_);
                source_->previous(buffer);
                reader_wake_.reset();
                continue;
            }
            if (pair_->ready_count() == 2) reader_wake_.reset();
            size_t total = fleet::load_u32(buffer.data + 32);
            recorder_.write(buffer.data, total <= buffer.length ? total : buffer.length,
                            set->gop_time);
        } else if (result == kWalkEnd) {
            pair_->mark(KIVRA_FRAMESET_END_OF_DATA);
            reader_wake_.reset();
        } else if (result == kWalkReadError) {
            events_.play_event(KIVRA_EVENT_READ_FAILED, 0);
            // Go on past the damaged block instead of failing on it forever.
            std::lock_guard<std::mutex> guard(engine_lock_);
            if (source_->seek(source_->tell() + kBlockSize) != 0) {
                pair_->mark(KIVRA_FRAMESET_END_OF_DATA);
                reader_wake_.reset();
            }
        } else {
            reader_wake_.reset();
        }
    }
}

}  // namespace kivra
