#include "play/note_player.h"

#include <algorithm>
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
  // With the velocity bar at 0 a press still plays (its quietest note), so that its release ends
  // a note it started rather than sending a second note-off.
  const std::int32_t velocity = std::max<std::int32_t>(Velocity, kQuietestVelocity);
  midiOutShortMsg(MidiOut, PackChannelMessage(kNoteOn, PlayChannel(), NoteNumber, velocity));
  ShowToneNames();
}

HeldNote PlayedNote() { return {NoteNumber, PlayChannel()}; }

void StopNote(HeldNote held) {
  midiOutShortMsg(MidiOut, PackChannelMessage(kNoteOff, held.channel, held.note, kReleaseVelocity));
}

}  // namespace kalvora
