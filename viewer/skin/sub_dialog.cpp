#include "skin/sub_dialog.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "skin/artwork.h"
#include "skin/theme.h"

namespace velmora {

namespace {

constexpr int kEdge = 3;
constexpr int kEdgeCorner = 50;
constexpr int kCaptionHeight = 24;
constexpr int kCloseSize = 16;
constexpr int kCloseMargin = 4;
constexpr int kTitleIndent = 10;

// Edits, lists, combo and spin boxes stay in the standard light colours for legibility; everything
// else takes the dialog's dark palette.
bool keeps_standard_colours(const QWidget* widget) {
    return qobject_cast<const QLineEdit*>(widget) != nullptr ||
           qobject_cast<const QAbstractItemView*>(widget) != nullptr ||
           qobject_cast<const QComboBox*>(widget) != nullptr ||
           qobject_cast<const QAbstractSpinBox*>(widget) != nullptr;
}

void restore_standard_colours(QWidget* dialog) {
    for (QWidget* child : dialog->findChildren<QWidget*>()) {
        if (!keeps_standard_colours(child)) continue;
        // A combo's popup view inherits from the combo, which is already standard.
        if (child->parentWidget() && keeps_standard_colours(child->parentWidget())) continue;
        // Every role marked as set, or the widget would go on inheriting the dark palette.
        QPalette standard = QApplication::palette(child);
        standard.setResolveMask(~QPalette::ResolveMask(0));
        child->setPalette(standard);
    }
}

// Re-applies the exemption whenever children are polished (before they are first shown).
class DialogPaletteKeeper : public QObject {
  public:
    explicit DialogPaletteKeeper(QWidget* dialog) : QObject(dialog), dialog_(dialog) {
        dialog->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == dialog_ &&
            (event->type() == QEvent::ChildPolished || event->type() == QEvent::Show))
            restore_standard_colours(dialog_);
        return false;
    }

  private:
    QWidget* dialog_;
};

QPalette dark_palette(const QPalette& base) {
    QPalette palette = base;
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, theme::kDialog);
        palette.setColor(group, QPalette::WindowText, theme::kText);
        palette.setColor(group, QPalette::Button, theme::kDialog.lighter(125));
        palette.setColor(group, QPalette::ButtonText, theme::kText);
        palette.setColor(group, QPalette::Text, theme::kText);
        palette.setColor(group, QPalette::Base, theme::kDialog.darker(130));
        palette.setColor(group, QPalette::Highlight, theme::kAccent.darker(130));
        palette.setColor(group, QPalette::HighlightedText, theme::kText);
        palette.setColor(group, QPalette::ToolTipBase, QColor(48, 48, 50));
        palette.setColor(group, QPalette::ToolTipText, theme::kText);
    }
    palette.setColor(QPalette::Disabled, QPalette::Window, theme::kDialog);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(150, 150, 150));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(140, 140, 140));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(140, 140, 140));
    return palette;
}

}  // namespace

void apply_dialog_palette(QWidget* dialog) {
    if (dialog == nullptr) return;
    dialog->setPalette(dark_palette(dialog->palette()));
    dialog->setAutoFillBackground(true);
    restore_standard_colours(dialog);
    if (dialog->findChild<DialogPaletteKeeper*>(QString(), Qt::FindDirectChildrenOnly) == nullptr)
        new DialogPaletteKeeper(dialog);
}

SubDialog::SubDialog(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    apply_dialog_palette(this);
    setMouseTracking(true);
    setContentsMargins(kEdge, caption_height(), kEdge, kEdge);
}

void SubDialog::set_title(const QString& title) {
    title_ = title;
    setWindowTitle(title);
    update(0, 0, width(), caption_height());
}

int SubDialog::caption_height() {
    return kCaptionHeight;
}

QRect SubDialog::close_rect() const {
    return QRect(width() - kCloseMargin - kCloseSize, (kCaptionHeight - kCloseSize) / 2, kCloseSize,
                 kCloseSize);
}

bool SubDialog::in_caption(const QPoint& pos) const {
    return pos.y() >= 0 && pos.y() < kCaptionHeight && rect().contains(pos);
}

void SubDialog::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const qreal dpr = devicePixelRatioF();
    painter.fillRect(rect(), theme::kDialog);
    painter.fillRect(QRect(0, 0, width(), kCaptionHeight), theme::kCaption);
    QFont title_font = font();
    title_font.setBold(true);
    painter.setFont(title_font);
    painter.setPen(theme::kText);
    const QRect title_rect(kTitleIndent, 0, close_rect().left() - 2 * kTitleIndent, kCaptionHeight);
    painter.drawText(title_rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     painter.fontMetrics().elidedText(title_, Qt::ElideRight, title_rect.width()));
    painter.drawPixmap(close_rect().topLeft(),
                       skin_pixmap(close_hover_ ? art::kCloseHover : art::kClose, dpr));
    const QPixmap edge_h = skin_pixmap(art::kDialogEdgeH, dpr);
    const QPixmap edge_v = skin_pixmap(art::kDialogEdgeV, dpr);
    draw_edge_stretch(painter, edge_h, QRect(0, 0, width(), kEdge), kEdgeCorner, 0);
    draw_edge_stretch(painter, edge_h, QRect(0, height() - kEdge, width(), kEdge), kEdgeCorner, 0);
    draw_edge_stretch(painter, edge_v, QRect(0, 0, kEdge, height()), 0, kEdgeCorner);
    draw_edge_stretch(painter, edge_v, QRect(width() - kEdge, 0, kEdge, height()), 0, kEdgeCorner);
}

void SubDialog::set_close_hover(bool hover) {
    if (hover == close_hover_) return;
    close_hover_ = hover;
    update(close_rect());
}

void SubDialog::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (event->button() != Qt::LeftButton || !in_caption(pos))
        return QDialog::mousePressEvent(event);
    if (close_rect().contains(pos)) {
        close_pressed_ = true;
        return;
    }
    QWindow* handle = window()->windowHandle();
    if (handle != nullptr && handle->startSystemMove()) return;
    dragging_ = true;
    drag_offset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void SubDialog::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    set_close_hover(close_rect().contains(pos));
    if (dragging_) move(event->globalPosition().toPoint() - drag_offset_);
    QDialog::mouseMoveEvent(event);
}

void SubDialog::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QDialog::mouseReleaseEvent(event);
    const bool was_pressed = close_pressed_;
    close_pressed_ = false;
    dragging_ = false;
    // Closing goes through close(), the path of the window system's own close command.
    if (was_pressed && close_rect().contains(event->position().toPoint())) close();
}

void SubDialog::mouseDoubleClickEvent(QMouseEvent* event) {
    if (in_caption(event->position().toPoint())) return event->accept();
    QDialog::mouseDoubleClickEvent(event);
}

void SubDialog::leaveEvent(QEvent* event) {
    set_close_hover(false);
    QDialog::leaveEvent(event);
}

SubDialogNoTitle::SubDialogNoTitle(QWidget* parent) : QWidget(parent) {
    apply_dialog_palette(this);
}

void SubDialogNoTitle::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), theme::kDialog);
}

}  // namespace velmora
