#include "app/synth_marks.h"

#include "app/form_description.h"
#include "app/system_backends.h"
#include "catalogue/preset_names.h"
#include "catalogue/tone_names.h"
#include "midi/backends/fluidsynth/fluidsynth_backend.h"

namespace kalvora {

namespace {
constexpr int kStandardKit = 1;

std::string Instead(std::string_view name) { return form::kSynthPlaysInstead + std::string(name); }
}  // namespace

std::string ToneMark(const SynthPresets& presets, int map, int program, int bank) {
  if (ToneName(program, bank, map).empty()) return {};
  if (presets.find(bank, program) != nullptr) return form::kSynthHasTone;
  if (const std::string_view capital = ToneName(program, 0, map); !capital.empty()) {
    return Instead(capital);
  }
  const std::string* fallback = presets.find(0, program);
  return fallback != nullptr ? Instead(*fallback) : std::string();
}

std::string DrumSetMark(const SynthPresets& presets, const DrumSet& set) {
  if (const std::string* kit = presets.find(kSoundFontKitBank, set.program)) {
    return NamesSameDrumSet(set.name, *kit) ? std::string(form::kSynthHasTone) : Instead(*kit);
  }
  const std::string* standard = presets.find(kSoundFontKitBank, kStandardKit);
  return standard != nullptr ? Instead(*standard) : std::string();
}

void SynthMarks::deviceChanged(std::string_view deviceName) {
  synth_ = deviceName == kSoftwareSynthName;
  presets_.reset();
}

const SynthPresets& SynthMarks::presets() {
  if (!presets_) {
    const FluidSynthOptions options = ProgramSynthOptions();
    presets_ = SynthPresets::read(options.soundFontFolders, options.userSoundFontFolders,
                                  options.fillerCheck);
  }
  return *presets_;
}

std::string SynthMarks::toneMark(int map, int program, int bank) {
  return synth_ ? ToneMark(presets(), map, program, bank) : std::string();
}

std::string SynthMarks::drumSetMark(const DrumSet& set) {
  return synth_ ? DrumSetMark(presets(), set) : std::string();
}

}  // namespace kalvora
