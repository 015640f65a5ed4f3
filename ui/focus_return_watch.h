// Under X11, when another window takes the keyboard focus for a moment and gives it back (a
// pop-up, a notification), Qt reports neither: it waits a little before it calls the window
// inactive. The keys released meanwhile were released to the other window, so the main window
// would think them held for good. This watch sees the focus come back to the main window, asks
// the X server which keys are down, and hands that to the caller.
// Elsewhere it watches nothing.
#pragma once

#include <QAbstractNativeEventFilter>
#include <cstdint>
#include <functional>

class QWidget;

namespace kalvora {

class FocusReturnWatch : public QAbstractNativeEventFilter {
 public:
  using KeyIsDown = std::function<bool(std::uint32_t scanCode)>;
  // returned runs on every return of the focus to window, with the keyboard's state then.
  FocusReturnWatch(QWidget* window, std::function<void(const KeyIsDown&)> returned);
  ~FocusReturnWatch() override;
  FocusReturnWatch(const FocusReturnWatch&) = delete;
  FocusReturnWatch& operator=(const FocusReturnWatch&) = delete;

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  QWidget* window_;
  std::function<void(const KeyIsDown&)> returned_;
  bool installed_ = false;
};

}  // namespace kalvora
