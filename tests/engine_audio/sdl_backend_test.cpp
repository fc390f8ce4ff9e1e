// The SDL path. Machines without sound still run it through SDL's dummy driver (paced like
// a device) and its disk driver (which writes exactly what the callback gave it).
#include <SDL.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "audio_test_support.h"
#include "process.h"

namespace kivra {
namespace {

using namespace std::chrono_literals;
using test::Clock;
using test::NumberedProducer;

constexpr AudioFormat kTenthFormat{16, 1, 8000};
constexpr size_t kTenth = 1600;

// Output devices the default SDL driver lists; -1 when it cannot tell, -2 without a driver.
int default_device_count() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return -2;
    const int count = SDL_GetNumAudioDevices(0);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return count;
}

bool clock_forced_by_caller() {
    const char* value = std::getenv("KIVRA_AUDIO");
    return value != nullptr && std::strcmp(value, "clock") == 0;
}

class SdlOut : public ::testing::Test {
  protected:
    test::EnvGuard env;
    AudioOut out;
};

TEST_F(SdlOut, RealDevice) {
    if (clock_forced_by_caller()) GTEST_SKIP() << "KIVRA_AUDIO=clock";
    unsetenv("SDL_AUDIODRIVER");
    if (default_device_count() <= 0) GTEST_SKIP() << "no sound device on this machine";
    setenv("KIVRA_AUDIO", "sdl", 1);
    ASSERT_TRUE(out.set_format(kTenthFormat));
    NumberedProducer producer(5, kTenth);
    out.set_completion(producer.completion());
    int checked = 0;
    ASSERT_EQ(out.start(checked), kAudioStarted);
    EXPECT_STREQ(out.backend(), "sdl");
    ASSERT_TRUE(test::wait_for([&] { return producer.calls() >= 9; }, 10s));
    EXPECT_EQ(test::played_numbers(producer.events()), test::one_to(5));
    EXPECT_TRUE(out.stop());
}

TEST_F(SdlOut, DummyDriverPlaysInOrderAtRoughlyRealPace) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("KIVRA_AUDIO", "sdl", 1);
    ASSERT_TRUE(out.set_format(kTenthFormat));
    NumberedProducer producer(20, kTenth);
    out.set_completion(producer.completion());
    int checked = 0;
    const auto begin = Clock::now();
    const int result = out.start(checked);
    if (result != kAudioStarted) GTEST_SKIP() << "SDL's dummy driver does not open here";
    EXPECT_STREQ(out.backend(), "sdl");

    ASSERT_TRUE(test::wait_for([&] { return producer.calls() >= 24; }, 20s));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(producer.calls(), 24) << "the cycle should have run dry";
    const auto events = producer.events();
    EXPECT_EQ(test::played_numbers(events), test::one_to(20));
    EXPECT_EQ(producer.most_at_once(), 1);
    EXPECT_TRUE(out.stop());
    // The dummy device sleeps a callback's length per callback: 2 s of sound, loosely.
    const double took = std::chrono::duration<double>(events.back().when - begin).count();
    EXPECT_GT(took, 1.5);
    EXPECT_LT(took, 4.0);
}

