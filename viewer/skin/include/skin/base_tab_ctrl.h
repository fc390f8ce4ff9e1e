// Program-drawn tab control of up to 16 pages.
#pragma once

#include <QWidget>
#include <vector>

class QPainter;
class QStackedWidget;

namespace velmora {

class BaseTabCtrl : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kMaxPages = 16;

    explicit BaseTabCtrl(QWidget* parent = nullptr);

    // Adds a page at the end (hidden until chosen); 0 when 16 pages exist, else 1.
    int add_page(const QString& title, QWidget* page, int page_id);
    int count() const { return static_cast<int>(pages_.size()); }
    int current_index() const { return current_; }
    void set_current_index(int index);
    int page_id(int index) const;
    QRect tab_rect(int index) const;

  signals:
    void current_changed(int index);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QRect page_area() const;
    int tab_at(const QPoint& pos) const;
    void paint_tab(QPainter& painter, int index) const;

    struct Page {
        QString title;
        QWidget* widget;
        int id;
    };
    void place_pages();

    std::vector<Page> pages_;
    int current_ = -1;
};

}  // namespace velmora
