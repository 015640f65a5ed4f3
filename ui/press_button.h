// A push button that reports the press and the release of any mouse button, and nothing else:
// a double click's second press is one more press, and Space or Enter do nothing.
#pragma once

#include <QPushButton>
#include <QString>

#include "ui/held_press.h"

namespace kalvora {

class PressButton : public QPushButton {
  Q_OBJECT
 public:
  explicit PressButton(QWidget* parent = nullptr);
  HeldPress& held() { return held_; }

 signals:
  void mouseDown();
  void mouseUp();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  HeldPress held_;
};

// A caption as a button shows it exactly: Qt would read "&" as a shortcut marker and hide it.
QString ShownOnButton(QString caption);

}  // namespace kalvora
