#include "engine_harness.h"

#include <cstring>
#include <thread>

#include "api/engine.h"
#include "report/png_writer.h"
#include "report/telemetry_json.h"

namespace fleet::test {
namespace {

EngineHarness* harness = nullptr;

// Command results, as opposed to what playback itself reports.
bool is_result(int code) {
    return code >= KIVRA_RESULT_CLOSE_FAILED && code != KIVRA_EVENT_DRAW_FAILED;
}

void size_cb(void*, int32_t* w, int32_t* h) {
    *w = harness->width();
    *h = harness->height();
}
void present_cb(void*, const KivraCanvas* c) {
    harness->on_present(c);
}
void play_cb(int32_t code, int32_t value) {
    harness->on_play(code, value);
}
void frame_cb(uint32_t time, const char* id, const void* position, const int32_t* g, float speed,
              int32_t temperature, const uint8_t* flags, int32_t tyres_per_group, const void* tyres,
              int32_t s1, int32_t s2, int32_t s3, int32_t s4, int32_t s5, int32_t s6) {
    const int32_t summary[6] = {s1, s2, s3, s4, s5, s6};
    nlohmann::ordered_json telemetry = fleet::to_json(fleet::telemetry_of_frame_info(
        time, id, position, g, speed, temperature, flags, tyres_per_group, tyres, summary));
    for (const char* key : {"gop", "frame", "channels"}) telemetry.erase(key);
    // Called on the output's completion thread, while the output plays in this format.
    const kivra::AudioFormat output = kivra::Engine::instance().audio().format();
    harness->on_frame({0, time, speed, std::move(telemetry), 0, output.rate, output.bits});
}
void link_cb(int32_t link, int32_t code, int32_t value, intptr_t) {
    harness->on_link(link, code, value);
}
void error_cb(int32_t code, int32_t system_error, int32_t) {
    harness->on_error(code, system_error);
}

void start_engine() {
    static KivraVideoTarget target{nullptr, size_cb, present_cb};
    zInit(&target, play_cb, frame_cb, nullptr, link_cb, nullptr, error_cb);
}
}  // namespace

EngineHarness::EngineHarness(int width, int height) : width_(width), height_(height) {
    harness = this;
    start_engine();
}

void EngineHarness::restart() {
    zRelease();
    start_engine();
}

EngineHarness::~EngineHarness() {
    int status = zTellStatusType();
    bool open = zTellOpenedType() != KIVRA_SOURCE_NONE;
    if (open && status != KIVRA_STATUS_OPENED && status != KIVRA_STATUS_STOPPED) {
        command(KIVRA_CMD_STOP);
    }
    if (zTellOpenedType() != KIVRA_SOURCE_NONE) command(KIVRA_CMD_CLOSE);
    zRelease();
    harness = nullptr;
}

bool EngineHarness::open(const std::string& base) {
    return zOpen(KIVRA_SOURCE_FILE, (base + ".dvr").c_str(), (base + ".inx").c_str(), 0, 0) != 0;
}

int EngineHarness::command(int cmd, intptr_t first, int64_t offset, const char* text) {
    std::unique_lock<std::mutex> guard(lock_);
    int before = results_;
    size_t errors_before = errors_.size();
    guard.unlock();
    zPlayMSG(cmd, first, static_cast<int32_t>(offset & 0xFFFFFFFF),
             static_cast<int32_t>(offset >> 32), text);
    guard.lock();
    bool answered =
        changed_.wait_for(guard, std::chrono::seconds(10), [&] { return results_ > before; });
    last_errors_.assign(errors_.begin() + static_cast<std::ptrdiff_t>(errors_before),
                        errors_.end());
    if (!answered) return -1;
    for (auto it = play_.rbegin(); it != play_.rend(); ++it) {
        if (is_result(it->code)) return it->code;
    }
    return -1;
}

bool EngineHarness::wait(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

std::vector<PlayEvent> EngineHarness::play_events() {
    std::lock_guard<std::mutex> guard(lock_);
    return play_;
}

std::vector<FrameEvent> EngineHarness::frames() {
    std::lock_guard<std::mutex> guard(lock_);
    return frames_;
}

std::vector<LinkEvent> EngineHarness::link_events() {
    std::lock_guard<std::mutex> guard(lock_);
    return links_;
}

void EngineHarness::on_link(int link, int code, int value) {
    std::lock_guard<std::mutex> guard(lock_);
    double at = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    links_.push_back({at, link, code, value});
}

int EngineHarness::count_play(int code, int value) {
    std::lock_guard<std::mutex> guard(lock_);
    int n = 0;
    for (const auto& e : play_) n += e.code == code && e.value == value;
    return n;
}

void EngineHarness::clear() {
    std::lock_guard<std::mutex> guard(lock_);
    play_.clear();
    frames_.clear();
    links_.clear();
    errors_.clear();
    error_systems_.clear();
}

std::vector<uint8_t> EngineHarness::canvas(int& width, int& height) {
    std::lock_guard<std::mutex> guard(lock_);
    width = canvas_width_;
    height = canvas_height_;
    return canvas_;
}

bool EngineHarness::save_canvas(const std::string& path) {
    int w = 0, h = 0;
    std::vector<uint8_t> pixels = canvas(w, h);
    return !pixels.empty() && fleet::write_png(path, pixels.data(), w, h, w * 4);
}

std::array<int, 3> EngineHarness::pixel(int x, int y) {
    std::lock_guard<std::mutex> guard(lock_);
    size_t at =
        (static_cast<size_t>(y) * static_cast<size_t>(canvas_width_) + static_cast<size_t>(x)) * 4;
    if (at + 3 > canvas_.size()) return {-1, -1, -1};
    return {canvas_[at], canvas_[at + 1], canvas_[at + 2]};
}

void EngineHarness::on_present(const KivraCanvas* c) {
    std::lock_guard<std::mutex> guard(lock_);
    canvas_width_ = c->width;
    canvas_height_ = c->height;
    canvas_.resize(static_cast<size_t>(c->width) * static_cast<size_t>(c->height) * 4);
    for (int y = 0; y < c->height; ++y) {
        std::memcpy(canvas_.data() + static_cast<size_t>(y) * static_cast<size_t>(c->width) * 4,
                    c->pixels + static_cast<size_t>(y) * static_cast<size_t>(c->stride),
                    static_cast<size_t>(c->width) * 4);
    }
    canvas_hash_ = canvas_hash(canvas_.data(), canvas_.size());
    ++presents_;
}

size_t EngineHarness::presents() {
    std::lock_guard<std::mutex> guard(lock_);
    return presents_;
}

void EngineHarness::on_play(int code, int value) {
    std::lock_guard<std::mutex> guard(lock_);
    play_.push_back({code, value});
    if (is_result(code)) ++results_;
    changed_.notify_all();
}

void EngineHarness::on_frame(FrameEvent frame) {
    std::lock_guard<std::mutex> guard(lock_);
    frame.at = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    frame.canvas = canvas_hash_;
    frames_.push_back(std::move(frame));
}

uint64_t canvas_hash(const uint8_t* data, size_t length) {
    uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (size_t i = 0; i < length; ++i) hash = (hash ^ data[i]) * 1099511628211ull;
    return hash;
}

void EngineHarness::on_error(int code, int system_error) {
    std::lock_guard<std::mutex> guard(lock_);
    errors_.push_back(code);
    error_systems_.push_back(system_error);
}

std::vector<std::array<int, 2>> EngineHarness::errors() {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<std::array<int, 2>> out;
    for (size_t i = 0; i < errors_.size(); ++i) out.push_back({errors_[i], error_systems_[i]});
    return out;
}

}  // namespace fleet::test
