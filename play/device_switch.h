// Moving on to the next MIDI output device with the switch button: the press closes the device
// in use, the release opens the next one and resets it to GS.
#pragma once

#include <string_view>

namespace kalvora {
void CloseDeviceForSwitch();
// cannotOpen is what the user is told when the next device does not open (the window's text).
void OpenNextDevice(std::string_view cannotOpen);
}  // namespace kalvora
