// What the program, bank and drum set buttons, the keys, the effect scroll bars and the map radio
// buttons do to the voice state. Each press stores one value, plays, and says which note it
// started; the release of that press stops that note.
#pragma once

#include "catalogue/name_search.h"
#include "catalogue/tone_names.h"
#include "play/note_player.h"

namespace kalvora {

inline constexpr int kEffectScrollBars = 5;
// One radio button per map.
inline constexpr int kMapRadioButtons = kToneMapCount;

// Button1..128 choose the program, Button129..256 the bank.
HeldNote ToneButtonDown(int button);
// A drum set button chooses the set at program (1..128).
HeldNote DrumSetButtonDown(int program);
// What a press of Button1..256, or of the drum set button at program, would choose: handed to
// the device while the pointer rests on the button, so that a device that loads its tones on
// demand has it ready. Nothing changes and nothing sounds.
void PrepareToneButton(int button);
void PrepareDrumSet(int program);
// The same for a line of the search page: its tone, or its drum set (a drum key's too).
void PrepareSearchLine(const FoundName& entry);
// A line of the search page chooses what its entry names, as a press on its own page would: a
// tone's map, program and bank on channel 1; a drum set's map and set on the rhythm channel, with
// the current note; a drum key's map, set and note there.
HeldNote SearchLineDown(const FoundName& entry);
// Shape1..60 choose the note.
HeldNote KeyDown(int shape);
// What a key press does for its note (29..88), from the screen or the computer keyboard.
HeldNote NoteDown(int note);
// ScrollBar1..5: velocity, chorus, reverb, modulation, pan.
void StoreEffectLevel(int scrollBar, int position);
// RadioButton1..5: SC-8850, SC-88Pro, SC-88, SC-55, GM.
int MapOfRadioButton(int radioButton);
void MapRadioClicked(int radioButton, bool checked);

}  // namespace kalvora
