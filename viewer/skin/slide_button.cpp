#include "skin/slide_button.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "skin/artwork.h"

namespace velmora {

namespace {

// How long the pointer must rest on the position slider before it reports a hover.
constexpr int kHoverDelayMs = 400;
constexpr int kReportCap = 100;

int capped(int position) {
    return std::min(position, kReportCap);
}

int pointer_x(const QMouseEvent& event) {
    return static_cast<int>(event.position().x());
}

}  // namespace

SliderBase::SliderBase(int control_id, QWidget* parent) : QWidget(parent), control_id_(control_id) {
    setCursor(Qt::PointingHandCursor);
    setMouseTracking(true);
    position_ = minimum_;
}

void SliderBase::set_range(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = maximum;
    update();
}

void SliderBase::set_position(int position) {
    position_ = position;
    update();
}

int SliderBase::track_length() const {
    return width() - height();
}

int SliderBase::position_at(int x) const {
    const int length = track_length();
    if (length <= 0) return minimum_;
    const int clamped = std::clamp(x, 0, length);
    const double share = static_cast<double>(clamped) / length;
    return minimum_ + static_cast<int>(std::trunc(share * (maximum_ - minimum_)));
}

int SliderBase::thumb_x() const {
    const int length = track_length();
    if (length <= 0 || maximum_ == minimum_) return 0;
    const double step = static_cast<double>(length) / (maximum_ - minimum_);
    const int x = static_cast<int>(std::trunc(step * (position_ - minimum_)));
    return std::clamp(x, 0, length);
}

QPixmap SliderBase::pixmap_for_height(int resource_id, int height) const {
    const int art_height = skin_size(resource_id).height();
    if (art_height <= 0 || height <= 0) return QPixmap();
    const qreal scale = static_cast<qreal>(height) / art_height;
    return skin_pixmap(resource_id, devicePixelRatioF() * std::max<qreal>(scale, 1.0));
}

void SliderBase::draw_thumb(QPainter& painter, int resource_id) const {
    const int side = height();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(QRect(thumb_x(), 0, side, side), pixmap_for_height(resource_id, side));
}

SlideButton::SlideButton(int control_id, QWidget* parent)
    : SliderBase(control_id, parent), hover_timer_(new QTimer(this)) {
    hover_timer_->setSingleShot(true);
    hover_timer_->setInterval(kHoverDelayMs);
    connect(hover_timer_, &QTimer::timeout, this,
            [this] { emit hovered(capped(hover_position_)); });
}

void SlideButton::set_tooltip_provider(std::function<QString()> provider) {
    tooltip_provider_ = std::move(provider);
}

void SlideButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), pixmap_for_height(art::kSliderTrack, height()));
    draw_thumb(painter, art::kSliderThumb);
}

void SlideButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return SliderBase::mousePressEvent(event);
    hover_timer_->stop();
    dragging_ = true;
    emit pressed(capped(position_));
}

void SlideButton::mouseMoveEvent(QMouseEvent* event) {
    const int x = pointer_x(*event);
    if (dragging_) {
        position_ = position_at(x);
        repaint();
        emit dragged(capped(position_));
        return;
    }
    hover_position_ = position_at(x);
    emit pointed(capped(hover_position_));
    hover_timer_->start();
    // A tooltip already showing follows the pointer with the provider's current text.
    if (QToolTip::isVisible() && tooltip_provider_)
        QToolTip::showText(event->globalPosition().toPoint(), tooltip_provider_(), this);
}

void SlideButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !dragging_)
        return SliderBase::mouseReleaseEvent(event);
    dragging_ = false;
    position_ = position_at(pointer_x(*event));
    update();
    emit released(capped(position_));
}

bool SlideButton::event(QEvent* event) {
    if (event->type() == QEvent::Leave) hover_timer_->stop();
    if (event->type() != QEvent::ToolTip) return SliderBase::event(event);
    const QString text = tooltip_provider_ ? tooltip_provider_() : toolTip();
    const auto* help = static_cast<QHelpEvent*>(event);
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), text, this);
    return true;
}

SlideVolume::SlideVolume(int control_id, QWidget* parent) : SliderBase(control_id, parent) {}

void SlideVolume::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const int split = thumb_x();
    painter.drawPixmap(QRect(0, 0, split, height()),
                       pixmap_for_height(art::kVolumeFilled, height()));
    painter.drawPixmap(QRect(split, 0, width() - split, height()),
                       pixmap_for_height(art::kVolumeEmpty, height()));
    draw_thumb(painter, art::kVolumeThumb);
}

void SlideVolume::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return SliderBase::mousePressEvent(event);
    dragging_ = true;
    set_position(position_at(pointer_x(*event)));
}

void SlideVolume::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) set_position(position_at(pointer_x(*event)));
}

void SlideVolume::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !dragging_)
        return SliderBase::mouseReleaseEvent(event);
    dragging_ = false;
    set_position(position_at(pointer_x(*event)));
    emit volume_set(std::clamp(position_, 0, kReportCap));
}

}  // namespace velmora
