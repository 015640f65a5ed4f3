// Moving on to the next MIDI output device with the switch button: the press closes the device
// in use, the release opens the next one and resets it to GS.
#pragma once

#include <string_view>

namespace kalvora {
// What the user is told when a device does not open.
inline constexpr std::string_view kCannotOpenDevice = "ＭＩＤＩデバイスが開けません";

void CloseDeviceForSwitch();
void OpenNextDevice();
}  // namespace kalvora
