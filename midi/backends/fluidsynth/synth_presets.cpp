#include "midi/backends/fluidsynth/synth_presets.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace kalvora {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kTag = 4;
constexpr std::size_t kChunkHeader = 8;  // tag, size
constexpr std::size_t kRiffHeader = 12;  // "RIFF", size, form
// No real SoundFont's preset data comes near this (the synth's font view refuses more too): a
// chunk claiming more is damaged, and reading the claim would cost what it names.
constexpr std::uint32_t kMaxPresetData = 4u << 20;
constexpr std::size_t kPresetRecord = 38;  // phdr: name[20], preset, bank, bag, 3 dwords
constexpr std::size_t kPresetName = 20;
constexpr std::size_t kPresetNumber = 20;
constexpr std::size_t kPresetBank = 22;

std::uint32_t Dword(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t Word(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

// The font's "pdta" list, found among the RIFF file's top-level chunks; empty when the file is
// no SoundFont or a chunk before it does not lie inside the file.
std::vector<std::uint8_t> ReadPresetData(const fs::path& path) {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) return {};
  const auto size = static_cast<std::uint64_t>(fs::file_size(path, error));
  std::ifstream file(path, std::ios::binary);
  std::array<std::uint8_t, kRiffHeader> header{};
  if (error || !file.read(reinterpret_cast<char*>(header.data()), header.size()) ||
      std::memcmp(header.data(), "RIFF", kTag) != 0 ||
      std::memcmp(header.data() + 8, "sfbk", kTag) != 0) {
    return {};
  }
  std::uint64_t offset = kRiffHeader;
  while (offset + header.size() <= size) {
    file.seekg(static_cast<std::streamoff>(offset));
    if (!file.read(reinterpret_cast<char*>(header.data()), header.size())) return {};
    const std::uint32_t chunk = Dword(header.data() + kTag);
    const std::uint64_t end = offset + kChunkHeader + chunk;
    if (end > size) return {};
    if (std::memcmp(header.data(), "LIST", kTag) == 0 &&
        std::memcmp(header.data() + kChunkHeader, "pdta", kTag) == 0) {
      if (chunk < kTag || chunk > kMaxPresetData) return {};
      std::vector<std::uint8_t> pdta(chunk - kTag);
      if (!file.read(reinterpret_cast<char*>(pdta.data()),
                     static_cast<std::streamsize>(pdta.size()))) {
        return {};
      }
      return pdta;
    }
    offset = end + (chunk & 1);  // chunks are padded to an even size
  }
  return {};
}

struct FontPreset {
  int bank = 0;
  int program = 0;  // 1..128
  std::string name;
};

// The presets of the font's "phdr" chunk, without its closing record.
std::vector<FontPreset> PresetsOf(const fs::path& path) {
  const std::vector<std::uint8_t> pdta = ReadPresetData(path);
  std::vector<FontPreset> presets;
  for (std::size_t at = 0; at + kChunkHeader <= pdta.size();) {
    const std::uint32_t size = Dword(pdta.data() + at + kTag);
    if (size > pdta.size() - at - kChunkHeader) break;
    if (std::memcmp(pdta.data() + at, "phdr", kTag) == 0) {
      const std::size_t records = size / kPresetRecord;
      for (std::size_t i = 0; i + 1 < records; ++i) {
        const std::uint8_t* record = pdta.data() + at + kChunkHeader + i * kPresetRecord;
        const char* name = reinterpret_cast<const char*>(record);
        presets.push_back({Word(record + kPresetBank), Word(record + kPresetNumber) + 1,
                           std::string(name, strnlen(name, kPresetName))});
      }
      break;
    }
    at += kChunkHeader + size + (size & 1);
  }
  return presets;
}

}  // namespace

SynthPresets SynthPresets::read(const SoundFontSet& fonts) {
  SynthPresets stack;
  // From the top down, the first font to name a slot keeps it.
  auto take = [&stack](const fs::path& font, PresetCheck check) {
    for (FontPreset& preset : PresetsOf(font)) {
      const std::pair slot{preset.bank, preset.program};
      if (stack.presets_.contains(slot)) continue;
      if (check != nullptr && !check(preset.program, preset.bank, preset.name)) continue;
      stack.presets_.emplace(slot, std::move(preset.name));
    }
  };
  for (auto user = fonts.user.rbegin(); user != fonts.user.rend(); ++user) take(*user, nullptr);
  if (fonts.overlay) take(*fonts.overlay, nullptr);
  take(fonts.base, nullptr);
  if (fonts.filler) take(*fonts.filler, fonts.fillerCheck);
  return stack;
}

SynthPresets SynthPresets::read(const std::vector<fs::path>& folders,
                                const std::vector<fs::path>& userFolders, PresetCheck fillerCheck) {
  auto fonts = FindSoundFonts(folders);
  if (!fonts) return {};
  fonts->user = FindUserSoundFonts(userFolders);
  fonts->fillerCheck = fillerCheck;
  return read(*fonts);
}

const std::string* SynthPresets::find(int bank, int program) const {
  const auto found = presets_.find({bank, program});
  return found != presets_.end() ? &found->second : nullptr;
}

}  // namespace kalvora
