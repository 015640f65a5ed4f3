// The window's outer frame: what the settings file stores is the frame, while Qt sizes the client
// area, and the frame's margins are known only once the window manager has framed the window.
#include <QMoveEvent>
#include <QResizeEvent>

#include "app/form1.h"

QRect TForm1::outerGeometry() const { return frameGeometry(); }

void TForm1::setOuterGeometry(const QRect& frame) {
  requestedFrame_ = frame;
  const QRect outer = frameGeometry();
  const QRect inner = geometry();
  const int extraWidth = outer.width() - inner.width();
  const int extraHeight = outer.height() - inner.height();
  move(frame.topLeft());
  resize(frame.width() - extraWidth, frame.height() - extraHeight);
}

// The frame's size is known only once the window manager has framed the window; then the
// client area is shrunk once so that the outer frame has the size asked for.
void TForm1::reapplyOuterGeometryOnceFramed() {
  if (frameSettled_ || !isVisible() || requestedFrame_.isNull()) return;
  if (frameGeometry().size() == geometry().size()) return;
  frameSettled_ = true;
  setOuterGeometry(requestedFrame_);
}

void TForm1::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  reapplyOuterGeometryOnceFramed();
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  reapplyOuterGeometryOnceFramed();
}
