// A push button whose presses by any mouse button are reported by held(), and nothing else: a
// double click's second press is one more press, and Space or Enter do nothing. It looks down
// while any press holds it.
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

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  HeldPress held_;
};

// A caption as a button shows it exactly: Qt would read "&" as a shortcut marker and hide it.
QString ShownOnButton(QString caption);

}  // namespace kalvora
