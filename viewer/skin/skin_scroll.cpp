#include "skin/skin_scroll.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <algorithm>

#include "skin/artwork.h"

namespace velmora {

namespace {

constexpr int kArrowLength = 16;
constexpr int kArrowRepeatMs = 100;
// Far shorter thumbs could not be grabbed; below this the thumb keeps this length and only its
// start follows the position.
constexpr int kMinimumThumb = 10;

struct ScrollGeometry {
    QRect first_arrow;
    QRect second_arrow;
    QRect groove;
    QRect thumb;  // empty when everything fits in one page
};

// The bar's layout from a slider option. In Qt terms the scrolled extent is the range plus one
// page, so the thumb covers page / (range + page) of the track between the arrows.
ScrollGeometry scroll_geometry(const QStyleOptionSlider& opt) {
    const bool vertical = opt.orientation == Qt::Vertical;
    const QRect r = opt.rect;
    const int length = vertical ? r.height() : r.width();
    const int track = std::max(0, length - 2 * kArrowLength);
    auto along = [&](int at, int size) {
        return vertical ? QRect(r.left(), r.top() + at, r.width(), size)
                        : QRect(r.left() + at, r.top(), size, r.height());
    };
    ScrollGeometry g;
    g.first_arrow = along(0, std::min(kArrowLength, length));
    g.second_arrow = along(std::max(0, length - kArrowLength), std::min(kArrowLength, length));
    g.groove = along(kArrowLength, track);
    const qint64 range = static_cast<qint64>(opt.maximum) - opt.minimum;
    const qint64 page = std::max(1, opt.pageStep);
    if (range < 1 || track <= 0) return g;
    const qint64 extent = range + page;
    const qint64 offset = std::clamp<qint64>(opt.sliderPosition - opt.minimum, 0, range);
    int thumb = static_cast<int>(page * track / extent);
    int start = static_cast<int>(track * offset / extent);
    if (thumb < kMinimumThumb) {
        thumb = std::min(kMinimumThumb, track);
        start = static_cast<int>((track - thumb) * offset / range);
    }
    g.thumb = along(kArrowLength + start, thumb);
    return g;
}

// Gives QScrollBar's own mouse handling (hit tests, thumb dragging, paging) the geometry that
// SkinScroll paints, so what is seen is what is clicked.
class SkinScrollStyle : public QProxyStyle {
  public:
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override {
        const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
        if (control != CC_ScrollBar || slider == nullptr)
            return QProxyStyle::subControlRect(control, option, sub, widget);
        return sub_control_rect(*slider, sub);
    }

    SubControl hitTestComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                     const QPoint& pos, const QWidget* widget) const override {
        const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
        if (control != CC_ScrollBar || slider == nullptr)
            return QProxyStyle::hitTestComplexControl(control, option, pos, widget);
        for (SubControl sub : {SC_ScrollBarSubLine, SC_ScrollBarAddLine, SC_ScrollBarSlider,
                               SC_ScrollBarSubPage, SC_ScrollBarAddPage}) {
            if (sub_control_rect(*slider, sub).contains(pos)) return sub;
        }
        return SC_None;
    }

    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        if (metric == PM_ScrollBarExtent) return skin_scroll_thickness();
        if (metric == PM_ScrollBarSliderMin) return kMinimumThumb;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

  private:
    static QRect sub_control_rect(const QStyleOptionSlider& slider, SubControl sub) {
        const ScrollGeometry g = scroll_geometry(slider);
        const bool vertical = slider.orientation == Qt::Vertical;
        switch (sub) {
            case SC_ScrollBarSubLine:
                return g.first_arrow;
            case SC_ScrollBarAddLine:
                return g.second_arrow;
            case SC_ScrollBarGroove:
                return g.groove;
            case SC_ScrollBarSlider:
                return g.thumb;
            case SC_ScrollBarSubPage:
                if (g.thumb.isEmpty()) return QRect();
                return vertical
                           ? QRect(g.groove.topLeft(), QPoint(g.groove.right(), g.thumb.top() - 1))
                           : QRect(g.groove.topLeft(),
                                   QPoint(g.thumb.left() - 1, g.groove.bottom()));
            case SC_ScrollBarAddPage:
                if (g.thumb.isEmpty()) return QRect();
                return vertical ? QRect(QPoint(g.groove.left(), g.thumb.bottom() + 1),
                                        g.groove.bottomRight())
                                : QRect(QPoint(g.thumb.right() + 1, g.groove.top()),
                                        g.groove.bottomRight());
            default:
                return QRect();
        }
    }
};

QStyle* skin_scroll_style() {
    static QPointer<SkinScrollStyle> style;
    if (style.isNull()) {
        style = new SkinScrollStyle;
        style->setParent(QCoreApplication::instance());
    }
    return style.data();
}

struct BarArt {
    int first_arrow, second_arrow, track, thumb;
};

BarArt bar_art(Qt::Orientation orientation) {
    if (orientation == Qt::Vertical)
        return {art::kScrollUp, art::kScrollDown, art::kScrollVTrack, art::kScrollVThumb};
    return {art::kScrollLeft, art::kScrollRight, art::kScrollHTrack, art::kScrollHThumb};
}

// Fills the square where the two bars meet. It is laid over the area rather than given to it
// as its corner widget: a corner widget makes the area shorten a lone bar to leave the corner
// free, while the corner belongs only between two bars.
class ScrollCorner : public QWidget {
  public:
    explicit ScrollCorner(QAbstractScrollArea* area)
        : QWidget(area),
          vertical_(area->verticalScrollBar()),
          horizontal_(area->horizontalScrollBar()) {
        setObjectName(QStringLiteral("skin_scroll_corner"));
        hide();
        watch(vertical_);
        watch(horizontal_);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawPixmap(rect(), skin_pixmap(art::kScrollCorner, devicePixelRatioF()));
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Show:
            case QEvent::Hide:
            case QEvent::Move:
            case QEvent::Resize:
                place();
                break;
            default:
                break;
        }
        return QWidget::eventFilter(watched, event);
    }

