// What the built-in synth plays for a tone or a drum set, in one short text: "○" where a font of
// its stack has a preset of its own there, else the name of what plays instead ("→ Piano 1").
// On any other device there is no mark: the module plays its own tones.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "catalogue/drum_sets.h"
#include "midi/backends/fluidsynth/synth_presets.h"

namespace kalvora {

// A tone without a preset at its bank plays bank 0's tone of its program, named as its map
// names it. Empty when the map names no tone there.
std::string ToneMark(const SynthPresets& presets, int map, int program, int bank);
// A set plays the kit at its program (as itself when the kit bears its name), else the standard
// kit at program 1.
std::string DrumSetMark(const SynthPresets& presets, const DrumSet& set);

// The marks for the device in use: read from the fonts at the first mark asked for after the
// built-in synth has become the device (the synth reads its fonts at each open too).
class SynthMarks {
 public:
  void deviceChanged(std::string_view deviceName);
  bool shown() const { return synth_; }
  std::string toneMark(int map, int program, int bank);
  std::string drumSetMark(const DrumSet& set);

 private:
  const SynthPresets& presets();

  bool synth_ = false;
  std::optional<SynthPresets> presets_;
};

}  // namespace kalvora
