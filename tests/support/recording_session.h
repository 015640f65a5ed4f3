// Puts the port layer on a recording backend and routes sleeps and messages into the same log,
// so a test sees every device call, wait and message box in the order they happened.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "play/host_services.h"
#include "support/recording_backend.h"

namespace kalvora::test {

class RecordingSession {
 public:
  explicit RecordingSession(std::vector<std::string> names = {"Module A"},
                            std::vector<OpenStatus> opens = {});
  ~RecordingSession();
  RecordingSession(const RecordingSession&) = delete;
  RecordingSession& operator=(const RecordingSession&) = delete;

  RecordingLog& log() { return *log_; }
  std::vector<RecordedCall>& calls() { return log_->calls; }
  std::vector<std::string> messages() const;
  std::vector<std::uint8_t> sentBytes() const { return log_->sentBytes(); }
  void clear() { log_->calls.clear(); }

 private:
  std::shared_ptr<RecordingLog> log_ = std::make_shared<RecordingLog>();
  MessageFunction previousMessage_;
  SleepFunction previousSleep_;
};

}  // namespace kalvora::test
