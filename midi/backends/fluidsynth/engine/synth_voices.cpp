#include "midi/backends/fluidsynth/engine/synth_voices.h"

#include <algorithm>

namespace kalvora {

namespace {
constexpr int kAnyVoiceId = -1;
}  // namespace

SynthVoices::SynthVoices(fluid_synth_t* synth)
    : synth_(synth), list_(static_cast<std::size_t>(fluid_synth_get_polyphony(synth)) + 1) {}

std::span<fluid_voice_t* const> SynthVoices::current() {
  list_.back() = nullptr;  // the list ends there when the synth fills the rest
  fluid_synth_get_voicelist(synth_, list_.data(), static_cast<int>(list_.size()) - 1, kAnyVoiceId);
  const auto end = std::find(list_.begin(), list_.end(), nullptr);
  return {list_.data(), static_cast<std::size_t>(end - list_.begin())};
}

SynthVoices::State SynthVoices::state() {
  State state;
  for (fluid_voice_t* voice : current()) {
    state.any = true;
    if (fluid_voice_is_on(voice) || fluid_voice_is_sustained(voice) ||
        fluid_voice_is_sostenuto(voice)) {
      state.held = true;
      break;
    }
  }
  return state;
}

}  // namespace kalvora
