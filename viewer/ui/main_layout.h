// Where every part of the main window goes for a client size: pure arithmetic, so it can be
// checked without a window.
#pragma once

#include <QRect>
#include <array>

namespace velmora {

inline constexpr int kMinWindowWidth = 900;
inline constexpr int kMinWindowHeight = 700;
inline constexpr int kPanelWidth = 170;
inline constexpr int kSplitterWidth = 3;

// Button places of the control bar, left to right: play (pause in the same place), step back,
// step forward, fast back, fast forward, stop, extract, capture, channel, audio (both buttons).
inline constexpr int kControlBarSlots = 10;

struct ControlBarLayout {
    QRect status, plate, time, progress, volume;
    std::array<QRect, kControlBarSlots> button_slots;
};

// Button places of the toolbar: open, hdd, sd, close, find, record, talkback.
inline constexpr int kToolbarSlots = 7;

struct MainLayout {
    int video_width = 0;   // V = W / 5 x 3
    int video_height = 0;  // A = H / 5 x 3
    QRect caption, toolbar;
    std::array<QRect, kToolbarSlots> toolbar_slots;
    QRect video;
    QRect control_bar;     // in window coordinates
    ControlBarLayout bar;  // relative to control_bar
    QRect dashboard;
};

MainLayout compute_main_layout(int width, int height);

// The right-hand side: information panel, splitter, map caption and browser.
struct SideLayout {
    QRect panel;     // empty in double-screen mode (the panel lives in the map window)
    QRect splitter;  // empty when hidden
    QRect map_caption;
    QRect browser;
};

SideLayout compute_side_layout(const MainLayout& main, int width, bool single_screen,
                               bool panel_collapsed);

}  // namespace velmora
