#include "midi/backends/jack/jack_backend.h"

#include <cstdlib>
#include <utility>

#include "midi/backends/jack/jack_connection.h"
#include "midi/backends/jack/jack_input.h"
#include "midi/backends/jack/jack_quiet.h"
#include "midi/bounded_call.h"

namespace kalvora {

namespace {

jack_client_t* OpenClient(const std::string& name) {
  jack_status_t status{};
  return jack_client_open(name.c_str(), JackNoStartServer, &status);
}

}  // namespace

JackBackend::JackBackend(std::string clientName, Connect connect)
    : clientName_(std::move(clientName)) {
  QuietJack();
  if (connect == Connect::kAhead) {
    try {
      ahead_ = std::async(std::launch::async, &OpenClient, clientName_);
    } catch (const std::system_error&) {
      // No thread to spare: the first listing connects instead.
    }
  }
}

JackBackend::~JackBackend() { releaseListing(); }

std::vector<std::string> JackBackend::portNames() {
  ports_.clear();
  jack_client_t* client = nullptr;
  if (ahead_.valid()) {
    // Made moments ago: when it found no server, none is there, and trying again would only
    // double what a start without JACK pays.
    client = ahead_.get();
  } else {
    releaseListing();
    client = OpenClient(clientName_);
  }
  if (client == nullptr) return ports_;
  if (const char** names =
          jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput)) {
    for (const char** name = names; *name != nullptr; ++name) {
      // The program's own input is no sound module.
      if (!IsOwnJackInput(*name)) ports_.emplace_back(*name);
    }
    jack_free(static_cast<void*>(names));
  }
  listing_ = client;
  return ports_;
}

OpenResult JackBackend::open(std::size_t port) {
  if (port >= ports_.size()) return OpenResult{OpenStatus::kBadDevice, nullptr};
  // A stopped server would hold the open (and so a switch) for as long as it stays stopped.
  std::optional<OpenResult> opened = CallWithin<OpenResult>(
      [clientName = clientName_, target = ports_[port], client = std::exchange(listing_, nullptr)] {
        return JackConnection::open(clientName, target, client);
      });
  if (!opened) return OpenResult{OpenStatus::kFailed, nullptr};
  return std::move(*opened);
}

void JackBackend::releaseListing() {
  if (ahead_.valid()) listing_ = ahead_.get();
  if (listing_ != nullptr) jack_client_close(std::exchange(listing_, nullptr));
}

}  // namespace kalvora
