#include "midi/backends/jack/jack_backend.h"

#include <optional>
#include <utility>

#include "midi/backends/jack/jack_connection.h"
#include "midi/bounded_call.h"

namespace kalvora {

JackBackend::JackBackend(std::shared_ptr<JackClient> client) : client_(std::move(client)) {}

JackBackend::JackBackend(std::string clientName)
    : JackBackend(JackClient::create(std::move(clientName))) {}

JackBackend::~JackBackend() { DestroyWithin(std::move(client_)); }

std::vector<std::string> JackBackend::portNames() {
  ports_ = client_->otherClientsInputs(kJackListingLimit);
  return ports_;
}

OpenResult JackBackend::open(std::size_t port) {
  if (port >= ports_.size()) return OpenResult{OpenStatus::kBadDevice, nullptr};
  std::optional<OpenResult> opened = CallWithin<OpenResult>(
      [client = client_, target = ports_[port]] { return JackConnection::open(client, target); },
      kJackOpenLimit);
  if (!opened) return OpenResult{OpenStatus::kFailed, nullptr};
  return std::move(*opened);
}

void JackBackend::afterOpen() { client_->connectAhead(); }

}  // namespace kalvora
