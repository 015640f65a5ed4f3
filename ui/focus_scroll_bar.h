// A scroll bar that shows when it has the keyboard focus: the style draws no focus mark on scroll
// bars, and a user must see where the arrow keys go.
#pragma once

#include <QScrollBar>

namespace kalvora {

class FocusScrollBar : public QScrollBar {
 public:
  explicit FocusScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace kalvora
