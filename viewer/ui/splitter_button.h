// The thin button between the vehicle panel and the map: a click folds the panel away or
// brings it back.
#pragma once

#include <QAbstractButton>

namespace velmora {

class SplitterButton : public QAbstractButton {
    Q_OBJECT
  public:
    explicit SplitterButton(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    bool hover_ = false;
};

}  // namespace velmora
