#include "midi/note_player.h"

#include <array>
#include <cstdint>
#include <string>

#include "catalogue/show_tone_names.h"
#include "midi/device_state.h"
#include "midi/form_view.h"
#include "midi/midi_out.h"
#include "midi/voice_setup.h"
#include "midi/voice_state.h"

namespace kalvora {

FormView* MainView = nullptr;

namespace {
constexpr std::uint32_t kChannel1 = 0;
constexpr std::uint32_t kNoteOn = 0x90 | kChannel1;
constexpr std::uint32_t kNoteOff = 0x80 | kChannel1;
constexpr std::int32_t kReleaseVelocity = 0x7F;
}  // namespace

}  // namespace kalvora

using namespace kalvora;

void PlayNote() {
  if (MainView != nullptr) {
    MainView->SetProgramLabel(std::to_string(ProgramNumber));
    MainView->SetBankLabel(std::to_string(BankNumber));
  }
  SendVoiceSetUp();
  midiOutShortMsg(MidiOut, PackShortMessage(kNoteOn, NoteNumber, Velocity));
  ShowToneNames();
}

void StopNote() {
  midiOutShortMsg(MidiOut, PackShortMessage(kNoteOff, NoteNumber, kReleaseVelocity));
}

void ShowToneNames() {
  if (MainView != nullptr) WriteToneCaptions(*MainView, ProgramNumber, BankNumber, MapIndex);
}
