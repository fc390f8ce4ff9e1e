// Downloads (zDownload) into a file pair: the data request, the GOPs stored padded with their
// index, and the pair left behind by a finished, stopped, empty or refused download.
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "common/le.h"
#include "remote_fixture.h"

namespace engine_net {
namespace {

// The .inx as records: [0] the header, then the units.
struct IndexFile {
    fleet::format::IndexHeader header;
    std::vector<fleet::format::IndexUnit> units;
    size_t bytes = 0;
};

IndexFile read_index(const std::string& path) {
    const std::string text = fleet::test::read_file(path);
    IndexFile index;
    index.bytes = text.size();
    const auto* p = reinterpret_cast<const uint8_t*>(text.data());
    if (text.size() >= 16) index.header = fleet::format::IndexHeader::decode(p);
    for (size_t at = 16; at + 16 <= text.size(); at += 16) {
        index.units.push_back(fleet::format::IndexUnit::decode(p + at));
    }
    return index;
}

std::vector<uint8_t> read_bytes(const std::string& path) {
    const std::string text = fleet::test::read_file(path);
    return {text.begin(), text.end()};
}

class RemoteDownloadTest : public RemoteLinkTest {
  protected:
    // Sends GOPs first..first+count-1, with the remaining share falling from 100, and waits
    // for their progress reports.
    void send_gops(int32_t link, int first, int count, int total) {
        const size_t reports = link_reports().mark();
        for (int i = first; i < first + count; ++i) {
            const auto remaining = static_cast<uint32_t>(100 - (i + 1) * 100 / total);
            ASSERT_TRUE(recorder_.send(link, rec::encode_video(2, remaining, test_gop(i))));
        }
        const auto progress = [](const LinkReport& r) {
            return r.link == 1 && r.code == KIVRA_LINK_DOWNLOAD_PROGRESS;
        };
        ASSERT_EQ(link_reports().wait_count(reports, progress, static_cast<size_t>(count)),
                  static_cast<size_t>(count));
    }

    void end_download(int32_t link) {
        const size_t reports = link_reports().mark();
        ASSERT_TRUE(recorder_.send(link, rec::encode_video(0, 0, {})));
        ASSERT_TRUE(wait_link(reports, 1, KIVRA_LINK_DOWNLOAD_DONE, 0));
    }

    // The .dvr holds exactly GOPs first..first+count-1, padded.
    void expect_stream(int first, int count) {
        std::vector<uint8_t> expected;
        for (int i = first; i < first + count; ++i) {
            const auto bytes = padded(test_gop(i));
            expected.insert(expected.end(), bytes.begin(), bytes.end());
        }
        EXPECT_EQ(read_bytes(dvr()), expected);
    }

    // The pair opens as a file source with the stream's length.
    void expect_pair_opens() {
        ASSERT_EQ(close_source(), KIVRA_CLOSE_RESULT_REMOTE);
        ASSERT_EQ(zOpen(KIVRA_SOURCE_FILE, dvr().c_str(), inx().c_str(), 0, 0), 1);
        EXPECT_EQ(zTellTotalLen(), static_cast<int64_t>(std::filesystem::file_size(dvr())));
    }
};

TEST_F(RemoteDownloadTest, StoresEveryGopPaddedAndIndexesEvery120th) {
    open_with_index(10, 4);
    const auto request = start_download(2, 4);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->header.command, rec::kCmdLive);
    EXPECT_EQ(request->request->first_unit, 11u);
    EXPECT_EQ(request->request->unit_span, 2u);
    // The header is there from the start.
    EXPECT_EQ(read_index(inx()).header.magic, KIVRA_INDEX_MAGIC);

    constexpr int kGops = 250;
    const size_t reports = link_reports().mark();
    send_gops(request->link, 0, kGops, kGops);
    end_download(request->link);
    EXPECT_TRUE(recorder_.wait_closed(request->link));

    std::vector<int32_t> progress;
    for (const LinkReport& r : link_reports().since(reports)) {
        if (r.code == KIVRA_LINK_DOWNLOAD_PROGRESS) progress.push_back(r.value);
    }
    ASSERT_EQ(progress.size(), static_cast<size_t>(kGops));
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(progress.back(), 100);

