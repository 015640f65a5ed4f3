#include "midi/backends/jack/jack_quiet.h"

#include <jack/jack.h>

#include <cstdlib>

namespace kalvora {

namespace {
void IgnoreJackMessage(const char*) {}
}  // namespace

void QuietJack() {
  jack_set_error_function(&IgnoreJackMessage);
  jack_set_info_function(&IgnoreJackMessage);
  setenv("JACK_NO_START_SERVER", "1", 1);
}

}  // namespace kalvora
