#include "engine_host.h"

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>

namespace engine_api {
namespace {

bool g_started = false;
constexpr int32_t kUnknownCommand = 99;  // outside the command table

class HostEnvironment : public ::testing::Environment {
  public:
    // The audio clock keeps real pace without a sound device, so tests run on any machine.
    void SetUp() override { setenv("KIVRA_AUDIO", "clock", 1); }
    // A host releases the engine before it exits (see EngineExit for what happens if not).
    void TearDown() override {
        if (g_started) release_engine();
    }
};

[[maybe_unused]] ::testing::Environment* const kHostEnvironment =
    ::testing::AddGlobalTestEnvironment(new HostEnvironment);

}  // namespace

bool is_command_result(int32_t code) {
    return (code >= KIVRA_RESULT_CLOSE_FAILED && code <= KIVRA_RESULT_SNAPSHOT_OK) ||
           code == KIVRA_RESULT_JUMP_OK;
}

// ---- Reports -------------------------------------------------------------------------------

struct Reports::State {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<PlayEvent> plays;
    std::vector<ErrorEvent> errors;
    std::vector<DiskEvent> disks;
    std::vector<uint32_t> frame_times;
    std::string vehicle;
    int frames = 0;
    int other_vehicles = 0;
};

Reports::State& Reports::state() {
    static State s;
    return s;
}

size_t Reports::play_mark() {
    std::lock_guard<std::mutex> guard(state().lock);
    return state().plays.size();
}

size_t Reports::error_mark() {
    std::lock_guard<std::mutex> guard(state().lock);
    return state().errors.size();
}

std::optional<PlayEvent> Reports::wait_play(size_t from,
                                            const std::function<bool(const PlayEvent&)>& match,
                                            Millis limit) {
    State& s = state();
    std::unique_lock<std::mutex> guard(s.lock);
    std::optional<PlayEvent> found;
    s.changed.wait_for(guard, limit, [&] {
        for (size_t i = from; i < s.plays.size(); ++i) {
            if (match(s.plays[i])) {
                found = s.plays[i];
                return true;
            }
        }
        return false;
    });
    return found;
}

bool Reports::wait_error(size_t from, int32_t code, Millis limit) {
    State& s = state();
    std::unique_lock<std::mutex> guard(s.lock);
    return s.changed.wait_for(guard, limit, [&] {
        for (size_t i = from; i < s.errors.size(); ++i) {
            if (s.errors[i].code == code) return true;
        }
        return false;
    });
}

std::vector<PlayEvent> Reports::plays_since(size_t from) {
    std::lock_guard<std::mutex> guard(state().lock);
    const auto& plays = state().plays;
    return {plays.begin() + static_cast<std::ptrdiff_t>(std::min(from, plays.size())), plays.end()};
}

std::vector<ErrorEvent> Reports::errors_since(size_t from) {
    std::lock_guard<std::mutex> guard(state().lock);
    const auto& errors = state().errors;
    return {errors.begin() + static_cast<std::ptrdiff_t>(std::min(from, errors.size())),
            errors.end()};
}

bool Reports::saw_play(size_t from, int32_t code, int32_t value) {
    for (const PlayEvent& e : plays_since(from)) {
        if (e.code == code && e.value == value) return true;
    }
    return false;
}

size_t Reports::disk_mark() {
    std::lock_guard<std::mutex> guard(state().lock);
    return state().disks.size();
}

std::optional<DiskEvent> Reports::wait_disk(size_t from, int32_t event, Millis limit) {
    State& s = state();
    std::unique_lock<std::mutex> guard(s.lock);
    std::optional<DiskEvent> found;
    s.changed.wait_for(guard, limit, [&] {
        for (size_t i = from; i < s.disks.size(); ++i) {
            if (s.disks[i].event == event) {
                found = s.disks[i];
                return true;
            }
        }
        return false;
    });
    return found;
}

std::vector<DiskEvent> Reports::disks_since(size_t from) {
    std::lock_guard<std::mutex> guard(state().lock);
    const auto& disks = state().disks;
    return {disks.begin() + static_cast<std::ptrdiff_t>(std::min(from, disks.size())), disks.end()};
}

std::vector<uint32_t> Reports::frame_times() {
    std::lock_guard<std::mutex> guard(state().lock);
    return state().frame_times;
}

void Reports::reset_frames(const std::string& id) {
    std::lock_guard<std::mutex> guard(state().lock);
    state().frame_times.clear();
    state().vehicle = id;
    state().frames = 0;
    state().other_vehicles = 0;
}

int Reports::frames() {
    std::lock_guard<std::mutex> guard(state().lock);
    return state().frames;
}

int Reports::frames_of_other_vehicles() {
    std::lock_guard<std::mutex> guard(state().lock);
    return state().other_vehicles;
}

void Reports::on_play(int32_t code, int32_t value) {
    {
        std::lock_guard<std::mutex> guard(state().lock);
        state().plays.push_back({code, value});
    }
    state().changed.notify_all();
}

void Reports::on_error(int32_t code, int32_t system, int32_t checked) {
    {
        std::lock_guard<std::mutex> guard(state().lock);
        state().errors.push_back({code, system, checked});
    }
    state().changed.notify_all();
}

void Reports::on_disk(int32_t type, const char* device, int32_t event) {
    {
        std::lock_guard<std::mutex> guard(state().lock);
        state().disks.push_back({type, device != nullptr ? device : "", event});
    }
    state().changed.notify_all();
}

void Reports::on_frame(uint32_t gop_time, const char* vehicle_id) {
    std::lock_guard<std::mutex> guard(state().lock);
    ++state().frames;
    state().frame_times.push_back(gop_time);
    if (vehicle_id == nullptr ||
        state().vehicle != std::string(vehicle_id, strnlen(vehicle_id, 16))) {
        ++state().other_vehicles;
    }
}

// ---- FakeTarget ----------------------------------------------------------------------------

struct FakeTarget::State {
    std::mutex lock;
    std::condition_variable changed;
    size_t presents = 0;
    size_t malformed = 0;
    std::vector<std::thread::id> threads;
    std::vector<uint8_t> pixels;
};

FakeTarget::State& FakeTarget::state() {
    static State s;
    return s;
}

KivraVideoTarget FakeTarget::target() {
    KivraVideoTarget t{};
    t.user = &state();
    t.size = [](void*, int32_t* width, int32_t* height) {
        *width = kCanvasWidth;
        *height = kCanvasHeight;
    };
    t.present = [](void* user, const KivraCanvas* canvas) {
        auto& s = *static_cast<State*>(user);
        {
            std::lock_guard<std::mutex> guard(s.lock);
            ++s.presents;
            s.threads.push_back(std::this_thread::get_id());
            if (canvas == nullptr || canvas->pixels == nullptr || canvas->width != kCanvasWidth ||
                canvas->height != kCanvasHeight || canvas->stride < canvas->width * 4) {
                ++s.malformed;
            } else {
                // A real host copies the canvas out during the call; so does this one, which
                // also makes the sanitizers check that all of it is readable.
                s.pixels.assign(canvas->pixels,
                                canvas->pixels + static_cast<size_t>(canvas->stride) *
                                                     static_cast<size_t>(canvas->height));
            }
        }
        s.changed.notify_all();
    };
    return t;
}

size_t FakeTarget::presents() {
    std::lock_guard<std::mutex> guard(state().lock);
    return state().presents;
}

bool FakeTarget::wait_presents(size_t count, Millis limit) {
    std::unique_lock<std::mutex> guard(state().lock);
    return state().changed.wait_for(guard, limit, [&] { return state().presents >= count; });
}

size_t FakeTarget::malformed() {
    std::lock_guard<std::mutex> guard(state().lock);
    return state().malformed;
}

size_t FakeTarget::presents_on(std::thread::id thread) {
    std::lock_guard<std::mutex> guard(state().lock);
    size_t n = 0;
    for (const auto& id : state().threads) n += id == thread ? 1 : 0;
    return n;
}

Reports& reports() {
    static Reports r;
    return r;
}

FakeTarget& video() {
    static FakeTarget v;
    return v;
}

// ---- engine --------------------------------------------------------------------------------

namespace {

void play_proc(int32_t code, int32_t value) {
    reports().on_play(code, value);
}

void error_proc(int32_t code, int32_t system, int32_t checked) {
    reports().on_error(code, system, checked);
}

void frame_proc(uint32_t gop_time, const char* vehicle_id, const void*, const int32_t*, float,
                int32_t, const uint8_t*, int32_t, const void*, int32_t, int32_t, int32_t, int32_t,
                int32_t, int32_t) {
    reports().on_frame(gop_time, vehicle_id);
}

void disk_proc(int32_t type, const char* device, int32_t event) {
    reports().on_disk(type, device, event);
}

std::atomic<ExtractDataProc> g_extract_sink{nullptr};

void extract_proc(int32_t kind, int32_t percent, const void* data, int32_t length,
                  const void* frame_set) {
    if (ExtractDataProc sink = g_extract_sink) sink(kind, percent, data, length, frame_set);
}

}  // namespace

void start_engine() {
    if (g_started) return;
    KivraVideoTarget target = video().target();
    ASSERT_EQ(zInit(&target, play_proc, frame_proc, disk_proc, nullptr, extract_proc, error_proc),
              1);
    g_started = true;
}

void release_engine() {
    EXPECT_EQ(zRelease(), 1);
    g_started = false;
}

void set_extract_sink(ExtractDataProc sink) {
    g_extract_sink = sink;
}

bool engine_started() {
    return g_started;
}

std::optional<int32_t> command(int32_t cmd, intptr_t first, int32_t second, int32_t third,
                               const char* text, Millis limit) {
    size_t mark = reports().play_mark();
    EXPECT_EQ(zPlayMSG(cmd, first, second, third, text), 1);
    auto result = reports().wait_play(
        mark, [](const PlayEvent& e) { return is_command_result(e.code); }, limit);
    if (!result) return std::nullopt;
    return result->code;
}

void close_everything() {
    if (zTellOpenedType() == KIVRA_SOURCE_NONE) return;
    // Stop answers 20 when nothing plays; either way the source can close afterwards.
    EXPECT_TRUE(command(KIVRA_CMD_STOP).has_value()) << "stop did not answer";
    EXPECT_EQ(command(KIVRA_CMD_CLOSE), std::optional<int32_t>(KIVRA_RESULT_CLOSE_OK));
    EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_NONE);
}

