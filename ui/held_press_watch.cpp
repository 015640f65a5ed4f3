#include "ui/held_press_watch.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#include "ui/held_press.h"
#include "ui/window_leaving.h"

namespace kalvora {

HeldPressWatch::HeldPressWatch(QWidget* window) : QObject(window), window_(window) {
  // Releases over any of the program's windows count, as do the platform's mouse events to the
  // main window before Qt picks the control they go to.
  QCoreApplication::instance()->installEventFilter(this);
}

bool HeldPressWatch::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (watched == window_) {
    if (IsWindowLeaving(*event, *window_)) {
      for (HeldPress* press : HeldPress::heldIn(window_)) {
        if (press->endsWhenWindowLeaves()) press->releaseAll();
      }
    }
    return false;
  }
  if (!watched->isWindowType()) return false;
  switch (type) {
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove: {
      const auto* mouse = static_cast<const QMouseEvent*>(event);
      endPressesOfButtonsUp(mouse->buttons());
      return false;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      const auto* mouse = static_cast<const QMouseEvent*>(event);
      endPressesOfButtonsUp(mouse->buttons() & ~mouse->button());
      if (watched != window_->windowHandle()) return false;
      return sendPressToHeldControl(*mouse);
    }
    default:
      return false;
  }
}

void HeldPressWatch::endPressesOfButtonsUp(Qt::MouseButtons stillDown) {
  for (HeldPress* press : HeldPress::heldIn(window_)) {
    const Qt::MouseButtons up = press->buttons() & ~stillDown;
    for (unsigned bit = 1; bit != 0 && bit <= up; bit <<= 1) {
      if (up & bit) press->release(static_cast<Qt::MouseButton>(bit));
    }
  }
}

// True when the press went to the control already held. The second press of a double click
// comes twice, as a press and as a double click; it is one press.
bool HeldPressWatch::sendPressToHeldControl(const QMouseEvent& press) {
  const auto held = HeldPress::heldIn(window_);
  if (held.empty()) return false;
  if (press.type() == QEvent::MouseButtonDblClick) return true;
  QWidget* control = held.front()->control();
  QMouseEvent toControl(QEvent::MouseButtonPress, control->mapFromGlobal(press.globalPosition()),
                        press.scenePosition(), press.globalPosition(), press.button(),
                        press.buttons(), press.modifiers(), press.pointingDevice());
  QCoreApplication::sendEvent(control, &toControl);
  return true;
}

}  // namespace kalvora
