#include "midi/voice_setup.h"

#include "midi/device_state.h"
#include "midi/midi_out.h"
#include "midi/voice_state.h"

namespace kalvora {

namespace {
constexpr std::uint32_t kChannel1 = 0;
constexpr std::uint32_t kControlChange = 0xB0 | kChannel1;
constexpr std::uint32_t kProgramChange = 0xC0 | kChannel1;
constexpr std::int32_t kControlPan = 0x0A;
constexpr std::int32_t kControlModulation = 0x01;
constexpr std::int32_t kControlReverb = 0x5B;
constexpr std::int32_t kControlChorus = 0x5D;
constexpr std::int32_t kControlBankMsb = 0x00;
constexpr std::int32_t kControlBankLsb = 0x20;

// Handles are never reused, so one record is enough: a device opened since has had none.
struct LastSent {
  HMIDIOUT device = kNoMidiOut;
  VoiceSetUp setUp{};
};
LastSent lastSent;
}  // namespace

VoiceSetUp CurrentVoiceSetUp() {
  return {
      PackShortMessage(kControlChange, kControlPan, PanPosition),
      PackShortMessage(kControlChange, kControlModulation, ModulationLevel),
      PackShortMessage(kControlChange, kControlReverb, ReverbLevel),
      PackShortMessage(kControlChange, kControlChorus, ChorusLevel),
      PackShortMessage(kControlChange, kControlBankMsb, BankNumber),
      PackShortMessage(kControlChange, kControlBankLsb, MapIndex),
      PackShortMessage(kProgramChange, ProgramNumber - 1, 0),
  };
}

void SendVoiceSetUp() {
  const VoiceSetUp setUp = CurrentVoiceSetUp();
  for (const auto message : setUp) midiOutShortMsg(MidiOut, message);
  lastSent = {MidiOut, setUp};
}

bool VoiceSetUpIsCurrent() {
  return MidiOut != kNoMidiOut && lastSent.device == MidiOut &&
         lastSent.setUp == CurrentVoiceSetUp();
}

}  // namespace kalvora
