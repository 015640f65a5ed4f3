#include "play/voice_controls.h"

#include <array>
#include <cstdint>
#include <span>

#include "catalogue/caption_view.h"
#include "catalogue/tone_names.h"
#include "midi/midi_out.h"
#include "play/device_state.h"
#include "play/note_player.h"
#include "play/rhythm_part.h"
#include "play/voice_setup.h"
#include "play/voice_state.h"
#include "ui/keyboard_layout.h"

namespace kalvora {

HeldNote ToneButtonDown(int button) {
  if (button < kFirstBankButton) {
    ProgramNumber = button;
  } else {
    BankNumber = button - kFirstBankButton;
  }
  PlayNote();
  return PlayedNote();
}

namespace {
void Prepare(const VoiceSetUp& setUp) {
  PrepareOnDevice(MidiOut, std::span(setUp.begin(), setUp.end()));
}
}  // namespace

void PrepareToneButton(int button) {
  const bool program = button < kFirstBankButton;
  Prepare(VoiceSetUpFor(kChannel1, program ? button : ProgramNumber,
                        program ? BankNumber : button - kFirstBankButton, MapIndex));
}

void PrepareDrumSet(int program) {
  Prepare(VoiceSetUpFor(kRhythmChannel, program, kDrumSetBank, MapIndex));
}

void PrepareSearchLine(const FoundName& entry) {
  const bool tone = entry.kind == FoundKind::kTone;
  Prepare(VoiceSetUpFor(tone ? kChannel1 : kRhythmChannel, entry.program,
                        tone ? entry.bank : kDrumSetBank, entry.map));
}

HeldNote DrumSetButtonDown(int program) {
  ChooseDrumSet(program);
  PlayNote();
  return PlayedNote();
}

HeldNote SearchLineDown(const FoundName& entry) {
  MapIndex = entry.map;
  if (entry.kind == FoundKind::kTone) {
    ProgramNumber = entry.program;
    BankNumber = entry.bank;
    SetPlayChannel(kChannel1);
  } else {
    ChooseDrumSet(entry.program);
    if (entry.kind == FoundKind::kDrumKey) NoteNumber = entry.note;
    SetPlayChannel(kRhythmChannel);
  }
  PlayNote();
  return PlayedNote();
}

HeldNote KeyDown(int shape) { return NoteDown(KeyOf(shape).note); }

HeldNote NoteDown(int note) {
  NoteNumber = note;
  PlayNote();
  return PlayedNote();
}

void StoreEffectLevel(int scrollBar, int position) {
  static const std::array<std::int32_t*, kEffectScrollBars> levels{
      &Velocity, &ChorusLevel, &ReverbLevel, &ModulationLevel, &PanPosition};
  *levels[static_cast<std::size_t>(scrollBar - 1)] = position;
}

int MapOfRadioButton(int radioButton) { return kToneMapCount - radioButton; }

void MapRadioClicked(int radioButton, bool checked) {
  if (checked) MapIndex = MapOfRadioButton(radioButton);
}

}  // namespace kalvora
