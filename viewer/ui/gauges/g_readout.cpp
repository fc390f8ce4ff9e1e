#include "g_readout.h"

#include <QPainter>

#include "gauge_painting.h"
#include "model/gauge_texts.h"
#include "skin/theme.h"

namespace velmora {

namespace {

const std::array<QColor, 3> kRowColours{QColor(216, 0, 0), QColor(237, 184, 0), QColor(18, 124, 0)};
constexpr int kRowGlyphs = 9;  // the font's average width is a ninth of the gauge

}  // namespace

GReadout::GReadout(int control_id, QWidget* parent) : QWidget(parent) {
    setObjectName(QString::number(control_id));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GReadout::set_values(double gx, double gy, double gz) {
    const std::array<double, 3> values{gx, gy, gz};
    if (values == values_) return;
    values_ = values;
    update();
}

std::array<QString, 3> GReadout::rows() const {
    std::array<QString, 3> rows;
    const std::array<GRow, 3> texts = g_rows(values_[0], values_[1], values_[2]);
    for (size_t k = 0; k < rows.size(); ++k) {
        rows[k] = QString::fromStdString(texts[k].label + texts[k].value);
    }
    return rows;
}

void GReadout::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), theme::kPanel);
    const int row_height = (height() - 2) / 3;
    const gauge::FittedFont font{row_height, (width() - 2) / kRowGlyphs};
    const std::array<GRow, 3> texts = g_rows(values_[0], values_[1], values_[2]);
    for (int k = 0; k < 3; ++k) {
        const QRect row(QPoint(2, 2 + k * row_height),
                        QPoint(width() - 4 - 1, 2 + (k + 1) * row_height - 1));
        painter.setPen(kRowColours[k]);
        gauge::draw_fitted_text(painter, row, Qt::AlignLeft | Qt::AlignVCenter,
                                QString::fromStdString(texts[k].label), font);
        gauge::draw_fitted_text(painter, row, Qt::AlignRight | Qt::AlignVCenter,
                                QString::fromStdString(texts[k].value), font);
    }
    gauge::draw_border(painter, rect());
}

}  // namespace velmora
