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

StartedNote NoteToStart() { return {NoteNumber, kChannel1}; }

}  // namespace kalvora

using namespace kalvora;

void PlayNote() {
  if (MainView != nullptr) {
    MainView->setProgramLabel(std::to_string(ProgramNumber));
    MainView->setBankLabel(std::to_string(BankNumber));
  }
  SendVoiceSetUp();
  const StartedNote started = NoteToStart();
  midiOutShortMsg(MidiOut, PackShortMessage(kNoteOn | started.channel, started.note, Velocity));
  ShowToneNames();
}

void StopNote() { StopNoteOf(NoteToStart()); }

void kalvora::StopNoteOf(StartedNote started) {
  midiOutShortMsg(MidiOut,
                  PackShortMessage(kNoteOff | started.channel, started.note, kReleaseVelocity));
}
