#include "ui/find_timeline.h"

#include <QDateTime>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "skin/theme.h"

namespace velmora {

namespace {

constexpr int kMargin = 8;
constexpr int kTrackTop = 4;
constexpr int kTrackHeight = 18;
constexpr int kLabelHeight = 14;
constexpr int kReach = 4;  // pixels either side of a mark that still pick its row

const QColor kStrip{28, 28, 28};
const QColor kTrack{52, 52, 54};

QString utc_text(uint32_t time) {
    return QDateTime::fromSecsSinceEpoch(time, Qt::UTC)
        .toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

}  // namespace

FindTimeline::FindTimeline(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("find_timeline"));
    setMouseTracking(true);
    setMinimumHeight(sizeHint().height());
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize FindTimeline::sizeHint() const {
    return {400, kTrackTop + kTrackHeight + kLabelHeight + 4};
}

void FindTimeline::set_span(std::optional<RecordingSpan> span) {
    span_ = span;
    rebuild_columns();
}

void FindTimeline::clear_rows() {
    times_.clear();
    events_.clear();
    rebuild_columns();
}

void FindTimeline::add_rows(const std::vector<FoundRow>& rows) {
    for (const FoundRow& row : rows) {
        times_.push_back(row.time);
        events_.push_back(row.event_type != 0);
        mark_column(row.time, row.event_type != 0);
    }
    update();
}

void FindTimeline::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    rebuild_columns();
}

void FindTimeline::rebuild_columns() {
    columns_.assign(static_cast<size_t>(track().width()), 0);
    for (size_t i = 0; i < times_.size(); ++i) mark_column(times_[i], events_[i]);
    update();
}

void FindTimeline::mark_column(uint32_t time, bool event) {
    if (time == 0 || !span_) return;
    const int column = x_of(time) - track().left();
    if (column < 0 || column >= static_cast<int>(columns_.size())) return;
    uint8_t& shown = columns_[static_cast<size_t>(column)];
    shown = std::max<uint8_t>(shown, event ? 2 : 1);
}

QRect FindTimeline::track() const {
    return {kMargin, kTrackTop, std::max(1, width() - 2 * kMargin), kTrackHeight};
}

int FindTimeline::x_of(uint32_t time) const {
    if (!span_) return -1;
    const QRect strip = track();
    return strip.left() +
           static_cast<int>(std::lround(span_share(*span_, time) * (strip.width() - 1)));
}

std::optional<uint32_t> FindTimeline::time_at(int x) const {
    const QRect strip = track();
    if (!span_ || x < strip.left() - kReach || x > strip.right() + kReach) return std::nullopt;
    const double share = static_cast<double>(x - strip.left()) / std::max(1, strip.width() - 1);
    return span_time(*span_, share);
}

void FindTimeline::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kStrip);
    painter.fillRect(track(), kTrack);
    if (!span_) return;
    paint_marks(painter);
    paint_labels(painter);
}

// A column holding an event shows the event's colour: a plain row never hides one.
void FindTimeline::paint_marks(QPainter& painter) const {
    const QRect strip = track();
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (columns_[i] == 0) continue;
        const int x = strip.left() + static_cast<int>(i);
        // Two pixels wide, so a lone row still catches the eye.
        painter.fillRect(QRect(x, strip.top() + 2, 2, strip.height() - 4),
                         columns_[i] == 2 ? theme::kGy : theme::kAccent);
    }
}

void FindTimeline::paint_labels(QPainter& painter) const {
    QFont small = font();
    small.setPixelSize(10);
    painter.setFont(small);
    painter.setPen(theme::kTabText);
    const QRect labels(kMargin, kTrackTop + kTrackHeight + 2, width() - 2 * kMargin, kLabelHeight);
    painter.drawText(labels, Qt::AlignLeft | Qt::AlignVCenter, utc_text(span_->begin));
    painter.drawText(labels, Qt::AlignRight | Qt::AlignVCenter, utc_text(span_->end));
}

void FindTimeline::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    const int x = event->position().toPoint().x();
    const std::optional<uint32_t> time = time_at(x);
    if (!time) return;
    if (const auto nearest = nearest_time(times_, *time)) {
        if (std::abs(x_of(times_[*nearest]) - x) <= kReach) {
            emit row_clicked(static_cast<int>(*nearest));
            return;
        }
    }
    emit time_clicked(*time);
}

void FindTimeline::mouseMoveEvent(QMouseEvent* event) {
    const std::optional<uint32_t> time = time_at(event->position().toPoint().x());
    setToolTip(time ? utc_text(*time) : QString());
    QWidget::mouseMoveEvent(event);
}

}  // namespace velmora
