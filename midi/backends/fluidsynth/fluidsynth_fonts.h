// Which SoundFonts the built-in synth plays, as a stack: a General MIDI base, a font with the GS
// variation banks over it, a packaged font under it that fills banks the two lack, and the user's
// own fonts on top. Only names and file headers are looked at here; loading is the synth's.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace kalvora {

// Whether a preset of the filler font, found at program (1..128) and bank under its own name,
// may play there: a font that only fills gaps must not put one instrument in another's place.
using PresetCheck = bool (*)(int program, int bank, std::string_view presetName);

struct SoundFontSet {
  std::filesystem::path base;                    // the full General MIDI set
  std::optional<std::filesystem::path> overlay;  // variation banks, loaded over the base
  // Under the base: it sounds only where no font above has the bank and program.
  std::optional<std::filesystem::path> filler;
  // The user's own, over everything else; a later one lies over an earlier one.
  std::vector<std::filesystem::path> user;
  // Which of the filler's presets are kept; all of them when null.
  PresetCheck fillerCheck = nullptr;
};

// Where distributions install SoundFonts (Debian's folder first).
std::vector<std::filesystem::path> DefaultSoundFontFolders();

// Where a user puts SoundFonts of their own: $XDG_DATA_HOME/soundfonts (XDG_DATA_HOME defaults to
// ~/.local/share), then ~/.local/share/sounds/sf2.
std::vector<std::filesystem::path> DefaultUserSoundFontFolders();

// The packaged fonts found in folders, each name taken from the first folder that holds it: the
// base is FluidR3_GM.sf2, or the system's default-GM.sf2 when that is missing; the overlay is
// FluidR3_GS.sf2; the filler is sf_GMbank.sf2. A file counts when its header says SoundFont.
// Nothing when no base is found (the other fonts alone lack GM tones or are poorer).
std::optional<SoundFontSet> FindSoundFonts(const std::vector<std::filesystem::path>& folders);

// The .sf2 and .sf3 files of folders whose header says SoundFont, in order of their file names;
// where two folders hold the same name, the first folder's. Anything else (other files,
// folders, dangling links, files that cannot be read) is left out without a word.
std::vector<std::filesystem::path> FindUserSoundFonts(
    const std::vector<std::filesystem::path>& folders);

}  // namespace kalvora
