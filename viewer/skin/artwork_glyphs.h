// Vector drawings behind the artwork table. Each glyph draws into a 24x24 box at the painter's
// origin; the caller scales and places it.
#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

namespace velmora::glyph {

// Colours of one drawing: `main` for the shape, `accent` and `alert` for its coloured details
// (all grey when the button is disabled).
struct Ink {
    QColor main;
    QColor accent;
    QColor alert;
};

using Glyph = void (*)(QPainter&, const Ink&);

void open_file(QPainter& p, const Ink& ink);
void search_hdd(QPainter& p, const Ink& ink);
void search_sd(QPainter& p, const Ink& ink);
void close_source(QPainter& p, const Ink& ink);
void find_play(QPainter& p, const Ink& ink);
void screen_record(QPainter& p, const Ink& ink);
void stop_screen_record(QPainter& p, const Ink& ink);
void talk_open(QPainter& p, const Ink& ink);
void talk_close(QPainter& p, const Ink& ink);

void play(QPainter& p, const Ink& ink);
void pause(QPainter& p, const Ink& ink);
void step_backward(QPainter& p, const Ink& ink);
void step_forward(QPainter& p, const Ink& ink);
void fast_backward(QPainter& p, const Ink& ink);
void fast_forward(QPainter& p, const Ink& ink);
void stop(QPainter& p, const Ink& ink);
void extract(QPainter& p, const Ink& ink);
void capture(QPainter& p, const Ink& ink);
void channels(QPainter& p, const Ink& ink);
void audio_on(QPainter& p, const Ink& ink);
void audio_off(QPainter& p, const Ink& ink);

// Side view of a truck in a 48x48 box.
void truck(QPainter& p, const QColor& body);

// Camera over a road, filling `box`.
void app_emblem(QPainter& p, const QRectF& box);

}  // namespace velmora::glyph
