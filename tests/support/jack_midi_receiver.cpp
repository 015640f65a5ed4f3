#include "support/jack_midi_receiver.h"

#include <jack/midiport.h>

#include <thread>

#include "support/eventually.h"
#include "support/jack_test_server.h"

namespace kalvora::test {

namespace {
constexpr auto kArrivalLimit = std::chrono::seconds(20);
constexpr auto kPoll = std::chrono::milliseconds(5);
}  // namespace

JackMidiReceiver::~JackMidiReceiver() { close(); }

::testing::AssertionResult JackMidiReceiver::open() {
  jack_status_t status{};
  client_ = jack_client_open(ClientName("receiver").c_str(), JackNoStartServer, &status);
  if (client_ == nullptr) {
    return ::testing::AssertionFailure() << "receiver client not opened, status " << status;
  }
  port_ = jack_port_register(client_, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  if (port_ == nullptr) return ::testing::AssertionFailure() << "receiver port not registered";
  jack_set_process_callback(client_, &JackMidiReceiver::process, this);
  if (jack_activate(client_) != 0) return ::testing::AssertionFailure() << "receiver not active";
  return ::testing::AssertionSuccess();
}

void JackMidiReceiver::close() {
  if (client_ == nullptr) return;
  jack_deactivate(client_);
  jack_client_close(client_);
  client_ = nullptr;
  port_ = nullptr;
}

std::string JackMidiReceiver::portName() const { return jack_port_name(port_); }

int JackMidiReceiver::process(jack_nframes_t frames, void* self) noexcept {
  auto& receiver = *static_cast<JackMidiReceiver*>(self);
  void* buffer = jack_port_get_buffer(receiver.port_, frames);
  std::size_t bytes = receiver.byteCount_.load(std::memory_order_relaxed);
  std::size_t messages = receiver.messageCount_.load(std::memory_order_relaxed);
  const jack_nframes_t events = jack_midi_get_event_count(buffer);
  for (jack_nframes_t i = 0; i < events; ++i) {
    jack_midi_event_t event;
    if (jack_midi_event_get(&event, buffer, i) != 0) continue;
    if (bytes + event.size > kMaxBytes || messages == kMaxMessages) {
      receiver.overflowed_.store(true);
      break;
    }
    std::copy(event.buffer, event.buffer + event.size, receiver.bytes_.begin() + bytes);
    bytes += event.size;
    receiver.ends_[messages++] = bytes;
  }
  receiver.byteCount_.store(bytes, std::memory_order_relaxed);
  receiver.messageCount_.store(messages, std::memory_order_release);
  return 0;
}

std::vector<Message> JackMidiReceiver::waitForBytes(std::size_t count,
                                                    const std::function<void()>& meanwhile) const {
  return waitUntil([this, count](std::size_t messages) { return ends_[messages - 1] >= count; },
                   meanwhile);
}

std::vector<Message> JackMidiReceiver::waitForLast(const std::function<bool(const Message&)>& done,
                                                   const std::function<void()>& meanwhile) const {
  return waitUntil(
      [this, &done](std::size_t messages) {
        const std::size_t begin = messages > 1 ? ends_[messages - 2] : 0;
        return done(Message(bytes_.begin() + begin, bytes_.begin() + ends_[messages - 1]));
      },
      meanwhile);
}

std::vector<Message> JackMidiReceiver::waitUntil(const std::function<bool(std::size_t)>& done,
                                                 const std::function<void()>& meanwhile) const {
  Eventually(
      [&] {
        const std::size_t messages = messageCount_.load(std::memory_order_acquire);
        return messages > 0 && done(messages);
      },
      kArrivalLimit,
      [&] {
        if (meanwhile) meanwhile();
        std::this_thread::sleep_for(kPoll);
      });
  return this->messages();
}

bool JackMidiReceiver::waitUntilUnwired() const {
  return Eventually([this] { return jack_port_connected(port_) <= 0; }, kArrivalLimit,
                    [] { std::this_thread::sleep_for(kPoll); });
}

std::vector<Message> JackMidiReceiver::messages() const {
  EXPECT_FALSE(overflowed_.load()) << "the receiver ran out of room";
  const std::size_t count = messageCount_.load(std::memory_order_acquire);
  std::vector<Message> result;
  std::size_t begin = 0;
  for (std::size_t i = 0; i < count; ++i) {
    result.emplace_back(bytes_.begin() + begin, bytes_.begin() + ends_[i]);
    begin = ends_[i];
  }
  return result;
}

}  // namespace kalvora::test
