// A backend for tests: as many devices as it is told, each open answering the code it is told,
// and a log of every call in order.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "midi/midi_backend.h"

namespace kalvora {

struct RecordedCall {
  // Sleep and Message are recorded by tests that route the host's sleeps and messages here, so
  // the whole sequence can be checked in one order.
  // A Prepare's bytes are the set-up's messages, one after another.
  enum class Kind { kList, kOpen, kClose, kReset, kShort, kLong, kSleep, kMessage, kPrepare };
  Kind kind;
  std::size_t port = 0;  // the device's port, or the milliseconds of a Sleep
  std::vector<std::uint8_t> bytes{};
  std::string text{};  // a Message's text

  bool operator==(const RecordedCall&) const = default;
};

// Shared between the backend (owned by the port layer) and the test that reads it.
struct RecordingLog {
  std::vector<RecordedCall> calls;
  // The port of every connection open now, one entry per connection.
  std::multiset<std::size_t> openPorts;
  // While set, every short message is refused unrecorded, as by a device whose queue is full.
  bool full = false;
  // Every byte sent through Short and Long, in order.
  std::vector<std::uint8_t> sentBytes() const;
  // Only the calls of one kind.
  std::vector<RecordedCall> of(RecordedCall::Kind kind) const;
};

class RecordingBackend final : public MidiBackend {
 public:
  // names: one device per name; opens[i] is what opening device i answers (kOpened when missing).
  RecordingBackend(std::vector<std::string> names, std::vector<OpenStatus> opens,
                   std::shared_ptr<RecordingLog> log);

  std::vector<std::string> portNames() override;
  OpenResult open(std::size_t port) override;

 private:
  std::vector<std::string> names_;
  std::vector<OpenStatus> opens_;
  std::shared_ptr<RecordingLog> log_;
};

}  // namespace kalvora
