#include "ui/key_shape.h"

#include <QPainter>

namespace kalvora {

KeyShape::KeyShape(QColor fill, QWidget* parent) : QWidget(parent), fill_(fill), held_(this) {
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void KeyShape::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), fill_);
  painter.setPen(Qt::black);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace kalvora
