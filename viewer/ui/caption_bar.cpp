#include "caption_bar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "skin/artwork.h"
#include "skin/theme.h"

namespace velmora {

namespace {
constexpr int kButton = 16;
constexpr int kButtonGap = 3;
constexpr int kEdge = 3;
constexpr int kCorner = 10;
}  // namespace

CaptionBar::CaptionBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("10000"));
    setMouseTracking(true);
}

void CaptionBar::set_title(const QString& title) {
    title_ = title;
    update();
}

QRect CaptionBar::close_rect() const {
    return QRect(width() - kEdge - kButton - 2, (height() - kButton) / 2, kButton, kButton);
}

QRect CaptionBar::maximise_rect() const {
    return close_rect().translated(-(kButton + kButtonGap), 0);
}

QRect CaptionBar::minimise_rect() const {
    return maximise_rect().translated(-(kButton + kButtonGap), 0);
}

int CaptionBar::button_at(QPoint point) const {
    if (close_rect().contains(point)) return 1;
    if (maximise_rect().contains(point)) return 2;
    if (minimise_rect().contains(point)) return 3;
    return 0;
}

void CaptionBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), theme::kCaption);
    const qreal dpr = devicePixelRatioF();
    painter.drawPixmap(QRect(5, (height() - 16) / 2, 16, 16), skin_pixmap(art::kAppIcon, dpr));
    if (!title_.isEmpty()) {
        painter.setPen(QColor(225, 225, 225));
        QFont font = painter.font();
        font.setBold(true);
        painter.setFont(font);
        painter.drawText(rect(), Qt::AlignCenter, title_);
    }
    const bool maximised = window()->isMaximized();
    painter.drawPixmap(close_rect(),
                       skin_pixmap(hover_ == 1 ? art::kCloseHover : art::kClose, dpr));
    const int max_id = maximised ? (hover_ == 2 ? art::kRestoreHover : art::kRestore)
                                 : (hover_ == 2 ? art::kMaximiseHover : art::kMaximise);
    painter.drawPixmap(maximise_rect(), skin_pixmap(max_id, dpr));
    painter.drawPixmap(minimise_rect(),
                       skin_pixmap(hover_ == 3 ? art::kMinimiseHover : art::kMinimise, dpr));
}

void CaptionBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    pressed_ = button_at(event->position().toPoint());
    if (pressed_ == 0) start_window_move(window(), event->globalPosition().toPoint());
}

void CaptionBar::mouseMoveEvent(QMouseEvent* event) {
    const int hover = button_at(event->position().toPoint());
    if (hover != hover_) {
        hover_ = hover;
        update();
    }
}

void CaptionBar::mouseReleaseEvent(QMouseEvent* event) {
    const int released = button_at(event->position().toPoint());
    const int pressed = pressed_;
    pressed_ = 0;
    if (released == 0 || released != pressed) return;
    if (released == 1) emit close_clicked();
    if (released == 2) emit maximise_clicked();
    if (released == 3) emit minimise_clicked();
    update();
}

void CaptionBar::mouseDoubleClickEvent(QMouseEvent* event) {
    if (button_at(event->position().toPoint()) == 0) emit maximise_clicked();
}

void CaptionBar::leaveEvent(QEvent*) {
    hover_ = 0;
    update();
}

void start_window_move(QWidget* window, QPoint) {
    if (window->isMaximized()) return;
    if (QWindow* handle = window->windowHandle()) handle->startSystemMove();
}

WindowFrame::WindowFrame(QWidget* window) : QWidget(window) {
    setObjectName(QStringLiteral("window_frame"));
    setMouseTracking(true);
    setAttribute(Qt::WA_NoSystemBackground);
}

Qt::Edges WindowFrame::edges_at(QPoint p) const {
    const int w = width();
    const int h = height();
    const bool near_left = p.x() < kCorner, near_right = p.x() >= w - kCorner;
    const bool near_top = p.y() < kCorner, near_bottom = p.y() >= h - kCorner;
    const bool on_left = p.x() < kEdge, on_right = p.x() >= w - kEdge;
    const bool on_top = p.y() < kEdge, on_bottom = p.y() >= h - kEdge;
    Qt::Edges edges;
    if ((on_left || on_top) && near_left && near_top) return Qt::LeftEdge | Qt::TopEdge;
    if ((on_right || on_top) && near_right && near_top) return Qt::RightEdge | Qt::TopEdge;
    if ((on_left || on_bottom) && near_left && near_bottom) return Qt::LeftEdge | Qt::BottomEdge;
    if ((on_right || on_bottom) && near_right && near_bottom) return Qt::RightEdge | Qt::BottomEdge;
    if (on_left) edges |= Qt::LeftEdge;
    if (on_right) edges |= Qt::RightEdge;
    if (on_top) edges |= Qt::TopEdge;
    if (on_bottom) edges |= Qt::BottomEdge;
    return edges;
}

void WindowFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const qreal dpr = devicePixelRatioF();
    const QPixmap horizontal = skin_pixmap(art::kMainEdgeH, dpr);
    const QPixmap vertical = skin_pixmap(art::kMainEdgeV, dpr);
    const int w = width();
    const int h = height();
    draw_edge_stretch(painter, horizontal, QRect(0, 0, w, kEdge), 50, 0);
    draw_edge_stretch(painter, horizontal, QRect(0, h - kEdge, w, kEdge), 50, 0);
    draw_edge_stretch(painter, vertical, QRect(0, 0, kEdge, h), 0, 50);
    draw_edge_stretch(painter, vertical, QRect(w - kEdge, 0, kEdge, h), 0, 50);
}

void WindowFrame::resizeEvent(QResizeEvent* event) {
    const QRegion outer(rect());
    const QRegion inner(rect().adjusted(kEdge, kEdge, -kEdge, -kEdge));
    setMask(outer.subtracted(inner));
    QWidget::resizeEvent(event);
}

void WindowFrame::mouseMoveEvent(QMouseEvent* event) {
    const Qt::Edges edges = edges_at(event->position().toPoint());
    Qt::CursorShape shape = Qt::ArrowCursor;
    if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge)) {
        shape = Qt::SizeFDiagCursor;
    } else if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge)) {
        shape = Qt::SizeBDiagCursor;
    } else if (edges & (Qt::LeftEdge | Qt::RightEdge)) {
        shape = Qt::SizeHorCursor;
    } else if (edges & (Qt::TopEdge | Qt::BottomEdge)) {
        shape = Qt::SizeVerCursor;
    }
    setCursor(shape);
}

void WindowFrame::mousePressEvent(QMouseEvent* event) {
    const Qt::Edges edges = edges_at(event->position().toPoint());
    if (event->button() != Qt::LeftButton || edges == Qt::Edges() || window()->isMaximized())
        return;
    if (QWindow* handle = window()->windowHandle()) handle->startSystemResize(edges);
}

}  // namespace velmora
