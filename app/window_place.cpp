#include "app/window_place.h"

#include <QGuiApplication>

namespace kalvora {

bool PlatformReportsWindowPlace() {
  // "wayland", and the variants Qt may be told to use ("wayland-egl", "wayland-xcomposite-glx").
  return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

}  // namespace kalvora
