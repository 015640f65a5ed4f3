#include "ui/detectable_auto_repeat.h"

#include <QGuiApplication>

#if defined(KALVORA_HAVE_X11) && QT_CONFIG(xcb)
#include <X11/XKBlib.h>
#endif

namespace kalvora {

void AskForDetectableAutoRepeat() {
#if defined(KALVORA_HAVE_X11) && QT_CONFIG(xcb)
  auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (x11 == nullptr || x11->display() == nullptr) return;
  Bool supported = False;
  XkbSetDetectableAutoRepeat(x11->display(), True, &supported);
#endif
}

}  // namespace kalvora
