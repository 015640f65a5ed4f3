#include "play/note_player.h"

#include <string>

#include "midi/midi_out.h"
#include "midi/short_message.h"
#include "play/device_state.h"
#include "play/form_view.h"
#include "play/rhythm_part.h"
#include "play/show_tone_names.h"
#include "play/voice_setup.h"

namespace kalvora {

void PlayNote() {
  if (MainView != nullptr) {
    MainView->setProgramLabel(std::to_string(ProgramNumber));
    MainView->setBankLabel(std::to_string(BankNumber));
  }
  SendVoiceSetUp();
  midiOutShortMsg(MidiOut, PackChannelMessage(kNoteOn, PlayChannel(), NoteNumber, Velocity));
  ShowToneNames();
}

HeldNote PlayedNote() { return {NoteNumber, PlayChannel()}; }

void StopNote(HeldNote held) {
  midiOutShortMsg(MidiOut, PackChannelMessage(kNoteOff, held.channel, held.note, kReleaseVelocity));
}

}  // namespace kalvora
