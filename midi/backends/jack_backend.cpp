#include "midi/backends/jack_backend.h"

#include <jack/jack.h>

#include <cstdlib>
#include <utility>

#include "midi/backends/jack_connection.h"

namespace kalvora {

namespace {

void IgnoreJackMessage(const char*) {}

// libjack prints its errors (such as "cannot connect to server") itself unless told otherwise,
// and would try to start a server when none runs.
void QuietJack() {
  jack_set_error_function(&IgnoreJackMessage);
  jack_set_info_function(&IgnoreJackMessage);
  setenv("JACK_NO_START_SERVER", "1", 1);
}

}  // namespace

JackBackend::JackBackend(std::string clientName) : clientName_(std::move(clientName)) {
  QuietJack();
}

std::vector<std::string> JackBackend::portNames() {
  ports_.clear();
  jack_status_t status{};
  jack_client_t* client = jack_client_open(clientName_.c_str(), JackNoStartServer, &status);
  if (client == nullptr) return ports_;
  if (const char** names =
          jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput)) {
    for (const char** name = names; *name != nullptr; ++name) ports_.emplace_back(*name);
    jack_free(static_cast<void*>(names));
  }
  jack_client_close(client);
  return ports_;
}

OpenResult JackBackend::open(std::size_t port) {
  if (port >= ports_.size()) return OpenResult{MMSYSERR_BADDEVICEID, nullptr};
  return JackConnection::Open(clientName_, ports_[port]);
}

}  // namespace kalvora
