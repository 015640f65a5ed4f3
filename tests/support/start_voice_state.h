// The voice state as start-up leaves it with no settings file, for tests that play from there.
#pragma once

#include "midi/midi_bytes.h"
#include "midi/rhythm_part.h"
#include "midi/voice_state.h"

namespace kalvora::test {

inline void GiveStartVoiceState() {
  NoteNumber = kStartNote;
  ProgramNumber = kStartProgram;
  BankNumber = kStartBank;
  MapIndex = kMapSc8850;
  Velocity = kStartVelocity;
  ChorusLevel = kStartChorus;
  ReverbLevel = kStartReverb;
  ModulationLevel = kStartModulation;
  PanPosition = kStartPan;
  SetPlayChannel(kChannel1);
  ChooseDrumSet(kStartDrumSet);
}

}  // namespace kalvora::test
