// The synth engine module: FluidSynth behind the SynthEngine interface.
#include <utility>

#include "midi/backends/fluidsynth/engine/fluidsynth_audio.h"
#include "midi/backends/fluidsynth/engine/fluidsynth_core.h"
#include "midi/backends/fluidsynth/engine/fluidsynth_quiet.h"
#include "midi/backends/fluidsynth/synth_engine.h"

namespace kalvora {

namespace {

class FluidSynthConnection final : public MidiConnection {
 public:
  FluidSynthConnection(std::unique_ptr<SynthCore> core, AudioDriverHandle audio,
                       std::shared_ptr<std::atomic<bool>> open)
      : core_(std::move(core)), audio_(std::move(audio)), open_(std::move(open)) {}
  ~FluidSynthConnection() override { *open_ = false; }

  void sendShort(std::span<const std::uint8_t> bytes) override { core_->sendShort(bytes); }
  void sendLong(std::span<const std::uint8_t> bytes) override { core_->sendLong(bytes); }
  void reset() override { core_->silence(); }

 private:
  // Members go in reverse order: the audio thread stops before the synth it plays is freed.
  std::unique_ptr<SynthCore> core_;
  AudioDriverHandle audio_;
  std::shared_ptr<std::atomic<bool>> open_;
};

class FluidSynthEngine final : public SynthEngine {
 public:
  FluidSynthEngine() { QuietFluidSynthLog(); }

  OpenResult open(const SoundFontSet& fonts, const std::vector<SynthAudioOutput>& outputs,
                  std::shared_ptr<std::atomic<bool>> open) override {
    auto core = SynthCore::Create();
    if (!core) return {MMSYSERR_NOMEM, nullptr};
    // The sound device first: without one the open fails in milliseconds, before the fonts load.
    auto audio = StartAudioOutput(*core, outputs);
    if (!audio) return {MMSYSERR_NODRIVER, nullptr};
    if (!core->loadSoundFonts(fonts)) return {MMSYSERR_ERROR, nullptr};
    *open = true;
    return {MMSYSERR_NOERROR, std::make_unique<FluidSynthConnection>(
                                  std::move(core), std::move(audio), std::move(open))};
  }
};

}  // namespace

}  // namespace kalvora

extern "C" __attribute__((visibility("default"))) kalvora::SynthEngine* kalvora_synth_engine() {
  static kalvora::FluidSynthEngine engine;
  return &engine;
}
