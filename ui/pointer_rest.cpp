#include "ui/pointer_rest.h"

#include <QEvent>
#include <QWidget>

namespace kalvora {

PointerRest::PointerRest(QObject* parent) : QObject(parent) {
  timer_.setSingleShot(true);
  timer_.setInterval(kRestFor);
  connect(&timer_, &QTimer::timeout, this, [this] {
    if (under_ != nullptr) emit rested(under_);
  });
}

void PointerRest::watch(QWidget* control) { control->installEventFilter(this); }

bool PointerRest::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::Enter:
      under_ = static_cast<QWidget*>(watched);
      timer_.start();
      break;
    case QEvent::Leave:
      if (under_ == watched) {
        timer_.stop();
        under_ = nullptr;
      }
      break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      // The press chooses the tone itself.
      timer_.stop();
      break;
    default:
      break;
  }
  return false;
}

}  // namespace kalvora
