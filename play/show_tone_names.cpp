#include "play/show_tone_names.h"

#include "catalogue/tone_captions.h"
#include "play/form_view.h"
#include "play/rhythm_part.h"
#include "play/voice_state.h"

using namespace kalvora;

void ShowToneNames() {
  if (MainView == nullptr) return;
  WriteToneCaptions(*MainView, ProgramNumber, BankNumber, MapIndex);
  MainView->showDrumSets(MapIndex, PlayedDrumSet());
}
