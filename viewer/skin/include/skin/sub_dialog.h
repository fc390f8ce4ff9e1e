// Dialog bases with the painted look: SubDialog draws its own caption band, close button and
// edges and is dragged by its caption; SubDialogNoTitle is a plain dark page.
#pragma once

#include <QDialog>
#include <QWidget>

namespace velmora {

class SubDialog : public QDialog {
    Q_OBJECT
  public:
    explicit SubDialog(QWidget* parent = nullptr);

    void set_title(const QString& title);
    QString title() const { return title_; }
    // Height of the painted caption band in logical pixels.
    static int caption_height();
    // Close box in widget coordinates.
    QRect close_rect() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    bool in_caption(const QPoint& pos) const;
    void set_close_hover(bool hover);

    QString title_;
    bool close_hover_ = false;
    bool close_pressed_ = false;
    bool dragging_ = false;  // moving by hand where the window system cannot
    QPoint drag_offset_;     // pointer position relative to the window's top-left
};

class SubDialogNoTitle : public QWidget {
    Q_OBJECT
  public:
    explicit SubDialogNoTitle(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

// Sets white text on the dark dialog brush, keeping edits and lists in their standard colours.
void apply_dialog_palette(QWidget* dialog);

}  // namespace velmora
