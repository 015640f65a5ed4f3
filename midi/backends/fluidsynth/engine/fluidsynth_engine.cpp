// The synth engine module: FluidSynth behind the SynthEngine interface.
#include <algorithm>
#include <chrono>
#include <utility>

#include "midi/backends/fluidsynth/engine/fluidsynth_core.h"
#include "midi/backends/fluidsynth/engine/fluidsynth_quiet.h"
#include "midi/backends/fluidsynth/engine/synth_worker.h"
#include "midi/backends/fluidsynth/synth_engine.h"
#include "midi/bounded_call.h"

namespace kalvora {

namespace {

class FluidSynthConnection final : public MidiConnection {
 public:
  FluidSynthConnection(std::unique_ptr<SynthWorker> worker, std::shared_ptr<std::atomic<bool>> open)
      : worker_(std::move(worker)), open_(std::move(open)) {}
  ~FluidSynthConnection() override {
    worker_.reset();
    *open_ = false;
  }

  bool sendShort(std::span<const std::uint8_t> bytes) override { return worker_->sendShort(bytes); }
  void sendLong(std::span<const std::uint8_t> bytes) override { worker_->sendLong(bytes); }
  void reset() override { worker_->silence(); }
  void prepare(std::span<const std::uint32_t> setUp) override { worker_->prepare(setUp); }

 private:
  std::unique_ptr<SynthWorker> worker_;
  std::shared_ptr<std::atomic<bool>> open_;
};

class FluidSynthEngine final : public SynthEngine {
 public:
  FluidSynthEngine() { QuietFluidSynthLog(); }

  OpenResult open(const SoundFontSet& fonts, const std::vector<SynthAudioOutput>& outputs,
                  std::shared_ptr<std::atomic<bool>> open) override {
    const auto start = std::chrono::steady_clock::now();
    auto core = SynthCore::create();
    if (!core) return {OpenStatus::kNoMemory, nullptr};
    SynthCore& synth = *core;
    // The audio output opens on the synth's thread while the fonts load here.
    auto worker = std::make_unique<SynthWorker>(std::move(core), outputs);
    const bool loaded = synth.loadSoundFonts(fonts);
    // A sound server that takes no new stream (stopped, say) must not hold the window: the open
    // fails as without a sound device, and the attempt is left to finish on its own.
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    const auto left = std::max(kServerWaitLimit - waited, std::chrono::milliseconds(0));
    if (worker->waitForAudio(left) != SynthWorker::AudioStart::kOpened) {
      DestroyWithin(std::move(worker), std::chrono::milliseconds(0));
      return {OpenStatus::kNoDriver, nullptr};
    }
    if (!loaded) return {OpenStatus::kFailed, nullptr};
    *open = true;
    return {OpenStatus::kOpened,
            std::make_unique<FluidSynthConnection>(std::move(worker), std::move(open))};
  }
};

}  // namespace

}  // namespace kalvora

extern "C" __attribute__((visibility("default"))) kalvora::SynthEngine* kalvora_synth_engine() {
  static kalvora::FluidSynthEngine engine;
  return &engine;
}
