#include "present/presenter.h"

extern "C" {
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <string_view>
#include <utility>

#include "present/label.h"

namespace kivra {
namespace {

constexpr int kMaxCells = 9;
constexpr int kMaxPictureSide = 8192;
// Beyond any real display; keeps width * height * 4 far from overflowing.
constexpr int kMaxCanvasSide = 16384;
constexpr size_t kLabelCapacity = 63;

// Rows start on 64-byte boundaries and buffers end with slack: the SIMD paths of libswscale
// read a little past a source row and write whole blocks of pixels past the destination
// width (352 -> 300 columns writes 304).
constexpr int kRowAlignment = 64;
constexpr size_t kSlack = 256;

constexpr uint8_t kBlackY = 16;  // limited range: converts to RGB 0, 0, 0
constexpr uint8_t kNeutralChroma = 128;

int align_row(int bytes) {
    return (bytes + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
}

struct Canvas {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // B, G, R, X; stride width * 4

    int stride() const { return width * 4; }

    // X is 255 so a host that reads the canvas as BGRA sees it opaque.
    void reset(int new_width, int new_height) {
        width = new_width;
        height = new_height;
        pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
        if (pixels.empty()) return;
        const uint8_t opaque_black[4] = {0, 0, 0, 255};
        std::memcpy(pixels.data(), opaque_black, sizeof opaque_black);
        // Doubling copies fill the canvas at memory speed; it is cleared for every frame.
        for (size_t filled = sizeof opaque_black; filled < pixels.size();) {
            const size_t n = std::min(filled, pixels.size() - filled);
            std::memcpy(pixels.data() + filled, pixels.data(), n);
            filled += n;
        }
    }

    void free() {
        width = 0;
        height = 0;
        std::vector<uint8_t>().swap(pixels);
    }
};

struct AvFree {
    void operator()(uint8_t* data) const { av_free(data); }
};

int chroma_rows(const Yv12Planes& picture) {
    return (picture.height + 1) / 2;
}

// The source's chroma planes are (width / 2) x (height / 2): for an odd size the last column
// and row are repeated, and a size of 1 leaves no chroma at all, so it turns neutral.
void copy_yv12(const uint8_t* yv12, const Yv12Planes& work) {
    const int width = work.width, height = work.height;
    for (int row = 0; row < height; ++row) {
        std::memcpy(work.y + static_cast<ptrdiff_t>(row) * work.y_stride,
                    yv12 + static_cast<ptrdiff_t>(row) * width, static_cast<size_t>(width));
    }
    const int source_width = width / 2, source_height = height / 2;
    const int chroma_width = (width + 1) / 2;
    const uint8_t* source_v = yv12 + static_cast<size_t>(width) * static_cast<size_t>(height);
    const uint8_t* source_u =
        source_v + static_cast<size_t>(source_width) * static_cast<size_t>(source_height);
    for (auto [from, to] : {std::pair{source_v, work.v}, std::pair{source_u, work.u}}) {
        for (int row = 0; row < chroma_rows(work); ++row, to += work.chroma_stride) {
            if (source_width == 0 || source_height == 0) {
                std::memset(to, kNeutralChroma, static_cast<size_t>(chroma_width));
                continue;
            }
            int from_row = std::min(row, source_height - 1);
            std::memcpy(to, from + static_cast<ptrdiff_t>(from_row) * source_width,
                        static_cast<size_t>(source_width));
            if (chroma_width > source_width) to[source_width] = to[source_width - 1];
        }
    }
}

void fill_black(const Yv12Planes& work) {
    std::memset(work.y, kBlackY, static_cast<size_t>(work.y_stride) * work.height);
    size_t chroma_bytes = static_cast<size_t>(work.chroma_stride) * chroma_rows(work);
    std::memset(work.v, kNeutralChroma, chroma_bytes);
    std::memset(work.u, kNeutralChroma, chroma_bytes);
}

}  // namespace

struct Presenter::State {
    KivraVideoTarget target{};
    std::atomic<bool> created{false};

    std::array<char, kLabelCapacity + 1> label{};
    size_t label_length = 0;
    int label_x = 0, label_y = 0;

    // Composed by the presenting thread alone; becomes the front canvas at end_frame.
    Canvas back;
    bool composing = false;

    // The last canvas handed to the target, for repaint() and capture() from other threads.
    // The target's present callback runs under this lock too, so the target never sees two
    // canvases at once and the pixels stay valid for the whole call.
    mutable std::mutex mutex;
    Canvas front;

    // One scaler per cell position: channels of different sizes do not evict each other.
    std::array<SwsContext*, kMaxCells> scalers{};
    // The picture with its label, and its scaled cell before it goes into the canvas.
    std::unique_ptr<uint8_t, AvFree> work;
    size_t work_capacity = 0;
    std::unique_ptr<uint8_t, AvFree> scaled;
    size_t scaled_capacity = 0;

    ~State() { free_scalers(); }

    void free_scalers() {
        for (SwsContext*& scaler : scalers) {
            sws_freeContext(scaler);
            scaler = nullptr;
        }
    }

    static bool reserve(std::unique_ptr<uint8_t, AvFree>& buffer, size_t& capacity, size_t bytes) {
        if (bytes <= capacity) return true;
        buffer.reset(static_cast<uint8_t*>(av_malloc(bytes)));
        capacity = buffer ? bytes : 0;
        return buffer != nullptr;
    }

    // The work picture's planes: rows aligned, V before U as in the source.
    bool prepare_work(int width, int height, Yv12Planes& planes) {
        planes.width = width;
        planes.height = height;
        planes.y_stride = align_row(width);
        planes.chroma_stride = align_row((width + 1) / 2);
        size_t y_bytes = static_cast<size_t>(planes.y_stride) * static_cast<size_t>(height);
        size_t chroma_bytes = static_cast<size_t>(planes.chroma_stride) * chroma_rows(planes);
        if (!reserve(work, work_capacity, y_bytes + 2 * chroma_bytes + kSlack)) return false;
        planes.y = work.get();
        planes.v = planes.y + y_bytes;
        planes.u = planes.v + chroma_bytes;
        return true;
    }

    // Scaling straight into the canvas would spill into the cell to the right, and past the
    // canvas's end for the last cell: the scaled cell goes through a padded buffer.
    bool scale_into_cell(const Yv12Planes& picture, int position, const CellRect& cell) {
        SwsContext*& scaler = scalers[static_cast<size_t>(position)];
        scaler = sws_getCachedContext(scaler, picture.width, picture.height, AV_PIX_FMT_YUV420P,
                                      cell.width, cell.height, AV_PIX_FMT_BGR0, SWS_BILINEAR,
                                      nullptr, nullptr, nullptr);
        if (!scaler) return false;
        int scaled_stride = align_row(cell.width * 4);
        if (!reserve(scaled, scaled_capacity,
                     static_cast<size_t>(scaled_stride) * cell.height + kSlack)) {
            return false;
        }
        const uint8_t* const source[4] = {picture.y, picture.u, picture.v, nullptr};
        const int source_strides[4] = {picture.y_stride, picture.chroma_stride,
                                       picture.chroma_stride, 0};
        uint8_t* const destination[4] = {scaled.get(), nullptr, nullptr, nullptr};
        const int destination_strides[4] = {scaled_stride, 0, 0, 0};
        if (sws_scale(scaler, source, source_strides, 0, picture.height, destination,
                      destination_strides) != cell.height) {
            return false;
        }
        uint8_t* to = back.pixels.data() + static_cast<ptrdiff_t>(cell.top) * back.stride() +
                      static_cast<ptrdiff_t>(cell.left) * 4;
        for (int row = 0; row < cell.height; ++row) {
            std::memcpy(to + static_cast<ptrdiff_t>(row) * back.stride(),
                        scaled.get() + static_cast<ptrdiff_t>(row) * scaled_stride,
                        static_cast<size_t>(cell.width) * 4);
        }
        return true;
    }

    void hand_front_to_target() const {
        if (!target.present || front.width == 0) return;
        KivraCanvas canvas{front.width, front.height, front.stride(), front.pixels.data()};
        target.present(target.user, &canvas);
    }
};

Presenter::Presenter() : state_(std::make_unique<State>()) {}

Presenter::~Presenter() {
    release();
}

bool Presenter::create(const KivraVideoTarget* target) {
    if (!target) return false;
    state_->target = *target;
    state_->created = true;
    return true;
}

void Presenter::release() {
    State& s = *state_;
    {
        std::lock_guard lock(s.mutex);
        s.front.free();
    }
    s.back.free();
    s.composing = false;
    s.free_scalers();
    s.work.reset();
    s.work_capacity = 0;
    s.scaled.reset();
    s.scaled_capacity = 0;
    s.label_length = 0;
    s.target = KivraVideoTarget{};
    s.created = false;
}

bool Presenter::created() const {
    return state_->created;
}

void Presenter::set_label(const char* text, int x, int y) {
    State& s = *state_;
    s.label_length = text ? strnlen(text, kLabelCapacity) : 0;
    std::memcpy(s.label.data(), text ? text : "", s.label_length);
    s.label_x = x;
    s.label_y = y;
}

void Presenter::begin_frame() {
    State& s = *state_;
    if (!s.created) return;
    int32_t width = 0, height = 0;
    if (s.target.size) s.target.size(s.target.user, &width, &height);
    if (width <= 0 || height <= 0 || width > kMaxCanvasSide || height > kMaxCanvasSide) {
        width = 0;
        height = 0;
    }
    s.back.reset(width, height);
    s.composing = true;
}

bool Presenter::present(int layout, int position, const uint8_t* yv12, int width, int height) {
    State& s = *state_;
    std::string_view label(s.label.data(), s.label_length);
    s.label_length = 0;

    CellRect cell;
    if (!cell_rect(layout, position, s.back.width, s.back.height, cell)) return false;
    if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide) {
        return false;
    }
    if (!s.composing) return false;
    // A minimised host window, or a cell too small to hold a pixel.
    if (cell.width == 0 || cell.height == 0) return true;

    Yv12Planes work;
    if (!s.prepare_work(width, height, work)) return false;
    if (yv12) {
        copy_yv12(yv12, work);
    } else {
        fill_black(work);
    }
    burn_label(work, label, s.label_x, s.label_y);

    return s.scale_into_cell(work, position, cell);
}

void Presenter::end_frame() {
    State& s = *state_;
    if (!s.composing) return;
    s.composing = false;
    // Nothing drawn for a minimised window: the last real canvas stays for repaint and capture.
    if (s.back.width == 0) return;
    std::lock_guard lock(s.mutex);
    std::swap(s.front, s.back);
    s.hand_front_to_target();
}

void Presenter::repaint() {
    State& s = *state_;
    std::lock_guard lock(s.mutex);
    s.hand_front_to_target();
}

bool Presenter::capture(int left, int top, int right, int bottom, std::vector<uint8_t>& rgb,
                        int& width, int& height) const {
    const State& s = *state_;
    std::lock_guard lock(s.mutex);
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, s.front.width);
    bottom = std::min(bottom, s.front.height);
    if (left >= right || top >= bottom) return false;
    width = right - left;
    height = bottom - top;
    rgb.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    uint8_t* to = rgb.data();
    for (int row = top; row < bottom; ++row) {
        const uint8_t* from = s.front.pixels.data() +
                              static_cast<ptrdiff_t>(row) * s.front.stride() +
                              static_cast<ptrdiff_t>(left) * 4;
        for (int column = left; column < right; ++column, from += 4, to += 3) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
    }
    return true;
}

}  // namespace kivra
