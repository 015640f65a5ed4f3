#include "support/recording_session.h"

#include <utility>

namespace kalvora::test {

RecordingSession::RecordingSession(std::vector<std::string> names, std::vector<OpenStatus> opens) {
  MidiBackends backends;
  backends.push_back(std::make_unique<RecordingBackend>(std::move(names), std::move(opens), log_));
  InstallMidiBackends(std::move(backends));
  auto log = log_;
  previousMessage_ = SetMessageFunction([log](std::string_view text) {
    log->calls.push_back({RecordedCall::Kind::kMessage, 0, {}, std::string(text)});
  });
  previousSleep_ = SetSleepFunction([log](int ms) {
    log->calls.push_back({RecordedCall::Kind::kSleep, static_cast<std::size_t>(ms), {}, {}});
  });
}

RecordingSession::~RecordingSession() {
  InstallMidiBackends({});
  SetMessageFunction(std::move(previousMessage_));
  SetSleepFunction(std::move(previousSleep_));
}

std::vector<std::string> RecordingSession::messages() const {
  std::vector<std::string> texts;
  for (const auto& call : log_->calls) {
    if (call.kind == RecordedCall::Kind::kMessage) texts.push_back(call.text);
  }
  return texts;
}

}  // namespace kalvora::test
