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

struct ControlBarLayout {
    QRect status, plate, time, progress, play;
    std::array<QRect, 7> buttons;  // step back, step forward, fast back, fast forward, stop,
                                   // extract, capture
    QRect channel, audio, volume;
};

struct MainLayout {
    int video_width = 0;   // V = W / 5 x 3
    int video_height = 0;  // A = H / 5 x 3
    QRect caption, toolbar;
    std::array<QRect, 7> toolbar_buttons;  // open, hdd, sd, close, find, record, talkback
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
