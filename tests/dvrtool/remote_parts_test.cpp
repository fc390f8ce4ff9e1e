// The parts of dvrtool's network commands that need no recorder: recorder addresses, the live
// parameters asked for, the rows a download spans, the engine's link reports, the row listing
// and the download's files.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <cerrno>
#include <fstream>
#include <string>
#include <vector>

#include "common/le.h"
#include "download_files.h"
#include "download_rows.h"
#include "index_rows.h"
#include "kivra/kivra.h"
#include "link_reports.h"
#include "live_params.h"
#include "process.h"
#include "remote_address.h"

namespace dvrtool {
namespace {

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

TEST(RemoteAddress, HostAndOptionalPort) {
    struct Case {
        std::string text, host;
        uint16_t port;
        std::string engine_text;
    };
    const Case cases[] = {
        {"10.0.0.7", "10.0.0.7", 2200, "10.0.0.7"},
        {"10.0.0.7:2200", "10.0.0.7", 2200, "10.0.0.7:2200"},
        {"recorder.local:2201", "recorder.local", 2201, "recorder.local:2201"},
        {"h:65535", "h", 65535, "h:65535"},
        {std::string(31, 'a'), std::string(31, 'a'), 2200, std::string(31, 'a')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        auto address = parse_remote_address(c.text);
        ASSERT_TRUE(address) << address.error().message;
        EXPECT_EQ(address->host, c.host);
        EXPECT_EQ(address->port, c.port);
        EXPECT_EQ(address->engine_text(), c.engine_text);
        EXPECT_EQ(address->shown(), c.host + ":" + std::to_string(c.port));
    }
}

TEST(RemoteAddress, RefusedTextsSayWhy) {
    struct Case {
        std::string text, message;
    };
    const Case cases[] = {
        {"", "the host is missing"},
        {":2200", "the host is missing"},
        {"h:", "must be a number from 1 to 65535"},
        {"h:0", "must be a number from 1 to 65535"},
        {"h:65536", "must be a number from 1 to 65535"},
        {"h:22x", "must be a number from 1 to 65535"},
        {"h:-1", "must be a number from 1 to 65535"},
        {"::1", "IPv6 addresses are not taken"},
        {"a b", "no blanks or control characters"},
        {"a\tb:2200", "no blanks or control characters"},
        {std::string(32, 'a'), "longer than the 31 characters"},
        {std::string(27, 'a') + ":2200", "longer than the 31 characters"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        auto address = parse_remote_address(c.text);
        ASSERT_FALSE(address);
        EXPECT_TRUE(is_usage_error(address.error()));
        EXPECT_NE(address.error().message.find(c.message), std::string::npos)
            << address.error().message;
    }
}

TEST(LiveParams, ChannelsChooseTheCountAndTheMask) {
    struct Case {
        std::optional<std::vector<int>> channels;
        uint32_t count, mask;
    };
    const Case cases[] = {
        {std::nullopt, 4, 0x0F},        {std::vector<int>{1, 3}, 4, 0x05},
        {std::vector<int>{4}, 4, 0x08}, {std::vector<int>{2, 6}, 8, 0x22},
        {std::vector<int>{8}, 8, 0x80}, {std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}, 8, 0xFF},
    };
    RemoteAddress address{"10.1.2.3", 2201, true};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mask);
        const LiveParams p = live_params_for(address, c.channels);
        EXPECT_EQ(fleet::load_u32(p.bytes + 32), c.count);
        EXPECT_EQ(fleet::load_u32(p.bytes + 36), c.mask);
    }
}

TEST(LiveParams, FixedChoicesAndTheAddressField) {
    RemoteAddress address{std::string(26, 'r'), 2201, true};  // 31 characters with the port
    const LiveParams p = live_params_for(address, std::nullopt);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.bytes)), address.engine_text());
    EXPECT_EQ(p.bytes[31], 0);
    EXPECT_EQ(fleet::load_u32(p.bytes + 40), 2u);      // frame-rate class: above the lowest
    EXPECT_EQ(fleet::load_u32(p.bytes + 44), 1u);      // audio, not divided
    const uint8_t tail[] = {0, 0, 1, 1, 1, 15, 0, 0};  // log, flow, buffering, mark, CIF, 30/s
    EXPECT_EQ(std::vector<uint8_t>(p.bytes + 48, p.bytes + 56),
              std::vector<uint8_t>(std::begin(tail), std::end(tail)));

    const LiveParams plain = live_params_for(RemoteAddress{"10.1.2.3"}, std::nullopt);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(plain.bytes)), "10.1.2.3");
}

