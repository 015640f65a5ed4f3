#include "midi/backends/fluidsynth/engine/fluidsynth_routing.h"

#include <algorithm>
#include <climits>

#include "midi/midi_bytes.h"

namespace kalvora {

namespace {

bool IsData(std::uint8_t byte) { return (byte & kStatusBit) == 0; }

}  // namespace

void RouteShortMessage(fluid_synth_t* synth, std::span<const std::uint8_t> bytes) {
  if (bytes.empty() || IsData(bytes[0])) return;
  const std::uint8_t status = bytes[0];
  const std::uint8_t kind = status & kStatusKindMask;
  if (kind == kSystemMessage) {
    if (status == kSystemReset) fluid_synth_system_reset(synth);
    return;  // the other system messages mean nothing to a synth without a clock
  }
  const std::size_t needed = 1 + static_cast<std::size_t>(DataBytesAfter(status));
  if (bytes.size() < needed || !std::all_of(bytes.begin() + 1, bytes.begin() + needed, IsData)) {
    return;
  }
  const int channel = status & kChannelMask;
  const int d1 = bytes[1];
  const int d2 = needed > 2 ? bytes[2] : 0;
  switch (kind) {
    case kNoteOff:
      fluid_synth_noteoff(synth, channel, d1);
      break;
    case kNoteOn:  // velocity 0 is a note-off; FluidSynth treats it so
      fluid_synth_noteon(synth, channel, d1, d2);
      break;
    case kKeyPressure:
      fluid_synth_key_pressure(synth, channel, d1, d2);
      break;
    case kControlChange:
      fluid_synth_cc(synth, channel, d1, d2);
      break;
    case kProgramChange:  // a bank without this tone falls back to bank 0 inside FluidSynth
      fluid_synth_program_change(synth, channel, d1);
      break;
    case kChannelPressure:
      fluid_synth_channel_pressure(synth, channel, d1);
      break;
    case kPitchBend:
      fluid_synth_pitch_bend(synth, channel, d1 | (d2 << kDataBits));
      break;
    default:
      break;
  }
}

void RouteSystemExclusive(fluid_synth_t* synth, std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 2 || bytes.front() != kSysExStart || bytes.back() != kSysExEnd) return;
  // FluidSynth wants the body alone, without the F0 and F7 framing.
  const auto body = bytes.subspan(1, bytes.size() - 2);
  if (body.empty() || body.size() > INT_MAX || !std::all_of(body.begin(), body.end(), IsData))
    return;
  fluid_synth_sysex(synth, reinterpret_cast<const char*>(body.data()),
                    static_cast<int>(body.size()), nullptr, nullptr, nullptr, 0);
}

}  // namespace kalvora
