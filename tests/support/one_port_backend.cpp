#include "support/one_port_backend.h"

#include <memory>
#include <utility>

namespace kalvora::test {

namespace {
class OnePortConnection final : public MidiConnection {
 public:
  explicit OnePortConnection(std::function<void(std::span<const std::uint8_t>)> onShort)
      : onShort_(std::move(onShort)) {}
  bool sendShort(std::span<const std::uint8_t> bytes) override {
    if (onShort_) onShort_(bytes);
    return true;
  }
  void sendLong(std::span<const std::uint8_t>) override {}

 private:
  std::function<void(std::span<const std::uint8_t>)> onShort_;
};
}  // namespace

OnePortBackend::OnePortBackend(OnePort port) : port_(std::move(port)) {}

std::vector<std::string> OnePortBackend::portNames() {
  if (port_.onList) port_.onList();
  return {port_.name};
}

OpenResult OnePortBackend::open(std::size_t) {
  if (port_.openStatus != OpenStatus::kOpened) return {port_.openStatus, nullptr};
  return {OpenStatus::kOpened, std::make_unique<OnePortConnection>(port_.onShort)};
}

void OnePortBackend::afterOpen() {
  if (port_.onAfterOpen) port_.onAfterOpen();
}

}  // namespace kalvora::test
