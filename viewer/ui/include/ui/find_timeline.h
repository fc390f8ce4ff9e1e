// The strip under the Find dialog's list: the recording's time from its first index unit to its
// last, with a mark where each row falls (events in their own colour). A click near a mark picks
// that row; anywhere else it picks the moment under the pointer.
#pragma once

#include <QWidget>
#include <optional>
#include <vector>

#include "model/find_job.h"
#include "model/recording_span.h"

class QPainter;

namespace velmora {

class FindTimeline : public QWidget {
    Q_OBJECT
  public:
    explicit FindTimeline(QWidget* parent = nullptr);

    // Nothing: no recording to draw (the strip stays empty and ignores clicks).
    void set_span(std::optional<RecordingSpan> span);
    std::optional<RecordingSpan> span() const { return span_; }
    void clear_rows();
    void add_rows(const std::vector<FoundRow>& rows);
    int mark_count() const { return static_cast<int>(times_.size()); }

    // The horizontal position of a time on the strip; -1 without a span.
    int x_of(uint32_t time) const;

    QSize sizeHint() const override;

  signals:
    // A click within reach of a row's mark.
    void row_clicked(int row);
    // A click elsewhere on the strip: the moment under the pointer.
    void time_clicked(quint32 time);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QRect track() const;
    std::optional<uint32_t> time_at(int x) const;
    void rebuild_columns();
    void mark_column(uint32_t time, bool event);
    void paint_marks(QPainter& painter) const;
    void paint_labels(QPainter& painter) const;

    std::optional<RecordingSpan> span_;
    std::vector<uint32_t> times_;  // one per row; 0 when the row's time is unknown
    std::vector<bool> events_;
    // What each pixel column of the track shows, so a list of any length paints in one pass
    // over the strip's width: 0 nothing, 1 a row, 2 a row with an event.
    std::vector<uint8_t> columns_;
};

}  // namespace velmora
