// The rhythm channel's kit is the largest thing the synth keeps loaded (a GS kit's samples take
// about 11 MB), and a user who last played a tone seldom wants it soon. So in a quiet after a
// note that was not a drum's, the kit goes: the rhythm channel, and the channel where kits are
// chosen ahead, let go of their choice, and the kits' pins go with it. The rhythm channel's next
// note chooses the kit again first: a load of some 20-35 ms, in the note that opens the output
// anew after the quiet anyway. Showing the drum page chooses its kit ahead of any press.
#pragma once

#include <fluidsynth.h>

#include <cstdint>
#include <span>

#include "midi/backends/fluidsynth/engine/kept_tones.h"

namespace kalvora {

class RestingKit {
 public:
  RestingKit(fluid_synth_t* synth, KeptTones& kept, int preparedKitChannel);
  RestingKit(const RestingKit&) = delete;
  RestingKit& operator=(const RestingKit&) = delete;

  // After a note or a choice made ahead: whether it was a kit's.
  void wanted(bool kit) { kitWanted_ = kit; }
  // In the quiet, with the output closed: the kit goes, unless the last note or choice made ahead
  // was a kit's.
  void rest();
  // Before a short message on the rhythm channel: a note that sounds chooses the kit that went
  // again, unless something has chosen one since (a reset); a program change chooses its own.
  void beforeRhythm(std::span<const std::uint8_t> bytes);

  bool resting() const { return resting_; }  // (tests)

 private:
  fluid_synth_t* synth_;
  KeptTones& kept_;
  const int preparedKitChannel_;
  bool kitWanted_ = false;
  bool resting_ = false;
  SynthTone kit_;  // the kit that went
};

}  // namespace kalvora
