// Drawing shared by the dashboard's gauges: text in a font squeezed to a given average glyph
// width (so a reading fills its gauge whatever its length) and the gauges' frame.
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

class QPainter;

namespace velmora::gauge {

inline const QColor kBorder{112, 112, 112};
inline const QColor kTextBackground{30, 30, 30};  // tyre texts

struct FittedFont {
    int cell_height;    // pixels from the top of the tallest glyph to the lowest descent
    int average_width;  // pixels; 0 or less keeps the font's own width
    QFont::Weight weight = QFont::Normal;
};

// One line of text in the gauges' sans-serif font, scaled horizontally to the average width.
// Nothing is drawn for an empty text or a cell height below one pixel.
void draw_fitted_text(QPainter& painter, const QRect& rect, Qt::Alignment alignment,
                      const QString& text, const FittedFont& font);

// The 1-pixel border around a text gauge.
void draw_border(QPainter& painter, const QRect& rect);

}  // namespace velmora::gauge
