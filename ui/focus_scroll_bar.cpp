#include "ui/focus_scroll_bar.h"

#include <QPainter>

namespace kalvora {

FocusScrollBar::FocusScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent) {}

void FocusScrollBar::paintEvent(QPaintEvent* event) {
  QScrollBar::paintEvent(event);
  if (!hasFocus()) return;
  // The same mark the style gives a focused button, in the highlight colour so it shows on the
  // bar's own grey.
  QPainter painter(this);
  painter.setPen(QPen(palette().color(QPalette::Highlight), 1));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace kalvora
