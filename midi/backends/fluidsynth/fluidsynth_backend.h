// The built-in software synth as a MIDI output device: one port, listed when a SoundFont is
// installed, that plays through the desktop's sound server or ALSA.
#pragma once

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "midi/backends/fluidsynth/fluidsynth_fonts.h"
#include "midi/backends/fluidsynth/synth_audio_outputs.h"
#include "midi/backends/fluidsynth/synth_engine_loader.h"
#include "midi/midi_backend.h"

namespace kalvora {

// The port's name as the device list shows it (fits the 31 bytes of a product name).
inline constexpr char kSoftwareSynthName[] = "Software GS Synth";

struct FluidSynthOptions {
  // Searched for the packaged SoundFonts at each listing and each open.
  std::vector<std::filesystem::path> soundFontFolders = DefaultSoundFontFolders();
  // Tried in order at each open.
  std::vector<SynthAudioOutput> audioOutputs = DefaultSynthAudioOutputs();
  // Where the engine module is looked for; the first that exists is loaded at the first open.
  std::vector<std::filesystem::path> enginePaths = DefaultSynthEnginePaths();
  // Searched for the user's own SoundFonts at each open.
  std::vector<std::filesystem::path> userSoundFontFolders = DefaultUserSoundFontFolders();
  // Which presets of the filler font may play (SoundFontSet::fillerCheck).
  PresetCheck fillerCheck = nullptr;
};

class FluidSynthBackend final : public MidiBackend {
 public:
  // Keeps JACK clients in this process from starting a server (sets JACK_NO_START_SERVER).
  explicit FluidSynthBackend(FluidSynthOptions options = {});

  // kSoftwareSynthName when a SoundFont and the engine module are found, else nothing.
  std::vector<std::string> portNames() override;
  // kBadDevice for a number outside the last list; kInUse when the synth is open already;
  // kNoMemory when FluidSynth could not be created; kNoDriver when no audio output opened (no
  // sound device) or the engine module does not load; kFailed when the SoundFont has gone or
  // does not load.
  OpenResult open(std::size_t port) override;

 private:
  FluidSynthOptions options_;
  std::size_t listed_ = 0;
  // Shared with the open connection, which may outlive the backend.
  std::shared_ptr<std::atomic<bool>> open_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace kalvora
