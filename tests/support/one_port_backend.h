// A backend of one port for tests and benchmarks that watch what reaches a device without a log
// growing with it: each short message goes to a callback, long ones go nowhere, and the
// connection keeps the default reset (whose messages reach the callback too).
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "midi/midi_backend.h"

namespace kalvora::test {

struct OnePort {
  std::string name = "One port";
  OpenStatus openStatus = OpenStatus::kOpened;
  std::function<void(std::span<const std::uint8_t>)> onShort{};  // each short message sent
  std::function<void()> onList{};                                // each listing
  std::function<void()> onAfterOpen{};                           // each afterOpen()
};

class OnePortBackend final : public MidiBackend {
 public:
  explicit OnePortBackend(OnePort port);

  std::vector<std::string> portNames() override;
  OpenResult open(std::size_t port) override;
  void afterOpen() override;

 private:
  OnePort port_;
};

}  // namespace kalvora::test
