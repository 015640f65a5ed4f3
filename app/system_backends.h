#pragma once

namespace kalvora {
// The devices a user has: the built-in synth first (when a SoundFont is installed), then the
// ALSA sequencer's ports, then the ports of a running JACK server. The JACK backend starts to
// connect at once, on a thread of its own.
void InstallSystemMidiBackends();
}  // namespace kalvora
