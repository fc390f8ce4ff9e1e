// Composes the channels of one frame into a canvas the size of the host's video area and
// hands it to the host's video target.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kivra/kivra.h"

namespace kivra {

struct CellRect {
    int left = 0, top = 0, width = 0, height = 0;
};

// Where a cell of a 1x1 (layout 1), 2x2 (4) or 3x3 (9) division of a w x h area lies. False
// for an unknown layout, a position outside it (layout 1 takes position 0 only) or a negative
// size.
bool cell_rect(int layout, int position, int width, int height, CellRect& out);

class Presenter {
  public:
    Presenter();
    ~Presenter();
    Presenter(const Presenter&) = delete;
    Presenter& operator=(const Presenter&) = delete;

    bool create(const KivraVideoTarget* target);  // copies the target; false for null
    void release();
    bool created() const;

    // The label burned into the next presented picture, in picture pixels (63 characters):
    // green on a blue box, its text 7 rows per 120 picture rows but kept whole inside the
    // picture when placed 40x20 from its lower right corner. present() uses it up.
    void set_label(const char* text, int x, int y);

    // begin_frame, present and end_frame run on one presenting thread at a time; repaint and
    // capture may run on any thread. create and release run alone.

    // Starts a frame: the canvas takes the target's current size and is cleared to black
    // (B, G, R, X = 0, 0, 0, 255). A 0 x 0 area (minimised window) gives a frame with
    // nothing to draw.
    void begin_frame();
    // Scales a YV12 picture (Y, V, U planes, no padding) of width x height with the label
    // into its cell; a null picture draws black with the label. False for a bad layout or
    // position, a size <= 0 or above 8192, or outside begin_frame/end_frame. True without
    // drawing when the frame has nothing to draw.
    bool present(int layout, int position, const uint8_t* yv12, int width, int height);
    // Hands the finished canvas to the target; a frame with nothing to draw is not handed
    // over and leaves the last canvas in place.
    void end_frame();
    // Hands the last canvas to the target again, if there is one. The target's present
    // callback never runs for two canvases at once.
    void repaint();

    // A copy of the canvas area [left, right) x [top, bottom), clipped to the canvas, as
    // packed RGB. False when nothing is left after clipping.
    bool capture(int left, int top, int right, int bottom, std::vector<uint8_t>& rgb, int& width,
                 int& height) const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// Writes packed RGB as a JPEG. With a time stamp other than 0, its UTC breakdown
// "YYYY-MM-DD HH:MM:SS" is drawn white on black at the top left first, 28 pixels tall or
// smaller for an image too narrow for that. False when the file was not written.
bool write_snapshot_jpeg(const std::string& path, std::vector<uint8_t> rgb, int width, int height,
                         uint32_t time_stamp);

}  // namespace kivra
