#include "midi/backends/fluidsynth/engine/fluidsynth_core.h"

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

#include "midi/backends/fluidsynth/engine/fluidsynth_quiet.h"
#include "midi/backends/fluidsynth/engine/fluidsynth_routing.h"
#include "midi/backends/fluidsynth/engine/kit_fonts_aside.h"
#include "midi/backends/fluidsynth/engine/soundfont_view.h"
#include "midi/midi_bytes.h"

namespace kalvora {

namespace {

// FluidSynth ignores a GS Reset unless its device id is 16, the id the message carries (10h).
constexpr int kGsDeviceId = 16;
constexpr int kPedalUp = 0;

bool Configure(fluid_settings_t* settings) {
  return fluid_settings_setint(settings, "synth.device-id", kGsDeviceId) == FLUID_OK &&
         // Samples load when a tone is chosen: a quarter of the open time and of the memory.
         fluid_settings_setint(settings, "synth.dynamic-sample-loading", 1) == FLUID_OK &&
         fluid_settings_setnum(settings, "synth.sample-rate", kSynthSampleRate) == FLUID_OK &&
         fluid_settings_setnum(settings, "synth.gain", kSynthGain) == FLUID_OK;
}

// The fonts' drum kits come in only when the rhythm channel is first played (the drum page): at
// every reset FluidSynth would select a kit for that channel and load its samples (megabytes
// for a standard kit), which no other press can play.
bool Melodic(int /*program*/, int bank, std::string_view /*name*/) {
  return bank != kPercussionBank;
}
bool Kit(int program, int bank, std::string_view name) { return !Melodic(program, bank, name); }

// The filler's presets that may play: only where no font above has the bank and program (the
// others would never sound, yet cost time and memory to load), and where check accepts them.
// kits chooses the drum kits, or the tones.
PresetFilter FillerFilter(const std::vector<const std::filesystem::path*>& above, PresetCheck check,
                          bool kits) {
  std::set<std::pair<int, int>> taken;
  for (const auto* font : above) {
    for (const auto& slot : ReadPresetSlots(*font)) taken.insert(slot);
  }
  return [taken = std::move(taken), check, kits](int program, int bank, std::string_view name) {
    return Kit(program, bank, name) == kits && !taken.contains({bank, program}) &&
           (check == nullptr || check(program, bank, name));
  };
}

}  // namespace

std::unique_ptr<SynthCore> SynthCore::create() {
  QuietFluidSynthLog();
  std::unique_ptr<fluid_settings_t, SettingsDeleter> settings(new_fluid_settings());
  if (!settings || !Configure(settings.get())) return nullptr;
  std::unique_ptr<fluid_synth_t, SynthDeleter> synth(new_fluid_synth(settings.get()));
  if (!synth) return nullptr;
  UseSoundFontView(synth.get(), settings.get());
  AcceptHandOvers(synth.get());
  return std::unique_ptr<SynthCore>(new SynthCore(std::move(settings), std::move(synth)));
}

SynthCore::SynthCore(std::unique_ptr<fluid_settings_t, SettingsDeleter> settings,
                     std::unique_ptr<fluid_synth_t, SynthDeleter> synth)
    : settings_(std::move(settings)), synth_(std::move(synth)) {}

SynthCore::~SynthCore() = default;

bool SynthCore::loadSoundFonts(const SoundFontSet& fonts) {
  // FluidSynth looks for a preset in the font loaded last first: load from the bottom up. The
  // channels pick their presets again after each font from the base up (FluidSynth's reset
  // inside the load costs a third of what a reset of its own after the last font does); the
  // filler alone would only have them load samples in vain.
  if (!HasReadableLayout(fonts.base)) return false;
  std::vector<const std::filesystem::path*> above{&fonts.base};
  if (fonts.overlay && HasReadableLayout(*fonts.overlay)) above.push_back(&*fonts.overlay);
  for (const auto& font : fonts.user) {
    if (HasReadableLayout(font)) above.push_back(&font);
  }
  // A font the SoundFont loader rejects goes on to the DLS loader, which complains through GLib.
  const QuietGlib quiet;
  constexpr int kKeepPresets = 0;
  constexpr int kResetPresets = 1;
  if (fonts.filler && HasReadableLayout(*fonts.filler)) {
    const HidingPresets hiding(FillerFilter(above, fonts.fillerCheck, false));
    fluid_synth_sfload(synth_.get(), fonts.filler->c_str(), kKeepPresets);
    kitFiller_ = *fonts.filler;
    fillerCheck_ = fonts.fillerCheck;
  }
  const HidingPresets drumKits(Melodic);
  for (const auto* font : above) {
    const bool loaded =
        fluid_synth_sfload(synth_.get(), font->c_str(), kResetPresets) != FLUID_FAILED;
    if (!loaded && font == &fonts.base) return false;
    if (loaded) kitFonts_.push_back(*font);
  }
  return true;
}

void SynthCore::startDrumKits() {
  if (kitsAside_ || (kitFonts_.empty() && !kitFiller_)) return;
  // Over everything already loaded, in the stack's own order: a kit of an upper font still lies
  // over the same kit of a lower one, and no tone of the stack is hidden by a kit.
  std::vector<KitFont> fonts;
  if (kitFiller_) {
    std::vector<const std::filesystem::path*> above;
    for (const auto& font : kitFonts_) above.push_back(&font);
    fonts.push_back({*kitFiller_, FillerFilter(above, fillerCheck_, true)});
  }
  for (const auto& font : kitFonts_) fonts.push_back({font, Kit});
  kitsAside_ = std::make_unique<KitFontsAside>(std::move(fonts));
}

void SynthCore::loadDrumKits() {
  startDrumKits();
  kitsAside_->handTo(synth_.get());
  kitFonts_.clear();
  kitFiller_.reset();
  kitsIn_.store(true, std::memory_order_release);
}

void SynthCore::sendShort(std::span<const std::uint8_t> bytes) {
  const bool rhythm = !bytes.empty() && (bytes[0] & kStatusKindMask) != kSystemMessage &&
                      (bytes[0] & kChannelMask) == kRhythmChannel;
  if (rhythm) prepareDrumKits();
  RouteShortMessage(synth_.get(), bytes);
}

void SynthCore::prepareDrumKits() {
  if (!kitFonts_.empty() || kitFiller_) loadDrumKits();
}

void SynthCore::sendLong(std::span<const std::uint8_t> bytes) {
  RouteSystemExclusive(synth_.get(), bytes);
}

void SynthCore::silence() {
  for (int channel = 0; channel < kChannelCount; ++channel) {
    fluid_synth_cc(synth_.get(), channel, kControlSustain, kPedalUp);
    fluid_synth_cc(synth_.get(), channel, kControlSostenuto, kPedalUp);
  }
  constexpr int kAllChannels = -1;
  fluid_synth_all_sounds_off(synth_.get(), kAllChannels);
}

void SynthCore::render(std::span<float> left, std::span<float> right) {
  // FluidSynth counts frames in an int; long renders go in pieces.
  constexpr std::size_t kMaxPiece = 1 << 20;
  const std::size_t frames = std::min(left.size(), right.size());
  if (resting_.load(std::memory_order_acquire)) {
    std::fill_n(left.begin(), frames, 0.0F);
    std::fill_n(right.begin(), frames, 0.0F);
    renders_.fetch_add(1, std::memory_order_release);
    return;
  }
  for (std::size_t done = 0; done < frames;) {
    const std::size_t piece = std::min(kMaxPiece, frames - done);
    fluid_synth_write_float(synth_.get(), static_cast<int>(piece), left.data() + done, 0, 1,
                            right.data() + done, 0, 1);
    done += piece;
  }
  const float loudest = limiter_.process(left.first(frames), right.first(frames));
  // Only this thread raises it; the asking thread only takes it back to 0.
  float before = loudest_.load(std::memory_order_relaxed);
  while (loudest > before && !loudest_.compare_exchange_weak(before, loudest)) {
  }
  renders_.fetch_add(1, std::memory_order_release);
}

}  // namespace kalvora
