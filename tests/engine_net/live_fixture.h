// What the realtime tests share: LiveParams made from readable fields, the engine's live feed,
// and a scripted recorder that answers stops.
#pragma once

#include <cerrno>
#include <cstring>
#include <string>

#include "api/engine.h"
#include "common/le.h"
#include "format/gop_header.h"
#include "net/live_queue.h"
#include "scripted_recorder.h"
#include "test_gops.h"

namespace engine_net {

namespace rec = fleet::recorder;
using Kind = rec::Request::Kind;

struct ParamsSpec {
    std::string address = "127.0.0.1";
    uint32_t channels = 4;
    uint32_t mask = 0x0F;
    uint32_t rate_class = 1;
    uint32_t audio = 2;
    uint8_t log = 1;
    uint8_t flow = 1;
    uint8_t buffering = 1;
    uint8_t mark = 2;
    uint8_t resolution = 3;
    uint8_t frame_rate = 7;
};

inline LiveParams make_params(const ParamsSpec& s) {
    LiveParams p{};
    std::memcpy(p.bytes, s.address.data(), std::min<size_t>(s.address.size(), 31));
    fleet::store_u32(p.bytes + 32, s.channels);
    fleet::store_u32(p.bytes + 36, s.mask);
    fleet::store_u32(p.bytes + 40, s.rate_class);
    fleet::store_u32(p.bytes + 44, s.audio);
    p.bytes[48] = s.log;
    p.bytes[49] = s.flow;
    p.bytes[50] = s.buffering;
    p.bytes[51] = s.mark;
    p.bytes[52] = s.resolution;
    p.bytes[53] = s.frame_rate;
    return p;
}

inline const uint8_t kAddress6[6] = {10, 1, 2, 3, 0x98, 0x08};
inline const char kName32[32] = "BUS-0042";

inline kivra::LiveFeed& feed() {
    kivra::LiveFeed* live = kivra::Engine::instance().live_feed();
    EXPECT_NE(live, nullptr);
    static struct NoFeed final : kivra::LiveFeed {
        int take(uint8_t*, size_t, size_t&) override { return kClosedOrTooLarge; }
        bool restart_stream() override { return false; }
        void stop_stream() override {}
        int channel_count() const override { return -1; }
    } none;
    return live != nullptr ? *live : none;
}

struct Taken {
    int code = 0;
    std::vector<uint8_t> gop;
};

inline Taken take_gop() {
    std::vector<uint8_t> buffer(kivra::net::kMaxLiveGop);
    size_t length = 0;
    Taken taken;
    taken.code = feed().take(buffer.data(), buffer.size(), length);
    if (taken.code == kivra::LiveFeed::kTaken)
        taken.gop.assign(buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(length));
    return taken;
}

class RealtimeLinkTest : public NetTest {
  protected:
    void SetUp() override {
        NetTest::SetUp();
        // A recorder answers a stop at once, as a healthy one does.
        recorder_.on_message([this](const Received& r) {
            if (r.request && r.request->kind == Kind::LiveStop) {
                recorder_.send(r.link, rec::encode_reply(rec::kSubStop, rec::kStatusAccepted));
            }
        });
    }

    bool open(const ParamsSpec& spec, int32_t mode = 0, int32_t fallback = 0,
              KivraConnector connector = nullptr) {
        return zOpenEx(make_params(spec), mode, fallback, kAddress6, kName32, connector) == 1;
    }

    // Opens directly to the recorder on 2200 and waits for the start request and the end of
    // the connect phase; its link.
    int32_t open_direct(const ParamsSpec& spec = {}) {
        EXPECT_TRUE(recorder_.listen());
        const size_t links = recorder_.links_made();
        const size_t messages = recorder_.received_count();
        const size_t reports = link_reports().mark();
        EXPECT_TRUE(open(spec));
        const auto link = recorder_.wait_link(links);
        EXPECT_TRUE(link.has_value());
        EXPECT_TRUE(recorder_.wait_request(messages, Kind::LiveStart).has_value());
        EXPECT_TRUE(wait_link(reports, 0, KIVRA_LINK_CONNECTED, 0).has_value());
        return link.value_or(-1);
    }

    void send_gop(int32_t link, int i) {
        ASSERT_TRUE(recorder_.send(link, rec::encode_video(2, 0, test_gop(i))));
    }

    // Sends GOPs first..first+count-1 and waits for each prebuffering report.
    void prebuffer(int32_t link, int first = 0) {
        for (int i = 0; i < kivra::net::kPrebufferCount; ++i) {
            const size_t mark = link_reports().mark();
            send_gop(link, first + i);
            const int percent = (i + 1) * 100 / kivra::net::kPrebufferCount;
            ASSERT_TRUE(wait_link(mark, 0, KIVRA_LINK_PREBUFFERING, percent)) << i;
        }
    }

    // Everything sent before has been handled once the answer to this reply is reported.
    void sync(int32_t link) {
        const size_t mark = link_reports().mark();
        ASSERT_TRUE(recorder_.send(link, rec::encode_reply(rec::kSubStart, rec::kStatusAccepted)));
        ASSERT_TRUE(wait_link(mark, 0, KIVRA_LINK_START_ACCEPTED));
    }

    size_t requests_of(size_t from, Kind kind) {
        size_t n = 0;
        for (const Received& r : recorder_.received_since(from)) {
            if (r.request && r.request->kind == kind) ++n;
        }
        return n;
    }

    ScriptedRecorder recorder_;
};

}  // namespace engine_net
