#include "skin/base_tab_ctrl.h"

#include <QMouseEvent>
#include <QPainter>

#include "skin/artwork.h"
#include "skin/theme.h"

namespace velmora {

namespace {

constexpr int kTabHeight = 24;
constexpr int kTabPadding = 14;
constexpr int kTabMinWidth = 64;
constexpr int kTabGap = 2;
// The row's selected tab rises this much above the others.
constexpr int kTabLift = 2;

const QColor kTabFill(52, 52, 54);
const QColor kTabFillSelected(78, 78, 82);

}  // namespace

BaseTabCtrl::BaseTabCtrl(QWidget* parent) : QWidget(parent) {}

int BaseTabCtrl::add_page(const QString& title, QWidget* page, int page_id) {
    if (count() >= kMaxPages || page == nullptr) return 0;
    page->setParent(this);
    page->hide();
    pages_.push_back(Page{title, page, page_id});
    place_pages();
    update();
    return 1;
}

void BaseTabCtrl::set_current_index(int index) {
    if (index < 0 || index >= count() || index == current_) return;
    if (current_ >= 0) pages_[static_cast<std::size_t>(current_)].widget->hide();
    current_ = index;
    pages_[static_cast<std::size_t>(index)].widget->show();
    update();
    emit current_changed(index);
}

int BaseTabCtrl::page_id(int index) const {
    if (index < 0 || index >= count()) return -1;
    return pages_[static_cast<std::size_t>(index)].id;
}

QRect BaseTabCtrl::tab_rect(int index) const {
    if (index < 0 || index >= count()) return QRect();
    int x = 0;
    for (int i = 0;; ++i) {
        const QString& title = pages_[static_cast<std::size_t>(i)].title;
        const int w =
            std::max(kTabMinWidth, fontMetrics().horizontalAdvance(title) + 2 * kTabPadding);
        if (i == index) return QRect(x, 0, w, kTabHeight);
        x += w + kTabGap;
    }
}

QRect BaseTabCtrl::page_area() const {
    return QRect(0, kTabHeight, width(), std::max(0, height() - kTabHeight));
}

int BaseTabCtrl::tab_at(const QPoint& pos) const {
    for (int i = 0; i < count(); ++i)
        if (tab_rect(i).contains(pos)) return i;
    return -1;
}

void BaseTabCtrl::place_pages() {
    // Pages sit inside the frame line of the page area.
    const QRect inner = page_area().adjusted(1, 1, -1, -1);
    for (const Page& page : pages_) page.widget->setGeometry(inner);
}

void BaseTabCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = page_area();
    painter.fillRect(area, theme::kTabBackground);
    painter.setPen(theme::kText);
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    for (int i = 0; i < count(); ++i) paint_tab(painter, i);
}

void BaseTabCtrl::paint_tab(QPainter& painter, int index) const {
    const Page& page = pages_[static_cast<std::size_t>(index)];
    const bool selected = index == current_;
    QRect r = tab_rect(index);
    if (!selected) r.setTop(r.top() + kTabLift);
    painter.fillRect(r, selected ? kTabFillSelected : kTabFill);
    // Grey light edges on the left and top, the dark edge on the right.
    painter.setPen(theme::kTabEdgeGrey);
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(theme::kTabEdgeDark);
    painter.drawLine(r.topRight(), r.bottomRight());
    if (selected) painter.fillRect(QRect(r.left() + 1, r.top(), r.width() - 2, 2), theme::kAccent);
    painter.setPen(selected ? theme::kText : theme::kTabText);
    painter.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, page.title);
}

void BaseTabCtrl::mousePressEvent(QMouseEvent* event) {
    const int index = tab_at(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index >= 0) set_current_index(index);
    QWidget::mousePressEvent(event);
}

void BaseTabCtrl::resizeEvent(QResizeEvent* event) {
    place_pages();
    QWidget::resizeEvent(event);
}

}  // namespace velmora
