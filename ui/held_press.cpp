#include "ui/held_press.h"

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

HeldPress::HeldPress(QWidget* control, std::function<void()> ended)
    : control_(control), ended_(std::move(ended)) {}

HeldPress::~HeldPress() { Forget(this); }

void HeldPress::press(Qt::MouseButton button) {
  if (buttons_ == Qt::NoButton) Held().push_back(this);
  buttons_ |= button;
}

void HeldPress::release(Qt::MouseButton button) {
  if (!(buttons_ & button)) return;
  buttons_ &= ~button;
  if (buttons_ == Qt::NoButton) Forget(this);
  ended_();
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
