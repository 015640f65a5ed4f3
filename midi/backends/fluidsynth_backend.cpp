#include "midi/backends/fluidsynth_backend.h"

#include <cstdlib>
#include <utility>

#include "midi/backends/fluidsynth_core.h"
#include "midi/backends/fluidsynth_quiet.h"

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

}  // namespace

FluidSynthBackend::FluidSynthBackend(FluidSynthOptions options) : options_(std::move(options)) {
  // Before any JACK client exists: an ALSA default routed to JACK must not start a server.
  setenv("JACK_NO_START_SERVER", "1", 1);
  QuietFluidSynthLog();
}

std::vector<std::string> FluidSynthBackend::portNames() {
  const bool found = FindSoundFonts(options_.soundFontFolders).has_value();
  listed_ = found ? 1 : 0;
  if (!found) return {};
  return {kSoftwareSynthName};
}

OpenResult FluidSynthBackend::open(std::size_t port) {
  if (port >= listed_) return {MMSYSERR_BADDEVICEID, nullptr};
  if (*open_) return {MMSYSERR_ALLOCATED, nullptr};
  const auto fonts = FindSoundFonts(options_.soundFontFolders);
  if (!fonts) return {MMSYSERR_ERROR, nullptr};
  auto core = SynthCore::Create();
  if (!core) return {MMSYSERR_NOMEM, nullptr};
  // The sound device first: without one the open fails in milliseconds, before the fonts load.
  auto audio = StartAudioOutput(*core, options_.audioOutputs);
  if (!audio) return {MMSYSERR_NODRIVER, nullptr};
  if (!core->loadSoundFonts(*fonts)) return {MMSYSERR_ERROR, nullptr};
  *open_ = true;
  return {MMSYSERR_NOERROR,
          std::make_unique<FluidSynthConnection>(std::move(core), std::move(audio), open_)};
}

}  // namespace kalvora
