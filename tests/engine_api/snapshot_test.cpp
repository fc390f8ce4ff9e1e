// Snapshots of the canvas into JPEG files.
#include <filesystem>

#include "engine_host.h"

namespace engine_api {
namespace {

struct JpegFacts {
    bool framed = false;  // starts with SOI, ends with EOI
    int width = 0;
    int height = 0;
};

// The markers and the frame header's size; enough to tell a written JPEG from anything else.
JpegFacts read_jpeg_facts(const std::string& bytes) {
    JpegFacts facts;
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
    const size_t n = bytes.size();
    facts.framed = n >= 4 && b[0] == 0xFF && b[1] == 0xD8 && b[n - 2] == 0xFF && b[n - 1] == 0xD9;
    for (size_t at = 2; at + 9 <= n && b[at] == 0xFF;) {
        const uint8_t marker = b[at + 1];
        const size_t length = size_t{b[at + 2]} << 8 | b[at + 3];
        const bool frame_header =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame_header) {
            facts.height = b[at + 5] << 8 | b[at + 6];
            facts.width = b[at + 7] << 8 | b[at + 8];
            break;
        }
        at += 2 + length;
    }
    return facts;
}

class EngineSnapshot : public EngineTest {};

struct RectRow {
    const char* name;
    int32_t rect[4];  // left, top, right, bottom
    int width;
    int height;
};

TEST_F(EngineSnapshot, WritesTheCanvasOfAPlayingRecording) {
    Recording recording;
    ASSERT_NO_FATAL_FAILURE(make_recording(dir_, {"snap", 4, 3, 4, {}}, recording));
    ASSERT_NO_FATAL_FAILURE(open(recording));
    const size_t shown = video().presents();
    ASSERT_EQ(command(KIVRA_CMD_PLAY), std::optional<int32_t>(KIVRA_RESULT_PLAY_OK));
    ASSERT_TRUE(video().wait_presents(shown + 1, kCommandLimit)) << "nothing drawn yet";

    const RectRow rows[] = {
        {"whole", {0, 0, kCanvasWidth, kCanvasHeight}, kCanvasWidth, kCanvasHeight},
        {"part", {100, 50, 420, 290}, 320, 240},
        {"clipped", {-10, -20, kCanvasWidth + 30, kCanvasHeight + 5}, kCanvasWidth, kCanvasHeight},
    };
    for (const RectRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = dir_.file(std::string(row.name) + ".jpg");
        // The engine reads the rectangle when the command runs: it lives until the answer.
        EXPECT_EQ(command(KIVRA_CMD_SNAPSHOT, reinterpret_cast<intptr_t>(row.rect), 946684800, 0,
                          path.c_str()),
                  std::optional<int32_t>(KIVRA_RESULT_SNAPSHOT_OK));
        const JpegFacts facts = read_jpeg_facts(fleet::test::read_file(path));
        EXPECT_TRUE(facts.framed);
        EXPECT_EQ(facts.width, row.width);
        EXPECT_EQ(facts.height, row.height);
    }

    const int32_t whole[4] = {0, 0, kCanvasWidth, kCanvasHeight};
    const int32_t outside[4] = {kCanvasWidth, 0, kCanvasWidth + 100, 100};
    EXPECT_EQ(
        command(KIVRA_CMD_SNAPSHOT, reinterpret_cast<intptr_t>(whole), 0, 0, "/nonexistent/x.jpg"),
        std::optional<int32_t>(KIVRA_RESULT_SNAPSHOT_FAILED));
    const std::string unused = dir_.file("outside.jpg");
    EXPECT_EQ(
        command(KIVRA_CMD_SNAPSHOT, reinterpret_cast<intptr_t>(outside), 0, 0, unused.c_str()),
        std::optional<int32_t>(KIVRA_RESULT_SNAPSHOT_FAILED));
    EXPECT_EQ(command(KIVRA_CMD_SNAPSHOT, 0, 0, 0, unused.c_str()),
              std::optional<int32_t>(KIVRA_RESULT_SNAPSHOT_FAILED));
    EXPECT_EQ(command(KIVRA_CMD_SNAPSHOT, reinterpret_cast<intptr_t>(whole), 0, 0, nullptr),
              std::optional<int32_t>(KIVRA_RESULT_SNAPSHOT_FAILED));
    EXPECT_FALSE(std::filesystem::exists(unused));
}

TEST_F(EngineSnapshot, FailsWithNothingOpen) {
    const int32_t rect[4] = {0, 0, kCanvasWidth, kCanvasHeight};
    const std::string path = dir_.file("nothing.jpg");
    const size_t errors = reports().error_mark();
    EXPECT_EQ(
        command(KIVRA_CMD_SNAPSHOT, reinterpret_cast<intptr_t>(rect), 946684800, 0, path.c_str()),
        std::optional<int32_t>(KIVRA_RESULT_SNAPSHOT_FAILED));
    EXPECT_TRUE(reports().wait_error(errors, KIVRA_ERROR_SNAPSHOT_NOTHING_OPEN, kCommandLimit));
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace engine_api
