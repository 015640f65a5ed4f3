#include "ui/window_leaving.h"

#include <QEvent>
#include <QWidget>

namespace kalvora {

bool IsWindowLeaving(const QEvent& event, const QWidget& window) {
  switch (event.type()) {
    case QEvent::Hide:
    case QEvent::WindowDeactivate:
      return true;
    case QEvent::WindowStateChange:
      return window.isMinimized();
    default:
      return false;
  }
}

}  // namespace kalvora
