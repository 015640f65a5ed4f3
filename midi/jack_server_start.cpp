#include "midi/jack_server_start.h"

#include <cstdlib>

namespace kalvora {

void ForbidJackServerStart() { setenv("JACK_NO_START_SERVER", "1", 1); }

}  // namespace kalvora
