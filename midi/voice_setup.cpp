#include "midi/voice_setup.h"

#include "midi/device_state.h"
#include "midi/midi_bytes.h"
#include "midi/midi_out.h"
#include "midi/voice_state.h"

namespace kalvora {

namespace {
constexpr std::uint32_t kControlChange1 = kControlChange | kChannel1;
constexpr std::uint32_t kProgramChange1 = kProgramChange | kChannel1;

// Handles are never reused, so one record is enough: a device opened since has had none.
struct LastSent {
  HMIDIOUT device = kNoMidiOut;
  VoiceSetUp setUp{};
};
LastSent lastSent;
}  // namespace

VoiceSetUp CurrentVoiceSetUp() {
  return {
      PackShortMessage(kControlChange1, kControlPan, PanPosition),
      PackShortMessage(kControlChange1, kControlModulation, ModulationLevel),
      PackShortMessage(kControlChange1, kControlReverb, ReverbLevel),
      PackShortMessage(kControlChange1, kControlChorus, ChorusLevel),
      PackShortMessage(kControlChange1, kControlBankMsb, BankNumber),
      PackShortMessage(kControlChange1, kControlBankLsb, MapIndex),
      PackShortMessage(kProgramChange1, ProgramNumber - 1, 0),
  };
}

void SendVoiceSetUp() {
  const VoiceSetUp setUp = CurrentVoiceSetUp();
  bool taken = true;
  for (const auto message : setUp) {
    taken = midiOutShortMsg(MidiOut, message) == MMSYSERR_NOERROR && taken;
  }
  // A set-up the device had no room for in full goes again before the next note.
  lastSent = taken ? LastSent{MidiOut, setUp} : LastSent{};
}

bool VoiceSetUpIsCurrent() {
  return MidiOut != kNoMidiOut && lastSent.device == MidiOut &&
         lastSent.setUp == CurrentVoiceSetUp();
}

}  // namespace kalvora
