// The reader thread: keeps the frame pair filled with decoded GOPs while normal play runs.
#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "decode/decoder_bank.h"
#include "format/gop_header.h"
#include "kivra/kivra.h"
#include "playback/player.h"
#include "playback/reader_state.h"

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

// Reads what the jump selector asks for. A failed read leaves the position past the block that
// failed, and sets `report` when the failure starts a new damaged stretch; kWalkEnd when there
// is nothing left to move on to.
int Player::read_for_reader(fleet::format::WalkBuffer& buffer, bool& report, int64_t& gop_start) {
    report = false;
    std::lock_guard<std::mutex> guard(engine_lock_);
    if (source_ == nullptr) return fleet::format::kWalkNotOpen;
    int result = fleet::format::kWalkNotOpen;
    bool forward = true;
    switch (jump_.exchange(KIVRA_JUMP_NEXT)) {
        case KIVRA_JUMP_BACK:
            forward = false;
            result = source_->skip_backward(kJumpGops, buffer);
            break;
        case KIVRA_JUMP_AHEAD:
            result = source_->skip_forward(kJumpGops, buffer);
            break;
        default:
            result = source_->next(buffer);
            break;
    }
    if (result != fleet::format::kWalkReadError) {
        recovery_.ended();
        // Forward walks leave the position after the GOP they read, backward ones at its start;
        // play goes on after it either way, or a jump back would show its GOP twice.
        gop_start = source_->tell() - (forward ? static_cast<int64_t>(buffer.length) : 0);
        if (!forward && result == fleet::format::kWalkRead) {
            (void)source_->seek(gop_start + static_cast<int64_t>(buffer.length));
        }
        return result;
    }
    report = recovery_.failed();
    return recovery_.move_past(*source_, forward) ? fleet::format::kWalkReadError
                                                  : fleet::format::kWalkEnd;
}

// A write that fails has ended the recording; the host hears of it once, with the system's
// error number (a full disk: ENOSPC).
void Player::record(const fleet::format::WalkBuffer& buffer, uint32_t time, int64_t gop_start) {
    const size_t total = fleet::format::GopHeader::read(buffer.data).total_length();
    fleet::Status written =
        recorder_.write(buffer.data, std::min(total, buffer.length), time, gop_start);
    if (!written) events_.error(KIVRA_ERROR_RECORD_WRITE, written.error().code, 0);
}

void Player::reader_loop() {
    ReaderState state;
    std::chrono::milliseconds backoff{0};
    for (;;) {
        if (!reader_wake_.wait() || !reader_run_) return;
        if (backoff.count() > 0) {
            if (!reader_wake_.sleep_unless_stopped(backoff)) return;
            backoff = std::chrono::milliseconds{0};
            continue;
        }
        std::lock_guard<std::mutex> busy(reader_busy_);
        // The output may have stopped while this thread waited for the busy lock.
        if (!reader_run_ || !reader_wake_.is_set() || !pair_) continue;
        backoff = live_ != nullptr ? read_live_round(state) : read_stored_round(state);
    }
}

// One GOP from the stored source into the pair; returns how long to wait before the next read.
std::chrono::milliseconds Player::read_stored_round(ReaderState& r) {
    fleet::format::WalkBuffer& buffer = r.buffer;
    bool report = false;
    int64_t gop_start = 0;
    int result = read_for_reader(buffer, report, gop_start);
    if (report) events_.play_event(KIVRA_EVENT_READ_FAILED, KIVRA_READ_FAILED_SOURCE);
    if (result == fleet::format::kWalkRead) {
        if (r.bank.parse(buffer.data, buffer.length, r.set.get(), &r.sizes) != 0) {
            events_.play_event(KIVRA_EVENT_READ_FAILED, KIVRA_READ_FAILED_PARSE);
            return {};
        }
        if (!pair_->put(r.set.get(), r.sizes)) {
            // No free slot after all: give the GOP back to the source for later.
            std::lock_guard<std::mutex> guard(engine_lock_);
            source_->previous(buffer);
            reader_wake_.reset();
            return {};
        }
        if (pair_->ready_count() == 2) reader_wake_.reset();
        record(buffer, r.set->gop_time, gop_start);
    } else if (result == fleet::format::kWalkEnd) {
        pair_->mark(KIVRA_FRAMESET_END_OF_DATA);
        reader_wake_.reset();
    } else if (result == fleet::format::kWalkReadError) {
        std::lock_guard<std::mutex> guard(engine_lock_);
        return recovery_.backoff();  // then on past the damaged block
    } else {
        reader_wake_.reset();
    }
    return {};
}

}  // namespace kivra
