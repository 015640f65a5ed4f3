// FluidSynth reads every SoundFont through this view of the file: the preset data as patched by
// soundfont_patch.h (zones widened to every key and velocity, rejected presets hidden), all else,
// the large sample data above all, straight from the file. FluidSynth itself stays untouched.
#pragma once

#include <fluidsynth.h>

#include "midi/backends/fluidsynth/fluidsynth_fonts.h"

namespace kalvora {

// Makes synth load SoundFonts through the view, ahead of its own loaders.
void UseSoundFontView(fluid_synth_t* synth, fluid_settings_t* settings);

// While it lives, fonts this thread opens through the view hide the presets check rejects.
class HidingPresets {
 public:
  explicit HidingPresets(PresetCheck check);
  ~HidingPresets();
  HidingPresets(const HidingPresets&) = delete;
  HidingPresets& operator=(const HidingPresets&) = delete;

 private:
  PresetCheck previous_;
};

}  // namespace kalvora
