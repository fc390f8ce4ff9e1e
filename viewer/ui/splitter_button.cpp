#include "splitter_button.h"

#include <QPainter>

#include "skin/theme.h"

namespace velmora {

SplitterButton::SplitterButton(QWidget* parent) : QAbstractButton(parent) {
    setObjectName(QStringLiteral("10035"));
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
}

void SplitterButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), hover_ ? theme::kAccent : QColor(58, 58, 58));
    // A short grip in the middle shows where to click.
    const int grip = qMin(40, height() / 3);
    painter.fillRect(QRect(0, (height() - grip) / 2, width(), grip),
                     hover_ ? theme::kText : theme::kAccent.darker(180));
}

void SplitterButton::enterEvent(QEnterEvent*) {
    hover_ = true;
    update();
}

void SplitterButton::leaveEvent(QEvent*) {
    hover_ = false;
    update();
}

}  // namespace velmora
