#include "support/jack_midi_sender.h"

#include <jack/midiport.h>

#include <array>

#include "support/jack_test_server.h"

namespace kalvora::test {

namespace {
// Room for a burst of a few ten thousand events, sent in one go.
constexpr std::size_t kRingBytes = 1 << 19;
using Length = std::uint32_t;
}  // namespace

JackMidiSender::~JackMidiSender() { close(); }

::testing::AssertionResult JackMidiSender::open(const std::string& target) {
  jack_status_t status{};
  client_ = jack_client_open(ClientName("sender").c_str(), JackNoStartServer, &status);
  if (client_ == nullptr) {
    return ::testing::AssertionFailure() << "sender client not opened, status " << status;
  }
  ring_ = jack_ringbuffer_create(kRingBytes);
  port_ = jack_port_register(client_, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  if (ring_ == nullptr || port_ == nullptr) {
    return ::testing::AssertionFailure() << "sender port not registered";
  }
  jack_set_process_callback(client_, &JackMidiSender::process, this);
  if (jack_activate(client_) != 0) return ::testing::AssertionFailure() << "sender not active";
  if (jack_connect(client_, jack_port_name(port_), target.c_str()) != 0) {
    return ::testing::AssertionFailure() << "sender not connected to " << target;
  }
  return ::testing::AssertionSuccess();
}

void JackMidiSender::close() {
  if (client_ != nullptr) {
    jack_deactivate(client_);
    jack_client_close(client_);
    client_ = nullptr;
    port_ = nullptr;
  }
  if (ring_ != nullptr) jack_ringbuffer_free(ring_);
  ring_ = nullptr;
}

::testing::AssertionResult JackMidiSender::send(
    const std::vector<std::vector<std::uint8_t>>& events) {
  std::vector<char> all;
  for (const auto& event : events) {
    const auto length = static_cast<Length>(event.size());
    const auto* bytes = reinterpret_cast<const char*>(&length);
    all.insert(all.end(), bytes, bytes + sizeof length);
    all.insert(all.end(), event.begin(), event.end());
  }
  // One write, so the audio thread takes all of them or none in a cycle.
  if (jack_ringbuffer_write_space(ring_) < all.size()) {
    return ::testing::AssertionFailure() << "the sender's queue is full";
  }
  jack_ringbuffer_write(ring_, all.data(), all.size());
  return ::testing::AssertionSuccess();
}

int JackMidiSender::process(jack_nframes_t frames, void* self) noexcept {
  auto& sender = *static_cast<JackMidiSender*>(self);
  void* buffer = jack_port_get_buffer(sender.port_, frames);
  jack_midi_clear_buffer(buffer);
  Length length = 0;
  while (jack_ringbuffer_read_space(sender.ring_) >= sizeof length) {
    jack_ringbuffer_peek(sender.ring_, reinterpret_cast<char*>(&length), sizeof length);
    if (jack_ringbuffer_read_space(sender.ring_) < sizeof length + length) break;
    jack_midi_data_t* event = jack_midi_event_reserve(buffer, 0, length);
    if (event == nullptr) break;  // this cycle is full; the rest goes in the next one
    jack_ringbuffer_read_advance(sender.ring_, sizeof length);
    jack_ringbuffer_read(sender.ring_, reinterpret_cast<char*>(event), length);
  }
  return 0;
}

}  // namespace kalvora::test
