#include "midi/note_player.h"

#include <cstdint>
#include <string>

#include "midi/device_state.h"
#include "midi/form_view.h"
#include "midi/midi_bytes.h"
#include "midi/midi_out.h"
#include "midi/show_tone_names.h"
#include "midi/voice_setup.h"
#include "midi/voice_state.h"

namespace kalvora {

namespace {
constexpr std::uint32_t kNoteOn1 = kNoteOn | kChannel1;
constexpr std::uint32_t kNoteOff1 = kNoteOff | kChannel1;
}  // namespace

}  // namespace kalvora

using namespace kalvora;

void PlayNote() {
  if (MainView != nullptr) {
    MainView->setProgramLabel(std::to_string(ProgramNumber));
    MainView->setBankLabel(std::to_string(BankNumber));
  }
  SendVoiceSetUp();
  midiOutShortMsg(MidiOut, PackShortMessage(kNoteOn1, NoteNumber, Velocity));
  ShowToneNames();
}

void StopNote() { StopNoteOf(NoteNumber); }

void kalvora::StopNoteOf(std::int32_t note) {
  midiOutShortMsg(MidiOut, PackShortMessage(kNoteOff1, note, kReleaseVelocity));
}
