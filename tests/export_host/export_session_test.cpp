// The export session against an engine and an extraction library in memory: the dialog's
// checks in their order, the job it fills, and every way an export can end, each of which is
// reported exactly once and leaves either complete files or none.
#include "export_host/export_session.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "fake_export_apis.h"
#include "frame_sets.h"

namespace fleet::export_host::test {
namespace {

namespace fs = std::filesystem;

constexpr std::time_t kNow = 1700000000;  // 2023-11-14 22:13:20 UTC

class ExportSessionTest : public ::testing::Test {
  public:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
        reset_fakes();
        char pattern[] = "/tmp/export_session_XXXXXX";
        dir_ = mkdtemp(pattern);
        session_ = make_session(system_seams().exists);
    }

    std::unique_ptr<ExportSession> make_session(FileExists exists) {
        ExportSink sink;
        sink.progress = [this](int percent) { progress_.push_back(percent); };
        sink.ended = [this](const ExportOutcome& outcome) { outcomes_.push_back(outcome); };
        ExportSeams seams{[] { return kNow; }, std::move(exists)};
        return std::make_unique<ExportSession>(fake_engine().entries(), fake_ombrel().entries(),
                                               sink, seams);
    }
    void TearDown() override { fs::remove_all(dir_); }

    ExportRequest channel_request(int channel) const {
        ExportRequest request;
        request.start_unit = 2;
        request.end_unit = 5;
        request.channels[static_cast<size_t>(channel - 1)] = true;
        request.target_directory = dir_;
        return request;
    }

    void gop(uint32_t time = 1700000240, int percent = 50) {
        auto frames = make_frame_set(time, 8);
        const uint8_t bytes[16] = {1};
        session_->on_extract(KIVRA_EXTRACT_GOP, percent, bytes, sizeof bytes, frames.get());
    }
    void index_record() {
        const uint8_t record[16] = {};
        session_->on_extract(KIVRA_EXTRACT_INDEX, 0, record, sizeof record, nullptr);
    }
    void engine_end(int32_t kind) { session_->on_extract(kind, 0, nullptr, 0, nullptr); }

    std::vector<std::string> files_in_dir() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // As the dialog does: the index read before every show, then START.
    std::optional<ExportRefusal> start(const ExportRequest& request) {
        IndexRange range;
        (void)session_->prepare(range);
        return session_->start(request);
    }

    // A directory under dir_ into which the longest output path has `longest` bytes.
    std::string directory_of_longest_path(size_t longest) const {
        const size_t name = longest - longest_output_path(dir_ + "/") - 1;
        return dir_ + "/" + std::string(name, 'd');
    }

