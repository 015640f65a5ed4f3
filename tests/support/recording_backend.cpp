#include "support/recording_backend.h"

#include <utility>

#include "midi/midi_bytes.h"
#include "midi/short_message.h"

namespace kalvora {

namespace {
class RecordingConnection final : public MidiConnection {
 public:
  RecordingConnection(std::size_t port, std::shared_ptr<RecordingLog> log)
      : port_(port), log_(std::move(log)) {
    log_->openPorts.insert(port_);
  }
  ~RecordingConnection() override {
    log_->openPorts.erase(log_->openPorts.find(port_));
    record(RecordedCall::Kind::kClose, {});
  }

  bool sendShort(std::span<const std::uint8_t> bytes) override {
    if (log_->full) return false;
    record(RecordedCall::Kind::kShort, bytes);
    return true;
  }
  void sendLong(std::span<const std::uint8_t> bytes) override {
    record(RecordedCall::Kind::kLong, bytes);
  }
  void reset() override { record(RecordedCall::Kind::kReset, {}); }
  void prepare(std::span<const std::uint32_t> setUp) override {
    std::vector<std::uint8_t> bytes;
    for (const std::uint32_t message : setUp) {
      const auto unpacked = UnpackShortMessage(message);
      bytes.insert(bytes.end(), unpacked.begin(),
                   unpacked.begin() + 1 + DataBytesAfter(unpacked[0]));
    }
    record(RecordedCall::Kind::kPrepare, bytes);
  }

 private:
  void record(RecordedCall::Kind kind, std::span<const std::uint8_t> bytes) {
    log_->calls.push_back({kind, port_, {bytes.begin(), bytes.end()}});
  }
  std::size_t port_;
  std::shared_ptr<RecordingLog> log_;
};
}  // namespace

std::vector<std::uint8_t> RecordingLog::sentBytes() const {
  std::vector<std::uint8_t> bytes;
  for (const auto& call : calls) {
    if (call.kind == RecordedCall::Kind::kShort || call.kind == RecordedCall::Kind::kLong) {
      bytes.insert(bytes.end(), call.bytes.begin(), call.bytes.end());
    }
  }
  return bytes;
}

std::vector<RecordedCall> RecordingLog::of(RecordedCall::Kind kind) const {
  std::vector<RecordedCall> result;
  for (const auto& call : calls) {
    if (call.kind == kind) result.push_back(call);
  }
  return result;
}

RecordingBackend::RecordingBackend(std::vector<std::string> names, std::vector<OpenStatus> opens,
                                   std::shared_ptr<RecordingLog> log)
    : names_(std::move(names)), opens_(std::move(opens)), log_(std::move(log)) {}

std::vector<std::string> RecordingBackend::portNames() {
  log_->calls.push_back({RecordedCall::Kind::kList, 0, {}});
  return names_;
}

OpenResult RecordingBackend::open(std::size_t port) {
  log_->calls.push_back({RecordedCall::Kind::kOpen, port, {}});
  const OpenStatus status = port < opens_.size() ? opens_[port] : OpenStatus::kOpened;
  if (status != OpenStatus::kOpened) return {status, nullptr};
  return {OpenStatus::kOpened, std::make_unique<RecordingConnection>(port, log_)};
}

}  // namespace kalvora
