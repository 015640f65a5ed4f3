// How a control of the main window is pressed: any mouse button's press on it, the second press
// of a double click included, is a press, and each press ends once: at the release of its own
// button, or, when the window will not see that release, ended for it (HeldPressWatch). The
// program and bank buttons, the switch button and the keys all report their presses this way.
#pragma once

#include <QObject>
#include <Qt>
#include <vector>

class QWidget;

namespace kalvora {

class HeldPress : public QObject {
  Q_OBJECT
 public:
  // Takes control's mouse events; control outlives this.
  explicit HeldPress(QWidget* control);
  ~HeldPress() override;

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

 signals:
  void mouseDown(Qt::MouseButton button);
  // Once for every press that ends, however it ends.
  void mouseUp(Qt::MouseButton button);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* control_;
  Qt::MouseButtons buttons_;
  bool endsWhenWindowLeaves_ = true;
};

}  // namespace kalvora
