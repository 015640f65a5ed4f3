#include "midi/backends/jack/jack_connection.h"

#include <jack/midiport.h>

#include <chrono>
#include <new>
#include <thread>
#include <utility>

namespace kalvora {

namespace {

// Far more than the window sends between two audio cycles: a keyboard's burst of ten thousand
// pressure messages passes whole; beyond that, pressure, bend and controllers are thinned.
constexpr std::size_t kRingBytes = 256 * 1024;
// A close lets the audio thread hand over everything sent before it, however long a stopped
// server takes to run again: a note-off lost there leaves the note sounding on the module.
constexpr auto kDrainPoll = std::chrono::milliseconds(2);
// A connection that has not reached the graph after this many cycles never will (its target has
// gone): what it holds can go nowhere.
constexpr std::uint64_t kUnwiredCycles = 32;

}  // namespace

JackConnection::JackConnection(std::shared_ptr<JackClient> client)
    : ring_(kRingBytes), client_(std::move(client)) {}

OpenResult JackConnection::open(std::shared_ptr<JackClient> client, const std::string& target) {
  OpenResult result;
  std::unique_ptr<JackConnection> connection;
  try {
    connection.reset(new JackConnection(std::move(client)));
  } catch (const std::bad_alloc&) {
    result.status = OpenStatus::kNoMemory;
    return result;
  }
  result.status = connection->client_->attachOutput(connection.get(), target, connection->output_);
  connection->attached_ = result.status == OpenStatus::kOpened;
  if (connection->attached_) result.connection = std::move(connection);
  return result;
}

JackConnection::~JackConnection() {
  if (!attached_) return;
  drainBeforeClose();
  client_->detachOutput(this, output_);
}

bool JackConnection::sendShort(std::span<const std::uint8_t> bytes) { return send(bytes); }

void JackConnection::sendLong(std::span<const std::uint8_t> bytes) { send(bytes); }

bool JackConnection::send(std::span<const std::uint8_t> bytes) noexcept {
  if (!client_->alive(output_)) return false;
  return ring_.push(bytes, UrgencyOf(bytes));
}

// Runs on the port layer's closing thread, which the window does not wait for: it ends when the
// server has taken everything or has gone, never at a time limit.
void JackConnection::drainBeforeClose() noexcept {
  const std::uint64_t closedAt = cycles_.load(std::memory_order_acquire);
  // Empty first, then the cycle count: the audio thread sets settledAt_ before it takes.
  auto delivered = [&] {
    return ring_.empty() &&
           cycles_.load(std::memory_order_acquire) >= settledAt_.load(std::memory_order_acquire);
  };
  auto neverWired = [&] {
    return !wired_.load(std::memory_order_acquire) &&
           cycles_.load(std::memory_order_acquire) - closedAt > kUnwiredCycles;
  };
  while (client_->alive(output_) && !delivered() && !neverWired()) {
    std::this_thread::sleep_for(kDrainPoll);
  }
}

void JackConnection::deliver(jack_port_t* port, jack_nframes_t frames) noexcept {
  deliverToPort(port, frames);
  cycles_.fetch_add(1, std::memory_order_release);
}

void JackConnection::deliverToPort(jack_port_t* port, jack_nframes_t frames) noexcept {
  void* buffer = jack_port_get_buffer(port, frames);
  jack_midi_clear_buffer(buffer);
  // A new connection reaches the graph a cycle or two after jack_connect returns; what is sent
  // in the meantime waits for it instead of going nowhere. Once wired, the ring is always
  // drained, so a later disconnection cannot pile up messages to replay.
  if (!wired_.load(std::memory_order_relaxed)) {
    if (jack_port_connected(port) <= 0) return;
    wired_.store(true, std::memory_order_release);
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

}  // namespace kalvora
