#include "midi/backends/jack/jack_connection.h"

#include <jack/midiport.h>

#include <cerrno>
#include <chrono>
#include <new>
#include <thread>

namespace kalvora {

namespace {

// Far more than the window sends between two audio cycles: a keyboard's burst of ten thousand
// pressure messages passes whole; beyond that, pressure, bend and controllers are thinned.
constexpr std::size_t kRingBytes = 256 * 1024;
constexpr const char* kOutputPortName = "out";
// A close first lets the audio thread hand over what was sent just before it (a note-off
// must not be lost), but waits no longer than this when the server is slow or stuck.
constexpr auto kDrainLimit = std::chrono::milliseconds(100);
constexpr auto kDrainPoll = std::chrono::milliseconds(1);

bool ServerUnreachable(jack_status_t status) {
  return (status & (JackServerFailed | JackServerError)) != 0;
}

}  // namespace

JackConnection::JackConnection() : ring_(kRingBytes) {}

OpenResult JackConnection::open(const std::string& clientName, const std::string& target,
                                jack_client_t* client) {
  OpenResult result;
  std::unique_ptr<JackConnection> connection;
  try {
    connection.reset(new JackConnection());
  } catch (const std::bad_alloc&) {
    if (client != nullptr) jack_client_close(client);
    result.status = OpenStatus::kNoMemory;
    return result;
  }
  result.status = connection->start(clientName, target, client);
  if (result.status == OpenStatus::kOpened) result.connection = std::move(connection);
  return result;
}

OpenStatus JackConnection::start(const std::string& clientName, const std::string& target,
                                 jack_client_t* client) {
  if (client != nullptr) {
    client_ = client;
    if (prepare(target) != OpenStatus::kOpened) closeClient();
  }
  if (client_ == nullptr) {
    jack_status_t status{};
    client_ = jack_client_open(clientName.c_str(), JackNoStartServer, &status);
    if (client_ == nullptr)
      return ServerUnreachable(status) ? OpenStatus::kNoDriver : OpenStatus::kFailed;
    const OpenStatus prepared = prepare(target);
    if (prepared != OpenStatus::kOpened) return prepared;
  }
  // Activation waits for the server's next cycle or two; the window need not. What is sent
  // meanwhile waits in the ring.
  try {
    activation_ = std::thread([this, target] { activate(target); });
  } catch (...) {
    activate(target);  // no thread to spare
  }
  return OpenStatus::kOpened;
}

OpenStatus JackConnection::prepare(const std::string& target) {
  // The port may have gone since the list was made: the device is no longer there.
  if (jack_port_by_name(client_, target.c_str()) == nullptr) return OpenStatus::kNoDriver;
  // The first request to the server: it fails here when the server has gone.
  port_ = jack_port_register(client_, kOutputPortName, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  if (port_ == nullptr) return OpenStatus::kFailed;
  if (jack_set_process_callback(client_, &JackConnection::process, this) != 0) {
    return OpenStatus::kFailed;
  }
  jack_on_info_shutdown(client_, &JackConnection::shutdown, this);
  return OpenStatus::kOpened;
}

void JackConnection::activate(const std::string& target) noexcept {
  if (jack_activate(client_) != 0) {
    alive_.store(false, std::memory_order_release);
    return;
  }
  active_ = true;
  const int connected = jack_connect(client_, jack_port_name(port_), target.c_str());
  // Unwired, nothing sent could ever leave: it is dropped, as after the server's death.
  if (connected != 0 && connected != EEXIST) alive_.store(false, std::memory_order_release);
}

void JackConnection::closeClient() noexcept {
  if (client_ == nullptr) return;
  if (active_) jack_deactivate(client_);
  jack_client_close(client_);
  client_ = nullptr;
  port_ = nullptr;
  active_ = false;
  alive_.store(true, std::memory_order_release);
}

JackConnection::~JackConnection() {
  if (activation_.joinable()) activation_.join();
  if (active_) drainBeforeClose();
  closeClient();
}

bool JackConnection::sendShort(std::span<const std::uint8_t> bytes) { return send(bytes); }

void JackConnection::sendLong(std::span<const std::uint8_t> bytes) { send(bytes); }

bool JackConnection::send(std::span<const std::uint8_t> bytes) noexcept {
  if (!alive_.load(std::memory_order_acquire)) return false;
  return ring_.push(bytes, UrgencyOf(bytes));
}

void JackConnection::drainBeforeClose() noexcept {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + kDrainLimit;
  // Empty first, then the cycle count: the audio thread sets settledAt_ before it takes.
  auto delivered = [&] {
    return ring_.empty() &&
           cycles_.load(std::memory_order_acquire) >= settledAt_.load(std::memory_order_acquire);
  };
  while (alive_.load(std::memory_order_acquire) && !delivered() && Clock::now() < deadline) {
    std::this_thread::sleep_for(kDrainPoll);
  }
}

int JackConnection::process(jack_nframes_t frames, void* self) noexcept {
  auto& connection = *static_cast<JackConnection*>(self);
  connection.deliver(frames);
  connection.cycles_.fetch_add(1, std::memory_order_release);
  return 0;
}

void JackConnection::deliver(jack_nframes_t frames) noexcept {
  void* buffer = jack_port_get_buffer(port_, frames);
  jack_midi_clear_buffer(buffer);
  // A new connection reaches the graph a cycle or two after jack_connect returns; what is sent
  // in the meantime waits for it instead of going nowhere. Once wired, the ring is always
  // drained, so a later disconnection cannot pile up messages to replay.
  if (!wired_) {
    if (jack_port_connected(port_) <= 0) return;
    wired_ = true;
  }
  const std::size_t roomWhenEmpty = jack_midi_max_event_size(buffer);
  bool taking = false;
  for (std::size_t size = ring_.frontSize(); size != 0; size = ring_.frontSize()) {
    if (!taking) {
      // What this cycle takes has surely left once the next cycle has ended too.
      settledAt_.store(cycles_.load(std::memory_order_relaxed) + 2, std::memory_order_release);
      taking = true;
    }
    // A message larger than a whole cycle's buffer could never leave; drop it rather than
    // hold back everything behind it.
    if (size > roomWhenEmpty) {
      ring_.pop();
      continue;
    }
    jack_midi_data_t* event = jack_midi_event_reserve(buffer, 0, size);
    if (event == nullptr) break;  // this cycle is full; the rest goes in the next one
    ring_.copyFront(event);
    ring_.pop();
  }
}

void JackConnection::shutdown(jack_status_t, const char*, void* self) noexcept {
  static_cast<JackConnection*>(self)->alive_.store(false, std::memory_order_release);
}

}  // namespace kalvora
