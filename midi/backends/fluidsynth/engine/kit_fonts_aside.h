// The drum kits' fonts are read on a thread of their own, into a synth of their own, and handed
// to the playing synth whole. FluidSynth holds a synth's lock through a font's load, and the
// playing synth's render waits for that lock: reading the kits there (27-30 ms) would cut the
// sound of whatever rings, and hold up a press. The hand-over holds it for a list insert.
#pragma once

#include <fluidsynth.h>

#include <filesystem>
#include <thread>
#include <vector>

#include "midi/backends/fluidsynth/engine/soundfont_patch.h"

namespace kalvora {

struct KitFont {
  std::filesystem::path path;
  PresetFilter keep;  // the presets the font shows
};

// Lets synth take fonts read aside: a loader of its own, asked first from now on.
void AcceptHandOvers(fluid_synth_t* synth);

class KitFontsAside {
 public:
  // Starts reading fonts, bottom first.
  explicit KitFontsAside(std::vector<KitFont> fonts);
  // Fonts handed over read their samples through this one's loader: it must outlive the synth
  // they went to.
  ~KitFontsAside();
  KitFontsAside(const KitFontsAside&) = delete;
  KitFontsAside& operator=(const KitFontsAside&) = delete;

  // Waits for the reading, then adds the fonts read over synth's stack in their order, every
  // channel keeping its preset. Once only.
  void handTo(fluid_synth_t* synth);

 private:
  void read();

  std::vector<KitFont> fonts_;
  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* reader_ = nullptr;
  bool readDone_ = false;  // by the thread, or at the hand-over when no thread could start
  std::vector<fluid_sfont_t*> read_;  // bottom first; emptied by the hand-over
  std::thread thread_;                // last: it starts once everything above exists
};

}  // namespace kalvora
