#include "main_layout.h"

namespace velmora {

namespace {

constexpr int kCaptionHeight = 20;
constexpr int kToolbarTop = 20;
constexpr int kToolbarHeight = 40;
constexpr int kToolButton = 35;
constexpr int kVideoTop = 61;
constexpr int kControlBarHeight = 85;
constexpr int kPlayButton = 45;
constexpr int kMapCaptionHeight = 20;

ControlBarLayout control_bar_layout(int video_width) {
    ControlBarLayout bar;
    bar.status = QRect(3, 8, 160, 18);
    bar.plate = QRect(video_width - 200, 8, 80, 18);
    bar.time = QRect(video_width - 120, 8, 120, 18);
    bar.progress = QRect(3, 28, video_width, 7);
    bar.button_slots[0] = QRect(3, 38, kPlayButton, kPlayButton);
    for (size_t i = 1; i <= 7; ++i)
        bar.button_slots[i] =
            QRect(51 + 48 * static_cast<int>(i - 1), 38, kPlayButton, kPlayButton);
    bar.button_slots[8] = QRect(387, 38, kPlayButton, kPlayButton);
    bar.button_slots[9] = QRect(435, 38, kPlayButton, kPlayButton);
    bar.volume = QRect(486, 60, 50, 5);
    return bar;
}

}  // namespace

MainLayout compute_main_layout(int width, int height) {
    MainLayout m;
    m.video_width = width / 5 * 3;
    m.video_height = height / 5 * 3;
    const int v = m.video_width;
    const int a = m.video_height;
    m.caption = QRect(0, 0, width, kCaptionHeight);
    m.toolbar = QRect(0, kToolbarTop, width, kToolbarHeight);
    for (int i = 0; i < kToolbarSlots; ++i) {
        m.toolbar_slots[static_cast<size_t>(i)] =
            QRect(3 + i * (kToolButton + 3), kToolbarTop + (kToolbarHeight - kToolButton) / 2,
                  kToolButton, kToolButton);
    }
    m.video = QRect(0, kVideoTop, v, a);
    m.control_bar = QRect(0, a + kVideoTop, width, kControlBarHeight);
    m.bar = control_bar_layout(v);
    m.dashboard = QRect(0, a + 146, width, height - a - 147);
    return m;
}

SideLayout compute_side_layout(const MainLayout& main, int width, bool single_screen,
                               bool panel_collapsed) {
    SideLayout side;
    const int v = main.video_width;
    const int a = main.video_height;
    if (!single_screen) {
        side.map_caption = QRect(v + 1, kVideoTop, width - v - 1, kMapCaptionHeight);
        side.browser =
            QRect(v + 1, kVideoTop + kMapCaptionHeight, width - v - 1, a - kMapCaptionHeight - 1);
        return side;
    }
    const int panel_width = panel_collapsed ? 0 : kPanelWidth;
    side.panel = QRect(v, kVideoTop, panel_width, a);
    const int right = v + panel_width;
    side.splitter =
        QRect(right, kVideoTop + kMapCaptionHeight, kSplitterWidth, a - kMapCaptionHeight);
    side.map_caption = QRect(right, kVideoTop, width - right, kMapCaptionHeight);
    const int browser_left = right + kSplitterWidth;
    side.browser = QRect(browser_left, kVideoTop + kMapCaptionHeight, width - browser_left,
                         a - kMapCaptionHeight - 1);
    return side;
}

}  // namespace velmora
