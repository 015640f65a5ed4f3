#include "midi/backends/fluidsynth/engine/kept_tones.h"

#include <malloc.h>

#include <algorithm>

namespace kalvora {

KeptTones::KeptTones(fluid_synth_t* synth) : synth_(synth), voices_(synth) {}

bool KeptTones::toneOn(int channel, Tone& tone) const {
  fluid_preset_t* preset = fluid_synth_get_channel_preset(synth_, channel);
  if (preset == nullptr) return false;
  tone = {fluid_sfont_get_id(fluid_preset_get_sfont(preset)), fluid_preset_get_banknum(preset),
          fluid_preset_get_num(preset)};
  return true;
}

void KeptTones::chosen(int channel) {
  Tone tone;
  if (!toneOn(channel, tone)) return;
  if (const auto it = std::find(kept_.begin(), kept_.end(), tone); it != kept_.end()) {
    kept_.erase(it);
  } else if (const auto left = std::find(leaving_.begin(), leaving_.end(), tone);
             left != leaving_.end()) {
    leaving_.erase(left);  // still pinned: kept again as it is
  } else if (fluid_synth_pin_preset(synth_, tone.font, tone.bank, tone.program) != FLUID_OK) {
    return;
  }
  kept_.push_back(tone);
  if (kept_.size() > kTonesKept) {
    leaving_.push_back(kept_.front());
    kept_.pop_front();
  }
}

void KeptTones::tidy() {
  // Blocks the audio output may still render of a voice after it has ended, with room to spare.
  constexpr auto kAfterLastVoice = std::chrono::milliseconds(200);
  if (leaving_.empty()) return;
  const auto now = std::chrono::steady_clock::now();
  if (voices_.state().any) {
    quiet_ = false;
    return;
  }
  if (!quiet_) {
    quiet_ = true;
    quietSince_ = now;
  }
  if (now - quietSince_ < kAfterLastVoice) return;
  for (const Tone& tone : leaving_) {
    fluid_synth_unpin_preset(synth_, tone.font, tone.bank, tone.program);
  }
  leaving_.clear();
  malloc_trim(0);
}

}  // namespace kalvora
