#include "midi/backends/jack/jack_quiet.h"

#include <jack/jack.h>

#include "midi/jack_server_start.h"

namespace kalvora {

namespace {
void IgnoreJackMessage(const char*) {}
}  // namespace

void QuietJack() {
  jack_set_error_function(&IgnoreJackMessage);
  jack_set_info_function(&IgnoreJackMessage);
  ForbidJackServerStart();
}

}  // namespace kalvora
