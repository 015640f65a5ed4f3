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

// The outputs' names and settings, spelled once for the list below and the engine that opens them:
// the synth's own stream on PipeWire, and FluidSynth's drivers.
inline constexpr char kPipeWireStreamOutput[] = "pipewire-stream";
inline constexpr char kPulseAudioDriver[] = "pulseaudio";
inline constexpr char kAlsaDriver[] = "alsa";
inline constexpr char kPeriodSizeSetting[] = "audio.period-size";
inline constexpr char kPeriodsSetting[] = "audio.periods";

// The synth's own stream on a PipeWire server that plays the desktop's sound, then the desktop's
// PulseAudio server, then ALSA. JACK is left out: its driver would try to start a server.
std::vector<SynthAudioOutput> DefaultSynthAudioOutputs();

}  // namespace kalvora
