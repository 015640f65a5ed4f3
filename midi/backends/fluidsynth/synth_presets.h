// Which preset the built-in synth finds at each bank and program, read from the fonts' preset
// headers alone, as the synth stacks them: the user's fonts over the GS font over the GM font,
// and the filler font under them only where nothing above has the slot and its check lets the
// preset play. The window asks it to say which tones the synth has as themselves.
#pragma once

#include <map>
#include <string>
#include <utility>

#include "midi/backends/fluidsynth/fluidsynth_fonts.h"

namespace kalvora {

// The bank number a SoundFont gives its drum kits.
inline constexpr int kSoundFontKitBank = 128;

class SynthPresets {
 public:
  // The stack of fonts as the synth would load it now; empty when no base font is found.
  static SynthPresets read(const std::vector<std::filesystem::path>& folders,
                           const std::vector<std::filesystem::path>& userFolders,
                           PresetCheck fillerCheck);
  // The same for a stack already found.
  static SynthPresets read(const SoundFontSet& fonts);

  // The name of the preset at bank (0..128) and program (1..128), or null when no font has one.
  const std::string* find(int bank, int program) const;
  bool empty() const { return presets_.empty(); }

 private:
  std::map<std::pair<int, int>, std::string> presets_;  // by bank, program
};

}  // namespace kalvora
