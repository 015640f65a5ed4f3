#include "midi/backends/fluidsynth/fluidsynth_backend.h"

#include <utility>

#include "midi/jack_server_start.h"

namespace kalvora {

FluidSynthBackend::FluidSynthBackend(FluidSynthOptions options) : options_(std::move(options)) {
  // Before any JACK client exists: an ALSA default routed to JACK must not start a server.
  ForbidJackServerStart();
}

std::vector<std::string> FluidSynthBackend::portNames() {
  const bool found = FindSoundFonts(options_.soundFontFolders).has_value() &&
                     !FindSynthEngine(options_.enginePaths).empty();
  listed_ = found ? 1 : 0;
  if (!found) return {};
  return {kSoftwareSynthName};
}

OpenResult FluidSynthBackend::open(std::size_t port) {
  if (port >= listed_) return {OpenStatus::kBadDevice, nullptr};
  if (*open_) return {OpenStatus::kInUse, nullptr};
  auto fonts = FindSoundFonts(options_.soundFontFolders);
  if (!fonts) return {OpenStatus::kFailed, nullptr};
  fonts->user = FindUserSoundFonts(options_.userSoundFontFolders);
  fonts->fillerCheck = options_.fillerCheck;
  SynthEngine* engine = LoadSynthEngine(FindSynthEngine(options_.enginePaths));
  if (engine == nullptr) return {OpenStatus::kNoDriver, nullptr};
  return engine->open(*fonts, options_.audioOutputs, open_);
}

}  // namespace kalvora
