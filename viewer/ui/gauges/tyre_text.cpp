#include "tyre_text.h"

#include <QPainter>

#include "gauge_painting.h"

namespace velmora {

TyreText::TyreText(int control_id, QWidget* parent) : QWidget(parent) {
    setObjectName(QString::number(control_id));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TyreText::set_lines(const QString& line1, const QString& line2) {
    if (line1 == line1_ && line2 == line2_) return;
    line1_ = line1;
    line2_ = line2;
    update();
}

void TyreText::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), gauge::kTextBackground);
    painter.setPen(Qt::white);
    const int half = height() / 2;
    // Both lines share one width, chosen for the longer so that neither is cut off (a
    // pressure in kPa is longer than its temperature).
    const auto longer = static_cast<int>(qMax(line1_.size(), line2_.size()));
    const gauge::FittedFont font{half, width() / (longer + 2), QFont::Light};
    const QRect upper(0, 0, width(), height() - half);
    const QRect lower(0, half, width(), height() - half);
    gauge::draw_fitted_text(painter, upper, Qt::AlignLeft | Qt::AlignTop, line1_, font);
    gauge::draw_fitted_text(painter, lower, Qt::AlignLeft | Qt::AlignTop, line2_, font);
}

}  // namespace velmora
