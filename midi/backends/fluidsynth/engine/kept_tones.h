// The tones heard last keep their samples loaded (FluidSynth's preset pins), so pressing one
// again plays at once. A tone is let go only once none of its voices sounds any more: FluidSynth
// frees a sample whose last preset goes while a voice still plays it when that voice ends, but
// when the preset is chosen again before then, it loads the sample a second time and never frees
// the first copy. Fast presses that change the program while the last notes ring out would
// otherwise leave a copy of a tone's samples behind every few presses. A voice that has ended may
// still be rendered for a block or two, so a tone is let go a little after its last voice. And
// the memory of unloaded samples, scattered among what stays, would stay with the process
// without a trim.
#pragma once

#include <fluidsynth.h>

#include <chrono>
#include <cstddef>
#include <deque>
#include <vector>

namespace kalvora {

class KeptTones {
 public:
  // The oldest tone beyond this many is let go once its voices have ended.
  static constexpr std::size_t kTonesKept = 16;

  explicit KeptTones(fluid_synth_t* synth);
  KeptTones(const KeptTones&) = delete;
  KeptTones& operator=(const KeptTones&) = delete;

  // After a program change on channel: its tone is kept.
  void chosen(int channel);
  // After a note-on on channel: the voices it started are counted as its tone's.
  void started(int channel);
  // Between messages: the tones let go whose voices have all ended are unpinned, and what their
  // samples took goes back to the system, at most once a second (it may take milliseconds).
  void tidy();

  // Tones pinned now: the kept ones and those whose voices still sound (tests).
  std::size_t pinnedCount() const { return kept_.size() + leaving_.size(); }

 private:
  struct Tone {
    int font = 0, bank = 0, program = 0;
    bool operator==(const Tone& other) const = default;
  };
  struct Voice {
    unsigned int id = 0;
    Tone tone;
  };

  bool toneOn(int channel, Tone& tone) const;
  bool selectedOnAChannel(const Tone& tone) const;
  // The ids of the voices sounding now, sorted, into soundingIds_; the voices that ended are
  // forgotten.
  void listSounding();
  void letGoOfFinished();

  fluid_synth_t* synth_;
  std::deque<Tone> kept_;      // oldest first
  struct Leaving {
    Tone tone;
    bool quiet = false;  // no voice of it was sounding at quietSince
    std::chrono::steady_clock::time_point quietSince;
  };
  std::vector<Leaving> leaving_;  // still pinned while a voice of theirs sounds
  std::vector<Voice> voices_;  // the sounding voices' tones, as far as they are known
  unsigned int newestVoice_ = 0;
  bool anyVoiceSeen_ = false;
  std::vector<fluid_voice_t*> sounding_;  // room for the synth's voice list, reused
  std::vector<unsigned int> soundingIds_;
  bool freed_ = false;                     // samples unloaded since memory was last returned
  std::chrono::steady_clock::time_point lastReturn_;
};

}  // namespace kalvora
