// Frames of stable sizes allocate nothing once the canvases exist. Counts C++ allocations on
// the presenting thread; the FFmpeg buffers come from av_malloc and are covered by the
// sizes staying put (sws_getCachedContext returns the same context).
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "present/presenter.h"
#include "yv12_pictures.h"

namespace {
thread_local bool counting = false;
thread_local int allocations = 0;
}  // namespace

void* operator new(std::size_t size) {
    if (counting) ++allocations;
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}

namespace kivra {
namespace {

struct Host {
    int32_t width = 900, height = 600;
    static void size(void* user, int32_t* width, int32_t* height) {
        *width = static_cast<Host*>(user)->width;
        *height = static_cast<Host*>(user)->height;
    }
    static void present(void*, const KivraCanvas*) {}
};

TEST(SteadyState, NoAllocationPerFrame) {
    Host host;
    KivraVideoTarget target{&host, &Host::size, &Host::present};
    Presenter presenter;
    ASSERT_TRUE(presenter.create(&target));
    // Channels of two sizes, as recorders with a D1 first channel write.
    auto d1 = test::solid_yv12(704, 576, {200, 40, 40});
    auto cif = test::solid_yv12(352, 288, {40, 200, 40});
    auto frame = [&] {
        presenter.begin_frame();
        for (int position = 0; position < 9; ++position) {
            presenter.set_label("C1", 312, 268);
            const auto& picture = position == 0 ? d1 : cif;
            int width = position == 0 ? 704 : 352, height = position == 0 ? 576 : 288;
            if (!presenter.present(9, position, position == 8 ? nullptr : picture.data(), width,
                                   height)) {
                return false;
            }
        }
        presenter.end_frame();
        return true;
    };
    counting = true;
    ASSERT_TRUE(frame());
    counting = false;
    EXPECT_GT(allocations, 0);  // the counter sees the canvas being made
    ASSERT_TRUE(frame());       // the second canvas of the pair
    allocations = 0;
    counting = true;
    bool drawn = true;
    for (int i = 0; i < 5 && drawn; ++i) drawn = frame();
    counting = false;
    EXPECT_TRUE(drawn);
    EXPECT_EQ(allocations, 0);
}

}  // namespace
}  // namespace kivra
