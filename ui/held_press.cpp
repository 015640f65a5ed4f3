#include "ui/held_press.h"

#include <QMouseEvent>
#include <QWidget>
#include <algorithm>

namespace kalvora {

namespace {
// Every control held now, whichever window it is in; few at any time.
std::vector<HeldPress*>& Held() {
  static std::vector<HeldPress*> held;
  return held;
}

void Forget(HeldPress* press) {
  auto& held = Held();
  held.erase(std::remove(held.begin(), held.end(), press), held.end());
}
}  // namespace

HeldPress::HeldPress(QWidget* control) : control_(control) { control->installEventFilter(this); }

HeldPress::~HeldPress() { Forget(this); }

bool HeldPress::eventFilter(QObject* watched, QEvent* event) {
  if (watched != control_) return false;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      event->accept();
      press(static_cast<QMouseEvent*>(event)->button());
      return true;
    case QEvent::MouseButtonRelease:
      event->accept();
      release(static_cast<QMouseEvent*>(event)->button());
      return true;
    case QEvent::MouseMove:
      // The press is the event that counts, wherever the pointer goes afterwards.
      event->accept();
      return true;
    default:
      return false;
  }
}

void HeldPress::press(Qt::MouseButton button) {
  if (buttons_ == Qt::NoButton) Held().push_back(this);
  buttons_ |= button;
  emit mouseDown(button);
}

void HeldPress::release(Qt::MouseButton button) {
  if (!(buttons_ & button)) return;
  buttons_ &= ~button;
  if (buttons_ == Qt::NoButton) Forget(this);
  emit mouseUp(button);
}

void HeldPress::releaseAll() {
  for (unsigned bit = 1; buttons_ != Qt::NoButton && bit != 0; bit <<= 1) {
    release(static_cast<Qt::MouseButton>(bit));
  }
}

std::vector<HeldPress*> HeldPress::heldIn(const QWidget* window) {
  std::vector<HeldPress*> inWindow;
  for (HeldPress* press : Held()) {
    if (press->control_->window() == window) inWindow.push_back(press);
  }
  return inWindow;
}

}  // namespace kalvora
