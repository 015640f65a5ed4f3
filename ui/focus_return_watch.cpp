#include "ui/focus_return_watch.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QWidget>
#include <array>

#if defined(KALVORA_HAVE_X11) && QT_CONFIG(xcb)
#include <X11/Xlib.h>
#include <xcb/xcb.h>
#endif

namespace kalvora {

namespace {
#if defined(KALVORA_HAVE_X11) && QT_CONFIG(xcb)
Display* X11Display() {
  auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 != nullptr ? x11->display() : nullptr;
}
#endif
}  // namespace

FocusReturnWatch::FocusReturnWatch(QWidget* window, std::function<void(const KeyIsDown&)> returned)
    : window_(window), returned_(std::move(returned)) {
#if defined(KALVORA_HAVE_X11) && QT_CONFIG(xcb)
  if (X11Display() == nullptr) return;
  QCoreApplication::instance()->installNativeEventFilter(this);
  installed_ = true;
#endif
}

FocusReturnWatch::~FocusReturnWatch() {
  if (installed_ && QCoreApplication::instance() != nullptr)
    QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool FocusReturnWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
#if defined(KALVORA_HAVE_X11) && QT_CONFIG(xcb)
  if (eventType != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  constexpr std::uint8_t kSentByClient = 0x80;
  if ((event->response_type & ~kSentByClient) != XCB_FOCUS_IN) return false;
  const auto* focusIn = reinterpret_cast<const xcb_focus_in_event_t*>(event);
  if (!window_->testAttribute(Qt::WA_WState_Created) || focusIn->event != window_->winId())
    return false;
  Display* display = X11Display();
  if (display == nullptr) return false;
  std::array<char, 32> keys{};  // one bit per keycode
  XQueryKeymap(display, keys.data());
  returned_([&keys](std::uint32_t scanCode) {
    return scanCode < 256 && (keys[scanCode / 8] & (1 << (scanCode % 8))) != 0;
  });
#else
  (void)eventType;
  (void)message;
#endif
  return false;
}

}  // namespace kalvora
