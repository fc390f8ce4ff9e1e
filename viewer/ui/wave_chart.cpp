#include "ui/wave_chart.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <algorithm>

#include "skin/theme.h"

namespace velmora {

namespace {

constexpr int kVerticalAxisOverhang = 5;  // the vertical axis starts above the top line
constexpr int kLabelAverageWidth = 6;     // narrow digits, so "-50" fits the 25-pixel strip

QColor colour_of(WaveCurve curve) {
    switch (curve) {
        case WaveCurve::Temperature:
            return theme::kTemperatureCurve;
        case WaveCurve::Speed:
            return theme::kSpeed;
        case WaveCurve::Gx:
            return theme::kGx;
        case WaveCurve::Gy:
            return theme::kGy;
        case WaveCurve::Gz:
            return theme::kGz;
    }
    return theme::kText;
}

// A line of pixels as rows and columns of the widget: filled rectangles stay sharp at any device
// pixel ratio, where a thin antialiased line on a pixel edge would smear over two.
void horizontal_line(QPainter& painter, int y, int from_x, int to_x) {
    painter.fillRect(QRect(from_x, y, std::max(0, to_x - from_x), 1), theme::kChartAxis);
}

// Scales with the band unit: about c pixels from ascent to descent, condensed to an average
// width of 6 pixels whatever the height.
QFont label_font(int unit, const QFont& base) {
    QFont font = base;
    font.setPixelSize(std::max(1, unit));
    const QFontMetrics natural(font);
    if (natural.height() > unit && natural.height() > 0)
        font.setPixelSize(std::max(1, unit * unit / natural.height()));
    const int average = QFontMetrics(font).averageCharWidth();
    if (average > 0) font.setStretch(std::clamp(100 * kLabelAverageWidth / average, 1, 4000));
    return font;
}

}  // namespace

WaveChart::WaveChart(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("12016"));
    // The paint covers every pixel, so the system need not erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void WaveChart::set_history(const WaveHistory& history) {
    history_ = history;
    update();
}

void WaveChart::set_ranges(const WaveRanges& ranges) {
    ranges_ = ranges;
    update();
}

void WaveChart::paintEvent(QPaintEvent*) {
    const WaveGeometry geometry = wave_geometry(width(), height());
    QPainter painter(this);
    painter.fillRect(rect(), theme::kPanel);
    draw_axes(painter, geometry);
    draw_labels(painter, geometry);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const WaveCurve curve : kWaveCurves) draw_curve(painter, geometry, curve);
}

void WaveChart::draw_axes(QPainter& painter, const WaveGeometry& g) const {
    const int axis_top = g.top - kVerticalAxisOverhang;
    painter.fillRect(QRect(g.x0, axis_top, 1, std::max(0, g.bottom - axis_top)), theme::kChartAxis);
    for (const int y : g.lines()) horizontal_line(painter, y, g.x0, g.line_end);
}

void WaveChart::draw_labels(QPainter& painter, const WaveGeometry& g) const {
    painter.setFont(label_font(g.unit, font()));
    painter.setPen(theme::kText);
    for (const WaveLabel& label : wave_labels(g, ranges_)) {
        const QRect strip(0, label.top, g.x0, label.bottom - label.top);
        painter.drawText(strip, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                         QString::number(label.value));
    }
}

// A one-pixel line through the centres of the points' pixels, so a level stretch covers exactly
// one row; a lone point is that one pixel, so the first second already shows. The line is filled
// as an outline: the painter's thin-line shortcut leaves the pixels where segments meet paler.
void WaveChart::draw_curve(QPainter& painter, const WaveGeometry& g, WaveCurve curve) const {
    const std::vector<WavePoint> points = wave_points(history_, g, ranges_, curve);
    if (points.empty()) return;
    if (points.size() == 1) {
        painter.fillRect(QRect(points.front().x, points.front().y, 1, 1), colour_of(curve));
        return;
    }
    QPainterPath line(QPointF(points.front().x + 0.5, points.front().y + 0.5));
    for (size_t i = 1; i < points.size(); ++i) line.lineTo(points[i].x + 0.5, points[i].y + 0.5);
    QPainterPathStroker stroker;
    stroker.setWidth(1.0);
    stroker.setCapStyle(Qt::SquareCap);
    stroker.setJoinStyle(Qt::MiterJoin);
    painter.fillPath(stroker.createStroke(line), colour_of(curve));
}

}  // namespace velmora
