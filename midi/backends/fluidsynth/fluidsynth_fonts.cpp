#include "midi/backends/fluidsynth/fluidsynth_fonts.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <system_error>

namespace kalvora {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kGmFont = "FluidR3_GM.sf2";
constexpr std::string_view kGsFont = "FluidR3_GS.sf2";
constexpr std::string_view kDefaultGmFont = "default-GM.sf2";
constexpr std::string_view kFillerFont = "sf_GMbank.sf2";

// A SoundFont is a RIFF file of form "sfbk"; its first 12 bytes say so.
constexpr std::string_view kRiffTag = "RIFF";
constexpr std::string_view kSoundFontForm = "sfbk";
constexpr std::size_t kFormOffset = 8;
constexpr std::size_t kHeaderBytes = 12;

bool LooksLikeSoundFont(const fs::path& path) {
  std::error_code error;
  // Follows links; a pipe or a device never counts, so nothing here can block.
  if (!fs::is_regular_file(path, error)) return false;
  std::array<char, kHeaderBytes> header{};
  std::ifstream file(path, std::ios::binary);
  if (!file.read(header.data(), header.size())) return false;
  const std::string_view text(header.data(), header.size());
  return text.substr(0, kRiffTag.size()) == kRiffTag &&
         text.substr(kFormOffset, kSoundFontForm.size()) == kSoundFontForm;
}

std::optional<fs::path> FindFirst(const std::vector<fs::path>& folders, std::string_view name) {
  for (const auto& folder : folders) {
    fs::path candidate = folder / name;
    if (LooksLikeSoundFont(candidate)) return candidate;
  }
  return std::nullopt;
}

bool HasSoundFontExtension(const fs::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".sf2" || extension == ".sf3";
}

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code error;
  return fs::equivalent(a, b, error);
}

}  // namespace

std::vector<fs::path> DefaultSoundFontFolders() {
  return {"/usr/share/sounds/sf2", "/usr/share/soundfonts", "/usr/local/share/sounds/sf2",
          "/usr/local/share/soundfonts"};
}

std::vector<fs::path> DefaultUserSoundFontFolders() {
  const char* home = std::getenv("HOME");
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  std::vector<fs::path> folders;
  // A relative XDG_DATA_HOME is invalid and ignored, as the base directory rules say.
  if (dataHome != nullptr && fs::path(dataHome).is_absolute()) {
    folders.push_back(fs::path(dataHome) / "soundfonts");
  } else if (home != nullptr && *home != '\0') {
    folders.push_back(fs::path(home) / ".local/share/soundfonts");
  }
  if (home != nullptr && *home != '\0')
    folders.push_back(fs::path(home) / ".local/share/sounds/sf2");
  return folders;
}

std::optional<SoundFontSet> FindSoundFonts(const std::vector<fs::path>& folders) {
  auto base = FindFirst(folders, kGmFont);
  if (!base) base = FindFirst(folders, kDefaultGmFont);
  if (!base) return std::nullopt;
  SoundFontSet fonts;
  fonts.base = *base;
  fonts.overlay = FindFirst(folders, kGsFont);
  // default-GM.sf2 may be the filler itself, through the system's alternatives.
  auto filler = FindFirst(folders, kFillerFont);
  if (filler && !SameFile(*filler, *base)) fonts.filler = std::move(filler);
  return fonts;
}

std::vector<fs::path> FindUserSoundFonts(const std::vector<fs::path>& folders) {
  std::map<std::string, fs::path> byName;  // ordered by name; the first folder's name stays
  for (const auto& folder : folders) {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
      const fs::path& path = it->path();
      if (!HasSoundFontExtension(path) || byName.contains(path.filename().string())) continue;
      if (LooksLikeSoundFont(path)) byName.emplace(path.filename().string(), path);
    }
  }
  std::vector<fs::path> fonts;
  for (auto& [name, path] : byName) fonts.push_back(std::move(path));
  return fonts;
}

}  // namespace kalvora
