#include "remote_fixture.h"

namespace engine_net {

std::vector<uint8_t> index_units(int count) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < count; ++i) {
        fleet::format::IndexUnit unit;
        unit.time = kFirstGopTime + static_cast<uint32_t>(i);
        unit.tag = static_cast<uint32_t>(i % 3) << 20;  // event types ride along unchanged
        unit.offset = int64_t{i} * 4096;
        const auto record = unit.encode();
        bytes.insert(bytes.end(), record.begin(), record.end());
    }
    return bytes;
}

uint32_t ring_after(uint32_t unit, int steps) {
    const uint32_t ring = fleet::format::kLastUnitNumber;
    return static_cast<uint32_t>((uint64_t{unit} - 1 + static_cast<uint64_t>(steps)) % ring) + 1;
}

std::array<uint8_t, 16> index_header(uint32_t first, uint32_t last) {
    fleet::format::IndexHeader header;
    header.first = first;
    header.last = last;
    header.wrapped = last < first ? 1 : 0;
    return header.encode();
}

int32_t RemoteLinkTest::open_direct() {
    EXPECT_TRUE(recorder_.listen());
    const size_t links = recorder_.links_made();
    const size_t messages = recorder_.received_count();
    EXPECT_EQ(zOpenRx(nullptr, nullptr, "127.0.0.1", 0, 0, nullptr), 1);
    const auto link = recorder_.wait_link(links);
    EXPECT_TRUE(link.has_value());
    EXPECT_TRUE(recorder_.wait_request(messages, Kind::IndexHeader).has_value());
    return link.value_or(-1);
}

void RemoteLinkTest::serve_index(int32_t link, uint32_t first, uint32_t last,
                                 const std::vector<uint8_t>& units) {
    const size_t messages = recorder_.received_count();
    const size_t reports = link_reports().mark();
    ASSERT_TRUE(
        recorder_.send(link, rec::encode_index_header_reply(true, index_header(first, last))));
    const auto request = recorder_.wait_request(messages, Kind::IndexUnits);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->request->first_unit, first);
    EXPECT_EQ(request->request->unit_count, fleet::format::units_between(first, last));
    ASSERT_TRUE(recorder_.send(link, rec::encode_index_units(units)));
    ASSERT_TRUE(wait_link(reports, 1, KIVRA_LINK_INDEX_DONE));
}

void RemoteLinkTest::open_with_index(uint32_t first, int rows) {
    const int32_t link = open_direct();
    serve_index(link, first, ring_after(first, rows - 1), index_units(rows));
    EXPECT_TRUE(recorder_.wait_closed(link));
}

void RemoteLinkTest::open_listening_with_index(int rows) {
    const size_t reports = link_reports().mark();
    ASSERT_EQ(zOpenRx(nullptr, nullptr, "127.0.0.1", 0, 1, nullptr), 1);
    ASSERT_TRUE(wait_link(reports, 1, KIVRA_LINK_LISTENING));
    const int32_t link = recorder_.dial();
    ASSERT_TRUE(recorder_.say_hello(link));
    ASSERT_TRUE(recorder_.wait_request(0, Kind::IndexHeader));
    serve_index(link, 1, static_cast<uint32_t>(rows), index_units(rows));
    ASSERT_TRUE(recorder_.wait_closed(link));
}

std::optional<Received> RemoteLinkTest::start_download(int32_t first_row, int32_t last_row) {
    const size_t links = recorder_.links_made();
    const size_t messages = recorder_.received_count();
    if (zDownload(first_row, last_row, dvr().c_str(), inx().c_str()) != 1) return std::nullopt;
    if (!recorder_.wait_link(links)) return std::nullopt;
    return recorder_.wait_request(messages, Kind::Data);
}

std::vector<std::array<uint8_t, 16>> RemoteLinkTest::rows_since(size_t from) {
    std::vector<std::array<uint8_t, 16>> rows;
    for (const LinkReport& r : link_reports().since(from)) {
        if (r.link == 1 && r.code == KIVRA_LINK_INDEX_UNIT) rows.push_back(r.unit);
    }
    return rows;
}

}  // namespace engine_net