TEST(DownloadRows, FirstAtOrAfterFromToLastAtOrBeforeTo) {
    const std::vector<uint32_t> times = {100, 110, 120, 130};
    struct Case {
        uint32_t from, to;
        int32_t first, last;
    };
    const Case cases[] = {
        {100, 130, 1, 4}, {90, 200, 1, 4}, {105, 125, 2, 3}, {95, 125, 1, 3}, {110, 120, 2, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + ".." + std::to_string(c.to));
        auto rows = choose_download_rows(times, c.from, c.to);
        ASSERT_TRUE(rows) << rows.error().message;
        EXPECT_EQ(rows->first, c.first);
        EXPECT_EQ(rows->last, c.last);
    }
}

TEST(DownloadRows, EmptySpansAreRefusedWithTheirReason) {
    const std::vector<uint32_t> times = {100, 110, 120, 130};
    struct Case {
        std::vector<uint32_t> times;
        uint32_t from, to;
        std::string message;
    };
    const Case cases[] = {
        {times, 120, 120, "is not before --to"},
        {times, 125, 105, "is not before --to"},
        {times, 131, 200, "no index row lies between"},
        {times, 10, 99, "no index row lies between"},
        {times, 111, 119, "no index row lies between"},
        {times, 101, 119, "only one index row (1970-01-01 00:01:50)"},
        {{}, 10, 20, "the recorder's index is empty"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        auto rows = choose_download_rows(c.times, c.from, c.to);
        ASSERT_FALSE(rows);
        EXPECT_NE(rows.error().message.find(c.message), std::string::npos) << rows.error().message;
    }
}

TEST(LinkReports, WhichReportsEndTheWork) {
    struct Case {
        int32_t link, code;
        bool ends;
    };
    const Case cases[] = {
        {0, KIVRA_LINK_CONNECTED, false},
        {0, KIVRA_LINK_CONNECT_FAILED, true},
        {0, KIVRA_LINK_CLOSED, true},
        {0, KIVRA_LINK_PREBUFFERING, false},
        {0, KIVRA_LINK_MALFORMED, false},
        {0, KIVRA_LINK_START_REFUSED, true},
        {0, KIVRA_LINK_STOP_REFUSED, false},
        {0, KIVRA_LINK_START_DENIED, true},
        {0, KIVRA_LINK_LISTENING, true},
        {1, KIVRA_LINK_CONNECT_FAILED, true},
        {1, KIVRA_LINK_CLOSED, true},
        {1, KIVRA_LINK_MALFORMED, false},
        {1, KIVRA_LINK_INDEX_UNIT, false},
        {1, KIVRA_LINK_INDEX_DONE, false},
        {1, KIVRA_LINK_REQUEST_REFUSED, true},
        {1, KIVRA_LINK_DOWNLOAD_PROGRESS, false},
        {1, KIVRA_LINK_DOWNLOAD_DONE, false},
        {1, KIVRA_LINK_DOWNLOAD_REFUSED, true},
        {1, KIVRA_LINK_DATA_REQUEST_FAILED, true},
        {1, KIVRA_LINK_LISTENING, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.link) + "/" + std::to_string(c.code));
        EXPECT_EQ(ends_the_work(c.link, c.code), c.ends);
        LinkReports reports;
        record_link_report(reports, c.link, c.code, 0, 0);
        EXPECT_EQ(reports.trouble.has_value(), c.ends);
    }
}

TEST(LinkReports, IndexUnitsAreCopiedInOrderAndTheFirstTroubleIsKept) {
    LinkReports reports;
    record_link_report(reports, 1, KIVRA_LINK_CONNECTED, 0, 0);
    for (uint32_t i = 0; i < 3; ++i) {
        const fleet::format::IndexUnit unit{1714564800 + i, (i + 1) << 20, 512 * i};
        const auto bytes = unit.encode();
        record_link_report(reports, 1, KIVRA_LINK_INDEX_UNIT, 0,
                           reinterpret_cast<intptr_t>(bytes.data()));
    }
    record_link_report(reports, 1, KIVRA_LINK_INDEX_DONE, 0, 0);
    record_link_report(reports, 1, KIVRA_LINK_REQUEST_REFUSED, 0, 0);
    record_link_report(reports, 1, KIVRA_LINK_CLOSED, 0, 0);
    EXPECT_TRUE(reports.connected);
    EXPECT_TRUE(reports.index_done);
    ASSERT_EQ(reports.units.size(), 3u);
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(reports.units[i].time, 1714564800 + i);
        EXPECT_EQ(reports.units[i].tag, (i + 1) << 20);
        EXPECT_EQ(reports.units[i].offset, 512 * i);
    }
    ASSERT_TRUE(reports.trouble);
    EXPECT_EQ(reports.trouble->code, KIVRA_LINK_REQUEST_REFUSED);
    EXPECT_EQ(reports.count, 7);
}

