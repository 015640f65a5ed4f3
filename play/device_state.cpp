#include "play/device_state.h"

#include <cstring>

#include "midi/midi_bytes.h"
#include "play/form_view.h"

std::int32_t DeviceCount = 0;
std::int32_t DeviceIndex = 0;
HMIDIOUT MidiOut = kNoMidiOut;
std::string DeviceName;
MIDIHDR ResetHeader{};

namespace kalvora {

namespace {
// The header size the program has always passed; the layer only needs it to cover its fields.
constexpr std::uint32_t kResetHeaderSize = 64;
}  // namespace

void SendGsReset() {
  // The layer never writes through the data pointer; the header type is just not const-correct.
  ResetHeader.lpData = reinterpret_cast<char*>(const_cast<std::uint8_t*>(GsResetMessage.data()));
  ResetHeader.dwBufferLength = static_cast<std::uint32_t>(GsResetMessage.size());
  midiOutPrepareHeader(MidiOut, &ResetHeader, kResetHeaderSize);
  midiOutLongMsg(MidiOut, &ResetHeader, kResetHeaderSize);
}

MMRESULT OpenMidiOut() {
  midiOutClose(MidiOut);
  MidiOut = kNoMidiOut;
  return midiOutOpen(&MidiOut, static_cast<std::uint32_t>(DeviceIndex), 0, 0, 0);
}

void ShowDeviceName() {
  MIDIOUTCAPSA caps{};
  // A negative number reaches the query as a huge one, which names no device.
  const auto id = static_cast<std::uintptr_t>(static_cast<std::uint32_t>(DeviceIndex));
  if (midiOutGetDevCapsA(id, &caps, sizeof caps) == MMSYSERR_NOERROR) {
    DeviceName.assign(caps.szPname, strnlen(caps.szPname, sizeof caps.szPname));
  } else {
    DeviceName.clear();
  }
  if (MainView != nullptr) MainView->setDeviceLabel(DeviceName);
}

}  // namespace kalvora
