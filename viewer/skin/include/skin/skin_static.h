// Flat label: left and right border lines and one line of text on its own background colour.
#pragma once

#include <QColor>
#include <QWidget>

namespace velmora {

class SkinStatic : public QWidget {
    Q_OBJECT
  public:
    explicit SkinStatic(int control_id, QWidget* parent = nullptr);

    int control_id() const { return control_id_; }
    void set_text(const QString& text, int left_offset, const QColor& text_colour,
                  const QColor& background);
    void set_text(const QString& text);  // keeps offset and colours; repaints
    QString text() const { return text_; }
    void set_border(bool on);

  signals:
    void clicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    int control_id_;
    QString text_;
    int text_offset_ = 0;
    QColor text_colour_{Qt::white};
    QColor background_;
    bool border_ = true;
};

// A menu title: centred text in a dark box; clicked() opens its menu.
class SkinMenuText : public QWidget {
    Q_OBJECT
  public:
    explicit SkinMenuText(int control_id, QWidget* parent = nullptr);

    int control_id() const { return control_id_; }
    void set_text(const QString& text, const QColor& text_colour, const QColor& second_colour);
    QString text() const { return text_; }

  signals:
    void clicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    int control_id_;
    QString text_;
    QColor text_colour_{Qt::white};
    QColor second_colour_;
    bool hover_ = false;
};

}  // namespace velmora