TEST(LinkReports, PrebufferingAndDownloadProgress) {
    LinkReports reports;
    for (int percent : {10, 50, 100, 30, 100}) {
        record_link_report(reports, 0, KIVRA_LINK_PREBUFFERING, percent, 0);
    }
    EXPECT_EQ(reports.prebuffer_percent, 100);
    EXPECT_EQ(reports.prebuffer_full, 2);
    record_link_report(reports, 1, KIVRA_LINK_DOWNLOAD_PROGRESS, 42, 0);
    EXPECT_EQ(reports.download_percent, 42);
    EXPECT_FALSE(reports.download_done);
    record_link_report(reports, 1, KIVRA_LINK_DOWNLOAD_DONE, 0, 0);
    EXPECT_TRUE(reports.download_done);
    EXPECT_FALSE(reports.trouble);
}

TEST(LinkReports, TroubleTexts) {
    struct Case {
        LinkTrouble trouble;
        std::string text;
    };
    const Case cases[] = {
        {{0, KIVRA_LINK_CONNECT_FAILED, ECONNREFUSED},
         "link failed: cannot reach the recorder at r:2200 (Connection refused)"},
        {{1, KIVRA_LINK_CONNECT_FAILED, 0}, "link failed: cannot reach the recorder at r:2200"},
        {{1, KIVRA_LINK_CONNECT_FAILED, ENOTSUP},
         "link failed: cannot reach the recorder at r:2200"},
        {{0, KIVRA_LINK_CLOSED, ECONNRESET},
         "link broke: the link to the recorder at r:2200 was closed (Connection reset by peer)"},
        {{1, KIVRA_LINK_CLOSED, 0}, "link broke: the link to the recorder at r:2200 was closed"},
        {{0, KIVRA_LINK_START_REFUSED, 1}, "the recorder at r:2200 refused live video: it is busy"},
        {{0, KIVRA_LINK_START_DENIED, 0},
         "the recorder at r:2200 refused live video: access denied"},
        {{1, KIVRA_LINK_LISTENING, 2201}, "link failed: no recorder answered at r:2200"},
        {{1, KIVRA_LINK_REQUEST_REFUSED, 0},
         "the recorder at r:2200 refused the index request, or it cannot be sent"},
        {{1, KIVRA_LINK_DOWNLOAD_REFUSED, 0},
         "the recorder at r:2200 refused the download, or its files cannot be written"},
    };
    for (const Case& c : cases) EXPECT_EQ(link_trouble_text(c.trouble, "r:2200"), c.text);
}

TEST(IndexRows, JsonKeysOfEveryRow) {
    const std::vector<NumberedUnit> rows = {{1, {1714564800, 0x300000, 0}},
                                            {2, {1714564802, 0, 8192}}};
    EXPECT_EQ(index_rows_json(rows), nlohmann::ordered_json::parse(R"([
        {"number": 1, "time": 1714564800, "time_text": "2024-05-01 12:00:00", "tag": 3145728,
         "offset": 0},
        {"number": 2, "time": 1714564802, "time_text": "2024-05-01 12:00:02", "tag": 0,
         "offset": 8192}])"));
}

TEST(DownloadFiles, MadeExclusivelyAndRemovedUnlessKept) {
    fleet::test::TempDir dir;
    const std::string base = dir.file("down");
    {
        DownloadFiles files(base);
        ASSERT_TRUE(files.reserve());
        EXPECT_TRUE(exists(base + ".dvr"));
        EXPECT_TRUE(exists(base + ".inx"));
    }
    EXPECT_FALSE(exists(base + ".dvr"));
    EXPECT_FALSE(exists(base + ".inx"));
    {
        DownloadFiles files(base);
        ASSERT_TRUE(files.reserve());
        files.keep();
    }
    EXPECT_TRUE(exists(base + ".dvr"));
    EXPECT_TRUE(exists(base + ".inx"));
}

TEST(DownloadFiles, AnExistingFileIsNeitherOverwrittenNorRemoved) {
    fleet::test::TempDir dir;
    for (const std::string existing : {".dvr", ".inx"}) {
        SCOPED_TRACE(existing);
        const std::string base = dir.file("taken" + existing.substr(1));
        std::ofstream(base + existing) << "kept";
        {
            DownloadFiles files(base);
            auto reserved = files.reserve();
            ASSERT_FALSE(reserved);
            EXPECT_NE(reserved.error().message.find(base + existing + " exists"), std::string::npos)
                << reserved.error().message;
        }
        EXPECT_EQ(fleet::test::read_file(base + existing), "kept");
        const std::string other = existing == ".dvr" ? ".inx" : ".dvr";
        EXPECT_FALSE(exists(base + other));
    }
}

}  // namespace
}  // namespace dvrtool
