// The tones heard last keep their samples loaded (FluidSynth's preset pins), so pressing one
// again plays at once. A tone beyond those is let go once no voice of its own has sounded for a
// moment, even while other notes play: FluidSynth frees a sample whose last preset goes while a
// voice still plays it when that voice ends, but when the preset is chosen again before then, it
// loads the sample a second time and never frees the first copy; and a voice that has ended may
// still be rendered for a block or two. So each note's voices are known by the id FluidSynth
// gives them, and its tone by the channel's preset when it started. The memory of unloaded
// samples, scattered among what stays, goes back to the system with a trim.
#pragma once

#include <fluidsynth.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "midi/backends/fluidsynth/engine/soundfont_patch.h"
#include "midi/backends/fluidsynth/engine/synth_voices.h"

namespace kalvora {

// A preset as the synth names it: its font's id, its bank and its program.
struct SynthTone {
  int font = 0, bank = 0, program = 0;
  bool operator==(const SynthTone& other) const = default;
  bool kit() const { return bank == kPercussionBank; }
};

// The preset channel has chosen, if any.
std::optional<SynthTone> ToneOn(fluid_synth_t* synth, int channel);

class KeptTones {
 public:
  // Beyond this many, the oldest tones are let go once their notes have ended.
  static constexpr std::size_t kTonesKept = 16;

  explicit KeptTones(fluid_synth_t* synth);
  KeptTones(const KeptTones&) = delete;
  KeptTones& operator=(const KeptTones&) = delete;

  // After a program change on channel: its tone is kept.
  void chosen(int channel);
  // After a note-on on channel: the voices it started are its tone's.
  void started(int channel);
  // Between messages: the tones beyond the kept ones whose voices have all been gone for a moment
  // are unpinned, and what their samples took goes back to the system (it may take milliseconds).
  // renders counts the renders of the output, when it is known (it renders through the core): a
  // voice stopped here may be rendered until the next render has begun.
  void tidy(std::optional<std::uint64_t> renders = std::nullopt);

  // Unpins every kit, kept or leaving, at once, and gives their memory back: only while no output
  // renders and nothing sounds, once no channel has them chosen.
  void letGoOfKits();

  // Tones pinned now: the kept ones and those waiting for their notes to end (tests).
  std::size_t pinnedCount() const { return kept_.size() + leaving_.size(); }

 private:
  using Clock = std::chrono::steady_clock;
  using Tone = SynthTone;
  struct Note {
    unsigned id = 0;  // its voices' id
    Tone tone;
  };
  struct Leaving {
    Tone tone;
    bool quiet = false;  // no voice of it sounded at quietSince or since
    Clock::time_point quietSince;
    std::uint64_t quietRenders = 0;
  };

  bool sounds(const Tone& tone) const;
  void trim(Clock::time_point now);
  void trimNow(Clock::time_point now);

  fluid_synth_t* synth_;
  std::deque<Tone> kept_;         // oldest first
  std::vector<Leaving> leaving_;  // still pinned until their notes end
  std::vector<Note> notes_;       // notes that may still sound
  unsigned newestId_ = 0;
  bool anyNote_ = false;
  std::vector<unsigned> soundingIds_;  // reused
  SynthVoices voices_;
  bool trimDue_ = false;
  Clock::time_point trimmedAt_;
};

}  // namespace kalvora
