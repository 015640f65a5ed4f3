// Moving on to the next MIDI output device with the switch button: the press closes the device
// in use, the release opens the next one and resets it to GS.
#pragma once

namespace kalvora {
void CloseDeviceForSwitch();
void OpenNextDevice();
}  // namespace kalvora