    std::string dir_;
    std::unique_ptr<ExportSession> session_;
    std::vector<int> progress_;
    std::vector<ExportOutcome> outcomes_;
};

// ---- preparation ----------------------------------------------------------------------------

TEST_F(ExportSessionTest, PreparationRefusesWhatCannotBeExported) {
    struct Case {
        int32_t opened_type;
        bool header_readable;
        std::optional<ExportRefusal> refusal;
    };
    const Case cases[] = {
        {KIVRA_SOURCE_NONE, true, ExportRefusal::NothingOpened},
        {KIVRA_SOURCE_REALTIME, true, ExportRefusal::SourceNotSupported},
        {KIVRA_SOURCE_REMOTE, true, ExportRefusal::SourceNotSupported},
        {KIVRA_SOURCE_FILE, false, ExportRefusal::NoTimeIndex},
        {KIVRA_SOURCE_FILE, true, std::nullopt},
        {KIVRA_SOURCE_DISK, true, std::nullopt},
        {KIVRA_SOURCE_CARD, true, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.opened_type);
        fake_engine().opened_type = c.opened_type;
        fake_engine().header_readable = c.header_readable;
        IndexRange range;
        EXPECT_EQ(session_->prepare(range), c.refusal);
        if (!c.refusal) {
            EXPECT_EQ(range.first, 1u);
            EXPECT_EQ(range.last, 10u);
        }
    }
    EXPECT_STREQ(english_text(ExportRefusal::NothingOpened), "Nothing is opened!");
}

TEST(IndexRangeTest, StepsRunAlongTheRingPastItsLastUnit) {
    const IndexRange wrapped{0xFFFF0, 0x20};
    EXPECT_EQ(wrapped.units(), 0x10u + 0x20u);
    EXPECT_EQ(wrapped.unit_at(0), 0xFFFF0u);
    EXPECT_EQ(wrapped.unit_at(0xF), 0xFFFFFu);
    EXPECT_EQ(wrapped.unit_at(0x10), 1u);
    EXPECT_EQ(wrapped.step_of(1), 0x10u);
    EXPECT_EQ(wrapped.step_of(0x20), wrapped.units() - 1);
    for (uint32_t step = 0; step < wrapped.units(); ++step)
        EXPECT_EQ(wrapped.step_of(wrapped.unit_at(step)), step);
}

// ---- start refusals -------------------------------------------------------------------------

TEST_F(ExportSessionTest, StartRefusesInTheDialogsOrderAndStartsNothing) {
    const std::string file_in_the_way = dir_ + "/plain_file";
    std::fclose(std::fopen(file_in_the_way.c_str(), "w"));
    using Change = std::function<void(ExportRequest&)>;
    struct Case {
        const char* what;
        Change change;
        ExportRefusal refusal;
    };
    const Case cases[] = {
        {"start at end", [](ExportRequest& r) { r.start_unit = r.end_unit; },
         ExportRefusal::IllegalTime},
        {"start after end", [](ExportRequest& r) { std::swap(r.start_unit, r.end_unit); },
         ExportRefusal::IllegalTime},
        {"end outside the index", [](ExportRequest& r) { r.end_unit = 11; },
         ExportRefusal::IllegalTime},
        // An illegal range is named before an empty choice, as the dialog checks them.
        {"nothing ticked and illegal",
         [](ExportRequest& r) {
             r.channels = {};
             r.end_unit = r.start_unit;
         },
         ExportRefusal::IllegalTime},
        {"nothing ticked", [](ExportRequest& r) { r.channels = {}; },
         ExportRefusal::NothingSelected},
        {"sidecars alone",
         [](ExportRequest& r) {
             r.channels = {};
             r.telemetry_csv = r.gpx_track = true;
         },
         ExportRefusal::NothingSelected},
        {"directory under a file",
         [&](ExportRequest& r) { r.target_directory = file_in_the_way + "/sub"; },
         ExportRefusal::DirectoryNotCreated},
        {"directory too long",
         [](ExportRequest& r) { r.target_directory = "/tmp/" + std::string(300, 'd'); },
         ExportRefusal::DirectoryTooLong},
        // Short enough for the library's fields, one byte too long for the longest name.
        {"directory too long for the longest name",
         [&](ExportRequest& r) { r.target_directory = directory_of_longest_path(260); },
         ExportRefusal::DirectoryTooLong},
        {"no screen count", [](ExportRequest&) { fake_engine().screen_count = -1; },
         ExportRefusal::NoChannelCount},
        {"no sample rate", [](ExportRequest&) { fake_engine().sample_rate = -1; },
         ExportRefusal::NoChannelCount},
        {"no sample bits", [](ExportRequest&) { fake_engine().sample_bits = -1; },
         ExportRefusal::NoChannelCount},
        {"end unit unreadable", [](ExportRequest&) { fake_engine().units.erase(5); },
         ExportRefusal::IndexUnitsUnreadable},
        {"header unreadable", [](ExportRequest&) { fake_engine().header_readable = false; },
         ExportRefusal::IndexUnitsUnreadable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reset_fakes();
        ExportRequest request = channel_request(3);
        c.change(request);
        EXPECT_EQ(start(request), c.refusal);
        EXPECT_TRUE(fake_engine().starts.empty());
        EXPECT_FALSE(session_->running());
    }
    EXPECT_TRUE(outcomes_.empty());
}

TEST_F(ExportSessionTest, ADirectoryWhoseLongestNameFitsIsTaken) {
    ExportRequest request = channel_request(1);
    request.target_directory = directory_of_longest_path(kMaxPathBytes);
    EXPECT_EQ(start(request), std::nullopt);
    EXPECT_TRUE(fs::is_directory(request.target_directory));
}

TEST_F(ExportSessionTest, AnEngineRefusalLeavesTheSessionReadyAgain) {
    fake_engine().start_answer = -1;
    EXPECT_EQ(start(channel_request(3)), ExportRefusal::EngineRefused);
    EXPECT_FALSE(session_->running());
    fake_engine().start_answer = 0;
    EXPECT_EQ(start(channel_request(3)), std::nullopt);
    EXPECT_TRUE(session_->running());
    EXPECT_EQ(start(channel_request(3)), ExportRefusal::AlreadyRunning);
    EXPECT_EQ(fake_engine().starts.size(), 2u);
}

// The sliders' unit numbers belong to the index read when the dialog was shown: a source
// closed and another opened meanwhile must not be exported from with them.
TEST_F(ExportSessionTest, StartExportsOnlyFromTheIndexPreparationRead) {
    using Change = std::function<void()>;
    struct Case {
        const char* what;
        Change change;  // between preparation and START
        std::optional<ExportRefusal> refusal;
    };
    const Case cases[] = {
        {"the same index", [] {}, std::nullopt},
        {"another range", [] { fake_engine().header.last = 9; },
         ExportRefusal::IndexUnitsUnreadable},
        {"another first unit", [] { fake_engine().units[1].time += 1; },
         ExportRefusal::IndexUnitsUnreadable},
        {"another last unit", [] { fake_engine().units[10].offset += 16; },
         ExportRefusal::IndexUnitsUnreadable},
        {"nothing open now", [] { fake_engine().header_readable = false; },
         ExportRefusal::IndexUnitsUnreadable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reset_fakes();
        session_ = make_session(system_seams().exists);
        IndexRange range;
        ASSERT_EQ(session_->prepare(range), std::nullopt);
        c.change();
        EXPECT_EQ(session_->start(channel_request(3)), c.refusal);
        EXPECT_EQ(fake_engine().starts.size(), c.refusal ? 0u : 1u);
    }
    // Never prepared, or the last preparation refused: nothing to export from.
    reset_fakes();
    session_ = make_session(system_seams().exists);
    EXPECT_EQ(session_->start(channel_request(3)), ExportRefusal::IndexUnitsUnreadable);
    fake_engine().opened_type = KIVRA_SOURCE_NONE;
    IndexRange range;
    EXPECT_EQ(session_->prepare(range), ExportRefusal::NothingOpened);
    fake_engine().opened_type = KIVRA_SOURCE_FILE;
    EXPECT_EQ(session_->start(channel_request(3)), ExportRefusal::IndexUnitsUnreadable);
    EXPECT_TRUE(fake_engine().starts.empty());
}

TEST_F(ExportSessionTest, AMissingTargetDirectoryIsMade) {
    ExportRequest request = channel_request(1);
    request.target_directory = dir_ + "/made/here";
    EXPECT_EQ(start(request), std::nullopt);
    EXPECT_TRUE(fs::is_directory(request.target_directory));
}

TEST_F(ExportSessionTest, ARangeOverTheRingsEndStartsAtItsUnitsOffsets) {
    fake_engine().header = KivraIndexHeader{KIVRA_INDEX_MAGIC, 0xFFFF0, 0x20, 1};
    fake_engine().units[0xFFFF0] = KivraIndexUnit{1, 0, 0x1'0000'0000};
    fake_engine().units[0x20] = KivraIndexUnit{3, 0, 0x2'0000'1000};
    fake_engine().units[0xFFFFE] = KivraIndexUnit{1, 0, 0x1'2345'6000};
    fake_engine().units[0x10] = KivraIndexUnit{2, 0, 0x2'0000'0200};
    ExportRequest request = channel_request(2);
    request.start_unit = 0x10;
    request.end_unit = 0xFFFFE;  // before the start along the ring
    EXPECT_EQ(start(request), ExportRefusal::IllegalTime);
    std::swap(request.start_unit, request.end_unit);
    ASSERT_EQ(start(request), std::nullopt);
    ASSERT_EQ(fake_engine().starts.size(), 1u);
    const auto& call = fake_engine().starts[0];
    EXPECT_EQ(call.start_low, 0x2345'6000u);
    EXPECT_EQ(call.start_high, 1);
    EXPECT_EQ(call.end_low, 0x200u);
    EXPECT_EQ(call.end_high, 2);
}

// ---- the job --------------------------------------------------------------------------------

TEST_F(ExportSessionTest, TheJobCarriesTheChoiceTheRecordingAndTheNames) {
    ExportRequest request = channel_request(3);
    request.channels[6] = true;
    request.file_pair = true;
    request.all_channels = true;
    request.mp4 = true;
    ASSERT_EQ(start(request), std::nullopt);
    gop();
    ASSERT_EQ(fake_ombrel().pres.size(), 1u);
    const ExtractJob& job = fake_ombrel().pres[0];
    EXPECT_EQ(job.screen_count, 4);
    EXPECT_EQ(job.sample_rate, 8000);
    EXPECT_EQ(job.sample_bits, 16);
    const uint8_t channels[8] = {0, 0, 1, 0, 0, 0, 1, 0};
    EXPECT_EQ(std::memcmp(job.channel_avi, channels, 8), 0);
    EXPECT_EQ(job.all_channels_avi, 1);
    EXPECT_EQ(job.copy_file_pair, 1);
    EXPECT_EQ(job.reserved1[0], 1);  // MP4
    EXPECT_EQ(job.picture_width, 640);
    EXPECT_EQ(job.picture_height, 352);
    EXPECT_EQ(std::string(job.target_directory), dir_);
    const std::string stem = dir_ + "/BUS-12_20231114_2213_20";
    EXPECT_EQ(std::string(job.channel_avi_path[2]), stem + "_ch3.mp4");
    EXPECT_EQ(std::string(job.channel_avi_path[6]), stem + "_ch7.mp4");
    EXPECT_EQ(std::string(job.channel_avi_path[0]), "");
    EXPECT_EQ(std::string(job.all_channels_avi_path), stem + "_ch_all.avi");
    EXPECT_EQ(std::string(job.dvr_path), stem + ".dvr");
    EXPECT_EQ(std::string(job.inx_path), stem + ".inx");
}

// ---- ends -----------------------------------------------------------------------------------

TEST_F(ExportSessionTest, ACompleteExportWritesEveryGopAndRecordAndNamesItsFiles) {
    ExportRequest request = channel_request(3);
    request.file_pair = true;
    ASSERT_EQ(start(request), std::nullopt);
    gop(1700000240, 30);
    gop(1700000241, 70);
    session_->on_extract(KIVRA_EXTRACT_READ_ERROR, 0, nullptr, 0, nullptr);  // goes on
    gop(1700000242, 100);
    for (int i = 0; i < 3; ++i) index_record();
    engine_end(KIVRA_EXTRACT_FINISHED);

    EXPECT_EQ(fake_ombrel().pres.size(), 1u);
    EXPECT_EQ(fake_ombrel().gop_writes, 3);
    EXPECT_EQ(fake_ombrel().index_writes, 3);
    EXPECT_EQ(fake_ombrel().fins, 1);
    EXPECT_EQ(progress_, (std::vector<int>{30, 70, 100}));
    ASSERT_EQ(outcomes_.size(), 1u);
    EXPECT_EQ(outcomes_[0].end, ExportEnd::Completed);
    EXPECT_EQ(files_in_dir(), (std::vector<std::string>{"BUS-12_20231114_2213_20.dvr",
                                                        "BUS-12_20231114_2213_20.inx",
                                                        "BUS-12_20231114_2213_20_ch3.avi"}));
    EXPECT_EQ(outcomes_[0].files.size(), 3u);
    EXPECT_FALSE(session_->running());
}

// Each way an export ends: reported once, the library closed once it was opened, and files
// left only by a completed or stopped export.
TEST_F(ExportSessionTest, EveryEndIsReportedOnceAndFailuresLeaveNothing) {
    using Run = std::function<void(ExportSessionTest&)>;
    struct Case {
        const char* what;
        std::function<void()> arrange;
        Run run;
        ExportEnd end;
        int stops;  // zStopExtract calls the session made itself
        int fins;   // zExtractFin calls: outputs open in the library were closed
        bool files_left;
    };
    auto nothing = [] {};
    const Case cases[] = {
        {"completed", nothing,
         [](ExportSessionTest& t) {
             t.gop();
             t.engine_end(KIVRA_EXTRACT_FINISHED);
         },
         ExportEnd::Completed, 0, 1, true},
        {"stopped by the user", nothing,
         [](ExportSessionTest& t) {
             t.gop();
             t.engine_end(KIVRA_EXTRACT_STOPPED);
         },
         ExportEnd::Stopped, 0, 1, true},
        // The library cannot create its outputs: stopped at once, no second try on later GOPs.
        {"first zExtractPre refused", [] { fake_ombrel().pre_answer = false; },
         [](ExportSessionTest& t) {
             t.gop();
             t.gop();
             t.index_record();
             t.engine_end(KIVRA_EXTRACT_STOPPED);
         },
         ExportEnd::OpenFailed, 1, 0, false},
        {"an output fails on a GOP", [] { fake_ombrel().fail_gop_write = 2; },
         [](ExportSessionTest& t) {
             t.gop();
             t.gop();
             t.gop();
             t.engine_end(KIVRA_EXTRACT_STOPPED);
         },
         ExportEnd::Failed, 1, 0, false},
        {"an output fails on an index record", [] { fake_ombrel().fail_index_write = 1; },
         [](ExportSessionTest& t) {
             t.gop();
             t.index_record();
             t.index_record();
             t.engine_end(KIVRA_EXTRACT_STOPPED);
         },
         ExportEnd::Failed, 1, 0, false},
        {"an output cannot be completed", [] { fake_ombrel().lose_output_at_fin = true; },
         [](ExportSessionTest& t) {
             t.gop();
             t.engine_end(KIVRA_EXTRACT_FINISHED);
         },
         ExportEnd::Failed, 0, 1, false},
        {"the engine fails while writing", nothing,
         [](ExportSessionTest& t) {
             t.gop();
             t.engine_end(KIVRA_EXTRACT_FAILED);
         },
         ExportEnd::Failed, 0, 1, false},
        {"the source cannot open again", nothing,
         [](ExportSessionTest& t) { t.engine_end(KIVRA_EXTRACT_CANNOT_OPEN); }, ExportEnd::Failed,
         0, 0, false},
        {"the range finds nothing", nothing,
         [](ExportSessionTest& t) { t.engine_end(KIVRA_EXTRACT_FAILED); }, ExportEnd::Failed, 0, 0,
         false},
        {"finished without a GOP", nothing,
         [](ExportSessionTest& t) { t.engine_end(KIVRA_EXTRACT_FINISHED); }, ExportEnd::Failed, 0,
         0, false},
        {"stopped before a GOP", nothing,
         [](ExportSessionTest& t) { t.engine_end(KIVRA_EXTRACT_STOPPED); }, ExportEnd::Stopped, 0,
         0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reset_fakes();
        outcomes_.clear();
        fs::remove_all(dir_);
        fs::create_directory(dir_);
        c.arrange();
        ExportRequest request = channel_request(3);
        request.file_pair = true;
        request.telemetry_csv = request.gpx_track = true;
        ASSERT_EQ(start(request), std::nullopt);
        c.run(*this);
        // Reports after the end belong to no export of ours.
        gop();
        engine_end(KIVRA_EXTRACT_FINISHED);

        ASSERT_EQ(outcomes_.size(), 1u);
        EXPECT_EQ(outcomes_[0].end, c.end) << outcomes_[0].detail;
        EXPECT_EQ(fake_engine().stops, c.stops);
        EXPECT_LE(fake_ombrel().pres.size(), 1u);
        EXPECT_EQ(fake_ombrel().fins, c.fins);
        EXPECT_FALSE(session_->running());
        const auto left = files_in_dir();
        if (c.files_left) {
            EXPECT_EQ(left.size(), 5u);  // channel 3, .dvr, .inx, CSV, GPX
            EXPECT_EQ(outcomes_[0].files.size(), 5u);
        } else {
            EXPECT_TRUE(left.empty()) << left.front();
            EXPECT_TRUE(outcomes_[0].files.empty());
        }
    }
}

// Another program takes a sidecar's name between the check and the creation: the export
// fails to open and removes its own files, never the other program's.
TEST_F(ExportSessionTest, ASidecarNameTakenMeanwhileIsLeftToItsOwner) {
    session_ = make_session([](const std::string&) { return false; });
    const std::string theirs = dir_ + "/BUS-12_20231114_2213_20_telemetry.csv";
    std::ofstream(theirs) << "their file\n";

    ExportRequest request = channel_request(3);
    request.file_pair = true;
    request.telemetry_csv = true;
    ASSERT_EQ(start(request), std::nullopt);
    gop();
    engine_end(KIVRA_EXTRACT_STOPPED);

    ASSERT_EQ(outcomes_.size(), 1u);
    EXPECT_EQ(outcomes_[0].end, ExportEnd::OpenFailed);
    EXPECT_EQ(fake_ombrel().fins, 1);
    EXPECT_EQ(files_in_dir(), std::vector<std::string>{"BUS-12_20231114_2213_20_telemetry.csv"});
    std::ifstream kept(theirs);
    std::string line;
    std::getline(kept, line);
    EXPECT_EQ(line, "their file");
}

// The host destroys the session while its export runs (the window closes): the engine is asked
// to stop, the library's outputs are closed and nothing of the export is left.
TEST_F(ExportSessionTest, DestroyedWhileRunningItStopsAndLeavesNothing) {
    struct Case {
        const char* what;
        int gops;  // reported before the session goes
        int stops;
        int fins;
    };
    const Case cases[] = {
        {"before the first GOP", 0, 1, 0},
        {"while writing", 2, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reset_fakes();
        session_ = make_session(system_seams().exists);
        ExportRequest request = channel_request(3);
        request.file_pair = true;
        request.telemetry_csv = request.gpx_track = true;
        ASSERT_EQ(start(request), std::nullopt);
        for (int i = 0; i < c.gops; ++i) gop();
        session_.reset();
        EXPECT_EQ(fake_engine().stops, c.stops);
        EXPECT_EQ(fake_ombrel().fins, c.fins);
        EXPECT_TRUE(files_in_dir().empty()) << files_in_dir().front();
        EXPECT_TRUE(outcomes_.empty());
    }
}

TEST_F(ExportSessionTest, AnIdleSessionIsDestroyedWithoutStoppingAnything) {
    session_.reset();
    EXPECT_EQ(fake_engine().stops, 0);
}

TEST_F(ExportSessionTest, StopAsksTheEngineOnlyWhileRunning) {
    session_->stop();
    EXPECT_EQ(fake_engine().stops, 0);
    ASSERT_EQ(start(channel_request(1)), std::nullopt);
    session_->stop();
    EXPECT_EQ(fake_engine().stops, 1);
    engine_end(KIVRA_EXTRACT_STOPPED);
    session_->stop();
    EXPECT_EQ(fake_engine().stops, 1);
}

TEST_F(ExportSessionTest, TheSecondExportWithinASecondTakesTheNextStem) {
    for (int run = 0; run < 3; ++run) {
        ExportRequest request = channel_request(3);
        request.telemetry_csv = true;
        ASSERT_EQ(start(request), std::nullopt);
        gop();
        engine_end(KIVRA_EXTRACT_FINISHED);
    }
    EXPECT_EQ(files_in_dir(), (std::vector<std::string>{
                                  "BUS-12_20231114_2213_20_1_ch3.avi",
                                  "BUS-12_20231114_2213_20_1_telemetry.csv",
                                  "BUS-12_20231114_2213_20_2_ch3.avi",
                                  "BUS-12_20231114_2213_20_2_telemetry.csv",
                                  "BUS-12_20231114_2213_20_ch3.avi",
                                  "BUS-12_20231114_2213_20_telemetry.csv",
                              }));
}

TEST_F(ExportSessionTest, TheSidecarsHoldARowPerFrameExported) {
    ExportRequest request = channel_request(1);
    request.telemetry_csv = true;
    ASSERT_EQ(start(request), std::nullopt);
    for (int i = 0; i < 4; ++i) gop(1700000240 + static_cast<uint32_t>(i));
    engine_end(KIVRA_EXTRACT_FINISHED);
    ASSERT_EQ(outcomes_.size(), 1u);
    ASSERT_EQ(outcomes_[0].end, ExportEnd::Completed);
    std::ifstream csv(dir_ + "/BUS-12_20231114_2213_20_telemetry.csv");
    int lines = 0;
    for (std::string line; std::getline(csv, line);) ++lines;
    EXPECT_EQ(lines, 1 + 4 * 8);  // the header, then eight frames per GOP
}

}  // namespace
}  // namespace fleet::export_host::test
