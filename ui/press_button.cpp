#include "ui/press_button.h"

#include <QKeyEvent>

namespace kalvora {

namespace {
bool IsActivationKey(const QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Select:
      return true;
    default:
      return false;
  }
}
}  // namespace

PressButton::PressButton(QWidget* parent) : QPushButton(parent), held_(this) {
  setAutoDefault(false);
  connect(&held_, &HeldPress::mouseDown, this, [this] { setDown(true); });
  connect(&held_, &HeldPress::mouseUp, this, [this] {
    if (held_.buttons() == Qt::NoButton) setDown(false);
  });
}

void PressButton::keyPressEvent(QKeyEvent* event) {
  if (IsActivationKey(event)) {
    event->accept();
    return;
  }
  QPushButton::keyPressEvent(event);
}

void PressButton::keyReleaseEvent(QKeyEvent* event) {
  if (IsActivationKey(event)) {
    event->accept();
    return;
  }
  QPushButton::keyReleaseEvent(event);
}

QString ShownOnButton(QString caption) {
  // Doubled, it shows as itself.
  caption.replace(QLatin1Char('&'), QLatin1String("&&"));
  return caption;
}

}  // namespace kalvora
