// The voice state as start-up leaves it, for tests that play from there.
#pragma once

#include "midi/midi_bytes.h"
#include "midi/rhythm_part.h"
#include "midi/voice_state.h"

namespace kalvora::test {

inline void GiveStartVoiceState() {
  NoteNumber = 60;
  ProgramNumber = 1;
  BankNumber = 0;
  MapIndex = 4;
  Velocity = 100;
  ChorusLevel = 0;
  ReverbLevel = 40;
  ModulationLevel = 0;
  PanPosition = 64;
  SetPlayChannel(kChannel1);
  ChooseDrumSet(kStartDrumSet);
}

}  // namespace kalvora::test
