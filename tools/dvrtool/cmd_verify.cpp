#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "damage.h"
#include "dvrtool/commands.h"
#include "format/frame_set.h"
#include "format/gop_header.h"
#include "format/gop_layout.h"
#include "format/gop_parser.h"
#include "forward_walk.h"
#include "index_check.h"
#include "messages.h"
#include "recording.h"

namespace dvrtool {
namespace {

struct PreviousGop {
    int64_t end = 0;  // stored end
    uint32_t total = 0;
};

struct StreamCheck {
    int64_t gops = 0;
    std::vector<GopMark> marks;
    std::optional<PreviousGop> previous;  // the GOP the walk read last, if nothing came since
    int64_t last_gop_end = 0;             // may lie past the end the index gives
    DamageList damage;
};

// Recorders fill unused blocks with zeros or with a header that announces no data.
bool is_padding(const uint8_t* block, size_t length) {
    auto header = fleet::format::read_gop_header(block, length);
    if (header) return header->total_length() == 0;
    for (size_t i = 0; i < length; ++i) {
        if (block[i] != 0) return false;
    }
    return true;
}

// The blocks the walk stepped over in [from, to).
void check_skipped(fleet::format::ByteSource& stream, int64_t from, int64_t to, StreamCheck& s) {
    uint8_t block[fleet::format::kBlockSize];
    for (int64_t at = from; at < to; at += fleet::format::kBlockSize) {
        if (!stream.read_at(at, block, sizeof block)) {
            s.damage.add_run(at, at + fleet::format::kBlockSize, "read error");
        } else if (!is_padding(block, sizeof block)) {
            s.damage.add_run(at, at + fleet::format::kBlockSize, "garbage");
        }
    }
}

std::string rejection(const WalkedGop& gop) {
    return fleet::format::gop_layout(gop.data, gop.length)
               ? "GOP rejected: frame record runs past the frame area"
               : "GOP rejected: bad header";
}

void check_gop(const WalkedGop& gop, StreamCheck& s, FrameSet& set) {
    const fleet::format::GopHeader header = fleet::format::GopHeader::read(gop.data);
    const int64_t end = gop.offset + gop.stored;
    ++s.gops;
    s.marks.push_back({gop.offset, header.time()});
    if (fleet::format::parse_gop(gop.data, gop.length, nullptr, set) != fleet::format::kParseOk) {
        s.damage.add({Damage::kStream, gop.offset, end, rejection(gop)});
    } else if (s.previous && s.previous->end == gop.offset &&
               header.previous_length() != (s.previous->total & 0xFFFFF)) {
        // The back-link field holds 20 bits.
        s.damage.add({Damage::kStream, gop.offset, end,
                      "back-link " + std::to_string(header.previous_length()) +
                          " does not match the previous GOP's length " +
                          std::to_string(s.previous->total)});
    }
    s.previous = PreviousGop{end, header.total_length()};
    s.last_gop_end = end;
}

// Returns the end of the data the walk accounted for.
int64_t check_stream(Recording& recording, StreamCheck& s) {
    fleet::format::FrameSetStorage storage;
    ForwardWalk walk(recording);
    fleet::format::ByteSource& stream = recording.stream();
    for (;;) {
        const auto step = walk.next();
        if (step == ForwardWalk::kGop) {
            check_skipped(stream, walk.skipped_from(), walk.gop().offset, s);
            check_gop(walk.gop(), s, storage.get());
        } else if (step == ForwardWalk::kFailure) {
            const WalkFailure& f = walk.failure();
            check_skipped(stream, walk.skipped_from(), f.begin, s);
            s.damage.add_run(f.begin, f.end, f.reason);
            s.previous.reset();
        } else {
            check_skipped(stream, walk.skipped_from(), walk.data_end(), s);
            return std::max(walk.position(), s.last_gop_end);
        }
    }
}

// The walk moves in walk addressing; the user and the index see the shown offsets. Both are in
// the same order, so the marks stay sorted.
void show_offsets(const Recording& recording, StreamCheck& s) {
    for (GopMark& mark : s.marks) mark.offset = recording.shown_offset(mark.offset);
}

std::vector<Damage> shown_damage(const Recording& recording, const DamageList& list) {
    std::vector<Damage> out = list.regions();
    for (Damage& d : out) {
        d.begin = recording.shown_offset(d.begin);
        d.end = recording.shown_offset(d.end);
    }
    return out;
}

}  // namespace

Outcome run_verify(const CommandLine& line) {
    auto opened = open_recording(line);
    if (!opened) return opened.error();
    Recording& recording = **opened;

    StreamCheck stream;
    const int64_t data_end = recording.shown_offset(check_stream(recording, stream));
    show_offsets(recording, stream);
    std::vector<Damage> damage = shown_damage(recording, stream.damage);
    for (auto& d : check_index(recording, stream.marks, data_end)) {
        damage.push_back(std::move(d));
    }
    for (const auto& d : damage) std::printf("%s\n", damage_text(d).c_str());
    std::printf("%lld GOPs, %zu damaged regions\n", static_cast<long long>(stream.gops),
                damage.size());
    return damage.empty() ? kExitDone : kExitFailed;
}

}  // namespace dvrtool
