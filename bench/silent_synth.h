// The program's own synth as the only device, playing into /dev/null in real time: benchmarks of
// the whole window with the synth on machines without a sound device.
#pragma once

#include <memory>
#include <utility>

#include "app/system_backends.h"

namespace kalvora::bench {

inline void InstallSilentSynth() {
  FluidSynthOptions options = ProgramSynthOptions();
  options.audioOutputs = {{"file", {{"audio.file.name", "/dev/null"}, {"audio.file.type", "raw"}}}};
  MidiBackends backends;
  backends.push_back(std::make_unique<FluidSynthBackend>(options));
  InstallMidiBackends(std::move(backends));
}

}  // namespace kalvora::bench
