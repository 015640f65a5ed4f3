#include "app/font_warm_up.h"

#include <fontconfig/fontconfig.h>

#include <system_error>

namespace kalvora {

FontConfigWarmUp::FontConfigWarmUp() {
  try {
    // Fontconfig sets up its process-wide configuration once, safely from any thread.
    reader_ = std::thread([] { FcInit(); });
  } catch (const std::system_error&) {
    // No thread to spare: Qt reads the configuration itself when it needs it.
  }
}

void FontConfigWarmUp::finish() {
  if (reader_.joinable()) reader_.join();
}

}  // namespace kalvora
