// Which SoundFonts the built-in synth plays: a General MIDI base and, over it, a font with the
// GS variation banks. Only names and file headers are looked at here; loading is the synth's.
#pragma once

#include <filesystem>
#include <optional>
#include <vector>

namespace kalvora {

struct SoundFontSet {
  std::filesystem::path base;                    // the full General MIDI set
  std::optional<std::filesystem::path> overlay;  // variation banks, loaded over the base
};

// Where distributions install SoundFonts (Debian's folder first).
std::vector<std::filesystem::path> DefaultSoundFontFolders();

// The fonts found in folders, each name taken from the first folder that holds it: the base is
// FluidR3_GM.sf2, or the system's default-GM.sf2 when that is missing; the overlay is
// FluidR3_GS.sf2. A file counts when its header says SoundFont. Nothing when no base is found
// (the overlay alone lacks the GM tones).
std::optional<SoundFontSet> FindSoundFonts(const std::vector<std::filesystem::path>& folders);

}  // namespace kalvora
