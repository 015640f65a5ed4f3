// The MIDI output port: the few operations the program sends through, with the calling
// conventions of the classic desktop multimedia API, realised over pluggable backends.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

using MMRESULT = std::uint32_t;

// Result codes of the open; the window's failure messages are keyed by these numbers.
inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;
inline constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
inline constexpr MMRESULT MMSYSERR_NOTENABLED = 3;
inline constexpr MMRESULT MMSYSERR_ALLOCATED = 4;
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
inline constexpr MMRESULT MMSYSERR_NODRIVER = 6;
inline constexpr MMRESULT MMSYSERR_NOMEM = 7;
inline constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
inline constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT MIDIERR_UNPREPARED = 64;
// A short message the device had no room for just now (its queue is full).
inline constexpr MMRESULT MIDIERR_NOTREADY = 67;

// An open device is named by a number that is never reused, so a handle kept after its
// close (or after a failed open) names nothing and every operation on it is dropped.
using HMIDIOUT = std::uint32_t;
inline constexpr HMIDIOUT kNoMidiOut = 0;

inline constexpr std::uint32_t MHDR_DONE = 0x1;
inline constexpr std::uint32_t MHDR_PREPARED = 0x2;

struct MIDIHDR {
  char* lpData = nullptr;
  std::uint32_t dwBufferLength = 0;
  std::uint32_t dwBytesRecorded = 0;
  std::uintptr_t dwUser = 0;
  std::uint32_t dwFlags = 0;
  MIDIHDR* lpNext = nullptr;
  std::uintptr_t reserved = 0;
  std::uint32_t dwOffset = 0;
  std::uintptr_t dwReserved[4] = {};
};

inline constexpr std::size_t kProductNameBytes = 32;

struct MIDIOUTCAPSA {
  std::uint16_t wMid = 0;
  std::uint16_t wPid = 0;
  std::uint32_t vDriverVersion = 0;
  char szPname[kProductNameBytes] = {};
  std::uint16_t wTechnology = 0;
  std::uint16_t wVoices = 0;
  std::uint16_t wNotes = 0;
  std::uint16_t wChannelMask = 0;
  std::uint32_t dwSupport = 0;
};
static_assert(sizeof(MIDIOUTCAPSA) == 52);

// Counts the devices of every installed backend and fixes their numbering until the next count.
std::uint32_t midiOutGetNumDevs();
// Product name of a device by number, cut to fit 31 bytes and a NUL on a UTF-8 character boundary.
MMRESULT midiOutGetDevCapsA(std::uintptr_t deviceId, MIDIOUTCAPSA* caps, std::uint32_t capsSize);
MMRESULT midiOutOpen(HMIDIOUT* handle, std::uint32_t deviceId, std::uintptr_t callback,
                     std::uintptr_t instance, std::uint32_t flags);
MMRESULT midiOutClose(HMIDIOUT handle);
// Silences the device: its backend's own reset, or all notes off on every channel.
MMRESULT midiOutReset(HMIDIOUT handle);
// Status in bits 0-7, data 1 in bits 8-15, data 2 in bits 16-23. MIDIERR_NOTREADY when the
// device's queue had no room for it: see message_urgency.h for what is refused first.
MMRESULT midiOutShortMsg(HMIDIOUT handle, std::uint32_t message);
MMRESULT midiOutPrepareHeader(HMIDIOUT handle, MIDIHDR* header, std::uint32_t headerSize);
MMRESULT midiOutLongMsg(HMIDIOUT handle, MIDIHDR* header, std::uint32_t headerSize);

namespace kalvora {
// Hands handle's device the set-up a press may soon send, to load its tone ahead (see
// MidiConnection::prepare); sends nothing.
void PrepareOnDevice(HMIDIOUT handle, std::span<const std::uint32_t> setUp);

// The device opened last, while it stays open (kNoMidiOut otherwise). Any thread may read it:
// MIDI input is stamped with it on arrival, so what was meant for a device closed since is dropped.
HMIDIOUT DeviceOpenNow() noexcept;

// How long the program's exit waits for the devices it closed to let go.
inline constexpr std::chrono::milliseconds kClosedDevicesExitLimit{2000};
// A close waits on its device only briefly; a device keeps the messages that end its notes until
// its server has taken them or has gone. Waits at most limit for every device closed so far to
// be done; true when all are.
bool WaitForClosedDevices(std::chrono::milliseconds limit);
}  // namespace kalvora
