#include "midi/backends/rtmidi/rtmidi_backend.h"

#include <rtmidi/RtMidi.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "midi/backends/rtmidi/rtmidi_errors.h"
#include "midi/backends/rtmidi/rtmidi_port_names.h"
#include "midi/backends/rtmidi/sequencer_queries.h"
#include "midi/backends/rtmidi/stderr_muted.h"

namespace kalvora {

namespace {

// Named explicitly: left to choose, RtMidi falls back to its own JACK output.
constexpr RtMidi::Api kApi = RtMidi::LINUX_ALSA;
constexpr const char* kOutputPortName = "out";

struct Output {
  std::unique_ptr<RtMidiOut> out;
  std::unique_ptr<RtMidiErrors> errors = std::make_unique<RtMidiErrors>();
};

// Without a sequencer (no /dev/snd/seq) the constructor prints and throws; both are expected
// there, so it runs muted and a failure is simply no output.
Output MakeOutput(const std::string& clientName) {
  Output output;
  StderrMuted muted;
  try {
    output.out = std::make_unique<RtMidiOut>(kApi, clientName);
    output.out->setErrorCallback(&RecordRtMidiError, output.errors.get());
  } catch (...) {
    output.out.reset();
  }
  return output;
}

std::vector<std::string> ListPorts(RtMidiOut& out) {
  std::vector<std::string> names;
  StderrMuted muted;
  try {
    const unsigned count = out.getPortCount();
    for (unsigned i = 0; i < count; ++i) names.push_back(out.getPortName(i));
  } catch (...) {
    names.clear();
  }
  return names;
}

OpenStatus StatusOf(const RtMidiErrors& errors) {
  switch (errors.type) {
    case RtMidiError::INVALID_PARAMETER:
    case RtMidiError::INVALID_DEVICE:
      return OpenStatus::kBadDevice;
    case RtMidiError::NO_DEVICES_FOUND:
      return OpenStatus::kNoDriver;
    case RtMidiError::MEMORY_ERROR:
      return OpenStatus::kNoMemory;
    default:
      return OpenStatus::kFailed;
  }
}

class RtMidiConnection final : public MidiConnection {
 public:
  explicit RtMidiConnection(Output output) : output_(std::move(output)) {}
  // The sequencer is opened non-blocking, so a full queue drops the message instead of waiting.
  bool sendShort(std::span<const std::uint8_t> bytes) override { return send(bytes); }
  void sendLong(std::span<const std::uint8_t> bytes) override { send(bytes); }

 private:
  bool send(std::span<const std::uint8_t> bytes) noexcept {
    if (bytes.empty()) return false;
    try {
      output_.out->sendMessage(bytes.data(), bytes.size());
      return true;
    } catch (...) {
      // Only a failure to grow the library's buffer can get here; the message is lost.
      return false;
    }
  }
  Output output_;
};

}  // namespace

RtMidiBackend::RtMidiBackend(std::string clientName) : clientName_(std::move(clientName)) {}

std::vector<std::string> RtMidiBackend::portNames() {
  rawNames_.clear();
  Output output = MakeOutput(clientName_);
  if (output.out) rawNames_ = ListPorts(*output.out);
  // Our own ports (the MIDI input) take MIDI in too, but playing into them would only loop back.
  const std::set<int> own = OwnSequencerClients();
  std::erase_if(rawNames_, [&own](const std::string& name) {
    const std::optional<SequencerAddress> address = SequencerAddressOf(name);
    return address && own.contains(address->client);
  });
  return SequencerDisplayNames(rawNames_);
}

OpenResult RtMidiBackend::open(std::size_t port) {
  OpenResult result;
  if (port >= rawNames_.size()) {
    result.status = OpenStatus::kBadDevice;
    return result;
  }
  Output output = MakeOutput(clientName_);
  if (!output.out) {
    result.status = OpenStatus::kNoDriver;
    return result;
  }
  // Ports come and go (a module unplugged, plugged in again); find this one in today's list.
  const std::vector<std::string> now = ListPorts(*output.out);
  const std::optional<std::size_t> index = FindPortAgain(rawNames_, port, now);
  if (!index) {
    result.status = OpenStatus::kNoDriver;
    return result;
  }
  try {
    StderrMuted muted;
    output.out->openPort(static_cast<unsigned>(*index), kOutputPortName);
  } catch (...) {
    output.errors->failed = true;
  }
  if (output.errors->failed || !output.out->isPortOpen()) {
    result.status = output.errors->failed ? StatusOf(*output.errors) : OpenStatus::kFailed;
    // RtMidi says only that the connection failed; a port another program holds is in use.
    const std::optional<SequencerAddress> address = SequencerAddressOf(now[*index]);
    if (address && SequencerPortHeldExclusively(address->client, address->port)) {
      result.status = OpenStatus::kInUse;
    }
    return result;
  }
  result.status = OpenStatus::kOpened;
  try {
    result.connection = std::make_unique<RtMidiConnection>(std::move(output));
  } catch (const std::bad_alloc&) {
    result.status = OpenStatus::kNoMemory;
  }
  return result;
}

}  // namespace kalvora
