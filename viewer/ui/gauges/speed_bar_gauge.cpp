#include "speed_bar_gauge.h"

#include <QPainter>
#include <algorithm>

namespace velmora {

namespace {

const QColor kUnlit(58, 58, 60);
const QColor kLow(40, 200, 90);
const QColor kMiddle(240, 190, 20);
const QColor kHigh(230, 40, 40);
constexpr double kGapShare = 0.3;     // of a bar's slot
constexpr double kLowestShare = 0.3;  // the first bar's height, of the gauge

QColor mix(const QColor& a, const QColor& b, double t) {
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t));
}

// Green for the first third, through amber to red at the top of the range.
QColor lit_colour(int bar) {
    const double t = bar / static_cast<double>(SpeedBarGauge::kBars - 1);
    return t < 0.5 ? mix(kLow, kMiddle, t * 2.0) : mix(kMiddle, kHigh, (t - 0.5) * 2.0);
}

}  // namespace

SpeedBarGauge::SpeedBarGauge(int control_id, QWidget* parent) : QWidget(parent) {
    setObjectName(QString::number(control_id));
}

void SpeedBarGauge::set_frame(int frame) {
    frame = std::clamp(frame, 0, kBars);
    if (frame == frame_) return;
    frame_ = frame;
    update();
}

void SpeedBarGauge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const double slot = width() / static_cast<double>(kBars);
    const double bar_width = slot * (1.0 - kGapShare);
    const double radius = qMin(bar_width * 0.25, 3.0);
    for (int bar = 0; bar < kBars; ++bar) {
        const double share = kLowestShare + (1.0 - kLowestShare) * (bar + 1) / kBars;
        const double bar_height = height() * share;
        const QRectF area(bar * slot + (slot - bar_width) / 2.0, height() - bar_height, bar_width,
                          bar_height);
        painter.setBrush(bar < frame_ ? lit_colour(bar) : kUnlit);
        painter.drawRoundedRect(area, radius, radius);
    }
}

}  // namespace velmora
