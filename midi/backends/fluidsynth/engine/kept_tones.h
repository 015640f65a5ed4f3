// The tones heard last keep their samples loaded (FluidSynth's preset pins), so pressing one
// again plays at once. A tone beyond those is let go only when nothing has sounded for a moment:
// FluidSynth frees a sample whose last preset goes while a voice still plays it when that voice
// ends, but when the preset is chosen again before then, it loads the sample a second time and
// never frees the first copy; and a voice that has ended may still be rendered for a block or
// two. Fast presses that change the program while the last notes ring out would otherwise leave
// copies of tones' samples behind. The memory of unloaded samples, scattered among what stays,
// goes back to the system with a trim.
#pragma once

#include <fluidsynth.h>

#include <chrono>
#include <cstddef>
#include <deque>
#include <vector>

#include "midi/backends/fluidsynth/engine/synth_voices.h"

namespace kalvora {

class KeptTones {
 public:
  // Beyond this many, the oldest tones are let go at the next silence.
  static constexpr std::size_t kTonesKept = 16;

  explicit KeptTones(fluid_synth_t* synth);
  KeptTones(const KeptTones&) = delete;
  KeptTones& operator=(const KeptTones&) = delete;

  // After a program change on channel: its tone is kept.
  void chosen(int channel);
  // Between messages: once no voice has sounded for a moment, the tones beyond the kept ones are
  // unpinned, and what their samples took goes back to the system (it may take milliseconds).
  void tidy();

  // Tones pinned now: the kept ones and those waiting for a silence (tests).
  std::size_t pinnedCount() const { return kept_.size() + leaving_.size(); }

 private:
  struct Tone {
    int font = 0, bank = 0, program = 0;
    bool operator==(const Tone& other) const = default;
  };

  bool toneOn(int channel, Tone& tone) const;

  fluid_synth_t* synth_;
  std::deque<Tone> kept_;      // oldest first
  std::vector<Tone> leaving_;  // still pinned until a silence
  bool quiet_ = false;         // no voice sounded at quietSince_ or since
  std::chrono::steady_clock::time_point quietSince_;
  SynthVoices voices_;
};

}  // namespace kalvora
