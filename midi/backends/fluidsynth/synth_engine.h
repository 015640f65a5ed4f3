// The part of the built-in synth that needs FluidSynth, built as a module of its own and loaded
// at the synth's first open: a start that never opens the synth never loads FluidSynth and the
// forty libraries it pulls in (docs/performance.md says what that saves).
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "midi/backends/fluidsynth/fluidsynth_fonts.h"
#include "midi/backends/fluidsynth/synth_audio_outputs.h"
#include "midi/midi_backend.h"

namespace kalvora {

class SynthEngine {
 public:
  // Starts a synth playing fonts through the first of outputs that opens: kNoMemory when no
  // synth could be created; kNoDriver when no audio output opened; kFailed when the base font
  // does not load. The connection clears *open when it closes.
  virtual OpenResult open(const SoundFontSet& fonts, const std::vector<SynthAudioOutput>& outputs,
                          std::shared_ptr<std::atomic<bool>> open) = 0;

 protected:
  ~SynthEngine() = default;  // the module's own, for the life of the process
};

// The one function the module exports, which hands out its engine.
inline constexpr char kSynthEngineEntry[] = "kalvora_synth_engine";
using SynthEngineEntry = SynthEngine* (*)();

}  // namespace kalvora
