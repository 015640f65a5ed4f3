// One key of the on-screen keyboard: a filled rectangle with a one-pixel black outline whose
// presses are reported by held(). It never takes the focus.
#pragma once

#include <QColor>
#include <QWidget>

#include "ui/held_press.h"

namespace kalvora {

class KeyShape : public QWidget {
  Q_OBJECT
 public:
  KeyShape(QColor fill, QWidget* parent = nullptr);
  QColor fill() const { return fill_; }
  HeldPress& held() { return held_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor fill_;
  HeldPress held_;
};

}  // namespace kalvora
