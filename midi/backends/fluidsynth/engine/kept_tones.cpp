#include "midi/backends/fluidsynth/engine/kept_tones.h"

#include <malloc.h>

#include <algorithm>

namespace kalvora {

namespace {
constexpr int kChannels = 16;
constexpr int kAnyVoiceId = -1;
}  // namespace

KeptTones::KeptTones(fluid_synth_t* synth)
    : synth_(synth), sounding_(static_cast<std::size_t>(fluid_synth_get_polyphony(synth)) + 1) {}

bool KeptTones::toneOn(int channel, Tone& tone) const {
  fluid_preset_t* preset = fluid_synth_get_channel_preset(synth_, channel);
  if (preset == nullptr) return false;
  tone = {fluid_sfont_get_id(fluid_preset_get_sfont(preset)), fluid_preset_get_banknum(preset),
          fluid_preset_get_num(preset)};
  return true;
}

void KeptTones::chosen(int channel) {
  Tone tone;
  if (toneOn(channel, tone)) {
    if (const auto it = std::find(kept_.begin(), kept_.end(), tone); it != kept_.end()) {
      kept_.erase(it);
      kept_.push_back(tone);
    } else if (const auto left = std::find_if(leaving_.begin(), leaving_.end(),
                                              [&](const Leaving& l) { return l.tone == tone; });
               left != leaving_.end()) {
      leaving_.erase(left);  // still pinned: kept again as it is
      kept_.push_back(tone);
    } else if (fluid_synth_pin_preset(synth_, tone.font, tone.bank, tone.program) == FLUID_OK) {
      kept_.push_back(tone);
    }
    if (kept_.size() > kTonesKept) {
      leaving_.push_back({kept_.front()});
      kept_.pop_front();
    }
  }
}

void KeptTones::started(int channel) {
  Tone tone;
  if (!toneOn(channel, tone)) return;
  listSounding();
  for (const unsigned int id : soundingIds_) {
    if (anyVoiceSeen_ && id <= newestVoice_) continue;
    voices_.push_back({id, tone});
    newestVoice_ = std::max(newestVoice_, id);
    anyVoiceSeen_ = true;
  }
}

bool KeptTones::selectedOnAChannel(const Tone& tone) const {
  Tone on;
  for (int channel = 0; channel < kChannels; ++channel) {
    if (toneOn(channel, on) && on == tone) return true;
  }
  return false;
}

void KeptTones::listSounding() {
  std::fill(sounding_.begin(), sounding_.end(), nullptr);
  fluid_synth_get_voicelist(synth_, sounding_.data(), static_cast<int>(sounding_.size()) - 1,
                            kAnyVoiceId);
  soundingIds_.clear();
  for (const fluid_voice_t* voice : sounding_) {
    if (voice == nullptr) break;
    soundingIds_.push_back(fluid_voice_get_id(voice));
  }
  std::sort(soundingIds_.begin(), soundingIds_.end());
  std::erase_if(voices_, [&](const Voice& voice) {
    return !std::binary_search(soundingIds_.begin(), soundingIds_.end(), voice.id);
  });
}

void KeptTones::letGoOfFinished() {
  // Blocks the audio output may still render of a voice after it has ended, with room to spare.
  constexpr auto kAfterLastVoice = std::chrono::milliseconds(200);
  if (leaving_.empty()) return;
  listSounding();
  const auto now = std::chrono::steady_clock::now();
  std::erase_if(leaving_, [&](Leaving& leaving) {
    // A channel that has the tone holds its samples itself; a voice of it may still play them.
    if (selectedOnAChannel(leaving.tone) ||
        std::any_of(voices_.begin(), voices_.end(),
                    [&](const Voice& v) { return v.tone == leaving.tone; })) {
      leaving.quiet = false;
      return false;
    }
    if (!leaving.quiet) {
      leaving.quiet = true;
      leaving.quietSince = now;
    }
    if (now - leaving.quietSince < kAfterLastVoice) return false;
    fluid_synth_unpin_preset(synth_, leaving.tone.font, leaving.tone.bank, leaving.tone.program);
    freed_ = true;
    return true;
  });
}

void KeptTones::tidy() {
  constexpr auto kReturnEvery = std::chrono::seconds(1);
  letGoOfFinished();
  const auto now = std::chrono::steady_clock::now();
  if (!freed_ || now - lastReturn_ < kReturnEvery) return;
  malloc_trim(0);
  freed_ = false;
  lastReturn_ = now;
}

}  // namespace kalvora
