// The mouse buttons that hold one control pressed. Each press ends once: at the release of its
// own button, or, when the window will not see that release, ended for it (HeldPressWatch).
#pragma once

#include <Qt>
#include <functional>
#include <vector>

class QWidget;

namespace kalvora {

class HeldPress {
 public:
  // ended runs once for every press that ends, however it ends.
  HeldPress(QWidget* control, std::function<void()> ended);
  ~HeldPress();
  HeldPress(const HeldPress&) = delete;
  HeldPress& operator=(const HeldPress&) = delete;

  void press(Qt::MouseButton button);
  // Ends the press of button, if that button holds the control.
  void release(Qt::MouseButton button);
  void releaseAll();
  Qt::MouseButtons buttons() const { return buttons_; }
  QWidget* control() const { return control_; }

  // Whether the press ends when the window is hidden or deactivated (default), or stays until
  // its button's release is seen.
  bool endsWhenWindowLeaves() const { return endsWhenWindowLeaves_; }
  void setEndsWhenWindowLeaves(bool ends) { endsWhenWindowLeaves_ = ends; }

  // The held controls of one window, in the order they were pressed.
  static std::vector<HeldPress*> heldIn(const QWidget* window);

 private:
  QWidget* control_;
  std::function<void()> ended_;
  Qt::MouseButtons buttons_;
  bool endsWhenWindowLeaves_ = true;
};

}  // namespace kalvora
