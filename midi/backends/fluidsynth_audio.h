// The built-in synth's way to the loudspeakers: a FluidSynth audio driver that pulls the
// synth's sound from a thread of its own.
#pragma once

#include <fluidsynth.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "midi/backends/fluidsynth_core.h"

namespace kalvora {

struct SynthAudioOutput {
  std::string driver;  // FluidSynth's name for the driver
  // FluidSynth settings this driver is started with, as name and value ("audio.periods", "4").
  std::vector<std::pair<std::string, std::string>> settings;
};

// The desktop's sound server (PulseAudio, or PipeWire through its PulseAudio server), then
// ALSA; each with a buffer of 256 frames (5.3 ms). JACK is left out: its driver would try to
// start a server.
std::vector<SynthAudioOutput> DefaultSynthAudioOutputs();

struct AudioDriverDeleter {
  void operator()(fluid_audio_driver_t* driver) const { delete_fluid_audio_driver(driver); }
};
using AudioDriverHandle = std::unique_ptr<fluid_audio_driver_t, AudioDriverDeleter>;

// Starts the first of outputs that opens, playing core; null when none does. Failed attempts
// print nothing. The handle must go before core does.
AudioDriverHandle StartAudioOutput(SynthCore& core, const std::vector<SynthAudioOutput>& outputs);

}  // namespace kalvora
