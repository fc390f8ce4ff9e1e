// The recorded-data dialog without widgets: its index rows and their texts, the start and end
// choice, the download's file names and what each remote link report does to the dialog.
#include <gtest/gtest.h>

#include "common/le.h"
#include "kivra/kivra.h"
#include "lang/language_table.h"
#include "local_time.h"
#include "model/download_names.h"
#include "model/event_types.h"
#include "model/recorded_index_row.h"
#include "model/recorded_link_reaction.h"
#include "model/row_selection.h"

namespace velmora::test {
namespace {

IndexRowBytes row_bytes(uint32_t time, uint32_t flags, uint64_t position) {
    IndexRowBytes bytes{};
    fleet::store_u32(bytes.data(), time);
    fleet::store_u32(bytes.data() + 4, flags);
    fleet::store_u64(bytes.data() + 8, position);
    return bytes;
}

TEST(IndexRow, ReadsTheEnginesSixteenBytes) {
    const IndexRow row = parse_index_row(row_bytes(1700000000, 0x00D12345, 0x123456789AULL));
    EXPECT_EQ(row, (IndexRow{1700000000, 0x00D12345, 0x123456789AULL}));
    EXPECT_EQ(index_row_event_type(row), 13);
    EXPECT_EQ(index_row_event_type(parse_index_row(row_bytes(0, 0xFFFFFFFF, 0))), 15);
    EXPECT_EQ(index_row_event_type(parse_index_row(row_bytes(0, 0x000FFFFF, 0))), 0);
}

TEST(IndexRow, TimeIsShownInUtcAndPositionInHex) {
    EXPECT_EQ(index_row_time_text(0), "1970-01-01 00:00:00");
    EXPECT_EQ(index_row_time_text(1700000000), "2023-11-14 22:13:20");
    EXPECT_EQ(index_row_time_text(0xFFFFFFFF), "2106-02-07 06:28:15");
    EXPECT_EQ(index_row_position_text(0), "0x00");
    EXPECT_EQ(index_row_position_text(0xA), "0x0A");
    EXPECT_EQ(index_row_position_text(0x1F2E3D), "0x1F2E3D");
    EXPECT_EQ(index_row_position_text(0xFFFFFFFFFFFFFFFFULL), "0xFFFFFFFFFFFFFFFF");
}

TEST(IndexRow, StatusNamesTheEventTypeOrShowsItsNumber) {
    const LanguageTable english;
    const EventTypeNames names = event_type_names(english);
    const struct {
        int type;
        std::string expected;
    } cases[] = {{0, "NO EVENT"}, {1, "POWER ON"},  {3, "ALARM IN"},   {4, ""},
                 {5, "VLOSS"},    {13, "G-SENSOR"}, {14, "OVER HEAT"}, {15, "15"}};
    for (const auto& c : cases) EXPECT_EQ(index_row_status_text(c.type, names), c.expected);
}

TEST(RowSelection, DoubleClicksSetStartThenEndThenANewStart) {
    RowSelection selection;
    EXPECT_FALSE(selection.valid());
    EXPECT_TRUE(selection.click(2));
    EXPECT_EQ(selection.start_row(), 3);
    EXPECT_FALSE(selection.valid());
    EXPECT_FALSE(selection.click(5));
    EXPECT_EQ(selection.end_row(), 6);
    EXPECT_TRUE(selection.valid());
    EXPECT_TRUE(selection.click(7));  // a third click starts again
    EXPECT_EQ(selection.start_row(), 8);
    EXPECT_EQ(selection.end_row(), 6);
    EXPECT_FALSE(selection.valid());
    selection.reset();
    EXPECT_EQ(selection.start_row(), 0);
    EXPECT_EQ(selection.end_row(), 0);
    EXPECT_TRUE(selection.click(0));
}

TEST(RowSelection, TheSameRowTwiceOrTheEndFirstIsNotADownload) {
    RowSelection same;
    same.click(4);
    same.click(4);
    EXPECT_FALSE(same.valid());
    RowSelection backwards;
    backwards.click(9);
    backwards.click(1);
    EXPECT_FALSE(backwards.valid());
}

TEST(DownloadNames, FolderSafeRecorderNameAndTheLocalTime) {
    const std::tm t = local_time(2024, 3, 9, 7, 5, 4);
    EXPECT_EQ(download_paths("/data/dl", "BUS-7", t),
              (DownloadPaths{"/data/dl/BUS-7_2024_03_09_07_05_04.DVR",
                             "/data/dl/BUS-7_2024_03_09_07_05_04.inx"}));
    EXPECT_EQ(download_paths("/d", "", t).dvr, "/d/unknow_2024_03_09_07_05_04.DVR");
    EXPECT_EQ(download_paths("/d", "../x/y", t).inx, "/d/___x_y_2024_03_09_07_05_04.inx");
    EXPECT_EQ(download_paths("/d", "..", t).dvr, "/d/___2024_03_09_07_05_04.DVR");
    EXPECT_EQ(download_paths("/d/", "A:B", t).dvr, "/d/A_B_2024_03_09_07_05_04.DVR");
}

struct ReactionCase {
    int code;
    RecordedLinkReaction expected;
};

TEST(RecordedLinkReaction, EachReportsShareOfTheDialog) {
    using M = RecordedMessage;
    const ReactionCase cases[] = {
        {KIVRA_LINK_CONNECTED, {false, "IDS_STRING307", false, M::None}},
        {KIVRA_LINK_CONNECT_FAILED, {true, nullptr, false, M::LinkFailed}},
        {KIVRA_LINK_CLOSED, {true, nullptr, false, M::LinkBroken}},
        {KIVRA_LINK_INDEX_UNIT, {false, nullptr, true, M::None}},
        {KIVRA_LINK_INDEX_DONE, {true, nullptr, false, M::IndexComplete}},
        {KIVRA_LINK_REQUEST_REFUSED, {true, nullptr, false, M::IndexFailed}},
        {KIVRA_LINK_DOWNLOAD_PROGRESS, {false, nullptr, false, M::Progress}},
        {KIVRA_LINK_DOWNLOAD_DONE, {true, nullptr, false, M::DownloadComplete}},
        {KIVRA_LINK_DOWNLOAD_REFUSED, {true, nullptr, false, M::DownloadFailed}},
        {KIVRA_LINK_DATA_REQUEST_FAILED, {}},
        {KIVRA_LINK_MALFORMED, {}},
        {-1, {}},
    };
    for (const ReactionCase& c : cases) {
        SCOPED_TRACE(c.code);
        const RecordedLinkReaction r = recorded_link_reaction(c.code);
        EXPECT_EQ(r.clear_status, c.expected.clear_status);
        EXPECT_STREQ(r.status_key ? r.status_key : "",
                     c.expected.status_key ? c.expected.status_key : "");
        EXPECT_EQ(r.add_row, c.expected.add_row);
        EXPECT_EQ(r.message, c.expected.message);
    }
}

}  // namespace
}  // namespace velmora::test