// ---- recordings ----------------------------------------------------------------------------

void make_recording(const fleet::test::TempDir& dir, const RecordingOptions& options,
                    Recording& out) {
    const std::string base = dir.file(options.name);
    std::vector<std::string> argv = {DVRSIM_PATH,
                                     "record",
                                     "--out",
                                     base,
                                     "--channels",
                                     std::to_string(options.channels),
                                     "--stream-version",
                                     "3",
                                     "--seconds",
                                     std::to_string(options.seconds),
                                     "--fps",
                                     std::to_string(options.fps)};
    argv.insert(argv.end(), options.extra.begin(), options.extra.end());
    auto result = fleet::test::run_process(argv);
    ASSERT_EQ(result.exit_code, 0) << result.err;
    out = {base + ".dvr", base + ".inx"};
}

void describe(const Recording& recording, nlohmann::json& out) {
    auto result = fleet::test::run_process({DVRTOOL_PATH, "info", recording.dvr, "--json"});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    out = nlohmann::json::parse(result.out);
}

void write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(file.good()) << path;
}

// ---- the unstarted engine ------------------------------------------------------------------

void expect_unstarted_answers(const fleet::test::TempDir& scratch, const Recording& recording) {
    char version[19] = {}, time[19] = {}, date[19] = {};
    KivraInfo(nullptr, nullptr, nullptr);
    KivraInfo(version, time, date);
    // Fixed texts, so two builds of the same source are the same library.
    EXPECT_STREQ(version, "3.0d");
    EXPECT_STREQ(time, "12:01:36");
    EXPECT_STREQ(date, "Jul 12 2013");
    for (int32_t code : {KIVRA_ERROR_FIRST, KIVRA_ERROR_FILE_BEYOND_END, KIVRA_ERROR_LAST}) {
        ASSERT_NE(KivraErrorText(code), nullptr);
        EXPECT_STRNE(KivraErrorText(code), "") << code;
        EXPECT_STRNE(KivraErrorText(code), "unknown error") << code;
    }
    for (int32_t code : {12345, 0, -1, KIVRA_ERROR_FIRST - 1, KIVRA_ERROR_LAST + 1}) {
        EXPECT_STREQ(KivraErrorText(code), "unknown error") << code;
    }

    const char* dvr = recording.dvr.c_str();
    const char* inx = recording.inx.c_str();
    for (int32_t type : {KIVRA_SOURCE_FILE, KIVRA_SOURCE_DISK, KIVRA_SOURCE_CARD}) {
        EXPECT_EQ(zOpen(type, dvr, inx, 0, 0), 0) << "type " << type;
        EXPECT_EQ(zOpen(type, nullptr, nullptr, 0, 0), 0) << "type " << type;
    }
    uint8_t address[6] = {10, 0, 0, 1, 0x1F, 0x90};
    char name[32] = "recorder";
    EXPECT_EQ(zOpenEx(LiveParams{}, 0, 0, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(zOpenEx(LiveParams{}, 1, 1, address, name, nullptr), 0);
    EXPECT_EQ(zOpenRx(nullptr, nullptr, nullptr, 0, 0, nullptr), 0);
    EXPECT_EQ(zOpenRx(address, name, "10.0.0.1", 1, 1, nullptr), 0);
    EXPECT_EQ(zDownload(1, 2, nullptr, nullptr), 0);
    EXPECT_EQ(
        zDownload(1, 2, scratch.file("download.dvr").c_str(), scratch.file("download.inx").c_str()),
        0);
    EXPECT_EQ(zStopDownload(), -1);  // no download ran

    EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_NONE);
    EXPECT_EQ(zTellStatusType(), KIVRA_STATUS_OPENED);
    EXPECT_EQ(zTellScreenNum(), -1);
    EXPECT_EQ(zTellSampleRate(), -1);
    EXPECT_EQ(zTellSampleBits(), -1);
    EXPECT_EQ(zTellFullScreenIdx(), -1);
    for (int32_t index : {-1, 0, 1}) EXPECT_EQ(zSetFullScreen(index), 0) << index;
    EXPECT_EQ(zTellDivStatus(), -1);
    for (int32_t division : {-1, 0, 1, 2}) EXPECT_EQ(zSetDivStatus(division), 0) << division;
    char car[16];
    std::memset(car, 'x', sizeof car);
    EXPECT_EQ(zTellCarId(nullptr), -1);
    EXPECT_EQ(zTellCarId(car), -1);
    EXPECT_EQ(car[0], 'x') << "written although nothing is open";

    zCloseVoice();
    EXPECT_EQ(zOpenVoice(), 1);
    EXPECT_EQ(zOpenVoice(), 0);
    int32_t volume = -7;
    EXPECT_EQ(zSetVoiceVolume(101), 0);
    EXPECT_EQ(zSetVoiceVolume(-1), 0);
    EXPECT_EQ(zSetVoiceVolume(50), 1);
    EXPECT_EQ(zTellVoiceVolume(nullptr), 0);
    EXPECT_EQ(zTellVoiceVolume(&volume), 1);
    EXPECT_EQ(volume, 50);

    EXPECT_EQ(zTellp(), -1);
    EXPECT_EQ(zTellTotalLen(), -1);
    EXPECT_EQ(zTellBegTime(), -1);
    EXPECT_EQ(zTellEndTime(), -1);
    EXPECT_EQ(zStartExtract(0, 0, 0, 0), -1);
    EXPECT_EQ(zStartExtract(0, 0, 0xFFFFFFFFu, 0x7FFFFFFF), -1);
    EXPECT_EQ(zStopExtract(), 0);

    uint8_t record[128] = {};
    EXPECT_EQ(zTellTimeInxHd(nullptr), 0);
    EXPECT_EQ(zTellTimeInxHd(record), 0);
    EXPECT_EQ(zTellEvtInxHd(nullptr), 0);
    EXPECT_EQ(zTellEvtInxHd(record), 0);
    EXPECT_EQ(zTellQuickInxHd(nullptr), 0);
    EXPECT_EQ(zTellQuickInxHd(record), 0);
    for (int32_t unit : {-1, 0, 1, 2}) {
        EXPECT_EQ(zTellTimeInxUnit(unit, nullptr), 0) << unit;
        EXPECT_EQ(zTellTimeInxUnit(unit, record), 0) << unit;
        EXPECT_EQ(zTellEvtInxUnit(unit, record), 0) << unit;
        EXPECT_EQ(zTellQuickInxUnit(unit, record), 0) << unit;
    }

    EXPECT_EQ(zSetRecord(nullptr, 0), 1);
    EXPECT_EQ(zSetRecord(nullptr, 1), 0);
    EXPECT_EQ(zSetRecord(scratch.file("no-such-dir/rec").c_str(), 1), 0);
    EXPECT_EQ(zSetRecord(scratch.file("recorded").c_str(), 1), 1);
    EXPECT_EQ(zSetRecord(nullptr, 0), 1);

    // Nothing runs these now, but posting must still be accepted. A snapshot's first argument
    // is read as its rectangle when posted, so it is a real one or 0.
    const int32_t rect[4] = {0, 0, kCanvasWidth, kCanvasHeight};
    const std::string jpeg = scratch.file("unstarted.jpg");
    for (int32_t cmd = KIVRA_CMD_CLOSE; cmd <= KIVRA_CMD_JUMP; ++cmd) {
        EXPECT_EQ(zPlayMSG(cmd, 0, 0, 0, nullptr), 1) << cmd;
        EXPECT_EQ(zPlayMSG(cmd, cmd == KIVRA_CMD_SNAPSHOT ? 0 : 1, 2, 3, "text"), 1) << cmd;
    }
    EXPECT_EQ(
        zPlayMSG(KIVRA_CMD_SNAPSHOT, reinterpret_cast<intptr_t>(rect), 946684800, 0, jpeg.c_str()),
        1);
    EXPECT_EQ(zPlayMSG(kUnknownCommand, 0, 0, 0, nullptr), 1);
    // Last a poll, which never answers: the engine keeps the last command posted and runs it
    // at the next zInit (EngineLifecycle checks that), and later tests must not see a reply.
    EXPECT_EQ(zPlayMSG(KIVRA_CMD_POLL, 0, 0, 0, nullptr), 1);

    EXPECT_EQ(zRelease(), 1);
    EXPECT_EQ(zTellOpenedType(), KIVRA_SOURCE_NONE);
}

// ---- fixture -------------------------------------------------------------------------------

void EngineTest::SetUp() {
    ASSERT_NO_FATAL_FAILURE(start_engine());
    // A command posted earlier (by an aborted test, or before the engine ran) answers
    // before this one, so nothing stale reaches the test body.
    ASSERT_EQ(command(KIVRA_CMD_JUMP), std::optional<int32_t>(KIVRA_RESULT_JUMP_OK));
    close_everything();
}

void EngineTest::TearDown() {
    close_everything();
}

void EngineTest::open(const Recording& recording) {
    ASSERT_EQ(zOpen(KIVRA_SOURCE_FILE, recording.dvr.c_str(), recording.inx.c_str(), 0, 0), 1)
        << recording.dvr;
    ASSERT_EQ(zTellOpenedType(), KIVRA_SOURCE_FILE);
}

}  // namespace engine_api
