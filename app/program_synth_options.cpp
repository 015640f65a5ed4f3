// Apart from the system's backends, so that what asks only how the synth is set up (the synth
// marks) links no sequencer or JACK library.
#include "app/system_backends.h"
#include "catalogue/preset_names.h"

namespace kalvora {

FluidSynthOptions ProgramSynthOptions() {
  FluidSynthOptions options;
  options.fillerCheck = PresetFitsToneSlot;
  return options;
}

}  // namespace kalvora
