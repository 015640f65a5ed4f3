#include "play/device_switch.h"

#include "midi/input/input_inbox.h"
#include "midi/midi_out.h"
#include "play/device_state.h"
#include "play/host_services.h"
#include "play/input_router.h"

namespace kalvora {

namespace {
// Gives the module time to finish closing, and later to carry out the reset.
constexpr int kSwitchSettleMs = 200;
}  // namespace

void CloseDeviceForSwitch() {
  // Input that came before the press still reaches the device it was played on, and then
  // nothing it holds is left sounding there.
  DeliverMidiInput(RouteMidiInput);
  ReleaseInputNotes();
  midiOutClose(MidiOut);
  SleepMs(kSwitchSettleMs);
}

void OpenNextDevice(std::string_view cannotOpen) {
  // Wraps only on equality: with no devices the number climbs, and a negative one climbs to 0.
  DeviceIndex = DeviceIndex + 1 == DeviceCount ? 0 : DeviceIndex + 1;
  if (OpenMidiOut() != MMSYSERR_NOERROR) ShowMessage(cannotOpen);
  midiOutReset(MidiOut);
  SendGsReset();
  SleepMs(kSwitchSettleMs);
  ShowDeviceName();
}

}  // namespace kalvora
