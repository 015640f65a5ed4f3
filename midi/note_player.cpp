#include "midi/note_player.h"

#include <array>
#include <cstdint>
#include <string>

#include "midi/device_state.h"
#include "midi/form_view.h"
#include "midi/midi_bytes.h"
#include "midi/midi_out.h"
#include "midi/show_tone_names.h"
#include "midi/voice_state.h"

namespace kalvora {

namespace {
// Channel 1 is channel number 0 in the status byte.
constexpr std::uint32_t kChannel1 = 0;
constexpr std::uint32_t kControlChange1 = kControlChange | kChannel1;
constexpr std::uint32_t kProgramChange1 = kProgramChange | kChannel1;
constexpr std::uint32_t kNoteOn1 = kNoteOn | kChannel1;
constexpr std::uint32_t kNoteOff1 = kNoteOff | kChannel1;

// Status in bits 0-7, data 1 in bits 8-15, data 2 in bits 16-23.
constexpr std::uint32_t Pack(std::uint32_t status, std::int32_t data1, std::int32_t data2) {
  return status + static_cast<std::uint32_t>(data1) * 256 +
         static_cast<std::uint32_t>(data2) * 65536;
}
}  // namespace

}  // namespace kalvora

using namespace kalvora;

void PlayNote() {
  if (MainView != nullptr) {
    MainView->SetProgramLabel(std::to_string(ProgramNumber));
    MainView->SetBankLabel(std::to_string(BankNumber));
  }
  const std::array<std::uint32_t, 8> setUpAndNote{
      Pack(kControlChange1, kControlPan, PanPosition),
      Pack(kControlChange1, kControlModulation, ModulationLevel),
      Pack(kControlChange1, kControlReverb, ReverbLevel),
      Pack(kControlChange1, kControlChorus, ChorusLevel),
      Pack(kControlChange1, kControlBankMsb, BankNumber),
      Pack(kControlChange1, kControlBankLsb, MapIndex),
      Pack(kProgramChange1, ProgramNumber - 1, 0),
      Pack(kNoteOn1, NoteNumber, Velocity),
  };
  for (const auto message : setUpAndNote) midiOutShortMsg(MidiOut, message);
  ShowToneNames();
}

void StopNote() { StopNoteOf(NoteNumber); }

void kalvora::StopNoteOf(std::int32_t note) {
  midiOutShortMsg(MidiOut, Pack(kNoteOff1, note, kReleaseVelocity));
}