  private:
    // The area shows and hides the holders of its bars, not the bars themselves.
    void watch(QScrollBar* bar) {
        bar->installEventFilter(this);
        if (QWidget* holder = bar->parentWidget(); holder != nullptr && holder != parentWidget())
            holder->installEventFilter(this);
    }

    // Uses only plain widget calls: it also runs while the area is being torn down.
    void place() {
        QWidget* area = parentWidget();
        if (area == nullptr || vertical_.isNull() || horizontal_.isNull()) return;
        const bool both = vertical_->isVisibleTo(area) && horizontal_->isVisibleTo(area);
        if (!both) {
            hide();
            return;
        }
        const QPoint v = vertical_->mapTo(area, QPoint(0, 0));
        const QPoint h = horizontal_->mapTo(area, QPoint(0, 0));
        // In line with the vertical bar (left or right), level with the horizontal one.
        setGeometry(v.x(), h.y(), vertical_->width(), horizontal_->height());
        raise();
        show();
    }

    QPointer<QScrollBar> vertical_;
    QPointer<QScrollBar> horizontal_;
};

}  // namespace

int skin_scroll_thickness() {
    return skin_size(art::kScrollLeft).width() - 1;
}

SkinScroll::SkinScroll(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent) {
    setStyle(skin_scroll_style());
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QStyleOptionSlider SkinScroll::current_option() const {
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    return opt;
}

QRect SkinScroll::thumb_rect() const {
    return scroll_geometry(current_option()).thumb;
}
QRect SkinScroll::first_arrow_rect() const {
    return scroll_geometry(current_option()).first_arrow;
}
QRect SkinScroll::second_arrow_rect() const {
    return scroll_geometry(current_option()).second_arrow;
}

QSize SkinScroll::sizeHint() const {
    const int thickness = skin_scroll_thickness();
    const int length = 2 * kArrowLength + 3 * kMinimumThumb;
    return orientation() == Qt::Vertical ? QSize(thickness, length) : QSize(length, thickness);
}

void SkinScroll::paintEvent(QPaintEvent*) {
    const ScrollGeometry g = scroll_geometry(current_option());
    const BarArt parts = bar_art(orientation());
    const qreal dpr = devicePixelRatioF();
    const bool vertical = orientation() == Qt::Vertical;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(g.groove, skin_pixmap(parts.track, dpr));
    // The left arrow is one pixel wider than the bar is thick; it starts one pixel outside.
    const QPixmap first = skin_pixmap(parts.first_arrow, dpr);
    painter.drawPixmap(vertical ? QPoint(0, 0) : QPoint(-1, 0), first);
    const QPixmap second = skin_pixmap(parts.second_arrow, dpr);
    const QSize second_size = second.deviceIndependentSize().toSize();
    painter.drawPixmap(
        QRect(g.second_arrow.topLeft(),
              vertical ? QSize(width(), kArrowLength) : QSize(second_size.width(), height())),
        second);
    if (g.thumb.isEmpty()) return;
    const int corner = 6;
    draw_edge_stretch(painter, skin_pixmap(parts.thumb, dpr), g.thumb, vertical ? 0 : corner,
                      vertical ? corner : 0);
}

void SkinScroll::mousePressEvent(QMouseEvent* event) {
    QScrollBar::mousePressEvent(event);
    const SliderAction held = repeatAction();
    if (held == SliderSingleStepAdd || held == SliderSingleStepSub)
        setRepeatAction(held, kArrowRepeatMs, kArrowRepeatMs);
}

void wrap_with_skin_scroll(QAbstractScrollArea* target) {
    if (target == nullptr) return;
    target->setVerticalScrollBar(new SkinScroll(Qt::Vertical, target));
    target->setHorizontalScrollBar(new SkinScroll(Qt::Horizontal, target));
    new ScrollCorner(target);
}

}  // namespace velmora
