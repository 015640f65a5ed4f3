#include "midi/backends/fluidsynth/synth_audio_outputs.h"

namespace kalvora {

namespace {

// The PulseAudio driver asks the server for one period as its whole buffer (tlength); the
// server may grant more when it cannot go this low. Smaller periods left short silences in held
// notes (docs/sound-path.md).
constexpr const char* kPulsePeriodFrames = "384";
// The graph's quantum the synth's PipeWire stream asks for (the whole of its buffer): smaller ones
// left gaps in held notes on a 2-core machine with one core kept busy.
constexpr const char* kPipeWireQuantumFrames = "256";
// ALSA plays period x periods frames; four small periods keep 4 ms queued after each wake-up.
constexpr const char* kAlsaPeriodFrames = "64";
constexpr const char* kAlsaPeriods = "4";

}  // namespace

std::vector<SynthAudioOutput> DefaultSynthAudioOutputs() {
  return {
      {kPipeWireStreamOutput, {{kPeriodSizeSetting, kPipeWireQuantumFrames}}},
      {kPulseAudioDriver, {{kPeriodSizeSetting, kPulsePeriodFrames}}},
      {kAlsaDriver, {{kPeriodSizeSetting, kAlsaPeriodFrames}, {kPeriodsSetting, kAlsaPeriods}}},
  };
}

}  // namespace kalvora
