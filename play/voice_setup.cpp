#include "play/voice_setup.h"

#include "midi/midi_bytes.h"
#include "midi/midi_out.h"
#include "play/device_state.h"
#include "play/rhythm_part.h"
#include "play/voice_state.h"

namespace kalvora {

namespace {
// Handles are never reused, so one record per channel is enough: a device opened since has had
// none.
struct LastSent {
  HMIDIOUT device = kNoMidiOut;
  VoiceSetUp setUp{};
};
std::array<LastSent, kChannelCount>& LastSentOn() {
  static std::array<LastSent, kChannelCount> records;
  return records;
}
}  // namespace

VoiceSetUp CurrentVoiceSetUp() {
  const bool rhythm = PlayChannel() == kRhythmChannel;
  return VoiceSetUpFor(PlayChannel(), rhythm ? PlayedDrumSet().program : ProgramNumber, BankNumber,
                       MapIndex);
}

VoiceSetUp VoiceSetUpFor(std::uint8_t channel, std::int32_t program, std::int32_t bank,
                         std::int32_t map) {
  const bool rhythm = channel == kRhythmChannel;
  auto control = [channel](std::uint8_t controller, std::int32_t value) {
    return PackChannelMessage(kControlChange, channel, controller, value);
  };
  VoiceSetUp setUp;
  setUp.add(control(kControlPan, PanPosition));
  if (!rhythm) setUp.add(control(kControlModulation, ModulationLevel));
  setUp.add(control(kControlReverb, ReverbLevel));
  setUp.add(control(kControlChorus, ChorusLevel));
  setUp.add(control(kControlBankMsb, rhythm ? kDrumSetBank : bank));
  setUp.add(control(kControlBankLsb, map));
  setUp.add(PackChannelMessage(kProgramChange, channel, program - 1));
  return setUp;
}

void SendVoiceSetUp() {
  const VoiceSetUp setUp = CurrentVoiceSetUp();
  bool taken = true;
  for (const auto message : setUp) {
    taken = midiOutShortMsg(MidiOut, message) == MMSYSERR_NOERROR && taken;
  }
  // A set-up the device had no room for in full goes again before the next note.
  LastSentOn()[PlayChannel()] = taken ? LastSent{MidiOut, setUp} : LastSent{};
}

bool VoiceSetUpIsCurrent() {
  const LastSent& last = LastSentOn()[PlayChannel()];
  return MidiOut != kNoMidiOut && last.device == MidiOut && last.setUp == CurrentVoiceSetUp();
}

}  // namespace kalvora
