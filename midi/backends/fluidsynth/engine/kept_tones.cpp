#include "midi/backends/fluidsynth/engine/kept_tones.h"

#include <malloc.h>

#include <algorithm>
#include <mutex>

#include "midi/midi_bytes.h"

namespace kalvora {

namespace {
// Blocks the audio output may still render of a voice after it has ended, with room to spare.
constexpr auto kAfterLastVoice = std::chrono::milliseconds(200);
// ...and at least one whole render after it, however late the output is.
constexpr std::uint64_t kRendersAfterLastVoice = 2;
// A trim walks the whole heap: under a storm of presses, tones leave every few milliseconds.
constexpr auto kTrimEvery = std::chrono::seconds(1);
// Blocks from this size up are mapped apart from the heap.
constexpr int kSampleBlockBytes = 64 * 1024;
}  // namespace

KeptTones::KeptTones(fluid_synth_t* synth) : synth_(synth), voices_(synth) {
  // A tone's samples are large blocks. The C library would soon serve such blocks from the heap
  // (it raises its threshold for mapping them apart each time one is freed), where the tones
  // loaded and let go in turn leave it ever more scattered; mapped apart, each goes back to the
  // system as it is freed.
  static std::once_flag once;
  std::call_once(once, [] { mallopt(M_MMAP_THRESHOLD, kSampleBlockBytes); });
}

std::optional<SynthTone> ToneOn(fluid_synth_t* synth, int channel) {
  fluid_preset_t* preset = fluid_synth_get_channel_preset(synth, channel);
  if (preset == nullptr) return std::nullopt;
  return SynthTone{fluid_sfont_get_id(fluid_preset_get_sfont(preset)),
                   fluid_preset_get_banknum(preset), fluid_preset_get_num(preset)};
}

void KeptTones::chosen(int channel) {
  const std::optional<Tone> on = ToneOn(synth_, channel);
  if (!on) return;
  const Tone tone = *on;
  if (const auto it = std::find(kept_.begin(), kept_.end(), tone); it != kept_.end()) {
    kept_.erase(it);
  } else if (const auto left = std::find_if(leaving_.begin(), leaving_.end(),
                                            [&](const Leaving& l) { return l.tone == tone; });
             left != leaving_.end()) {
    leaving_.erase(left);  // still pinned: kept again as it is
  } else if (fluid_synth_pin_preset(synth_, tone.font, tone.bank, tone.program) != FLUID_OK) {
    return;
  }
  kept_.push_back(tone);
  if (kept_.size() > kTonesKept) {
    Leaving leaving;
    leaving.tone = kept_.front();
    leaving_.push_back(leaving);
    kept_.pop_front();
  }
}

void KeptTones::started(int channel) {
  const std::optional<Tone> on = ToneOn(synth_, channel);
  if (!on) return;
  const Tone tone = *on;
  // The note's voices carry the newest id of the channel; a note that started none leaves only
  // older ones there.
  bool found = false;
  unsigned newest = 0;
  for (fluid_voice_t* voice : voices_.current()) {
    if (fluid_voice_get_channel(voice) != channel) continue;
    const unsigned id = fluid_voice_get_id(voice);
    if (!found || id > newest) newest = id;
    found = true;
  }
  if (!found || (anyNote_ && newest <= newestId_)) return;
  newestId_ = newest;
  anyNote_ = true;
  notes_.push_back({newest, tone});
}

bool KeptTones::sounds(const Tone& tone) const {
  if (std::any_of(notes_.begin(), notes_.end(), [&](const Note& n) { return n.tone == tone; })) {
    return true;
  }
  // A tone a channel still has chosen is freed when it is chosen away, and notes may ring then.
  for (int channel = 0; channel < kChannelCount; ++channel) {
    if (ToneOn(synth_, channel) == tone) return true;
  }
  return false;
}

void KeptTones::tidy(std::optional<std::uint64_t> renders) {
  const auto now = Clock::now();
  if (!notes_.empty()) {
    soundingIds_.clear();
    for (fluid_voice_t* voice : voices_.current())
      soundingIds_.push_back(fluid_voice_get_id(voice));
    std::sort(soundingIds_.begin(), soundingIds_.end());
    std::erase_if(notes_, [&](const Note& note) {
      return !std::binary_search(soundingIds_.begin(), soundingIds_.end(), note.id);
    });
  }
  std::erase_if(leaving_, [&](Leaving& leaving) {
    if (sounds(leaving.tone)) {
      leaving.quiet = false;
      return false;
    }
    if (!leaving.quiet) {
      leaving.quiet = true;
      leaving.quietSince = now;
      leaving.quietRenders = renders.value_or(0);
    }
    if (now - leaving.quietSince < kAfterLastVoice) return false;
    if (renders && *renders < leaving.quietRenders + kRendersAfterLastVoice) return false;
    fluid_synth_unpin_preset(synth_, leaving.tone.font, leaving.tone.bank, leaving.tone.program);
    trimDue_ = true;
    return true;
  });
  trim(now);
}

void KeptTones::letGoOfKits() {
  const auto unpin = [this](const Tone& tone) {
    if (!tone.kit()) return false;
    fluid_synth_unpin_preset(synth_, tone.font, tone.bank, tone.program);
    return true;
  };
  const std::size_t before = pinnedCount();
  std::erase_if(kept_, unpin);
  std::erase_if(leaving_, [&](const Leaving& leaving) { return unpin(leaving.tone); });
  // Rare (once a quiet), so not held to the trims' pace.
  if (pinnedCount() != before) trimNow(Clock::now());
}

void KeptTones::trim(Clock::time_point now) {
  if (!trimDue_ || now - trimmedAt_ < kTrimEvery) return;
  trimNow(now);
}

void KeptTones::trimNow(Clock::time_point now) {
  malloc_trim(0);
  trimDue_ = false;
  trimmedAt_ = now;
}

}  // namespace kalvora
