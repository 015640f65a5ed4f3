#include "midi/backends/jack/jack_input.h"

#include <jack/midiport.h>

#include <set>
#include <utility>

#include "midi/backends/jack/jack_quiet.h"

namespace kalvora {

namespace {

constexpr const char* kInputPortName = "in";

struct OwnPorts {
  std::mutex mutex;
  std::set<std::string> names;
};

OwnPorts& OwnPortList() {
  static OwnPorts instance;
  return instance;
}

void SetOwn(const std::string& name, bool own) {
  OwnPorts& ports = OwnPortList();
  const std::lock_guard lock(ports.mutex);
  if (own) {
    ports.names.insert(name);
  } else {
    ports.names.erase(name);
  }
}

}  // namespace

bool IsOwnJackInput(const std::string& portName) {
  OwnPorts& ports = OwnPortList();
  const std::lock_guard lock(ports.mutex);
  return ports.names.count(portName) != 0;
}

JackInput::JackInput(std::string clientName) : clientName_(std::move(clientName)) {
  QuietJack();
  try {
    connecting_ = std::thread([this] { connect(); });
  } catch (const std::system_error&) {
    connect();  // no thread to spare
  }
}

void JackInput::connect() noexcept {
  std::string name;
  jack_status_t status{};
  client_ = jack_client_open(clientName_.c_str(), JackNoStartServer, &status);
  if (client_ != nullptr) {
    // Known as ours before it exists, so no listing made meanwhile offers it as an output.
    name = std::string(jack_get_client_name(client_)) + ":" + kInputPortName;
    SetOwn(name, true);
    port_ = jack_port_register(client_, kInputPortName, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    if (port_ == nullptr || jack_set_process_callback(client_, &JackInput::process, this) != 0 ||
        jack_activate(client_) != 0) {
      SetOwn(name, false);
      jack_client_close(client_);
      client_ = nullptr;
      name.clear();
    }
  }
  const std::lock_guard lock(mutex_);
  portName_ = name;
  done_ = true;
  settled_.notify_all();
}

JackInput::~JackInput() {
  if (connecting_.joinable()) connecting_.join();
  if (client_ == nullptr) return;
  jack_deactivate(client_);
  jack_client_close(client_);
  SetOwn(portName_, false);
}

std::string JackInput::waitForPort(std::chrono::milliseconds limit) const {
  std::unique_lock lock(mutex_);
  settled_.wait_for(lock, limit, [this] { return done_; });
  return portName_;
}

int JackInput::process(jack_nframes_t frames, void* self) noexcept {
  auto& input = *static_cast<JackInput*>(self);
  void* buffer = jack_port_get_buffer(input.port_, frames);
  const jack_nframes_t events = jack_midi_get_event_count(buffer);
  for (jack_nframes_t i = 0; i < events; ++i) {
    jack_midi_event_t event;
    if (jack_midi_event_get(&event, buffer, i) == 0) {
      PostMidiInput(InputSource::kJack, std::span(event.buffer, event.size));
    }
  }
  return 0;
}

}  // namespace kalvora
