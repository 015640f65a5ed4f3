// The ways the built-in synth may reach the loudspeakers, as FluidSynth audio drivers with their
// settings. Plain data, so the device list and the options need no FluidSynth.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace kalvora {

struct SynthAudioOutput {
  std::string driver;  // FluidSynth's name for the driver
  // FluidSynth settings this driver is started with, as name and value ("audio.periods", "4").
  std::vector<std::pair<std::string, std::string>> settings;
};

// The synth's own stream on a PipeWire server that plays the desktop's sound ("pipewire-stream",
// a 256-frame quantum, 5.3 ms), then the desktop's PulseAudio server (384 frames, 8 ms), then
// ALSA (4 periods of 64 frames). JACK is left out: its driver would try to start a server. The
// synth's own stream on PulseAudio ("pulse-stream") is not among them: it is measured by the
// runtime bench.
std::vector<SynthAudioOutput> DefaultSynthAudioOutputs();

}  // namespace kalvora
