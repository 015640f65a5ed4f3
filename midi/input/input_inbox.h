// Where MIDI input waits between the thread it arrives on and the window's thread, which alone
// sends. Each input has a lock-free queue of its own; a file descriptor wakes the window's loop.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "midi/input/input_stream.h"
#include "midi/midi_out.h"

namespace kalvora {

// The inputs, each read as a stream of its own (running status does not cross from one to another).
enum class InputSource : std::uint8_t { kSequencer, kJack };
inline constexpr std::size_t kInputSources = 2;

// An input port of the program's own (a sequencer port, a JACK port) that posts what it
// receives here until it is destroyed.
class MidiInputPort {
 public:
  virtual ~MidiInputPort() = default;
};
using MidiInputPorts = std::vector<std::unique_ptr<MidiInputPort>>;

// How long the program's exit waits for each input to let go of its server.
inline constexpr std::chrono::milliseconds kInputStopLimit{1000};

// Lets every input go, waiting at most limit for each, so that a stopped JACK server cannot hold
// the program's exit; one that does not let go in time finishes on its own.
void StopMidiInputs(MidiInputPorts& inputs, std::chrono::milliseconds limit = kInputStopLimit);

// From the input's own thread (one thread per source at a time, an audio thread included):
// reads bytes as that input's stream and queues the messages they complete, stamped with the
// device open now. Never blocks or allocates. False when the queue had no room for one of them
// (pressure, bend and controllers are refused first; see message_urgency.h), which is dropped.
bool PostMidiInput(InputSource source, std::span<const std::uint8_t> bytes) noexcept;
// Readable while input waits; -1 when the system gave no descriptor (nothing then wakes the loop,
// and input waits for the next DeliverMidiInput).
int MidiInputReadyFd();
// What takes each message on the window's thread: the message, and the device open when it came.
using MidiInputRoute = void (*)(const ChannelMessage& message, HMIDIOUT meantFor);

// The window's thread: hands everything waiting to route, in the order it arrived from each input.
void DeliverMidiInput(MidiInputRoute route);
// Forgets what waits and the streams (a test's fresh start; no input posting).
void ResetMidiInput();

}  // namespace kalvora
