#include "midi/backends/fluidsynth/engine/resting_kit.h"

#include "midi/midi_bytes.h"

namespace kalvora {

RestingKit::RestingKit(fluid_synth_t* synth, KeptTones& kept, int preparedKitChannel)
    : synth_(synth), kept_(kept), preparedKitChannel_(preparedKitChannel) {}

void RestingKit::rest() {
  if (kitWanted_ || resting_) return;
  if (const std::optional<SynthTone> kit = ToneOn(synth_, kRhythmChannel)) {
    kit_ = *kit;
    resting_ = true;
    fluid_synth_unset_program(synth_, kRhythmChannel);
  }
  fluid_synth_unset_program(synth_, preparedKitChannel_);
  kept_.letGoOfKits();
}

void RestingKit::beforeRhythm(std::span<const std::uint8_t> bytes) {
  if (!resting_ || bytes.empty()) return;
  const std::uint8_t kind = bytes[0] & kStatusKindMask;
  if (kind == kProgramChange) {
    resting_ = false;
    return;
  }
  if (bytes.size() < 3 || !StartsNote(bytes[0], bytes[2])) return;
  resting_ = false;
  if (ToneOn(synth_, kRhythmChannel)) return;
  // A bank select since the kit went still waits for its program change.
  int font = 0, bank = 0, program = 0;
  fluid_synth_get_program(synth_, kRhythmChannel, &font, &bank, &program);
  fluid_synth_program_select(synth_, kRhythmChannel, kit_.font, kit_.bank, kit_.program);
  fluid_synth_bank_select(synth_, kRhythmChannel, bank);
  kept_.chosen(kRhythmChannel);
}

}  // namespace kalvora
