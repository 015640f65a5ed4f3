// The voice state as start-up leaves it with no settings file, for tests that play from there.
#pragma once

#include "midi/midi_bytes.h"
#include "play/rhythm_part.h"
#include "play/voice_state.h"
#include "support/press_messages.h"

namespace kalvora::test {

inline void GiveStartVoiceState() {
  const Voice start;
  NoteNumber = start.note;
  ProgramNumber = start.program;
  BankNumber = start.bank;
  MapIndex = start.map;
  Velocity = start.velocity;
  ChorusLevel = start.chorus;
  ReverbLevel = start.reverb;
  ModulationLevel = start.modulation;
  PanPosition = start.pan;
  SetPlayChannel(kChannel1);
  ChooseDrumSet(kStartDrumSet);
}

}  // namespace kalvora::test
