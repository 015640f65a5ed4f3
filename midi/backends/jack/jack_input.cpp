#include "midi/backends/jack/jack_input.h"

#include <utility>

namespace kalvora {

JackInput::JackInput(std::shared_ptr<JackClient> client) : client_(std::move(client)) {
  client_->carryInput();
}

JackInput::~JackInput() { client_->dropInput(); }

std::string JackInput::waitForPort(std::chrono::milliseconds limit) const {
  return client_->waitForInput(limit);
}

}  // namespace kalvora
