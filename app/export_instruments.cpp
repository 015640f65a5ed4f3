#include "app/export_instruments.h"

#include <array>
#include <system_error>
#include <vector>

#include "app/settings/settings_save.h"
#include "carry/ins_file.h"
#include "carry/map_patches.h"
#include "carry/midnam.h"
#include "catalogue/map_names.h"
#include "play/voice_setup.h"

namespace kalvora {

namespace {

std::vector<std::uint32_t> PressSetUp(std::uint8_t channel, int program, int bank, int map) {
  const VoiceSetUp setUp = VoiceSetUpFor(channel, program, bank, map);
  return {setUp.begin(), setUp.end()};
}

// The settings file's way of writing: a temporary file beside the target, then a rename.
std::string Write(const std::filesystem::path& path, const std::string& bytes) {
  const FileResult saved = SaveSettingsFile(path, bytes);
  return saved ? std::string() : saved.error;
}

}  // namespace

std::string ExportInstruments(const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec || !std::filesystem::is_directory(folder)) {
    return "cannot make the folder " + folder.string() + ": " +
           (ec ? ec.message() : std::make_error_code(std::errc::not_a_directory).message());
  }
  std::vector<MapPatches> maps;
  for (int map = 0; map < kToneMapCount; ++map) {
    maps.push_back(PatchesOf(map, PressSetUp));
    const std::string name = "kalvora-" + std::string(MapName(map)) + ".midnam";
    if (std::string error = Write(folder / name, MidnamDocument(maps.back())); !error.empty())
      return error;
  }
  return Write(folder / "kalvora.ins", InstrumentDefinitions(maps));
}

}  // namespace kalvora
