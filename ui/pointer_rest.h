// Tells which control the mouse pointer has come to rest on: it stayed there a moment without a
// press, long enough that a pointer only passing over buttons on its way does not count, and
// short enough to come before the click that usually follows.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <chrono>

class QWidget;

namespace kalvora {

class PointerRest : public QObject {
  Q_OBJECT
 public:
  static constexpr std::chrono::milliseconds kRestFor{40};

  explicit PointerRest(QObject* parent = nullptr);
  // Watches control, which may go before this does.
  void watch(QWidget* control);

 signals:
  void rested(QWidget* control);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QTimer timer_;
  QPointer<QWidget> under_;
};

}  // namespace kalvora
