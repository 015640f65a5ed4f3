// Ends the presses of the main window's controls whose release the window would not see: the
// button was released over another window (a popup took the pointer), the release was lost (a
// later event says the button is up), the window was hidden, minimised or deactivated. And a
// press while a control is held goes to that control, as the pointer grab of an ordinary press
// would send it; without it, a button held down from outside the window lets every press land
// where it points and the window would never see their releases.
#pragma once

#include <QObject>

class QMouseEvent;
class QWidget;

namespace kalvora {

class HeldPressWatch : public QObject {
  Q_OBJECT
 public:
  explicit HeldPressWatch(QWidget* window);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Ends every press in the window by a button that is no longer down.
  void endPressesOfButtonsUp(Qt::MouseButtons stillDown);
  bool sendPressToHeldControl(const QMouseEvent& press);

  QWidget* window_;
};

}  // namespace kalvora
