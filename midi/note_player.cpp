#include "midi/note_player.h"

#include <string>

#include "midi/channel_message.h"
#include "midi/device_state.h"
#include "midi/form_view.h"
#include "midi/midi_out.h"
#include "midi/rhythm_part.h"
#include "midi/show_tone_names.h"
#include "midi/voice_setup.h"

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
