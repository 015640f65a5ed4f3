#include "ui/key_shape.h"

#include <QMouseEvent>
#include <QPainter>

namespace kalvora {

KeyShape::KeyShape(QColor fill, QWidget* parent)
    : QWidget(parent), fill_(fill), held_(this, [this] { emit mouseUp(); }) {
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void KeyShape::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), fill_);
  painter.setPen(Qt::black);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void KeyShape::mousePressEvent(QMouseEvent* event) {
  event->accept();
  held_.press(event->button());
  emit mouseDown();
}

void KeyShape::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

void KeyShape::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  held_.release(event->button());
}

}  // namespace kalvora
