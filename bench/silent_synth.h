// The program's own synth as the only device: benchmarks of the whole window with the synth.
#pragma once

#include <memory>
#include <utility>

#include "app/system_backends.h"

namespace kalvora::bench {

inline void InstallSynth(const FluidSynthOptions& options = ProgramSynthOptions()) {
  MidiBackends backends;
  backends.push_back(std::make_unique<FluidSynthBackend>(options));
  InstallMidiBackends(std::move(backends));
}

// Playing into /dev/null in real time, on machines without a sound server. FluidSynth's file
// driver renders the synth directly: what rings below hearing is never ended, and the stream
// never closes while anything rings.
inline void InstallSilentSynth() {
  FluidSynthOptions options = ProgramSynthOptions();
  options.audioOutputs = {{"file", {{"audio.file.name", "/dev/null"}, {"audio.file.type", "raw"}}}};
  InstallSynth(options);
}

}  // namespace kalvora::bench
