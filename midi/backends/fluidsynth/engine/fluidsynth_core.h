// The built-in synth without its sound card: FluidSynth's settings and synth, the SoundFonts
// and the routing of MIDI bytes into it. Tests and benchmarks render it into memory; the
// audio output (fluidsynth_audio.h) plays it through the sound server.
#pragma once

#include <fluidsynth.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "midi/backends/fluidsynth/engine/fluidsynth_limiter.h"
#include "midi/backends/fluidsynth/engine/outputs/audio_source.h"
#include "midi/backends/fluidsynth/fluidsynth_fonts.h"

namespace kalvora {

class KitFontsAside;

// The rate of the sound servers' usual mix, so nothing resamples after the synth.
inline constexpr double kSynthSampleRate = 48000.0;
// FluidSynth's default of 0.2 is quiet. At 0.4 a few of the loudest tones at full velocity would
// go past -1 dBFS, and the limiter holds them below it (docs/sound-path.md has the levels, which
// fluidsynth_clipping_test keeps in bounds).
inline constexpr double kSynthGain = 0.4;

class SynthCore final : public AudioSource {
 public:
  // Null only when FluidSynth cannot create its settings or its synth (out of memory).
  static std::unique_ptr<SynthCore> create();
  ~SynthCore();
  SynthCore(const SynthCore&) = delete;
  SynthCore& operator=(const SynthCore&) = delete;

  // Loads the stack: the filler under the base, the overlay over it, the user's fonts on top
  // (where two have a tone, the upper one plays). False when the base does not load; any other
  // font that does not load is left out without a word.
  bool loadSoundFonts(const SoundFontSet& fonts);

  // A short message of one to three bytes; malformed messages are dropped. The first message on
  // the rhythm channel brings the fonts' drum kits in, unless prepareDrumKits() has.
  void sendShort(std::span<const std::uint8_t> bytes);
  // Starts reading the fonts' drum kits on a thread of their own (about as long as a font's
  // open), so that bringing them in later waits for nothing; after the first note, say.
  void startDrumKits();
  // Brings the fonts' drum kits in, where the first press on the drum page would otherwise wait
  // for them: waits for their reading, without holding up the render. No channel takes a kit by
  // it.
  void prepareDrumKits();
  // Whether the kits are in; any thread may ask.
  bool drumKitsIn() const { return kitsIn_.load(std::memory_order_acquire); }
  // A system-exclusive message F0 .. F7; malformed messages are dropped.
  void sendLong(std::span<const std::uint8_t> bytes);
  // Cuts every voice at once and releases the pedals, leaving the other controllers as they are.
  void silence();

  // Renders left.size() frames, kept below the limiter's ceiling; right must be as long. One
  // thread at a time: the audio output's, or a test's.
  void render(std::span<float> left, std::span<float> right) override;
  // How many renders have finished; any thread may ask.
  std::uint64_t renderCount() const { return renders_.load(std::memory_order_acquire); }
  // The loudest sample rendered since the last call (0 to 1); one thread asks.
  float takeLoudest() { return loudest_.exchange(0.0F, std::memory_order_acq_rel); }
  // While resting, renders are silence made without the synth, so that an output kept open for
  // the next note costs next to nothing. Any thread may set it; the first render after it is
  // lifted plays whatever was sent meanwhile.
  void rest(bool resting) { resting_.store(resting, std::memory_order_release); }

  fluid_settings_t* settings() const { return settings_.get(); }
  fluid_synth_t* synth() const { return synth_.get(); }

 private:
  struct SettingsDeleter {
    void operator()(fluid_settings_t* s) const { delete_fluid_settings(s); }
  };
  struct SynthDeleter {
    void operator()(fluid_synth_t* s) const { delete_fluid_synth(s); }
  };

  SynthCore(std::unique_ptr<fluid_settings_t, SettingsDeleter> settings,
            std::unique_ptr<fluid_synth_t, SynthDeleter> synth);

  // Loads the kits of the stack's fonts (they are left out of the first load) over the stack.
  void loadDrumKits();

  // The synth refers to its settings, so it is declared after them and goes first; the kits
  // read aside read their samples through the reader's loader, which goes after the synth.
  std::unique_ptr<fluid_settings_t, SettingsDeleter> settings_;
  std::unique_ptr<KitFontsAside> kitsAside_;
  std::unique_ptr<fluid_synth_t, SynthDeleter> synth_;
  PeakLimiter limiter_{kSynthSampleRate};
  std::atomic<std::uint64_t> renders_{0};
  std::atomic<bool> resting_{false};
  std::atomic<float> loudest_{0.0F};
  // The fonts as loaded, for their kits; emptied once the kits are in.
  std::vector<std::filesystem::path> kitFonts_;
  std::optional<std::filesystem::path> kitFiller_;
  std::atomic<bool> kitsIn_{false};
  PresetCheck fillerCheck_ = nullptr;
};

}  // namespace kalvora
