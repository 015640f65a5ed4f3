#include "ui/press_button.h"

#include <QKeyEvent>
#include <QMouseEvent>

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

PressButton::PressButton(QWidget* parent)
    : QPushButton(parent), held_(this, [this] {
        // The button stays down while any mouse button still holds it.
        if (held_.buttons() == Qt::NoButton) setDown(false);
        emit mouseUp();
      }) {
  setAutoDefault(false);
}

void PressButton::mousePressEvent(QMouseEvent* event) {
  event->accept();
  setDown(true);
  held_.press(event->button());
  emit mouseDown();
}

void PressButton::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

void PressButton::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  held_.release(event->button());
}

// The press is the event that counts, wherever the pointer goes afterwards.
void PressButton::mouseMoveEvent(QMouseEvent* event) { event->accept(); }

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
