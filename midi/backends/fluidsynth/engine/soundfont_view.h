// FluidSynth reads every SoundFont through this view of the file: the preset data as patched by
// soundfont_patch.h (zones widened to every key and velocity, rejected presets hidden), all else,
// the large sample data above all, straight from the file. FluidSynth itself stays untouched.
#pragma once

#include <fluidsynth.h>

#include <filesystem>
#include <utility>
#include <vector>

#include "midi/backends/fluidsynth/engine/soundfont_patch.h"

namespace kalvora {

// Makes synth load SoundFonts through the view, ahead of its own loaders.
void UseSoundFontView(fluid_synth_t* synth, fluid_settings_t* settings);

// While it lives, fonts this thread opens through the view hide the presets keep rejects.
class HidingPresets {
 public:
  explicit HidingPresets(PresetFilter keep);
  ~HidingPresets();
  HidingPresets(const HidingPresets&) = delete;
  HidingPresets& operator=(const HidingPresets&) = delete;

 private:
  PresetFilter keep_;
  const PresetFilter* previous_;
};

// Whether the file at path is a SoundFont whose chunks the synth may read: each lies inside the
// file, and the preset data is no larger than a SoundFont's can be. FluidSynth reads a chunk as
// large as its header claims, so any other file is left out before FluidSynth sees it.
bool HasReadableLayout(const std::filesystem::path& path);

// The banks and programs (1..128) of the presets of the SoundFont at path, read from its preset
// data alone; empty when it is no SoundFont or cannot be read.
std::vector<std::pair<int, int>> ReadPresetSlots(const std::filesystem::path& path);

}  // namespace kalvora
