#include "midi/backends/fluidsynth/fluidsynth_fonts.h"

#include <array>
#include <fstream>
#include <string_view>
#include <system_error>

namespace kalvora {

namespace {

constexpr std::string_view kGmFont = "FluidR3_GM.sf2";
constexpr std::string_view kGsFont = "FluidR3_GS.sf2";
constexpr std::string_view kDefaultGmFont = "default-GM.sf2";

// A SoundFont is a RIFF file of form "sfbk"; its first 12 bytes say so.
constexpr std::string_view kRiffTag = "RIFF";
constexpr std::string_view kSoundFontForm = "sfbk";
constexpr std::size_t kFormOffset = 8;
constexpr std::size_t kHeaderBytes = 12;

bool LooksLikeSoundFont(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return false;  // follows links
  std::array<char, kHeaderBytes> header{};
  std::ifstream file(path, std::ios::binary);
  if (!file.read(header.data(), header.size())) return false;
  const std::string_view text(header.data(), header.size());
  return text.substr(0, kRiffTag.size()) == kRiffTag &&
         text.substr(kFormOffset, kSoundFontForm.size()) == kSoundFontForm;
}

std::optional<std::filesystem::path> FindFirst(const std::vector<std::filesystem::path>& folders,
                                               std::string_view name) {
  for (const auto& folder : folders) {
    std::filesystem::path candidate = folder / name;
    if (LooksLikeSoundFont(candidate)) return candidate;
  }
  return std::nullopt;
}

}  // namespace

std::vector<std::filesystem::path> DefaultSoundFontFolders() {
  return {"/usr/share/sounds/sf2", "/usr/share/soundfonts", "/usr/local/share/sounds/sf2",
          "/usr/local/share/soundfonts"};
}

std::optional<SoundFontSet> FindSoundFonts(const std::vector<std::filesystem::path>& folders) {
  auto base = FindFirst(folders, kGmFont);
  if (!base) base = FindFirst(folders, kDefaultGmFont);
  if (!base) return std::nullopt;
  return SoundFontSet{*base, FindFirst(folders, kGsFont)};
}

}  // namespace kalvora
