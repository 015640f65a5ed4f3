#include "midi/show_tone_names.h"

#include "catalogue/tone_captions.h"
#include "midi/form_view.h"
#include "midi/rhythm_part.h"
#include "midi/voice_state.h"

using namespace kalvora;

void ShowToneNames() {
  if (MainView == nullptr) return;
  WriteToneCaptions(*MainView, ProgramNumber, BankNumber, MapIndex);
  MainView->showDrumSets(MapIndex, PlayedDrumSet());
}
