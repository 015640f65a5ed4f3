// The built-in synth's way to the loudspeakers: a FluidSynth audio driver that pulls the
// synth's sound from a thread of its own.
#pragma once

#include <fluidsynth.h>

#include <memory>
#include <vector>

#include "midi/backends/fluidsynth/engine/fluidsynth_core.h"
#include "midi/backends/fluidsynth/synth_audio_outputs.h"

namespace kalvora {

struct AudioDriverDeleter {
  void operator()(fluid_audio_driver_t* driver) const { delete_fluid_audio_driver(driver); }
};
using AudioDriverHandle = std::unique_ptr<fluid_audio_driver_t, AudioDriverDeleter>;

// Starts the first of outputs that opens, playing core; null when none does. Failed attempts
// print nothing. The handle must go before core does.
AudioDriverHandle StartAudioOutput(SynthCore& core, const std::vector<SynthAudioOutput>& outputs);

}  // namespace kalvora
