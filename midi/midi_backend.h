// What a MIDI output backend (a sequencer, a sound server, a software synth, a test recorder)
// offers the port layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kalvora {

// One open output. Destroying it closes it. No call may block for more than a few
// milliseconds, print on the normal path, or throw.
class MidiConnection {
 public:
  virtual ~MidiConnection() = default;
  // A complete short message of one to three bytes. False when it was dropped because a queue on
  // the way had no room for it: a backend that queues keeps room for the messages that end
  // notes (message_urgency.h).
  virtual bool sendShort(std::span<const std::uint8_t> bytes) = 0;
  // A complete system-exclusive message, F0 .. F7.
  virtual void sendLong(std::span<const std::uint8_t> bytes) = 0;
  // Silences the device; the default sends all-notes-off and all-sound-off on every channel.
  virtual void reset();
  // The set-up a press may soon send (packed short messages, bank select and program change
  // among them): a device that loads its tones on demand may load this one now, so that the
  // press finds it ready. Nothing is sent or played, and no channel changes its tone. Devices
  // whose tones are always ready ignore it.
  virtual void prepare(std::span<const std::uint32_t> /*setUp*/) {}
};

// How an open went, in the backends' own terms; the port layer gives the window the numbered
// result its messages are keyed by.
enum class OpenStatus : std::uint8_t {
  kOpened,
  kBadDevice,  // no such port in the last listing
  kInUse,      // held by another program, or already open here
  kNoDriver,   // the server, the sound output or the port itself is not there
  kNoMemory,
  kFailed,  // anything else
};

struct OpenResult {
  OpenStatus status = OpenStatus::kFailed;
  std::unique_ptr<MidiConnection> connection;  // set exactly when status is kOpened
};

class MidiBackend {
 public:
  virtual ~MidiBackend() = default;
  // Lists the backend's ports now; open() numbers ports as this list did.
  virtual std::vector<std::string> portNames() = 0;
  virtual OpenResult open(std::size_t port) = 0;
  // Called after each open, on every backend, whichever it reached and whatever it answered:
  // a backend lets go of what its last listing kept to make the open quick, or reaches again a
  // server that has gone and may have come back. Must not wait.
  virtual void afterOpen() {}
};

using MidiBackends = std::vector<std::unique_ptr<MidiBackend>>;

// Replaces the backends behind the port layer (closing every open device); the numbering
// runs through them in order. Takes effect at the next midiOutGetNumDevs.
void InstallMidiBackends(MidiBackends backends);

}  // namespace kalvora
