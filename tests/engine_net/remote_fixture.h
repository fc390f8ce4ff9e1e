// What the remote-link tests share: a scripted recorder holding a time index, opening the
// remote source, and serving the index.
#pragma once

#include <cstdint>
#include <vector>

#include "format/index_format.h"
#include "scripted_recorder.h"
#include "test_gops.h"

namespace engine_net {

namespace rec = fleet::recorder;
using Kind = rec::Request::Kind;

// `count` units a second apart, from kFirstGopTime on.
std::vector<uint8_t> index_units(int count);
std::array<uint8_t, 16> index_header(uint32_t first, uint32_t last);
// The unit `steps` places after `unit` along the recorder's ring (0xFFFFF is followed by 1).
uint32_t ring_after(uint32_t unit, int steps);

class RemoteLinkTest : public NetTest {
  protected:
    // zOpenRx to the recorder on 2200 (mode byte 0: direct); the link it asked the index on.
    int32_t open_direct();
    // Answers the index request on `link` with the header first..last, checks the unit
    // request, sends `units` and waits for the end of the listing.
    void serve_index(int32_t link, uint32_t first, uint32_t last,
                     const std::vector<uint8_t>& units);
    // Opens and serves an index of `rows` units numbered from `first`.
    void open_with_index(uint32_t first, int rows);
    // The same with the engine listening (mode byte 1): the recorder dials in and says hello.
    void open_listening_with_index(int rows);
    // zDownload of rows first..last; the link and the data request it made.
    std::optional<Received> start_download(int32_t first_row, int32_t last_row);
    // The rows reported since `from`, in order.
    std::vector<std::array<uint8_t, 16>> rows_since(size_t from);

    std::string dvr() const { return dir_.file("net.dvr"); }
    std::string inx() const { return dir_.file("net.inx"); }

    ScriptedRecorder recorder_;
};

}  // namespace engine_net
