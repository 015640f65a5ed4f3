// The output device in use, counted and opened at start-up and moved on by the switch button.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "midi/midi_bytes.h"
#include "midi/midi_out.h"

extern std::int32_t DeviceCount;
extern std::int32_t DeviceIndex;
extern HMIDIOUT MidiOut;
extern std::string DeviceName;  // at most 31 bytes, shown in the status line
extern MIDIHDR ResetHeader;     // points at GsResetMessage (midi/midi_bytes.h)

namespace kalvora {
// Points ResetHeader at the GS Reset, prepares it on MidiOut and sends it.
void SendGsReset();
// Opens device DeviceIndex into MidiOut. A device still open there is closed first: a switch
// pressed with two mouse buttons releases twice, and the first device would stay open and wired.
MMRESULT OpenMidiOut();
// DeviceName := the product name of device DeviceIndex (empty when the query fails); shows it.
void ShowDeviceName();
}  // namespace kalvora
