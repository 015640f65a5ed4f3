#include "midi/note_player.h"

#include <array>
#include <cstdint>
#include <string>

#include "catalogue/show_tone_names.h"
#include "midi/device_state.h"
#include "midi/form_view.h"
#include "midi/midi_out.h"
#include "midi/voice_state.h"

namespace kalvora {

FormView* MainView = nullptr;

namespace {
constexpr std::uint32_t kChannel1 = 0;
constexpr std::uint32_t kControlChange = 0xB0 | kChannel1;
constexpr std::uint32_t kProgramChange = 0xC0 | kChannel1;
constexpr std::uint32_t kNoteOn = 0x90 | kChannel1;
constexpr std::uint32_t kNoteOff = 0x80 | kChannel1;
constexpr std::uint32_t kControlPan = 0x0A;
constexpr std::uint32_t kControlModulation = 0x01;
constexpr std::uint32_t kControlReverb = 0x5B;
constexpr std::uint32_t kControlChorus = 0x5D;
constexpr std::uint32_t kControlBankMsb = 0x00;
constexpr std::uint32_t kControlBankLsb = 0x20;
constexpr std::uint32_t kReleaseVelocity = 0x7F;

// Status in bits 0-7, data 1 in bits 8-15, data 2 in bits 16-23.
constexpr std::uint32_t Pack(std::uint32_t status, std::int32_t data1, std::int32_t data2) {
  return status + static_cast<std::uint32_t>(data1) * 256 + static_cast<std::uint32_t>(data2) * 65536;
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
      Pack(kControlChange, kControlPan, PanPosition),
      Pack(kControlChange, kControlModulation, ModulationLevel),
      Pack(kControlChange, kControlReverb, ReverbLevel),
      Pack(kControlChange, kControlChorus, ChorusLevel),
      Pack(kControlChange, kControlBankMsb, BankNumber),
      Pack(kControlChange, kControlBankLsb, MapIndex),
      Pack(kProgramChange, ProgramNumber - 1, 0),
      Pack(kNoteOn, NoteNumber, Velocity),
  };
  for (const auto message : setUpAndNote) midiOutShortMsg(MidiOut, message);
  ShowToneNames();
}

void StopNote() { StopNoteOf(NoteNumber); }

void kalvora::StopNoteOf(std::int32_t note) {
  midiOutShortMsg(MidiOut, Pack(kNoteOff, note, kReleaseVelocity));
}

void ShowToneNames() {
  if (MainView != nullptr) WriteToneCaptions(*MainView, ProgramNumber, BankNumber, MapIndex);
}
