#pragma once

namespace kalvora {
// Keeps every JACK client of this process (ours, and an audio output that reaches JACK through
// ALSA or the synth) from starting a server when none runs. Call before the first client opens.
void ForbidJackServerStart();
}  // namespace kalvora
