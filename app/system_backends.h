#pragma once

namespace kalvora {
// The devices a user has: the built-in synth first (when a SoundFont is installed), then the
// ALSA sequencer's ports, then the ports of a running JACK server.
void InstallSystemMidiBackends();
}  // namespace kalvora