    expect_stream(0, kGops);
    const IndexFile index = read_index(inx());
    ASSERT_EQ(index.units.size(), 4u);
    EXPECT_EQ(index.header.magic, KIVRA_INDEX_MAGIC);
    EXPECT_EQ(index.header.first, 1u);
    EXPECT_EQ(index.header.last, 4u);
    int64_t offset = 0;
    size_t unit = 0;
    for (int i = 0; i < kGops; ++i) {
        if (i % 120 == 0) {
            ASSERT_LT(unit, 3u);
            EXPECT_EQ(index.units[unit].time, kFirstGopTime + static_cast<uint32_t>(i)) << i;
            EXPECT_EQ(index.units[unit].tag, 0u);
            EXPECT_EQ(index.units[unit].offset, offset) << i;
            ++unit;
        }
        offset += static_cast<int64_t>(padded(test_gop(i)).size());
    }
    EXPECT_EQ(index.units[3].time, kFirstGopTime + kGops - 1);  // the closing unit
    EXPECT_EQ(index.units[3].offset, offset);
    expect_pair_opens();
}

TEST_F(RemoteDownloadTest, AStoppedDownloadLeavesAPairThatOpens) {
    open_with_index(1, 8);
    const auto request = start_download(1, 8);
    ASSERT_TRUE(request);
    send_gops(request->link, 0, 5, 20);
    EXPECT_EQ(zStopDownload(), 0);
    EXPECT_EQ(zStopDownload(), -1);  // once
    EXPECT_TRUE(recorder_.wait_closed(request->link));
    expect_stream(0, 5);
    const IndexFile index = read_index(inx());
    ASSERT_EQ(index.units.size(), 2u);
    EXPECT_EQ(index.header.last, 2u);
    EXPECT_EQ(index.units[1].time, kFirstGopTime + 4);
    EXPECT_EQ(index.units[1].offset, static_cast<int64_t>(read_bytes(dvr()).size()));
    expect_pair_opens();
}

TEST_F(RemoteDownloadTest, AnEmptyDownloadLeavesHeaderAndClosingUnit) {
    open_with_index(1, 3);
    const auto request = start_download(1, 2);
    ASSERT_TRUE(request);
    end_download(request->link);
    EXPECT_TRUE(read_bytes(dvr()).empty());
    const IndexFile index = read_index(inx());
    EXPECT_EQ(index.bytes, 32u);
    EXPECT_EQ(index.header.last, 1u);
    ASSERT_EQ(index.units.size(), 1u);
    EXPECT_EQ(index.units[0].offset, 0);
    EXPECT_EQ(zStopDownload(), -1);  // it ended by itself
    expect_pair_opens();
}

TEST_F(RemoteDownloadTest, ARefusedDownloadLeavesNothing) {
    open_with_index(1, 3);
    const auto request = start_download(1, 3);
    ASSERT_TRUE(request);
    const size_t reports = link_reports().mark();
    ASSERT_TRUE(recorder_.send(request->link, rec::encode_reply(rec::kSubData, 0)));
    EXPECT_TRUE(wait_link(reports, 1, KIVRA_LINK_DOWNLOAD_REFUSED, 0));
    EXPECT_TRUE(recorder_.wait_closed(request->link));
    EXPECT_FALSE(std::filesystem::exists(dvr()));
    EXPECT_FALSE(std::filesystem::exists(inx()));
    EXPECT_EQ(zStopDownload(), -1);
}

TEST_F(RemoteDownloadTest, MalformedVideoIsDroppedAndReported) {
    open_with_index(1, 3);
    const auto request = start_download(1, 3);
    ASSERT_TRUE(request);
    std::vector<uint8_t> long_claim = rec::encode_video(2, 50, test_gop(0));
    fleet::store_u32(long_claim.data() + fleet::kLinkHeaderSize + 24,
                     static_cast<uint32_t>(long_claim.size()));
    std::vector<uint8_t> no_magic = test_gop(0);
    no_magic[1] ^= 0xFF;
    std::vector<uint8_t> wrong_length = test_gop(0);  // claims a block more than arrived
    fleet::store_u32(wrong_length.data() + 32, static_cast<uint32_t>(wrong_length.size() + 512));
    for (const auto& message :
         {long_claim, rec::encode_video(2, 50, no_magic), rec::encode_video(2, 50, wrong_length)}) {
        const size_t reports = link_reports().mark();
        ASSERT_TRUE(recorder_.send(request->link, message));
        EXPECT_TRUE(wait_link(reports, 1, KIVRA_LINK_MALFORMED, 0));
    }
    end_download(request->link);
    EXPECT_TRUE(read_bytes(dvr()).empty());
}

// A target that cannot be written is refused; what was there before stays (here a directory
// where the .dvr should go), and nothing half made is left beside it.
TEST_F(RemoteDownloadTest, AnUnwritableTargetLeavesWhatWasThere) {
    open_with_index(1, 3);
    std::filesystem::create_directory(dvr());
    const size_t links = recorder_.links_made();
    EXPECT_EQ(zDownload(1, 3, dvr().c_str(), inx().c_str()), 0);
    EXPECT_TRUE(std::filesystem::is_directory(dvr()));
    EXPECT_FALSE(std::filesystem::exists(inx()));
    std::filesystem::remove(dvr());
    const std::string nowhere = dvr() + ".missing/net.inx";
    EXPECT_EQ(zDownload(1, 3, dvr().c_str(), nowhere.c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(dvr()));
    EXPECT_FALSE(recorder_.wait_link(links, kQuiet));
}

TEST_F(RemoteDownloadTest, RowsOfAWrappedIndexAskForTheRecordersOwnUnits) {
    const size_t reports = link_reports().mark();
    const int32_t link = open_direct();
    serve_index(link, 0xFFFF0, 0x10, index_units(32));
    ASSERT_EQ(rows_since(reports).size(), 32u);
    const auto request = start_download(15, 18);  // units 0xFFFFE, 0xFFFFF, 1, 2
    ASSERT_TRUE(request);
    EXPECT_EQ(request->request->first_unit, 0xFFFFEu);
    EXPECT_EQ(request->request->unit_span, 3u);
}

TEST_F(RemoteDownloadTest, RefusedRangesMakeNoLink) {
    struct Case {
        int32_t first, last;
    };
    const Case cases[] = {{5, 5}, {3, 2}, {0, 2}, {-1, 2}, {3, 5}, {1, 70000}};
    open_with_index(1, 4);
    const size_t links = recorder_.links_made();
    for (const Case& c : cases) {
        EXPECT_EQ(zDownload(c.first, c.last, dvr().c_str(), inx().c_str()), 0)
            << c.first << ".." << c.last;
    }
    EXPECT_EQ(zDownload(1, 2, nullptr, inx().c_str()), 0);
    EXPECT_EQ(recorder_.links_made(), links);
    EXPECT_FALSE(std::filesystem::exists(dvr()));
}

TEST_F(RemoteDownloadTest, NoDownloadWhileTheIndexLinkIsOpen) {
    const int32_t link = open_direct();
    EXPECT_EQ(zDownload(1, 2, dvr().c_str(), inx().c_str()), 0);
    EXPECT_FALSE(recorder_.is_closed(link));
}

TEST_F(RemoteDownloadTest, StopWithoutADownloadDoesNothing) {
    EXPECT_EQ(zStopDownload(), -1);
    const int32_t link = open_direct();
    EXPECT_EQ(zStopDownload(), -1);
    EXPECT_FALSE(recorder_.wait_closed(link, kQuiet));  // the index link stays
}

TEST_F(RemoteDownloadTest, ListeningSendsTheDataRequestOnHello) {
    open_listening_with_index(3);

    const size_t later = link_reports().mark();
    ASSERT_EQ(zDownload(1, 3, dvr().c_str(), inx().c_str()), 1);
    const auto listening = wait_link(later, 1, KIVRA_LINK_LISTENING, 2201);
    ASSERT_TRUE(listening);
    EXPECT_EQ(listening->extra, KIVRA_LISTEN_DOWNLOAD);
    const size_t messages = recorder_.received_count();
    const int32_t data_link = recorder_.dial();
    ASSERT_TRUE(recorder_.say_hello(data_link));
    const auto request = recorder_.wait_request(messages, Kind::Data);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->link, data_link);
    EXPECT_EQ(request->header.command, rec::kCmdLive);
    EXPECT_EQ(request->request->unit_span, 2u);
}

// A host that tries again from inside the report of a listen that gave up: the engine listens
// again on the same port (the old listener has just closed) and gives up again.
TEST_F(RemoteDownloadTest, ADownloadAskedAgainFromTheGiveUpReportListensAgain) {
    open_listening_with_index(3);

    setenv("KIVRA_LISTEN_TIMEOUT_MS", "200", 1);
    static std::atomic<int> again{0};
    set_link_hook([this](const LinkReport& r) {
        if (r.link == 1 && r.code == KIVRA_LINK_CONNECT_FAILED && again++ == 0) {
            zDownload(1, 3, dvr().c_str(), inx().c_str());
        }
    });
    const size_t later = link_reports().mark();
    ASSERT_EQ(zDownload(1, 3, dvr().c_str(), inx().c_str()), 1);
    EXPECT_EQ(
        link_reports().wait_count(
            later,
            [](const LinkReport& r) { return r.link == 1 && r.code == KIVRA_LINK_LISTENING; }, 2),
        2u);
    EXPECT_EQ(link_reports().wait_count(
                  later,
                  [](const LinkReport& r) {
                      return r.link == 1 && r.code == KIVRA_LINK_CONNECT_FAILED &&
                             r.value == ETIMEDOUT;
                  },
                  2),
              2u);
    set_link_hook({});
}

}  // namespace
}  // namespace engine_net
