#include "skin/skin_static.h"

#include <QMouseEvent>
#include <QPainter>

#include "skin/artwork.h"
#include "skin/theme.h"

namespace velmora {

namespace {

const QColor kMenuTitleHover(52, 54, 58);

bool released_inside(const QWidget& widget, const QMouseEvent& event) {
    return event.button() == Qt::LeftButton && widget.rect().contains(event.position().toPoint());
}

}  // namespace

SkinStatic::SkinStatic(int control_id, QWidget* parent)
    : QWidget(parent), control_id_(control_id), background_(theme::kPanel) {}

void SkinStatic::set_text(const QString& text, int left_offset, const QColor& text_colour,
                          const QColor& background) {
    text_ = text;
    text_offset_ = left_offset;
    text_colour_ = text_colour;
    background_ = background;
    update();
}

void SkinStatic::set_text(const QString& text) {
    text_ = text;
    update();
}

void SkinStatic::set_border(bool on) {
    border_ = on;
    update();
}

void SkinStatic::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!text_.isEmpty()) {
        QRect text_rect = rect();
        text_rect.setLeft(text_offset_);
        painter.fillRect(text_rect, background_);
        painter.setPen(text_colour_);
        painter.drawText(text_rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text_);
    }
    // Borders last, so a text background reaching the right edge does not hide them.
    if (border_) {
        painter.setPen(theme::kBorderLine);
        painter.drawLine(0, 0, 0, height() - 1);
        painter.drawLine(width() - 1, 0, width() - 1, height() - 1);
    }
}

void SkinStatic::mouseReleaseEvent(QMouseEvent* event) {
    if (released_inside(*this, *event)) emit clicked();
    QWidget::mouseReleaseEvent(event);
}

SkinMenuText::SkinMenuText(int control_id, QWidget* parent)
    : QWidget(parent), control_id_(control_id) {
    setAttribute(Qt::WA_Hover);
}

void SkinMenuText::set_text(const QString& text, const QColor& text_colour,
                            const QColor& second_colour) {
    text_ = text;
    text_colour_ = text_colour;
    second_colour_ = second_colour;
    update();
}

void SkinMenuText::paintEvent(QPaintEvent*) {
    if (text_.isEmpty()) return;
    QPainter painter(this);
    painter.fillRect(rect(), hover_ ? kMenuTitleHover : theme::kMenuTitle);
    const QRect inner = rect().adjusted(1, 1, -1, -1);
    if (hover_)
        painter.fillRect(QRect(inner.left(), inner.bottom(), inner.width(), 1), theme::kAccent);
    painter.setPen(text_colour_);
    painter.drawText(inner, Qt::AlignCenter | Qt::TextSingleLine, text_);
}

void SkinMenuText::mouseReleaseEvent(QMouseEvent* event) {
    if (released_inside(*this, *event)) emit clicked();
    QWidget::mouseReleaseEvent(event);
}

void SkinMenuText::enterEvent(QEnterEvent* event) {
    hover_ = true;
    update();
    QWidget::enterEvent(event);
}

void SkinMenuText::leaveEvent(QEvent* event) {
    hover_ = false;
    update();
    QWidget::leaveEvent(event);
}

}  // namespace velmora
