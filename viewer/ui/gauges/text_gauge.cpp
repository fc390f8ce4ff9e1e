#include "text_gauge.h"

#include <QPainter>

#include "gauge_painting.h"
#include "skin/theme.h"

namespace velmora {

TextGauge::TextGauge(int control_id, const QColor& colour, int extra_slots, QWidget* parent)
    : QWidget(parent), colour_(colour), extra_slots_(extra_slots) {
    setObjectName(QString::number(control_id));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TextGauge::set_text(const QString& text) {
    if (text == text_) return;
    text_ = text;
    update();
}

void TextGauge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), theme::kPanel);
    painter.setPen(colour_);
    const QRect text_rect(2, 0, width() - 4, height());
    const auto glyph_slots = static_cast<int>(text_.size()) + extra_slots_;
    gauge::draw_fitted_text(painter, text_rect, Qt::AlignLeft | Qt::AlignVCenter, text_,
                            {height() - 2, (width() - 4) / glyph_slots});
    gauge::draw_border(painter, rect());
}

}  // namespace velmora
