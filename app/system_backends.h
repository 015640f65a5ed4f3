#pragma once

#include <memory>

#include "midi/backends/fluidsynth/fluidsynth_backend.h"
#include "midi/backends/jack/jack_client.h"
#include "midi/input/input_inbox.h"

namespace kalvora {
// The devices a user has: the built-in synth first (when a SoundFont is installed), then the
// ALSA sequencer's ports, then the ports of a running JACK server. The program's JACK client
// starts to connect at once, on a thread of its own; it is returned for the input to share.
std::shared_ptr<JackClient> InstallSystemMidiBackends();
// The program's own MIDI inputs (the sequencer's "Kalvora:in", and the JACK port "Kalvora:in"
// on jack, when a server runs), posting to the inbox for as long as they live.
MidiInputPorts StartSystemMidiInputs(std::shared_ptr<JackClient> jack);

// The built-in synth as the program sets it up: the default folders and outputs, and the filler
// font's presets kept only where they are the tone the table names.
FluidSynthOptions ProgramSynthOptions();
}  // namespace kalvora
