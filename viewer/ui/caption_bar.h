// The window's own caption strip and its 3-pixel frame: the main window has no system
// decorations, so it draws them and starts system moves and resizes itself.
#pragma once

#include <QWidget>

namespace velmora {

class CaptionBar : public QWidget {
    Q_OBJECT
  public:
    explicit CaptionBar(QWidget* parent = nullptr);

    void set_title(const QString& title);
    // Where the menu titles may go: from here to the caption buttons.
    int menu_left() const { return 26; }
    QRect close_rect() const;
    QRect maximise_rect() const;
    QRect minimise_rect() const;

  signals:
    void close_clicked();
    void minimise_clicked();
    void maximise_clicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    QString title_;
    int hover_ = 0;  // 0 none, 1 close, 2 maximise, 3 minimise
    int pressed_ = 0;
    int button_at(QPoint point) const;
};

// Starts a system move of the window, or moves it by hand where the platform has no such move.
void start_window_move(QWidget* window, QPoint global_press);

// The frame on top of everything: paints the edges and resizes the window from them. Its mask
// is the 3-pixel ring, so the rest of the window gets its mouse events as usual.
class WindowFrame : public QWidget {
    Q_OBJECT
  public:
    explicit WindowFrame(QWidget* window);

    // Resize edges for a point in window coordinates (empty inside).
    Qt::Edges edges_at(QPoint point) const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace velmora