TEST_F(SdlOut, DiskDriverGetsTheSamplesInQueueOrder) {
    fleet::test::TempDir dir;
    const std::string path = dir.file("out.raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "5", 1);  // no need to wait real time for a file
    setenv("KIVRA_AUDIO", "sdl", 1);
    ASSERT_TRUE(out.set_format(kTenthFormat));

    // Buffer n holds samples n*1000 + i, except the first two: the producer's 32-bit number
    // stamp, n then 0 in little-endian halves.
    constexpr int kBuffers = 12;
    NumberedProducer producer(kBuffers, kTenth);
    producer.fill = [](AudioBuffer& buffer, uint32_t number) {
        for (size_t i = 0; i < kTenth / 2; ++i) {
            const auto sample = static_cast<int16_t>(number * 1000 + i);
            std::memcpy(buffer.data + 2 * i, &sample, 2);
        }
    };
    out.set_completion(producer.completion());
    int checked = 0;
    if (out.start(checked) != kAudioStarted) GTEST_SKIP() << "SDL's disk driver does not open here";
    ASSERT_TRUE(test::wait_for([&] { return producer.calls() >= kBuffers + 4; }, 20s));
    EXPECT_TRUE(out.stop());
    EXPECT_EQ(test::played_numbers(producer.events()), test::one_to(kBuffers));

    std::ifstream file(path, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    // Without the silence (and the stamp's zero half), what is left must be each buffer's
    // sound, whole and in order.
    std::vector<int16_t> sound;
    for (int16_t s : samples)
        if (s != 0) sound.push_back(s);
    std::vector<int16_t> expected;
    for (int n = 1; n <= kBuffers; ++n) {
        expected.push_back(static_cast<int16_t>(n));
        for (size_t i = 2; i < kTenth / 2; ++i)
            expected.push_back(static_cast<int16_t>(n * 1000 + static_cast<int>(i)));
    }
    EXPECT_EQ(sound, expected);
}

TEST_F(SdlOut, ForcedWithoutDeviceReportsNoDevice) {
    unsetenv("SDL_AUDIODRIVER");
    if (default_device_count() != 0) GTEST_SKIP() << "this machine lists sound devices";
    setenv("KIVRA_AUDIO", "sdl", 1);
    int checked = 99;
    EXPECT_EQ(out.start(checked), KIVRA_ERROR_OUTPUT_NO_DEVICE);
    EXPECT_EQ(checked, KIVRA_CHECKED_NO_AUDIO_DEVICE);  // the viewer's speaker hint
    EXPECT_FALSE(out.is_open());
    EXPECT_FALSE(out.stop());
}

TEST_F(SdlOut, ForcedOpenFailureIsReportedAutomaticFallsBack) {
    // The disk driver lists one device, whose file cannot be created here.
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/nonexistent-kivra-dir/out.raw", 1);
    setenv("KIVRA_AUDIO", "sdl", 1);
    int checked = 99;
    const int result = out.start(checked);
    if (result == KIVRA_ERROR_OUTPUT_NO_DEVICE)
        GTEST_SKIP() << "SDL's disk driver is not available";
    EXPECT_EQ(result, KIVRA_ERROR_OUTPUT_DEVICE);
    EXPECT_EQ(checked, -1);
    EXPECT_FALSE(out.is_open());

    unsetenv("KIVRA_AUDIO");
    checked = 99;
    ASSERT_EQ(out.start(checked), kAudioStarted);
    EXPECT_EQ(checked, 0);
    EXPECT_STREQ(out.backend(), "clock");
    EXPECT_TRUE(out.stop());
}

// Captures what goes to file descriptor 2, where alsa-lib writes directly.
class StderrCapture {
  public:
    StderrCapture() {
        std::fflush(stderr);
        file_ = std::tmpfile();
        saved_ = dup(2);
        dup2(fileno(file_), 2);
    }
    std::string finish() {
        std::fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
        std::string text;
        std::rewind(file_);
        for (int c; (c = std::fgetc(file_)) != EOF;) text.push_back(static_cast<char>(c));
        std::fclose(file_);
        return text;
    }

  private:
    std::FILE* file_ = nullptr;
    int saved_ = -1;
};

TEST_F(SdlOut, AutomaticChoiceAlwaysStartsAndStaysQuiet) {
    if (clock_forced_by_caller()) GTEST_SKIP() << "KIVRA_AUDIO=clock";
    unsetenv("KIVRA_AUDIO");
    unsetenv("SDL_AUDIODRIVER");
    std::atomic<int> calls{0};
    out.set_completion([&](AudioBuffer& buffer) {
        ++calls;
        buffer.length = 0;
        return true;
    });
    int checked = 99;
    StderrCapture capture;
    const int result = out.start(checked);
    const std::string said = capture.finish();
    ASSERT_EQ(result, kAudioStarted);
    EXPECT_EQ(checked, 0);
    const std::string backend = out.backend();
    EXPECT_TRUE(backend == "sdl" || backend == "clock") << backend;
    if (backend == "clock") {
        EXPECT_EQ(said.find("ALSA lib"), std::string::npos) << said;
    }
    EXPECT_TRUE(test::wait_for([&] { return calls.load() >= 8; }, 5s));
    EXPECT_TRUE(out.stop());
    std::printf("automatic choice on this machine: %s\n", backend.c_str());
}

}  // namespace
}  // namespace kivra
