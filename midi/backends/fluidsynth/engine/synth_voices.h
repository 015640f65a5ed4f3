// What the synth's voices are doing, read from its voice list: whether any sounds, and whether a
// key or a pedal still holds one (the others only ring out).
#pragma once

#include <fluidsynth.h>

#include <span>
#include <vector>

namespace kalvora {

class SynthVoices {
 public:
  struct State {
    bool any = false;
    bool held = false;
  };

  explicit SynthVoices(fluid_synth_t* synth);
  // Asks the synth, which also takes back the voices that have ended since it was last asked.
  State state();
  // The voices sounding now, asked the same way; valid until the next call.
  std::span<fluid_voice_t* const> current();

 private:
  fluid_synth_t* synth_;
  std::vector<fluid_voice_t*> list_;  // room for the synth's voice list, reused
};

}  // namespace kalvora
